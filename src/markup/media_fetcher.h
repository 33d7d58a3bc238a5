// SPDX-License-Identifier: GPL-3.0-or-later
// Finds, downloads and decodes the pictures and sounds markup names, away from the window's thread.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <list>
#include <optional>

namespace wren {

/// What a tag asks for.
struct MediaRequest {
    QByteArray Source;
    QByteArray BaseUrl;
    QString Folder; ///< the program folder: where files are looked for and downloads go
    bool Picture = true; ///< a picture is decoded too; a sound is only found
    qint64 MaxPictureBytes = 0; ///< what the decoded pixels may take (the view's budget left)
};

struct MediaResult {
    QString Path; ///< the file found or fetched; empty when there is none
    QByteArray Shown; ///< the source as far as it was completed, for the error line
    QImage Picture; ///< decoded (pictures only; null when it could not be)
    QString Problem; ///< why not, for the developer's log
    bool Downloaded = false; ///< fetched now into the folder (and kept)
    bool FetchFailed = false; ///< a download failed or was refused: not worth trying again soon
};

/// Finds a request's file (locally, else downloaded under a safe name, time-limited and at most the
/// largest file kept), checks a picture's real size and decodes it. Blocking: it runs on a worker thread.
/// A download whose picture is refused (too large, not a picture) is deleted again.
MediaResult ResolveMedia(const MediaRequest &request, const std::atomic<bool> *cancel = nullptr);

/// Resolves requests on worker threads, so a slow or silent web server holds up neither the window nor
/// other text; results come back on the window's thread. Decoded pictures are kept by path for reuse, and
/// the downloads it made are kept within a total size, the oldest going first.
class MediaFetcher : public QObject
{
    Q_OBJECT
public:
    using Done = std::function<void(const MediaResult &result)>;

    explicit MediaFetcher(QObject *parent = nullptr);
    /// Abandons requests under way (their downloads end at once) and waits for the workers.
    ~MediaFetcher() override;
    /// The program's fetcher, made on first use and owned by the application.
    static MediaFetcher &Shared();

    /// The result at once when a local picture's decoded copy is kept, or nothing.
    std::optional<MediaResult> Cached(const MediaRequest &request);
    /// A request whose file is at hand, resolved here and now (its decoded picture kept for reuse).
    MediaResult ResolveNow(const MediaRequest &request);
    /// Resolves @p request on a worker; @p done then runs on the window's thread, unless @p context has
    /// gone by then. The same request under way is not made twice.
    void Fetch(const MediaRequest &request, QObject *context, Done done);
    /// Waits up to @p ms for every request under way (tests and benchmarks); true when none is left.
    bool WaitForIdle(int ms);

    /// Total bytes the downloads made may take in a folder; beyond it the oldest are deleted.
    static constexpr qint64 DefaultDownloadLimit = qint64(128) * 1024 * 1024;
    void SetDownloadLimit(qint64 bytes) { m_downloadLimit = bytes; }
    /// Bytes the decoded pictures kept for reuse may take.
    static constexpr qint64 PictureCacheLimit = qint64(64) * 1024 * 1024;
    /// The list of downloads made into @p folder, oldest first (kept in a file there).
    static QString DownloadListPath(const QString &folder);

private:
    struct Waiter {
        QPointer<QObject> Context;
        Done Callback;
    };
    struct Kept {
        QString Path;
        QImage Picture;
        qint64 Modified = 0;
        qint64 Size = 0;
    };
    static QString Key(const MediaRequest &request);
    void Finished(const QString &key, const MediaResult &result);
    void Keep(const MediaResult &result);
    /// Records a new download and deletes the oldest ones beyond the limit (never @p newest).
    void KeepWithinLimit(const QString &folder, const QString &newest);

    QThreadPool m_pool;
    std::atomic<bool> m_cancel {false};
    QHash<QString, QList<Waiter>> m_waiting; ///< requests under way, by key
    std::list<Kept> m_kept; ///< decoded pictures, the most recently used first
    qint64 m_keptBytes = 0;
    qint64 m_downloadLimit = DefaultDownloadLimit;
};

} // namespace wren
