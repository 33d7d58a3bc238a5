// SPDX-License-Identifier: GPL-3.0-or-later
// The demo world's GMCP, MSDP and MSSP through a scripted telnet client on a loopback socket, read back
// with the client's own parsers; and the demo map's consistency.
#include "demo/demo_rooms.h"
#include "demo/demo_world.h"
#include "gamedata/game_data.h"
#include "gamedata/gmcp.h"
#include "gamedata/json_text.h"
#include "gamedata/msdp.h"
#include "gamedata/mssp.h"
#include "support/test_support.h"

#include <QJsonObject>
#include <QTcpSocket>

#include <gtest/gtest.h>
#include <set>

using namespace wren;
using wren::test::WaitFor;

namespace
{

constexpr unsigned char Iac = 255;
constexpr unsigned char Will = 251;
constexpr unsigned char Do = 253;
constexpr unsigned char Sb = 250;
constexpr unsigned char Se = 240;
constexpr unsigned char Ga = 249;

QByteArray Bytes(std::initializer_list<unsigned char> bytes)
{
    QByteArray out;
    for (const unsigned char byte : bytes)
        out += static_cast<char>(byte);
    return out;
}

/// A telnet client written out by hand: it records the text (IAC GA as "<GA>"), the option commands and the
/// subnegotiations, each with where in the text it arrived.
class TelnetPeer
{
public:
    struct Sub {
        unsigned char Option;
        QByteArray Payload;
        qsizetype At; ///< the text's length when it arrived
    };

    explicit TelnetPeer(quint16 port)
    {
        QObject::connect(&m_socket, &QTcpSocket::readyRead, [this] { Read(m_socket.readAll()); });
        m_socket.connectToHost(QHostAddress::LocalHost, port);
    }

    void Send(const QByteArray &bytes) { m_socket.write(bytes); }
    void Line(const QByteArray &line) { Send(line + "\r\n"); }
    void Agree(unsigned char option) { Send(Bytes({ Iac, Do, option })); }
    void Subnegotiate(unsigned char option, const QByteArray &payload)
    {
        Send(Bytes({ Iac, Sb, option }) + QByteArray(payload).replace('\xFF', QByteArray("\xFF\xFF", 2))
            + Bytes({ Iac, Se }));
    }

    /// The subnegotiations of @p option that came in at or after subnegotiation number @p from.
    QList<Sub> Subs(unsigned char option, qsizetype from = 0) const
    {
        QList<Sub> subs;
        for (qsizetype i = from; i < AllSubs.size(); ++i) {
            if (AllSubs[i].Option == option)
                subs.append(AllSubs[i]);
        }
        return subs;
    }
    /// The newest GMCP message of @p package, parsed as the client parses it; since subnegotiation @p from.
    std::optional<gmcp::Message> LastGmcp(const QByteArray &package, qsizetype from = 0) const
    {
        std::optional<gmcp::Message> last;
        for (const Sub &sub : Subs(gmcp::Option, from)) {
            gmcp::Message message = gmcp::Parse(sub.Payload);
            if (message.Package == package)
                last = std::move(message);
        }
        return last;
    }

    QByteArray Text;
    QList<std::pair<unsigned char, unsigned char>> Commands;
    QList<Sub> AllSubs;

private:
    enum class State { Data, Iac, Option, Sub, SubIac };

    void Read(const QByteArray &bytes)
    {
        for (const char ch : bytes) {
            const auto byte = static_cast<unsigned char>(ch);
            switch (m_state) {
            case State::Data:
                if (byte == Iac)
                    m_state = State::Iac;
                else
                    Text += ch;
                break;
            case State::Iac:
                m_state = State::Data;
                if (byte >= Will && byte <= 254) {
                    m_verb = byte;
                    m_state = State::Option;
                } else if (byte == Sb) {
                    m_sub.clear();
                    m_state = State::Sub;
                } else if (byte == Ga) {
                    Text += "<GA>";
                } else if (byte == Iac) {
                    Text += ch;
                }
                break;
            case State::Option:
                Commands.append({ m_verb, byte });
                m_state = State::Data;
                break;
            case State::Sub:
                if (byte == Iac)
                    m_state = State::SubIac;
                else
                    m_sub += ch;
                break;
            case State::SubIac:
                if (byte == Se) {
                    AllSubs.append({ static_cast<unsigned char>(m_sub.at(0)), m_sub.mid(1), Text.size() });
                    m_state = State::Data;
                } else {
                    m_sub += ch; // IAC IAC
                    m_state = State::Sub;
                }
                break;
            }
        }
    }

