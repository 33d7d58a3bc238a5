// SPDX-License-Identifier: GPL-3.0-or-later
// Telnet options, compression, TLS and reconnecting through the real socket against loopback worlds.
#include "config/app_settings.h"
#include "config/program_folder.h"
#include "session/client.h"
#include "config/world_features.h"
#include "support/scripted_world.h"
#include "support/test_support.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::B;
using wren::test::Deflate;
using wren::test::Escaped;
using wren::test::Pump;
using wren::test::ScriptedWorld;
using wren::test::WaitFor;

namespace {

const QByteArray StartCompressing = B("\xff\xfb\x56\xff\xfa\x56\xff\xf0");

class TelnetSocket : public ::testing::Test
{
protected:
    void SetUp() override { SetProgramFolder(m_folder.path()); }

    /// The world 127.0.0.1:@p port's switches, as the Connection tab keeps them.
    static void SaveFeatures(const QByteArray &port, const WorldFeatures &features)
    {
        AppSettings settings;
        WorldFeatures saved = features;
        for (const QString &key : WorldFeatures::SwitchKeys())
            saved.SaveSwitch(settings, "127.0.0.1", port, key, *saved.Switch(key));
    }

    /// A session for 127.0.0.1:@p port, to connect as the user does (Connect loads the world's switches).
    std::unique_ptr<TClient> For(const QByteArray &port)
    {
        auto client = std::make_unique<TClient>(m_globals);
        client->Options.Host = "127.0.0.1";
        client->Options.Port = port;
        return client;
    }

    std::unique_ptr<TClient> Connected(ScriptedWorld &world, const WorldFeatures &features = {})
    {
        auto client = std::make_unique<TClient>(m_globals);
        client->Features = features;
        client->ConnectTo("127.0.0.1", world.Port());
        EXPECT_TRUE(WaitFor([&] { return world.Peer && client->IsConnected(); }));
        return client;
    }

    QTemporaryDir m_folder;
    TGlobals m_globals;
};

struct Negotiation {
    const char *Name;
    QByteArray FromServer;
    QByteArray Replies;
    const char *Shown; ///< text the view ends with (Latin-1)
    WorldFeatures Features = {};
};

WorldFeatures Without(bool WorldFeatures::*feature)
{
    WorldFeatures features;
    features.*feature = false;
    return features;
}

std::vector<Negotiation> Negotiations()
{
    return {
        {"echo on and off", B("\xff\xfb\x01Password: \xff\xfc\x01"), B("\xff\xfd\x01\xff\xfe\x01"), "Password: "},
        {"echo switched off", B("\xff\xfb\x01Password: "), B("\xff\xfe\x01"), "Password: ", Without(&WorldFeatures::Echo)},
        {"window size", B("\xff\xfd\x1f"), B("\xff\xfb\x1f\xff\xfa\x1f\x00\x50\x00\x18\xff\xf0"), ""},
        {"window size switched off", B("\xff\xfd\x1f"), B("\xff\xfc\x1f"), "", Without(&WorldFeatures::WindowSize)},
        {"terminal type", B("\xff\xfd\x18\xff\xfa\x18\x01\xff\xf0"), B("\xff\xfb\x18\xff\xfa\x18\x00WREN\xff\xf0"), ""},
        {"charset", B("\xff\xfd\x2a\xff\xfa\x2a\x01;ISO-8859-1;UTF-8\xff\xf0"),
         B("\xff\xfb\x2a\xff\xfa\x2a\x02UTF-8\xff\xf0"), ""},
        {"charset without UTF-8", B("\xff\xfd\x2a\xff\xfa\x2a\x01;ISO-8859-1\xff\xf0"),
         B("\xff\xfb\x2a\xff\xfa\x2a\x03\xff\xf0"), ""},
        {"prompt end", B("\xff\xfb\x19hp> \xff\xef"), B("\xff\xfd\x19"), "hp> "},
        {"refused once only", B("\xff\xfd\x63\xff\xfd\x63\xff\xfb\x64\xff\xfb\x64ok"), B("\xff\xfc\x63\xff\xfe\x64"), "ok"},
        {"compression", StartCompressing + Deflate("Hello\r\n"), B("\xff\xfd\x56"), "Hello\n"},
        {"compression switched off", B("\xff\xfb\x56ok"), B("\xff\xfe\x56"), "ok",
         Without(&WorldFeatures::Compression)},
        {"doubled 255 is text", B("a\xff\xff" "b"), QByteArray(), "a\xff" "b"},
    };
}

} // namespace

