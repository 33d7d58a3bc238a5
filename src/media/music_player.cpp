// SPDX-License-Identifier: GPL-3.0-or-later
// The program's playlist and player: songs one after another, and every sound a session asks for.
#include "media/music_player.h"

#include "config/program_folder.h"
#include "config/save_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace wren {

MusicPlayer::MusicPlayer(PlayerHost *host, std::unique_ptr<AudioDevice> device, QObject *parent)
    : QObject(parent)
    , m_host(host)
    , m_device(device ? std::move(device) : std::make_unique<QtAudioDevice>())
{
    m_timer.setInterval(200);
    connect(&m_timer, &QTimer::timeout, this, &MusicPlayer::SongEndCheck);
    // A file that turns out unplayable leaves the song-end timer off, without a message.
    connect(m_device.get(), &AudioDevice::Failed, &m_timer, &QTimer::stop);
}

MusicPlayer::~MusicPlayer() = default;

void MusicPlayer::UseDevice(std::unique_ptr<AudioDevice> device)
{
    m_timer.stop();
    m_device = std::move(device);
    connect(m_device.get(), &AudioDevice::Failed, &m_timer, &QTimer::stop);
}

QString MusicPlayer::FilePart(const QString &path)
{
    const qsizetype at = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(at + 1);
}

void MusicPlayer::RunEvent(const char *name)
{
    if (m_host)
        m_host->RunSoundEvent(name);
}

void MusicPlayer::SelectLine(int line)
{
    m_selected = line;
    emit Changed();
}

void MusicPlayer::AddSong(const QString &name, const QString &path)
{
    m_lines.append(QStringLiteral("%1. %2").arg(m_lines.size() + 1).arg(name));
    m_songs.append(path.left(255));
    emit Changed();
}

void MusicPlayer::PlaySound(const QString &fileName)
{
    if (m_host && !m_host->SoundsEnabled())
        return;
    RunEvent("On Sound Begin");
    const AudioDevice::Mode mode = m_device->CurrentMode();
    const bool musicPlays = mode == AudioDevice::Mode::Playing || mode == AudioDevice::Mode::Paused;
    if (musicPlays && !fileName.trimmed().isEmpty()) {
        // A sound while music plays joins the playlist as its last line.
        AddSong(FilePart(fileName), fileName);
        m_currentSong = static_cast<int>(m_lines.size()) - 1;
        SelectLine(m_currentSong);
        m_songPlaying = true;
    } else if (!m_playingFromList) {
        m_songPlaying = false; // a sound effect on its own: its end starts no song
    }
    m_device->Close();
    if (fileName.isEmpty()) {
        Play();
        return;
    }
    bool ok = m_device->Open(fileName);
    if (!ok) {
        const QString inFolder = QDir(ProgramFolder()).filePath(fileName);
        ok = QFileInfo(inFolder).isFile() && m_device->Open(inFolder);
    }
    if (ok && !m_device->Play())
        ok = false;
    if (ok)
        m_timer.start();
    else
        m_timer.stop();
}

void MusicPlayer::Play()
{
    if (m_currentSong < 0 || m_currentSong >= m_songs.size())
        return;
    const QString path = m_songs[m_currentSong].trimmed();
    if (path.isEmpty())
        return;
    // The list shows the song that plays, so that its end moves on to the one after it.
    if (m_selected != m_currentSong)
        SelectLine(m_currentSong);
    m_playingFromList = true;
    m_songPlaying = true;
    PlaySound(path);
    m_playingFromList = false;
}

void MusicPlayer::SongEndCheck()
{
    if (m_device->CurrentMode() == AudioDevice::Mode::NotReady || !m_device->AtEnd())
        return;
    m_timer.stop();
    m_device->Close();
    if (!m_songPlaying) {
        // A sound effect ended; the playlist is not started by it.
    } else if (m_selected < m_lines.size() - 1) {
        m_currentSong = m_selected + 1;
        SelectLine(m_currentSong);
        Play();
    } else if (LoopPlaylist && !m_lines.isEmpty()) {
        m_currentSong = 0;
        SelectLine(0);
        Play();
    }
    // The next song's "On Sound Begin" has run already.
    RunEvent("On Sound End");
}

void MusicPlayer::Pause()
{
    if (!m_device->IsOpen())
        return;
    if (m_device->CurrentMode() == AudioDevice::Mode::Playing)
        m_device->Pause();
    else if (m_device->CurrentMode() == AudioDevice::Mode::Paused)
        m_device->Resume();
}

void MusicPlayer::Stop()
{
    if (m_device->CurrentMode() != AudioDevice::Mode::Playing)
        return;
    m_timer.stop();
    m_device->Stop();
}

bool MusicPlayer::StopAndTell()
{
    if (m_device->CurrentMode() != AudioDevice::Mode::Playing)
        return false;
    m_timer.stop();
    m_device->Stop();
    RunEvent("On Sound End");
    return true;
}

void MusicPlayer::Next()
{
    if (m_selected >= m_lines.size() - 1)
        return;
    m_device->Close();
    m_currentSong = m_selected + 1;
    SelectLine(m_currentSong);
    Play();
}

void MusicPlayer::Previous()
{
    if (m_selected <= 0)
        return;
    m_device->Close();
    m_currentSong = m_selected - 1;
    SelectLine(m_currentSong);
    Play();
}

void MusicPlayer::Random()
{
    m_device->Close();
    const auto count = static_cast<int>(m_lines.size());
    if (count == 0)
        return;
    // The last line is never drawn, as the command always did; with one line, that line.
    const int line = count == 1 ? 0 : std::uniform_int_distribution<int>(0, count - 2)(Randomness);
    m_currentSong = line;
    SelectLine(line);
    Play();
}

void MusicPlayer::AddSongs(const QStringList &paths)
{
    for (const QString &path : paths)
        AddSong(FilePart(path), path);
    m_currentSong = 0;
    emit ShowWanted();
}

void MusicPlayer::Select(int line)
{
    if (line < 0 || line >= m_lines.size())
        return;
    m_selected = line;
    m_currentSong = line;
    emit Changed();
}

void MusicPlayer::Activate(int line)
{
    if (line < 0 || line >= m_lines.size())
        return;
    Select(line);
    if (m_device->CurrentMode() == AudioDevice::Mode::Playing) {
        m_device->Stop();
        m_timer.stop();
    }
    Play();
}

void MusicPlayer::Clear()
{
    m_lines.clear();
    m_songs.clear();
    m_selected = -1;
    m_currentSong = 0;
    emit Changed();
}

QStringList ParsePlaylist(const QByteArray &bytes)
{
    // Line by line as a text reader reads: a line end at the end of the file ends its last line.
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    QStringList songs;
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.startsWith('#'))
            songs.append(QFile::decodeName(line));
    }
    return songs;
}

bool MusicPlayer::Load(const QString &path, bool append, QString *error)
{
    // A playlist too large to take whole is not taken in part: saving over it would lose the rest.
    QByteArray bytes;
    if (ReadUserFile(path, qint64(4) * 1024 * 1024, &bytes, error) == FileRead::Failed)
        return false;
    if (!append)
        Clear();
    for (const QString &songPath : ParsePlaylist(bytes))
        AddSong(FilePart(songPath), songPath);
    m_currentSong = 0;
    emit ShowWanted();
    return true;
}

bool MusicPlayer::Save(QString path, QString *error)
{
    if (m_songs.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".m3u");
    QByteArray bytes;
    for (const QString &song : m_songs)
        bytes += QFile::encodeName(song) + "\r\n";
    return SaveFileAtomically(path, bytes, error);
}

} // namespace wren
