// SPDX-License-Identifier: GPL-3.0-or-later
// The program's playlist and player: songs one after another, and every sound a session asks for.
#pragma once

#include "media/audio_device.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <random>

namespace wren {

/// The songs of a playlist file's bytes: every line but those starting with "#", as a text reader reads
/// them (a CR before a line end dropped).
QStringList ParsePlaylist(const QByteArray &bytes);

/// What the player asks of the session whose sounds it plays (the selected one).
class PlayerHost
{
public:
    virtual ~PlayerHost() = default;
    /// Whether sounds play at all: the session's "Enable sounds" (true when no session is selected).
    virtual bool SoundsEnabled() const = 0;
    /// Runs an event ("On Sound Begin", "On Sound End") in the session, when one is selected.
    virtual void RunSoundEvent(const QByteArray &name) = 0;
};

/// One player for the program. Its playlist is two lists kept in step: the lines shown ("N. " + the file
/// name) and the songs' paths. CurrentSong is what Play plays; Selected is the line shown as selected.
class MusicPlayer : public QObject
{
    Q_OBJECT
public:
    /// @p host, when given, tells whether sounds play and runs their events; it must outlive the player.
    /// The player owns @p device; without one it makes the Qt Multimedia device.
    explicit MusicPlayer(PlayerHost *host, std::unique_ptr<AudioDevice> device = {}, QObject *parent = nullptr);
    ~MusicPlayer() override;

    const QStringList &Lines() const { return m_lines; }
    const QStringList &Songs() const { return m_songs; }
    int Selected() const { return m_selected; }
    int CurrentSong() const { return m_currentSong; }
    bool LoopPlaylist = false;
    AudioDevice &Device() { return *m_device; }
    /// Plays through @p device from now on (tests give one they steer).
    void UseDevice(std::unique_ptr<AudioDevice> device);
    bool SongTimerActive() const { return m_timer.isActive(); }

    /// Plays a sound file, or with an empty name the current song.
    void PlaySound(const QString &fileName);
    void Play();
    /// Pauses a playing song, resumes a paused one.
    void Pause();
    void Stop();
    void Next();
    void Previous();
    /// A random line among all but the last (the only one when there is one), played.
    void Random();
    /// Adds a song: its line "N. " + @p name and its @p path.
    void AddSong(const QString &name, const QString &path);
    /// The files the user chose to add, in order; CurrentSong becomes 0.
    void AddSongs(const QStringList &paths);
    /// A click on a line: it becomes the current song.
    void Select(int line);
    /// A double click on a line: it becomes the current song and plays.
    void Activate(int line);
    void Clear();
    /// Reads a playlist: lines starting with "#" are skipped, empty lines are songs with an empty path.
    /// Replaces the playlist, or appends to it; CurrentSong becomes 0.
    /// False, with the reason in @p error and the playlist as it was, when the file cannot be read whole.
    bool Load(const QString &path, bool append, QString *error = nullptr);
    /// Writes one path per line, each ended by CR LF, adding ".m3u" to a name without an extension. False
    /// with nothing written for an empty playlist, or with the system's text in @p error.
    bool Save(QString path, QString *error = nullptr);
    /// STOP: while a song plays, it stops and "On Sound End" runs in the selected session. False otherwise.
    bool StopAndTell();

    /// The file part of a path written with "/" or "\".
    static QString FilePart(const QString &path);

    std::mt19937 Randomness {std::random_device {}()};

signals:
    /// The lines or the selection changed.
    void Changed();
    /// The playlist wants to be shown (songs were added or loaded).
    void ShowWanted();

private:
    void SongEndCheck();
    void SelectLine(int line);
    void RunEvent(const char *name);

    PlayerHost *m_host = nullptr;
    std::unique_ptr<AudioDevice> m_device;
    QStringList m_lines;
    QStringList m_songs;
    int m_selected = -1;
    int m_currentSong = 0;
    /// What plays is a playlist line (not a sound effect): only its end moves on to the next line.
    bool m_songPlaying = false;
    bool m_playingFromList = false;
    QTimer m_timer;
};

} // namespace wren