    QTcpSocket m_socket;
    State m_state = State::Data;
    unsigned char m_verb = 0;
    QByteArray m_sub;
};

class DemoProtocols : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_world.listen(QHostAddress::LocalHost, 0)); }

    void LogIn(TelnetPeer &peer)
    {
        ASSERT_TRUE(WaitFor([&] { return peer.Text.contains("By what name are you known?"); }));
        peer.Line("Tester");
        ASSERT_TRUE(WaitFor([&] { return peer.Text.contains("Password"); }));
        peer.Line("secret");
        ASSERT_TRUE(WaitFor([&] { return peer.Text.contains("Exits:") && peer.Text.endsWith("<GA>"); }));
    }

    demo::DemoWorld m_world;
};

TEST_F(DemoProtocols, OpeningBurstOffersGameData)
{
    TelnetPeer peer(m_world.port());
    ASSERT_TRUE(WaitFor([&] { return peer.Text.contains("By what name"); }));
    for (const unsigned char option : { gmcp::Option, msdp::Option, mssp::Option })
        EXPECT_TRUE(peer.Commands.contains(std::pair { Will, option })) << int(option);
}

// GMCP waits for the client's modules, then sends the whole state, then only what changed, after the prompt.
TEST_F(DemoProtocols, GmcpAfterSupportsSetThenChangesAfterThePrompt)
{
    TelnetPeer peer(m_world.port());
    peer.Agree(gmcp::Option);
    peer.Subnegotiate(gmcp::Option, gmcp::CoreHello("2.13"));
    LogIn(peer);
    EXPECT_TRUE(peer.Subs(gmcp::Option).isEmpty()) << "nothing before Core.Supports.Set";

    peer.Subnegotiate(gmcp::Option, gmcp::CoreSupportsSet(gmcp::DefaultModules()));
    ASSERT_TRUE(WaitFor([&] { return peer.LastGmcp("Room.Info").has_value(); }));
    GameData data;
    for (const TelnetPeer::Sub &sub : peer.Subs(gmcp::Option)) {
        const gmcp::Message message = gmcp::Parse(sub.Payload);
        ASSERT_TRUE(message.Ok()) << message.Error.constData();
        data.ApplyGmcp(message.Package, message.Data);
    }
    EXPECT_EQ(data.GmcpPackages(), (QList<QByteArray> { "Char.Name", "Char.Vitals", "Room.Info" }));
    EXPECT_EQ(data.Lookup("gmcp.Char.Vitals"), R"({"hp":100,"maxhp":100,"maxmp":50,"maxmv":100,"mp":50,"mv":100})");
    EXPECT_EQ(data.Lookup("gmcp.Char.Name.name"), "Tester");
    EXPECT_EQ(data.Lookup("gmcp.Room.Info"),
        R"({"area":"Wrenhaven","coord":{"cont":0,"id":1,"x":0,"y":0},"environment":"city",)"
        R"("exits":{"e":1002,"n":1001,"ne":1005,"nw":1007,"s":1004,"se":1009,"sw":1012,"w":1003},)"
        R"("name":"The Town Square","num":1000})");

    const qsizetype before = peer.AllSubs.size();
    peer.Line("fight");
    ASSERT_TRUE(WaitFor([&] { return peer.LastGmcp("Char.Vitals", before).has_value(); }));
    EXPECT_EQ(JsonText(peer.LastGmcp("Char.Vitals", before)->Data),
        R"({"hp":95,"maxhp":100,"maxmp":50,"maxmv":100,"mp":50,"mv":98})");
    const TelnetPeer::Sub vitals = peer.Subs(gmcp::Option, before).back();
    EXPECT_TRUE(peer.Text.left(vitals.At).endsWith("<95hp 50mp 98mv> <GA>")) << "sent after the prompt";
    EXPECT_EQ(peer.Subs(gmcp::Option, before).size(), 1) << "the room did not change";

    // The café's name is Latin-1 on the wire's text; GMCP carries it as UTF-8 JSON.
    peer.Line("rest");
    peer.Line("east");
    ASSERT_TRUE(WaitFor([&] { return peer.LastGmcp("Room.Info", before).has_value(); }));
    EXPECT_EQ(data.ApplyGmcp("Room.Info", peer.LastGmcp("Room.Info", before)->Data), true);
    EXPECT_EQ(data.Lookup("gmcp.room.info.name"), "Caf\xC3\xA9 du Port");
    EXPECT_EQ(JsonText(peer.LastGmcp("Char.Vitals", before)->Data),
        R"({"hp":100,"maxhp":100,"maxmp":50,"maxmv":100,"mp":50,"mv":99})");
}

