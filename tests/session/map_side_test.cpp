// SPDX-License-Identifier: GPL-3.0-or-later
// A session drawing its map from a loopback world's Room.Info: arrivals, the way the player went, /WALK,
// /WHERE, "On Map Arrived", the map kept in its file, and the map switched off.
#include "config/app_settings.h"
#include "config/program_folder.h"
#include "mapper/map_model.h"
#include "mapper/map_store.h"
#include "session/client.h"
#include "support/scripted_world.h"
#include "support/test_support.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::B;
using wren::test::WaitFor;

namespace {

QByteArray Room(const char *json)
{
    return TelnetFilter::SubnegotiationMessage(TelnetFilter::Gmcp, QByteArray("room.info ") + json);
}

class MapSession : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.path());
        StartSession();
    }
    void StartSession()
    {
        m_client = std::make_unique<TClient>(m_globals);
        m_client->Open("Mapped", "127.0.0.1", m_world.Port());
        m_client->Options.CommandChar = "/";
        m_client->Options.ExprSeparator = ";";
        QObject::connect(m_client.get(), &TClient::EventRaised, [this](const QByteArray &name) { Events.append(name); });
        m_client->ConnectTo("127.0.0.1", m_world.Port());
        ASSERT_TRUE(WaitFor([&] { return m_world.Peer && m_client->IsConnected(); }));
        Serve(B("\xff\xfb\xc9"));
        m_world.Received.clear();
    }
    void Serve(const QByteArray &bytes)
    {
        const QByteArray marker = "mark" + QByteArray::number(++m_marks);
        m_world.Peer->write(bytes + marker + "\r\n");
        m_world.Peer->flush();
        ASSERT_TRUE(WaitFor([&] { return m_client->Display.PlainText().contains(QString::fromLatin1(marker)); }));
    }
    QByteArray Expect(const QByteArray &bytes)
    {
        WaitFor([&] { return m_world.Received.contains(bytes); });
        return std::exchange(m_world.Received, {});
    }
    QString Shown() const { return m_client->Display.PlainText(); }
    MapModel &Map() const { return *m_client->Map().Model(); }

    QTemporaryDir m_folder;
    TGlobals m_globals;
    test::ScriptedWorld m_world;
    std::unique_ptr<TClient> m_client;
    QList<QByteArray> Events;
    int m_marks = 0;
};

} // namespace

TEST_F(MapSession, RoomsArriveWalksGoTheShortestWayAndTheEndRunsAnEvent)
{
    ASSERT_NE(m_client->Map().Model(), nullptr);
    m_client->Automation.AddEvent("On Map Arrived", "say here", "Main");
    // No coordinates: the map places rooms by the way the player went. Exits in upper case, as some send them.
    Serve(Room(R"({"num":1,"name":"Square","area":"Town","exits":{"N":2}})"));
    m_client->ProcessCommand("north");
    Expect("north\r\n");
    Serve(Room(R"({"num":2,"name":"Street","area":"Town","exits":{"s":1,"e":3}})"));
    m_client->ProcessCommand("e");
    Expect("e\r\n");
    Serve(Room(R"({"num":3,"name":"Gate","area":"Town","exits":{"w":2,"d":4}})"));
    EXPECT_EQ(Map().RoomCount(), 3);
    EXPECT_EQ(Map().CurrentRoom(), "3");
    EXPECT_EQ(Map().Room("2").Y, Map().Room("1").Y + 1) << "north of the square";
    EXPECT_EQ(Map().Room("3").X, Map().Room("2").X + 1) << "east of the street";

    m_client->ProcessCommand("/WHERE");
    EXPECT_TRUE(Shown().contains(QStringLiteral("Gate"))) << Shown().toStdString();

    m_client->ProcessCommand("/WALK square");
    EXPECT_EQ(Expect("s\r\n"), "w\r\ns\r\n");
    EXPECT_TRUE(Shown().contains(QStringLiteral("Walking to Square: 1 west, 1 south."))) << Shown().toStdString();
    Serve(Room(R"({"num":2,"name":"Street","area":"Town","exits":{"s":1,"e":3}})"));
    EXPECT_FALSE(Events.contains("On Map Arrived"));
    Serve(Room(R"({"num":1,"name":"Square","area":"Town","exits":{"N":2}})"));
    EXPECT_TRUE(Events.contains("On Map Arrived"));
    EXPECT_EQ(Expect("say here\r\n"), "say here\r\n");
}

