// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary Room.Info payloads (and the same bytes as an exits line) through the room reader into a map.
#include "mapper/map_model.h"
#include "mapper/room_info.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <cstdlib>

namespace {

QCoreApplication *App = nullptr;
wren::MapModel *Map = nullptr;

void Check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

const char *const Directions[] = {"", "n", "south", "NE", "u", "down", "in", "enter portal", "n;quit", "W"};

void CheckRoom(const wren::RoomRecord &room)
{
    Check(room.Exits.size() <= static_cast<size_t>(wren::MaxExitsPerRoom), "exit limit in the record");
    Check(room.Id.size() <= wren::MaxRoomIdLength, "id length");
    Check(room.Name.size() <= wren::MaxRoomNameLength, "name length");
    for (const wren::RoomExit &exit : room.Exits)
        Check(!exit.Direction.isEmpty() && !exit.Direction.contains(';'), "exit names are usable as commands");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    App = new QCoreApplication(*argc, *argv);
    Map = new wren::MapModel(2000); // small, so the limits are reached too
    return 0;
}

// The first byte picks the direction the player took; the rest is the payload.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));
    const char *direction = Directions[data[0] % std::size(Directions)];
    wren::ExitsFromText(bytes);
    const QJsonObject object = QJsonDocument::fromJson(bytes).object();
    wren::RoomRecord room = (data[0] & 0x80) ? wren::RoomFromMsdp(object.toVariantMap()) : wren::RoomFromGmcp(object);
    CheckRoom(room);
    wren::AddExitStubs(room, wren::ExitsFromText(bytes));
    CheckRoom(room);
    const wren::MapModel::ArriveResult result = Map->Arrive(room, direction);
    if (result.Status == wren::MapModel::ArriveStatus::Added || result.Status == wren::MapModel::ArriveStatus::Updated
        || result.Status == wren::MapModel::ArriveStatus::Unchanged) {
        Check(Map->CurrentRoom() == room.Id, "the arrived room is the current one");
        const wren::StoredRoom stored = Map->Room(room.Id);
        Check(stored.Exits.size() <= static_cast<size_t>(wren::MaxExitsPerRoom), "exit limit in the map");
        for (const wren::RoomExit &exit : stored.Exits) {
            const wren::PathResult path = Map->PathTo(exit.Target);
            Check(!path.Found || path.Directions.size() == path.Rooms.size(), "a path names a room per step");
            wren::WalkCommands(path.Directions, ";");
            wren::RouteText(path.Directions);
        }
        Map->Summary(room.Id);
    }
    Check(Map->RoomCount() <= Map->MaxRooms() && Map->HeardOfCount() <= Map->MaxRooms(), "room limits");
    if (Map->RoomCount() >= Map->MaxRooms())
        Map->Clear();
    return 0;
}
