// SPDX-License-Identifier: GPL-3.0-or-later
// One session's side of the speech: its world's lines to the voice, and typing that silences it.
#include "session/session_speech.h"

#include "base/byte_decoder.h"
#include "session/client.h"
#include "speech/speech_output.h"

#include <QPointer>
#include <QTimer>

namespace wren {

SessionSpeech::SessionSpeech(TClient &session, SpeechOutput &speech)
    : QObject(&session)
    , ShownLineSink(session.Features.SpeakIncoming)
    , m_session(session)
    , m_speech(speech)
{
    setObjectName(QStringLiteral("speech"));
    session.Incoming().SetShownLineSink(this);
}

SessionSpeech *SessionSpeech::Of(const TClient *session)
{
    return session ? session->findChild<SessionSpeech *>(QStringLiteral("speech"), Qt::FindDirectChildrenOnly)
                   : nullptr;
}

void SessionSpeech::LineShown(const QByteArray &line)
{
    Notify(m_speech.QueueLine(DecodeBytes(line)));
}

void SessionSpeech::Typed()
{
    if (m_session.Features.TypingStopsSpeech && m_speech.Speaking())
        m_speech.Stop();
}

void SessionSpeech::Notify(const QByteArray &notice)
{
    if (notice.isEmpty())
        return;
    // Not from inside the pipeline that is handing over the line: once it is done.
    QTimer::singleShot(0, this, [this, notice] {
        if (!m_session.IsClosing())
            m_session.WriteStatus(notice);
    });
}

} // namespace wren
