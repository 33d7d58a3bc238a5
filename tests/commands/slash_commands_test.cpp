// SPDX-License-Identifier: GPL-3.0-or-later
// A session with its .wn2 automations against a loopback world, and the session's own slash commands.
#include "automation/advanced_file.h"
#include "config/app_settings.h"
#include "config/program_folder.h"
#include "session/workspace.h"
#include "support/http_server.h"
#include "session/client.h"
#include "support/scripted_world.h"
#include "support/test_support.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::B;
using wren::test::ScriptedWorld;
using wren::test::WaitFor;

namespace {

class SessionCommands : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.path());
        m_client = std::make_unique<TClient>(m_globals);
        m_globals.Sessions = {m_client.get()};
    }

    void Connect()
    {
        m_client->ConnectTo("127.0.0.1", m_world.Port());
        ASSERT_TRUE(WaitFor([&] { return m_world.Peer && m_client->IsConnected(); }));
    }

    /// Runs typed text and waits until the world has received @p expected in total.
    void Type(const QByteArray &text) { m_client->ProcessCommand(text); }
    bool Received(const QByteArray &expected)
    {
        return WaitFor([&] { return m_world.Received == expected; }, 3000);
    }
    void ServerSends(const QByteArray &bytes)
    {
        m_world.Peer->write(bytes);
        m_world.Peer->flush();
    }
    QString Text() const { return m_client->Display.PlainText(); }
    QByteArray Variable(const QByteArray &name) const
    {
        for (const TAdvancedItem &v : m_client->Automation.Variables()) {
            if (v.Name == name)
                return v.Command;
        }
        return "<none>";
    }

    QTemporaryDir m_folder;
    TGlobals m_globals;
    ScriptedWorld m_world;
    std::unique_ptr<TClient> m_client;
};

} // namespace

