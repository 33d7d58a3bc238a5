// SPDX-License-Identifier: GPL-3.0-or-later
// Exit directions: the names worlds use for them, one short form for each, and where each leads on the map grid.
#include "mapper/directions.h"

#include <array>

namespace wren {

namespace {

struct DirectionNames {
    const char *Short;
    const char *Long;
    const char *Hyphenated; // "north-east"; same as Long where there is no hyphen
    GridStep Step;
    bool HasStep;
};

constexpr std::array<DirectionNames, StandardDirectionCount> Names = {{
    {"n", "north", "north", {0, 1, 0}, true},
    {"ne", "northeast", "north-east", {1, 1, 0}, true},
    {"e", "east", "east", {1, 0, 0}, true},
    {"se", "southeast", "south-east", {1, -1, 0}, true},
    {"s", "south", "south", {0, -1, 0}, true},
    {"sw", "southwest", "south-west", {-1, -1, 0}, true},
    {"w", "west", "west", {-1, 0, 0}, true},
    {"nw", "northwest", "north-west", {-1, 1, 0}, true},
    {"u", "up", "up", {0, 0, 1}, true},
    {"d", "down", "down", {0, 0, -1}, true},
    {"in", "in", "in", {}, false},
    {"out", "out", "out", {}, false},
}};

bool IsNameByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' || c == '-';
}

/// Already in the form NormalizeDirection gives: name bytes only, single blanks between words.
bool IsCanonical(const QByteArray &name)
{
    if (name.isEmpty() || name.size() > MaxExitNameLength || name.front() == ' ' || name.back() == ' ')
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!IsNameByte(name[i]) || (name[i] == ' ' && name[i - 1] == ' '))
            return false;
    }
    return true;
}

/// The short forms as shared byte arrays: copying one costs nothing.
const std::array<QByteArray, StandardDirectionCount> &ShortForms()
{
    static const std::array<QByteArray, StandardDirectionCount> forms = [] {
        std::array<QByteArray, StandardDirectionCount> made;
        for (size_t i = 0; i < made.size(); ++i)
            made[i] = QByteArray::fromRawData(Names[i].Short, static_cast<qsizetype>(qstrlen(Names[i].Short)));
        return made;
    }();
    return forms;
}

} // namespace

QByteArray NormalizeDirection(const QByteArray &name)
{
    // Most names arrive already short ("n", "ne"): no copy for them.
    for (const QByteArray &form : ShortForms()) {
        if (name == form)
            return form;
    }
    if (IsCanonical(name)) {
        for (const DirectionNames &names : Names) {
            if (name == names.Long || name == names.Hyphenated)
                return ShortForms()[static_cast<size_t>(&names - Names.data())];
        }
        return name; // a world's own name, already as kept: shared, not copied
    }
    const QByteArray lower = name.trimmed().toLower();
    if (lower.isEmpty() || lower.size() > MaxExitNameLength)
        return {};
    for (const DirectionNames &names : Names) {
        if (lower == names.Short || lower == names.Long || lower == names.Hyphenated)
            return ShortForms()[static_cast<size_t>(&names - Names.data())];
    }
    // A world's own exit is sent as a command when a walk takes it: nothing in it may cut it into two commands
    // or make it one of the client's own.
    for (char c : lower) {
        if (!IsNameByte(c))
            return {};
    }
    return lower.simplified();
}

std::optional<Direction> StandardDirection(const QByteArray &shortForm)
{
    for (int i = 0; i < StandardDirectionCount; ++i) {
        if (shortForm == ShortForms()[static_cast<size_t>(i)])
            return static_cast<Direction>(i);
    }
    return std::nullopt;
}

QByteArray ShortName(Direction direction)
{
    return ShortForms()[static_cast<size_t>(direction)];
}

QByteArray LongName(Direction direction)
{
    return QByteArray(Names[static_cast<size_t>(direction)].Long);
}

QByteArray LongName(const QByteArray &shortForm)
{
    const std::optional<Direction> direction = StandardDirection(shortForm);
    return direction ? LongName(*direction) : shortForm;
}

std::optional<GridStep> StepOf(Direction direction)
{
    const DirectionNames &names = Names[static_cast<size_t>(direction)];
    if (!names.HasStep)
        return std::nullopt;
    return names.Step;
}

Direction Reverse(Direction direction)
{
    switch (direction) {
    case Direction::North: return Direction::South;
    case Direction::NorthEast: return Direction::SouthWest;
    case Direction::East: return Direction::West;
    case Direction::SouthEast: return Direction::NorthWest;
    case Direction::South: return Direction::North;
    case Direction::SouthWest: return Direction::NorthEast;
    case Direction::West: return Direction::East;
    case Direction::NorthWest: return Direction::SouthEast;
    case Direction::Up: return Direction::Down;
    case Direction::Down: return Direction::Up;
    case Direction::In: return Direction::Out;
    case Direction::Out: return Direction::In;
    }
    return direction;
}

} // namespace wren
