// SPDX-License-Identifier: GPL-3.0-or-later
// What keeps a script from taking the program down: its memory cap and the work one call into it may do.
#include "scripting/lua_guard.h"

#include <cstdlib>
#include <cstring>
#include <lua.hpp>

namespace wren {

namespace {

// An allocation this large is a moment to look at the clock: a loop of big string operations runs few
// instructions between them.
constexpr size_t LargeAllocation = size_t(256) * 1024;

} // namespace

LuaGuard::LuaGuard(const ScriptLimits &limits)
    : m_limits(limits)
{
}

LuaGuard &LuaGuard::From(lua_State *L)
{
    // The extra space holds the guard's address as a plain pointer (LUA_EXTRASPACE is one pointer wide).
    void *guard = nullptr;
    std::memcpy(&guard, lua_getextraspace(L), sizeof guard);
    return *static_cast<LuaGuard *>(guard);
}

void LuaGuard::Attach(lua_State *L, ScriptEngine *engine, ScriptHost *host)
{
    m_main = L;
    m_engine = engine;
    m_host = host;
    void *self = this;
    static_assert(sizeof self <= LUA_EXTRASPACE);
    std::memcpy(lua_getextraspace(L), &self, sizeof self);
    lua_sethook(L, Hook, LUA_MASKCOUNT, HookInterval);
}

bool LuaGuard::Allows(size_t more)
{
    if (m_grace)
        return true;
    if (m_bytes + static_cast<qint64>(more) > m_limits.MemoryBytes) {
        // Not a stop yet: Lua collects its garbage and asks again, and only a second refusal is an error.
        m_memoryRefused = true;
        return false;
    }
    // The allocation goes ahead; the next instruction stops the call, naming its line.
    if (more >= LargeAllocation && m_inCall && m_stop == Stop::None && PastDeadline())
        NoteStop(Stop::TooLong);
    return true;
}

void *LuaGuard::Allocate(void *guard, void *block, size_t oldSize, size_t newSize)
{
    auto *self = static_cast<LuaGuard *>(guard);
    // For a new block Lua passes the kind of object in oldSize, not a size.
    const size_t had = block ? oldSize : 0;
    if (newSize == 0) {
        std::free(block);
        self->m_bytes -= static_cast<qint64>(had);
        return nullptr;
    }
    if (newSize > had && !self->Allows(newSize - had))
        return nullptr;
    void *moved = std::realloc(block, newSize);
    if (moved)
        self->m_bytes += static_cast<qint64>(newSize) - static_cast<qint64>(had);
    return moved;
}

void LuaGuard::BeginCall()
{
    m_inCall = true;
    m_used = 0;
    m_stop = Stop::None;
    m_stopPlace.clear();
    m_memoryRefused = false;
    m_grace = false;
    m_clock.start();
}

void LuaGuard::EndCall()
{
    m_inCall = false;
    m_grace = false;
    m_clock.invalidate();
    if (m_main && m_stop != Stop::Closing)
        lua_sethook(m_main, Hook, LUA_MASKCOUNT, HookInterval);
}

void LuaGuard::NoteStop(Stop why)
{
    m_stop = why;
    // From now on every instruction checks, so a pcall that caught the error cannot run on.
    if (m_main)
        lua_sethook(m_main, Hook, LUA_MASKCOUNT, 1);
}

void LuaGuard::Abandon(lua_State *L)
{
    m_stop = Stop::Closing;
    if (L)
        lua_sethook(L, Hook, LUA_MASKCOUNT, 1);
}

bool LuaGuard::Charge(lua_State *L, qint64 steps)
{
    m_used += steps;
    if (!m_inCall)
        return true;
    if (m_stop == Stop::None && (m_used > m_limits.Instructions || PastDeadline()))
        NoteStop(Stop::TooLong);
    if (m_stop == Stop::None)
        return true;
    // A coroutine has its own hook: make it check every instruction as well.
    lua_sethook(L, Hook, LUA_MASKCOUNT, 1);
    return false;
}

void LuaGuard::RaiseStop(lua_State *L, int level)
{
    if (m_stopPlace.isEmpty() && m_stop != Stop::Closing) {
        lua_Debug ar;
        // The innermost Lua function: C functions (the pattern matcher) have no line.
        for (int at = level; lua_getstack(L, at, &ar); ++at) {
            lua_getinfo(L, "Sl", &ar);
            if (ar.currentline > 0) {
                m_stopPlace = QByteArray(ar.short_src) + ':' + QByteArray::number(ar.currentline);
                break;
            }
        }
    }
    lua_pushliteral(L, "script stopped");
    lua_error(L);
    std::abort(); // lua_error does not return
}

void LuaGuard::CheckCap(lua_State *L)
{
    if (!OverCap())
        return;
    lua_gc(L, LUA_GCCOLLECT);
    if (!OverCap())
        return;
    m_memoryRefused = true;
    lua_pushliteral(L, "not enough memory");
    lua_error(L);
}

void LuaGuard::Hook(lua_State *L, lua_Debug *)
{
    LuaGuard &self = From(L);
    if (!self.m_inCall) {
        // A coroutine left checking every instruction by an earlier stop goes back to the interval.
        if (lua_gethookcount(L) != HookInterval)
            lua_sethook(L, Hook, LUA_MASKCOUNT, HookInterval);
        return;
    }
    const qint64 step = lua_gethookcount(L);
    if (self.m_stop == Stop::None && step != HookInterval)
        lua_sethook(L, Hook, LUA_MASKCOUNT, HookInterval);
    lua_Debug deepest;
    if (self.m_stop == Stop::None && ++self.m_hooks % DepthCheckEvery == 0
        && lua_getstack(L, self.m_limits.MaxCallDepth, &deepest))
        self.NoteStop(Stop::TooDeep);
    if (self.Charge(L, step))
        return;
    self.RaiseStop(L, 0);
}

} // namespace wren
