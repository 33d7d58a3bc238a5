// SPDX-License-Identifier: GPL-3.0-or-later
// What markup tags act on in a session: styles and colours of new text, alignment, the view's background,
// links, and the pictures and sounds tags name.
#pragma once

#include "markup/media_fetcher.h"
#include "markup/zel_interpreter.h"

#include <QByteArray>
#include <QSet>

#include <deque>

namespace wren {

class HttpClient;
class IncomingText;
class SessionDocument;
struct TGlobals;

/// What the markup side asks of its session beyond the text it writes.
class MarkupSideHost
{
public:
    virtual ~MarkupSideHost() = default;
    virtual void RunEvent(const QByteArray &name) = 0;
    /// Plays a sound file through the program's player.
    virtual void PlaySound(const QByteArray &file) = 0;
};

/// The session's side of the tag interpreter: it applies tags to the session's options and view.
///
/// Pictures and sounds are found and fetched away from the window's thread (MediaFetcher): a picture's
/// place in the text is held while it comes, and text, typing and other sessions go on meanwhile. They are
/// finished in the order their tags came: a picture takes its place, or its place says why it could not,
/// and "On Image" runs; a sound plays. So their events keep their order.
class MarkupSide : public TagHost
{
public:
    /// The state tags change, lent for the session's life.
    struct State {
        TSessionOptions &Options;
        SessionDocument &Display;
        const TGlobals &Globals;
        QByteArray &LinkTarget;
        QByteArray &BaseUrl;
        const HttpClient &Http;
    };
    MarkupSide(MarkupSideHost &host, const State &state, QObject &context);
    /// The pipeline tags write their text through (set once, when the session is wired).
    void AttachText(IncomingText &text) { m_text = &text; }

    /// Runs one tag (the text between "<" and ">").
    void Interpret(const QByteArray &tag) { InterpretZelTag(*this, tag); }
    /// A new block of the world's text: its pictures are counted afresh.
    void StartBlock() { m_picturesThisBlock = 0; }
    /// Pictures one block may show; the tags past them fail.
    static constexpr int MaxPicturesPerBlock = 16;
    /// Media tags still waiting for their files.
    int PendingMedia() const;
    /// Returns the font, size and colour of new text to the session's defaults.
    void EndFont();

    // TagHost
    TSessionOptions &TagOptions() override { return m_state.Options; }
    void WriteText(QByteArrayView text) override;
    void SetColor(const QByteArray &name, int target) override;
    void SetStyle(std::uint8_t bits, bool on) override;
    void SetAlignment(Alignment alignment) override;
    void RestoreBackground() override;
    void ClearView() override;
    /// A picture named by markup: found locally or downloaded, put into the view in line with the text, or
    /// "ZEL Image Load Error : " + the source written; "On Image" runs either way.
    void LoadZelImage(const QByteArray &source) override;
    /// A sound named by markup or PLAY: found locally or downloaded, then handed to the player.
    void PlayZelAudio(const QByteArray &source) override;
    QByteArray LocalAddress() const override;
    QByteArray &LinkTarget() override { return m_state.LinkTarget; }
    QByteArray &BaseUrl() override { return m_state.BaseUrl; }

private:
    struct Job {
        bool Picture = true;
        QByteArray Source;
        quint64 Place = 0; ///< the picture's held place; 0 while none is held
        bool Done = false;
        MediaResult Result;
    };
    /// Queues a media tag; it finishes at once when its file is at hand and nothing is ahead of it.
    void Start(bool picture, const QByteArray &source);
    void Finished(quint64 id, const MediaResult &result);
    /// Finishes the jobs at the front that have their results, in order.
    void Drain();
    void FinishPicture(const Job &job);
    void FinishSound(const Job &job);
    MediaRequest Request(bool picture, const QByteArray &source) const;

    MarkupSideHost &m_host;
    State m_state;
    QObject &m_context;
    IncomingText *m_text = nullptr;
    std::deque<Job> m_jobs;
    quint64 m_firstJob = 0; ///< the id of m_jobs.front()
    bool m_draining = false;
    int m_picturesThisBlock = 0;
    /// Addresses whose download failed in this session: not tried again.
    QSet<QByteArray> m_failed;
};

} // namespace wren
