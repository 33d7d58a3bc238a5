// SPDX-License-Identifier: GPL-3.0-or-later
// The Lua a script gets: the safe part of the standard library, and clear refusals where the rest was.
#include "scripting/lua_sandbox.h"

#include "scripting/lua_guard.h"

#include <cstring>
#include <initializer_list>
#include <lua.hpp>

namespace wren {

namespace {

/// A function that only says it is not available; its upvalue is the message.
int Refused(lua_State *L)
{
    return luaL_error(L, "%s", lua_tostring(L, lua_upvalueindex(1)));
}

void SetRefused(lua_State *L, int table, const char *name, const char *message)
{
    table = lua_absindex(L, table);
    lua_pushstring(L, message);
    lua_pushcclosure(L, Refused, 1);
    lua_setfield(L, table, name);
}

/// __index of a library that is not there: names the field reached for. Upvalues: library name, hint.
int RefusedField(lua_State *L)
{
    const char *library = lua_tostring(L, lua_upvalueindex(1));
    const char *hint = lua_tostring(L, lua_upvalueindex(2));
    if (lua_type(L, 2) == LUA_TSTRING)
        return luaL_error(L, "%s.%s is not available in scripts%s", library, lua_tostring(L, 2), hint);
    return luaL_error(L, "%s is not available in scripts%s", library, hint);
}

/// Gives the table on top a metatable whose __index refuses every missing field.
void RefuseMissing(lua_State *L, const char *library, const char *hint)
{
    lua_createtable(L, 0, 2);
    lua_pushstring(L, library);
    lua_pushstring(L, hint);
    lua_pushcclosure(L, RefusedField, 2);
    lua_setfield(L, -2, "__index");
    lua_pushboolean(L, false);
    lua_setfield(L, -2, "__metatable");
    lua_setmetatable(L, -2);
}

void SetMissingLibrary(lua_State *L, const char *library, const char *hint)
{
    lua_newtable(L);
    RefuseMissing(L, library, hint);
    lua_setglobal(L, library);
}

/// load(chunk [, name [, mode [, env]]]): text only, whatever mode asks.
int Load(lua_State *L)
{
    const bool withEnvironment = lua_gettop(L) >= 4; // an env given as nil stays nil, as load has it
    lua_settop(L, 4);
    lua_pushvalue(L, lua_upvalueindex(1)); // the library's load
    lua_pushvalue(L, 1);
    lua_pushvalue(L, 2);
    lua_pushliteral(L, "t");
    if (withEnvironment)
        lua_pushvalue(L, 4);
    lua_call(L, withEnvironment ? 4 : 3, LUA_MULTRET);
    return lua_gettop(L) - 4;
}

/// setmetatable(t, mt): finalizers would run at any allocation, outside every budget.
int SetMetatable(lua_State *L)
{
    if (lua_type(L, 2) == LUA_TTABLE) {
        lua_pushliteral(L, "__gc");
        if (lua_rawget(L, 2) != LUA_TNIL)
            return luaL_error(L, "__gc finalizers are not available in scripts");
        lua_pop(L, 1);
    }
    lua_settop(L, 2);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, 2, 1);
    return 1;
}

/// collectgarbage([opt]): "collect", "step", "count" and "isrunning"; stopping or tuning the collector
/// would let memory run to the cap, or the collector take its time.
int CollectGarbage(lua_State *L)
{
    const char *option = luaL_optstring(L, 1, "collect");
    static constexpr const char *Allowed[] = {"collect", "step", "count", "isrunning"};
    for (const char *allowed : Allowed) {
        if (std::strcmp(option, allowed) == 0) {
            lua_pushvalue(L, lua_upvalueindex(1));
            lua_insert(L, 1);
            lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
            return lua_gettop(L);
        }
    }
    return luaL_error(L, "collectgarbage(\"%s\") is not available in scripts", option);
}

// A call stopped by the guard is stopped by an error raised inside the count hook, and until a protected call
// catches it Lua keeps hooks off on that thread. Lua code that would run in between would run unchecked: an
// xpcall message handler, and the __close methods that coroutine.close and coroutine.wrap run on a coroutine
// that died of the error. So xpcall's handler is skipped for a stopped call, coroutine.wrap leaves a dead
// coroutine's variables unclosed (as a coroutine that is never resumed leaves them), and coroutine.close is
// not offered.

/// xpcall's message handler: the script's own (the upvalue), unless the call is being stopped.
int GuardedHandler(lua_State *L)
{
    if (LuaGuard::From(L).Stopped() != LuaGuard::Stop::None)
        return 1;
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, 1);
    return 1;
}

int FinishXPCall(lua_State *L, int status, lua_KContext base)
{
    if (status != LUA_OK && status != LUA_YIELD) {
        lua_pushboolean(L, 0);
        lua_pushvalue(L, -2);
        return 2; // false and the error
    }
    return lua_gettop(L) - static_cast<int>(base); // true and the results
}

