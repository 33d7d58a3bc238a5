// SPDX-License-Identifier: GPL-3.0-or-later
// The scripts folder: its place per world, the names it takes, links and caps, and the per-world settings.
#include "config/app_settings.h"
#include "config/program_folder.h"
#include "scripting/script_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace wren;

namespace {

TEST(ScriptFiles, EachWorldHasOneFolderInsideScripts)
{
    QTemporaryDir program;
    SetProgramFolder(program.path());
    EXPECT_EQ(ScriptsFolder("mud.example.org", 4000), program.path() + QStringLiteral("/scripts/mud.example.org.4000"));
    EXPECT_EQ(ScriptsFolder("../../etc", 23), program.path() + QStringLiteral("/scripts/.._.._etc.23"));
    EXPECT_EQ(ScriptsFolder("a/b\\c d", 23), program.path() + QStringLiteral("/scripts/a_b_c_d.23"));
    EXPECT_EQ(ScriptsFolder("..", 23), program.path() + QStringLiteral("/scripts/_.23"));
    EXPECT_EQ(ScriptsFolder("", 23), program.path() + QStringLiteral("/scripts/_.23"));
}

TEST(ScriptFiles, NamesArePlainFilesOfTheFolder)
{
    const std::pair<QByteArray, bool> names[] = {
        {"demo.lua", true},          {"notes-2.txt", true},
        {"a_b.c.d", true},           {"", false},
        {".hidden", false},          {"..", false},
        {"../x.lua", false},         {"a/b.lua", false},
        {"a\\b.lua", false},         {"x y.lua", false},
        {"caf\xC3\xA9.lua", false},  {QByteArray(65, 'a'), false},
        {QByteArray(64, 'a'), true}, {QByteArray("a\0b", 3), false},
    };
    for (const auto &[name, fine] : names)
        EXPECT_EQ(ScriptFolder::NameProblem(name).isEmpty(), fine) << name.toStdString();
}

TEST(ScriptFiles, ReadWriteAndListKeepToTheRules)
{
    QTemporaryDir base;
    const ScriptFolder folder(base.path() + QStringLiteral("/scripts/w.23"));
    EXPECT_TRUE(folder.Files().isEmpty()); // not there yet
    QByteArray error;
    ASSERT_TRUE(folder.Write("b.lua", "return 1", &error)) << error.constData();
    ASSERT_TRUE(folder.Write("a.txt", QByteArray("\0\xff", 2), &error));
    EXPECT_EQ(folder.Read("a.txt"), QByteArray("\0\xff", 2));
    EXPECT_EQ(folder.Files(), (QList<QByteArray> {"a.txt", "b.lua"}));
    EXPECT_EQ(folder.Scripts(), QList<QByteArray> {"b.lua"});

    // A link out of the folder, a folder, and an oddly named file are passed over.
    QFile::link(QStringLiteral("/etc/hostname"), folder.Path() + QStringLiteral("/link.lua"));
    QDir(folder.Path()).mkdir(QStringLiteral("sub.lua"));
    QFile odd(folder.Path() + QStringLiteral("/odd name.lua"));
    odd.open(QIODevice::WriteOnly);
    EXPECT_EQ(folder.Files(), (QList<QByteArray> {"a.txt", "b.lua"}));
    EXPECT_FALSE(folder.Read("link.lua", &error));
    EXPECT_EQ(error, "link.lua is not a plain file");
    EXPECT_FALSE(folder.Write("link.lua", "x", &error));
    EXPECT_FALSE(folder.Read("sub.lua", &error));

    EXPECT_FALSE(folder.Write("big.txt", QByteArray(ScriptFolder::MaxFileBytes + 1, 'x'), &error));
    EXPECT_EQ(error, "a file may hold at most 4 MB");
    QFile large(folder.Path() + QStringLiteral("/large.txt"));
    large.open(QIODevice::WriteOnly);
    large.resize(ScriptFolder::MaxFileBytes + 1);
    large.close();
    EXPECT_FALSE(folder.Read("large.txt", &error));
    EXPECT_EQ(error, "large.txt is larger than 4 MB");
}

TEST(ScriptFiles, WithoutAFolderNothingIsReadOrWritten)
{
    // A session whose scripts were never loaded has no folder: a name must not land in the working folder.
    const ScriptFolder none;
    QByteArray error;
    EXPECT_FALSE(none.Write("x.txt", "x", &error));
    EXPECT_EQ(error, "this session has no scripts folder");
    EXPECT_FALSE(none.Read("x.txt", &error));
    EXPECT_TRUE(none.Files().isEmpty());
}

TEST(ScriptFiles, TheFolderIsCappedInAll)
{
    QTemporaryDir base;
    const ScriptFolder folder(base.path());
    const QByteArray chunk(ScriptFolder::MaxFileBytes, 'x');
    QByteArray error;
    int written = 0;
    while (folder.Write("f" + QByteArray::number(written) + ".txt", chunk, &error))
        ++written;
    EXPECT_EQ(written, ScriptFolder::MaxFolderBytes / ScriptFolder::MaxFileBytes);
    EXPECT_EQ(error, "the scripts folder may hold at most 32 MB");
    EXPECT_TRUE(folder.Write("f0.txt", "smaller", &error)) << error.constData(); // replacing counts the new size
}

TEST(ScriptFiles, ScriptsCanBeSwitchedOffAndTheirMemorySetPerWorld)
{
    QTemporaryDir dir;
    AppSettings settings(dir.filePath(QStringLiteral("wrenclient.ini")));
    ScriptWorldSettings world = ReadScriptSettings(settings, "mud.org", "4000");
    EXPECT_TRUE(world.Enabled);
    EXPECT_EQ(world.MemoryBytes, 64 * 1024 * 1024);
    settings.SetWorldValue("mud.org", "4000", QStringLiteral("Scripts/Enabled"), false);
    settings.SetWorldValue("mud.org", "4000", QStringLiteral("Scripts/MemoryMB"), 128);
    world = ReadScriptSettings(settings, "mud.org", "4000");
    EXPECT_FALSE(world.Enabled);
    EXPECT_EQ(world.MemoryBytes, 128 * 1024 * 1024);
    settings.SetWorldValue("mud.org", "4000", QStringLiteral("Scripts/MemoryMB"), 1);
    EXPECT_EQ(ReadScriptSettings(settings, "mud.org", "4000").MemoryBytes, 4 * 1024 * 1024);
    settings.SetWorldValue("mud.org", "4000", QStringLiteral("Scripts/MemoryMB"), QStringLiteral("lots"));
    EXPECT_EQ(ReadScriptSettings(settings, "mud.org", "4000").MemoryBytes, 64 * 1024 * 1024);
    EXPECT_TRUE(ReadScriptSettings(settings, "other.org", "23").Enabled);
}

} // namespace
