// SPDX-License-Identifier: GPL-3.0-or-later
// A session running its world's Lua scripts against a loopback world: triggers on the world's lines,
// aliases before the classic ones, events, commands, game data, variables, /LUA, /RELOAD and the switch.
#include "config/app_settings.h"
#include "config/program_folder.h"
#include "scripting/script_engine.h"
#include "scripting/script_files.h"
#include "session/client.h"
#include "support/scripted_world.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::B;
using wren::test::WaitFor;

namespace {

class ScriptSession : public ::testing::Test
{
protected:
    void SetUp() override { SetProgramFolder(m_folder.path()); }

    void WriteScript(const QByteArray &name, const QByteArray &code)
    {
        const QString folder = ScriptsFolder("127.0.0.1", m_world.Port());
        QDir().mkpath(folder);
        QFile file(QDir(folder).filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(code);
    }
    void Start()
    {
        m_client = std::make_unique<TClient>(m_globals);
        m_client->Open("Scripted", "127.0.0.1", m_world.Port());
        m_client->Options.CommandChar = "/";
        m_client->Options.ExprSeparator = ";";
        m_client->ConnectTo("127.0.0.1", m_world.Port());
        ASSERT_TRUE(WaitFor([&] { return m_world.Peer && m_client->IsConnected(); }));
        m_world.Received.clear();
    }
    void Serve(const QByteArray &bytes)
    {
        m_world.Peer->write(bytes);
        m_world.Peer->flush();
        ASSERT_TRUE(WaitFor([&] { return m_client->Display.PlainText().contains(QStringLiteral("end")); }));
    }
    QByteArray Expect(const QByteArray &bytes)
    {
        WaitFor([&] { return m_world.Received.contains(bytes); });
        return std::exchange(m_world.Received, {});
    }
    QString Shown() const { return m_client->Display.PlainText(); }

    QTemporaryDir m_folder;
    TGlobals m_globals;
    test::ScriptedWorld m_world;
    std::unique_ptr<TClient> m_client;
};

} // namespace

TEST_F(ScriptSession, ScriptsHearLinesTakeCommandsAndReadTheSessionsData)
{
    WriteScript("10-play.lua", R"(
trigger("^You are hungry", function() send("eat bread") end)
alias("^gg (\\w+)$", function(m) send("get gold from " .. m[1]) end)
on("On GMCP Char.Vitals", function() send("hp " .. gmcp.Char.Vitals.hp) end)
command("hello", function(args) echo("hello " .. args .. " " .. var("target")) end)
)");
    Start();
    ASSERT_TRUE(m_client->Scripts().Engine());
    EXPECT_TRUE(m_client->Scripts().Engine()->LoadProblems().isEmpty());

    Serve("You are hungry.\r\nend\r\n");
    EXPECT_EQ(Expect("eat bread\r\n"), "eat bread\r\n");

    m_client->Automation.AddAlias("gg", "classic alias", "Main");
    m_client->ProcessCommand("gg corpse");
    EXPECT_EQ(Expect("\r\n"), "get gold from corpse\r\n") << "the script's alias comes before the classic one";

    m_client->ProcessCommand("/SET target orc");
    m_client->ProcessCommand("/hello there");
    EXPECT_TRUE(Shown().contains(QStringLiteral("hello there orc")));

    m_client->ProcessCommand("/LUA var('target', 'troll')");
    m_client->ProcessCommand("kill @target");
    EXPECT_EQ(Expect("\r\n"), "kill troll\r\n");

    m_world.Peer->write(B("\xff\xfb\xc9") + TelnetFilter::SubnegotiationMessage(201, "Char.Vitals {\"hp\":7}"));
    EXPECT_TRUE(Expect("hp 7\r\n").endsWith("hp 7\r\n"));
}

TEST_F(ScriptSession, ReloadStartsAFreshStateAndErrorsAreShownWithTheirLine)
{
    WriteScript("a.lua", "count = (count or 0) + 1\n");
    WriteScript("b.lua", "x = = 1\n");
    Start();
    EXPECT_TRUE(Shown().contains(QStringLiteral("b.lua:1:"))) << Shown().toStdString();
    m_client->ProcessCommand("/LUA count = count + 10");
    m_client->ProcessCommand("/RELOAD");
    m_client->ProcessCommand("/LUA echo('count ' .. count)");
    EXPECT_TRUE(Shown().contains(QStringLiteral("count 1"))) << "a fresh state: the count starts again";
    m_client->ProcessCommand("/LUA os.execute('true')");
    EXPECT_FALSE(Shown().contains(QStringLiteral("count 11")));
}

TEST_F(ScriptSession, ScriptsSwitchedOffForTheWorldLoadNothing)
{
    WriteScript("a.lua", "send('should not run')\n");
    {
        AppSettings settings;
        settings.SetWorldValue("127.0.0.1", QByteArray::number(m_world.Port()), QStringLiteral("Scripts/Enabled"), false);
    }
    Start();
    EXPECT_EQ(m_client->Scripts().Engine(), nullptr);
    m_client->ProcessCommand("/LUA echo('x')");
    EXPECT_TRUE(Shown().contains(QStringLiteral("Scripts are off for this world")));
    WaitFor([] { return false; }, 50);
    EXPECT_TRUE(m_world.Received.isEmpty());
}
