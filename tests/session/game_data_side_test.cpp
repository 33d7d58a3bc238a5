// SPDX-License-Identifier: GPL-3.0-or-later
// A session speaking GMCP, MSDP and MSSP with a loopback world: greetings, stored values, ${gmcp...} in
// commands, the events, /GMCP, and bad messages that change nothing.
#include "config/program_folder.h"
#include "gamedata/msdp.h"
#include "session/client.h"
#include "support/scripted_world.h"
#include "support/test_support.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::B;
using wren::test::WaitFor;

namespace {

QByteArray Sub(unsigned char option, const QByteArray &payload)
{
    return TelnetFilter::SubnegotiationMessage(option, payload);
}

class GameDataSession : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.path());
        m_client = std::make_unique<TClient>(m_globals);
        m_client->Options.CommandChar = "/";
        QObject::connect(m_client.get(), &TClient::EventRaised, [this](const QByteArray &name) { Events.append(name); });
        m_client->ConnectTo("127.0.0.1", m_world.Port());
        ASSERT_TRUE(WaitFor([&] { return m_world.Peer && m_client->IsConnected(); }));
    }

    /// Sends @p bytes and waits until the session has read them (the marker line arrives).
    void Serve(const QByteArray &bytes)
    {
        const QByteArray marker = "mark" + QByteArray::number(++m_marks);
        m_world.Peer->write(bytes + marker + "\r\n");
        m_world.Peer->flush();
        ASSERT_TRUE(WaitFor([&] { return m_client->Display.PlainText().contains(QString::fromLatin1(marker)); }));
    }
    /// Waits until the world has received @p bytes, and takes what it received so far.
    QByteArray Expect(const QByteArray &bytes)
    {
        WaitFor([&] { return m_world.Received.contains(bytes); });
        return std::exchange(m_world.Received, {});
    }

    QTemporaryDir m_folder;
    TGlobals m_globals;
    test::ScriptedWorld m_world;
    std::unique_ptr<TClient> m_client;
    QList<QByteArray> Events;
    int m_marks = 0;
};

} // namespace

TEST_F(GameDataSession, GmcpGreetsStoresSubstitutesAndRunsEventsInAnyCase)
{
    m_client->Automation.AddEvent("On GMCP Char.Vitals", "say hp ${gmcp.Char.Vitals.hp} of ${gmcp.char.vitals.maxhp}", "Main");
    Serve(B("\xff\xfb\xc9"));
    const QByteArray greeting = Expect("Comm.Channel 1");
    EXPECT_TRUE(greeting.startsWith(B("\xff\xfd\xc9\xff\xfa\xc9" "Core.Hello {\"client\":\"Wren Client\",\"version\":\"")))
        << greeting.constData();
    EXPECT_TRUE(greeting.contains("Core.Supports.Set [\"Char 1\",\"Char.Vitals 1\",\"Room 1\",\"Comm.Channel 1\"]"));

    // Lower case, as real servers send it.
    Serve(Sub(201, "char.vitals {\"hp\":42,\"maxhp\":50}"));
    EXPECT_EQ(Expect("say hp 42 of 50\r\n"), "say hp 42 of 50\r\n");
    EXPECT_TRUE(Events.contains("On GMCP char.vitals"));

    // A partial update merges; malformed JSON keeps the value and still runs the event.
    Serve(Sub(201, "Char.Vitals {\"hp\":30}"));
    EXPECT_EQ(Expect("say hp 30 of 50\r\n"), "say hp 30 of 50\r\n");
    Serve(Sub(201, "Char.Vitals {\"hp\":"));
    EXPECT_EQ(Expect("say hp 30 of 50\r\n"), "say hp 30 of 50\r\n");

    // Typed commands read the values too; what is not game data stays as typed.
    m_client->ProcessCommand("look ${gmcp.Char.Vitals} ${other}");
    EXPECT_EQ(Expect("${other}\r\n"), "look {\"hp\":30,\"maxhp\":50} ${other}\r\n");

    m_client->ProcessCommand("/GMCP Char.Skills.Get {\"group\":\"fighting\"}");
    EXPECT_EQ(Expect("\xff\xf0"), Sub(201, "Char.Skills.Get {\"group\":\"fighting\"}"));

    const ProtocolLog &log = m_client->GameSide().Log();
    const bool refusedLogged = std::any_of(log.Entries().begin(), log.Entries().end(),
                                           [](const ProtocolLog::Entry &e) { return !e.Error.isEmpty(); });
    EXPECT_TRUE(refusedLogged) << "the malformed message is in the inspector with its reason";
}

