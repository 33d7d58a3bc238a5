// SPDX-License-Identifier: GPL-3.0-or-later
// gmcp, msdp and mssp in scripts: read-only views that look the session's game data up as they are read.
#pragma once

struct lua_State;

namespace wren {

/// Sets the globals gmcp, msdp and mssp. Each is a view of a path in the host's game data
/// (ScriptHost::GameValue): reading a field looks the longer path up at that moment, so nothing is copied
/// per line and a value is always the latest. An object or array gives another view, a string, number or
/// boolean its Lua value, JSON null and a missing value nil. GMCP package names and object keys match in
/// any case, as GameData finds them (gmcp.char.vitals.hp). Arrays count from 1 as Lua tables do (element
/// 1 is the first). A view is also:
///   - called, view(): a plain Lua table copy of its value (nested tables copied too);
///   - iterated, pairs(view): its keys and values, or for a name prefix (gmcp.Char) the next parts of the
///     names below it;
///   - #view: an array's length (0 otherwise); tostring(view): compact JSON.
/// Writing to a view raises an error.
void InstallGameData(lua_State *L);

} // namespace wren