/// xpcall(f, handler, ...)
int XPCall(lua_State *L)
{
    const int count = lua_gettop(L);
    luaL_checktype(L, 2, LUA_TFUNCTION);
    lua_pushvalue(L, 2);
    lua_pushcclosure(L, GuardedHandler, 1);
    lua_replace(L, 2);
    lua_pushboolean(L, 1);
    lua_pushvalue(L, 1);
    lua_rotate(L, 3, 2); // f, handler, true, f, arguments...
    const int status = lua_pcallk(L, count - 2, LUA_MULTRET, 2, 2, FinishXPCall);
    return FinishXPCall(L, status, 2);
}

/// What coroutine.wrap returns: resumes its coroutine (the upvalue) and hands on its values or its error.
int WrapResume(lua_State *L)
{
    lua_State *co = lua_tothread(L, lua_upvalueindex(1));
    const int count = lua_gettop(L);
    if (!lua_checkstack(co, count + 1))
        return luaL_error(L, "too many arguments to resume");
    if (lua_status(co) == LUA_OK && lua_gettop(co) == 0)
        return luaL_error(L, "cannot resume dead coroutine");
    lua_xmove(L, co, count);
    int results = 0;
    const int status = lua_resume(co, L, count, &results);
    if (status == LUA_OK || status == LUA_YIELD) {
        if (!lua_checkstack(L, results + 1)) {
            lua_pop(co, results);
            return luaL_error(L, "too many results to resume");
        }
        lua_xmove(co, L, results);
        return results;
    }
    lua_xmove(co, L, 1);
    if (status != LUA_ERRMEM && lua_type(L, -1) == LUA_TSTRING) {
        luaL_where(L, 1);
        lua_insert(L, -2);
        lua_concat(L, 2);
    }
    return lua_error(L);
}

/// coroutine.wrap(f)
int WrapCoroutine(lua_State *L)
{
    luaL_checktype(L, 1, LUA_TFUNCTION);
    lua_State *co = lua_newthread(L);
    lua_pushvalue(L, 1);
    lua_xmove(L, co, 1);
    lua_pushcclosure(L, WrapResume, 1);
    return 1;
}

void GuardCoroutines(lua_State *L)
{
    lua_getglobal(L, LUA_COLIBNAME);
    lua_pushcfunction(L, WrapCoroutine);
    lua_setfield(L, -2, "wrap");
    SetRefused(L, -1, "close", "coroutine.close is not available in scripts");
    lua_pop(L, 1);
}

/// Replaces the global @p name with @p wrapper, which gets the original as its upvalue.
void Wrap(lua_State *L, const char *name, lua_CFunction wrapper)
{
    lua_getglobal(L, name);
    lua_pushcclosure(L, wrapper, 1);
    lua_setglobal(L, name);
}

void OpenLibraries(lua_State *L)
{
    static constexpr luaL_Reg Libraries[] = {{LUA_GNAME, luaopen_base},
                                             {LUA_STRLIBNAME, luaopen_string},
                                             {LUA_TABLIBNAME, luaopen_table},
                                             {LUA_MATHLIBNAME, luaopen_math},
                                             {LUA_UTF8LIBNAME, luaopen_utf8},
                                             {LUA_COLIBNAME, luaopen_coroutine},
                                             {nullptr, nullptr}};
    for (const luaL_Reg *library = Libraries; library->func; ++library) {
        luaL_requiref(L, library->name, library->func, 1);
        lua_pop(L, 1);
    }
}

/// os with time, clock, date and difftime only.
void OpenOs(lua_State *L)
{
    luaL_requiref(L, LUA_OSLIBNAME, luaopen_os, 0); // not global: only what is copied below is
    lua_newtable(L);
    for (const char *name : {"time", "clock", "date", "difftime"}) {
        lua_getfield(L, -2, name);
        lua_setfield(L, -2, name);
    }
    RefuseMissing(L, "os", "");
    lua_setglobal(L, LUA_OSLIBNAME);
    lua_pop(L, 1);
}

void RefuseTheRest(lua_State *L)
{
    lua_pushglobaltable(L);
    SetRefused(L, -1, "dofile", "dofile is not available in scripts (files.read gives a file's text)");
    SetRefused(L, -1, "loadfile", "loadfile is not available in scripts (files.read gives a file's text)");
    SetRefused(L, -1, "require",
               "require is not available in scripts: every .lua file of the world's scripts folder is loaded, in "
               "name order");
    lua_pushnil(L);
    lua_setfield(L, -2, "warn");
    lua_pop(L, 1);
    lua_getglobal(L, LUA_STRLIBNAME);
    SetRefused(L, -1, "dump", "string.dump is not available in scripts (binary chunks are not loaded)");
    lua_pop(L, 1);
    SetMissingLibrary(L, "io", " (files.read and files.write reach the world's scripts folder)");
    SetMissingLibrary(L, "debug", "");
    SetMissingLibrary(L, "package", "");
}

} // namespace

int OpenSandbox(lua_State *L)
{
    OpenLibraries(L);
    OpenOs(L);
    Wrap(L, "load", Load);
    Wrap(L, "setmetatable", SetMetatable);
    Wrap(L, "collectgarbage", CollectGarbage);
    lua_pushcfunction(L, XPCall);
    lua_setglobal(L, "xpcall");
    GuardCoroutines(L);
    RefuseTheRest(L);
    return 0;
}

} // namespace wren
