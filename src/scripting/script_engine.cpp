// SPDX-License-Identifier: GPL-3.0-or-later
// A session's Lua scripts: loaded from the world's scripts folder, run in a sandbox under a budget.
#include "scripting/script_engine.h"

#include "config/logging.h"
#include "scripting/lua_api.h"
#include "scripting/lua_game_data.h"
#include "scripting/lua_patterns.h"
#include "scripting/lua_sandbox.h"
#include "scripting/script_host.h"

#include <QTimer>

#include <algorithm>
#include <cmath>
#include <lua.hpp>

namespace wren {

static_assert(sizeof(ScriptEngine::NewCallback::Source) >= LUA_IDSIZE);

/// One call into Lua: what the function gets. It lives in the C++ frame that calls lua_pcall, and the
/// protected function (Trampoline) only reads it, so nothing is lost when Lua unwinds.
struct ScriptCall {
    enum class Args { None, Match, Text, Command, Chunk };
    Args Kind = Args::None;
    int Ref = LUA_NOREF;
    bool ReleaseFirst = false; ///< a timer that fires once: its reference is released as it runs
    bool EchoResults = false; ///< /LUA with an expression: its values are echoed
    const QList<QByteArray> *Captures = nullptr;
    const QList<QByteArray> *Names = nullptr; ///< group names by number
    const QList<QByteArray> *Words = nullptr;
    QByteArrayView Line;
    QByteArrayView Text;
    ScriptHost *Host = nullptr;
};

namespace {

/// Group values beyond the table also go to a callback as arguments, up to this many.
constexpr int MaxExtraArguments = 32;
/// Traceback lines under an error.
constexpr int TracebackLines = 3;

void PushBytes(lua_State *L, QByteArrayView bytes)
{
    lua_pushlstring(L, bytes.data(), static_cast<size_t>(bytes.size()));
}

/// fn(m, group1, group2, ...): m[0] the whole match, m[1]... the groups, m.line the line, m.<name> named groups.
int PushMatch(lua_State *L, const ScriptCall &call)
{
    const QList<QByteArray> &captures = *call.Captures;
    lua_createtable(L, static_cast<int>(captures.size()), 2);
    for (qsizetype i = 0; i < captures.size(); ++i) {
        PushBytes(L, captures[i]);
        lua_rawseti(L, -2, i);
    }
    PushBytes(L, call.Line.isNull() && !captures.isEmpty() ? QByteArrayView(captures[0]) : call.Line);
    lua_setfield(L, -2, "line");
    for (qsizetype group = 0; call.Names && group < call.Names->size() && group < captures.size(); ++group) {
        if (call.Names->at(group).isEmpty())
            continue;
        PushBytes(L, captures[group]);
        lua_setfield(L, -2, call.Names->at(group).constData());
    }
    int count = 1;
    for (qsizetype i = 1; i < captures.size() && count <= MaxExtraArguments && lua_checkstack(L, 1); ++i, ++count)
        PushBytes(L, captures[i]);
    return count;
}

int PushArguments(lua_State *L, const ScriptCall &call)
{
    switch (call.Kind) {
    case ScriptCall::Args::Match: return PushMatch(L, call);
    case ScriptCall::Args::Text: PushBytes(L, call.Text); return 1;
    case ScriptCall::Args::Command: {
        PushBytes(L, call.Text);
        int count = 1;
        for (qsizetype i = 0; i < call.Words->size() && count <= MaxExtraArguments && lua_checkstack(L, 1);
             ++i, ++count)
            PushBytes(L, call.Words->at(i));
        return count;
    }
    default: return 0;
    }
}

/// The values of a /LUA expression, as print shows them.
void EchoResults(lua_State *L, ScriptHost &host, int from)
{
    const int last = lua_gettop(L);
    if (last < from)
        return;
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    for (int i = from; i <= last; ++i) {
        if (i > from)
            luaL_addchar(&b, '\t');
        luaL_tolstring(L, i, nullptr);
        luaL_addvalue(&b);
    }
    luaL_pushresult(&b);
    size_t length = 0;
    const char *text = lua_tolstring(L, -1, &length);
    host.EchoLine(QByteArray(text, static_cast<qsizetype>(length)));
}

/// The protected function of every call: pushes the callee and its arguments, then calls it.
int Trampoline(lua_State *L)
{
    const auto *call = static_cast<const ScriptCall *>(lua_touserdata(L, 1));
    LuaGuard &guard = LuaGuard::From(L);
    guard.SetGrace(true);
    if (call->Kind != ScriptCall::Args::Chunk) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, call->Ref);
        if (call->ReleaseFirst)
            luaL_unref(L, LUA_REGISTRYINDEX, call->Ref);
    }
    const int count = PushArguments(L, *call);
    guard.SetGrace(false);
    guard.CheckCap(L);
    lua_call(L, count, call->EchoResults ? LUA_MULTRET : 0);
    if (call->EchoResults)
        EchoResults(L, *call->Host, 2);
    return 0;
}