TEST_F(SessionCommands, WorldFileAutomationsAnswerTheServer)
{
    // The world's .wn2 file, as a player's existing file would hold it.
    AutomationStore saved;
    saved.AddAlias("k", "kill %1", "Main");
    saved.AddVariable("@target", "orc", "Main", 0);
    saved.AddTrigger("^You see (\\w+) here\\.$", "k $1\r\nsay found $1", "Main", 1);
    saved.AddTrigger("damn", "darn", "Main", 0);
    saved.AddTrigger("^HP: (\\d+)/(\\d+)> $", "say hp $1 of $2", "Prompt", 1);
    saved.AddEvent("On Connect", "look\r\nscore", "Main");
    ASSERT_TRUE(SaveAdvanced(m_folder.filePath(QStringLiteral("127.0.0.1.%1.wn2").arg(m_world.Port())), saved, nullptr));

    m_client->Open("Test", "127.0.0.1", m_world.Port());
    m_client->Options.LogMode = 1;
    m_client->Options.LogFile = "session.log";
    Connect();
    ASSERT_TRUE(Received("look\r\nscore\r\n"));

    ServerSends("You see goblin here.\r\nA damn rat.\r\n");
    ASSERT_TRUE(Received("look\r\nscore\r\nkill goblin\r\nsay found goblin\r\n"));
    EXPECT_EQ(Variable("$1"), "goblin");

    ServerSends(B("HP: 10/20> \xff\xf9"));
    ASSERT_TRUE(Received("look\r\nscore\r\nkill goblin\r\nsay found goblin\r\nsay hp 10 of 20\r\n"));

    Type("k @target");
    ASSERT_TRUE(Received("look\r\nscore\r\nkill goblin\r\nsay found goblin\r\nsay hp 10 of 20\r\nkill orc\r\n"));

    EXPECT_TRUE(Text().contains(QStringLiteral("A darn rat.")));
    EXPECT_TRUE(Text().contains(QStringLiteral("kill orc\n"))) << "the sent line is echoed";
    QFile log(m_folder.filePath(QStringLiteral("logs/session.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray logged = log.readAll();
    EXPECT_TRUE(logged.contains("You see goblin here.\nA darn rat.\n"));
    EXPECT_FALSE(logged.contains("kill orc")) << "the echo is not logged";
}

TEST_F(SessionCommands, TriggersRunInListOrderWithTheirOwnCaptures)
{
    m_client->Automation.AddTrigger("(\\w+) arrives", "say hi $1", "Main", 1);
    m_client->Automation.AddTrigger("arrives from the (\\w+)", "say from $1", "Main", 1);
    m_client->Automation.AddTrigger("never (matches)", "say no", "Main", 1);
    Connect();
    ServerSends("Bob arrives from the north.\r\n");
    ASSERT_TRUE(Received("say hi Bob\r\nsay from north\r\n"));
    EXPECT_EQ(Variable("$1"), "north");
    EXPECT_EQ(Variable("$2"), "");
    EXPECT_EQ(Variable("$9"), "<none>") << "the trailing comma of the template is dropped";
}

TEST_F(SessionCommands, CapturesWithCommasShiftTheVariables)
{
    m_client->Automation.AddTrigger("^(.*) says (.*)$", "x", "Main", 1);
    m_client->ReceiveBytes("Ann says a, b\r\n");
    // "$&,$1,$2,..." is "Ann says a, b,Ann,a, b,,...": the whole match's comma shifts everything by one.
    EXPECT_EQ(Variable("$1"), " b");
    EXPECT_EQ(Variable("$2"), "Ann");
    EXPECT_EQ(Variable("$3"), "a");
    EXPECT_EQ(Variable("$4"), " b");
    EXPECT_EQ(Variable("$5"), "");
}

TEST_F(SessionCommands, TriggersOffMeansNoPass)
{
    m_client->Automation.AddTrigger("rat", "say rat!", "Main", 1);
    m_client->Options.EnableTriggers = false;
    Connect();
    ServerSends(B("a rat \xff\xfb\x01\r\n"));
    ASSERT_TRUE(WaitFor([&] { return Text().contains(QStringLiteral("a rat")); }));
    test::Pump(50);
    EXPECT_EQ(m_world.Received, B("\xff\xfd\x01")) << "only the telnet answer, no trigger command";
}

TEST_F(SessionCommands, SelfMatchingTriggerCannotRunAway)
{
    // Its command writes a line that matches its own pattern.
    m_client->Automation.AddTrigger("Local echo is now", "/LOCALECHO", "Loop", 1);
    Type("/LOCALECHO");
    const qsizetype lines = Text().count(QStringLiteral("Local echo is now"));
    EXPECT_GE(lines, 2);
    EXPECT_LE(lines, TClient::MaxTriggerDepth + 2);
    // Server text still takes part in full.
    m_client->ReceiveBytes("Local echo is now fine\r\n");
    EXPECT_GT(Text().count(QStringLiteral("Local echo is now")), lines + 1);
}

TEST_F(SessionCommands, BadPatternIsSkippedAndReportedOnce)
{
    m_client->Automation.AddTrigger("(unclosed", "say bad", "Main", 1);
    m_client->Automation.AddTrigger("fine", "say good", "Main", 1);
    Connect();
    ServerSends("fine\r\nfine\r\n");
    ASSERT_TRUE(Received("say good\r\nsay good\r\n"));
    EXPECT_EQ(Text().count(QStringLiteral("regular expression error")), 1);
}

TEST_F(SessionCommands, SlashCommands)
{
    Connect();
    Type("/SET hp 10 20");
    EXPECT_EQ(Variable("@hp"), "10 20");
    Type("/set mp");
    EXPECT_EQ(Variable("@mp"), "");
    Type("/SET");
    EXPECT_TRUE(Text().contains(QStringLiteral("Invalid parameters.  Expected: SET varname value\n")));

    Type("/3 kill rat;flee");
    Type("/3kill");
    Type("/0 look;/-2 look;/sav;/");
    ASSERT_TRUE(Received("kill rat\r\nkill rat\r\nkill rat\r\nflee\r\n\r\n\r\n\r\n/0 look\r\n/-2 look\r\n/sav\r\n/\r\n"));

    // Nested repeats would run 10^9 commands: the work budget ends them with one line.
    const QByteArray before = m_world.Received;
    Type("/1000 /1000 /1000 x;after");
    EXPECT_EQ(Text().count(QStringLiteral("Command stopped: it would have run more than 10000 commands.")), 1);
    ASSERT_TRUE(WaitFor([&] { return m_world.Received.count("x\r\n") >= 9000; }));
    test::Pump(50);
    EXPECT_LE(m_world.Received.count("x\r\n") - before.count("x\r\n"), CommandBudget::Limit);
    EXPECT_FALSE(m_world.Received.contains("after"));
    Type("look");
    ASSERT_TRUE(WaitFor([&] { return m_world.Received.endsWith("look\r\n"); })) << "the next command runs";

    // A repeat of something that sends nothing is bounded as well: each empty run costs a unit.
    for (const char *nothing : {"/2000000000 ;", "/2000000000 ~~~~~~~~~~", "/2000000000 ;;;"}) {
        Type(nothing);
        EXPECT_TRUE(Text().endsWith(QStringLiteral("Command stopped: it would have run more than 10000 commands.\n")))
            << nothing;
    }

    m_client->Automation.AddAlias("kill", "attack", "combat");
    m_client->Automation.AddTrigger("x", "y", "combat", 0);
    Type("/OFF combat kill");
    EXPECT_FALSE(m_client->Automation.Aliases().front().Enabled);
    EXPECT_TRUE(m_client->Automation.Triggers().back().Enabled);
    Type("/TOGGLE combat");
    EXPECT_TRUE(m_client->Automation.Aliases().front().Enabled);
    EXPECT_FALSE(m_client->Automation.Triggers().back().Enabled);
    Type("/ON");
    Type("/ON combat a b");
    EXPECT_FALSE(m_client->Automation.Triggers().back().Enabled);

    Type("/LOCALECHO");
    EXPECT_FALSE(m_client->Options.LocalEcho);
    EXPECT_TRUE(Text().contains(QStringLiteral("Local echo is now off")));
    Type("/localecho");
    EXPECT_TRUE(m_client->Options.LocalEcho);

    Type("/PAUSE");
    EXPECT_TRUE(m_client->ScrolledBack);
    Type("/P");
    EXPECT_FALSE(m_client->ScrolledBack);

    Type("/ECHO shown only");
    EXPECT_TRUE(Text().contains(QStringLiteral("shown only\n")));
    Type("/CT");
    EXPECT_EQ(Text(), QString());
    Type("/CLEARTEXT");
    EXPECT_EQ(Text(), QString());
}

TEST_F(SessionCommands, EchoIsYellowAndLeavesTheTextColour)
{
    m_client->ReceiveBytes(B("\x1b[31mred "));
    Type("look");
    m_client->ReceiveBytes("more\r\n");
    EXPECT_EQ(test::Render(m_client->Display), "[800000]red [ffff00]look|[800000]more|");
}

TEST_F(SessionCommands, SaveWritesBothFiles)
{
    m_client->Open("W", "127.0.0.1", 4000);
    Type("/SET shared yes");
    Type("/save");
    EXPECT_TRUE(Text().contains(QStringLiteral("All settings saved")));
    EXPECT_EQ(QFile(m_folder.filePath(QStringLiteral("127.0.0.1.4000.wno"))).size(), 588);
    // The user variable and the completion record; System items stay out.
    EXPECT_EQ(QFile(m_folder.filePath(QStringLiteral("127.0.0.1.4000.wn2"))).size(), 2 * 360);
}

TEST_F(SessionCommands, EventsRunEveryMatchingItemInOrder)
{
    m_client->Automation.AddEvent("On Disconnect", "say bye\r\nquit", "Main");
    m_client->Automation.AddEvent("On Disconnect", "/SET gone 1", "Other");
    m_client->Automation.AddEvent("On Disconnect", "/SET never 1", "Off");
    m_client->Automation.SetClassState(false, "", false, "Off");
    m_client->RunEvent("On Disconnect");
    EXPECT_TRUE(Text().contains(QStringLiteral("say bye\nquit\n")));
    EXPECT_EQ(Variable("@gone"), "1");
    EXPECT_EQ(Variable("@never"), "<none>");
}

TEST_F(SessionCommands, WebCommandsGetHitAndPostToThePortal)
{
    test::HttpServer server;
    server.Serve("/page", {200, "Fetched <b>page</b> text\r\nsecond line\r\n"});
    server.Serve("/hit", {200, "ignored"});
    server.Serve("/data.php", {200, "ok"});
    m_client->Options.ZelEnabled = true;
    m_client->Automation.AddTrigger("^second line$", "say seen", "Main", 1);
    Connect();
    QStringList notices;
    QObject::connect(m_client.get(), &TClient::Notice, [&](const QString &text) { notices.append(text); });

    // GET: the body goes through the pipeline as if the world had sent it (markup, triggers).
    Type("/GET " + server.Url("/page"));
    ASSERT_TRUE(Received("say seen\r\n"));
    EXPECT_TRUE(Text().contains(QStringLiteral("Fetched page text\nsecond line"))) << Text().toStdString();
    Type("/GET a b");
    EXPECT_TRUE(Text().contains(QStringLiteral("Invalid parameters.  Expected: GET url\n")));
    // A failed GET is reported in a message box and ends the rest of its command.
    Type("/GET " + server.Url("/missing") + ";say after");
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0], QStringLiteral("HTTP error 404"));
    Type("say next");
    ASSERT_TRUE(Received("say seen\r\nsay next\r\n")) << "'say after' was dropped with the failed GET";

    Type("/HIT " + server.Url("/hit"));
    EXPECT_TRUE(Text().contains(QStringLiteral("URL ") + QString::fromLatin1(server.Url("/hit")) + QStringLiteral(" hit.\n")));
    Type("/HIT " + server.Url("/gone"));
    EXPECT_TRUE(Text().contains(QStringLiteral("Error trying to hit ") + QString::fromLatin1(server.Url("/gone"))));
    Type("/HIT");
    EXPECT_TRUE(Text().contains(QStringLiteral("Invalid parameters.  Expected: HIT url\n")));

    // WPHIT needs the maker's web server: without one it fails, with one it posts the login and the pair.
    Type("/WPHIT level 12");
    EXPECT_TRUE(Text().contains(QStringLiteral("Error trying to post data\n")));
    m_globals.Sessions.clear(); // the workspace owns what it lists; this session belongs to the test
    Workspace workspace(m_globals);
    AppSettings().SetMakerHost(server.Host());
    m_globals.WPLogin = "bob";
    m_globals.WPPass = "pw";
    Type("/WPHIT level 12");
    EXPECT_TRUE(Text().contains(QStringLiteral("Data (level=12) posted to Quenmarch.\n")));
    EXPECT_EQ(server.Requests().back().Path, "/data.php?action=set&wpuser=bob&wppass=pw&DataName=level&DataValue=12");
    Type("/WPHIT level");
    EXPECT_TRUE(Text().contains(QStringLiteral("Invalid parameters.  Expected: WPHIT variablename variablevalue\n")));
}
