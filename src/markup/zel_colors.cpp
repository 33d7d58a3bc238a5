// SPDX-License-Identifier: GPL-3.0-or-later
// Colour names and "#rrggbb" values of the markup language.
#include "markup/zel_colors.h"

namespace wren {

namespace {

struct NamedColour {
    const char *Name;
    Colour Value;
};

constexpr NamedColour Names[] = {
    {"RED", Rgb(255, 0, 0)},       {"LRED", Rgb(255, 0, 0)},       {"MAROON", Rgb(128, 0, 0)},
    {"GRAY", Rgb(128, 128, 128)},  {"LTGRAY", Rgb(192, 192, 192)}, {"YELLOW", Rgb(255, 255, 0)},
    {"TEAL", Rgb(0, 128, 128)},    {"SILVER", Rgb(192, 192, 192)}, {"BLACK", Rgb(0, 0, 0)},
    {"BLUE", Rgb(0, 0, 255)},      {"LBLUE", Rgb(0, 0, 255)},      {"PURPLE", Rgb(128, 0, 128)},
    {"WHITE", Rgb(255, 255, 255)}, {"BWHITE", Rgb(255, 255, 255)}, {"OLIVE", Rgb(128, 128, 0)},
    {"LIME", Rgb(0, 255, 0)},      {"NAVY", Rgb(0, 0, 128)},       {"GREEN", Rgb(0, 128, 0)},
};

int HexGroup(const QByteArray &digits, int at)
{
    if (digits.size() < at + 2)
        return 255;
    const auto hex = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                      : -1;
    };
    const int high = hex(digits[at]);
    const int low = hex(digits[at + 1]);
    // Two characters that are not both hexadecimal digits (a sign, a blank): the group is 0.
    return high >= 0 && low >= 0 ? high * 16 + low : 0;
}

} // namespace

Colour ZelColorValue(const QByteArray &name)
{
    const QByteArray upper = name.toUpper();
    if (upper.startsWith('#')) {
        const QByteArray digits = upper.mid(1);
        return Rgb(HexGroup(digits, 0), HexGroup(digits, 2), HexGroup(digits, 4));
    }
    for (const NamedColour &entry : Names) {
        if (upper == entry.Name)
            return entry.Value;
    }
    return -1;
}

} // namespace wren
