// SPDX-License-Identifier: GPL-3.0-or-later
// What the client's own speech needs of a speech synthesizer: say, stop, rate and voice.
#pragma once

#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

Q_DECLARE_LOGGING_CATEGORY(lcSpeech)

namespace wren {

/// A speech synthesizer. The client has one, made on first use: the system's (Qt TextToSpeech through
/// speech-dispatcher or flite) or, in tests, FakeSpeechEngine.
class SpeechEngine : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    /// A voice can be heard: a back end is installed and works.
    virtual bool Available() const = 0;
    /// Starts saying @p text, stopping what was being said.
    virtual void Say(const QString &text) = 0;
    virtual void Stop() = 0;
    virtual bool Speaking() const = 0;
    /// From -1 (slowest) through 0 (normal) to 1 (fastest).
    virtual void SetRate(double rate) = 0;
    /// One of Voices(); an unknown name keeps the voice as it is.
    virtual void SetVoice(const QString &name) = 0;
    virtual QStringList Voices() const = 0;

signals:
    /// What was being said has been said (not after Stop).
    void Finished();
};

/// The system's synthesizer: the first Qt TextToSpeech back end that works, preferring speech-dispatcher;
/// one that is not Available() when there is none.
std::unique_ptr<SpeechEngine> CreateSystemSpeechEngine();

} // namespace wren