/// The message of an error with a short traceback; a stopped call's message is left alone.
int MessageHandler(lua_State *L)
{
    if (LuaGuard::From(L).Stopped() != LuaGuard::Stop::None)
        return 1;
    if (!lua_isstring(L, 1)) {
        if (!luaL_callmeta(L, 1, "__tostring") || lua_type(L, -1) != LUA_TSTRING)
            lua_pushfstring(L, "(error object is a %s value)", luaL_typename(L, 1));
        lua_replace(L, 1);
    }
    lua_settop(L, 1);
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    lua_pushvalue(L, 1);
    luaL_addvalue(&b);
    lua_Debug ar;
    int shown = 0;
    for (int level = 1; shown < TracebackLines && lua_getstack(L, level, &ar); ++level) {
        lua_getinfo(L, "Sln", &ar);
        if (ar.currentline <= 0)
            continue; // a C function
        if (ar.name)
            lua_pushfstring(L, "\n  at %s:%d (%s '%s')", ar.short_src, ar.currentline,
                            *ar.namewhat ? ar.namewhat : "function", ar.name);
        else
            lua_pushfstring(L, "\n  at %s:%d", ar.short_src, ar.currentline);
        luaL_addvalue(&b);
        ++shown;
    }
    luaL_pushresult(&b);
    return 1;
}

int SetUp(lua_State *L)
{
    OpenSandbox(L);
    InstallBoundedPatterns(L);
    InstallGameData(L);
    LuaApi::Install(L);
    return 0;
}

int Panic(lua_State *L)
{
    // Every call into Lua is protected; this is a fault of the engine's own.
    qCCritical(lcScripting) << "unprotected Lua error:" << lua_tostring(L, -1);
    return 0;
}

QByteArray TopText(lua_State *L)
{
    size_t length = 0;
    const char *text = lua_tolstring(L, -1, &length);
    return text ? QByteArray(text, static_cast<qsizetype>(length)) : QByteArray();
}

/// "file:line" at the start of a Lua message, or empty.
QByteArray PlaceOf(const QByteArray &message)
{
    const qsizetype colon = message.indexOf(':');
    qsizetype end = colon + 1;
    while (colon > 0 && end < message.size() && message[end] >= '0' && message[end] <= '9')
        ++end;
    const bool onFirstLine = colon > 0 && !message.left(colon).contains('\n');
    return onFirstLine && end > colon + 1 ? message.left(end) : QByteArray();
}

/// Where an error happened: the place its message starts with, else its first traceback line's.
QByteArray ErrorPlace(const QByteArray &message)
{
    const QByteArray place = PlaceOf(message);
    const qsizetype at = message.indexOf("\n  at ");
    return place.isEmpty() && at >= 0 ? PlaceOf(message.mid(at + 6)) : place;
}

} // namespace

ScriptEngine::Callback ScriptEngine::FromNew(const NewCallback &call)
{
    return {call.Ref, QByteArray(call.Source), call.Line};
}

void ScriptEngine::ErrorText::Set(const QByteArray &text)
{
    qstrncpy(Text, text.constData(), sizeof Text);
}

ScriptEngine::ScriptEngine(ScriptHost &host, QObject *parent)
    : QObject(parent)
    , m_host(host)
{
}

ScriptEngine::~ScriptEngine()
{
    Q_ASSERT(m_depth == 0);
    m_shutdown = true;
    CloseState();
}

