// SPDX-License-Identifier: GPL-3.0-or-later
// A world's files through the real session: a file that failed to load is never written over by what little
// was read, settings too large to load again are not saved, and imports say what they took.
#include "automation/advanced_file.h"
#include "config/global_settings.h"
#include "config/program_folder.h"
#include "config/save_file.h"
#include "media/music_player.h"
#include "session/client.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace wren;

namespace {

class WorldFilesTest : public ::testing::Test
{
protected:
    void SetUp() override { SetProgramFolder(m_folder.path()); }
    void TearDown() override { SetOverwriteQuestion({}); }

    QString Path(const char *name) const { return m_folder.filePath(QString::fromLatin1(name)); }
    static void Write(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray Read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList Backups(const char *name) const
    {
        return QDir(m_folder.path()).entryList({QString::fromLatin1(name) + QStringLiteral(".*.bak")});
    }
    std::unique_ptr<TClient> Session()
    {
        auto session = std::make_unique<TClient>(m_globals);
        QObject::connect(session.get(), &TClient::Notice, [this](const QString &text) { Notices.append(text); });
        session->Open("World", "w.example", 4000);
        return session;
    }

    QTemporaryDir m_folder;
    TGlobals m_globals;
    QStringList Notices;
};

} // namespace

// Twelve thousand variables (a /SET trigger's work) make a file that a load would refuse: it is not written,
// and the file that was there stays whole.
TEST_F(WorldFilesTest, SettingsTooLargeToLoadAreNotSaved)
{
    auto session = Session();
    session->Automation.AddAlias("k", "kill", "Main");
    ASSERT_TRUE(session->SaveAdvanced());
    const QByteArray saved = Read(Path("w.example.4000.wn2"));
    for (int i = 0; i < 12000; ++i)
        session->Automation.AddVariable("@v" + QByteArray::number(i), "x", "Main", 0);
    EXPECT_FALSE(session->SaveAdvanced());
    EXPECT_EQ(Read(Path("w.example.4000.wn2")), saved);
    ASSERT_FALSE(Notices.isEmpty());
    EXPECT_TRUE(Notices.back().contains(QStringLiteral("The file was not changed"))) << Notices.back().toStdString();
}

// A .wn2 the session could not load (too large) leaves the session empty; its next save must not write
// that emptiness over the user's file. With the user's word it does, and the old file is kept beside it.
TEST_F(WorldFilesTest, FileThatFailedToLoadIsReplacedOnlyWithTheUsersWordAndABackup)
{
    const QByteArray big(AdvancedFileMaxSize + AdvancedRecordSize, 'x');
    Write(Path("w.example.4000.wn2"), big);
    auto session = Session();
    ASSERT_FALSE(Notices.isEmpty()) << "the failed load is reported";
    session->ProcessCommand("/SAVE");
    EXPECT_EQ(Read(Path("w.example.4000.wn2")), big);
    EXPECT_TRUE(Notices.back().contains(QStringLiteral("not saved"))) << Notices.back().toStdString();
    EXPECT_TRUE(Backups("w.example.4000.wn2").isEmpty());

    QStringList asked;
    SetOverwriteQuestion([&](const QString &question) {
        asked.append(question);
        return true;
    });
    EXPECT_TRUE(session->SaveAdvanced());
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(Read(Path("w.example.4000.wn2")).size(), AdvancedRecordSize) << "the session's own settings";
    const QStringList backups = Backups("w.example.4000.wn2");
    ASSERT_EQ(backups.size(), 1);
    EXPECT_EQ(Read(m_folder.filePath(backups.front())), big);
    EXPECT_TRUE(session->SaveAdvanced());
    EXPECT_EQ(asked.size(), 1) << "once replaced, the file is the session's own again";
}

// The same rule for the program's other files read at start or on request: wn.ini and playlists.
TEST_F(WorldFilesTest, OtherFilesThatFailedToLoadAreKept)
{
    const QByteArray wnIni = "WPLogin=me\r\n" + QByteArray(100 * 1024, ';');
    Write(Path("wn.ini"), wnIni);
    QString error;
    EXPECT_FALSE(LoadGlobalSettings(Path("wn.ini"), m_globals, &error));
    EXPECT_FALSE(SaveGlobalSettings(Path("wn.ini"), m_globals, &error));
    EXPECT_EQ(Read(Path("wn.ini")), wnIni);

    QByteArray list;
    for (int i = 0; list.size() <= 4 * 1024 * 1024; ++i)
        list += "/music/song" + QByteArray::number(i) + ".mp3\r\n";
    Write(Path("big.m3u"), list);
    MusicPlayer player(nullptr);
    player.AddSong(QStringLiteral("kept.wav"), QStringLiteral("kept.wav"));
    EXPECT_FALSE(player.Load(Path("big.m3u"), false, &error));
    EXPECT_EQ(player.Songs(), QStringList {QStringLiteral("kept.wav")}) << "the playlist stays as it was";
    EXPECT_FALSE(player.Save(Path("big.m3u"), &error));
    EXPECT_EQ(Read(Path("big.m3u")), list);
}

// An import that takes no item says so and why, instead of a success line.
TEST_F(WorldFilesTest, ImportsThatTakeNothingSaySo)
{
    auto session = Session();
    session->Automation.AddAlias("k", "kill", "Main");
    session->ExportText(Path("own.txt"));
    Write(Path("empty.wns"), "[Aliases]\r\n[Vars]\r\nx\r\n");
    Write(Path("short.wn2"), QByteArray(100, 'x'));
    const struct {
        void (TClient::*Import)(const QString &);
        const char *File;
        const char *Why;
    } cases[] = {
        {&TClient::ImportZMud, "own.txt", "#ALIAS"},
        {&TClient::ImportWns, "empty.wns", "[Aliases]"},
        {&TClient::ImportAdvanced, "short.wn2", "no settings records"},
    };
    for (const auto &c : cases) {
        session->Display.Clear();
        (session.get()->*c.Import)(Path(c.File));
        const QString text = session->Display.PlainText();
        EXPECT_TRUE(text.contains(QStringLiteral("Nothing was imported:"))) << c.File << ": " << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromLatin1(c.Why))) << c.File << ": " << text.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("successfully"))) << c.File;
    }
    ASSERT_TRUE(session->SaveAdvanced());
    session->Display.Clear();
    session->ImportAdvanced(Path("w.example.4000.wn2"));
    EXPECT_TRUE(session->Display.PlainText().contains(QStringLiteral("Settings imported successfully!")));
}