TEST_F(DemoProtocols, GmcpWalkIntoTheAreaWithoutCoordinatesAndChat)
{
    TelnetPeer peer(m_world.port());
    peer.Agree(gmcp::Option);
    peer.Subnegotiate(gmcp::Option, gmcp::CoreSupportsSet({ "Room 1", "Comm.Channel 1" }));
    LogIn(peer);
    EXPECT_FALSE(peer.LastGmcp("Char.Vitals").has_value()) << "the client did not ask for Char";
    for (const char *step : { "ne", "e", "east", "e", "e", "e", "e", "e", "e", "down" })
        peer.Line(step);
    ASSERT_TRUE(WaitFor([&] {
        const auto room = peer.LastGmcp("Room.Info");
        return room && room->Data.toObject().value(QStringLiteral("num")).toInt() == 3000;
    }));
    const QJsonObject cave = peer.LastGmcp("Room.Info")->Data.toObject();
    EXPECT_EQ(cave.value(QStringLiteral("area")).toString(), QStringLiteral("The Deep Caverns"));
    EXPECT_FALSE(cave.contains(QStringLiteral("coord")));
    EXPECT_EQ(JsonText(cave.value(QStringLiteral("exits"))), R"({"n":3001,"u":2013})");

    peer.Line("chat hello there");
    ASSERT_TRUE(WaitFor([&] { return peer.LastGmcp("Comm.Channel.Text").has_value(); }));
    EXPECT_EQ(JsonText(peer.LastGmcp("Comm.Channel.Text")->Data),
        R"({"channel":"chat","talker":"Tester","text":"[chat] Tester: hello there"})");
    EXPECT_TRUE(peer.Text.contains("[chat] Tester: hello there"));

    peer.Subnegotiate(gmcp::Option, "Core.Ping");
    ASSERT_TRUE(WaitFor([&] { return peer.LastGmcp("Core.Ping").has_value(); }));
}

// MSDP: the list starts with an empty element; a report sends everything once, then only changes.
TEST_F(DemoProtocols, MsdpListsReportsAndSendsOnlyChanges)
{
    TelnetPeer peer(m_world.port());
    peer.Agree(msdp::Option);
    peer.Subnegotiate(msdp::Option, msdp::ListRequest());
    ASSERT_TRUE(WaitFor([&] { return !peer.Subs(msdp::Option).isEmpty(); }));
    const msdp::Result list = msdp::Parse(peer.Subs(msdp::Option).front().Payload);
    ASSERT_EQ(list.Variables.size(), 1u);
    EXPECT_EQ(list.Variables[0].Name, "REPORTABLE_VARIABLES");
    ASSERT_FALSE(list.Variables[0].Data.Items.empty());
    EXPECT_EQ(list.Variables[0].Data.Items.front(), msdp::Value::String("")) << "starts with an empty element";
    const QList<QByteArray> reportable = msdp::Names(list.Variables[0].Data);
    EXPECT_TRUE(reportable.contains("HEALTH") && reportable.contains("ROOM_EXITS")) << reportable.join(' ').constData();

    peer.Subnegotiate(msdp::Option,
        msdp::ReportRequest({ "HEALTH", "HEALTH_MAX", "MANA", "MANA_MAX", "ROOM_NAME", "ROOM_VNUM", "ROOM_EXITS",
            "ROOM_AREA", "NO_SUCH" }));
    ASSERT_TRUE(WaitFor([&] { return peer.Subs(msdp::Option).size() == 2; }));
    GameData data;
    const auto apply = [&data](const QByteArray &payload) {
        QList<QByteArray> names;
        const msdp::Result result = msdp::Parse(payload);
        EXPECT_TRUE(result.Error.isEmpty()) << result.Error.constData();
        for (const msdp::Variable &variable : result.Variables) {
            data.ApplyMsdp(variable.Name, variable.Data);
            names.append(variable.Name);
        }
        return names;
    };
    EXPECT_EQ(apply(peer.Subs(msdp::Option)[1].Payload),
        (QList<QByteArray> {
            "HEALTH", "HEALTH_MAX", "MANA", "MANA_MAX", "ROOM_NAME", "ROOM_VNUM", "ROOM_EXITS", "ROOM_AREA" }));
    EXPECT_EQ(data.Lookup("msdp.ROOM_EXITS.n"), "1001");

    LogIn(peer);
    EXPECT_EQ(peer.Subs(msdp::Option).size(), 2) << "nothing changed by logging in";
    peer.Line("fight");
    ASSERT_TRUE(WaitFor([&] { return peer.Subs(msdp::Option).size() == 3; }));
    EXPECT_EQ(apply(peer.Subs(msdp::Option)[2].Payload), QList<QByteArray> { "HEALTH" });
    peer.Line("north");
    ASSERT_TRUE(WaitFor([&] { return peer.Subs(msdp::Option).size() == 4; }));
    EXPECT_EQ(
        apply(peer.Subs(msdp::Option)[3].Payload), (QList<QByteArray> { "ROOM_NAME", "ROOM_VNUM", "ROOM_EXITS" }));
    EXPECT_EQ(data.Lookup("msdp.HEALTH"), "95");
    EXPECT_EQ(data.Lookup("msdp.HEALTH_MAX"), "100") << "kept from the first report";
    EXPECT_EQ(data.Lookup("msdp.ROOM_NAME"), "The Old Library");
    EXPECT_EQ(data.Lookup("msdp.ROOM_EXITS"), R"({"s":"1000"})");
    EXPECT_EQ(data.Lookup("msdp.ROOM_AREA"), "Wrenhaven");
}

