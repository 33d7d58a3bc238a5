// SPDX-License-Identifier: GPL-3.0-or-later
// The session's game data: storing and merging what worlds send, looking values up by path, ${...} in
// commands, and the limits that keep a flood of messages from growing it without bound.
#include "gamedata/game_data.h"
#include "gamedata/gmcp.h"
#include "gamedata/msdp.h"
#include "support/test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace wren;

namespace
{

QJsonValue Json(const char *text)
{
    const gmcp::Message message = gmcp::Parse(QByteArray("X ") + text);
    EXPECT_TRUE(message.Ok()) << text;
    return message.Data;
}

/// What a session would hold after a short while on a world that speaks all three protocols.
void Fill(GameData &data)
{
    data.ApplyGmcp("Char.Vitals",
        Json(R"({"hp":42,"maxhp":50,"HP":7,"ratio":0.5,"big":1e300,"alive":true,)"
             R"("title":null,"name":"Caf\u00e9"})"));
    data.ApplyGmcp("Char", Json(R"({"name":"Bob"})"));
    data.ApplyGmcp("Char.Items.List",
        Json(R"({"location":"inv","items":[{"id":"1","name":"a sword"},)"
             R"({"id":"2","name":"a shield"}]})"));
    data.ApplyGmcp("Room.Info", Json(R"({"num":1000,"exits":{"n":1001,"e":1002}})"));
    data.ApplyGmcp("Comm.Channel.Text", Json(R"("two\nlines")"));
    data.ApplyMsdp("HEALTH", msdp::Value::String("100"));
    data.ApplyMssp("NAME", { "Wren Demo" });
    data.ApplyMssp("PORT", { "4000", "4443" });
}

struct LookupCase {
    const char *Name;
    QByteArray Path;
    QByteArray Text;
};

void PrintTo(const LookupCase &c, std::ostream *os)
{
    *os << c.Name;
}

class GameDataLookup : public ::testing::TestWithParam<LookupCase>
{
};

TEST_P(GameDataLookup, PathGivesText)
{
    GameData data;
    Fill(data);
    EXPECT_EQ(data.Lookup(GetParam().Path), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(Paths, GameDataLookup,
    ::testing::Values(LookupCase { "Integer", "gmcp.Char.Vitals.hp", "42" },
        LookupCase { "PackageInAnyCase", "gmcp.char.vitals.hp", "42" },
        LookupCase { "ProtocolInAnyCase", "GMCP.CHAR.VITALS.maxhp", "50" },
        LookupCase { "ExactKeyFirst", "gmcp.Char.Vitals.HP", "7" },
        // No key "Hp": the first key in sorted order that matches in any case ("HP" sorts before "hp").
        LookupCase { "KeyInAnyCase", "gmcp.Char.Vitals.Hp", "7" },
        LookupCase { "Fraction", "gmcp.Char.Vitals.ratio", "0.5" },
        LookupCase { "HugeNumber", "gmcp.Char.Vitals.big", "1e+300" },
        LookupCase { "True", "gmcp.Char.Vitals.alive", "true" },
        LookupCase { "NullIsEmpty", "gmcp.Char.Vitals.title", "" },
        LookupCase { "StringIsUtf8WithoutQuotes", "gmcp.Char.Vitals.name", "Caf\xC3\xA9" },
        LookupCase { "LongestPackageWins", "gmcp.Char.name", "Bob" },
        LookupCase { "ArrayIndex", "gmcp.Char.Items.List.items.1.name", "a shield" },
        LookupCase { "IndexPastTheEnd", "gmcp.Char.Items.List.items.2.name", "" },
        LookupCase { "NegativeIndex", "gmcp.Char.Items.List.items.-1.name", "" },
        LookupCase { "IndexNotANumber", "gmcp.Char.Items.List.items.x", "" },
        LookupCase { "ObjectAsCompactJson", "gmcp.Room.Info.exits", "{\"e\":1002,\"n\":1001}" },
        LookupCase { "WholePackage", "gmcp.Char", "{\"name\":\"Bob\"}" },
        LookupCase { "ScalarPackage", "gmcp.Comm.Channel.Text", "two\nlines" },
        LookupCase { "IntoANumber", "gmcp.Char.Vitals.hp.x", "" },
        LookupCase { "TrailingDot", "gmcp.Char.Vitals.", "" }, LookupCase { "DoubleDot", "gmcp.Char..Vitals", "" },
        LookupCase { "UnknownPackage", "gmcp.Nothing.here", "" }, LookupCase { "ProtocolOnly", "gmcp.", "" },
        LookupCase { "OtherProtocol", "mxp.Char", "" }, LookupCase { "MsdpString", "msdp.HEALTH", "100" },
        LookupCase { "MsdpAnyCase", "msdp.health", "100" }, LookupCase { "MsspOneValue", "mssp.NAME", "Wren Demo" },
        LookupCase { "MsspSeveralValues", "mssp.PORT", "[\"4000\",\"4443\"]" },
        LookupCase { "MsspOneOfSeveral", "mssp.port.1", "4443" }),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(GameDataStore, PartialUpdatesMergeIntoObjectsAndOtherValuesReplace)
{
    GameData data;
    QSignalSpy changed(&data, &GameData::GmcpChanged);
    ASSERT_TRUE(data.ApplyGmcp("Char.Vitals", Json(R"({"hp":42,"maxhp":50,"Mp":3})")));
    ASSERT_TRUE(data.ApplyGmcp("char.vitals", Json(R"({"hp":30,"mp":9})")));
    EXPECT_EQ(data.Lookup("gmcp.Char.Vitals"), R"({"Mp":3,"hp":30,"maxhp":50,"mp":9})") << "keys keep their case";
    EXPECT_EQ(data.GmcpPackages(), QList<QByteArray> { "char.vitals" }) << "the spelling last sent";
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed.at(1).at(0).toByteArray(), "char.vitals");

    data.ApplyGmcp("Char.Vitals", Json("[1,2]"));
    EXPECT_EQ(data.Lookup("gmcp.Char.Vitals"), "[1,2]");
    data.ApplyGmcp("Char.Vitals", Json(R"({"hp":1})"));
    EXPECT_EQ(data.Lookup("gmcp.Char.Vitals"), R"({"hp":1})") << "an object after an array replaces it";
    // Only the top level merges: a nested object is replaced whole.
    data.ApplyGmcp("Room.Info", Json(R"({"exits":{"n":1,"s":2}})"));
    data.ApplyGmcp("Room.Info", Json(R"({"exits":{"e":3}})"));
    EXPECT_EQ(data.Lookup("gmcp.Room.Info.exits"), R"({"e":3})");
}

// As the session runs it: a malformed message is not stored and signals nothing, but its package is known,
// so the event still runs; a message without data stores nothing either.
TEST(GameDataStore, MalformedOrEmptyMessageKeepsTheValue)
{
    GameData data;
    data.ApplyGmcp("Char.Vitals", Json(R"({"hp":42})"));
    QSignalSpy changed(&data, &GameData::GmcpChanged);
    for (const QByteArray &payload : { QByteArray(R"(Char.Vitals {"hp":0,})"), QByteArray("Char.Vitals"),
             "Char.Vitals " + QByteArray(20000, '[') }) {
        const gmcp::Message message = gmcp::Parse(payload);
        EXPECT_EQ(message.Package, "Char.Vitals");
        EXPECT_FALSE(data.ApplyGmcp(message.Package, message.Data));
    }
    EXPECT_EQ(data.Lookup("gmcp.Char.Vitals.hp"), "42");
    EXPECT_EQ(changed.count(), 0);
}

// MSDP reports everything once, then only what changed: the other values stay.
TEST(GameDataStore, MsdpChangesLeaveTheOtherVariables)
{
    GameData data;
    QSignalSpy changed(&data, &GameData::MsdpChanged);
    for (const msdp::Variable &variable : msdp::Parse("\x01HEALTH\x02"
                                                      "100\x01HEALTH_MAX\x02"
                                                      "100\x01ROOM_NAME\x02Square")
                                              .Variables)
        data.ApplyMsdp(variable.Name, variable.Data);
    for (const msdp::Variable &variable : msdp::Parse("\x01HEALTH\x02"
                                                      "90")
                                              .Variables)
        data.ApplyMsdp(variable.Name, variable.Data);
    EXPECT_EQ(data.Lookup("msdp.HEALTH"), "90");
    EXPECT_EQ(data.Lookup("msdp.HEALTH_MAX"), "100");
    EXPECT_EQ(data.Msdp("HEALTH"), QJsonValue(QStringLiteral("90"))) << "MSDP values stay strings";
    EXPECT_EQ(changed.count(), 4);
    EXPECT_EQ(changed.back().at(0).toByteArray(), "HEALTH");

    // A table comes whole each time: the exits of the room before must not stay.
    for (const QByteArray &exits : { QByteArray("\x01ROOM_EXITS\x02\x03\x01n\x02"
                                                "1\x01"
                                                "e\x02"
                                                "2\x04"),
             QByteArray("\x01ROOM_EXITS\x02\x03\x01s\x02"
                        "3\x04") }) {
        for (const msdp::Variable &variable : msdp::Parse(exits).Variables)
            data.ApplyMsdp(variable.Name, variable.Data);
    }
    EXPECT_EQ(data.Lookup("msdp.ROOM_EXITS"), R"({"s":"3"})");
}

TEST(GameDataStore, MsspValuesReplaceAndClearForgetsAll)
{
    GameData data;
    data.ApplyMssp("PLAYERS", { "3" });
    data.ApplyMssp("players", { "4" });
    EXPECT_EQ(data.Mssp("PLAYERS"), QList<QByteArray> { "4" });
    data.ApplyMssp("PORT", { "4000", "4443" });
    EXPECT_EQ(data.Mssp("port"), (QList<QByteArray> { "4000", "4443" }));
    EXPECT_EQ(data.MsspNames(), (QList<QByteArray> { "players", "PORT" }));
    EXPECT_TRUE(data.Gmcp("Char.Vitals").isUndefined());

    QSignalSpy cleared(&data, &GameData::Cleared);
    data.Clear();
    EXPECT_EQ(cleared.count(), 1);
    EXPECT_TRUE(data.IsEmpty());
    EXPECT_EQ(data.Lookup("mssp.PORT"), "");
}

TEST(GameDataLimits, FloodsAreRefusedAndOldValuesStay)
{
    GameData data;
    data.ApplyGmcp("Keep", QJsonValue(1));
    for (int i = 1; i < GameData::MaxEntries; ++i)
        ASSERT_TRUE(data.ApplyGmcp("P" + QByteArray::number(i), QJsonValue(i)));
    EXPECT_FALSE(data.ApplyGmcp("OneTooMany", QJsonValue(1))) << "too many packages";
    EXPECT_TRUE(data.ApplyGmcp("p1", QJsonValue(2))) << "a stored package still updates";
    EXPECT_EQ(data.Lookup("gmcp.Keep"), "1");

    // One key at a time, merged: the object stops growing past its limit.
    GameData merged;
    for (int i = 0; i < GameData::MaxMergedKeys + 10; ++i)
        merged.ApplyGmcp("Grow", QJsonObject { { QString::number(i), i } });
    EXPECT_LE(merged.Gmcp("Grow").toObject().size(), GameData::MaxMergedKeys);

    // Values of 1 MB each: the store fills, then refuses, keeping what it had.
    GameData full;
    const QJsonValue big(QString(512 * 1024, QLatin1Char('x')));
    int stored = 0;
    while (full.ApplyGmcp("Big" + QByteArray::number(stored), big))
        ++stored;
    EXPECT_LT(stored, GameData::MaxEntries);
    EXPECT_GE(qint64(stored) * 1024 * 1024, GameData::MaxBytes - 1024 * 1024);
    EXPECT_EQ(full.Lookup("gmcp.Big0").size(), 512 * 1024);
    EXPECT_TRUE(full.ApplyGmcp("Big0", QJsonValue(1))) << "a smaller value for a stored package fits";
}

struct SubstituteCase {
    const char *Name;
    QByteArray Command;
    QByteArray Result;
};

void PrintTo(const SubstituteCase &c, std::ostream *os)
{
    *os << c.Name;
}

class Substitute : public ::testing::TestWithParam<SubstituteCase>
{
};

TEST_P(Substitute, ReplacesGameDataOnly)
{
    GameData data;
    Fill(data);
    EXPECT_EQ(SubstituteGameData(GetParam().Command, data), GetParam().Result);
}

INSTANTIATE_TEST_SUITE_P(Commands, Substitute,
    ::testing::Values(SubstituteCase { "NoReference", "kill rat", "kill rat" }, SubstituteCase { "Empty", "", "" },
        SubstituteCase { "One", "say I have ${gmcp.Char.Vitals.hp} hp", "say I have 42 hp" },
        SubstituteCase { "Adjacent", "${gmcp.Char.Vitals.hp}/${gmcp.Char.Vitals.maxhp}", "42/50" },
        SubstituteCase { "EachProtocol", "${msdp.HEALTH} ${mssp.NAME} ${MSSP.port.0}", "100 Wren Demo 4000" },
        SubstituteCase { "Missing", "[${gmcp.No.Such}]", "[]" },
        SubstituteCase { "OtherReferenceStays", "${name} ${gmcp} ${gmcp.} ${}", "${name} ${gmcp} ${gmcp.} ${}" },
        SubstituteCase { "Unterminated", "x ${gmcp.Char.Vitals.hp y", "x ${gmcp.Char.Vitals.hp y" },
        SubstituteCase { "UnterminatedAfterOne", "${gmcp.Char.name} ${gmcp.Char", "Bob ${gmcp.Char" },
        SubstituteCase { "InnerReference", "a${b${gmcp.Char.name}}", "a${bBob}" },
        SubstituteCase { "ManyOpenings", "${${${gmcp.Char.name}${${}", "${${Bob${${}" },
        SubstituteCase { "DollarAlone", "$ {gmcp.Char.name} $", "$ {gmcp.Char.name} $" },
        SubstituteCase { "LineBreakInValueBecomesSpace", "chat ${gmcp.Comm.Channel.Text}", "chat two lines" }),
    [](const auto &info) { return std::string(info.param.Name); });

} // namespace
