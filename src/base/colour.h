// SPDX-License-Identifier: GPL-3.0-or-later
// The stored colour type every layer shares.
#pragma once

#include <cstdint>

namespace wren {

/// A colour as stored: red in the lowest byte, then green, then blue. -1 stands for "no colour" (shown black).
using Colour = std::int32_t;

constexpr Colour Rgb(int r, int g, int b)
{
    return static_cast<Colour>(r | (g << 8) | (b << 16));
}

} // namespace wren
