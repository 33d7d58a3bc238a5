// SPDX-License-Identifier: GPL-3.0-or-later
// The attributes that text appended to the view is written with.
#pragma once

#include "base/colour.h"

#include <QByteArray>

#include <cstdint>

namespace wren {

/// Inverse swaps the colours text is shown in (its attributes keep them as set).
enum StyleBit : std::uint8_t { Bold = 1, Italic = 2, Underline = 4, StrikeOut = 8, Inverse = 16 };

enum class Alignment : std::uint8_t { Left, Center, Right };

struct TextAttributes {
    QByteArray FontName;
    std::int32_t FontSize = 9;
    Colour Fore = 0;
    Colour Back = 0;
    std::uint8_t Style = 0;

    friend bool operator==(const TextAttributes &a, const TextAttributes &b)
    {
        // Font names are usually the same shared bytes: compare the pointers before the characters.
        return a.FontSize == b.FontSize && a.Fore == b.Fore && a.Back == b.Back && a.Style == b.Style
               && (a.FontName.constData() == b.FontName.constData() || a.FontName == b.FontName);
    }
};

} // namespace wren
