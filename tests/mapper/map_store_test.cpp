// SPDX-License-Identifier: GPL-3.0-or-later
// Map files: written in batches and read back, damaged or newer files refused and left alone, JSON export and import.
#include "config/app_settings.h"
#include "config/program_folder.h"
#include "mapper/map_json.h"
#include "mapper/map_model.h"
#include "mapper/map_store.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace wren;

namespace {

QByteArray FileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

/// Runs @p statements on the file through a connection of the test's own.
QVariant RunSql(const QString &path, const QStringList &statements)
{
    const QString name = QStringLiteral("test-%1").arg(reinterpret_cast<quintptr>(&statements));
    QVariant last;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open());
        QSqlQuery query(db);
        for (const QString &statement : statements) {
            EXPECT_TRUE(query.exec(statement)) << statement.toStdString();
            if (query.next())
                last = query.value(0);
        }
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return last;
}

RoomRecord MakeRoom(const QByteArray &id, const QByteArray &name, std::vector<RoomExit> exits = {})
{
    RoomRecord room;
    room.Id = id;
    room.Name = name;
    room.Area = "Midgaard";
    room.Terrain = "city";
    room.Exits = std::move(exits);
    return room;
}

/// A small map with everything a file keeps: world coordinates, levels, flags, learned exits, a heard-of room.
void FillMap(MapModel &map)
{
    RoomRecord temple = MakeRoom("3001", "The Temple", {{"n", "3002"}, {"e", "9999"}});
    temple.HasCoordinates = true;
    temple.X = 4;
    temple.Y = -2;
    map.Arrive(temple);
    map.Arrive(MakeRoom("3002", "The Altar \xc3\xa9", {{"s", "3001"}}), "n");
    map.Arrive(MakeRoom("3100", "Tower top"), "up");
    map.Arrive(MakeRoom("3002", "The Altar \xc3\xa9", {{"s", "3001"}}), "d");
    map.SetFlags("3100", RoomAvoided | RoomLocked);
}

/// Everything a file keeps of a room, as one line.
std::string Describe(const StoredRoom &room)
{
    QByteArrayList exits;
    for (const RoomExit &exit : room.Exits)
        exits.append(exit.Direction + '>' + exit.Target + (exit.Learned ? "(learned)" : ""));
    const auto number = [](int n) { return QByteArray::number(n); };
    return (room.Id + '|' + room.Name + '|' + room.Area + '|' + room.Terrain + '|' + number(room.X) + ',' + number(room.Y)
            + ',' + number(room.Z) + '|' + (room.HasWorldCoordinates ? "world " : "") + number(room.WorldX) + ','
            + number(room.WorldY) + ',' + number(room.WorldZ) + "|flags " + number(room.Flags) + '|' + exits.join(','))
        .toStdString();
}

/// Every seen room described, and the player's room, in id order.
std::vector<std::string> Contents(const MapModel &map)
{
    std::vector<std::string> rooms{"current " + map.CurrentRoom().toStdString()};
    for (quint32 i = 0; i < map.NodeCount(); ++i) {
        if (map.At(i).Seen)
            rooms.push_back(Describe(map.Snapshot(i)));
    }
    std::sort(rooms.begin() + 1, rooms.end());
    return rooms;
}

void ExpectSameMap(const MapModel &a, const MapModel &b)
{
    EXPECT_EQ(Contents(a), Contents(b));
}

class MapStoreTest : public ::testing::Test
{
protected:
    QString PathOf(const char *name) const { return m_folder.filePath(QString::fromLatin1(name)); }

    /// A map file holding FillMap's rooms.
    QString MakeMapFile(const char *name)
    {
        QString path = PathOf(name);
        MapModel map;
        MapStore store(map);
        EXPECT_EQ(store.Open(path), MapStore::OpenResult::Created);
        FillMap(map);
        store.Close();
        return path;
    }

    QTemporaryDir m_folder;
};

