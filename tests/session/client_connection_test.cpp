// SPDX-License-Identifier: GPL-3.0-or-later
// A session against real loopback worlds: connect, receive, refuse options, close, fail.
#include "config/program_folder.h"
#include "demo/demo_world.h"
#include "session/client.h"
#include "support/scripted_world.h"
#include "support/test_support.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::B;
using wren::test::WaitFor;

namespace {

using wren::test::ScriptedWorld;

class ClientConnection : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.path());
        m_client = std::make_unique<TClient>(m_globals);
        QObject::connect(m_client.get(), &TClient::EventRaised, [this](const QByteArray &name) {
            Events.append(name);
            EventTimes.append(m_clock.elapsed());
        });
        m_clock.start();
    }

    std::string Shown() const { return test::Render(m_client->Display); }
    QString Text() const { return m_client->Display.PlainText(); }

    QTemporaryDir m_folder;
    TGlobals m_globals;
    std::unique_ptr<TClient> m_client;
    QList<QByteArray> Events;
    QList<qint64> EventTimes;
    QElapsedTimer m_clock;
};

} // namespace

TEST_F(ClientConnection, ReceivesColouredTextLogsItAndAnswersOptions)
{
    ScriptedWorld world;
    m_client->Options.LogMode = 1;
    m_client->Options.LogFile = "world.log";
    m_client->ConnectTo("127.0.0.1", world.Port());
    ASSERT_TRUE(WaitFor([&] { return world.Peer && m_client->IsConnected(); }));
    EXPECT_EQ(Events, QList<QByteArray> {"On Connect"});
    EXPECT_EQ(m_globals.LocalAddress, "0.0.0.0");

    world.Peer->write(B("\xff\xfb\x19\xff\xfd\x18\x1b[1m\x1b[31mRed bold\r\nst"));
    world.Peer->flush();
    ASSERT_TRUE(WaitFor([&] { return Text().contains(QStringLiteral("st")); }));
    world.Peer->write(B("ill\x1b[0m ok\r\n"));
    ASSERT_TRUE(WaitFor([&] { return Text().endsWith(QStringLiteral("ok\n")); }));
    ASSERT_TRUE(WaitFor([&] { return world.Received.size() >= 6; }));

    EXPECT_EQ(world.Received, B("\xff\xfd\x19\xff\xfb\x18")) << "DO EOR, WILL TTYPE";
    EXPECT_EQ(Shown(), "[ffffff]Connected...|[ffffff]127.0.0.1 resolved to IP 127.0.0.1|"
                       "[800000B]Red bold|[800000B]still[008000] ok|");
    QFile log(m_folder.filePath(QStringLiteral("logs/world.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll(), "Connected...\r\n127.0.0.1 resolved to IP 127.0.0.1\r\nRed bold\nstill ok\n");
}

TEST_F(ClientConnection, ClosedPortPrintsOneFailureLineAndNothingElse)
{
    quint16 port;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    m_client->ConnectTo("127.0.0.1", port);
    ASSERT_TRUE(WaitFor([&] { return m_client->ConnectError != 0; }));
    test::Pump(700);
    EXPECT_EQ(m_client->ConnectError, 10061);
    EXPECT_EQ(Text(), QStringLiteral("Connection failed.  Either the host is not responding or you are not able "
                                     "to access the host.\n"));
    EXPECT_TRUE(Events.isEmpty());
    EXPECT_FALSE(m_client->DisconnectTimer.isActive());
}

TEST_F(ClientConnection, ServerCloseWritesRedLineThenOnDisconnectAfterHalfASecond)
{
    ScriptedWorld world;
    m_client->ConnectTo("127.0.0.1", world.Port());
    ASSERT_TRUE(WaitFor([&] { return world.Peer && m_client->IsConnected(); }));
    world.Peer->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return Text().contains(QStringLiteral("Disconnected")); }, 5000));
    const qint64 closedAt = m_clock.elapsed();
    EXPECT_TRUE(Shown().find("|[ff0000]Disconnected from server|") != std::string::npos) << Shown();
    EXPECT_EQ(m_client->DisconnectTag, 1);
    EXPECT_EQ(Events, QList<QByteArray> {"On Connect"});
    ASSERT_TRUE(WaitFor([&] { return Events.size() == 2; }, 2000));
    EXPECT_EQ(Events.back(), "On Disconnect");
    EXPECT_GE(EventTimes.back() - closedAt, 470);
    EXPECT_EQ(m_client->DisconnectTag, 0);
    // The colour is back to the session's text colour.
    EXPECT_EQ(m_client->Options.CurTextColor, m_client->Options.TextColor);
}

