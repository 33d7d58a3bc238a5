// SPDX-License-Identifier: GPL-3.0-or-later
// The map: rooms arriving, layout on the grid, exits learned from walks, paths, route text and limits.
#include "mapper/map_model.h"
#include "support/test_support.h"

#include <QJsonDocument>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <set>
#include <tuple>

using namespace wren;

namespace {

using Cell = std::tuple<int, int, int>;

RoomRecord MakeRoom(const QByteArray &id, const QByteArray &area = "Town", std::vector<RoomExit> exits = {})
{
    RoomRecord room;
    room.Id = id;
    room.Name = "Room " + id;
    room.Area = area;
    room.Exits = std::move(exits);
    return room;
}

RoomRecord RoomAt(const QByteArray &id, int x, int y, int z = 0, const QByteArray &area = "Town")
{
    RoomRecord room = MakeRoom(id, area);
    room.HasCoordinates = true;
    room.X = x;
    room.Y = y;
    room.Z = z;
    return room;
}

Cell CellOf(const MapModel &map, const QByteArray &id)
{
    const StoredRoom room = map.Room(id);
    EXPECT_FALSE(room.Id.isEmpty()) << id.toStdString();
    return {room.X, room.Y, room.Z};
}

/// "n>b,e>?" in the room's order.
std::string ExitsOf(const MapModel &map, const QByteArray &id)
{
    QByteArrayList parts;
    for (const RoomExit &exit : map.Room(id).Exits)
        parts.append(exit.Direction + '>' + (exit.Target.isEmpty() ? QByteArray("?") : exit.Target));
    return parts.join(',').toStdString();
}

struct StepCase {
    const char *Name;
    QByteArray Direction;
    Cell Expected;
};

void PrintTo(const StepCase &c, std::ostream *os)
{
    *os << c.Name;
}

class WalkLayout : public ::testing::TestWithParam<StepCase>
{
};

TEST_P(WalkLayout, NewRoomGoesOneStepInTheDirectionTaken)
{
    MapModel map;
    map.Arrive(MakeRoom("a"));
    map.Arrive(MakeRoom("b"), GetParam().Direction);
    EXPECT_EQ(CellOf(map, "a"), Cell(0, 0, 0));
    EXPECT_EQ(CellOf(map, "b"), GetParam().Expected);
}

// y grows to the north, z upwards; in, out and a world's own exits have no step: the nearest free cell.
INSTANTIATE_TEST_SUITE_P(Directions, WalkLayout,
                         ::testing::Values(StepCase{"North", "n", {0, 1, 0}}, StepCase{"NorthEast", "ne", {1, 1, 0}},
                                           StepCase{"East", "east", {1, 0, 0}}, StepCase{"SouthEast", "SE", {1, -1, 0}},
                                           StepCase{"South", "south", {0, -1, 0}},
                                           StepCase{"SouthWest", "south-west", {-1, -1, 0}},
                                           StepCase{"West", "W", {-1, 0, 0}}, StepCase{"NorthWest", "nw", {-1, 1, 0}},
                                           StepCase{"Up", "up", {0, 0, 1}}, StepCase{"Down", "d", {0, 0, -1}},
                                           StepCase{"In", "in", {-1, -1, 0}},
                                           StepCase{"OwnExit", "enter portal", {-1, -1, 0}},
                                           StepCase{"NotKnown", "", {-1, -1, 0}}),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST(MapLayout, ACellThatIsTakenNudgesTheNewRoomToTheNearestFreeCell)
{
    MapModel map;
    map.Arrive(MakeRoom("a"));
    map.Arrive(MakeRoom("b"), "n");
    map.Arrive(MakeRoom("c"), "e");
    map.Arrive(MakeRoom("d"), "s");
    map.Arrive(MakeRoom("e"), "w"); // (0, 0) is a's
    const auto [x, y, z] = CellOf(map, "e");
    EXPECT_EQ(z, 0);
    EXPECT_EQ(std::max(std::abs(x), std::abs(y)), 1);
    EXPECT_EQ(map.RoomAtCell(map.At(map.IndexOf("a")).Area, 0, 0, 0), map.IndexOf("a"));
    EXPECT_EQ(map.RoomAtCell(map.At(map.IndexOf("e")).Area, x, y, 0), map.IndexOf("e"));
}

TEST(MapLayout, WorldCoordinatesAreUsedAndClashesNudged)
{
    MapModel map;
    map.Arrive(RoomAt("a", 10, 20, 2));
    map.Arrive(RoomAt("b", 10, 20, 2)); // the same cell: nudged
    map.Arrive(MakeRoom("c"), "u");     // no coordinates: one level above b
    EXPECT_EQ(CellOf(map, "a"), Cell(10, 20, 2));
    const auto [bx, by, bz] = CellOf(map, "b");
    EXPECT_EQ(std::max(std::abs(bx - 10), std::abs(by - 20)), 1);
    EXPECT_EQ(bz, 2);
    EXPECT_EQ(CellOf(map, "c"), Cell(bx, by, 3));
    EXPECT_TRUE(map.Room("b").HasWorldCoordinates);
    EXPECT_EQ(map.Room("b").WorldX, 10);
}

TEST(MapLayout, WhenEveryNearbyCellIsTakenTheRoomGoesEastOfTheArea)
{
    MapModel map;
    for (int x = -MapModel::NudgeRadius; x <= MapModel::NudgeRadius; ++x) {
        for (int y = -MapModel::NudgeRadius; y <= MapModel::NudgeRadius; ++y)
            map.Arrive(RoomAt(QByteArray::number(x) + ',' + QByteArray::number(y), x, y));
    }
    map.Arrive(RoomAt("crowded", 0, 0));
    EXPECT_EQ(CellOf(map, "crowded"), Cell(MapModel::NudgeRadius + 2, 0, 0));
}

TEST(MapLayout, RoomsAtTheEdgeOfTheGridStayOnIt)
{
    MapModel map;
    constexpr int Edge = MapModel::MaxPlacedCoordinate;
    for (int i = 0; i < 100; ++i) {
        StoredRoom room;
        room.Id = QByteArray::number(i);
        room.X = Edge;
        room.Y = i < 50 ? Edge : -Edge;
        ASSERT_TRUE(map.Restore(room));
    }
    std::set<Cell> cells;
    int farthest = 0;
    for (int i = 0; i < 100; ++i) {
        const auto [x, y, z] = CellOf(map, QByteArray::number(i));
        farthest = std::max({farthest, std::abs(x), std::abs(y)});
        cells.insert({x, y, z});
    }
    EXPECT_LE(farthest, Edge);
    EXPECT_EQ(cells.size(), 100U);
}

TEST(MapLayout, ChangedCoordinatesMoveTheRoomAndFreeItsCell)
{
    MapModel map;
    map.Arrive(RoomAt("a", 1, 1));
    map.Arrive(RoomAt("a", 5, 5));
    const quint32 area = map.At(map.IndexOf("a")).Area;
    EXPECT_EQ(map.RoomAtCell(area, 1, 1, 0), MapModel::NoRoom);
    EXPECT_EQ(CellOf(map, "a"), Cell(5, 5, 0));
}

TEST(MapLayout, EachAreaHasItsOwnGrid)
{
    MapModel map;
    map.Arrive(RoomAt("a", 3, 3, 0, "Town"));
    map.Arrive(MakeRoom("b", "Forest"), "n"); // a new area: its origin, not next to a
    map.Arrive(RoomAt("c", 3, 3, 0, "Forest"));
    EXPECT_EQ(CellOf(map, "b"), Cell(0, 0, 0));
    EXPECT_EQ(CellOf(map, "c"), Cell(3, 3, 0)); // not taken in Forest, though taken in Town
    EXPECT_NE(map.At(map.IndexOf("a")).Area, map.At(map.IndexOf("b")).Area);
}

TEST(MapLayout, RoomsInRectAsksOnlyForTheCellsShown)
{
    MapModel map;
    for (int i = 0; i < 100; ++i)
        map.Arrive(RoomAt(QByteArray::number(i), i, 0));
    map.Arrive(RoomAt("up", 5, 0, 1));
    const quint32 area = map.At(map.IndexOf("0")).Area;
    std::vector<quint32> found;
    map.RoomsInRect(area, 0, QRect(QPoint(10, -1), QPoint(19, 1)), found);
    std::sort(found.begin(), found.end());
    ASSERT_EQ(found.size(), 10U);
    EXPECT_EQ(map.At(found.front()).Id, "10");
    found.clear();
    map.RoomsInRect(area, 1, QRect(QPoint(0, 0), QPoint(99, 0)), found);
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(map.At(found.front()).Id, "up");
}

TEST(MapArrive, SameIdWithChangedNameOrAreaUpdatesTheRoom)
{
    MapModel map;
    QSignalSpy changed(&map, &MapModel::Changed);
    EXPECT_EQ(map.Arrive(MakeRoom("a")).Status, MapModel::ArriveStatus::Added);
    EXPECT_EQ(map.Arrive(MakeRoom("a")).Status, MapModel::ArriveStatus::Unchanged);
    EXPECT_EQ(changed.count(), 1);
    RoomRecord renamed = MakeRoom("a");
    renamed.Name = "Renamed";
    EXPECT_EQ(map.Arrive(renamed).Status, MapModel::ArriveStatus::Updated);
    EXPECT_EQ(map.Room("a").Name, "Renamed");
    const quint32 town = map.At(map.IndexOf("a")).Area;
    renamed.Area = "Forest";
    EXPECT_EQ(map.Arrive(renamed).Status, MapModel::ArriveStatus::Updated);
    EXPECT_EQ(map.Room("a").Area, "Forest");
    EXPECT_EQ(map.RoomAtCell(town, 0, 0, 0), MapModel::NoRoom);
    EXPECT_EQ(map.RoomCount(), 1);
}

TEST(MapArrive, IdsAsNumbersAndAsStringsAreOneRoom)
{
    MapModel map;
    map.Arrive(RoomFromGmcp(QJsonDocument::fromJson(R"({"num":"42","name":"x","exits":{"n":43}})").object()));
    map.Arrive(RoomFromGmcp(QJsonDocument::fromJson(R"({"num":42,"name":"x","exits":{"n":"43"}})").object()));
    EXPECT_EQ(map.RoomCount(), 1);
    EXPECT_EQ(ExitsOf(map, "42"), "n>43");
}

TEST(MapArrive, TheExitTakenIsRecordedWhenTheDataLacksIt)
{
    MapModel map;
    const RoomRecord a = MakeRoom("a", "Town", {{"e", "x"}, {"s", {}}});
    map.Arrive(a);
    map.Arrive(MakeRoom("b"), "north"); // a's data had no north
    EXPECT_EQ(ExitsOf(map, "a"), "n>b,e>x,s>?");
    map.Arrive(a, "");
    map.Arrive(MakeRoom("c"), "s"); // a's south led nowhere known: now c
    map.Arrive(a, "");
    map.Arrive(MakeRoom("d"), "e"); // the world says east leads to x: the walk does not overrule it
    EXPECT_EQ(ExitsOf(map, "a"), "n>b,e>x,s>c");
}

TEST(MapArrive, AFailedMoveRecordsNoExitToTheSameRoom)
{
    MapModel map;
    map.Arrive(MakeRoom("a"));
    map.Arrive(MakeRoom("a"), "n");
    EXPECT_EQ(ExitsOf(map, "a"), "");
}

TEST(MapArrive, LearnedExitsOutliveNewDataThatLeavesThemOut)
{
    MapModel map;
    map.Arrive(MakeRoom("a", "Town", {{"n", "b"}, {"s", "z"}}));
    map.Arrive(MakeRoom("c"), "e");
    map.Arrive(MakeRoom("a", "Town", {{"n", "b"}}));
    EXPECT_EQ(ExitsOf(map, "a"), "n>b,e>c"); // the world dropped south, the walked east stays
}

TEST(MapArrive, ExitsToItselfAndToUnknownRooms)
{
    MapModel map;
    map.Arrive(MakeRoom("maze", "Town", {{"n", "maze"}, {"e", "never-seen"}}));
    EXPECT_EQ(ExitsOf(map, "maze"), "n>maze,e>never-seen");
    EXPECT_FALSE(map.HasRoom("never-seen"));
    EXPECT_EQ(map.HeardOfCount(), 1);
    const PathResult path = map.PathTo("never-seen");
    EXPECT_TRUE(path.Found);
    EXPECT_EQ(path.Directions, std::vector<QByteArray>{"e"});
    map.Arrive(MakeRoom("never-seen"), "e");
    EXPECT_EQ(map.HeardOfCount(), 0);
    EXPECT_EQ(map.RoomCount(), 2);
}

TEST(MapArrive, TenThousandExitsAreCappedAndCounted)
{
    RoomRecord room = MakeRoom("big");
    for (int i = 0; i < 10'000; ++i)
        room.Exits.push_back({"way" + QByteArray::number(i), QByteArray::number(i)});
    MapModel map;
    map.Arrive(room);
    EXPECT_EQ(map.Room("big").Exits.size(), static_cast<size_t>(MaxExitsPerRoom));
    EXPECT_EQ(map.WarningCounts().SkippedExits, 10'000U - MaxExitsPerRoom);
    EXPECT_EQ(map.HeardOfCount(), MaxExitsPerRoom);
}

TEST(MapArrive, BeyondTheRoomLimitNewRoomsAreRefusedAndCounted)
{
    MapModel map(3);
    map.Arrive(MakeRoom("a"));
    map.Arrive(MakeRoom("b"), "n");
    EXPECT_EQ(map.Arrive(MakeRoom("c"), "n").Status, MapModel::ArriveStatus::Added);
    EXPECT_EQ(map.Arrive(MakeRoom("d"), "n").Status, MapModel::ArriveStatus::Refused);
    EXPECT_EQ(map.Arrive(MakeRoom("e"), "n").Status, MapModel::ArriveStatus::Refused);
    EXPECT_EQ(map.WarningCounts().RefusedRooms, 2U);
    EXPECT_TRUE(map.CurrentRoom().isEmpty()); // where the player is, the map cannot say
    EXPECT_EQ(map.Arrive(MakeRoom("b")).Status, MapModel::ArriveStatus::Unchanged);
    EXPECT_EQ(map.CurrentRoom(), "b");
    EXPECT_EQ(map.RoomCount(), 3);
}

TEST(MapArrive, ExitsToNewRoomsBeyondTheLimitKeepNoTarget)
{
    MapModel map(2);
    map.Arrive(MakeRoom("a", "Town", {{"n", "1"}, {"s", "2"}, {"e", "3"}, {"w", "4"}}));
    EXPECT_EQ(map.HeardOfCount(), 2);
    EXPECT_EQ(map.WarningCounts().UnknownTargets, 2U);
    EXPECT_EQ(ExitsOf(map, "a"), "n>1,e>?,s>2,w>?");
}

TEST(MapArrive, InvalidRoomsChangeNothing)
{
    MapModel map;
    map.Arrive(MakeRoom("a"));
    EXPECT_EQ(map.Arrive(RoomRecord{}).Status, MapModel::ArriveStatus::Invalid);
    EXPECT_EQ(map.Arrive(MakeRoom(QByteArray(MaxRoomIdLength + 1, 'x'))).Status, MapModel::ArriveStatus::Invalid);
    EXPECT_EQ(map.CurrentRoom(), "a");
    EXPECT_EQ(map.WarningCounts().InvalidRooms, 2U);
}

TEST(MapArrive, ExitStubsFromTheText)
{
    MapModel map;
    map.Arrive(MakeRoom("a", "Town", {{"n", "b"}}));
    EXPECT_TRUE(map.AddExitStubs("a", ExitsFromText("[Exits: north east]")));
    EXPECT_EQ(ExitsOf(map, "a"), "n>b,e>?");
    EXPECT_FALSE(map.AddExitStubs("nowhere", {"n"}));
}

TEST(MapArrive, CommandsThatMoveThePlayer)
{
    MapModel map;
    map.Arrive(MakeRoom("a", "Town", {{"enter portal", "b"}}));
    EXPECT_EQ(map.DirectionOfCommand("North"), "n");
    EXPECT_EQ(map.DirectionOfCommand(" sw "), "sw");
    EXPECT_EQ(map.DirectionOfCommand("Enter Portal"), "enter portal");
    EXPECT_EQ(map.DirectionOfCommand("say hello"), "");
    EXPECT_EQ(map.DirectionOfCommand("look"), "");
}

TEST(MapArrive, ReachingTheWalkTargetIsReportedOnce)
{
    MapModel map;
    map.Arrive(MakeRoom("a"));
    map.SetWalkTarget("b");
    EXPECT_FALSE(map.Arrive(MakeRoom("c"), "n").ReachedWalkTarget);
    EXPECT_TRUE(map.Arrive(MakeRoom("b"), "n").ReachedWalkTarget);
    EXPECT_FALSE(map.Arrive(MakeRoom("b")).ReachedWalkTarget);
}

TEST(MapArrive, ChangesAreKeptForTheStoreOnlyWhenAsked)
{
    MapModel map;
    map.Arrive(MakeRoom("a"));
    EXPECT_TRUE(map.TakeChanges().IsEmpty());
    map.SetTrackChanges(true);
    map.Arrive(MakeRoom("b"), "n"); // b added, a's north recorded
    map.Arrive(MakeRoom("b"));
    MapModel::Changes changes = map.TakeChanges();
    std::vector<QByteArray> ids;
    for (quint32 node : changes.Rooms)
        ids.push_back(map.At(node).Id);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<QByteArray>{"a", "b"}));
    EXPECT_TRUE(changes.CurrentChanged);
    map.Arrive(MakeRoom("a"));
    changes = map.TakeChanges();
    EXPECT_TRUE(changes.Rooms.empty());
    EXPECT_TRUE(changes.CurrentChanged);
}

/// A 3 x 3 block: every room joined to its four neighbours both ways.
///   g h i
///   d e f
///   a b c
MapModel *Block()
{
    auto *map = new MapModel;
    const char *rows[3] = {"abc", "def", "ghi"};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            std::vector<RoomExit> exits;
            const auto id = [&](int cx, int cy) { return QByteArray(1, rows[cy][cx]); };
            if (y < 2)
                exits.push_back({"n", id(x, y + 1)});
            if (y > 0)
                exits.push_back({"s", id(x, y - 1)});
            if (x < 2)
                exits.push_back({"e", id(x + 1, y)});
            if (x > 0)
                exits.push_back({"w", id(x - 1, y)});
            RoomRecord room = RoomAt(id(x, y), x, y);
            room.Exits = exits;
            map->Arrive(room);
        }
    }
    map->SetCurrentRoom("a");
    return map;
}

