// SPDX-License-Identifier: GPL-3.0-or-later
// The shapes of room data worlds send (GMCP Room.Info, MSDP), exits lines of room text, and direction names.
#include "mapper/directions.h"
#include "mapper/room_info.h"
#include "support/test_support.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <algorithm>

using namespace wren;

namespace {

/// "id|name|area|terrain|exits|coordinates|skipped" with exits sorted, "?" for a target not known.
std::string Describe(const RoomRecord &room)
{
    std::vector<QByteArray> exits;
    for (const RoomExit &exit : room.Exits)
        exits.push_back(exit.Direction + '>' + (exit.Target.isEmpty() ? QByteArray("?") : exit.Target));
    std::sort(exits.begin(), exits.end());
    QByteArray coordinates = "-";
    if (room.HasCoordinates)
        coordinates = QByteArray::number(room.X) + ',' + QByteArray::number(room.Y) + ',' + QByteArray::number(room.Z);
    const QByteArray text = room.Id + '|' + room.Name + '|' + room.Area + '|' + room.Terrain + '|'
        + QByteArrayList(exits.begin(), exits.end()).join(',') + '|' + coordinates + '|'
        + QByteArray::number(room.SkippedExits);
    return text.toStdString();
}

RoomRecord Parse(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << json.toStdString();
    return RoomFromGmcp(document.object());
}

struct ShapeCase {
    const char *Name;
    QByteArray Json;
    std::string Expected;
};

void PrintTo(const ShapeCase &c, std::ostream *os)
{
    *os << c.Name;
}

class RoomInfoShapes : public ::testing::TestWithParam<ShapeCase>
{
};

TEST_P(RoomInfoShapes, Normalized)
{
    EXPECT_EQ(Describe(Parse(GetParam().Json)), GetParam().Expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Gmcp, RoomInfoShapes, ::testing::Values(
    ShapeCase{"NumZoneCoordTerrain",
        R"({"num":1234,"name":"The Square","zone":"midgaard","terrain":"city","exits":{"n":1235,"e":-1},"coord":{"id":0,"x":30,"y":19,"cont":0}})",
        "1234|The Square|midgaard|city|e>?,n>1235|30,19,0|0"},
    ShapeCase{"LongExitNamesEnvironment",
        R"({"num":4563,"name":"A path","area":"Ashtan","environment":"Path","exits":{"north":4564,"southeast":"4570","up":1}})",
        "4563|A path|Ashtan|Path|n>4564,se>4570,u>1|-|0"},
    ShapeCase{"VnumAsStringUpperCaseExits",
        R"({"vnum":"  3001 ","name":"Temple","area":"Midgaard","exits":{"N":"3002","D":3100,"NE":3003,"Out":9}})",
        "3001|Temple|Midgaard||d>3100,n>3002,ne>3003,out>9|-|0"},
    ShapeCase{"HashedNumberWithReadableIds",
        R"({"num":9007199254740993,"id":"midgaard/temple","name":"Temple","idexits":{"north":"midgaard/altar"},"exits":{"n":12345678901234}})",
        "midgaard/temple|Temple|||n>midgaard/altar|-|0"},
    ShapeCase{"ReadableIdWithoutItsExitsKeepsTheNumber",
        R"({"num":5,"id":"x/y","exits":{"s":6}})",
        "5||||s>6|-|0"},
    ShapeCase{"OnlyAReadableId",
        R"({"id":"plains-3","exits":{"w":"plains-2"}})",
        "plains-3||||w>plains-2|-|0"},
    ShapeCase{"NumberBeyond64BitsGivesOneStableText",
        R"({"num":18446744073709551615,"exits":{"u":18446744073709551614}})",
        "18446744073709551616||||u>18446744073709551616|-|0"},
    ShapeCase{"CoordinatesBothMinusOneAreUnknown",
        R"({"num":1,"coord":{"x":-1,"y":-1}})", "1|||||-|0"},
    ShapeCase{"OneMinusOneIsACoordinate",
        R"({"num":1,"coord":{"x":-1,"y":4}})", "1|||||-1,4,0|0"},
    ShapeCase{"CoordsAsArray",
        R"({"num":1,"coords":[3,4,-2]})", "1|||||3,4,-2|0"},
    ShapeCase{"CoordinatesAsStringsUpperCase",
        R"({"num":1,"coords":{"X":"2","Y":"3","Z":"1"}})", "1|||||2,3,1|0"},
    ShapeCase{"FractionalOrHugeCoordinatesIgnored",
        R"({"num":1,"coord":{"x":1.5,"y":2},"coords":{"x":1,"y":2}})", "1|||||-|0"},
    ShapeCase{"CoordinatesBeyondTheGrid",
        R"({"num":1,"coord":{"x":2000000,"y":2}})", "1|||||-|0"},
    ShapeCase{"ExitsAsListOfNames",
        R"({"num":1,"exits":["north","East","enter portal",7]})", "1||||e>?,enter portal>?,n>?|-|1"},
    ShapeCase{"ExitNamesThatWouldBeCommandsAreSkipped",
        R"({"num":1,"exits":{"n;quit":2,"/bad":3,"n":4,"":5}})", "1||||n>4|-|3"},
    ShapeCase{"RepeatedDirectionKeepsTheFirst",
        R"({"num":1,"exits":{"n":2,"north":3}})", "1||||n>2|-|1"},
    ShapeCase{"ExitTargetAsObject",
        R"({"num":1,"exits":{"n":{"id":7,"door":"closed"},"s":{"door":"open"},"e":null,"w":true}})",
        "1||||e>?,n>7,s>?,w>?|-|0"},
    ShapeCase{"AreaAsObject",
        R"({"num":1,"area":{"id":3,"name":"Forest"}})", "1||Forest|||-|0"},
    ShapeCase{"ControlCharactersBecomeBlanks",
        R"({"num":1,"name":"A\u0000B\u001b[31mC\n"})", "1|A B [31mC||||-|0"},
    ShapeCase{"NameAsNumber",
        R"({"num":1,"name":42})", "1|42||||-|0"},
    ShapeCase{"NoId", R"({"name":"Nowhere","exits":{"n":1}})", "|||||-|0"},
    ShapeCase{"NegativeNumber", R"({"num":-1,"name":"x"})", "|||||-|0"},
    ShapeCase{"NegativeNumberAsString", R"({"num":"-1"})", "|||||-|0"},
    ShapeCase{"EmptyString", R"({"num":"   "})", "|||||-|0"},
    ShapeCase{"IdOfWrongType", R"({"num":true,"vnum":{"a":1},"id":[1]})", "|||||-|0"},
    ShapeCase{"FractionalId", R"({"num":1.5})", "|||||-|0"},
    ShapeCase{"NumberLongerThanAnId", "{\"num\":4" + QByteArray(140, '3') + "}", "|||||-|0"},
    ShapeCase{"VnumWhenNumIsUnusable", R"({"num":-1,"vnum":7})", "7|||||-|0"}
), [](const auto &info) { return std::string(info.param.Name); });
// clang-format on

TEST(RoomInfo, IdsLongerThanTheLimitNameNoRoom)
{
    const QByteArray longest(MaxRoomIdLength, 'a');
    EXPECT_EQ(Parse("{\"num\":\"" + longest + "\"}").Id, longest);
    EXPECT_TRUE(Parse("{\"num\":\"" + longest + "a\"}").Id.isEmpty());
}

TEST(RoomInfo, LongNamesAreCutBetweenCharacters)
{
    // 199 bytes of "a" then a 2-byte character: cutting at 200 would split it.
    const QByteArray name = QByteArray(MaxRoomNameLength - 1, 'a') + "\xc3\xa9xyz";
    const RoomRecord room = Parse("{\"num\":1,\"name\":\"" + name + "\"}");
    EXPECT_EQ(room.Name, QByteArray(MaxRoomNameLength - 1, 'a'));
}

TEST(RoomInfo, TenThousandExitsKeepTheLimitAndCountTheRest)
{
    QByteArray json = "{\"num\":1,\"exits\":{";
    for (int i = 0; i < 10'000; ++i)
        json += (i ? ",\"" : "\"") + QByteArray("way") + QByteArray::number(i) + "\":" + QByteArray::number(i + 2);
    json += "}}";
    const RoomRecord room = Parse(json);
    EXPECT_EQ(room.Exits.size(), static_cast<size_t>(MaxExitsPerRoom));
    EXPECT_EQ(room.SkippedExits, 10'000 - MaxExitsPerRoom);
}

TEST(RoomInfo, MsdpVariablesAsBytes)
{
    QVariantMap exits{{QStringLiteral("n"), QByteArray("3002")}, {QStringLiteral("up"), QByteArray("3100")}};
    QVariantMap variables{{QStringLiteral("ROOM_VNUM"), QByteArray("3001")},
                          {QStringLiteral("ROOM_NAME"), QByteArray("The Temple")},
                          {QStringLiteral("ROOM_AREA"), QByteArray("Midgaard")},
                          {QStringLiteral("ROOM_TERRAIN"), QByteArray("inside")},
                          {QStringLiteral("ROOM_EXITS"), exits},
                          {QStringLiteral("ROOM_COORDS"), QVariantMap{{QStringLiteral("X"), QByteArray("4")},
                                                                      {QStringLiteral("Y"), QByteArray("-2")},
                                                                      {QStringLiteral("Z"), QByteArray("0")}}}};
    EXPECT_EQ(Describe(RoomFromMsdp(variables)), "3001|The Temple|Midgaard|inside|n>3002,u>3100|4,-2,0|0");
}

TEST(RoomInfo, MsdpRoomTable)
{
    QVariantMap room{{QStringLiteral("VNUM"), 12},
                     {QStringLiteral("NAME"), QStringLiteral("Hall")},
                     {QStringLiteral("AREA"), QStringLiteral("Keep")},
                     {QStringLiteral("EXITS"), QVariantMap{{QStringLiteral("w"), 11}}}};
    EXPECT_EQ(Describe(RoomFromMsdp(QVariantMap{{QStringLiteral("ROOM"), room}})), "12|Hall|Keep||w>11|-|0");
    EXPECT_FALSE(RoomFromMsdp(QVariantMap{{QStringLiteral("ROOM_NAME"), QByteArray("no vnum")}}).IsValid());
}

struct TextExitsCase {
    const char *Name;
    QByteArray Line;
    QByteArrayList Expected;
};

void PrintTo(const TextExitsCase &c, std::ostream *os)
{
    *os << c.Name;
}

class ExitsLine : public ::testing::TestWithParam<TextExitsCase>
{
};

TEST_P(ExitsLine, Directions)
{
    const std::vector<QByteArray> found = ExitsFromText(GetParam().Line);
    EXPECT_EQ(QByteArrayList(found.begin(), found.end()), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Text, ExitsLine,
                         ::testing::Values(TextExitsCase{"Bracketed", "[Exits: north east]", {"n", "e"}},
                                           TextExitsCase{"ObviousShort", "Obvious exits: n, e", {"n", "e"}},
                                           TextExitsCase{"CommasAndAnd", "Exits: north, south and west.", {"n", "s", "w"}},
                                           TextExitsCase{"ClosedDoor", "[ Exits: n e (s) ]", {"n", "e", "s"}},
                                           TextExitsCase{"UpperCase", "EXITS: Up Down", {"u", "d"}},
                                           TextExitsCase{"WordsThatAreNotDirections", "[Exits: north portal east]", {"n", "e"}},
                                           TextExitsCase{"NoColon", "You see no exits here.", {}},
                                           TextExitsCase{"None", "Exits: none", {}},
                                           TextExitsCase{"Repeated", "Exits: n north N", {"n"}},
                                           TextExitsCase{"Colours", "\x1b[32m[Exits: north]\x1b[0m", {"n"}}),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST(RoomInfo, ExitStubsAddOnlyWhatIsMissing)
{
    RoomRecord room = Parse(R"({"num":1,"exits":{"n":5}})");
    AddExitStubs(room, ExitsFromText("[Exits: north east]"));
    EXPECT_EQ(Describe(room), "1||||e>?,n>5|-|0");
}

struct DirectionCase {
    const char *Name;
    QByteArray Input;
    QByteArray Expected;
};

void PrintTo(const DirectionCase &c, std::ostream *os)
{
    *os << c.Name;
}

class DirectionNames : public ::testing::TestWithParam<DirectionCase>
{
};

TEST_P(DirectionNames, Normalized)
{
    EXPECT_EQ(NormalizeDirection(GetParam().Input), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Names, DirectionNames,
                         ::testing::Values(DirectionCase{"Long", "North", "n"}, DirectionCase{"UpperShort", "NE", "ne"},
                                           DirectionCase{"Hyphenated", "south-west", "sw"},
                                           DirectionCase{"LetterU", "U", "u"}, DirectionCase{"Blanks", "  West ", "w"},
                                           DirectionCase{"In", "In", "in"}, DirectionCase{"Out", "OUT", "out"},
                                           DirectionCase{"OwnName", "Enter  Portal", "enter portal"},
                                           DirectionCase{"Separator", "say;quit", ""},
                                           DirectionCase{"Slash", "/quit", ""}, DirectionCase{"Control", "n\x1b", ""},
                                           DirectionCase{"TooLong", QByteArray(33, 'a'), ""},
                                           DirectionCase{"Empty", "", ""}),
                         [](const auto &info) { return std::string(info.param.Name); });

} // namespace