TEST_F(MapSession, WalksThatCannotBeMadeSaySoAndSendNothing)
{
    Serve(Room(R"({"num":1,"name":"Cell","area":"Jail","exits":{"n":1,"e":99}})"));
    Serve(Room(R"({"num":5,"name":"Tower","area":"Jail","exits":{}})"));
    struct Case {
        const char *Command;
        const char *Said;
    } cases[] = {
        {"/WALK", "Walk where?"},
        {"/WALK nowhere", "No room on the map is called \"nowhere\"."},
        {"/WALK cell", "No known way leads from here to Cell."},
        {"/WALK 5", "You are already in Tower."},
        {"/MAP fold", "/MAP takes show, hide, export <file> or import <file>."},
    };
    for (const Case &c : cases) {
        m_client->ProcessCommand(c.Command);
        EXPECT_TRUE(Shown().contains(QString::fromUtf8(c.Said))) << c.Command;
    }
    WaitFor([] { return false; }, 50);
    EXPECT_TRUE(m_world.Received.isEmpty());
}

TEST_F(MapSession, TheMapIsKeptInItsFileAndCanBeExportedAndImported)
{
    const QString path = MapStore::MapFilePath("127.0.0.1", QByteArray::number(m_world.Port()));
    EXPECT_FALSE(QFile::exists(path)) << "a world that has sent no room has no map file";
    Serve(Room(R"({"num":1,"name":"Square","area":"Town","exits":{"n":2},"coord":{"x":0,"y":0}})"));
    Serve(Room(R"({"num":2,"name":"Street","area":"Town","exits":{"s":1},"coord":{"x":0,"y":1}})"));
    EXPECT_TRUE(QFile::exists(path)) << "made with the first room";
    m_client->ProcessCommand("/MAP export town.json");
    ASSERT_TRUE(QFile::exists(m_folder.filePath(QStringLiteral("town.json"))));

    m_client->BeginClose();
    m_client.reset();
    m_world.Peer = nullptr;
    StartSession();
    EXPECT_EQ(Map().RoomCount(), 2) << "read back from the world's map file";

    m_client->ProcessCommand("/MAP import missing.json");
    EXPECT_TRUE(Shown().contains(QStringLiteral("could not be read")));
    m_client->ProcessCommand("/MAP import town.json");
    EXPECT_TRUE(Shown().contains(QStringLiteral("The map was imported: 2 rooms.")));
}

TEST_F(MapSession, SwitchedOffTheMapKeepsNothing)
{
    m_client->BeginClose();
    m_client.reset();
    m_world.Peer = nullptr;
    QFile::remove(MapStore::MapFilePath("127.0.0.1", QByteArray::number(m_world.Port())));
    {
        AppSettings settings;
        SetMapEnabled(settings, "127.0.0.1", QByteArray::number(m_world.Port()), false);
    }
    StartSession();
    EXPECT_EQ(m_client->Map().Model(), nullptr);
    Serve(Room(R"({"num":1,"name":"Square","area":"Town"})"));
    m_client->ProcessCommand("/WHERE");
    EXPECT_TRUE(Shown().contains(QStringLiteral("The map is off for this world")));
    EXPECT_FALSE(QFile::exists(MapStore::MapFilePath("127.0.0.1", QByteArray::number(m_world.Port()))));
}
