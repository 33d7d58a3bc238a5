// SPDX-License-Identifier: GPL-3.0-or-later
// One room as a world describes it beside its text (GMCP Room.Info, MSDP ROOM_*), in one normalized form.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QVariantMap>

#include <vector>

namespace wren {

/// Limits on what one room may bring; anything beyond is cut or skipped, and counted.
inline constexpr qsizetype MaxRoomIdLength = 128;
inline constexpr qsizetype MaxRoomNameLength = 200;
inline constexpr qsizetype MaxAreaNameLength = 100;
inline constexpr int MaxExitsPerRoom = 64;
/// Coordinates a world gives are used within these bounds and ignored beyond them.
inline constexpr int MaxGridCoordinate = 1'000'000;
inline constexpr int MaxGridLevel = 10'000;

/// One exit: a direction in its short form (see NormalizeDirection) and the room it leads to, or an empty
/// Target when the world does not say (or says -1).
struct RoomExit {
    QByteArray Direction;
    QByteArray Target;
    /// Recorded by the map from a walk or the room's text rather than sent by the world (kept in map files).
    bool Learned = false;
    friend bool operator==(const RoomExit &, const RoomExit &) = default;
};

/// A room in the form the map takes it. Text is UTF-8 bytes with control characters made blanks.
struct RoomRecord {
    QByteArray Id; ///< empty: the payload named no usable room
    QByteArray Name;
    QByteArray Area;
    QByteArray Terrain;
    std::vector<RoomExit> Exits; ///< at most MaxExitsPerRoom, one per direction
    bool HasCoordinates = false;
    int X = 0, Y = 0, Z = 0;
    int SkippedExits = 0; ///< exits beyond the limit, with unusable names, or repeating a direction

    bool IsValid() const { return !Id.isEmpty(); }
};

/// A GMCP Room.Info payload (already parsed; the package name is the caller's business).
///
/// Identity: a room is known by one id, and its exits must lead to ids of the same kind, or the map would not
/// join up. When the payload has a readable "id" together with "idexits" (directions to readable ids), those
/// are used: they stay the same when a world recomputes its hashed room numbers. Otherwise the number ("num",
/// else "vnum") with "exits" is used; a payload with only "id" uses it with "exits". Numbers and strings are
/// the same id ("123" and 123); a negative number or an empty string names no room.
///
/// Also read: the name ("name"), the area ("area", else "zone"), the terrain ("terrain", else "environment"),
/// and the coordinates ("coord", else "coords": an object with "x", "y" and optionally "z", or an array
/// [x, y, z]); x and y both -1 mean the world does not know where the room is.
///
/// Exits are an object of direction to room id (number, string, or an object with "id", "num" or "vnum"), or
/// an array of direction names whose rooms are not told.
RoomRecord RoomFromGmcp(const QJsonObject &payload);

/// MSDP room variables: ROOM_VNUM, ROOM_NAME, ROOM_AREA, ROOM_TERRAIN, ROOM_EXITS (a table of direction to
/// vnum) and ROOM_COORDS (a table with X, Y, Z); or one ROOM table holding VNUM, NAME, AREA, TERRAIN, EXITS and
/// COORDS. Values may be strings, byte arrays or numbers.
RoomRecord RoomFromMsdp(const QVariantMap &variables);
RoomRecord RoomFromMsdp(const QJsonObject &variables);

/// The directions named by an exits line of a room's text: "[Exits: north east]", "Obvious exits: n, e and
/// (w)", "Exits: north, south, up." Closed doors in brackets count; words that are not directions are left out.
/// Empty when the line holds no "exits:".
std::vector<QByteArray> ExitsFromText(const QByteArray &line);

/// Adds an exit with no known target for each of @p directions that @p room does not have yet (within the
/// exit limit), so exits the text shows and the data leaves out still appear on the map.
void AddExitStubs(RoomRecord &room, const std::vector<QByteArray> &directions);

/// The text of a JSON value that names a room: integers as decimals, strings trimmed; empty for anything
/// else, for negative numbers and for ids longer than MaxRoomIdLength.
QByteArray RoomIdText(const QJsonValue &value);
/// The same for an id as text.
QByteArray RoomIdText(const QByteArray &text);

/// @p text with control characters made blanks, trimmed and cut to @p maxLength bytes (never inside a UTF-8
/// character).
QByteArray CleanText(const QByteArray &text, qsizetype maxLength);

} // namespace wren
