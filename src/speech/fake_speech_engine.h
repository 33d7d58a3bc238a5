// SPDX-License-Identifier: GPL-3.0-or-later
// A speech engine that records what it is asked to say, for tests.
#pragma once

#include "speech/speech_engine.h"

namespace wren {

/// Says nothing aloud: keeps what it was asked, and finishes an utterance when the test says so.
class FakeSpeechEngine : public SpeechEngine
{
public:
    explicit FakeSpeechEngine(bool available = true)
        : m_available(available)
    {
    }
    bool Available() const override { return m_available; }
    void Say(const QString &text) override
    {
        Said.append(text);
        m_speaking = m_available;
    }
    void Stop() override
    {
        ++Stops;
        m_speaking = false;
    }
    bool Speaking() const override { return m_speaking; }
    void SetRate(double rate) override { Rate = rate; }
    void SetVoice(const QString &name) override
    {
        if (VoiceNames.contains(name))
            Voice = name;
    }
    QStringList Voices() const override { return VoiceNames; }
    /// The utterance being said comes to its end.
    void FinishSaying()
    {
        m_speaking = false;
        emit Finished();
    }

    QStringList Said;
    int Stops = 0;
    double Rate = 0;
    QString Voice;
    QStringList VoiceNames {QStringLiteral("first voice"), QStringLiteral("second voice")};

private:
    bool m_available;
    bool m_speaking = false;
};

} // namespace wren