TEST_F(GameDataSession, GmcpBeforeAgreementAndSlashCommandWithoutItChangeNothing)
{
    Serve(Sub(201, "Char.Vitals {\"hp\":1}"));
    EXPECT_TRUE(m_client->GameSide().Data().IsEmpty());
    m_client->ProcessCommand("/GMCP Core.Ping");
    WaitFor([] { return false; }, 50);
    EXPECT_TRUE(m_world.Received.isEmpty());
    EXPECT_TRUE(m_client->Display.PlainText().contains(QStringLiteral("GMCP is not on with this world")));
    m_client->ProcessCommand("/GMCP bad\x80name");
    EXPECT_TRUE(m_client->Display.PlainText().contains(QStringLiteral("GMCP: ")));
}

TEST_F(GameDataSession, MsdpAsksForReportsAndRunsAnEventPerVariable)
{
    m_client->Automation.AddEvent("On MSDP HEALTH", "health ${msdp.HEALTH}/${msdp.HEALTH_MAX}", "Main");
    Serve(B("\xff\xfb\x45"));
    EXPECT_EQ(Expect(msdp::ListRequest()), B("\xff\xfd\x45") + Sub(69, msdp::ListRequest()));
    // The list may start with an empty element; only what the server can report is asked for.
    Serve(Sub(69, B("\x01REPORTABLE_VARIABLES\x02\x05\x02\x02HEALTH\x02HEALTH_MAX\x02ROOM_NAME\x02LEVEL\x06")));
    EXPECT_EQ(Expect("ROOM_NAME"), Sub(69, msdp::ReportRequest({"HEALTH", "HEALTH_MAX", "ROOM_NAME"})));
    Serve(Sub(69, B("\x01HEALTH_MAX\x02" "90\x01HEALTH\x02" "75")));
    EXPECT_EQ(Expect("health 75/90\r\n"), "health 75/90\r\n");
    QList<QByteArray> msdpEvents;
    std::copy_if(Events.begin(), Events.end(), std::back_inserter(msdpEvents),
                 [](const QByteArray &name) { return name.startsWith("On MSDP"); });
    EXPECT_EQ(msdpEvents, (QList<QByteArray> {"On MSDP REPORTABLE_VARIABLES", "On MSDP HEALTH_MAX", "On MSDP HEALTH"}));

    // A table that never closes keeps what came; the connection and text go on.
    Serve(Sub(69, B("\x01ROOM\x02\x03\x01NAME\x02Hall")));
    EXPECT_TRUE(m_client->IsConnected());
}

TEST_F(GameDataSession, MsspFloodAndOversizedGmcpAreBoundedAndTheTextGoesOn)
{
    Serve(B("\xff\xfb\x46\xff\xfb\xc9"));
    QByteArray flood;
    for (int i = 0; i < 5000; ++i)
        flood += "\x01NAME" + QByteArray::number(i) + "\x02value";
    Serve(Sub(70, flood));
    EXPECT_LE(m_client->GameSide().Data().MsspNames().size(), 256);

    const QByteArray huge = "Char.Items {\"x\":\"" + QByteArray(1100000, 'a') + "\"}";
    Serve(Sub(201, huge) + "text after\r\n");
    EXPECT_TRUE(m_client->Display.PlainText().contains(QStringLiteral("text after")));
    EXPECT_TRUE(m_client->GameSide().Data().Gmcp("Char.Items").isUndefined());
    EXPECT_TRUE(Events.contains("On GMCP Char.Items")) << "the event runs for a refused message too";

    QByteArray deep = "Char.Deep " + QByteArray(10000, '[') + QByteArray(10000, ']');
    Serve(Sub(201, deep));
    EXPECT_TRUE(m_client->GameSide().Data().Gmcp("Char.Deep").isUndefined());
}

TEST_F(GameDataSession, SwitchedOffProtocolsAreRefusedAtTheNextConnection)
{
    m_client->Features.Gmcp = false;
    m_client->Disconnect();
    test::ScriptedWorld second;
    m_client->ConnectTo("127.0.0.1", second.Port());
    ASSERT_TRUE(WaitFor([&] { return second.Peer && m_client->IsConnected(); }));
    second.Peer->write(B("\xff\xfb\xc9\xff\xfa\xc9" "Char.Vitals {\"hp\":1}\xff\xf0"));
    ASSERT_TRUE(WaitFor([&] { return !second.Received.isEmpty(); }));
    EXPECT_EQ(second.Received, B("\xff\xfe\xc9"));
    EXPECT_TRUE(m_client->GameSide().Data().IsEmpty());
}