TEST_F(MapStoreTest, FileNamesComeFromHostAndPort)
{
    EXPECT_EQ(MapStore::FileNameFor("MUD.Example.com", "4000"), QStringLiteral("mud.example.com.4000.map"));
    EXPECT_EQ(MapStore::FileNameFor("::1", " 23 "), QStringLiteral("__1.23.map"));
    EXPECT_EQ(MapStore::FileNameFor("../../etc/x", "x"), QStringLiteral(".._.._etc_x.0.map"));
    EXPECT_EQ(MapStore::FileNameFor("", ""), QStringLiteral("unnamed.0.map"));
    SetProgramFolder(m_folder.path());
    EXPECT_EQ(MapStore::MapFilePath("host", "1"), m_folder.path() + QStringLiteral("/maps/host.1.map"));
}

TEST_F(MapStoreTest, RoomsWrittenAsTheyArriveComeBack)
{
    const QString path = PathOf("maps/world.4000.map"); // the folder is made
    MapModel map;
    {
        MapStore store(map);
        QString message;
        EXPECT_EQ(store.Open(path, &message), MapStore::OpenResult::Created);
        EXPECT_TRUE(store.IsStored());
        FillMap(map);
    } // closing writes the rest
    MapModel loaded;
    MapStore store(loaded);
    EXPECT_EQ(store.Open(path), MapStore::OpenResult::Opened);
    ExpectSameMap(map, loaded);
    EXPECT_EQ(loaded.HeardOfCount(), 1); // 9999, known only as an exit
    const PathResult path3100 = loaded.FindPath("3001", "3002");
    EXPECT_TRUE(path3100.Found);
}

int RoomRows(const QString &path)
{
    return RunSql(path, {QStringLiteral("SELECT count(*) FROM rooms")}).toInt();
}

TEST_F(MapStoreTest, ChangesReachTheFileOnTheTimerWhileOpen)
{
    const QString path = PathOf("live.map");
    MapModel map;
    MapStore store(map);
    ASSERT_EQ(store.Open(path), MapStore::OpenResult::Created);
    map.Arrive(MakeRoom("1", "One"));
    EXPECT_TRUE(test::WaitFor([&] { return map.PendingChangeCount() == 0 && store.WaitForWrites() && RoomRows(path) == 1; }));
}

TEST_F(MapStoreTest, ABatchGoesAtOnceWhenManyRoomsWait)
{
    const QString path = PathOf("live.map");
    MapModel map;
    MapStore store(map);
    ASSERT_EQ(store.Open(path), MapStore::OpenResult::Created);
    for (int i = 0; i < MapStore::BatchRooms; ++i)
        map.Arrive(MakeRoom("r" + QByteArray::number(i), "Many"), "e");
    EXPECT_LT(map.PendingChangeCount(), MapStore::BatchRooms); // handed over without the timer
    store.Flush();
    ASSERT_TRUE(store.WaitForWrites());
    EXPECT_EQ(RoomRows(path), MapStore::BatchRooms);
    EXPECT_EQ(RunSql(path, {QStringLiteral("SELECT value FROM meta WHERE key = 'current'")}).toByteArray(),
              "r" + QByteArray::number(MapStore::BatchRooms - 1));
}

TEST_F(MapStoreTest, OnlyTheRoomsThatChangedAreWrittenAgain)
{
    const QString path = PathOf("live.map");
    MapModel map;
    MapStore store(map);
    ASSERT_EQ(store.Open(path), MapStore::OpenResult::Created);
    FillMap(map);
    store.Flush();
    ASSERT_TRUE(store.WaitForWrites());
    // A row changed behind the store's back stays as it is while other rooms change.
    RunSql(path, {QStringLiteral("UPDATE rooms SET name = CAST('edited' AS BLOB) WHERE id = CAST('3001' AS BLOB)")});
    map.Arrive(MakeRoom("3100", "Renamed"));
    store.Flush();
    ASSERT_TRUE(store.WaitForWrites());
    const auto name = [&](const char *id) {
        return RunSql(path, {QStringLiteral("SELECT name FROM rooms WHERE id = CAST('%1' AS BLOB)").arg(QLatin1String(id))})
            .toByteArray();
    };
    EXPECT_EQ(name("3001"), "edited");
    EXPECT_EQ(name("3100"), "Renamed");
}

