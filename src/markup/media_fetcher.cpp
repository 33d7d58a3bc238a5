// SPDX-License-Identifier: GPL-3.0-or-later
// Finds, downloads and decodes the pictures and sounds markup names, away from the window's thread.
#include "markup/media_fetcher.h"

#include "config/http_client.h"
#include "config/logging.h"
#include "config/save_file.h"
#include "markup/picture_loader.h"
#include "markup/zel_media.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace wren {

namespace {

HttpOptions DownloadOptions(const std::atomic<bool> *cancel)
{
    HttpOptions options;
    options.Accept = "*/*";
    // Nothing larger is kept, so nothing larger is fetched.
    options.MaxBody = MaxMediaFile;
    options.Cancel = cancel;
    return options;
}

// Downloads the request's file under its safe name; false, with the reason, when it may not or could not be.
bool Download(const MediaRequest &request, MediaResult &result, const std::atomic<bool> *cancel)
{
    result.Shown = CompleteZelAddress(request.Source, request.BaseUrl);
    const QByteArray name = UrlFileName(result.Shown);
    // The name is checked before anything is fetched: a download that may not be kept is not made.
    if (!IsSafeDownloadName(name)) {
        result.Problem = QStringLiteral("not a name a download may be kept under");
        return false;
    }
    const HttpResult got = HttpClient(DownloadOptions(cancel)).Get(result.Shown);
    if (!got.Ok) {
        result.Problem = got.Error;
        return false;
    }
    const QString path = QDir(request.Folder).filePath(QString::fromLocal8Bit(name));
    QString error;
    if (!SaveFileAtomically(path, got.Body, &error)) {
        result.Problem = error;
        return false;
    }
    result.Path = path;
    result.Downloaded = true;
    return true;
}

} // namespace

MediaResult ResolveMedia(const MediaRequest &request, const std::atomic<bool> *cancel)
{
    MediaResult result;
    result.Shown = request.Source;
    result.Path = LocateZelFile(request.Source, request.Folder);
    if (result.Path.isEmpty() && !Download(request, result, cancel)) {
        result.FetchFailed = true;
        return result;
    }
    if (!request.Picture)
        return result;
    result.Picture = LoadPicture(result.Path, &result.Problem, request.MaxPictureBytes);
    if (result.Picture.isNull() && result.Downloaded) {
        // A refused picture is not kept: it would only be refused again, and it takes room.
        QFile::remove(result.Path);
        result.Downloaded = false;
        result.FetchFailed = true;
        result.Path.clear();
    }
    return result;
}

MediaFetcher::MediaFetcher(QObject *parent)
    : QObject(parent)
{
    // A few at once: one slow server holds up only its own pictures.
    m_pool.setMaxThreadCount(4);
}

MediaFetcher::~MediaFetcher()
{
    m_cancel = true;
    m_pool.clear();
    m_pool.waitForDone();
}

MediaFetcher &MediaFetcher::Shared()
{
    static QPointer<MediaFetcher> shared;
    if (!shared)
        shared = new MediaFetcher(QCoreApplication::instance());
    return *shared;
}

QString MediaFetcher::Key(const MediaRequest &request)
{
    return request.Folder + QLatin1Char('\n') + QString::fromLatin1(request.BaseUrl.toPercentEncoding())
           + QLatin1Char('\n') + QString::fromLatin1(request.Source.toPercentEncoding())
           + (request.Picture ? QStringLiteral("\npicture") : QStringLiteral("\nsound"));
}

std::optional<MediaResult> MediaFetcher::Cached(const MediaRequest &request)
{
    if (!request.Picture)
        return std::nullopt;
    const QString path = LocateZelFile(request.Source, request.Folder);
    if (path.isEmpty())
        return std::nullopt;
    const QFileInfo file(path);
    for (auto it = m_kept.begin(); it != m_kept.end(); ++it) {
        if (it->Path != path)
            continue;
        if (it->Modified != file.lastModified().toMSecsSinceEpoch() || it->Size != file.size()) {
            m_keptBytes -= it->Picture.sizeInBytes();
            m_kept.erase(it);
            return std::nullopt;
        }
        if (it->Picture.sizeInBytes() > request.MaxPictureBytes)
            return std::nullopt;
        m_kept.splice(m_kept.begin(), m_kept, it);
        MediaResult result;
        result.Path = path;
        result.Shown = request.Source;
        result.Picture = it->Picture;
        return result;
    }
    return std::nullopt;
}

