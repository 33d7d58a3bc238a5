// SPDX-License-Identifier: GPL-3.0-or-later
// The functions scripts call: send, echo, trigger, alias, timer, every, on, command, var, files, map, play.
//
// Lua raises errors with longjmp, which skips C++ destructors. So in each function below, arguments are
// checked before any C++ object exists, C++ objects live only inside helpers that have returned before the
// next thing that can raise, and values from the host are pushed under the guard's grace (no memory error
// while a QByteArray holds them); the cap is checked once they are gone.
#include "scripting/lua_api.h"

#include "scripting/lua_guard.h"
#include "scripting/script_engine.h"
#include "scripting/script_host.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <lua.hpp>

namespace wren {

namespace {

using Kind = ScriptEngine::HandleKind;

constexpr char HandleType[] = "wren.handle";

struct HandleData {
    int Kind;
    quint64 Id;
};

ScriptEngine &EngineOf(lua_State *L)
{
    return *LuaGuard::From(L).Engine();
}

/// After a call into the host: a session that closed meanwhile stops the script here.
void AfterHost(lua_State *L)
{
    LuaGuard &guard = LuaGuard::From(L);
    if (guard.Stopped() == LuaGuard::Stop::Closing)
        guard.RaiseStop(L, 1);
}

QByteArrayView Arg(lua_State *L, int index)
{
    size_t length = 0;
    const char *text = luaL_checklstring(L, index, &length);
    return {text, static_cast<qsizetype>(length)};
}

/// A room id argument: a string as it is, a number as its decimal digits (1003 and 1003.0 are "1003").
QByteArrayView RoomIdArg(lua_State *L, int index)
{
    if (lua_type(L, index) == LUA_TNUMBER && !lua_isinteger(L, index)) {
        const lua_Number value = lua_tonumber(L, index);
        lua_Integer whole = 0;
        if (value != std::floor(value) || !lua_numbertointeger(value, &whole))
            luaL_argerror(L, index, "a room id is a whole number or a string");
        lua_pushinteger(L, whole);
        lua_replace(L, index);
    }
    return Arg(L, index);
}

void PushBytes(lua_State *L, const QByteArray &bytes)
{
    lua_pushlstring(L, bytes.constData(), static_cast<size_t>(bytes.size()));
}

int PushFailure(lua_State *L, const QByteArray &why)
{
    lua_pushnil(L);
    PushBytes(L, why);
    return 2;
}

/// Runs @p push (which may hold C++ objects) with the guard's grace, then checks the cap. Returns what
/// @p push returned (the number of values pushed).
template <typename Push>
int Graced(lua_State *L, Push &&push)
{
    LuaGuard &guard = LuaGuard::From(L);
    guard.SetGrace(true);
    const int count = push();
    guard.SetGrace(false);
    guard.CheckCap(L);
    return count;
}

ScriptEngine::NewCallback TakeCallback(lua_State *L, int index)
{
    ScriptEngine::NewCallback call {};
    lua_Debug ar;
    lua_pushvalue(L, index);
    lua_getinfo(L, ">S", &ar);
    std::strncpy(call.Source, ar.short_src, sizeof call.Source - 1);
    call.Line = ar.linedefined;
    lua_pushvalue(L, index);
    call.Ref = luaL_ref(L, LUA_REGISTRYINDEX);
    return call;
}

void PushRoom(lua_State *L, const ScriptRoom &room)
{
    lua_createtable(L, 0, 3);
    // Worlds number their rooms mostly: such an id reaches the script as a number (room.id == 1002), any
    // other (a readable or hashed id) as a string. Either form goes back into map.path and map.walk.
    const bool number = !room.Id.isEmpty() && room.Id.size() <= 18 && (room.Id.size() == 1 || room.Id.front() != '0')
                        && std::all_of(room.Id.begin(), room.Id.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (number)
        lua_pushinteger(L, room.Id.toLongLong());
    else
        PushBytes(L, room.Id);
    lua_setfield(L, -2, "id");
    PushBytes(L, room.Name);
    lua_setfield(L, -2, "name");
    PushBytes(L, room.Area);
    lua_setfield(L, -2, "area");
}

int PushVariable(lua_State *L, const ScriptHost &host, QByteArrayView name)
{
    const std::optional<QByteArray> value = host.Variable(name.toByteArray());
    if (value)
        PushBytes(L, *value);
    else
        lua_pushnil(L);
    return 1;
}

int PushRead(lua_State *L, const ScriptFolder &folder, QByteArrayView name)
{
    QByteArray error;
    const std::optional<QByteArray> bytes = folder.Read(name.toByteArray(), &error);
    if (!bytes)
        return PushFailure(L, error);
    PushBytes(L, *bytes);
    return 1;
}

int PushWrite(lua_State *L, const ScriptFolder &folder, QByteArrayView name, QByteArrayView text)
{
    QByteArray error;
    if (!folder.Write(name.toByteArray(), text.toByteArray(), &error))
        return PushFailure(L, error);
    lua_pushboolean(L, true);
    return 1;
}

int PushList(lua_State *L, const ScriptFolder &folder)
{
    const QList<QByteArray> names = folder.Files();
    lua_createtable(L, static_cast<int>(names.size()), 0);
    for (qsizetype i = 0; i < names.size(); ++i) {
        PushBytes(L, names[i]);
        lua_rawseti(L, -2, i + 1);
    }
    return 1;
}

int PushCurrentRoom(lua_State *L, const ScriptHost &host)
{
    if (!host.HasMap())
        return PushFailure(L, "this world has no map");
    const ScriptAnswer<ScriptRoom> answer = host.CurrentRoom();
    if (!answer.Value)
        return PushFailure(L, answer.Error);
    PushRoom(L, *answer.Value);
    return 1;
}

int PushPath(lua_State *L, const ScriptHost &host, const QByteArray &id)
{
    if (!host.HasMap())
        return PushFailure(L, "this world has no map");
    const ScriptAnswer<QByteArray> answer = host.PathTo(id);
    if (!answer.Value)
        return PushFailure(L, answer.Error);
    PushBytes(L, *answer.Value);
    return 1;
}

int PushWalk(lua_State *L, ScriptHost &host, const QByteArray &id)
{
    if (!host.HasMap())
        return PushFailure(L, "this world has no map");
    const ScriptAnswer<bool> answer = host.WalkTo(id);
    if (!answer.Value)
        return PushFailure(L, answer.Error);
    lua_pushboolean(L, *answer.Value);
    return 1;
}

int PushFound(lua_State *L, const ScriptHost &host, QByteArrayView text)
{
    if (!host.HasMap())
        return PushFailure(L, "this world has no map");
    const QList<ScriptRoom> rooms = host.FindRooms(text.toByteArray());
    lua_createtable(L, static_cast<int>(rooms.size()), 0);
    for (qsizetype i = 0; i < rooms.size(); ++i) {
        PushRoom(L, rooms[i]);
        lua_rawseti(L, -2, i + 1);
    }
    return 1;
}

const char *KindName(int kind)
{
    static constexpr const char *Names[] = {"trigger", "alias", "timer", "event handler", "command"};
    return kind >= 0 && kind < 5 ? Names[kind] : "handle";
}

} // namespace

int LuaApi::Send(lua_State *L)
{
    const QByteArrayView text = Arg(L, 1);
    EngineOf(L).Host().SendCommand(text.toByteArray());
    AfterHost(L);
    return 0;
}

int LuaApi::SendRaw(lua_State *L)
{
    const QByteArrayView text = Arg(L, 1);
    EngineOf(L).Host().SendRaw(text.toByteArray());
    AfterHost(L);
    return 0;
}

int LuaApi::Echo(lua_State *L)
{
    const QByteArrayView text = Arg(L, 1);
    EngineOf(L).Host().EchoLine(text.toByteArray());
    AfterHost(L);
    return 0;
}

int LuaApi::Print(lua_State *L)
{
    const int count = lua_gettop(L);
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    for (int i = 1; i <= count; ++i) {
        if (i > 1)
            luaL_addchar(&b, '\t');
        luaL_tolstring(L, i, nullptr);
        luaL_addvalue(&b);
    }
    luaL_pushresult(&b);
    size_t length = 0;
    const char *text = lua_tolstring(L, -1, &length);
    EngineOf(L).Host().EchoLine(QByteArray(text, static_cast<qsizetype>(length)));
    AfterHost(L);
    return 0;
}

void LuaApi::PushHandle(lua_State *L, int kind, quint64 id)
{
    auto *handle = static_cast<HandleData *>(lua_newuserdatauv(L, sizeof(HandleData), 0));
    handle->Kind = kind;
    handle->Id = id;
    luaL_setmetatable(L, HandleType);
}

int LuaApi::AddPattern(lua_State *L, int kind)
{
    const QByteArrayView pattern = Arg(L, 1);
    luaL_checktype(L, 2, LUA_TFUNCTION);
    const ScriptEngine::NewCallback call = TakeCallback(L, 2);
    ScriptEngine::ErrorText error {};
    const quint64 id = EngineOf(L).AddPatternHandler(static_cast<Kind>(kind), pattern, call, error);
    if (id == 0) {
        luaL_unref(L, LUA_REGISTRYINDEX, call.Ref);
        return luaL_error(L, "%s: %s", KindName(kind), error.Text);
    }
    PushHandle(L, kind, id);
    return 1;
}

int LuaApi::Trigger(lua_State *L)
{
    return AddPattern(L, static_cast<int>(Kind::Trigger));
}

int LuaApi::Alias(lua_State *L)
{
    return AddPattern(L, static_cast<int>(Kind::Alias));
}

int LuaApi::Remove(lua_State *L)
{
    const auto *handle = static_cast<const HandleData *>(luaL_checkudata(L, 1, HandleType));
    const int ref = EngineOf(L).Detach(static_cast<Kind>(handle->Kind), handle->Id);
    if (ref != LUA_NOREF)
        luaL_unref(L, LUA_REGISTRYINDEX, ref);
    lua_pushboolean(L, ref != LUA_NOREF);
    return 1;
}

int LuaApi::AddTimer(lua_State *L, bool repeat)
{
    const lua_Number seconds = luaL_checknumber(L, 1);
    luaL_checktype(L, 2, LUA_TFUNCTION);
    const double least = repeat ? ScriptEngine::MinRepeatSeconds : 0.0;
    // Written so that NaN fails too.
    if (!(seconds >= least && seconds <= ScriptEngine::MaxTimerSeconds))
        return luaL_error(L, "%s: the time must be from %s to %d seconds", repeat ? "every" : "timer",
                          repeat ? "0.05" : "0", static_cast<int>(ScriptEngine::MaxTimerSeconds));
    const ScriptEngine::NewCallback call = TakeCallback(L, 2);
    ScriptEngine::ErrorText error {};
    const quint64 id = EngineOf(L).AddTimer(seconds, repeat, call, error);
    if (id == 0) {
        luaL_unref(L, LUA_REGISTRYINDEX, call.Ref);
        return luaL_error(L, "%s: %s", repeat ? "every" : "timer", error.Text);
    }
    PushHandle(L, static_cast<int>(Kind::Timer), id);
    return 1;
}

int LuaApi::Timer(lua_State *L)
{
    return AddTimer(L, false);
}

int LuaApi::Every(lua_State *L)
{
    return AddTimer(L, true);
}

int LuaApi::On(lua_State *L)
{
    const QByteArrayView name = Arg(L, 1);
    luaL_checktype(L, 2, LUA_TFUNCTION);
    const ScriptEngine::NewCallback call = TakeCallback(L, 2);
    const quint64 id = EngineOf(L).AddEvent(name, call);
    PushHandle(L, static_cast<int>(Kind::Event), id);
    return 1;
}

int LuaApi::Command(lua_State *L)
{
    const QByteArrayView name = Arg(L, 1);
    luaL_checktype(L, 2, LUA_TFUNCTION);
    const ScriptEngine::NewCallback call = TakeCallback(L, 2);
    ScriptEngine::ErrorText error {};
    const quint64 id = EngineOf(L).AddCommand(name, call, error);
    if (id == 0) {
        luaL_unref(L, LUA_REGISTRYINDEX, call.Ref);
        return luaL_error(L, "command: %s", error.Text);
    }
    PushHandle(L, static_cast<int>(Kind::Command), id);
    return 1;
}

int LuaApi::Var(lua_State *L)
{
    const QByteArrayView name = Arg(L, 1);
    if (lua_gettop(L) < 2)
        return Graced(L, [&] { return PushVariable(L, EngineOf(L).Host(), name); });
    const int type = lua_type(L, 2);
    if (type != LUA_TSTRING && type != LUA_TNUMBER && type != LUA_TBOOLEAN)
        return luaL_error(L, "var: a value is a string, a number or a boolean (\"\" empties the variable)");
    size_t length = 0;
    const char *value = luaL_tolstring(L, 2, &length);
    EngineOf(L).Host().SetVariable(name.toByteArray(), QByteArray(value, static_cast<qsizetype>(length)));
    AfterHost(L);
    return 0;
}

int LuaApi::Play(lua_State *L)
{
    const QByteArrayView file = Arg(L, 1);
    EngineOf(L).Host().PlaySound(file.toByteArray());
    AfterHost(L);
    return 0;
}

int LuaApi::Speak(lua_State *L)
{
    const QByteArrayView text = Arg(L, 1);
    EngineOf(L).Host().Speak(text.toByteArray());
    AfterHost(L);
    return 0;
}

int LuaApi::FilesRead(lua_State *L)
{
    const QByteArrayView name = Arg(L, 1);
    return Graced(L, [&] { return PushRead(L, EngineOf(L).Folder(), name); });
}

int LuaApi::FilesWrite(lua_State *L)
{
    const QByteArrayView name = Arg(L, 1);
    const QByteArrayView text = Arg(L, 2);
    return Graced(L, [&] { return PushWrite(L, EngineOf(L).Folder(), name, text); });
}

int LuaApi::FilesList(lua_State *L)
{
    return Graced(L, [&] { return PushList(L, EngineOf(L).Folder()); });
}

int LuaApi::MapCurrent(lua_State *L)
{
    return Graced(L, [&] { return PushCurrentRoom(L, EngineOf(L).Host()); });
}

int LuaApi::MapPath(lua_State *L)
{
    const QByteArrayView id = RoomIdArg(L, 1);
    return Graced(L, [&] { return PushPath(L, EngineOf(L).Host(), id.toByteArray()); });
}

int LuaApi::MapWalk(lua_State *L)
{
    const QByteArrayView id = RoomIdArg(L, 1);
    const int count = Graced(L, [&] { return PushWalk(L, EngineOf(L).Host(), id.toByteArray()); });
    AfterHost(L);
    return count;
}

int LuaApi::MapFind(lua_State *L)
{
    const QByteArrayView text = Arg(L, 1);
    return Graced(L, [&] { return PushFound(L, EngineOf(L).Host(), text); });
}

int LuaApi::HandleText(lua_State *L)
{
    const auto *handle = static_cast<const HandleData *>(luaL_checkudata(L, 1, HandleType));
    lua_pushfstring(L, "%s %I", KindName(handle->Kind), static_cast<lua_Integer>(handle->Id));
    return 1;
}

void LuaApi::InstallTables(lua_State *L)
{
    static constexpr luaL_Reg Files[]
        = {{"read", FilesRead}, {"write", FilesWrite}, {"list", FilesList}, {nullptr, nullptr}};
    luaL_newlib(L, Files);
    lua_setglobal(L, "files");
    static constexpr luaL_Reg Map[]
        = {{"current", MapCurrent}, {"path", MapPath}, {"walk", MapWalk}, {"find", MapFind}, {nullptr, nullptr}};
    luaL_newlib(L, Map);
    lua_setglobal(L, "map");

    static constexpr luaL_Reg Methods[] = {{"remove", Remove}, {"stop", Remove}, {nullptr, nullptr}};
    luaL_newmetatable(L, HandleType);
    luaL_newlib(L, Methods);
    lua_setfield(L, -2, "__index");
    lua_pushcfunction(L, HandleText);
    lua_setfield(L, -2, "__tostring");
    lua_pushboolean(L, false);
    lua_setfield(L, -2, "__metatable");
    lua_pop(L, 1);
}

int LuaApi::Install(lua_State *L)
{
    static constexpr luaL_Reg Globals[]
        = {{"send", Send},   {"sendRaw", SendRaw},  {"echo", Echo},      {"print", Print}, {"trigger", Trigger},
           {"alias", Alias}, {"untrigger", Remove}, {"unalias", Remove}, {"timer", Timer}, {"every", Every},
           {"on", On},       {"command", Command},  {"var", Var},        {"play", Play},   {nullptr, nullptr}};
    lua_pushglobaltable(L);
    luaL_setfuncs(L, Globals, 0);
    if (EngineOf(L).Host().CanSpeak()) {
        lua_pushcfunction(L, Speak);
        lua_setfield(L, -2, "speak");
    }
    lua_pop(L, 1);
    InstallTables(L);
    return 0;
}

} // namespace wren
