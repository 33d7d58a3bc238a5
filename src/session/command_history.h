// SPDX-License-Identifier: GPL-3.0-or-later
// A session's ring of the last twenty commands typed, and the walk Up and Down take through it.
#pragma once

#include <QByteArray>

#include <array>
#include <optional>

namespace wren {

/// Slots 0 to 19; Pos is the newest entry's slot, Browse the slot Up and Down start from. Both start at 1,
/// so slot 0 is written only once the ring has gone round.
struct CommandHistory {
    static constexpr int Size = 20;

    std::array<QByteArray, Size> Entries;
    int Pos = 1;
    int Browse = 1;

    /// Stores a sent command (not empty) as the newest entry, unless the newest already equals it; the
    /// walk starts again from the newest.
    void Record(const QByteArray &text)
    {
        if (Entries[static_cast<size_t>(Pos)] != text) {
            Pos = Pos == Size - 1 ? 0 : Pos + 1;
            Entries[static_cast<size_t>(Pos)] = text;
        }
        Browse = Pos;
    }

    /// Up: from Browse back to the first entry that is neither empty nor the box's text, at most 20 steps;
    /// the box then shows the entry where the walk stopped (empty when nothing else was found). With
    /// wrapping the walk goes from slot 1 to 19; without, it stops at slot 1. Nothing when Browse is below
    /// 1: the key is not taken.
    std::optional<QByteArray> Up(const QByteArray &box, bool wrap)
    {
        if (Browse < 1)
            return std::nullopt;
        for (int steps = 0; steps < Size && (At(Browse).isEmpty() || At(Browse) == box); ++steps) {
            if (Browse - 1 < 1 && !wrap)
                break;
            Browse = Browse - 1 < 1 ? Size - 1 : Browse - 1;
        }
        return At(Browse);
    }

    /// Down: forward from Browse to the next entry that is neither empty nor the box's text, at most 20
    /// steps; the box keeps its text when none is found. Without wrapping the walk stops at slot 19.
    /// Nothing when Browse is below 1.
    std::optional<QByteArray> Down(const QByteArray &box, bool wrap)
    {
        if (Browse < 1)
            return std::nullopt;
        for (int steps = 0; steps < Size; ++steps) {
            if (Browse + 1 > Size - 1 && !wrap)
                break;
            Browse = Browse + 1 > Size - 1 ? 1 : Browse + 1;
            if (!At(Browse).isEmpty() && At(Browse) != box)
                return At(Browse);
        }
        return box;
    }

private:
    const QByteArray &At(int slot) const { return Entries[static_cast<size_t>(slot)]; }
};

} // namespace wren
