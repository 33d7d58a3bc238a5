// SPDX-License-Identifier: GPL-3.0-or-later
// gmcp, msdp and mssp in scripts: read-only views that look the session's game data up as they are read.
//
// Each function that reads the host's data does so in a helper that returns before anything can raise a Lua
// error: the values are pushed with the guard's grace (no memory error while C++ objects hold them), and the
// cap is checked once they are gone.
#include "scripting/lua_game_data.h"

#include "gamedata/json_text.h"
#include "scripting/lua_guard.h"
#include "scripting/script_host.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>
#include <lua.hpp>

namespace wren {

namespace {

constexpr char ViewType[] = "wren.gamedata";
constexpr int MaxCopyDepth = 64;

QByteArrayView ViewPath(lua_State *L, int index)
{
    lua_getiuservalue(L, index, 1); // the path string stays on the stack, so the view stays valid
    size_t length = 0;
    const char *path = lua_tolstring(L, -1, &length);
    return {path, static_cast<qsizetype>(length)};
}

void PushView(lua_State *L, QByteArrayView path)
{
    lua_newuserdatauv(L, 0, 1);
    lua_pushlstring(L, path.data(), static_cast<size_t>(path.size()));
    lua_setiuservalue(L, -2, 1);
    luaL_setmetatable(L, ViewType);
}

void PushBytes(lua_State *L, const QByteArray &bytes)
{
    lua_pushlstring(L, bytes.constData(), static_cast<size_t>(bytes.size()));
}

void PushNumber(lua_State *L, double value)
{
    constexpr double Limit = 9.2e18; // within lua_Integer
    if (std::floor(value) == value && std::fabs(value) < Limit)
        lua_pushinteger(L, static_cast<lua_Integer>(value));
    else
        lua_pushnumber(L, value);
}

/// Pushes a scalar as its Lua value; false (nothing pushed) for objects, arrays and Undefined.
bool PushScalar(lua_State *L, const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null: lua_pushnil(L); return true;
    case QJsonValue::Bool: lua_pushboolean(L, value.toBool()); return true;
    case QJsonValue::Double: PushNumber(L, value.toDouble()); return true;
    case QJsonValue::String: PushBytes(L, value.toString().toUtf8()); return true;
    default: return false;
    }
}

/// Whether some stored name of the path's protocol lies below @p path ("gmcp.Char" for "Char.Vitals").
bool IsNamePrefix(const ScriptHost &host, QByteArrayView path)
{
    const qsizetype dot = path.indexOf('.');
    if (dot < 0)
        return true; // the protocol itself
    const QByteArray below = path.sliced(dot + 1).toByteArray().toLower() + '.';
    const QList<QByteArray> names = host.GameNames(path.first(dot));
    return std::any_of(names.begin(), names.end(),
                       [&](const QByteArray &name) { return name.toLower().startsWith(below); });
}

/// The value at @p path: a view for objects, arrays and name prefixes, a Lua value for scalars, else nil.
void PushAt(lua_State *L, const ScriptHost &host, QByteArrayView path)
{
    const QJsonValue value = host.GameValue(path);
    if (PushScalar(L, value))
        return;
    if (value.isObject() || value.isArray() || IsNamePrefix(host, path))
        PushView(L, path);
    else
        lua_pushnil(L);
}

/// The path of a view's child: an integer key counts from 1 in an array.
QByteArray ChildPath(const ScriptHost &host, QByteArrayView path, lua_State *L)
{
    QByteArray child = path.toByteArray() + '.';
    if (lua_isinteger(L, 2)) {
        const lua_Integer key = lua_tointeger(L, 2);
        if (host.GameValue(path).isArray())
            return key >= 1 ? child + QByteArray::number(key - 1) : QByteArray();
        return child + QByteArray::number(key);
    }
    size_t length = 0;
    const char *key = lua_tolstring(L, 2, &length);
    return child.append(key, static_cast<qsizetype>(length));
}

void PushChild(lua_State *L, const ScriptHost &host, QByteArrayView path)
{
    const QByteArray child = ChildPath(host, path, L);
    if (child.isEmpty())
        lua_pushnil(L);
    else
        PushAt(L, host, child);
}

int Index(lua_State *L)
{
    const int type = lua_type(L, 2);
    if (type != LUA_TSTRING && type != LUA_TNUMBER) {
        lua_pushnil(L);
        return 1;
    }
    if (type == LUA_TNUMBER && !lua_isinteger(L, 2))
        lua_pushfstring(L, "%s", lua_tostring(L, 2)); // 1.5 is the key "1.5"
    else
        lua_pushvalue(L, 2);
    lua_replace(L, 2);
    const QByteArrayView path = ViewPath(L, 1);
    LuaGuard &guard = LuaGuard::From(L);
    guard.SetGrace(true);
    PushChild(L, *guard.Host(), path);
    guard.SetGrace(false);
    guard.CheckCap(L);
    return 1;
}

int NewIndex(lua_State *L)
{
    const QByteArrayView path = ViewPath(L, 1);
    return luaL_error(L, "%s is read-only", path.data());
}

void PushCopy(lua_State *L, const QJsonValue &value, int depth);

void PushArrayCopy(lua_State *L, const QJsonArray &array, int depth)
{
    lua_createtable(L, static_cast<int>(array.size()), 0);
    for (qsizetype i = 0; i < array.size(); ++i) {
        PushCopy(L, array.at(i), depth + 1);
        lua_rawseti(L, -2, i + 1);
    }
}

void PushObjectCopy(lua_State *L, const QJsonObject &object, int depth)
{
    lua_createtable(L, 0, static_cast<int>(object.size()));
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        PushBytes(L, it.key().toUtf8());
        PushCopy(L, it.value(), depth + 1);
        lua_rawset(L, -3);
    }
}

