// SPDX-License-Identifier: GPL-3.0-or-later
// What keeps a script from taking the program down: its memory cap and the work one call into it may do.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>

#include <cstddef>

struct lua_State;
struct lua_Debug;

namespace wren {

class ScriptEngine;
class ScriptHost;

/// The limits of one session's scripts.
struct ScriptLimits {
    /// Memory all of the session's Lua data may take (AppSettings "Scripts/MemoryMB").
    qint64 MemoryBytes = qint64(64) * 1024 * 1024;
    /// Lua VM instructions one call into Lua may run (a trigger, an alias, a timer, an event, a command,
    /// /LUA, or loading one file), nested calls included; pattern matching steps count as instructions.
    /// About a tenth of a second of plain Lua on a modest machine (script_bench prints what it comes to).
    qint64 Instructions = 25'000'000;
    /// Wall-clock time one call may take, checked with the instruction count and on large allocations, so
    /// a loop of slow library calls stops too.
    qint64 Milliseconds = 250;
    /// Calls into Lua nested in one another through the session (a trigger's echo setting off a trigger...).
    int MaxNesting = 8;
    /// Lua functions active at once on one thread: deeper recursion is stopped (Lua's own limit, near
    /// 200,000, would take more memory than the cap allows before it is reached).
    int MaxCallDepth = 10'000;
};

/// One Lua state's guard: its allocator counts the bytes and refuses what goes past the cap; its count hook
/// stops a call that has run too long. Reached from the state through its extra space (From).
///
/// Why a call was stopped is kept here (Stop), because the error that unwinds it may be caught and thrown
/// again by the script, or replaced by an allocation failure; the engine reports from this, not from the
/// message. Once a call is stopped the hook fires on every instruction and raises again, so a script
/// that catches the error with pcall cannot go on. A refused allocation is an ordinary memory error
/// (Lua first collects garbage and asks again); the script may catch it, and the memory stays capped.
class LuaGuard
{
public:
    enum class Stop {
        None,
        TooLong, ///< the instruction or time budget is spent
        TooDeep, ///< recursion went past MaxCallDepth
        Closing, ///< the session is closing: what runs is abandoned without a report
    };

    /// How many instructions pass between two checks of the budget.
    static constexpr int HookInterval = 1000;
    /// Every this many checks the depth of calls is looked at too (it costs a walk down the calls).
    static constexpr int DepthCheckEvery = 8;

    explicit LuaGuard(const ScriptLimits &limits);

    /// The allocator to give lua_newstate, with this guard as its user data.
    static void *Allocate(void *guard, void *block, size_t oldSize, size_t newSize);
    /// The guard and engine of @p L (any of its threads); set with Attach.
    static LuaGuard &From(lua_State *L);
    /// Stores this guard in the state's extra space and installs the count hook.
    void Attach(lua_State *L, ScriptEngine *engine, ScriptHost *host);

    ScriptEngine *Engine() const { return m_engine; }
    ScriptHost *Host() const { return m_host; }
    const ScriptLimits &Limits() const { return m_limits; }
    qint64 BytesInUse() const { return m_bytes; }

    /// The outermost call into Lua starts: a fresh budget and no stop.
    void BeginCall();
    /// The outermost call returned: the hook goes back to its interval, allocations to the plain cap.
    void EndCall();
    bool InCall() const { return m_inCall; }

    /// Counts @p steps of work done in C (pattern matching) against the budget. False when it is spent;
    /// the caller then unwinds and calls RaiseStop.
    bool Charge(lua_State *L, qint64 steps);
    /// Records where @p L is (the Lua function at @p level) if no place is recorded yet, and raises the
    /// stop as a Lua error. Never returns.
    [[noreturn]] void RaiseStop(lua_State *L, int level);

    /// While on, allocations go past the cap: data the host handed over is being pushed, and no Lua error
    /// may interrupt that while C++ objects hold it. Cleared by EndCall and at each call's start.
    void SetGrace(bool on) { m_grace = on; }
    bool OverCap() const { return m_bytes > m_limits.MemoryBytes; }
    /// Raises "not enough memory" (as the memory cap) when a graced push left the state over its cap.
    void CheckCap(lua_State *L);

    /// The session closes: whatever runs is stopped at its next instruction, without a report.
    void Abandon(lua_State *L);
    Stop Stopped() const { return m_stop; }
    /// "file:line" where the call was stopped, empty when not known.
    const QByteArray &StopPlace() const { return m_stopPlace; }
    /// The cap refused an allocation during this call: a memory error was the cap's, not the system's.
    bool MemoryRefused() const { return m_memoryRefused; }

private:
    static void Hook(lua_State *L, lua_Debug *ar);
    bool Allows(size_t more);
    bool PastDeadline() const { return m_clock.isValid() && m_clock.elapsed() > m_limits.Milliseconds; }
    void NoteStop(Stop why);

    ScriptLimits m_limits;
    ScriptEngine *m_engine = nullptr;
    ScriptHost *m_host = nullptr;
    lua_State *m_main = nullptr;
    qint64 m_bytes = 0;
    qint64 m_used = 0; ///< instructions and steps of the current call
    QElapsedTimer m_clock;
    bool m_inCall = false;
    bool m_grace = false;
    bool m_memoryRefused = false;
    unsigned m_hooks = 0;
    Stop m_stop = Stop::None;
    QByteArray m_stopPlace;
};

} // namespace wren