// Every negotiation, whole and cut at every offset into two reads, gives the same replies and text.
TEST_F(TelnetSocket, NegotiationsInBothDirectionsWholeAndCutAtEveryOffset)
{
    for (const Negotiation &row : Negotiations()) {
        for (qsizetype cut = 0; cut < row.FromServer.size(); ++cut) {
            SCOPED_TRACE(testing::Message() << row.Name << ", cut at " << cut);
            ScriptedWorld world;
            const auto client = Connected(world, row.Features);
            if (cut > 0) {
                world.Peer->write(row.FromServer.left(cut));
                world.Peer->flush();
                Pump(5);
            }
            world.Peer->write(row.FromServer.mid(cut));
            world.Peer->flush();
            if (!row.Replies.isEmpty()) {
                ASSERT_TRUE(WaitFor([&] { return world.Received.size() >= row.Replies.size(); }, 2000));
            }
            const QString shown = QString::fromLatin1(row.Shown);
            if (!shown.isEmpty()) {
                ASSERT_TRUE(WaitFor([&] { return client->Display.PlainText().endsWith(shown); }, 2000))
                    << client->Display.PlainText().toStdString();
            }
            Pump(20);
            EXPECT_EQ(Escaped(world.Received), Escaped(row.Replies));
            EXPECT_FALSE(client->HidesTyping());
        }
    }
}

TEST_F(TelnetSocket, WindowSizeFollowsTheViewOnceAgreed)
{
    ScriptedWorld world;
    const auto client = Connected(world);
    client->SetWindowSize(132, 50); // not agreed yet: nothing goes out
    Pump(20);
    EXPECT_TRUE(world.Received.isEmpty());

    world.Peer->write(B("\xff\xfd\x1f"));
    ASSERT_TRUE(WaitFor([&] { return world.Received.size() >= 12; }));
    EXPECT_EQ(Escaped(world.Received), Escaped(B("\xff\xfb\x1f\xff\xfa\x1f\x00\x84\x00\x32\xff\xf0")));

    world.Received.clear();
    client->SetWindowSize(255, 50); // a 255 byte is doubled
    client->SetWindowSize(255, 50); // the same size is not sent again
    ASSERT_TRUE(WaitFor([&] { return world.Received.size() >= 10; }));
    Pump(20);
    EXPECT_EQ(Escaped(world.Received), Escaped(B("\xff\xfa\x1f\x00\xff\xff\x00\x32\xff\xf0")));
}

TEST_F(TelnetSocket, EchoHidesTypingUntilTheServerShowsItAgain)
{
    ScriptedWorld world;
    const auto client = Connected(world);
    QList<bool> changes;
    QObject::connect(client.get(), &TClient::TypingHiddenChanged, [&](bool hidden) { changes.append(hidden); });
    world.Peer->write(B("Password: \xff\xfb\x01"));
    ASSERT_TRUE(WaitFor([&] { return client->HidesTyping(); }));
    client->SendSecret(B("se\xffret"));
    world.Peer->write(B("\xff\xfc\x01\r\nWelcome\r\n"));
    ASSERT_TRUE(WaitFor([&] { return !client->HidesTyping(); }));
    ASSERT_TRUE(WaitFor([&] { return world.Received.size() >= 15; }));
    EXPECT_EQ(Escaped(world.Received), Escaped(B("\xff\xfd\x01se\xff\xffret\r\n\xff\xfe\x01")));
    EXPECT_EQ(changes, (QList<bool> {true, false}));
    EXPECT_FALSE(client->Display.PlainText().contains(QStringLiteral("ret")));
}