void PushCopy(lua_State *L, const QJsonValue &value, int depth)
{
    if (PushScalar(L, value))
        return;
    if (depth >= MaxCopyDepth || !lua_checkstack(L, 4) || !(value.isArray() || value.isObject())) {
        lua_pushnil(L);
        return;
    }
    if (value.isArray())
        PushArrayCopy(L, value.toArray(), depth);
    else
        PushObjectCopy(L, value.toObject(), depth);
}

void PushCopyAt(lua_State *L, const ScriptHost &host, QByteArrayView path)
{
    PushCopy(L, host.GameValue(path), 0);
}

int Call(lua_State *L)
{
    const QByteArrayView path = ViewPath(L, 1);
    LuaGuard &guard = LuaGuard::From(L);
    guard.SetGrace(true);
    PushCopyAt(L, *guard.Host(), path);
    guard.SetGrace(false);
    guard.CheckCap(L);
    return 1;
}

/// A table of the view's children: keys to values or views.
void PushChildren(lua_State *L, const ScriptHost &host, QByteArrayView path)
{
    lua_newtable(L);
    const QJsonValue value = host.GameValue(path);
    const QByteArray base = path.toByteArray() + '.';
    if (value.isArray()) {
        for (qsizetype i = 0; i < value.toArray().size(); ++i) {
            PushAt(L, host, base + QByteArray::number(i));
            lua_rawseti(L, -2, i + 1);
        }
        return;
    }
    QList<QByteArray> keys;
    if (value.isObject()) {
        for (const QString &key : value.toObject().keys())
            keys.append(key.toUtf8());
    } else {
        // A name prefix: the next part of each stored name below it, once each.
        const qsizetype dot = path.indexOf('.');
        const QByteArray below = dot < 0 ? QByteArray() : path.sliced(dot + 1).toByteArray().toLower() + '.';
        for (const QByteArray &name : host.GameNames(dot < 0 ? path : path.first(dot))) {
            if (!name.toLower().startsWith(below))
                continue;
            const QByteArray next = name.mid(below.size()).split('.').value(0);
            if (!next.isEmpty() && !keys.contains(next))
                keys.append(next);
        }
    }
    for (const QByteArray &key : keys) {
        PushBytes(L, key);
        PushAt(L, host, base + key);
        lua_rawset(L, -3);
    }
}

int Pairs(lua_State *L)
{
    const QByteArrayView path = ViewPath(L, 1);
    LuaGuard &guard = LuaGuard::From(L);
    lua_pushcfunction(L, [](lua_State *S) {
        lua_settop(S, 2);
        return lua_next(S, 1) ? 2 : 0;
    });
    guard.SetGrace(true);
    PushChildren(L, *guard.Host(), path);
    guard.SetGrace(false);
    guard.CheckCap(L);
    lua_pushnil(L);
    return 3;
}

qsizetype LengthAt(const ScriptHost &host, QByteArrayView path)
{
    const QJsonValue value = host.GameValue(path);
    return value.isArray() ? value.toArray().size() : 0;
}

int Length(lua_State *L)
{
    const QByteArrayView path = ViewPath(L, 1);
    lua_pushinteger(L, LengthAt(*LuaGuard::From(L).Host(), path));
    return 1;
}

void PushText(lua_State *L, const ScriptHost &host, QByteArrayView path)
{
    const QJsonValue value = host.GameValue(path);
    PushBytes(L, value.isUndefined() ? path.toByteArray() : JsonText(value));
}

int ToString(lua_State *L)
{
    const QByteArrayView path = ViewPath(L, 1);
    LuaGuard &guard = LuaGuard::From(L);
    guard.SetGrace(true);
    PushText(L, *guard.Host(), path);
    guard.SetGrace(false);
    guard.CheckCap(L);
    return 1;
}

} // namespace

void InstallGameData(lua_State *L)
{
    static constexpr luaL_Reg Methods[]
        = {{"__index", Index}, {"__newindex", NewIndex}, {"__call", Call},  {"__pairs", Pairs},
           {"__len", Length},  {"__tostring", ToString}, {nullptr, nullptr}};
    luaL_newmetatable(L, ViewType);
    luaL_setfuncs(L, Methods, 0);
    lua_pushliteral(L, "game data");
    lua_setfield(L, -2, "__name");
    lua_pushboolean(L, false);
    lua_setfield(L, -2, "__metatable"); // getmetatable(gmcp) gives false: the views cannot be changed
    lua_pop(L, 1);
    for (const char *protocol : {"gmcp", "msdp", "mssp"}) {
        PushView(L, protocol);
        lua_setglobal(L, protocol);
    }
}

} // namespace wren
