// SPDX-License-Identifier: GPL-3.0-or-later
// The system's speech through Qt TextToSpeech (speech-dispatcher or flite), when Qt has it.
#include "speech/speech_engine.h"

#include <algorithm>

#ifdef WREN_HAVE_TEXT_TO_SPEECH
#include <QTextToSpeech>
#include <QVoice>
#endif

Q_LOGGING_CATEGORY(lcSpeech, "wren.speech", QtWarningMsg)

namespace wren {

namespace {

/// What is left when no back end works: never available, says nothing.
class SilentEngine : public SpeechEngine
{
public:
    bool Available() const override { return false; }
    void Say(const QString &) override {}
    void Stop() override {}
    bool Speaking() const override { return false; }
    void SetRate(double) override {}
    void SetVoice(const QString &) override {}
    QStringList Voices() const override { return {}; }
};

#ifdef WREN_HAVE_TEXT_TO_SPEECH
class QtSpeechEngine : public SpeechEngine
{
public:
    explicit QtSpeechEngine(QTextToSpeech *speech)
        : m_speech(speech)
    {
        m_speech->setParent(this);
        // A stopped utterance finishes too: the output has dropped what waited, so nothing follows it.
        connect(m_speech, &QTextToSpeech::stateChanged, this, [this](QTextToSpeech::State state) {
            const bool wasSpeaking = m_speaking;
            m_speaking = state == QTextToSpeech::Speaking;
            if (wasSpeaking && state == QTextToSpeech::Ready)
                emit Finished();
        });
    }
    bool Available() const override { return m_speech->state() != QTextToSpeech::Error; }
    void Say(const QString &text) override { m_speech->say(text); }
    void Stop() override { m_speech->stop(); }
    bool Speaking() const override { return m_speaking; }
    void SetRate(double rate) override { m_speech->setRate(std::clamp(rate, -1.0, 1.0)); }
    void SetVoice(const QString &name) override
    {
        for (const QVoice &voice : m_speech->availableVoices()) {
            if (voice.name() == name) {
                m_speech->setVoice(voice);
                return;
            }
        }
    }
    QStringList Voices() const override
    {
        QStringList names;
        for (const QVoice &voice : m_speech->availableVoices())
            names.append(voice.name());
        return names;
    }

private:
    QTextToSpeech *m_speech;
    bool m_speaking = false;
};
#endif

} // namespace

std::unique_ptr<SpeechEngine> CreateSystemSpeechEngine()
{
#ifdef WREN_HAVE_TEXT_TO_SPEECH
    QStringList engines = QTextToSpeech::availableEngines();
    // speech-dispatcher speaks through the voices the user set up; flite needs nothing running.
    std::stable_sort(engines.begin(), engines.end(), [](const QString &a, const QString &b) {
        return (a == QLatin1String("speechd")) > (b == QLatin1String("speechd"));
    });
    for (const QString &name : engines) {
        auto *speech = new QTextToSpeech(name);
        if (speech->state() != QTextToSpeech::Error && !speech->availableVoices().isEmpty()) {
            qCDebug(lcSpeech) << "speech through" << name;
            return std::make_unique<QtSpeechEngine>(speech);
        }
        qCDebug(lcSpeech) << "speech back end" << name << "does not work:" << speech->errorString();
        delete speech;
    }
#endif
    qCDebug(lcSpeech) << "no speech back end";
    return std::make_unique<SilentEngine>();
}

} // namespace wren