TEST_F(MapStoreTest, AnEmptyFileBecomesAMapAndTheModelsRoomsAreKept)
{
    const QString path = PathOf("empty.map");
    WriteBytes(path, {});
    MapModel map;
    map.Arrive(MakeRoom("1", "Before the file"));
    {
        MapStore store(map);
        EXPECT_EQ(store.Open(path), MapStore::OpenResult::Created);
    }
    MapModel loaded;
    MapStore store(loaded);
    EXPECT_EQ(store.Open(path), MapStore::OpenResult::Opened);
    EXPECT_EQ(loaded.Room("1").Name, "Before the file");
}

struct DamageCase {
    const char *Name;
    std::function<void(const QString &path)> Damage;
    const char *MessagePart;
};

void PrintTo(const DamageCase &c, std::ostream *os)
{
    *os << c.Name;
}

class RefusedMapFile : public MapStoreTest, public ::testing::WithParamInterface<DamageCase>
{
};

TEST_P(RefusedMapFile, IsLeftUntouchedAndTheMapStaysInMemory)
{
    const QString path = MakeMapFile("world.map");
    GetParam().Damage(path);
    const QByteArray before = FileBytes(path);
    MapModel map;
    map.Arrive(MakeRoom("1", "Kept in memory"));
    MapStore store(map);
    QString message;
    EXPECT_EQ(store.Open(path, &message), MapStore::OpenResult::Refused);
    EXPECT_TRUE(message.contains(QString::fromLatin1(GetParam().MessagePart))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("memory only"))) << message.toStdString();
    EXPECT_FALSE(store.IsStored());
    EXPECT_EQ(map.Room("1").Name, "Kept in memory");
    map.Arrive(MakeRoom("2", "Also in memory"), "n");
    store.Flush();
    store.Close();
    EXPECT_EQ(FileBytes(path), before);
    EXPECT_FALSE(QFile::exists(path + QStringLiteral("-journal")));
    EXPECT_EQ(map.RoomCount(), 2);
}