TEST_F(ClientConnection, ReconnectWithinHalfASecondSuppressesOnDisconnect)
{
    ScriptedWorld world;
    m_client->Options.Host = "127.0.0.1";
    m_client->Options.Port = QByteArray::number(world.Port());
    m_client->Options.ZelEnabled = true;
    m_client->Connect();
    ASSERT_TRUE(WaitFor([&] { return world.Peer && m_client->IsConnected(); }));
    QTcpSocket *first = world.Peer;
    m_client->Options.ZelEnabled = true;
    m_client->Connect(); // closes the old connection first: its close writes the disconnect line
    EXPECT_FALSE(m_client->Options.ZelEnabled);
    EXPECT_TRUE(Text().contains(QStringLiteral("Disconnected from server")));
    ASSERT_TRUE(WaitFor([&] { return world.Peer != first && m_client->IsConnected(); }));
    test::Pump(700);
    EXPECT_EQ(Events, (QList<QByteArray> {"On Connect", "On Connect"}));
}

TEST_F(ClientConnection, UnresolvableHostWritesTheSocketErrorLines)
{
    m_client->ConnectTo("", 4000);
    ASSERT_TRUE(WaitFor([&] { return Text().contains(QStringLiteral("winsock")); }));
    EXPECT_EQ(Text(), QStringLiteral("Error #11001 with winsock.\nSee "
                                     "http://www.sockets.com/err_lst1.htm#ErrorsInNumericOrder for more information.\n"));
    EXPECT_FALSE(m_client->IsConnected());
}

TEST_F(ClientConnection, DemoWorldLoginScreenArrivesWithoutNegotiationBytes)
{
    demo::DemoWorld world;
    ASSERT_TRUE(world.listen(QHostAddress::LocalHost, 0));
    m_client->ConnectTo("127.0.0.1", world.port());
    ASSERT_TRUE(WaitFor([&] { return Text().contains(QStringLiteral("By what name are you known?")); }));
    EXPECT_FALSE(Text().contains(QChar(0xFF)));
    EXPECT_FALSE(Text().contains(QChar(0xFB)));
    m_client->Send("Tester\r\n");
    ASSERT_TRUE(WaitFor([&] { return m_client->HidesTyping(); }));
    m_client->SendSecret("secret");
    ASSERT_TRUE(WaitFor([&] { return Text().contains(QStringLiteral("Tester")); }));
    m_client->Send("quit\r\n");
    ASSERT_TRUE(WaitFor([&] { return Text().contains(QStringLiteral("Disconnected from server")); }));
}

// A damaged options file must not lose the world's address: Reconnect still dials the world it was opened on.
TEST_F(ClientConnection, ShortOptionsFileKeepsTheAddressReconnectDials)
{
    ScriptedWorld world;
    const QByteArray port = QByteArray::number(world.Port());
    for (const qsizetype size : {qsizetype(0), qsizetype(53)}) {
        SCOPED_TRACE(size);
        // 53 bytes hold the whole host and one digit of a port that is not the world's.
        QByteArray record(size, '\0');
        if (size > 0) {
            record[0] = 9;
            record.replace(1, 9, "127.0.0.1");
            record[51] = 4;
            record[52] = '9';
        }
        QFile file(m_folder.filePath(QStringLiteral("127.0.0.1.%1.wno").arg(world.Port())));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(record);
        file.close();

        TClient client(m_globals);
        client.Open("Loopback", "127.0.0.1", world.Port());
        EXPECT_EQ(client.Options.Host, "127.0.0.1");
        EXPECT_EQ(client.Options.Port, port);
        EXPECT_EQ(client.Options.WorldName, "Loopback");
        world.Peer = nullptr;
        client.Connect();
        EXPECT_TRUE(WaitFor([&] { return world.Peer && client.IsConnected(); }));
        // The rewritten file holds the address too.
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray saved = file.readAll();
        file.close();
        ASSERT_EQ(saved.size(), TSessionOptions::RecordSize);
        EXPECT_EQ(saved.mid(51, 1 + port.size()), char(port.size()) + port);
        client.Disconnect();
    }
}