TEST(MapPath, ShortestOverKnownExits)
{
    std::unique_ptr<MapModel> map(Block());
    const PathResult path = map->PathTo("i");
    ASSERT_TRUE(path.Found);
    EXPECT_EQ(path.Directions.size(), 4U);
    EXPECT_EQ(path.Rooms.back(), "i");
    EXPECT_TRUE(map->FindPath("e", "e").Found);
    EXPECT_TRUE(map->FindPath("e", "e").Directions.empty());
}

TEST(MapPath, AvoidedAndLockedRoomsAreNotPassedThrough)
{
    std::unique_ptr<MapModel> map(Block());
    map->SetFlags("b", RoomAvoided);
    map->SetFlags("e", RoomLocked);
    PathResult path = map->PathTo("c");
    ASSERT_TRUE(path.Found);
    EXPECT_EQ(path.Rooms, (std::vector<QByteArray>{"d", "g", "h", "i", "f", "c"}));
    EXPECT_EQ(RouteText(path.Directions), "2 north, 2 east, 2 south");
    EXPECT_TRUE(map->PathTo("b").Found);  // an avoided room can be the end of a walk
    EXPECT_FALSE(map->PathTo("e").Found); // a locked one cannot
    map->SetFlags("d", RoomAvoided);
    EXPECT_FALSE(map->PathTo("i").Found); // b and d closed off: a is cut off
}

