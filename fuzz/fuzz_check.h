// SPDX-License-Identifier: GPL-3.0-or-later
// What the game data fuzz targets share: stopping loudly when an invariant breaks.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace wren::fuzz
{

inline void Check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace wren::fuzz
