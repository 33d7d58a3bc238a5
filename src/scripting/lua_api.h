// SPDX-License-Identifier: GPL-3.0-or-later
// The functions scripts call: send, echo, trigger, alias, timer, every, on, command, var, files, map, play.
#pragma once

#include <QtGlobal>

struct lua_State;

namespace wren {

/// The scripting API as Lua functions over the engine and its host (docs/scripting.md describes each).
///
/// Each function reads and checks its arguments first (argument errors are raised before any C++ object
/// exists), hands the work to the engine or the host in a helper that returns before anything can raise,
/// and pushes what came back with the guard's grace. After a call into the host it checks whether the
/// session is closing, and if so stops the script at once.
class LuaApi
{
public:
    /// Sets the globals in @p L; it allocates, so it runs protected (through lua_pcall).
    static int Install(lua_State *L);

private:
    static int Send(lua_State *L);
    static int SendRaw(lua_State *L);
    static int Echo(lua_State *L);
    static int Print(lua_State *L);
    static int Trigger(lua_State *L);
    static int Alias(lua_State *L);
    static int Remove(lua_State *L);
    static int Timer(lua_State *L);
    static int Every(lua_State *L);
    static int On(lua_State *L);
    static int Command(lua_State *L);
    static int Var(lua_State *L);
    static int Play(lua_State *L);
    static int Speak(lua_State *L);
    static int FilesRead(lua_State *L);
    static int FilesWrite(lua_State *L);
    static int FilesList(lua_State *L);
    static int MapCurrent(lua_State *L);
    static int MapPath(lua_State *L);
    static int MapWalk(lua_State *L);
    static int MapFind(lua_State *L);
    static int HandleText(lua_State *L);

    static int AddPattern(lua_State *L, int kind);
    static int AddTimer(lua_State *L, bool repeat);
    static void PushHandle(lua_State *L, int kind, quint64 id);
    static void InstallTables(lua_State *L);
};

} // namespace wren
