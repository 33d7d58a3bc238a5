// SPDX-License-Identifier: GPL-3.0-or-later
// The demo world's map: three areas of rooms, their exits, and the words that name directions.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <span>

namespace wren::demo
{

enum Direction { North, NorthEast, East, SouthEast, South, SouthWest, West, NorthWest, Up, Down, DirectionCount };

struct DirectionWords {
    const char *Short; ///< "n", as GMCP's Room.Info and MSDP's ROOM_EXITS name it
    const char *Long; ///< "north", as the exits line shows it
    Direction Opposite;
};

extern const std::array<DirectionWords, DirectionCount> Directions;

/// The direction a typed word names ("n", "north", "NE", ...), or -1.
int DirectionFromWord(QByteArrayView word);

struct Area {
    int Id;
    const char *Name;
    /// Rooms of this area have map coordinates (x east, y north); the third area has none.
    bool HasCoordinates;
};

extern const std::array<Area, 3> Areas;

/// One room. The texts are the exact bytes sent (whatever their encoding); description lines are separated by
/// '\n' and go out with CR LF.
struct Room {
    int Number;
    int AreaIndex;
    const char *Name;
    const char *Environment;
    int X;
    int Y;
    /// The SGR code the description is shown in: 32 for green, 39 for the default colour.
    int DescriptionColour;
    const char *Description;
    /// "n:1001 e:1002": each exit's direction and the room it leads to.
    const char *ExitList;
};

constexpr int StartRoom = 1000;

std::span<const Room> Rooms();
/// The room numbered @p number, null when there is none.
const Room *FindRoom(int number);
/// Where each direction leads from @p room, 0 where there is no exit.
std::array<int, DirectionCount> ExitsOf(const Room &room);

} // namespace wren::demo