void Overwrite(const QString &path, qint64 at, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.seek(at);
    file.write(bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Damage, RefusedMapFile,
    ::testing::Values(
        DamageCase{"NotSqlite", [](const QString &path) { WriteBytes(path, "{\"format\":\"wren-map\"}"); }, "not an SQLite"},
        DamageCase{"HeaderThenGarbage",
                   [](const QString &path) { WriteBytes(path, QByteArray("SQLite format 3\0", 16) + QByteArray(4096, 'x')); },
                   "damaged"},
        DamageCase{"Truncated",
                   [](const QString &path) {
                       const QByteArray bytes = FileBytes(path);
                       WriteBytes(path, bytes.left(bytes.size() / 2));
                   },
                   "damaged"},
        DamageCase{"PageOverwritten",
                   [](const QString &path) {
                       const QByteArray bytes = FileBytes(path);
                       Overwrite(path, bytes.size() - 4096 + 10, QByteArray(200, '\xff'));
                   },
                   "damaged"},
        DamageCase{"OtherTables",
                   [](const QString &path) {
                       QFile::remove(path);
                       RunSql(path, {QStringLiteral("CREATE TABLE notes (text TEXT)")});
                   },
                   "not a Wren Client map"},
        DamageCase{"RoomsTableLacksColumns",
                   [](const QString &path) {
                       RunSql(path, {QStringLiteral("DROP TABLE rooms"), QStringLiteral("CREATE TABLE rooms (id BLOB)")});
                   },
                   "not a Wren Client map"},
        DamageCase{"NewerFormat", [](const QString &path) { RunSql(path, {QStringLiteral("PRAGMA user_version = 2")}); },
                   "newer version"}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST_F(MapStoreTest, UnreadableRowsAreLeftOutAndStayInTheFile)
{
    const QString path = MakeMapFile("rows.map");
    RunSql(path, {QStringLiteral("INSERT INTO rooms VALUES (CAST('' AS BLOB), 'x', 'a', 't', 0, 0, 0, 0, 0, 0, 0, 0, "
                                 "CAST('n\t1\n\x01garbage' AS BLOB))")});
    MapModel map;
    MapStore store(map);
    QString message;
    EXPECT_EQ(store.Open(path, &message), MapStore::OpenResult::Opened);
    EXPECT_TRUE(message.contains(QStringLiteral("could not be read"))) << message.toStdString();
    EXPECT_EQ(map.RoomCount(), 3);
    store.Close();
    EXPECT_EQ(RunSql(path, {QStringLiteral("SELECT count(*) FROM rooms")}).toInt(), 4);
}

TEST_F(MapStoreTest, AFileThatCannotBeCreatedLeavesTheMapInMemory)
{
    WriteBytes(PathOf("blocker"), "a file, not a folder");
    MapModel map;
    MapStore store(map);
    QString message;
    EXPECT_EQ(store.Open(PathOf("blocker/world.map"), &message), MapStore::OpenResult::Failed);
    EXPECT_TRUE(message.contains(QStringLiteral("memory only"))) << message.toStdString();
    EXPECT_FALSE(store.IsStored());
    map.Arrive(MakeRoom("1", "Still mapped"));
    EXPECT_EQ(map.RoomCount(), 1);
}

TEST_F(MapStoreTest, AModelThatGoesFirstEndsTheWriting)
{
    const QString path = PathOf("gone.map");
    auto *map = new MapModel;
    MapStore store(*map);
    ASSERT_EQ(store.Open(path), MapStore::OpenResult::Created);
    FillMap(*map);
    store.Flush();
    delete map;
    EXPECT_FALSE(store.IsStored());
    EXPECT_EQ(RoomRows(path), 3);
}

TEST_F(MapStoreTest, TheMapCanBeSwitchedOffPerWorld)
{
    AppSettings settings(PathOf("wrenclient.ini"));
    EXPECT_TRUE(MapEnabled(settings, "host", "23"));
    SetMapEnabled(settings, "host", "23", false);
    EXPECT_FALSE(MapEnabled(settings, "host", "23"));
    EXPECT_TRUE(MapEnabled(settings, "other", "23"));
}

TEST(MapJson, RoundTrip)
{
    MapModel map;
    FillMap(map);
    const QByteArray json = ExportMapJson(map);
    MapModel copy;
    QString message;
    ASSERT_TRUE(ImportMapJson(json, copy, &message)) << message.toStdString();
    ExpectSameMap(map, copy);
    EXPECT_EQ(ExportMapJson(copy), json);
}

TEST(MapJson, TheSameMapGivesTheSameFileHoweverItsRoomsCame)
{
    MapModel walked;
    walked.Arrive(MakeRoom("a", "A", {{"n", "b"}}));
    walked.Arrive(MakeRoom("b", "B", {{"s", "a"}}), "n");
    MapModel imported;
    ASSERT_TRUE(ImportMapJson(ExportMapJson(walked), imported));
    MapModel reversed; // b's room first, a known only through b's exit until it comes
    ASSERT_TRUE(ImportMapJson(R"({"format":"wren-map","version":1,"current":"b","rooms":[
        {"id":"b","name":"B","area":"Midgaard","terrain":"city","x":0,"y":1,"exits":{"S":"a"}},
        {"id":"a","name":"A","area":"Midgaard","terrain":"city","x":0,"y":0,"exits":{"north":"b"}}]})",
                              reversed));
    EXPECT_EQ(ExportMapJson(reversed), ExportMapJson(walked));
    EXPECT_EQ(ExportMapJson(imported), ExportMapJson(walked));
}

TEST_F(MapStoreTest, ImportReplacesTheMapAndRewritesTheFile)
{
    MapModel source;
    FillMap(source);
    const QString path = PathOf("import.map");
    MapModel map;
    MapStore store(map);
    ASSERT_EQ(store.Open(path), MapStore::OpenResult::Created);
    map.Arrive(MakeRoom("old", "Replaced by the import"));
    store.Flush();
    QString message;
    ASSERT_TRUE(store.ImportJson(ExportMapJson(source), &message)) << message.toStdString();
    store.Close();
    MapModel loaded;
    MapStore reopened(loaded);
    ASSERT_EQ(reopened.Open(path), MapStore::OpenResult::Opened);
    ExpectSameMap(source, loaded);
    EXPECT_FALSE(loaded.HasRoom("old"));
}