bool ScriptEngine::EnsureState()
{
    if (m_state)
        return true;
    if (m_shutdown)
        return false;
    m_guard = std::make_unique<LuaGuard>(m_limits);
    lua_State *L = lua_newstate(LuaGuard::Allocate, m_guard.get());
    if (!L) {
        m_guard.reset();
        return false;
    }
    m_guard->Attach(L, this, &m_host);
    lua_atpanic(L, Panic);
    m_state = L;
    m_ready = true;
    lua_pushcfunction(L, SetUp);
    if (lua_pcall(L, 0, 0, 0) != LUA_OK) {
        qCWarning(lcScripting) << "the script state could not be set up:" << TopText(L);
        CloseState();
        return false;
    }
    return true;
}

void ScriptEngine::DropRegistrations()
{
    for (auto &entry : m_timers) {
        entry.second.Timer->stop();
        entry.second.Timer->deleteLater(); // it may be the timer whose call is running
    }
    m_timers.clear();
    m_triggers.Clear();
    m_aliases.Clear();
    m_triggerCalls.clear();
    m_aliasCalls.clear();
    m_events.clear();
    m_commands.clear();
}

void ScriptEngine::CloseState()
{
    Q_ASSERT(m_depth == 0);
    DropRegistrations();
    if (m_state)
        lua_close(m_state);
    m_state = nullptr;
    m_guard.reset();
    m_ready = false;
}

void ScriptEngine::Shutdown()
{
    if (m_shutdown)
        return;
    m_shutdown = true;
    m_reloadPending = false;
    DropRegistrations();
    if (m_depth > 0 && m_guard)
        m_guard->Abandon(m_state); // closed when the outermost call returns
    else
        CloseState();
}

void ScriptEngine::Load(const QString &folder)
{
    m_folder = ScriptFolder(folder);
    if (m_shutdown)
        return;
    if (m_depth == 0) {
        LoadNow();
        return;
    }
    // A script asked for it (it sent /RELOAD): what runs stops, and the new state is made once no Lua code
    // is on the stack. Nothing of the old scripts runs meanwhile.
    m_ready = false;
    DropRegistrations();
    if (m_guard)
        m_guard->Abandon(m_state);
    ScheduleLoad();
}

void ScriptEngine::ScheduleLoad()
{
    if (m_reloadPending)
        return;
    m_reloadPending = true;
    QTimer::singleShot(0, this, [this] {
        if (!m_reloadPending)
            return;
        m_reloadPending = false;
        if (m_depth > 0)
            ScheduleLoad(); // a nested event loop inside a script's call: wait until it returns
        else if (!m_shutdown)
            LoadNow();
    });
}

void ScriptEngine::LoadNow()
{
    CloseState();
    m_problems.clear();
    m_loaded.clear();
    m_throttle.Clear();
    if (!EnsureState()) {
        Report(QByteArrayLiteral("scripts"), "Scripts could not start: not enough memory for Lua");
        emit Loaded();
        return;
    }
    m_loading = true;
    const QList<QByteArray> scripts = m_folder.Scripts();
    for (const QByteArray &name : scripts) {
        if (!Ready())
            break; // a script closed the session or reloaded while loading
        LoadFile(name);
    }
    m_loading = false;
    qCDebug(lcScripting) << "loaded" << m_loaded.size() << "of" << scripts.size() << "scripts from" << m_folder.Path();
    emit Loaded();
}

void ScriptEngine::LoadFile(const QByteArray &name)
{
    QByteArray error;
    const std::optional<QByteArray> code = m_folder.Read(name, &error);
    if (!code) {
        Report(name, "Script error: " + error);
        return;
    }
    const QByteArray chunkName = '@' + name;
    if (luaL_loadbufferx(m_state, code->constData(), static_cast<size_t>(code->size()), chunkName.constData(), "t")
        != LUA_OK) {
        const QByteArray message = TopText(m_state);
        lua_pop(m_state, 1);
        Report(name, "Script error: " + message, false);
        return;
    }
    ScriptCall call;
    call.Kind = ScriptCall::Args::Chunk;
    if (Invoke(call, Callback {LUA_NOREF, name, 0}, true))
        m_loaded.append(name);
}