TEST(MapPath, OneWayExitsAndUnknownRooms)
{
    MapModel map;
    map.Arrive(MakeRoom("top", "Town", {{"d", "bottom"}}));
    map.Arrive(MakeRoom("bottom"), "d"); // no way back up
    EXPECT_FALSE(map.PathTo("top").Found);
    EXPECT_TRUE(map.FindPath("top", "bottom").Found);
    EXPECT_FALSE(map.PathTo("nowhere").Found);
    EXPECT_FALSE(map.FindPath("nowhere", "top").Found);
    EXPECT_TRUE(map.HasExitTo(map.IndexOf("top"), map.IndexOf("bottom")));
    EXPECT_FALSE(map.HasExitTo(map.IndexOf("bottom"), map.IndexOf("top")));
}

struct RouteCase {
    const char *Name;
    std::vector<QByteArray> Directions;
    QByteArray Route;
    QByteArray Walk;
};

void PrintTo(const RouteCase &c, std::ostream *os)
{
    *os << c.Name;
}

class Routes : public ::testing::TestWithParam<RouteCase>
{
};

TEST_P(Routes, TextAndCommands)
{
    EXPECT_EQ(RouteText(GetParam().Directions), GetParam().Route);
    EXPECT_EQ(WalkCommands(GetParam().Directions, ";"), GetParam().Walk);
}

