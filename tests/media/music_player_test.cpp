// SPDX-License-Identifier: GPL-3.0-or-later
// The playlist and player: PlaySound's steps, Play, Pause, Stop, Next, Previous, Loop, song end and its
// events, RANDOM, the playlist files, the music commands, and a real sound played to its end.
#include "config/program_folder.h"
#include "media/music_player.h"
#include "session/client.h"
#include "session/workspace.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::WaitFor;

namespace {

// A device the test steers: files open when they exist; a song ends when the test says so.
class ScriptedDevice : public AudioDevice
{
public:
    QStringList Opened;
    QString File;
    Mode State = Mode::NotReady;
    bool Ended = false;
    bool Playable = true;

    bool Open(const QString &path) override
    {
        if (!QFile::exists(path))
            return false;
        File = path;
        Opened.append(QFileInfo(path).fileName());
        State = Mode::Stopped;
        Ended = false;
        return true;
    }
    bool Play() override
    {
        if (File.isEmpty() || !Playable)
            return false;
        State = Mode::Playing;
        return true;
    }
    void Pause() override { State = Mode::Paused; }
    void Resume() override { State = Mode::Playing; }
    void Stop() override { State = Mode::Stopped; }
    void Close() override
    {
        File.clear();
        State = Mode::NotReady;
    }
    bool IsOpen() const override { return !File.isEmpty(); }
    Mode CurrentMode() const override { return State; }
    bool AtEnd() const override { return Ended; }
    void End()
    {
        Ended = true;
        State = Mode::Stopped;
    }
};

// A short silent-ish WAV the tests write themselves.
QByteArray Wav(int milliseconds)
{
    constexpr int rate = 8000;
    const int samples = rate * milliseconds / 1000;
    QByteArray pcm(samples * 2, '\0');
    for (int i = 0; i < samples; ++i)
        qToLittleEndian<qint16>(static_cast<qint16>((i % 40) * 200 - 4000), pcm.data() + 2 * i);
    QByteArray wav("RIFF");
    const auto put32 = [&wav](quint32 v) {
        char b[4];
        qToLittleEndian<quint32>(v, b);
        wav.append(b, 4);
    };
    const auto put16 = [&wav](quint16 v) {
        char b[2];
        qToLittleEndian<quint16>(v, b);
        wav.append(b, 2);
    };
    put32(static_cast<quint32>(36 + pcm.size()));
    wav.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(1);
    put32(rate);
    put32(rate * 2);
    put16(2);
    put16(16);
    wav.append("data");
    put32(static_cast<quint32>(pcm.size()));
    return wav + pcm;
}

class Player : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.path());
        m_session = std::make_unique<TClient>(m_globals);
        QObject::connect(m_session.get(), &TClient::EventRaised, [this](const QByteArray &name) { Events.append(name); });
        auto device = std::make_unique<ScriptedDevice>();
        Device = device.get();
        m_player = std::make_unique<MusicPlayer>(&m_sounds, std::move(device));
        for (const char *name : {"a.wav", "b.wav", "c.wav", "ding.wav"})
            Write(m_folder.filePath(QString::fromLatin1(name)), "RIFF");
    }
    static void Write(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QString Path(const char *name) const { return m_folder.filePath(QString::fromLatin1(name)); }
    void ThreeSongs() { m_player->AddSongs({Path("a.wav"), Path("b.wav"), Path("c.wav")}); }
    // The song-end timer's next tick.
    void Tick() { test::Pump(250); }

    QTemporaryDir m_folder;
    TGlobals m_globals;
    std::unique_ptr<TClient> m_session;
    SessionSounds m_sounds {[this] { return WithSession ? m_session.get() : nullptr; }};
    std::unique_ptr<MusicPlayer> m_player;
    ScriptedDevice *Device = nullptr;
    QList<QByteArray> Events;
    bool WithSession = true;
};

} // namespace

