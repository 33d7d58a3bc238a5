// SPDX-License-Identifier: GPL-3.0-or-later
// A session's Lua scripts: loaded from the world's scripts folder, run in a sandbox under a budget.
#pragma once

#include "scripting/error_throttle.h"
#include "scripting/lua_guard.h"
#include "scripting/script_files.h"
#include "scripting/script_patterns.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <map>
#include <memory>
#include <vector>

class QTimer;

namespace wren {

class ScriptHost;
class LuaApi;
struct ScriptCall;

/// One Lua 5.4 state per session, and everything its scripts registered: triggers, aliases, timers,
/// event handlers and commands. The session (through ScriptHost) owns the world; the engine owns the state.
///
/// What the session calls:
///   - Load(ScriptsFolder(host, port)) when the world opens, Reload() for /RELOAD: the old state and all it
///     registered are dropped (pending timers never fire into the new state), then every .lua file loads in
///     name order; a file with a syntax error is reported and the others still load.
///   - RunChunk(code) for "/LUA code".
///   - Triggers, once per complete line: either put TriggerPatterns() into the same one-pass scan as the
///     classic triggers (refresh them whenever TriggerGeneration() changes) and call RunTrigger(index,
///     captures, line) for each that matches, or call MatchLine(line), which does all of it.
///   - RunAlias(command) for each typed command before the client's aliases; true means a script alias took it.
///   - RaiseEvent(name) wherever the automation raises an event ("On Connect", "On GMCP Char.Vitals", ...).
///   - HasCommand(name) / RunCommand(name, args) for slash commands that are not the client's own.
///   - Shutdown() when the session closes, even from inside a script's own call (a trigger sending "/CLOSE").
///
/// Every call into Lua runs protected, under the limits of ScriptLimits (memory, instructions, time,
/// nesting); what goes wrong is reported through ScriptHost::ScriptError with the file and line, at most a
/// few reports a second per file (ErrorThrottle). Nothing a script does throws past the engine or ends
/// the program. The engine lives on the UI thread; destroy it only when none of its calls is running
/// (Busy() false), e.g. with deleteLater.
class ScriptEngine : public QObject
{
    Q_OBJECT

public:
    /// A problem of the last load: a syntax error, or an error while a file ran.
    struct Problem {
        QByteArray File;
        int Line = 0; ///< 0 when not known
        QByteArray Message; ///< without the file and line
    };

    static constexpr int MaxTimers = 1000;
    static constexpr double MinRepeatSeconds = 0.05; // LuaApi's message for every() names it
    static constexpr double MaxTimerSeconds = 24.0 * 24 * 3600;

    explicit ScriptEngine(ScriptHost &host, QObject *parent = nullptr);
    ~ScriptEngine() override;

    /// Limits for the states made from now on (the next Load).
    void SetLimits(const ScriptLimits &limits) { m_limits = limits; }
    const ScriptLimits &Limits() const { return m_limits; }
    /// The error throttle's clock (tests).
    void SetClock(ErrorThrottle::Clock clock) { m_throttle = ErrorThrottle(std::move(clock)); }

    /// Loads every ".lua" file of @p folder into a fresh state. Called while a script runs (a command it
    /// sent), the load happens once control is back in the event loop, and the running script stops.
    void Load(const QString &folder);
    /// Load again from the same folder.
    void Reload() { Load(m_folder.Path()); }
    const ScriptFolder &Folder() const { return m_folder; }
    /// The files the last load ran without an error, and the problems it met.
    const QList<QByteArray> &LoadedScripts() const { return m_loaded; }
    const QList<Problem> &LoadProblems() const { return m_problems; }

    /// Runs @p code in the session's state (made empty if nothing was loaded). Code that is an expression
    /// ("gmcp.Char.Vitals.hp") echoes its values. @p origin names it in errors.
    void RunChunk(const QByteArray &code, const QByteArray &origin = "/LUA");

    /// Changes whenever a script trigger is added or removed.
    quint64 TriggerGeneration() const { return m_triggers.Generation(); }
    /// The trigger patterns (PCRE2, 8-bit, dot matches all); indexes stay valid until the next call.
    std::vector<QByteArray> TriggerPatterns() { return m_triggers.Patterns(); }
    /// Runs the trigger at @p index with @p captures (whole match first, then every group); false when that
    /// trigger is gone. @p line is the whole line, for the callback.
    bool RunTrigger(int index, const QList<QByteArray> &captures, QByteArrayView line = {});
    /// Runs every script trigger that matches @p line, in the order they were added; the number that ran.
    int MatchLine(QByteArrayView line);
    bool HasTriggers() const { return m_ready && !m_triggerCalls.empty(); }