void ScriptEngine::RunChunk(const QByteArray &code, const QByteArray &origin)
{
    if (m_shutdown || !EnsureState() || !Ready())
        return;
    const QByteArray chunkName = '=' + origin;
    // An expression echoes its values, as Lua's own prompt does; anything else runs as statements (and
    // what they return is echoed too).
    const QByteArray expression = "return " + code;
    const bool isExpression = luaL_loadbufferx(m_state, expression.constData(), static_cast<size_t>(expression.size()),
                                               chunkName.constData(), "t")
                              == LUA_OK;
    if (!isExpression) {
        lua_pop(m_state, 1);
        if (luaL_loadbufferx(m_state, code.constData(), static_cast<size_t>(code.size()), chunkName.constData(), "t")
            != LUA_OK) {
            const QByteArray message = TopText(m_state);
            lua_pop(m_state, 1);
            Report(origin, "Script error: " + message, false);
            return;
        }
    }
    ScriptCall call;
    call.Kind = ScriptCall::Args::Chunk;
    call.EchoResults = true;
    call.Host = &m_host;
    Invoke(call, Callback {LUA_NOREF, origin, 0}, true);
}

bool ScriptEngine::Invoke(const ScriptCall &call, const Callback &callback, bool chunkOnStack)
{
    if (!Ready() || m_depth >= m_limits.MaxNesting || !lua_checkstack(m_state, 4)) {
        if (chunkOnStack && m_state)
            lua_pop(m_state, 1);
        if (Ready() && m_depth >= m_limits.MaxNesting)
            Report(callback.Source, "Script stopped: " + callback.Origin() + " not run: script calls nested more than "
                                        + QByteArray::number(m_limits.MaxNesting) + " deep");
        return false;
    }
    lua_State *L = m_state;
    const int base = lua_gettop(L) - (chunkOnStack ? 1 : 0);
    lua_pushcfunction(L, MessageHandler);
    lua_pushcfunction(L, Trampoline);
    lua_pushlightuserdata(L, const_cast<ScriptCall *>(&call));
    if (chunkOnStack)
        lua_rotate(L, base + 1, -1); // the chunk goes last, as the trampoline's second argument
    if (++m_depth == 1) {
        m_guard->BeginCall();
        m_stopReported = false;
    }
    const int status = lua_pcall(L, chunkOnStack ? 2 : 1, 0, base + 1);
    const QByteArray report = status == LUA_OK ? QByteArray() : FailureText(status, callback);
    lua_settop(L, base);
    if (m_depth == 1)
        m_guard->EndCall();
    --m_depth;
    if (!report.isEmpty())
        Report(callback.Source, report, !chunkOnStack); // a file or /LUA runs once: its error always shows
    if (m_depth == 0 && m_shutdown)
        CloseState();
    return status == LUA_OK;
}

QByteArray ScriptEngine::FailureText(int status, const Callback &callback)
{
    const LuaGuard::Stop stop = m_guard->Stopped();
    if (stop == LuaGuard::Stop::Closing || m_shutdown)
        return {};
    if (stop == LuaGuard::Stop::TooLong || stop == LuaGuard::Stop::TooDeep) {
        if (m_stopReported)
            return {};
        m_stopReported = true;
        const QByteArray place = m_guard->StopPlace().isEmpty() ? callback.Origin() : m_guard->StopPlace();
        return "Script stopped: " + place
               + (stop == LuaGuard::Stop::TooLong ? " ran too long" : " recursed too deeply (stack overflow)");
    }
    const QByteArray message = TopText(m_state);
    if (status == LUA_ERRMEM) {
        if (m_guard->MemoryRefused())
            return "Script stopped: " + callback.Origin() + " used more than "
                   + QByteArray::number(m_limits.MemoryBytes / (qint64(1024) * 1024)) + " MB of memory";
        return "Script stopped: " + callback.Origin() + ": not enough memory";
    }
    if (status == LUA_ERRERR || message.contains("stack overflow")) {
        const QByteArray place = ErrorPlace(message);
        return "Script stopped: " + (place.isEmpty() ? callback.Origin() : place)
               + " recursed too deeply (stack overflow)";
    }
    return "Script error: " + message;
}

void ScriptEngine::Report(const QByteArray &source, const QByteArray &text, bool limit)
{
    if (m_shutdown)
        return;
    if (m_loading)
        NoteProblem(source, text);
    const QByteArray shown = limit ? m_throttle.Filter(source, text) : text;
    if (!shown.isEmpty())
        m_host.ScriptError(shown);
}

