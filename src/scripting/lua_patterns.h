// SPDX-License-Identifier: GPL-3.0-or-later
// Lua's string patterns with a bound on their work: string.find, match, gmatch and gsub for scripts.
#pragma once

struct lua_State;

namespace wren {

/// Replaces string.find, string.match, string.gmatch and string.gsub in @p L's string table (the table the
/// string metatable indexes, so s:find(...) too) with versions that behave as Lua 5.4's but count their
/// matching steps against the call's budget (LuaGuard::Charge). Lua's own matcher runs in C, where the
/// count hook never fires, and a pattern such as ("a?"):rep(30) .. ("a"):rep(30) backtracks for hours.
///
/// Character classes are those of the C locale (ASCII), whatever the program's locale.
void InstallBoundedPatterns(lua_State *L);

} // namespace wren