    /// The first script alias whose pattern matches @p command runs; true when one did (the command is taken).
    bool RunAlias(const QByteArray &command);
    /// Runs the handlers of event @p name (any case), in the order they were added.
    void RaiseEvent(const QByteArray &name);
    /// Whether a script added the slash command @p name (any case, without the command character).
    bool HasCommand(const QByteArray &name) const;
    /// Runs it with @p args (what followed the name); false when there is none.
    bool RunCommand(const QByteArray &name, const QByteArray &args);

    /// The session closes: no callback runs from now on, timers stop, and the state is closed as soon as
    /// no Lua code is on the stack (at once when called from outside a script).
    void Shutdown();
    bool IsShutDown() const { return m_shutdown; }
    /// Lua code is running (this is called from inside a script's call).
    bool Busy() const { return m_depth > 0; }
    /// Memory the state takes now; 0 without one.
    qint64 MemoryInUse() const { return m_guard ? m_guard->BytesInUse() : 0; }
    int TimerCount() const { return static_cast<int>(m_timers.size()); }

signals:
    /// A load finished (LoadProblems holds its problems).
    void Loaded();

public:
    // For the Lua functions (LuaApi).

    /// What a script registered a function for.
    enum class HandleKind { Trigger, Alias, Timer, Event, Command };
    /// A function a script is registering, as plain data (it is taken while Lua may raise errors).
    struct NewCallback {
        int Ref;
        char Source[64];
        int Line;
    };
    /// A message for an error a Lua function raises once the engine has returned.
    struct ErrorText {
        char Text[256];
        void Set(const QByteArray &text);
    };

private:
    friend class LuaApi;

    /// A registered Lua function: its reference in the registry and where it was written.
    struct Callback {
        int Ref = -2; // LUA_NOREF
        QByteArray Source; ///< file ("demo.lua", "/LUA")
        int Line = 0; ///< where the function starts
        QByteArray Origin() const { return Line > 0 ? Source + ':' + QByteArray::number(Line) : Source; }
    };
    static Callback FromNew(const NewCallback &call);
    struct Named {
        QByteArray Name;
        Callback Call;
    };
    struct TimerEntry {
        QTimer *Timer = nullptr;
        Callback Call;
        bool Repeat = false;
    };
    // Registration, for the Lua functions (LuaApi).
    quint64 AddPatternHandler(HandleKind kind, QByteArrayView pattern, const NewCallback &call, ErrorText &error);
    quint64 AddTimer(double seconds, bool repeat, const NewCallback &call, ErrorText &error);
    quint64 AddEvent(QByteArrayView name, const NewCallback &call);
    quint64 AddCommand(QByteArrayView name, const NewCallback &call, ErrorText &error);
    /// Drops a handler; its registry reference for the caller to release, or LUA_NOREF when it was gone.
    int Detach(HandleKind kind, quint64 id);
    ScriptHost &Host() const { return m_host; }

    // The state.
    bool EnsureState();
    void CloseState();
    void LoadNow();
    void LoadFile(const QByteArray &name);
    /// The engine may call into Lua.
    bool Ready() const { return m_ready && !m_shutdown && m_state; }

    // Calls into Lua.
    /// Calls the callback (or the chunk on top of the stack) protected, under the budget; false on failure.
    bool Invoke(const ScriptCall &call, const Callback &callback, bool chunkOnStack);
    /// What to report for a failed call, from the guard and the message on top of the stack.
    QByteArray FailureText(int status, const Callback &callback);
    /// Shows @p text through the host, rate-limited per @p source unless @p limit is false.
    void Report(const QByteArray &source, const QByteArray &text, bool limit = true);
    void NoteProblem(const QByteArray &source, const QByteArray &text);
    void FireTimer(quint64 id);
    void RunMatched(const Callback &callback, const QList<QByteArray> &names, const QList<QByteArray> &captures,
                    QByteArrayView line);
    /// Forgets every trigger, alias, timer, handler and command (the state keeps their functions until it closes).
    void DropRegistrations();
    void ScheduleLoad();

    ScriptHost &m_host;
    ScriptLimits m_limits;
    ScriptFolder m_folder;
    ErrorThrottle m_throttle;
    std::unique_ptr<LuaGuard> m_guard;
    lua_State *m_state = nullptr;
    bool m_ready = false; ///< the state exists and is not being replaced
    bool m_shutdown = false;
    bool m_loading = false; ///< LoadNow is running its files
    bool m_reloadPending = false;
    bool m_stopReported = false; ///< the current outermost call's stop was reported already
    int m_depth = 0; ///< calls into Lua on the stack
    quint64 m_nextId = 1;
    QList<QByteArray> m_loaded;
    QList<Problem> m_problems;

    ScriptPatternList m_triggers;
    ScriptPatternList m_aliases;
    std::map<quint64, Callback> m_triggerCalls;
    std::map<quint64, Callback> m_aliasCalls;
    std::map<quint64, TimerEntry> m_timers;
    std::map<quint64, Named> m_events; ///< names in lower case
    std::map<quint64, Named> m_commands; ///< names in upper case
};

} // namespace wren
