// SPDX-License-Identifier: GPL-3.0-or-later
// What a script may not do: reach the system, load binary code, take all the memory, run forever, recurse
// without end, or backtrack a pattern for hours. Each is refused with one clear line, and the state goes on.
#include "fake_host.h"

#include <gtest/gtest.h>

using namespace wren;
using namespace wren::test;

namespace {

struct RefusalCase {
    const char *Name;
    QByteArray Code;
    QByteArray Message; ///< in the one error line
};

void PrintTo(const RefusalCase &c, std::ostream *os)
{
    *os << c.Name;
}

class Refused : public ::testing::TestWithParam<RefusalCase>
{
protected:
    FakeHost host;
    ScriptEngine engine {host};
};

TEST_P(Refused, WithAClearErrorAndTheStateGoesOn)
{
    engine.RunChunk(GetParam().Code);
    ASSERT_EQ(host.Errors.size(), 1);
    EXPECT_TRUE(host.Errors[0].contains(GetParam().Message)) << host.Errors[0].constData();
    EXPECT_TRUE(host.Errors[0].startsWith("Script error: /LUA:1: ")) << host.Errors[0].constData();
    engine.RunChunk("1 + 1");
    EXPECT_EQ(host.Echoed, QList<QByteArray> {"2"});
}

INSTANTIATE_TEST_SUITE_P(
    Sandbox, Refused,
    ::testing::Values(
        RefusalCase {"OsExecute", "os.execute('touch /tmp/wren-owned')", "os.execute is not available in scripts"},
        RefusalCase {"OsGetenv", "os.getenv('HOME')", "os.getenv is not available in scripts"},
        RefusalCase {"OsRemove", "os.remove('x')", "os.remove is not available in scripts"},
        RefusalCase {"OsExit", "os.exit(1)", "os.exit is not available in scripts"},
        RefusalCase {"IoOpen", "io.open('/etc/passwd')", "io.open is not available in scripts (files.read"},
        RefusalCase {"IoPopen", "io.popen('ls')", "io.popen is not available in scripts"},
        RefusalCase {"Require", "require('socket')", "require is not available in scripts"},
        RefusalCase {"PackageLoadlib", "package.loadlib('libc.so.6', 'system')", "package.loadlib is not available"},
        RefusalCase {"PackageCpath", "return package.cpath", "package.cpath is not available"},
        RefusalCase {"Debug", "debug.sethook()", "debug.sethook is not available in scripts"},
        RefusalCase {"Dofile", "dofile('/etc/passwd')", "dofile is not available in scripts"},
        RefusalCase {"Loadfile", "loadfile('/etc/passwd')", "loadfile is not available in scripts"},
        RefusalCase {"StringDump", "load(string.dump(function() end))", "string.dump is not available in scripts"},
        RefusalCase {"BinaryChunk", "local f, e = load('\\27LuaT\\0\\25\\147') assert(f, e)",
                     "attempt to load a binary chunk (mode is 't')"},
        RefusalCase {"BinaryModeAsked", "local f, e = load('\\27Lua', 'x', 'b') assert(f, e)",
                     "attempt to load a binary chunk"},
        RefusalCase {"Finalizer", "setmetatable({}, {__gc = function() while true do end end})",
                     "__gc finalizers are not available in scripts"},
        RefusalCase {"StoppingTheCollector", "collectgarbage('stop')",
                     "collectgarbage(\"stop\") is not available in scripts"},
        RefusalCase {"Warn", "warn('@on')", "attempt to call a nil value (global 'warn')"},
        RefusalCase {"CoroutineClose", "coroutine.close(coroutine.create(print))",
                     "coroutine.close is not available in scripts"},
        RefusalCase {"WrappedCoroutineError", "coroutine.wrap(function() error('inner') end)()", "/LUA:1: inner"},
        RefusalCase {"HugeRepeat", "string.rep('x', 2^31)", "resulting string too large"},
        RefusalCase {"DeadWrappedCoroutine", "local f = coroutine.wrap(function() end) f() f()",
                     "cannot resume dead coroutine"}),
    [](const auto &info) { return std::string(info.param.Name); });

struct AllowedCase {
    const char *Name;
    QByteArray Code;
    QByteArray Expected;
};

void PrintTo(const AllowedCase &c, std::ostream *os)
{
    *os << c.Name;
}

class Allowed : public ::testing::TestWithParam<AllowedCase>
{
};

TEST_P(Allowed, TheSafeLibraryWorks)
{
    FakeHost host;
    ScriptEngine engine(host);
    engine.RunChunk(GetParam().Code);
    EXPECT_TRUE(host.Errors.isEmpty()) << host.Errors.value(0).constData();
    EXPECT_EQ(host.Echoed.value(0), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sandbox, Allowed,
    ::testing::Values(
        AllowedCase {"OsTime", "math.type(os.time())", "integer"},
        AllowedCase {"OsDate", "os.date('!%Y-%m-%d', 0)", "1970-01-01"},
        AllowedCase {"OsClock", "type(os.clock())", "number"},
        AllowedCase {"StringFormat", "string.format('%5.1f|%q', 3.14159, 'a\\n')", "  3.1|\"a\\\n\""},
        AllowedCase {"TableAndMath", "table.concat({math.floor(2.5), math.max(1, 3)}, ',')", "2,3"},
        AllowedCase {"Utf8", "utf8.char(233, 8364)", "\xC3\xA9\xE2\x82\xAC"},
        AllowedCase {"Coroutine",
                     "local co = coroutine.wrap(function() coroutine.yield(1) return 2 end) return co() + co()", "3"},
        AllowedCase {"LoadText", "load('return 6 * 7')()", "42"},
        AllowedCase {"LoadWithEnvironment", "load('return x', 'chunk', 't', {x = 'mine'})()", "mine"},
        AllowedCase {"PcallCatchesErrors", "pcall(error, 'caught')", "false\tcaught"},
        AllowedCase {"XpcallHandlerRuns",
                     "xpcall(function(a, b) error(a .. b, 0) end, function(m) return 'handled ' .. m end, 'x', 'y')",
                     "false\thandled xy"},
        AllowedCase {"XpcallResults", "xpcall(function(a) return a, 2 end, print, 1)", "true\t1\t2"},
        AllowedCase {"YieldInsideXpcall",
                     "local co = coroutine.wrap(function() return xpcall(function() return coroutine.yield(1) + 1 end, "
                     "print) end) "
                     "return co(), co(41)",
                     "1\ttrue\t42"},
        AllowedCase {"StringMethods", "('Hello'):upper():rep(2, '-')", "HELLO-HELLO"},
        AllowedCase {"Metatables", "setmetatable({}, {__index = function() return 'mt' end}).x", "mt"},
        AllowedCase {"Collect", "collectgarbage('count') > 0", "true"}),
    [](const auto &info) { return std::string(info.param.Name); });

struct StopCase {
    const char *Name;
    QByteArray Code;
    QByteArray Line; ///< the whole error line
};

void PrintTo(const StopCase &c, std::ostream *os)
{
    *os << c.Name;
}

class Stopped : public ::testing::TestWithParam<StopCase>
{
protected:
    FakeHost host;
    ScriptEngine engine {host};
};

TEST_P(Stopped, WithOneLineNamingTheScript)
{
    engine.RunChunk(GetParam().Code);
    ASSERT_EQ(host.Errors.size(), 1) << host.Errors.join("\n---\n").constData();
    EXPECT_EQ(host.Errors[0].split('\n')[0], GetParam().Line);
    // The state still works, and what the script held is freed again.
    host.Echoed.clear();
    engine.RunChunk("collectgarbage() return 'alive'");
    EXPECT_EQ(host.Echoed, QList<QByteArray> {"alive"});
    EXPECT_LT(engine.MemoryInUse(), 8 * 1024 * 1024);
}

INSTANTIATE_TEST_SUITE_P(
    Sandbox, Stopped,
    ::testing::Values(
        StopCase {"EndlessLoop", "while true do end", "Script stopped: /LUA:1 ran too long"},
        StopCase {"LoopOnItsThirdLine", "local n = 0\nwhile true do\n  n = n + 1\nend",
                  "Script stopped: /LUA:3 ran too long"},
        StopCase {"PcallCannotCatchTheStop", "while true do pcall(function() while true do end end) end",
                  "Script stopped: /LUA:1 ran too long"},
        StopCase {"ErrorHandlerCannotEither",
                  "while true do xpcall(function() while true do end end, function() while true do end end) end",
                  "Script stopped: /LUA:1 ran too long"},
        StopCase {"InACoroutine", "coroutine.wrap(function() while true do end end)()",
                  "Script stopped: /LUA:1 ran too long"},
        StopCase {"ResumedAgainAndAgain",
                  "local co = coroutine.create(function() while true do end end)\n"
                  "while true do coroutine.resume(co) end",
                  "Script stopped: /LUA:1 ran too long"},
        StopCase {"CloseMethodsOfAStoppedCoroutine",
                  "local mt = {} local obj = setmetatable({}, mt) mt.__close = function() while true do end end "
                  "coroutine.wrap(function() local x <close> = obj while true do end end)()",
                  "Script stopped: /LUA:1 ran too long"},
        StopCase {"CloseMethodsOfTheCall",
                  "local mt = {} local obj = setmetatable({}, mt) mt.__close = function() while true do end end "
                  "local x <close> = obj while true do end",
                  "Script stopped: /LUA:1 ran too long"},
        StopCase {"BacktrackingPattern", "local s = ('a'):rep(40) return s:find(('a?'):rep(40) .. s .. 'b')",
                  "Script stopped: /LUA:1 ran too long"},
        StopCase {"LazyPatternsOnALongLine", "return (('a'):rep(100000)):find('.-.-.-.-b')",
                  "Script stopped: /LUA:1 ran too long"},
        StopCase {"PatternInALoop", "for i = 1, 1e9 do ('x'):rep(60):find('x-y') end",
                  "Script stopped: /LUA:1 ran too long"},
        StopCase {"BigCopiesInALoop", "for i = 1, 1e9 do local s = ('x'):rep(4e6) s = s:upper() end",
                  "Script stopped: /LUA:1 ran too long"},
        StopCase {"HugeString", "return string.rep('x', 2^30)", "Script stopped: /LUA used more than 64 MB of memory"},
        StopCase {"HugeConcatenation", "local s = ('x'):rep(2^25) return s .. s .. s",
                  "Script stopped: /LUA used more than 64 MB of memory"},
        StopCase {"Recursion", "local function f() return 1 + f() end\nf()",
                  "Script stopped: /LUA:1 recursed too deeply (stack overflow)"},
        StopCase {"MetamethodRecursion",
                  "local t = setmetatable({}, {__index = function(t, k) return t[k] end}) return t.x",
                  "Script stopped: /LUA:1 recursed too deeply (stack overflow)"},
        StopCase {"RecursionThroughGsub", "local function g(s) return (s:gsub('.', g)) end return g('abc')",
                  "Script stopped: /LUA:1 recursed too deeply (stack overflow)"}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(Sandbox, AGrowingTableStopsAtTheWorldsCap)
{
    FakeHost host;
    ScriptEngine engine(host);
    ScriptLimits limits;
    limits.MemoryBytes = 16 * 1024 * 1024;
    limits.Milliseconds = 60'000; // the cap, not the clock, stops it however slow the machine
    engine.SetLimits(limits);
    engine.RunChunk("local t = {} for i = 1, 1e9 do t[i] = ('x'):rep(1000) .. i end");
    ASSERT_EQ(host.Errors.size(), 1);
    EXPECT_EQ(host.Errors[0], "Script stopped: /LUA used more than 16 MB of memory");
    EXPECT_LE(engine.MemoryInUse(), limits.MemoryBytes);
}

TEST(Sandbox, ACaughtMemoryErrorLeavesTheCapInPlace)
{
    FakeHost host;
    ScriptEngine engine(host);
    ScriptLimits limits;
    limits.MemoryBytes = 16 * 1024 * 1024;
    engine.SetLimits(limits);
    engine.RunChunk("ok, message = pcall(string.rep, 'x', 64 * 1024 * 1024) return ok, message");
    EXPECT_EQ(host.Echoed, QList<QByteArray> {"false\tnot enough memory"});
    EXPECT_TRUE(host.Errors.isEmpty());
    EXPECT_LT(engine.MemoryInUse(), limits.MemoryBytes);
}

TEST(Sandbox, TheBudgetIsForEachCallNotForTheSession)
{
    // Many calls that each do a little never add up to a stop.
    FakeHost host;
    ScriptEngine engine(host);
    engine.RunChunk("trigger('tick', function() local s = 0 for i = 1, 20000 do s = s + i end end)");
    for (int i = 0; i < 500; ++i)
        engine.MatchLine("tick");
    EXPECT_TRUE(host.Errors.isEmpty()) << host.Errors.value(0).constData();
}

TEST(Sandbox, ACallbackThatRunsTooLongIsNamedByItsFileAndLine)
{
    FakeHost host;
    ScriptsDir dir;
    dir.Write("slow.lua", "trigger('spin', function()\n  local x = 0\n  repeat x = x + 1 until false\nend)\n");
    ScriptEngine engine(host);
    engine.Load(dir.Path());
    EXPECT_EQ(engine.MatchLine("spin"), 1);
    ASSERT_EQ(host.Errors.size(), 1);
    EXPECT_EQ(host.Errors[0], "Script stopped: slow.lua:3 ran too long");
}

} // namespace
