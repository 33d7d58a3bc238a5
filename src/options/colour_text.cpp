// SPDX-License-Identifier: GPL-3.0-or-later
// Colours as the dialogs write them: "#rrggbb".
#include "options/colour_text.h"

#include <cstdio>

namespace wren {

QByteArray ColorToHTML(Colour colour)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%.2x%.2x%.2x", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    return text;
}

Colour HexToColor(const QByteArray &text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    if (!ok || value > 0xFFFFFF)
        return Rgb(0, 0, 0);
    return Rgb(static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
               static_cast<int>(value & 0xFF));
}

} // namespace wren