void ScriptEngine::NoteProblem(const QByteArray &source, const QByteArray &text)
{
    QByteArray message = text.split('\n').constFirst();
    for (const QByteArray &prefix : {QByteArray("Script error: "), QByteArray("Script stopped: ")}) {
        if (message.startsWith(prefix))
            message.remove(0, prefix.size());
    }
    Problem problem {source, 0, message};
    const QByteArray place = PlaceOf(message);
    if (!place.isEmpty()) {
        const qsizetype colon = place.lastIndexOf(':');
        problem.File = place.left(colon);
        problem.Line = place.mid(colon + 1).toInt();
        problem.Message = message.mid(place.size());
        while (problem.Message.startsWith(':') || problem.Message.startsWith(' '))
            problem.Message.remove(0, 1);
    }
    m_problems.append(problem);
}

quint64 ScriptEngine::AddPatternHandler(HandleKind kind, QByteArrayView pattern, const NewCallback &call,
                                        ErrorText &error)
{
    if (!Ready()) {
        error.Set("the scripts are being stopped");
        return 0;
    }
    ScriptPatternList &list = kind == HandleKind::Trigger ? m_triggers : m_aliases;
    QByteArray why;
    const quint64 id = list.Add(pattern.toByteArray(), &why);
    if (id == 0) {
        error.Set(why);
        return 0;
    }
    (kind == HandleKind::Trigger ? m_triggerCalls : m_aliasCalls)[id] = FromNew(call);
    return id;
}

quint64 ScriptEngine::AddTimer(double seconds, bool repeat, const NewCallback &call, ErrorText &error)
{
    if (!Ready()) {
        error.Set("the scripts are being stopped");
        return 0;
    }
    if (m_timers.size() >= static_cast<size_t>(MaxTimers)) {
        error.Set("more than " + QByteArray::number(MaxTimers) + " timers");
        return 0;
    }
    auto *timer = new QTimer(this);
    timer->setSingleShot(!repeat);
    timer->setInterval(static_cast<int>(std::llround(seconds * 1000)));
    const quint64 id = m_nextId++;
    connect(timer, &QTimer::timeout, this, [this, id] { FireTimer(id); });
    m_timers[id] = TimerEntry {timer, FromNew(call), repeat};
    timer->start();
    return id;
}

quint64 ScriptEngine::AddEvent(QByteArrayView name, const NewCallback &call)
{
    const quint64 id = m_nextId++;
    if (Ready())
        m_events[id] = Named {name.toByteArray().toLower(), FromNew(call)};
    return id;
}

quint64 ScriptEngine::AddCommand(QByteArrayView given, const NewCallback &call, ErrorText &error)
{
    QByteArray name = given.toByteArray();
    if (name.startsWith('/'))
        name.remove(0, 1);
    const bool plain = !name.isEmpty() && name.size() <= 32 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    });
    if (!plain) {
        error.Set("a command name is 1 to 32 letters, digits, '-' or '_'");
        return 0;
    }
    const QByteArray key = name.toUpper();
    if (m_host.IsClientCommand(key)) {
        error.Set('/' + name + " is one of the client's own commands");
        return 0;
    }
    for (const auto &entry : m_commands) {
        if (entry.second.Name == key) {
            error.Set('/' + name + " is already a command of " + entry.second.Call.Origin());
            return 0;
        }
    }
    if (!Ready()) {
        error.Set("the scripts are being stopped");
        return 0;
    }
    const quint64 id = m_nextId++;
    m_commands[id] = Named {key, FromNew(call)};
    return id;
}

int ScriptEngine::Detach(HandleKind kind, quint64 id)
{
    const auto take = [id](auto &calls, auto refOf) {
        const auto found = calls.find(id);
        if (found == calls.end())
            return LUA_NOREF;
        const int ref = refOf(found->second);
        calls.erase(found);
        return ref;
    };
    const auto callRef = [](const Callback &call) { return call.Ref; };
    const auto namedRef = [](const Named &named) { return named.Call.Ref; };
    switch (kind) {
    case HandleKind::Trigger: m_triggers.Remove(id); return take(m_triggerCalls, callRef);
    case HandleKind::Alias: m_aliases.Remove(id); return take(m_aliasCalls, callRef);
    case HandleKind::Timer:
        return take(m_timers, [](const TimerEntry &entry) {
            entry.Timer->stop();
            entry.Timer->deleteLater(); // it may be the timer whose call is running
            return entry.Call.Ref;
        });
    case HandleKind::Event: return take(m_events, namedRef);
    case HandleKind::Command: return take(m_commands, namedRef);
    }
    return LUA_NOREF;
}

