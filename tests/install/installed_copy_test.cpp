// SPDX-License-Identifier: GPL-3.0-or-later
// An installed copy of the program, run from a read-only prefix: every file it keeps (worlds, logs,
// downloads, settings) lands in the per-user data folder, and nothing beside the program.
#include "automation/advanced_file.h"
#include "automation/automation_store.h"
#include "options/options_file.h"
#include "support/http_server.h"
#include "support/scripted_world.h"
#include "support/test_support.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace wren;
using wren::test::HttpServer;
using wren::test::ScriptedWorld;
using wren::test::WaitFor;

namespace {

// Every file and folder under @p root, relative to it, with its size.
QStringList Listing(const QString &root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        entries.append(QDir(root).relativeFilePath(it.filePath()) + QLatin1Char(' ')
                       + QString::number(it.fileInfo().isDir() ? -1 : it.fileInfo().size()));
    }
    entries.sort();
    return entries;
}

// Takes the write permission off (or gives it back to) everything under @p root.
void SetWritable(const QString &root, bool writable)
{
    QStringList paths {root};
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.append(it.next());
    for (const QString &path : paths) {
        QFileDevice::Permissions permissions = QFile::permissions(path);
        const auto write = QFileDevice::WriteOwner | QFileDevice::WriteUser | QFileDevice::WriteGroup
            | QFileDevice::WriteOther;
        permissions =
            writable ? (permissions | QFileDevice::WriteOwner | QFileDevice::WriteUser) : (permissions & ~write);
        QFile::setPermissions(path, permissions);
    }
}

QByteArray SmallPicture()
{
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "BMP");
    return bytes;
}

// Installs the build into @p prefix, as a player or a package would.
void Install(const QString &prefix)
{
    QProcess install;
    install.start(QStringLiteral(WREN_CMAKE),
                  {QStringLiteral("--install"), QStringLiteral(WREN_BUILD_DIR), QStringLiteral("--prefix"), prefix});
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().constData();
}

// The world's files as a player who used the client before has them in the data folder: logging to its own
// file, and a trigger that, once the world is ready, switches local echo, sets a variable, saves both files
// and quits.
void SeedWorld(const QString &base, quint16 port)
{
    TSessionOptions options;
    options.Host = "127.0.0.1";
    options.Port = QByteArray::number(port);
    options.WorldName = "Installed";
    options.SetDefaults();
    options.LogMode = 1;
    options.LogFile = "world.log";
    ASSERT_TRUE(options.LocalEcho);
    ASSERT_TRUE(SaveOptions(base + QStringLiteral(".wno"), options));
    AutomationStore automations;
    automations.AddTrigger("^Ready\\.$", "/LOCALECHO;/SET seen yes;/SAVE;/QUIT", "Main", 1);
    ASSERT_TRUE(SaveAdvanced(base + QStringLiteral(".wn2"), automations));
}

// The program's surroundings: no display, and its data, settings and home in @p root.
QProcessEnvironment Surroundings(const QTemporaryDir &root)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), root.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), root.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("HOME"), root.filePath(QStringLiteral("home")));
    // The media framework's plugin cache stays where it is, so it is not built again for this run.
    environment.insert(QStringLiteral("XDG_CACHE_HOME"),
                       QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation));
    return environment;
}

// What the world's data files say after the run: the options and automations the trigger saved.
void ExpectSavedWorld(const QString &base)
{
    TSessionOptions saved;
    ASSERT_EQ(LoadOptions(base + QStringLiteral(".wno"), saved), OptionsLoad::Loaded);
    EXPECT_FALSE(saved.LocalEcho) << "the world's options were saved in the data folder";
    AutomationStore savedAutomations;
    ASSERT_TRUE(LoadAdvanced(base + QStringLiteral(".wn2"), savedAutomations));
    const QList<TAdvancedItem> &variables = savedAutomations.Variables();
    EXPECT_TRUE(std::any_of(variables.begin(), variables.end(),
                            [](const TAdvancedItem &v) { return v.Name == "@seen" && v.Command == "yes"; }))
        << "the world's automations were saved in the data folder";
}

} // namespace

TEST(InstalledCopy, KeepsEveryFileInThePerUserDataFolder)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString prefix = root.filePath(QStringLiteral("prefix"));
    ASSERT_NO_FATAL_FAILURE(Install(prefix));
    const QString program = QDir(prefix).filePath(QStringLiteral("bin/wren"));
    ASSERT_TRUE(QFile::exists(program));
    SetWritable(prefix, false);
    const struct Restore {
        QString Prefix;
        ~Restore() { SetWritable(Prefix, true); } // so the temporary folder can be removed
    } restore {prefix};
    const QStringList installed = Listing(prefix);

    ScriptedWorld world;
    HttpServer web;
    const QByteArray picture = SmallPicture();
    web.Serve("/picture.bmp", {200, picture});
    const QString data = root.filePath(QStringLiteral("data/Wren Client"));
    ASSERT_TRUE(QDir().mkpath(data));
    const QString base = QDir(data).filePath(QStringLiteral("127.0.0.1.") + QString::number(world.Port()));
    ASSERT_NO_FATAL_FAILURE(SeedWorld(base, world.Port()));

    QProcess client;
    client.setProcessEnvironment(Surroundings(root));
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    client.start(program, {QStringLiteral("telnet://127.0.0.1:") + QString::number(world.Port())});
    ASSERT_TRUE(client.waitForStarted());
    const auto stop = qScopeGuard([&client] {
        if (client.state() != QProcess::NotRunning) {
            client.kill();
            client.waitForFinished();
        }
    });
    ASSERT_TRUE(WaitFor([&] { return world.Peer != nullptr; }, 30000)) << "the client did not connect";
    world.Peer->write("Welcome to the world of ZEL v1.50\r\n");
    ASSERT_TRUE(WaitFor([&] { return world.Received.contains("v1.50"); }, 10000)) << "no markup answer";
    world.Peer->write("A picture: <IMG SRC=" + web.Url("/picture.bmp") + ">\r\nReady.\r\n");
    ASSERT_TRUE(WaitFor([&] { return client.state() == QProcess::NotRunning; }, 30000)) << "the client did not quit";
    EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(client.exitCode(), 0);

    EXPECT_EQ(Listing(prefix), installed) << "nothing is written beside the installed program";
    ExpectSavedWorld(base);
    QFile log(QDir(data).filePath(QStringLiteral("logs/world.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << "the log is in the data folder's logs/";
    EXPECT_TRUE(log.readAll().contains("Ready."));
    QFile download(QDir(data).filePath(QStringLiteral("picture.bmp")));
    ASSERT_TRUE(download.open(QIODevice::ReadOnly)) << "the download is in the data folder";
    EXPECT_EQ(download.readAll(), picture);
    for (const char *own : {"wn.ini", "WrenImage.jpg", "connect.wav"})
        EXPECT_TRUE(QFile::exists(QDir(data).filePath(QString::fromLatin1(own)))) << own;
}
