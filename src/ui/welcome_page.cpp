// SPDX-License-Identifier: GPL-3.0-or-later
// The welcome session's page, written in markup at start-up, and the picture and sound it uses.
#include "ui/welcome_page.h"

#include "base/text_helpers.h"
#include "config/globals.h"
#include "session/client.h"

#include <QDir>
#include <QFile>

// Resources of a static library are linked in only when something names them.
static void InitWelcomeResources()
{
    Q_INIT_RESOURCE(welcome);
}

namespace wren {

void InstallWelcomeMedia(const QString &folder)
{
    InitWelcomeResources();
    for (const char *name : {"WrenImage.jpg", "connect.wav"}) {
        const QString target = QDir(folder).filePath(QString::fromLatin1(name));
        if (QFile::exists(target))
            continue;
        if (QFile::copy(QStringLiteral(":/welcome/") + QString::fromLatin1(name), target))
            QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                              | QFileDevice::ReadOther);
    }
}

void WriteWelcomePage(TClient &welcome, const TGlobals &globals, const QByteArray &makerHost)
{
    const QByteArray site = makerHost.isEmpty() ? QByteArray() : "http://" + makerHost;
    const auto tag = [&welcome](const QByteArray &text) { welcome.InterpretTag(text); };
    tag("BACK COLOR=\"BLACK\"");
    tag("CENTER");
    tag("BOLD");
    tag("IMG SRC=WrenImage.jpg");
    tag("br");
    tag("FONT FACE=\"Comic Sans MS\" COLOR=red size=24");
    welcome.WriteText("Welcome to Wren Client v" + globals.Version + "!");
    tag("/B");
    tag("BR");
    tag("/CENTER");
    tag("BR");
    tag("FONT FACE=\"Tahoma\" size=10 color=white");
    if (globals.LatestVersion.toDouble() > globals.Version.toDouble()) {
        QByteArray digits = globals.LatestVersion;
        RemoveByte(digits, '.');
        welcome.WriteText("Version " + globals.LatestVersion + " is available:");
        tag("BR");
        welcome.WriteText("Click " + site + "/bin/wn" + digits + "setup.exe to download!");
        tag("BR");
    } else if (!site.isEmpty()) {
        welcome.WriteText("Find news, help and new worlds on the Wren Client home page: " + site + "/");
        tag("BR");
        welcome.WriteText("Meet other players in the forums: " + site + "/forums/");
        tag("BR");
    } else {
        welcome.WriteText("Open a world with File, New... (Ctrl+N), or start the program with telnet://host:port.");
        tag("BR");
        welcome.WriteText("Type help in a world to see what it offers; the client's own commands start with /.");
        tag("BR");
    }
    tag("BR");
    if (!site.isEmpty())
        welcome.WriteText("View version updates at: " + site + "/versions2x.php");
    else
        welcome.WriteText("View version updates with Help, View version info.");
    tag("/F");
    tag("BR");
    welcome.ProcessCommand("/PLAY connect.wav");
}

} // namespace wren
