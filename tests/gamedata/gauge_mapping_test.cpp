// SPDX-License-Identifier: GPL-3.0-or-later
// The gauges' values from the many ways worlds name them, a player's own paths, the MSDP report list, the
// room line, and a world's game data settings kept in the settings file.
#include "config/app_settings.h"
#include "gamedata/game_data.h"
#include "gamedata/game_data_settings.h"
#include "gamedata/gauge_mapping.h"
#include "gamedata/gmcp.h"
#include "gamedata/msdp.h"
#include "support/test_support.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace wren;

namespace
{

struct GaugeCase {
    const char *Name;
    QByteArray Vitals; ///< Char.Vitals JSON, "" for none
    QList<std::pair<QByteArray, QByteArray>> Msdp;
    GaugeMapping Mapping;
    /// Health, mana, movement as "value/max", "-" when absent.
    std::array<const char *, GaugeCount> Expected;
};

void PrintTo(const GaugeCase &c, std::ostream *os)
{
    *os << c.Name;
}

QByteArray Show(const GaugeValue &value)
{
    return value.Present ? QByteArray::number(value.Value) + '/' + QByteArray::number(value.Max) : QByteArray("-");
}

GaugeMapping Mapping(GaugeSource health)
{
    GaugeMapping mapping;
    mapping[Gauge::Health] = std::move(health);
    return mapping;
}

class Gauges : public ::testing::TestWithParam<GaugeCase>
{
};

TEST_P(Gauges, ReadWhatTheWorldSends)
{
    const GaugeCase &c = GetParam();
    GameData data;
    if (!c.Vitals.isEmpty()) {
        ASSERT_TRUE(data.ApplyGmcp("Char.Vitals", gmcp::Parse("Char.Vitals " + c.Vitals).Data));
    }
    for (const auto &[name, value] : c.Msdp)
        data.ApplyMsdp(name, msdp::Value::String(value));
    const auto values = GaugeValues(data, c.Mapping);
    for (const Gauge gauge : AllGauges)
        EXPECT_EQ(Show(values[static_cast<size_t>(gauge)]), c.Expected[static_cast<size_t>(gauge)])
            << GaugeName(gauge).constData();
}

INSTANTIATE_TEST_SUITE_P(Worlds, Gauges,
    ::testing::Values(GaugeCase { "HpMpMv", R"({"hp":42,"maxhp":50,"mp":7,"maxmp":9,"mv":80,"maxmv":100})", {}, {},
                          { "42/50", "7/9", "80/100" } },
        GaugeCase { "UpperCase", R"({"HP":42,"maxHP":50})", {}, {}, { "42/50", "-", "-" } },
        GaugeCase { "Words", R"({"health":42,"maxhealth":50,"mana":1,"maxmana":2,"moves":3,"maxmoves":4})", {}, {},
            { "42/50", "1/2", "3/4" } },
        GaugeCase { "Underscores", R"({"hp":42,"max_hp":50,"mp":1,"max_mp":2,"mv":3,"max_mv":4})", {}, {},
            { "42/50", "1/2", "3/4" } },
        GaugeCase { "SpAndEp", R"({"sp":5,"maxsp":6,"ep":7,"maxep":8})", {}, {}, { "-", "5/6", "7/8" } },
        GaugeCase { "NumbersAsStrings", R"({"hp":"4500","maxhp":"4600"})", {}, {}, { "4500/4600", "-", "-" } },
        GaugeCase { "NoMaximum", R"({"hp":42})", {}, {}, { "42/0", "-", "-" } },
        GaugeCase { "NotANumber", R"({"hp":"lots","maxhp":50})", {}, {}, { "-", "-", "-" } },
        GaugeCase { "MsdpStrings", "",
            { { "HEALTH", "90" }, { "HEALTH_MAX", "100" }, { "MANA", "5" }, { "MANA_MAX", "10" }, { "MOVEMENT", "1" },
                { "MOVEMENT_MAX", "2" } },
            {}, { "90/100", "5/10", "1/2" } },
        GaugeCase { "GmcpBeforeMsdp", R"({"hp":1,"maxhp":2})", { { "HEALTH", "90" }, { "HEALTH_MAX", "100" } }, {},
            { "1/2", "-", "-" } },
        GaugeCase { "PairWithMaximumBeatsValueAlone", R"({"hp":1,"mp":3})",
            { { "HEALTH", "90" }, { "HEALTH_MAX", "100" } }, {}, { "90/100", "3/0", "-" } },
        GaugeCase { "OwnPaths", R"({"life":{"now":3,"top":4}})", {},
            Mapping({ "gmcp.Char.Vitals.life.now", "gmcp.Char.Vitals.life.top" }), { "3/4", "-", "-" } },
        GaugeCase { "OwnPathsAreNotGuessedPast", R"({"hp":1,"maxhp":2})", {}, Mapping({ "msdp.HP", "msdp.MAXHP" }),
            { "-", "-", "-" } }),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(MsdpReports, GaugesRoomThenThePlayersOwn)
{
    EXPECT_EQ(MsdpReportVariables({}, { "GOLD", "HEALTH", " EXPERIENCE " }),
        (QList<QByteArray> { "HEALTH", "HEALTH_MAX", "MANA", "MANA_MAX", "MOVEMENT", "MOVEMENT_MAX", "ROOM_NAME",
            "ROOM_AREA", "ROOM_EXITS", "ROOM_VNUM", "GOLD", "EXPERIENCE" }));
    GaugeMapping mapping;
    mapping[Gauge::Health] = { "msdp.HP", "msdp.HP_MAX" };
    mapping[Gauge::Mana] = { "gmcp.Char.Vitals.sp", "gmcp.Char.Vitals.maxsp" };
    mapping[Gauge::Movement] = { "msdp.STAMINA", "" };
    EXPECT_EQ(MsdpReportVariables(mapping, {}, { "", "HP", "HP_MAX", "STAMINA", "ROOM_NAME" }),
        (QList<QByteArray> { "HP", "HP_MAX", "STAMINA", "ROOM_NAME" }))
        << "only what the server can report";
}

TEST(RoomLine, FromRoomInfoOrMsdp)
{
    GameData data;
    EXPECT_FALSE(CurrentRoom(data).Present);
    for (const msdp::Variable &variable : msdp::Parse("\x01ROOM_NAME\x02The Pier\x01ROOM_EXITS\x02\x03\x01w\x02"
                                                      "1\x01"
                                                      "e\x02"
                                                      "2\x04")
                                              .Variables)
        data.ApplyMsdp(variable.Name, variable.Data);
    RoomSummary room = CurrentRoom(data);
    EXPECT_TRUE(room.Present);
    EXPECT_EQ(room.Name, "The Pier");
    EXPECT_EQ(room.Exits, (QList<QByteArray> { "e", "w" }));

    data.ApplyGmcp("Room.Info",
        gmcp::Parse(R"(Room.Info {"name":"Caf\u00e9","area":"Town",)"
                    R"("exits":{"w":1,"u":2,"se":3,"n":4,"in":5,"portal":6}})")
            .Data);
    room = CurrentRoom(data);
    EXPECT_EQ(room.Name, "Caf\xC3\xA9");
    EXPECT_EQ(room.Area, "Town");
    EXPECT_EQ(room.Exits, (QList<QByteArray> { "n", "se", "w", "u", "in", "portal" })) << "compass order";
}

TEST(GameDataSettingsFile, RoundTripPerWorldWithDefaults)
{
    QTemporaryDir folder;
    AppSettings settings(folder.filePath(QStringLiteral("wrenclient.ini")));
    const GameDataSettings defaults = GameDataSettings::Load(settings, "mud.example", "4000");
    EXPECT_EQ(defaults, GameDataSettings());
    EXPECT_TRUE(defaults.Gmcp && defaults.Msdp && defaults.Mssp && defaults.Panel);
    EXPECT_EQ(defaults.GmcpModules, gmcp::DefaultModules());
    EXPECT_TRUE(defaults.MsdpReports.isEmpty());

    GameDataSettings changed;
    changed.Gmcp = false;
    changed.Panel = false;
    changed.GmcpModules = { "Char 1", "IRE.Rift 1" };
    changed.Gauges[Gauge::Mana] = { "gmcp.Char.Vitals.sp", "gmcp.Char.Vitals.maxsp" };
    changed.MsdpReports = { "GOLD", "EXPERIENCE" };
    changed.Save(settings, "mud.example", "4000");
    EXPECT_EQ(GameDataSettings::Load(settings, "mud.example", "4000"), changed);
    EXPECT_EQ(GameDataSettings::Load(settings, "other.example", "4000"), GameDataSettings());
}

} // namespace
