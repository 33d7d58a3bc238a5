// SPDX-License-Identifier: GPL-3.0-or-later
// What the client says aloud: the world's lines where a world asks for them, /SPEAK, and the speech keys.
#pragma once

#include "speech/speech_engine.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>

namespace wren {

class AppSettings;

/// The program's one voice (no widgets). Lines queue and are said one after another; /SPEAK and the keys
/// interrupt. The engine is made on first use, so a program that never speaks never loads a back end. With
/// none installed, the first attempt to speak gives the one notice the view shows, and nothing else happens.
class SpeechOutput : public QObject
{
    Q_OBJECT
public:
    using EngineFactory = std::function<std::unique_ptr<SpeechEngine>()>;
    /// @p factory makes the engine on first use (the system's unless a test gives its own).
    explicit SpeechOutput(EngineFactory factory = CreateSystemSpeechEngine, QObject *parent = nullptr);
    ~SpeechOutput() override;
    /// The engine made on first use from now on (tests); no effect once one is made.
    void SetEngineFactory(EngineFactory factory)
    {
        if (!m_engine)
            m_factory = std::move(factory);
    }

    static constexpr char UnavailableNotice[] = "Speech is not available: no speech engine is installed.";
    /// Lines waiting beyond this many are dropped, oldest first: a flood is not read out for minutes.
    static constexpr size_t MaxQueuedLines = 50;

    /// A line a world sent: said after what is being said and what waits. Blank lines are not said.
    /// Returns UnavailableNotice the first time speech turns out to be missing, else nothing.
    QByteArray QueueLine(const QString &line);
    /// Says @p text now, stopping what was being said and dropping what waited (/SPEAK, the keys).
    QByteArray Speak(const QString &text);
    /// Silences the voice and drops what waited.
    void Stop();
    /// Says again the last line a world sent (or the last text spoken).
    QByteArray RepeatLast();
    QString LastLine() const { return m_last; }
    bool Speaking() const;

    /// Rate (-1 to 1) and voice are the program's, kept in its settings file.
    double Rate() const { return m_rate; }
    QString Voice() const { return m_voice; }
    void SetRate(double rate);
    void SetVoice(const QString &name);
    QStringList Voices();
    bool Available();
    /// Reads rate and voice from @p settings; SaveSettings writes them.
    void LoadSettings(const AppSettings &settings);
    void SaveSettings(AppSettings &settings) const;

private:
    SpeechEngine *Engine();
    /// The notice when speech is missing and it has not been given yet.
    QByteArray CheckAvailable();
    void SayNext();

    EngineFactory m_factory;
    std::unique_ptr<SpeechEngine> m_engine;
    std::deque<QString> m_queue;
    QString m_last;
    double m_rate = 0;
    QString m_voice;
    bool m_noticeGiven = false;
};

} // namespace wren