TEST_F(Player, SoundsOffPlayNothingAndRaiseNothing)
{
    ThreeSongs();
    m_session->Options.EnableSounds = false;
    m_player->Play();
    m_player->PlaySound(Path("ding.wav"));
    EXPECT_TRUE(Device->Opened.isEmpty());
    EXPECT_TRUE(Events.isEmpty());

    // With no session selected, sounds play and no event runs.
    WithSession = false;
    m_player->Play();
    EXPECT_EQ(Device->Opened, QStringList {QStringLiteral("a.wav")});
    EXPECT_TRUE(Events.isEmpty());
}

TEST_F(Player, PlaySoundFindsTheProgramFolderAndFailuresLeaveTheTimerOff)
{
    const QString before = QDir::currentPath();
    QTemporaryDir elsewhere;
    QDir::setCurrent(elsewhere.path());
    m_player->PlaySound(QStringLiteral("ding.wav")); // only in the program folder
    EXPECT_EQ(Device->Opened, QStringList {QStringLiteral("ding.wav")});
    EXPECT_TRUE(m_player->SongTimerActive());
    m_player->PlaySound(QStringLiteral("missing.wav"));
    EXPECT_FALSE(m_player->SongTimerActive());
    Device->Playable = false;
    m_player->PlaySound(QStringLiteral("ding.wav"));
    EXPECT_FALSE(m_player->SongTimerActive());
    EXPECT_EQ(Events, (QList<QByteArray> {"On Sound Begin", "On Sound Begin", "On Sound Begin"}))
        << "the event runs before the file is tried";
    EXPECT_EQ(m_session->Display.PlainText(), QString()) << "no message";
    QDir::setCurrent(before);
}

TEST_F(Player, ASoundWhileMusicPlaysJoinsThePlaylist)
{
    ThreeSongs();
    m_player->Play();
    m_player->PlaySound(Path("ding.wav"));
    EXPECT_EQ(m_player->Lines().back(), QStringLiteral("4. ding.wav"));
    EXPECT_EQ(m_player->Selected(), 3);
    EXPECT_EQ(m_player->CurrentSong(), 3);
    EXPECT_EQ(Device->Opened.back(), QStringLiteral("ding.wav"));
    // When it ends, with Loop on, the playlist starts again at its first line.
    m_player->LoopPlaylist = true;
    Events.clear();
    Device->End();
    Tick();
    EXPECT_EQ(Device->Opened.back(), QStringLiteral("a.wav"));
    EXPECT_EQ(Events, (QList<QByteArray> {"On Sound Begin", "On Sound End"})) << "the next begins before the end runs";
}

TEST_F(Player, ASoundEffectsEndDoesNotStartThePlaylist)
{
    ThreeSongs(); // listed, not playing
    m_player->PlaySound(Path("ding.wav"));
    EXPECT_EQ(m_player->Lines().size(), 3) << "a sound with no music playing joins no list";
    Events.clear();
    Device->End();
    Tick();
    EXPECT_FALSE(Device->IsOpen());
    EXPECT_EQ(Device->Opened, QStringList {QStringLiteral("ding.wav")}) << "no song starts after it";
    EXPECT_EQ(Events, QList<QByteArray> {"On Sound End"});

    // Once the user plays the list, songs follow one another again.
    m_player->Play();
    Device->End();
    Tick();
    EXPECT_EQ(Device->Opened.back(), QStringLiteral("b.wav"));
}

TEST_F(Player, SongsFollowOneAnotherAndStopAtTheEnd)
{
    ThreeSongs();
    EXPECT_EQ(m_player->Lines(), (QStringList {QStringLiteral("1. a.wav"), QStringLiteral("2. b.wav"),
                                               QStringLiteral("3. c.wav")}));
    m_player->Play();
    for (const char *next : {"b.wav", "c.wav"}) {
        Device->End();
        Tick();
        EXPECT_EQ(Device->Opened.back(), QString::fromLatin1(next));
    }
    Events.clear();
    Device->End();
    Tick();
    EXPECT_FALSE(Device->IsOpen()) << "the player closes after the last song";
    EXPECT_EQ(Events, QList<QByteArray> {"On Sound End"});
    EXPECT_FALSE(m_player->SongTimerActive());
    m_player->Next(); // at the last line, nothing
    EXPECT_EQ(Device->Opened.size(), 3);
}

