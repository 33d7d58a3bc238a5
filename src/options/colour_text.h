// SPDX-License-Identifier: GPL-3.0-or-later
// Colours as the dialogs write them: "#rrggbb".
#pragma once

#include "options/session_options.h"

#include <QByteArray>
#include <QColor>

namespace wren {

/// "#" and red, green and blue as two lower-case hexadecimal digits each.
QByteArray ColorToHTML(Colour colour);
/// Six hexadecimal digits rrggbb (no "#") as a colour; text that is not hexadecimal gives black.
Colour HexToColor(const QByteArray &text);

inline QColor ToQtColour(Colour colour)
{
    return colour < 0 ? QColor(0, 0, 0) : QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

inline Colour FromQtColour(const QColor &colour)
{
    return Rgb(colour.red(), colour.green(), colour.blue());
}

} // namespace wren