TEST_F(DemoProtocols, MsspStatusOnRequest)
{
    TelnetPeer peer(m_world.port());
    peer.Agree(mssp::Option);
    ASSERT_TRUE(WaitFor([&] { return !peer.Subs(mssp::Option).isEmpty(); }));
    const mssp::Result status = mssp::Parse(peer.Subs(mssp::Option).front().Payload);
    EXPECT_TRUE(status.Error.isEmpty()) << status.Error.constData();
    QHash<QByteArray, QList<QByteArray>> fields;
    for (const mssp::Field &field : status.Fields)
        fields.insert(field.first, field.second);
    EXPECT_EQ(status.Fields.front().first, "NAME");
    EXPECT_EQ(fields.value("NAME"), QList<QByteArray> { "Wren Demo World" });
    EXPECT_EQ(fields.value("PLAYERS"), QList<QByteArray> { "0" });
    EXPECT_GT(fields.value("UPTIME").value(0).toLongLong(), 1600000000);
    EXPECT_EQ(fields.value("PORT").value(0), QByteArray::number(m_world.port()));
    EXPECT_EQ(fields.value("GAMEPLAY"), (QList<QByteArray> { "Adventure", "Social" })) << "several values";
    EXPECT_EQ(fields.value("ROOMS"), QList<QByteArray> { QByteArray::number(qsizetype(demo::Rooms().size())) });
}

// The map holds together: every exit leads to a room and back, except the one slide down; rooms with
// coordinates sit one step apart in the direction of their exits.
TEST(DemoMap, ExitsAndCoordinatesAgree)
{
    using namespace wren::demo;
    const auto rooms = Rooms();
    EXPECT_GE(rooms.size(), 40u);
    std::set<int> areasUsed;
    std::set<int> numbers;
    QList<QByteArray> oneWay;
    int upDownPairs = 0;
    static constexpr int Dx[] = { 0, 1, 1, 1, 0, -1, -1, -1, 0, 0 };
    static constexpr int Dy[] = { 1, 1, 0, -1, -1, -1, 0, 1, 0, 0 };
    for (const Room &room : rooms) {
        EXPECT_TRUE(numbers.insert(room.Number).second) << room.Number;
        areasUsed.insert(room.AreaIndex);
        const auto exits = ExitsOf(room);
        EXPECT_EQ(
            QByteArray(room.ExitList).count(':'), std::count_if(exits.begin(), exits.end(), [](int to) { return to; }))
            << room.Number << " has an exit word the map does not know";
        for (int direction = 0; direction < DirectionCount; ++direction) {
            const int to = exits[static_cast<size_t>(direction)];
            if (to == 0)
                continue;
            const Room *target = FindRoom(to);
            ASSERT_NE(target, nullptr) << room.Number << " leads nowhere";
            const Direction back = Directions[static_cast<size_t>(direction)].Opposite;
            if (ExitsOf(*target)[back] != room.Number)
                oneWay.append(QByteArray::number(room.Number) + ' ' + Directions[static_cast<size_t>(direction)].Short);
            upDownPairs += direction == Down && ExitsOf(*target)[Up] == room.Number;
            if (target->AreaIndex == room.AreaIndex && Areas[static_cast<size_t>(room.AreaIndex)].HasCoordinates) {
                EXPECT_EQ(target->X - room.X, Dx[direction]) << room.Number << " to " << to;
                EXPECT_EQ(target->Y - room.Y, Dy[direction]) << room.Number << " to " << to;
            }
        }
    }
    EXPECT_EQ(areasUsed.size(), 3u);
    EXPECT_EQ(std::count_if(Areas.begin(), Areas.end(), [](const Area &area) { return !area.HasCoordinates; }), 1);
    EXPECT_EQ(oneWay, QList<QByteArray> { "3007 d" });
    EXPECT_GE(upDownPairs, 1);
    EXPECT_EQ(DirectionFromWord("NorthEast"), NorthEast);
    EXPECT_EQ(DirectionFromWord("u"), Up);
    EXPECT_EQ(DirectionFromWord("nowhere"), -1);
}

} // namespace
