// SPDX-License-Identifier: GPL-3.0-or-later
// Lua's string patterns with a bound on their work: string.find, match, gmatch and gsub for scripts.
//
// A backtracking matcher written after the pattern rules of the Lua 5.4 manual (section "Patterns"):
// classes, sets, the four repetitions, captures and position captures, %b, %f and back references, with
// the same results and error messages as the library's. Every step is counted and charged to the guard,
// and errors unwind to the library function before being raised, so nothing is left half done in C++.
#include "scripting/lua_patterns.h"

#include "scripting/lua_guard.h"

#include <cstdio>
#include <cstring>
#include <lua.hpp>
#include <new>
#include <string.h> // memmem

namespace wren {

namespace {

constexpr int MaxCaptures = 32; // as LUA_MAXCAPTURES
constexpr int MaxDepth = 200; // nested matches before "pattern too complex", as the library
constexpr ptrdiff_t CapUnfinished = -1;
constexpr ptrdiff_t CapPosition = -2;
constexpr qint64 ChargeEvery = 4096;

unsigned char Byte(char c)
{
    return static_cast<unsigned char>(c);
}

bool IsLower(unsigned c)
{
    return c >= 'a' && c <= 'z';
}
bool IsUpper(unsigned c)
{
    return c >= 'A' && c <= 'Z';
}
bool IsAlpha(unsigned c)
{
    return IsLower(c) || IsUpper(c);
}
bool IsDigit(unsigned c)
{
    return c >= '0' && c <= '9';
}
bool IsAlnum(unsigned c)
{
    return IsAlpha(c) || IsDigit(c);
}
bool IsGraph(unsigned c)
{
    return c > 32 && c < 127;
}
bool IsSpace(unsigned c)
{
    return c == ' ' || (c >= 9 && c <= 13);
}
bool IsXDigit(unsigned c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

/// %a, %d, ... (upper case for the complement); any other character stands for itself.
bool ClassMatches(unsigned c, unsigned cl)
{
    bool in = false;
    switch (IsUpper(cl) ? cl - 'A' + 'a' : cl) {
    case 'a': in = IsAlpha(c); break;
    case 'c': in = c < 32 || c == 127; break;
    case 'd': in = IsDigit(c); break;
    case 'g': in = IsGraph(c); break;
    case 'l': in = IsLower(c); break;
    case 'p': in = IsGraph(c) && !IsAlnum(c); break;
    case 's': in = IsSpace(c); break;
    case 'u': in = IsUpper(c); break;
    case 'w': in = IsAlnum(c); break;
    case 'x': in = IsXDigit(c); break;
    case 'z': in = c == 0; break; // the library still takes it
    default: return cl == c;
    }
    return IsUpper(cl) ? !in : in;
}

struct Capture {
    const char *Init;
    ptrdiff_t Length; ///< or CapUnfinished, CapPosition
};

struct MatchState {
    lua_State *L = nullptr;
    const char *Source = nullptr;
    const char *SourceEnd = nullptr;
    const char *PatternEnd = nullptr;
    int Depth = 0;
    int Level = 0;
    Capture Captures[MaxCaptures];
    qint64 Pending = 0; ///< steps not charged yet
    const char *Error = nullptr; ///< a pattern error: its message, raised once the matcher has returned
    char ErrorText[64];
    bool Stopped = false; ///< the call's budget is spent

    bool Failed() const { return Error != nullptr || Stopped; }
};

void Fail(MatchState &ms, const char *message)
{
    if (!ms.Error)
        ms.Error = message;
}

void FailIndex(MatchState &ms, int index)
{
    std::snprintf(ms.ErrorText, sizeof ms.ErrorText, "invalid capture index %%%d", index);
    Fail(ms, ms.ErrorText);
}

bool Step(MatchState &ms)
{
    if (ms.Failed())
        return false;
    if (++ms.Pending < ChargeEvery)
        return true;
    const qint64 steps = ms.Pending;
    ms.Pending = 0;
    if (!LuaGuard::From(ms.L).Charge(ms.L, steps))
        ms.Stopped = true;
    return !ms.Stopped;
}

/// Charges what is left and raises a pattern error or the stop. Call with no C++ object alive.
void Settle(MatchState &ms)
{
    if (ms.Pending > 0 && !ms.Stopped) {
        if (!LuaGuard::From(ms.L).Charge(ms.L, ms.Pending))
            ms.Stopped = true;
        ms.Pending = 0;
    }
    if (ms.Error)
        luaL_error(ms.L, "%s", ms.Error);
    if (ms.Stopped)
        LuaGuard::From(ms.L).RaiseStop(ms.L, 1);
}

/// Just past the single character class at @p p (a character, "%x", "." or a set); null on an error.
const char *ClassEnd(MatchState &ms, const char *p)
{
    const char c = *p++;
    if (c == '%') {
        if (p >= ms.PatternEnd) {
            Fail(ms, "malformed pattern (ends with '%')");
            return nullptr;
        }
        return p + 1;
    }
    if (c != '[')
        return p;
    if (p < ms.PatternEnd && *p == '^')
        ++p;
    // The first member of a set is taken as a member even when it is ']'.
    do {
        if (p >= ms.PatternEnd) {
            Fail(ms, "malformed pattern (missing ']')");
            return nullptr;
        }
        if (*p++ == '%' && p < ms.PatternEnd)
            ++p;
    } while (p >= ms.PatternEnd || *p != ']');
    return p + 1;
}

/// Whether @p c is in the set from @p p ('[') to @p end (its ']').
bool SetMatches(unsigned c, const char *p, const char *end)
{
    bool in = true;
    ++p;
    if (*p == '^') {
        in = false;
        ++p;
    }
    while (p < end) {
        if (*p == '%') {
            if (ClassMatches(c, Byte(p[1])))
                return in;
            p += 2;
        } else if (p[1] == '-' && p + 2 < end) {
            if (Byte(p[0]) <= c && c <= Byte(p[2]))
                return in;
            p += 3;
        } else {
            if (Byte(*p) == c)
                return in;
            ++p;
        }
    }
    return !in;
}

bool SingleMatch(const MatchState &ms, const char *s, const char *p, const char *ep)
{
    if (s >= ms.SourceEnd)
        return false;
    const unsigned c = Byte(*s);
    switch (*p) {
    case '.': return true;
    case '%': return ClassMatches(c, Byte(p[1]));
    case '[': return SetMatches(c, p, ep - 1);
    default: return Byte(*p) == c;
    }
}

const char *Match(MatchState &ms, const char *s, const char *p);

/// Where the matcher goes on (s, p), or its result when this item decided it.
struct Next {
    const char *S;
    const char *P;
    bool Done;
    const char *Result;
};

Next Go(const char *s, const char *p)
{
    return {s, p, false, nullptr};
}

Next Done(const char *result)
{
    return {nullptr, nullptr, true, result};
}

const char *MaxExpand(MatchState &ms, const char *s, const char *p, const char *ep)
{
    ptrdiff_t count = 0;
    while (SingleMatch(ms, s + count, p, ep)) {
        ++count;
        if (!Step(ms))
            return nullptr;
    }
    for (; count >= 0; --count) {
        const char *result = Match(ms, s + count, ep + 1);
        if (result || ms.Failed())
            return result;
    }
    return nullptr;
}

const char *MinExpand(MatchState &ms, const char *s, const char *p, const char *ep)
{
    for (;;) {
        const char *result = Match(ms, s, ep + 1);
        if (result || ms.Failed())
            return result;
        if (!SingleMatch(ms, s, p, ep))
            return nullptr;
        ++s;
    }
}

/// A character class at @p p with its repetition, if any.
Next ClassItem(MatchState &ms, const char *s, const char *p)
{
    const char *ep = ClassEnd(ms, p);
    if (!ep)
        return Done(nullptr);
    const char repeat = ep < ms.PatternEnd ? *ep : '\0';
    if (!SingleMatch(ms, s, p, ep)) {
        if (repeat == '*' || repeat == '?' || repeat == '-')
            return Go(s, ep + 1); // none is enough
        return Done(nullptr);
    }
    switch (repeat) {
    case '?': {
        const char *result = Match(ms, s + 1, ep + 1);
        if (result || ms.Failed())
            return Done(result);
        return Go(s, ep + 1);
    }
    case '+': return Done(MaxExpand(ms, s + 1, p, ep));
    case '*': return Done(MaxExpand(ms, s, p, ep));
    case '-': return Done(MinExpand(ms, s, p, ep));
    default: return Go(s + 1, ep);
    }
}

/// %bxy: @p p just after the "b".
Next Balance(MatchState &ms, const char *s, const char *p)
{
    if (p + 1 >= ms.PatternEnd) {
        Fail(ms, "malformed pattern (missing arguments to '%b')");
        return Done(nullptr);
    }
    if (s >= ms.SourceEnd || *s != p[0])
        return Done(nullptr);
    int open = 1;
    while (++s < ms.SourceEnd) {
        if (!Step(ms))
            return Done(nullptr);
        if (*s == p[1]) {
            if (--open == 0)
                return Go(s + 1, p + 2);
        } else if (*s == p[0]) {
            ++open;
        }
    }
    return Done(nullptr);
}

/// %f[set]: @p p just after the "f".
Next Frontier(MatchState &ms, const char *s, const char *p)
{
    if (p >= ms.PatternEnd || *p != '[') {
        Fail(ms, "missing '[' after '%f' in pattern");
        return Done(nullptr);
    }
    const char *ep = ClassEnd(ms, p);
    if (!ep)
        return Done(nullptr);
    const unsigned before = s == ms.Source ? 0 : Byte(s[-1]);
    const unsigned at = s < ms.SourceEnd ? Byte(*s) : 0;
    if (!SetMatches(before, p, ep - 1) && SetMatches(at, p, ep - 1))
        return Go(s, ep);
    return Done(nullptr);
}

/// %1 to %9: the text a closed capture took, again.
Next BackReference(MatchState &ms, const char *s, const char *p)
{
    const int index = p[1] - '1';
    if (index < 0 || index >= ms.Level || ms.Captures[index].Length == CapUnfinished) {
        FailIndex(ms, index + 1);
        return Done(nullptr);
    }
    const ptrdiff_t length = ms.Captures[index].Length;
    if (length >= 0 && ms.SourceEnd - s >= length
        && std::memcmp(ms.Captures[index].Init, s, static_cast<size_t>(length)) == 0)
        return Go(s + length, p + 2);
    return Done(nullptr);
}

Next EscapeItem(MatchState &ms, const char *s, const char *p)
{
    const char kind = p + 1 < ms.PatternEnd ? p[1] : '\0';
    if (kind == 'b')
        return Balance(ms, s, p + 2);
    if (kind == 'f')
        return Frontier(ms, s, p + 2);
    if (p + 1 < ms.PatternEnd && IsDigit(Byte(kind)))
        return BackReference(ms, s, p);
    return ClassItem(ms, s, p);
}

const char *StartCapture(MatchState &ms, const char *s, const char *p, ptrdiff_t what)
{
    if (ms.Level >= MaxCaptures) {
        Fail(ms, "too many captures");
        return nullptr;
    }
    ms.Captures[ms.Level] = {s, what};
    ++ms.Level;
    const char *result = Match(ms, s, p);
    if (!result)
        --ms.Level;
    return result;
}

const char *EndCapture(MatchState &ms, const char *s, const char *p)
{
    int open = ms.Level - 1;
    while (open >= 0 && ms.Captures[open].Length != CapUnfinished)
        --open;
    if (open < 0) {
        Fail(ms, "invalid pattern capture");
        return nullptr;
    }
    ms.Captures[open].Length = s - ms.Captures[open].Init;
    const char *result = Match(ms, s, p);
    if (!result)
        ms.Captures[open].Length = CapUnfinished;
    return result;
}

const char *MatchHere(MatchState &ms, const char *s, const char *p)
{
    for (;;) {
        if (!Step(ms))
            return nullptr;
        if (p == ms.PatternEnd)
            return s;
        Next next;
        switch (*p) {
        case '(':
            if (p + 1 < ms.PatternEnd && p[1] == ')')
                return StartCapture(ms, s, p + 2, CapPosition);
            return StartCapture(ms, s, p + 1, CapUnfinished);
        case ')': return EndCapture(ms, s, p + 1);
        case '$':
            if (p + 1 == ms.PatternEnd)
                return s == ms.SourceEnd ? s : nullptr;
            next = ClassItem(ms, s, p);
            break;
        case '%': next = EscapeItem(ms, s, p); break;
        default: next = ClassItem(ms, s, p); break;
        }
        if (next.Done)
            return next.Result;
        s = next.S;
        p = next.P;
    }
}

/// The end of the match of @p p at @p s, or null.
const char *Match(MatchState &ms, const char *s, const char *p)
{
    if (ms.Depth >= MaxDepth) {
        Fail(ms, "pattern too complex");
        return nullptr;
    }
    ++ms.Depth;
    const char *result = MatchHere(ms, s, p);
    --ms.Depth;
    return result;
}

void Prepare(MatchState &ms, lua_State *L, const char *s, size_t ls, const char *p, size_t lp)
{
    ms.L = L;
    ms.Source = s;
    ms.SourceEnd = s + ls;
    ms.PatternEnd = p + lp;
}

void Restart(MatchState &ms)
{
    ms.Level = 0;
    ms.Depth = 0;
}

void PushCapture(MatchState &ms, int i, const char *s, const char *e)
{
    if (i >= ms.Level) {
        if (i != 0)
            luaL_error(ms.L, "invalid capture index %%%d", i + 1);
        lua_pushlstring(ms.L, s, static_cast<size_t>(e - s));
        return;
    }
    const ptrdiff_t length = ms.Captures[i].Length;
    if (length == CapUnfinished)
        luaL_error(ms.L, "unfinished capture");
    if (length == CapPosition)
        lua_pushinteger(ms.L, ms.Captures[i].Init - ms.Source + 1);
    else
        lua_pushlstring(ms.L, ms.Captures[i].Init, static_cast<size_t>(length));
}

/// The captures, or the whole match when the pattern has none and @p s is given.
int PushCaptures(MatchState &ms, const char *s, const char *e)
{
    const int count = (ms.Level == 0 && s) ? 1 : ms.Level;
    luaL_checkstack(ms.L, count, "too many captures");
    for (int i = 0; i < count; ++i)
        PushCapture(ms, i, s, e);
    return count;
}

/// A string index as the library reads it: negative from the end, clamped to 1.
size_t StartIndex(lua_Integer pos, size_t length)
{
    if (pos > 0)
        return static_cast<size_t>(pos);
    if (pos == 0 || pos < -static_cast<lua_Integer>(length))
        return 1;
    return length + static_cast<size_t>(pos) + 1;
}

bool NoSpecials(const char *p, size_t length)
{
    static constexpr char Specials[] = "^$*+?.([%-";
    for (size_t i = 0; i < length; ++i) {
        if (std::memchr(Specials, p[i], sizeof Specials - 1))
            return false;
    }
    return true;
}

int PlainFind(lua_State *L, const char *s, size_t ls, size_t init, const char *p, size_t lp)
{
    const void *at = lp == 0 ? s + init : memmem(s + init, ls - init, p, lp);
    if (!at) {
        luaL_pushfail(L);
        return 1;
    }
    const auto offset = static_cast<lua_Integer>(static_cast<const char *>(at) - s);
    lua_pushinteger(L, offset + 1);
    lua_pushinteger(L, offset + static_cast<lua_Integer>(lp));
    return 2;
}

int FindOrMatch(lua_State *L, bool find)
{
    size_t ls = 0, lp = 0;
    const char *s = luaL_checklstring(L, 1, &ls);
    const char *p = luaL_checklstring(L, 2, &lp);
    const size_t init = StartIndex(luaL_optinteger(L, 3, 1), ls) - 1;
    if (init > ls) {
        luaL_pushfail(L);
        return 1;
    }
    if (find && (lua_toboolean(L, 4) || NoSpecials(p, lp)))
        return PlainFind(L, s, ls, init, p, lp);
    MatchState ms;
    Prepare(ms, L, s, ls, p, lp);
    const bool anchor = lp > 0 && *p == '^';
    if (anchor)
        ++p;
    const char *s1 = s + init;
    do {
        Restart(ms);
        const char *e = Match(ms, s1, p);
        Settle(ms);
        if (e && find) {
            lua_pushinteger(L, s1 - s + 1);
            lua_pushinteger(L, e - s);
            return PushCaptures(ms, nullptr, nullptr) + 2;
        }
        if (e)
            return PushCaptures(ms, s1, e);
    } while (s1++ < ms.SourceEnd && !anchor);
    luaL_pushfail(L);
    return 1;
}

int Find(lua_State *L)
{
    return FindOrMatch(L, true);
}

int MatchFunction(lua_State *L)
{
    return FindOrMatch(L, false);
}

struct GMatchState {
    const char *Next;
    const char *Pattern;
    const char *LastMatch;
    MatchState State;
};

int GMatchNext(lua_State *L)
{
    auto *gm = static_cast<GMatchState *>(lua_touserdata(L, lua_upvalueindex(3)));
    gm->State.L = L;
    for (const char *src = gm->Next; src <= gm->State.SourceEnd; ++src) {
        Restart(gm->State);
        const char *e = Match(gm->State, src, gm->Pattern);
        Settle(gm->State);
        if (e && e != gm->LastMatch) {
            gm->Next = gm->LastMatch = e;
            return PushCaptures(gm->State, src, e);
        }
    }
    return 0;
}

int GMatch(lua_State *L)
{
    size_t ls = 0, lp = 0;
    const char *s = luaL_checklstring(L, 1, &ls);
    const char *p = luaL_checklstring(L, 2, &lp);
    size_t init = StartIndex(luaL_optinteger(L, 3, 1), ls) - 1;
    if (init > ls)
        init = ls + 1; // past the end: no match at all
    lua_settop(L, 2);
    auto *gm = static_cast<GMatchState *>(lua_newuserdatauv(L, sizeof(GMatchState), 0));
    new (gm) GMatchState {s + init, p, nullptr, {}};
    Prepare(gm->State, L, s, ls, p, lp);
    lua_pushcclosure(L, GMatchNext, 3); // the subject and the pattern stay alive with the iterator
    return 1;
}

/// A replacement string with its %0 to %9 and %%.
void AddReplacement(MatchState &ms, luaL_Buffer &b, const char *s, const char *e)
{
    lua_State *L = ms.L;
    size_t length = 0;
    const char *p = lua_tolstring(L, 3, &length);
    const char *end = p + length;
    while (p < end) {
        const auto *percent = static_cast<const char *>(std::memchr(p, '%', static_cast<size_t>(end - p)));
        if (!percent) {
            luaL_addlstring(&b, p, static_cast<size_t>(end - p));
            return;
        }
        luaL_addlstring(&b, p, static_cast<size_t>(percent - p));
        p = percent + 1;
        if (p < end && *p == '%') {
            luaL_addchar(&b, '%');
        } else if (p < end && *p == '0') {
            luaL_addlstring(&b, s, static_cast<size_t>(e - s));
        } else if (p < end && IsDigit(Byte(*p))) {
            PushCapture(ms, *p - '1', s, e);
            luaL_tolstring(L, -1, nullptr);
            lua_remove(L, -2);
            luaL_addvalue(&b);
        } else {
            luaL_error(L, "invalid use of '%c' in replacement string", '%');
        }
        ++p;
    }
}

/// Adds the replacement of one match; false when the match stays as it was.
bool AddValue(MatchState &ms, luaL_Buffer &b, const char *s, const char *e, int kind)
{
    lua_State *L = ms.L;
    if (kind == LUA_TFUNCTION) {
        lua_pushvalue(L, 3);
        const int count = PushCaptures(ms, s, e);
        lua_call(L, count, 1);
    } else if (kind == LUA_TTABLE) {
        PushCapture(ms, 0, s, e);
        lua_gettable(L, 3);
    } else {
        AddReplacement(ms, b, s, e);
        return true;
    }
    if (!lua_toboolean(L, -1)) {
        lua_pop(L, 1);
        luaL_addlstring(&b, s, static_cast<size_t>(e - s));
        return false;
    }
    if (!lua_isstring(L, -1))
        return luaL_error(L, "invalid replacement value (a %s)", luaL_typename(L, -1)) != 0;
    luaL_addvalue(&b);
    return true;
}

int GSub(lua_State *L)
{
    size_t ls = 0, lp = 0;
    const char *src = luaL_checklstring(L, 1, &ls);
    const char *p = luaL_checklstring(L, 2, &lp);
    const int kind = lua_type(L, 3);
    const lua_Integer most = luaL_optinteger(L, 4, static_cast<lua_Integer>(ls) + 1);
    luaL_argexpected(L, kind == LUA_TNUMBER || kind == LUA_TSTRING || kind == LUA_TFUNCTION || kind == LUA_TTABLE, 3,
                     "string/function/table");
    MatchState ms;
    Prepare(ms, L, src, ls, p, lp);
    const bool anchor = lp > 0 && *p == '^';
    if (anchor)
        ++p;
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    const char *lastMatch = nullptr;
    lua_Integer count = 0;
    bool changed = false;
    while (count < most) {
        Restart(ms);
        const char *e = Match(ms, src, p);
        Settle(ms);
        if (e && e != lastMatch) {
            ++count;
            changed = AddValue(ms, b, src, e, kind) || changed;
            src = lastMatch = e;
        } else if (src < ms.SourceEnd) {
            luaL_addchar(&b, *src++);
        } else {
            break;
        }
        if (anchor)
            break;
    }
    if (!changed) {
        lua_pushvalue(L, 1);
    } else {
        luaL_addlstring(&b, src, static_cast<size_t>(ms.SourceEnd - src));
        luaL_pushresult(&b);
    }
    lua_pushinteger(L, count);
    return 2;
}

} // namespace

void InstallBoundedPatterns(lua_State *L)
{
    static constexpr luaL_Reg Functions[]
        = {{"find", Find}, {"match", MatchFunction}, {"gmatch", GMatch}, {"gsub", GSub}, {nullptr, nullptr}};
    lua_getglobal(L, "string");
    luaL_setfuncs(L, Functions, 0);
    lua_pop(L, 1);
}

} // namespace wren
