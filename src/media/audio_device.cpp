// SPDX-License-Identifier: GPL-3.0-or-later
// The sound device the player drives: open a file, play, pause, resume, stop, close, and whether it ended.
#include "media/audio_device.h"

#include "config/logging.h"

#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QUrl>

namespace wren {

QtAudioDevice::QtAudioDevice(QObject *parent)
    : AudioDevice(parent)
    , m_player(new QMediaPlayer(this))
    , m_output(new QAudioOutput(this))
{
    m_player->setAudioOutput(m_output);
    connect(m_player, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error error, const QString &text) {
        qCDebug(lcMedia) << "player error" << error << text;
        emit Failed();
    });
}

QtAudioDevice::~QtAudioDevice() = default;

bool QtAudioDevice::Open(const QString &path)
{
    const QFileInfo file(path);
    if (!file.isFile() || !file.isReadable())
        return false;
    m_player->setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
    return true;
}

bool QtAudioDevice::Play()
{
    if (!IsOpen() || m_player->mediaStatus() == QMediaPlayer::InvalidMedia)
        return false;
    m_player->play();
    return true;
}

void QtAudioDevice::Pause()
{
    m_player->pause();
}

void QtAudioDevice::Resume()
{
    m_player->play();
}

void QtAudioDevice::Stop()
{
    m_player->stop();
}

void QtAudioDevice::Close()
{
    m_player->stop();
    m_player->setSource(QUrl());
}

bool QtAudioDevice::IsOpen() const
{
    return !m_player->source().isEmpty();
}

AudioDevice::Mode QtAudioDevice::CurrentMode() const
{
    switch (m_player->playbackState()) {
    case QMediaPlayer::PlayingState: return Mode::Playing;
    case QMediaPlayer::PausedState: return Mode::Paused;
    case QMediaPlayer::StoppedState: break;
    }
    const auto status = m_player->mediaStatus();
    return status == QMediaPlayer::NoMedia || status == QMediaPlayer::InvalidMedia ? Mode::NotReady : Mode::Stopped;
}

bool QtAudioDevice::AtEnd() const
{
    return m_player->mediaStatus() == QMediaPlayer::EndOfMedia;
}

} // namespace wren