TEST_F(Player, PauseStopNextPreviousAndTheirEnds)
{
    ThreeSongs();
    m_player->Play();
    m_player->Pause();
    EXPECT_EQ(Device->State, AudioDevice::Mode::Paused);
    m_player->Pause();
    EXPECT_EQ(Device->State, AudioDevice::Mode::Playing) << "Pause twice resumes";
    m_player->Previous(); // at the first line, nothing
    EXPECT_EQ(Device->Opened.size(), 1);
    m_player->Next();
    m_player->Next();
    m_player->Previous();
    EXPECT_EQ(Device->Opened, (QStringList {QStringLiteral("a.wav"), QStringLiteral("b.wav"), QStringLiteral("c.wav"),
                                            QStringLiteral("b.wav")}));
    Events.clear();
    m_player->Stop();
    EXPECT_EQ(Device->State, AudioDevice::Mode::Stopped);
    EXPECT_FALSE(m_player->SongTimerActive());
    EXPECT_TRUE(Events.isEmpty()) << "the menu's Stop raises nothing";
    m_player->Activate(2);
    EXPECT_EQ(Device->Opened.back(), QStringLiteral("c.wav"));
    EXPECT_TRUE(m_player->StopAndTell());
    EXPECT_EQ(Events.back(), "On Sound End");
    EXPECT_FALSE(m_player->StopAndTell()) << "not playing: nothing";
}

TEST_F(Player, RandomNeverDrawsTheLastLine)
{
    m_player->Random(); // empty playlist: nothing
    EXPECT_TRUE(Device->Opened.isEmpty());
    m_player->AddSongs({Path("a.wav")});
    m_player->Random();
    EXPECT_EQ(m_player->CurrentSong(), 0);
    m_player->AddSongs({Path("b.wav"), Path("c.wav"), Path("ding.wav")});
    QSet<int> drawn;
    for (int i = 0; i < 200; ++i) {
        m_player->Random();
        drawn.insert(m_player->CurrentSong());
    }
    EXPECT_EQ(drawn, (QSet<int> {0, 1, 2}));
}

TEST_F(Player, PlaylistFilesRoundTrip)
{
    EXPECT_FALSE(m_player->Save(Path("empty"))) << "nothing is written for an empty playlist";
    EXPECT_FALSE(QFile::exists(Path("empty.m3u")));
    ThreeSongs();
    ASSERT_TRUE(m_player->Save(Path("mix")));
    QFile saved(Path("mix.m3u"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), (Path("a.wav") + QStringLiteral("\r\n") + Path("b.wav") + QStringLiteral("\r\n")
                                + Path("c.wav") + QStringLiteral("\r\n"))
                                   .toUtf8());
    ASSERT_TRUE(m_player->Save(Path("mix.pls")));
    EXPECT_TRUE(QFile::exists(Path("mix.pls")));

    Write(Path("list.m3u"), "#EXTM3U\r\nc:\\music\\a.mp3\r\n\r\n");
    m_player->Load(Path("list.m3u"), false);
    EXPECT_EQ(m_player->Lines(), (QStringList {QStringLiteral("1. a.mp3"), QStringLiteral("2. ")}));
    EXPECT_EQ(m_player->Songs(), (QStringList {QStringLiteral("c:\\music\\a.mp3"), QString()}));
    m_player->Load(Path("mix.m3u"), true);
    EXPECT_EQ(m_player->Lines().size(), 5);
    EXPECT_EQ(m_player->Lines()[2], QStringLiteral("3. a.wav"));
    EXPECT_EQ(m_player->CurrentSong(), 0);
    m_player->Load(Path("none.m3u"), false);
    EXPECT_TRUE(m_player->Lines().isEmpty()) << "a missing file empties the list when replacing";

    // A song with an empty path is skipped by Play.
    m_player->Load(Path("list.m3u"), false);
    m_player->Select(1);
    m_player->Play();
    EXPECT_TRUE(Device->Opened.isEmpty());
}

