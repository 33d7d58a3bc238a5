// SPDX-License-Identifier: GPL-3.0-or-later
// One session's side of the speech: its world's lines to the voice, and typing that silences it.
#pragma once

#include "session/shown_lines.h"

#include <QObject>

namespace wren {

class SpeechOutput;
class TClient;

/// Belongs to its session (a child object) and hears its shown lines while the world's "Speech/SpeakIncoming"
/// switch is on. The notice that speech is missing goes into the session's view as a line of the client's own.
class SessionSpeech : public QObject, public ShownLineSink
{
    Q_OBJECT
public:
    SessionSpeech(TClient &session, SpeechOutput &speech);
    void LineShown(const QByteArray &line) override;
    /// A key was typed in the session's command box: silences the voice where the world says typing does.
    void Typed();
    /// The session's speech side, null when it has none.
    static SessionSpeech *Of(const TClient *session);

private:
    void Notify(const QByteArray &notice);

    TClient &m_session;
    SpeechOutput &m_speech;
};

} // namespace wren
