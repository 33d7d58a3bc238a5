// SPDX-License-Identifier: GPL-3.0-or-later
// What markup tags act on in a session: styles and colours of new text, alignment, the view's background,
// links, and the pictures and sounds tags name.
#pragma once

#include "markup/zel_interpreter.h"

#include <QByteArray>

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
    MarkupSide(MarkupSideHost &host, const State &state);
    /// The pipeline tags write their text through (set once, when the session is wired).
    void AttachText(IncomingText &text) { m_text = &text; }

    /// Runs one tag (the text between "<" and ">").
    void Interpret(const QByteArray &tag) { InterpretZelTag(*this, tag); }
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
    MarkupSideHost &m_host;
    State m_state;
    IncomingText *m_text = nullptr;
};

} // namespace wren