// The music commands through a session of a workspace.
TEST(MusicCommands, SongAddRandomNextPreviousStopAndPlay)
{
    QTemporaryDir folder;
    SetProgramFolder(folder.path());
    TGlobals globals;
    Workspace workspace(globals);
    auto device = std::make_unique<ScriptedDevice>();
    ScriptedDevice *played = device.get();
    workspace.Music.UseDevice(std::move(device));
    TClient *session = workspace.NewSession("w", "w", 1, false);
    for (const char *name : {"a.wav", "b.wav"}) {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    session->ProcessCommand("/SONG");
    EXPECT_TRUE(session->Display.PlainText().contains(QStringLiteral("No song is selected.")));
    session->ProcessCommand("/ADD " + QFile::encodeName(folder.filePath(QStringLiteral("a.wav"))));
    session->ProcessCommand("/ADD   ");
    session->ProcessCommand("/ADD " + QFile::encodeName(folder.filePath(QStringLiteral("b.wav"))));
    EXPECT_EQ(workspace.Music.Lines(), (QStringList {QStringLiteral("1. a.wav"), QStringLiteral("2. b.wav")}));
    session->ProcessCommand("/RANDOM");
    EXPECT_EQ(played->Opened.back(), QStringLiteral("a.wav"));
    session->ProcessCommand("/NEXT");
    EXPECT_EQ(played->Opened.back(), QStringLiteral("b.wav"));
    session->ProcessCommand("/SONG");
    EXPECT_TRUE(session->Display.PlainText().contains(QStringLiteral("Current song is: 2. b.wav\n")));
    session->ProcessCommand("/PREVIOUS");
    EXPECT_EQ(played->Opened.back(), QStringLiteral("a.wav"));
    QList<QByteArray> events;
    QObject::connect(session, &TClient::EventRaised, [&](const QByteArray &name) { events.append(name); });
    session->ProcessCommand("/STOP");
    EXPECT_EQ(events, QList<QByteArray> {"On Sound End"});
    session->ProcessCommand("/STOP");
    EXPECT_EQ(events.size(), 1);
    session->ProcessCommand("/PLAY b.wav");
    EXPECT_EQ(played->Opened.back(), QStringLiteral("b.wav"));
    session->ProcessCommand("/PLAY nowhere.wav");
    EXPECT_TRUE(test::WaitFor(
        [&] { return session->Display.PlainText().contains(QStringLiteral("ZEL Audio Load Error : http://nowhere.wav")); }));
}

// The real player: a generated sound plays to its end headless, and the next one follows.
TEST(RealPlayer, GeneratedSoundsPlayToTheirEnd)
{
    QTemporaryDir folder;
    SetProgramFolder(folder.path());
    for (const char *name : {"one.wav", "two.wav"}) {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Wav(300));
    }
    TGlobals globals;
    TClient session(globals);
    QList<QByteArray> events;
    QObject::connect(&session, &TClient::EventRaised, [&](const QByteArray &name) { events.append(name); });
    SessionSounds sounds([&session] { return &session; });
    MusicPlayer player(&sounds);
    player.AddSongs({folder.filePath(QStringLiteral("one.wav")), folder.filePath(QStringLiteral("two.wav"))});
    player.Play();
    ASSERT_TRUE(player.SongTimerActive());
    ASSERT_TRUE(WaitFor([&] { return events.count("On Sound End") == 2; }, 10000))
        << "events so far: " << events.join(' ').constData();
    EXPECT_EQ(events, (QList<QByteArray> {"On Sound Begin", "On Sound Begin", "On Sound End", "On Sound End"}));
    EXPECT_FALSE(player.SongTimerActive());
}
