// SPDX-License-Identifier: GPL-3.0-or-later
// What the client says aloud: the world's lines where a world asks for them, /SPEAK, and the speech keys.
#include "speech/speech_output.h"

#include "config/app_settings.h"

#include <algorithm>

namespace wren {

SpeechOutput::SpeechOutput(EngineFactory factory, QObject *parent)
    : QObject(parent)
    , m_factory(std::move(factory))
{
}

SpeechOutput::~SpeechOutput() = default;

SpeechEngine *SpeechOutput::Engine()
{
    if (!m_engine) {
        m_engine = m_factory();
        m_engine->SetRate(m_rate);
        if (!m_voice.isEmpty())
            m_engine->SetVoice(m_voice);
        connect(m_engine.get(), &SpeechEngine::Finished, this, &SpeechOutput::SayNext);
    }
    return m_engine.get();
}

QByteArray SpeechOutput::CheckAvailable()
{
    if (Engine()->Available() || m_noticeGiven)
        return {};
    m_noticeGiven = true;
    qCInfo(lcSpeech) << UnavailableNotice;
    return QByteArray(UnavailableNotice);
}

bool SpeechOutput::Available()
{
    return Engine()->Available();
}

bool SpeechOutput::Speaking() const
{
    return m_engine && m_engine->Speaking();
}

QByteArray SpeechOutput::QueueLine(const QString &line)
{
    const QString text = line.trimmed();
    if (text.isEmpty())
        return {};
    m_last = text;
    if (QByteArray notice = CheckAvailable(); !notice.isEmpty() || !Engine()->Available())
        return notice;
    m_queue.push_back(text);
    while (m_queue.size() > MaxQueuedLines)
        m_queue.pop_front();
    if (!Engine()->Speaking())
        SayNext();
    return {};
}

QByteArray SpeechOutput::Speak(const QString &text)
{
    const QString said = text.trimmed();
    if (said.isEmpty()) {
        Stop();
        return {};
    }
    m_last = said;
    if (QByteArray notice = CheckAvailable(); !notice.isEmpty() || !Engine()->Available())
        return notice;
    m_queue.clear();
    Engine()->Say(said);
    return {};
}

void SpeechOutput::Stop()
{
    m_queue.clear();
    if (m_engine)
        m_engine->Stop();
}

QByteArray SpeechOutput::RepeatLast()
{
    if (m_last.isEmpty())
        return {};
    return Speak(m_last);
}

void SpeechOutput::SayNext()
{
    if (m_queue.empty() || !m_engine)
        return;
    const QString next = std::move(m_queue.front());
    m_queue.pop_front();
    m_engine->Say(next);
}

void SpeechOutput::SetRate(double rate)
{
    m_rate = std::clamp(rate, -1.0, 1.0);
    if (m_engine)
        m_engine->SetRate(m_rate);
}

void SpeechOutput::SetVoice(const QString &name)
{
    m_voice = name;
    if (m_engine && !name.isEmpty())
        m_engine->SetVoice(name);
}

QStringList SpeechOutput::Voices()
{
    return Engine()->Voices();
}

void SpeechOutput::LoadSettings(const AppSettings &settings)
{
    SetRate(settings.ProgramValue(QStringLiteral("Speech/Rate"), 0.0).toDouble());
    SetVoice(settings.ProgramValue(QStringLiteral("Speech/Voice")).toString());
}

void SpeechOutput::SaveSettings(AppSettings &settings) const
{
    settings.SetProgramValue(QStringLiteral("Speech/Rate"), m_rate);
    settings.SetProgramValue(QStringLiteral("Speech/Voice"), m_voice);
}

} // namespace wren