void ScriptEngine::FireTimer(quint64 id)
{
    const auto found = m_timers.find(id);
    if (found == m_timers.end() || !Ready())
        return;
    const Callback callback = found->second.Call;
    ScriptCall call;
    call.Ref = callback.Ref;
    if (!found->second.Repeat) {
        found->second.Timer->deleteLater();
        m_timers.erase(found);
        call.ReleaseFirst = true;
    }
    Invoke(call, callback, false);
}

void ScriptEngine::RunMatched(const Callback &callback, const QList<QByteArray> &names,
                              const QList<QByteArray> &captures, QByteArrayView line)
{
    ScriptCall call;
    call.Kind = ScriptCall::Args::Match;
    call.Ref = callback.Ref;
    call.Captures = &captures;
    call.Names = &names;
    call.Line = line;
    Invoke(call, callback, false);
}

bool ScriptEngine::RunTrigger(int index, const QList<QByteArray> &captures, QByteArrayView line)
{
    const quint64 id = m_triggers.IdAt(index);
    const auto found = m_triggerCalls.find(id);
    if (!Ready() || id == 0 || found == m_triggerCalls.end())
        return false;
    const Callback callback = found->second; // the call may remove it
    RunMatched(callback, m_triggers.GroupNames(index), captures, line);
    return true;
}

int ScriptEngine::MatchLine(QByteArrayView line)
{
    if (!Ready() || m_triggerCalls.empty())
        return 0;
    m_triggers.Compact();
    m_triggers.BeginWalk();
    std::vector<int> candidates;
    m_triggers.Candidates(line, candidates);
    QList<QByteArray> captures;
    int ran = 0;
    for (const int index : candidates) {
        if (!Ready())
            break;
        if (m_triggers.Match(index, line, captures) && RunTrigger(index, captures, line))
            ++ran;
    }
    m_triggers.EndWalk();
    return ran;
}

bool ScriptEngine::RunAlias(const QByteArray &command)
{
    if (!Ready() || m_aliasCalls.empty())
        return false;
    m_aliases.Compact();
    QList<QByteArray> captures;
    for (int index = 0; index < m_aliases.Size(); ++index) {
        const auto found = m_aliasCalls.find(m_aliases.IdAt(index));
        if (found == m_aliasCalls.end() || !m_aliases.Match(index, command, captures))
            continue;
        const Callback callback = found->second;
        RunMatched(callback, m_aliases.GroupNames(index), captures, command);
        return true;
    }
    return false;
}

void ScriptEngine::RaiseEvent(const QByteArray &name)
{
    if (!Ready() || m_events.empty())
        return;
    const QByteArray key = name.toLower();
    std::vector<quint64> ids;
    for (const auto &entry : m_events) {
        if (entry.second.Name == key)
            ids.push_back(entry.first);
    }
    ScriptCall call;
    call.Kind = ScriptCall::Args::Text;
    call.Text = name;
    for (const quint64 id : ids) {
        const auto found = m_events.find(id); // a handler may remove the ones after it
        if (!Ready() || found == m_events.end())
            continue;
        const Callback callback = found->second.Call;
        call.Ref = callback.Ref;
        Invoke(call, callback, false);
    }
}

bool ScriptEngine::HasCommand(const QByteArray &name) const
{
    const QByteArray key = (name.startsWith('/') ? name.mid(1) : name).toUpper();
    return Ready() && std::any_of(m_commands.begin(), m_commands.end(), [&](const auto &entry) {
               return entry.second.Name == key;
           });
}

bool ScriptEngine::RunCommand(const QByteArray &name, const QByteArray &args)
{
    const QByteArray key = (name.startsWith('/') ? name.mid(1) : name).toUpper();
    const auto found = std::find_if(m_commands.begin(), m_commands.end(),
                                    [&](const auto &entry) { return entry.second.Name == key; });
    if (!Ready() || found == m_commands.end())
        return false;
    const Callback callback = found->second.Call;
    QList<QByteArray> words = args.simplified().split(' ');
    words.removeAll(QByteArray());
    ScriptCall call;
    call.Kind = ScriptCall::Args::Command;
    call.Ref = callback.Ref;
    call.Text = args;
    call.Words = &words;
    Invoke(call, callback, false);
    return true;
}

} // namespace wren