// The demo world announces the markup, the session answers once, and the world's picture arrives from
// its web server into the view.
TEST_F(ClientConnection, DemoWorldSpeaksMarkupAndServesAPicture)
{
    demo::DemoWorld world;
    ASSERT_TRUE(world.listen(QHostAddress::LocalHost, 0));
    ASSERT_NE(world.pictureServerPort(), 0);
    m_client->ConnectTo("127.0.0.1", world.port());
    ASSERT_TRUE(WaitFor([&] { return Text().contains(QStringLiteral("ZEL noticed: this world will show you")); }));
    EXPECT_TRUE(m_client->Options.ZelEnabled);
    EXPECT_EQ(Events.count("ZEL Detected"), 1);
    EXPECT_TRUE(Shown().find("|[008000B]ZEL[008000] noticed: [00ff00]this world") != std::string::npos) << Shown();
    m_client->ProcessCommand("Tester");
    ASSERT_TRUE(WaitFor([&] { return m_client->HidesTyping(); }));
    m_client->SendSecret("secret");
    ASSERT_TRUE(WaitFor([&] { return Text().contains(QStringLiteral("Exits:")); }));
    EXPECT_FALSE(Text().contains(QStringLiteral("<U>"))) << "the room name's tags were run, not shown";
    EXPECT_TRUE(WaitFor([&] { return QFile::exists(m_folder.filePath(QStringLiteral("demo-chime.wav"))); }))
        << "the welcome chime came";
    EXPECT_FALSE(Text().contains(QStringLiteral("Audio Load Error")));
    m_client->ProcessCommand("map");
    ASSERT_TRUE(WaitFor([&] { return Events.contains("On Image"); }));
    EXPECT_NE(Shown().find("{picture 96x64}"), std::string::npos) << Shown();
    EXPECT_TRUE(QFile::exists(m_folder.filePath(QStringLiteral("demo-map.bmp"))));
    m_client->Disconnect();
}

// The demo world negotiates what modern clients speak: its password prompt hides typing, the window size,
// terminal types and UTF-8 are reported, its text comes compressed, and its colours go beyond ANSI.
TEST_F(ClientConnection, DemoWorldNegotiatesModernTelnetOptions)
{
    demo::DemoWorld world;
    ASSERT_TRUE(world.listen(QHostAddress::LocalHost, 0));
    m_client->SetWindowSize(100, 30);
    m_client->ConnectTo("127.0.0.1", world.port());
    ASSERT_TRUE(WaitFor([&] { return Text().contains(QStringLiteral("By what name are you known?")); }));
    m_client->Send("Tester\r\n");
    ASSERT_TRUE(WaitFor([&] { return m_client->HidesTyping(); }));
    m_client->SendSecret("hunter2");
    ASSERT_TRUE(WaitFor([&] { return Text().contains(QStringLiteral("Exits:")); }));
    EXPECT_FALSE(m_client->HidesTyping());
    EXPECT_FALSE(Text().contains(QStringLiteral("hunter2")));

    m_client->Send("client\r\n");
    ASSERT_TRUE(WaitFor([&] { return Text().contains(QStringLiteral("Connection:")); }));
    const QString text = Text();
    EXPECT_TRUE(text.contains(QStringLiteral("Window:          100 x 30 characters"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Terminal types:  WREN, ANSI-TRUECOLOR, MTTS 269"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Character set:   UTF-8"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Compression:     MCCP2"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Connection:      plain"))) << text.toStdString();

    m_client->SetWindowSize(120, 40);
    m_client->Send("colours\r\n");
    ASSERT_TRUE(WaitFor([&] { return Text().contains(QStringLiteral("True colour: ")); }));
    EXPECT_NE(Shown().find("[ff5000]#"), std::string::npos) << "the first true-colour step";
    m_client->Send("client\r\n");
    ASSERT_TRUE(WaitFor([&] { return Text().contains(QStringLiteral("120 x 40 characters")); }));
    m_client->Disconnect();
}

TEST_F(ClientConnection, DemoWorldSecurePortSpeaksTls)
{
    if (!QSslSocket::supportsSsl())
        GTEST_SKIP() << "no TLS backend";
    demo::DemoWorld world;
    ASSERT_TRUE(world.listen(QHostAddress::LocalHost, 0));
    ASSERT_TRUE(world.listenSecure(QHostAddress::LocalHost, 0));
    m_client->Features.Secure = true;
    m_client->TrustPrompt = [](const QString &) { return true; };
    m_client->ConnectTo("127.0.0.1", world.securePort());
    ASSERT_TRUE(WaitFor([&] { return Text().contains(QStringLiteral("By what name are you known?")); }));
    EXPECT_TRUE(Text().contains(QStringLiteral("certificate issued by Wren Demo World"))) << Text().toStdString();
    m_client->Send("Tester\r\n");
    ASSERT_TRUE(WaitFor([&] { return m_client->HidesTyping(); }));
    m_client->SendSecret("pw");
    m_client->Send("client\r\n");
    ASSERT_TRUE(WaitFor([&] { return Text().contains(QStringLiteral("Connection:      TLS")); })) << Text().toStdString();
    EXPECT_TRUE(Text().contains(QStringLiteral("MTTS 2317"))) << "the terminal type says the link is secure";
    m_client->Disconnect();
}