// A long coloured stream compressed from half-way shows exactly as the same stream sent plain.
TEST_F(TelnetSocket, CompressionFromHalfWayShowsTheSameTextAsPlain)
{
    QByteArray stream;
    for (int i = 0; i < 1500; ++i)
        stream += "\x1b[1;3" + QByteArray::number(i % 8) + "mLine " + QByteArray::number(i)
                  + "\x1b[0m of the world's text, \xe9t\xe9 and more.\r\n";
    const qsizetype half = stream.indexOf("Line 750");

    ScriptedWorld plainWorld;
    const auto plain = Connected(plainWorld);
    plainWorld.Peer->write(stream);
    ASSERT_TRUE(WaitFor([&] { return plain->Display.PlainText().endsWith(QStringLiteral("and more.\n")); }));

    ScriptedWorld packedWorld;
    const auto packed = Connected(packedWorld);
    const QByteArray wire = stream.left(half) + StartCompressing + Deflate(stream.mid(half));
    for (qsizetype at = 0; at < wire.size(); at += 4093) { // reads that cut the stream anywhere
        packedWorld.Peer->write(wire.mid(at, 4093));
        packedWorld.Peer->flush();
        Pump(1);
    }
    ASSERT_TRUE(WaitFor([&] { return packed->Display.PlainText().endsWith(QStringLiteral("and more.\n")); }));
    EXPECT_EQ(test::Render(packed->Display), test::Render(plain->Display));
    EXPECT_EQ(packedWorld.Received, B("\xff\xfd\x56"));
}

// Compressed bytes that cannot be read are never shown as text: the client says why and ends the
// connection, which can be made again with a click.
TEST_F(TelnetSocket, CorruptCompressionSaysSoAndEndsTheConnection)
{
    ScriptedWorld world;
    const auto client = Connected(world);
    world.Peer->write(B("before\r\n") + StartCompressing + B("this is not zlib at all"));
    ASSERT_TRUE(WaitFor([&] { return !client->IsConnected(); }));
    world.Peer->write(B("after\r\n"));
    test::Pump(100);
    const QString text = client->Display.PlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Compressed text from the server could not be read"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("not zlib"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("after"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Reconnect"))) << text.toStdString();
}

TEST_F(TelnetSocket, UnexpectedCloseOffersReconnectAndTheClickConnectsAgain)
{
    ScriptedWorld world;
    const auto client = For(QByteArray::number(world.Port()));
    client->Connect();
    ASSERT_TRUE(WaitFor([&] { return world.Peer && client->IsConnected(); }));
    QTcpSocket *first = world.Peer;
    first->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return !client->IsConnected(); }));
    ASSERT_TRUE(WaitFor([&] { return client->Display.PlainText().endsWith(QStringLiteral("Reconnect\n")); }));
    EXPECT_FALSE(client->ReconnectPending()) << "automatic reconnecting is off by default";

    // The line is clickable: its paragraph carries the action.
    const SessionDocument &document = client->Display;
    const auto &paragraphs = document.Paragraphs();
    ASSERT_GE(paragraphs.size(), 2u);
    EXPECT_EQ(document.ActionOf(paragraphs[paragraphs.size() - 2].Id), "reconnect") << "the last full line";
    client->RunAction("reconnect");
    ASSERT_TRUE(WaitFor([&] { return world.Peer != first && client->IsConnected(); }));

    // Closing on purpose offers nothing.
    client->Disconnect();
    ASSERT_TRUE(WaitFor([&] { return !client->IsConnected(); }));
    Pump(50);
    EXPECT_EQ(client->Display.PlainText().count(QStringLiteral("Reconnect\n")), 1);
}