INSTANTIATE_TEST_SUITE_P(Table, Routes,
                         ::testing::Values(RouteCase{"Runs", {"n", "n", "n", "e", "u"}, "3 north, 1 east, up", "n;n;n;e;u"},
                                           RouteCase{"RepeatedUp", {"u", "u", "d"}, "2 up, down", "u;u;d"},
                                           RouteCase{"Diagonals", {"ne", "sw", "sw"}, "1 northeast, 2 southwest", "ne;sw;sw"},
                                           RouteCase{"OwnExits", {"enter portal", "in", "in"}, "enter portal, 2 in",
                                                     "enter portal;in;in"},
                                           RouteCase{"RunsSplitByOtherSteps", {"n", "e", "n"}, "1 north, 1 east, 1 north",
                                                     "n;e;n"},
                                           RouteCase{"Empty", {}, "", ""}),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST(MapPath, WalkCommandsUseTheGivenSeparator)
{
    EXPECT_EQ(WalkCommands({"n", "e"}, "|"), "n|e");
}

TEST(MapRead, SummaryAndSearch)
{
    MapModel map;
    RoomRecord temple = MakeRoom("1", "Midgaard", {{"n", "2"}, {"e", "3"}});
    temple.Name = "Temple Square";
    map.Arrive(temple);
    RoomRecord altar = MakeRoom("2", "Midgaard");
    altar.Name = "The Altar";
    map.Arrive(altar, "n");
    RoomRecord far = MakeRoom("9", "Forest");
    far.Name = "A small ALTAR";
    map.Arrive(far);
    map.Arrive(altar);
    EXPECT_EQ(map.Summary(QByteArray("1")), QStringLiteral("Temple Square, Midgaard, exits: north, east"));
    EXPECT_EQ(map.Summary(QByteArray("3")), QStringLiteral("Room 3, not visited"));
    EXPECT_EQ(map.FindRooms("altar"), (std::vector<QByteArray>{"2", "9"})); // the current area first
    EXPECT_EQ(map.FindRooms("altar", 1), std::vector<QByteArray>{"2"});
    EXPECT_TRUE(map.FindRooms("  ").empty());
}

} // namespace
