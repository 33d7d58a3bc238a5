// SPDX-License-Identifier: GPL-3.0-or-later
// Exit directions: the names worlds use for them, one short form for each, and where each leads on the map grid.
#pragma once

#include <QByteArray>

#include <optional>

namespace wren {

/// The directions every map knows, in the order rooms list their exits.
enum class Direction : quint8 {
    North,
    NorthEast,
    East,
    SouthEast,
    South,
    SouthWest,
    West,
    NorthWest,
    Up,
    Down,
    In,
    Out
};
inline constexpr int StandardDirectionCount = 12;

/// The longest name an exit of the world's own (a "portal", "enter gate") may have.
inline constexpr qsizetype MaxExitNameLength = 32;

/// The short form of a direction name, as maps store it and as a walk sends it: "n", "ne", "e", "se", "s",
/// "sw", "w", "nw", "u", "d", "in", "out".
///
/// Accepted: the long names ("north", "northeast", "north-east", "up"...), the short ones ("n", "ne", "u") and
/// either in any case ("N", "NE", "Down"). Any other name is an exit of the world's own: it is kept in lower case
/// when it is made of letters, digits, blanks and hyphens only (at most MaxExitNameLength bytes), because a walk
/// sends it as a command; otherwise (a separator, a slash, control bytes, too long) the result is empty and the
/// exit is not used.
QByteArray NormalizeDirection(const QByteArray &name);

/// The standard direction of a short form from NormalizeDirection, if it is one.
std::optional<Direction> StandardDirection(const QByteArray &shortForm);

QByteArray ShortName(Direction direction);
/// "north", "northeast", ..., "up", "down", "in", "out".
QByteArray LongName(Direction direction);
/// The long name of a standard direction; an exit of the world's own as it is.
QByteArray LongName(const QByteArray &shortForm);

/// One step on the map grid (y grows to the north, z upwards); in and out have none.
struct GridStep {
    int Dx = 0, Dy = 0, Dz = 0;
};
std::optional<GridStep> StepOf(Direction direction);

/// The direction back (north for south, up for down, out for in).
Direction Reverse(Direction direction);

} // namespace wren