struct BadJsonCase {
    const char *Name;
    QByteArray Json;
    const char *MessagePart;
};

void PrintTo(const BadJsonCase &c, std::ostream *os)
{
    *os << c.Name;
}

class BadMapJson : public ::testing::TestWithParam<BadJsonCase>
{
};

TEST_P(BadMapJson, IsRefusedAndTheMapKept)
{
    MapModel map;
    FillMap(map);
    const QByteArray before = ExportMapJson(map);
    QString message;
    EXPECT_FALSE(ImportMapJson(GetParam().Json, map, &message));
    EXPECT_TRUE(message.contains(QString::fromLatin1(GetParam().MessagePart))) << message.toStdString();
    EXPECT_EQ(ExportMapJson(map), before);
}

#define MAP_HEAD R"({"format":"wren-map","version":1,"rooms":)"

INSTANTIATE_TEST_SUITE_P(
    Refused, BadMapJson,
    ::testing::Values(BadJsonCase{"NotJson", "{\"format\":", "not JSON"}, BadJsonCase{"Empty", "", "not JSON"},
                      BadJsonCase{"Array", "[1,2]", "not a Wren Client map"},
                      BadJsonCase{"OtherFormat", R"({"format":"mudlet","version":1,"rooms":[]})", "not a Wren Client map"},
                      BadJsonCase{"NoVersion", R"({"format":"wren-map","rooms":[]})", "no version"},
                      BadJsonCase{"Newer", R"({"format":"wren-map","version":2,"rooms":[]})", "newer version"},
                      BadJsonCase{"RoomsNotAList", MAP_HEAD R"({}})", "no list of rooms"},
                      BadJsonCase{"RoomNotAnObject", MAP_HEAD R"([{"id":"1"},7]})", "Room 2"},
                      BadJsonCase{"RoomWithoutId", MAP_HEAD R"([{"name":"x"}]})", "no usable \"id\""},
                      BadJsonCase{"FractionalX", MAP_HEAD R"([{"id":"1","x":1.5}]})", "\"x\" is not a whole number"},
                      BadJsonCase{"HugeY", MAP_HEAD R"([{"id":"1","y":1e300}]})", "\"y\" is not a whole number"},
                      BadJsonCase{"NameNotText", MAP_HEAD R"([{"id":"1","name":[1]}]})", "\"name\" is not text"},
                      BadJsonCase{"ExitsAList", MAP_HEAD R"([{"id":"1","exits":["n"]}]})", "\"exits\" is not an object"},
                      BadJsonCase{"ExitToAnObject", MAP_HEAD R"([{"id":"1","exits":{"n":{}}}]})", "exit \"n\""},
                      BadJsonCase{"UnknownFlag", MAP_HEAD R"([{"id":"1","flags":["cursed"]}]})", "\"flags\""},
                      BadJsonCase{"RepeatedId", MAP_HEAD R"([{"id":"1"},{"id":1}]})", "appears twice"},
                      BadJsonCase{"WorldNotAnObject", MAP_HEAD R"([{"id":"1","world":5}]})", "\"world\""}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(MapJson, HandWrittenMapWithoutPlacesIsLaidOut)
{
    MapModel map;
    QString message;
    ASSERT_TRUE(ImportMapJson(MAP_HEAD R"([{"id":1,"name":"A","exits":{"North":2}},{"id":"2","name":"B"}],"current":"2"})",
                              map, &message))
        << message.toStdString();
    EXPECT_EQ(map.RoomCount(), 2);
    EXPECT_EQ(map.CurrentRoom(), "2");
    EXPECT_EQ(map.Room("1").Exits, (std::vector<RoomExit>{{"n", "2"}}));
    const StoredRoom a = map.Room("1");
    const StoredRoom b = map.Room("2");
    EXPECT_NE(std::tie(a.X, a.Y), std::tie(b.X, b.Y));
}

} // namespace