TEST_F(TelnetSocket, AutomaticReconnectBacksOffAndComesBack)
{
    EXPECT_EQ(TClient::ReconnectDelayMs(0), 2000);
    EXPECT_EQ(TClient::ReconnectDelayMs(1), 4000);
    EXPECT_EQ(TClient::ReconnectDelayMs(4), 32000);
    EXPECT_EQ(TClient::ReconnectDelayMs(9), 60000);

    ScriptedWorld world;
    const QByteArray port = QByteArray::number(world.Port());
    WorldFeatures features;
    features.AutoReconnect = true;
    SaveFeatures(port, features);
    const auto client = For(port);
    client->Connect();
    ASSERT_TRUE(WaitFor([&] { return world.Peer && client->IsConnected(); }));
    QTcpSocket *first = world.Peer;
    first->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return client->ReconnectPending(); }));
    EXPECT_TRUE(client->Display.PlainText().endsWith(QStringLiteral("Reconnect\nReconnecting in 2 seconds.\n")));
    ASSERT_TRUE(WaitFor([&] { return world.Peer != first && client->IsConnected(); }, 4000));
}

// ---- TLS ----------------------------------------------------------------------------------------------

namespace {

/// A loopback world behind TLS with a self-signed certificate; greets each connection once it is secure.
class SecureWorld
{
public:
    /// @p handshakeLimitMs: how long the world waits for a handshake before it drops the connection.
    explicit SecureWorld(int handshakeLimitMs = 0)
    {
        if (handshakeLimitMs > 0)
            m_server.setHandshakeTimeout(handshakeLimitMs);
        QFile certificate(QStringLiteral(WREN_FIXTURES "/tls/localhost.crt"));
        QFile key(QStringLiteral(WREN_FIXTURES "/tls/localhost.key"));
        certificate.open(QIODevice::ReadOnly);
        key.open(QIODevice::ReadOnly);
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificate(QSslCertificate(certificate.readAll()));
        configuration.setPrivateKey(QSslKey(key.readAll(), QSsl::Rsa));
        m_server.setSslConfiguration(configuration);
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QSslServer::pendingConnectionAvailable, [this] {
            auto *peer = static_cast<QSslSocket *>(m_server.nextPendingConnection());
            peer->write("Welcome to the secure world\r\n");
            ++Greeted;
        });
        QObject::connect(&m_server, &QSslServer::errorOccurred, [this](QSslSocket *, QAbstractSocket::SocketError) {
            ++Failed;
        });
    }
    quint16 Port() const { return m_server.serverPort(); }
    int Greeted = 0;
    int Failed = 0;

private:
    QSslServer m_server;
};

} // namespace

TEST_F(TelnetSocket, SecureWorldAsksOnceToTrustItsCertificateAndRemembersTheAnswer)
{
    if (!QSslSocket::supportsSsl())
        GTEST_SKIP() << "no TLS backend";
    SecureWorld world;
    const QByteArray port = QByteArray::number(world.Port());
    WorldFeatures secure;
    secure.Secure = true;
    SaveFeatures(port, secure);
    int asked = 0;
    const auto open = [&](bool answer) {
        auto client = For(port);
        client->TrustPrompt = [&asked, answer](const QString &question) {
            ++asked;
            EXPECT_TRUE(question.contains(QStringLiteral("Issued by: localhost"))) << question.toStdString();
            return answer;
        };
        client->Connect();
        return client;
    };

    {
        // Refused: no text, the connection fails with a clear line.
        const auto client = open(false);
        ASSERT_TRUE(WaitFor([&] { return client->Display.PlainText().contains(QStringLiteral("Connection failed")); }));
        const QString text = client->Display.PlainText();
        EXPECT_TRUE(text.contains(QStringLiteral("The server's certificate was not trusted."))) << text.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("Welcome")));
        EXPECT_EQ(asked, 1);
    }
    {
        const auto client = open(true);
        ASSERT_TRUE(WaitFor([&] { return client->Display.PlainText().contains(QStringLiteral("Welcome")); }));
        const QString text = client->Display.PlainText();
        EXPECT_TRUE(text.contains(QStringLiteral("Secure connection (TLS 1."))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("certificate issued by localhost (trusted by you)."))) << text.toStdString();
        EXPECT_EQ(asked, 2);
        client->Send("look\r\n");
    }
    {
        // The answer is kept for the world: no question the next time.
        const auto client = open(false);
        ASSERT_TRUE(WaitFor([&] { return client->Display.PlainText().contains(QStringLiteral("Welcome")); }));
        EXPECT_EQ(asked, 2);
        EXPECT_FALSE(WorldFeatures::Load(AppSettings(), "127.0.0.1", port).TrustedCertificate.isEmpty());
    }
}