MediaResult MediaFetcher::ResolveNow(const MediaRequest &request)
{
    if (std::optional<MediaResult> kept = Cached(request))
        return *kept;
    MediaResult result = ResolveMedia(request, &m_cancel);
    Keep(result);
    return result;
}

void MediaFetcher::Fetch(const MediaRequest &request, QObject *context, Done done)
{
    const QString key = Key(request);
    auto waiting = m_waiting.find(key);
    if (waiting != m_waiting.end()) {
        waiting->append({context, std::move(done)});
        return;
    }
    m_waiting.insert(key, {{context, std::move(done)}});
    m_pool.start([this, request, key] {
        const MediaResult result = ResolveMedia(request, &m_cancel);
        QMetaObject::invokeMethod(
            this, [this, key, result] { Finished(key, result); }, Qt::QueuedConnection);
    });
}

void MediaFetcher::Finished(const QString &key, const MediaResult &result)
{
    const QList<Waiter> waiters = m_waiting.take(key);
    if (result.Downloaded)
        KeepWithinLimit(QFileInfo(result.Path).absolutePath(), result.Path);
    Keep(result);
    for (const Waiter &waiter : waiters) {
        if (waiter.Context)
            waiter.Callback(result);
    }
}

void MediaFetcher::Keep(const MediaResult &result)
{
    if (result.Picture.isNull() || result.Picture.sizeInBytes() > PictureCacheLimit / 4)
        return;
    const QFileInfo file(result.Path);
    std::erase_if(m_kept, [&](const Kept &kept) {
        if (kept.Path != result.Path)
            return false;
        m_keptBytes -= kept.Picture.sizeInBytes();
        return true;
    });
    m_kept.push_front({result.Path, result.Picture, file.lastModified().toMSecsSinceEpoch(), file.size()});
    m_keptBytes += result.Picture.sizeInBytes();
    while (m_keptBytes > PictureCacheLimit && !m_kept.empty()) {
        m_keptBytes -= m_kept.back().Picture.sizeInBytes();
        m_kept.pop_back();
    }
}

QString MediaFetcher::DownloadListPath(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("downloads.lst"));
}

// The downloads are listed by name, oldest first, so that only files the program fetched are ever
// deleted to make room; a picture or sound the user put in the folder is never touched.
void MediaFetcher::KeepWithinLimit(const QString &folder, const QString &newest)
{
    const QString listPath = DownloadListPath(folder);
    QByteArray bytes;
    ReadUserFile(listPath, qint64(1024) * 1024, &bytes);
    QStringList names;
    for (const QByteArray &line : bytes.split('\n')) {
        const QString name = QString::fromUtf8(line.trimmed());
        if (!name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QFileInfo(newest).fileName())
            names.append(name);
    }
    names.append(QFileInfo(newest).fileName());
    const QDir dir(folder);
    qint64 total = 0;
    for (const QString &name : std::as_const(names))
        total += QFileInfo(dir.filePath(name)).size();
    while (total > m_downloadLimit && names.size() > 1) {
        const QString oldest = names.takeFirst();
        total -= QFileInfo(dir.filePath(oldest)).size();
        QFile::remove(dir.filePath(oldest));
        qCDebug(lcMarkup) << "download folder over its limit: removed" << oldest;
    }
    SaveFileAtomically(listPath, names.join(QLatin1Char('\n')).toUtf8() + '\n');
}

bool MediaFetcher::WaitForIdle(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!m_waiting.isEmpty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return m_waiting.isEmpty();
}

} // namespace wren
