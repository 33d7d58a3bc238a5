// SPDX-License-Identifier: GPL-3.0-or-later
// The Lua a script gets: the safe part of the standard library, and clear refusals where the rest was.
#pragma once

struct lua_State;

namespace wren {

/// Opens what scripts may use and nothing else: the base library (without dofile and loadfile; load takes
/// text only; setmetatable refuses __gc; collectgarbage only collects, steps and counts), string (without
/// dump; find, match, gmatch and gsub bounded, see lua_patterns.h), table, math, utf8, coroutine (without
/// close; wrap leaves a coroutine that failed unclosed; xpcall's handler does not run for a call being
/// stopped), and of os only time, clock, date and difftime. io, debug, package and require are not there: reaching for
/// them, or for os.execute and the like, raises an error that says so ("os.execute is not available in
/// scripts").
///
/// It allocates, so it must run protected (called through lua_pcall as a C function).
int OpenSandbox(lua_State *L);

} // namespace wren
