// SPDX-License-Identifier: GPL-3.0-or-later
// The sound device the player drives: open a file, play, pause, resume, stop, close, and whether it ended.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QAudioOutput;
class QMediaPlayer;

namespace wren {

/// What the player needs of the platform's media player.
class AudioDevice : public QObject
{
    Q_OBJECT
public:
    enum class Mode { NotReady, Stopped, Playing, Paused };

    using QObject::QObject;
    /// False when the file cannot be opened (it does not exist or cannot be read).
    virtual bool Open(const QString &path) = 0;
    /// False when the open file cannot be played.
    virtual bool Play() = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    virtual void Stop() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual Mode CurrentMode() const = 0;
    /// The position has reached the length.
    virtual bool AtEnd() const = 0;

signals:
    /// The open file turned out to be unplayable (found while decoding, after Play returned).
    void Failed();
};

/// The device on Qt Multimedia: a QMediaPlayer with an audio output.
class QtAudioDevice : public AudioDevice
{
    Q_OBJECT
public:
    explicit QtAudioDevice(QObject *parent = nullptr);
    ~QtAudioDevice() override;

    bool Open(const QString &path) override;
    bool Play() override;
    void Pause() override;
    void Resume() override;
    void Stop() override;
    void Close() override;
    bool IsOpen() const override;
    Mode CurrentMode() const override;
    bool AtEnd() const override;

private:
    QMediaPlayer *m_player;
    QAudioOutput *m_output;
};

} // namespace wren