// The user may read the certificate question as long as they like: the connect time limit waits, and a
// Yes given after it would have run out still connects and is remembered.
TEST_F(TelnetSocket, TrustQuestionOutlastsTheConnectTimeLimit)
{
    if (!QSslSocket::supportsSsl())
        GTEST_SKIP() << "no TLS backend";
    SecureWorld world;
    const QByteArray port = QByteArray::number(world.Port());
    WorldFeatures secure;
    secure.Secure = true;
    SaveFeatures(port, secure);
    const auto client = For(port);
    client->Link().ConnectTimeout = 300;
    client->TrustPrompt = [](const QString &) {
        test::Pump(900); // reading the fingerprint
        return true;
    };
    client->Connect();
    ASSERT_TRUE(WaitFor([&] { return client->Display.PlainText().contains(QStringLiteral("Welcome")); }))
        << client->Display.PlainText().toStdString();
    EXPECT_FALSE(client->Display.PlainText().contains(QStringLiteral("Connection failed")));
    EXPECT_FALSE(WorldFeatures::Load(AppSettings(), "127.0.0.1", port).TrustedCertificate.isEmpty());
}

// A world that drops an idle handshake before the user answers: the answer is kept all the same, and
// Reconnect is offered, which then connects without asking again.
TEST_F(TelnetSocket, TrustAnswerGivenAfterTheWorldGaveUpIsKept)
{
    if (!QSslSocket::supportsSsl())
        GTEST_SKIP() << "no TLS backend";
    SecureWorld world(300);
    const QByteArray port = QByteArray::number(world.Port());
    WorldFeatures secure;
    secure.Secure = true;
    SaveFeatures(port, secure);
    const auto client = For(port);
    int asked = 0;
    client->TrustPrompt = [&asked](const QString &) {
        ++asked;
        test::Pump(1000);
        return true;
    };
    client->Connect();
    ASSERT_TRUE(WaitFor([&] { return asked == 1 && !client->Link().IsConnecting(); }));
    test::Pump(50);
    const QString text = client->Display.PlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("your answer is kept"))) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("Reconnect\n"))) << text.toStdString();
    EXPECT_FALSE(WorldFeatures::Load(AppSettings(), "127.0.0.1", port).TrustedCertificate.isEmpty());
    client->RunAction("reconnect");
    ASSERT_TRUE(WaitFor([&] { return client->Display.PlainText().contains(QStringLiteral("Welcome")); }));
    EXPECT_EQ(asked, 1);
}

// A session closed while its certificate question is open asks nothing more, and nothing of it runs on.
TEST_F(TelnetSocket, ClosingDuringTheTrustQuestionAsksNoMore)
{
    if (!QSslSocket::supportsSsl())
        GTEST_SKIP() << "no TLS backend";
    SecureWorld world;
    const QByteArray port = QByteArray::number(world.Port());
    WorldFeatures secure;
    secure.Secure = true;
    SaveFeatures(port, secure);
    const auto client = For(port);
    int asked = 0;
    client->TrustPrompt = [&](const QString &) {
        ++asked;
        client->BeginClose();
        return false;
    };
    client->Connect();
    ASSERT_TRUE(WaitFor([&] { return asked > 0; }));
    test::Pump(300);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(client->IsConnected());
    EXPECT_FALSE(client->Display.PlainText().contains(QStringLiteral("Reconnect")));
}
