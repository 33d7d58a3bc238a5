// SPDX-License-Identifier: GPL-3.0-or-later
// The scripting contract, table by table: loading, /LUA, sending and showing, triggers, aliases, events,
// commands, variables, game data, the map, sound, files and timers, against a host that records each call.
#include "fake_host.h"
#include "gamedata/msdp.h"
#include "support/test_support.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace wren;
using namespace wren::test;

namespace {

QJsonValue Json(const char *text)
{
    return QJsonDocument::fromJson(QByteArray("[") + text + "]").array().at(0);
}

class Scripts : public ::testing::Test
{
protected:
    FakeHost host;
    ScriptsDir dir;
    ScriptEngine engine {host};

    void Load(std::initializer_list<std::pair<QByteArray, QByteArray>> files)
    {
        for (const auto &[name, text] : files)
            dir.Write(name, text);
        engine.Load(dir.Path());
    }
    /// Runs @p code as /LUA does and returns the first line it echoed.
    QByteArray Eval(const QByteArray &code)
    {
        host.Echoed.clear();
        engine.RunChunk(code);
        return host.Echoed.value(0);
    }
};

TEST_F(Scripts, EveryLuaFileLoadsInNameOrder)
{
    Load({{"b.lua", "order = (order or '') .. 'b'"},
          {"a.lua", "order = (order or '') .. 'a'"},
          {"notes.txt", "order = 'not a script'"}});
    EXPECT_EQ(Eval("order"), "ab");
    EXPECT_EQ(engine.LoadedScripts(), (QList<QByteArray> {"a.lua", "b.lua"}));
    EXPECT_TRUE(engine.LoadProblems().isEmpty());
    EXPECT_TRUE(host.Errors.isEmpty());
}

TEST_F(Scripts, ASyntaxErrorIsReportedWithItsLineAndTheOtherFilesStillLoad)
{
    Load({{"a.lua", "x = 1\ny = = 2\n"}, {"b.lua", "loadedB = true"}, {"c.lua", "local t\nprint(t.field)\n"}});
    EXPECT_EQ(Eval("loadedB"), "true");
    EXPECT_EQ(engine.LoadedScripts(), QList<QByteArray> {"b.lua"});
    ASSERT_EQ(engine.LoadProblems().size(), 2);
    EXPECT_EQ(engine.LoadProblems()[0].File, "a.lua");
    EXPECT_EQ(engine.LoadProblems()[0].Line, 2);
    EXPECT_TRUE(engine.LoadProblems()[0].Message.contains("unexpected symbol"))
        << engine.LoadProblems()[0].Message.constData();
    EXPECT_EQ(engine.LoadProblems()[1].File, "c.lua");
    EXPECT_EQ(engine.LoadProblems()[1].Line, 2);
    EXPECT_TRUE(engine.LoadProblems()[1].Message.contains("attempt to index a nil value"));
    ASSERT_EQ(host.Errors.size(), 2);
    EXPECT_TRUE(host.Errors[0].startsWith("Script error: a.lua:2:")) << host.Errors[0].constData();
    EXPECT_TRUE(host.Errors[1].startsWith("Script error: c.lua:2:")) << host.Errors[1].constData();
    EXPECT_TRUE(host.Errors[1].contains("\n  at c.lua:2")) << host.Errors[1].constData();
}

TEST_F(Scripts, ReloadDropsEverythingTheOldScriptsRegistered)
{
    Load({{"all.lua", R"(
        x = 1
        trigger('^hello', function() echo('trigger') end)
        alias('^go$', function() echo('alias') end)
        every(60, function() end)
        on('On Connect', function() echo('event') end)
        command('hi', function() echo('command') end)
    )"}});
    EXPECT_EQ(engine.TriggerPatterns().size(), 1u);
    EXPECT_EQ(engine.TimerCount(), 1);
    EXPECT_TRUE(engine.HasCommand("hi"));

    dir.Write("all.lua", "y = 2");
    engine.Reload();
    host.Echoed.clear();
    EXPECT_TRUE(engine.TriggerPatterns().empty());
    EXPECT_EQ(engine.MatchLine("hello"), 0);
    EXPECT_FALSE(engine.RunAlias("go"));
    EXPECT_EQ(engine.TimerCount(), 0);
    EXPECT_FALSE(engine.HasCommand("hi"));
    EXPECT_FALSE(engine.RunCommand("hi", {}));
    engine.RaiseEvent("On Connect");
    EXPECT_TRUE(host.Echoed.isEmpty());
    EXPECT_EQ(Eval("x"), "nil");
    EXPECT_EQ(Eval("y"), "2");
}

TEST_F(Scripts, LuaRunsStatementsAndEchoesExpressions)
{
    EXPECT_EQ(Eval("1 + 1"), "2");
    EXPECT_EQ(Eval("1, 'a', nil"), "1\ta\tnil");
    EXPECT_EQ(Eval("x = 5"), "");
    EXPECT_EQ(Eval("x"), "5");
    EXPECT_EQ(Eval("for i = 1, 2 do echo('line ' .. i) end"), "line 1");
    EXPECT_TRUE(host.Errors.isEmpty());
    engine.RunChunk("x = = 1");
    ASSERT_EQ(host.Errors.size(), 1);
    EXPECT_TRUE(host.Errors[0].startsWith("Script error: /LUA:1:")) << host.Errors[0].constData();
    engine.RunChunk("error('boom')", "/LUA");
    ASSERT_EQ(host.Errors.size(), 2);
    EXPECT_TRUE(host.Errors[1].startsWith("Script error: /LUA:1: boom")) << host.Errors[1].constData();
}

struct OutputCase {
    const char *Name;
    QByteArray Code;
    QList<QByteArray> FakeHost::*Record;
    QList<QByteArray> Expected;
};

void PrintTo(const OutputCase &c, std::ostream *os)
{
    *os << c.Name;
}

class ScriptOutput : public Scripts, public ::testing::WithParamInterface<OutputCase>
{
};

TEST_P(ScriptOutput, ReachesTheHostUnchanged)
{
    engine.RunChunk(GetParam().Code);
    EXPECT_TRUE(host.Errors.isEmpty()) << host.Errors.value(0).constData();
    EXPECT_EQ(host.*GetParam().Record, GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Contract, ScriptOutput,
    ::testing::Values(
        OutputCase {"SendGoesThroughThePipeline", "send('n;look')", &FakeHost::Sent, {"n;look"}},
        OutputCase {"SendRawGoesAsOneLine", "sendRaw('say a;b')", &FakeHost::Raw, {"say a;b"}},
        OutputCase {"EchoShowsALine", "echo('hello')", &FakeHost::Echoed, {"hello"}},
        OutputCase {"BytesStayBytes", "echo('\\xff\\0x\\xe9')", &FakeHost::Echoed, {test::B("\xff\0x\xe9")}},
        OutputCase {"PrintJoinsWithTabs", "print(1, nil, true, 'x')", &FakeHost::Echoed, {"1\tnil\ttrue\tx"}},
        OutputCase {"NumbersAreText", "send(42)", &FakeHost::Sent, {"42"}},
        OutputCase {"PlayNamesTheFile", "play('bell.wav')", &FakeHost::Played, {"bell.wav"}}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST_F(Scripts, TriggersGetTheWholeMatchAndTheGroupsAsATableAndAsArguments)
{
    engine.RunChunk(R"(
        trigger("^(\\w+) tells you '(.*)'$", function(m, who, what)
            echo(m[0] .. '|' .. m[1] .. '|' .. who .. '|' .. what .. '|' .. m.line .. '|' .. #m)
        end)
        trigger('(?<hp>\\d+)hp (x)?', function(m) echo('hp=' .. m.hp .. ' x=[' .. m[2] .. ']') end)
    )");
    ASSERT_TRUE(host.Errors.isEmpty()) << host.Errors.value(0).constData();
    EXPECT_EQ(engine.MatchLine("Bob tells you 'hi, there'"), 1);
    EXPECT_EQ(engine.MatchLine("<100hp 50mp>"), 1);
    EXPECT_EQ(engine.MatchLine("nothing here"), 0);
    EXPECT_EQ(
        host.Echoed,
        (QList<QByteArray> {"Bob tells you 'hi, there'|Bob|Bob|hi, there|Bob tells you 'hi, there'|2", "hp=100 x=[]"}));
}

TEST_F(Scripts, TriggersRunInTheOrderTheyWereAddedAndCanBeRemoved)
{
    engine.RunChunk(R"(
        first = trigger('a', function() echo('first') end)
        trigger('a', function() echo('second'); untrigger(first); trigger('a', function() echo('late') end) end)
    )");
    EXPECT_EQ(engine.MatchLine("a"), 2);
    EXPECT_EQ(host.Echoed, (QList<QByteArray> {"first", "second"})); // one added during the walk waits
    host.Echoed.clear();
    EXPECT_EQ(engine.MatchLine("a"), 2);
    EXPECT_EQ(host.Echoed, (QList<QByteArray> {"second", "late"}));
    EXPECT_EQ(Eval("first:remove()"), "false");
    EXPECT_EQ(Eval("tostring(first)"), "trigger 1");
}

TEST_F(Scripts, TriggerPatternsFeedTheSessionsOwnScan)
{
    engine.RunChunk(R"(
        a = trigger('^You are hungry', function(m) echo('eat') end)
        trigger('(\\d+) gold', function(m, n) echo('gold ' .. n .. ' in ' .. m.line) end)
    )");
    const quint64 before = engine.TriggerGeneration();
    const std::vector<QByteArray> patterns = engine.TriggerPatterns();
    ASSERT_EQ(patterns, (std::vector<QByteArray> {"^You are hungry", "(\\d+) gold"}));
    EXPECT_TRUE(engine.RunTrigger(1, {"12 gold", "12"}, "You find 12 gold."));
    EXPECT_EQ(host.Echoed, QList<QByteArray> {"gold 12 in You find 12 gold."});

    engine.RunChunk("a:remove()");
    EXPECT_NE(engine.TriggerGeneration(), before);
    EXPECT_FALSE(engine.RunTrigger(0, {"You are hungry"})); // gone, and its index does not shift yet
    EXPECT_TRUE(engine.RunTrigger(1, {"1 gold", "1"}));
    EXPECT_EQ(engine.TriggerPatterns(), std::vector<QByteArray> {"(\\d+) gold"});
    EXPECT_TRUE(engine.RunTrigger(0, {"2 gold", "2"}));
    EXPECT_FALSE(engine.RunTrigger(1, {}));
    EXPECT_FALSE(engine.RunTrigger(-1, {}));
}

TEST_F(Scripts, ABadPatternIsRefusedWhereItIsAdded)
{
    engine.RunChunk("trigger('(unclosed', function() end)");
    ASSERT_EQ(host.Errors.size(), 1);
    EXPECT_TRUE(host.Errors[0].startsWith("Script error: /LUA:1: trigger: missing closing parenthesis"))
        << host.Errors[0].constData();
    engine.RunChunk("alias('x', 'not a function')");
    ASSERT_EQ(host.Errors.size(), 2);
    EXPECT_TRUE(host.Errors[1].contains("bad argument #2 to 'alias' (function expected, got string)"))
        << host.Errors[1].constData();
}

TEST_F(Scripts, TheFirstMatchingAliasTakesTheCommand)
{
    engine.RunChunk(R"(
        alias('^heal (\\w+)$', function(m, who) send('cast heal ' .. who) end)
        alias('^heal', function() send('never') end)
    )");
    EXPECT_TRUE(engine.RunAlias("heal bob"));
    EXPECT_FALSE(engine.RunAlias("look"));
    EXPECT_EQ(host.Sent, QList<QByteArray> {"cast heal bob"});
}

TEST_F(Scripts, EventsRunTheirHandlersInOrderByNameInAnyCase)
{
    engine.RunChunk(R"(
        on('On Connect', function(name) echo('one ' .. name) end)
        second = on('ON CONNECT', function() echo('two'); third:remove() end)
        third = on('on connect', function() echo('three') end)
        on('On GMCP Char.Vitals', function() echo('vitals') end)
    )");
    engine.RaiseEvent("On Connect");
    EXPECT_EQ(host.Echoed, (QList<QByteArray> {"one On Connect", "two"}));
    host.Echoed.clear();
    engine.RaiseEvent("On GMCP Char.Vitals");
    engine.RaiseEvent("On Disconnect");
    EXPECT_EQ(host.Echoed, QList<QByteArray> {"vitals"});
}

TEST_F(Scripts, CommandsAreAddedButNeverReplaceTheClientsOwn)
{
    engine.RunChunk(R"(
        command('route', function(args, a, b) echo(args .. '|' .. (a or '') .. '|' .. (b or '')) end)
    )");
    host.Echoed.clear();
    EXPECT_TRUE(engine.HasCommand("ROUTE"));
    EXPECT_TRUE(engine.HasCommand("/route"));
    EXPECT_FALSE(engine.HasCommand("rout"));
    EXPECT_TRUE(engine.RunCommand("Route", "to  the inn"));
    EXPECT_EQ(host.Echoed, QList<QByteArray> {"to  the inn|to|the"});
    EXPECT_FALSE(engine.RunCommand("nowhere", {}));

    const std::pair<QByteArray, QByteArray> refused[] = {
        {"command('close', print)", "command: /close is one of the client's own commands"},
        {"command('route', print)", "command: /route is already a command of /LUA:2"},
        {"command('where', print)", "command: /where is one of the client's own commands"},
        {"command('two words', print)", "command: a command name is 1 to 32 letters"},
        {"command('', print)", "command: a command name is 1 to 32 letters"},
    };
    for (const auto &[code, message] : refused) {
        host.Errors.clear();
        engine.RunChunk(code);
        ASSERT_EQ(host.Errors.size(), 1) << code.constData();
        EXPECT_TRUE(host.Errors[0].contains(message)) << host.Errors[0].constData();
    }
}

TEST_F(Scripts, VariablesAreSharedWithTheClassicAutomation)
{
    host.Variables["target"] = "orc";
    EXPECT_EQ(Eval("var('target')"), "orc");
    EXPECT_EQ(Eval("var('missing') == nil"), "true");
    engine.RunChunk("var('hp', 42) var('flag', true) var('name', 'Wren')");
    EXPECT_EQ(host.Variables["hp"], "42");
    EXPECT_EQ(host.Variables["flag"], "true");
    EXPECT_EQ(host.Variables["name"], "Wren");
    EXPECT_TRUE(host.Errors.isEmpty());
    engine.RunChunk("var('t', {})");
    engine.RunChunk("var('t', nil)");
    ASSERT_EQ(host.Errors.size(), 2);
    EXPECT_TRUE(host.Errors[0].contains("var: a value is a string, a number or a boolean"));
}

struct GameCase {
    const char *Name;
    QByteArray Code;
    QByteArray Expected;
};

void PrintTo(const GameCase &c, std::ostream *os)
{
    *os << c.Name;
}

class GameTables : public Scripts, public ::testing::WithParamInterface<GameCase>
{
protected:
    void SetUp() override
    {
        host.Data.ApplyGmcp("Char.Vitals", Json(R"({"hp":42,"maxhp":50,"ratio":0.5,"alive":true,"title":null})"));
        host.Data.ApplyGmcp("Char.Items.List", Json(R"({"items":[{"name":"a sword"},{"name":"a shield"}]})"));
        host.Data.ApplyGmcp("Room.Info", Json(R"({"num":1000,"name":"Caf\u00e9"})"));
        host.Data.ApplyMsdp("HEALTH", msdp::Value::String("100"));
        host.Data.ApplyMssp("PORT", {"4000", "4443"});
        host.Data.ApplyMssp("NAME", {"Wren Demo"});
    }
};

TEST_P(GameTables, ReadTheLatestValue)
{
    EXPECT_EQ(Eval(GetParam().Code), GetParam().Expected);
    EXPECT_TRUE(host.Errors.isEmpty()) << host.Errors.value(0).constData();
}

INSTANTIATE_TEST_SUITE_P(
    Contract, GameTables,
    ::testing::Values(
        GameCase {"Number", "gmcp.Char.Vitals.hp", "42"},
        GameCase {"PackageInAnyCase", "gmcp.char.vitals.maxhp, gmcp.CHAR.VITALS.hp", "50\t42"},
        GameCase {"Fraction", "gmcp.Char.Vitals.ratio", "0.5"},
        GameCase {"IntegerType", "math.type(gmcp.Char.Vitals.hp)", "integer"},
        GameCase {"Boolean", "gmcp.Char.Vitals.alive", "true"},
        GameCase {"NullIsNil", "gmcp.Char.Vitals.title == nil", "true"},
        GameCase {"MissingIsNil", "gmcp.Char.Vitals.sp, gmcp.Nothing, gmcp.Char.Nothing", "nil\tnil\tnil"},
        GameCase {"ArraysCountFromOne", "gmcp.Char.Items.List.items[1].name, #gmcp.Char.Items.List.items",
                  "a sword\t2"},
        GameCase {"PastTheArray", "gmcp.Char.Items.List.items[3], gmcp.Char.Items.List.items[0]", "nil\tnil"},
        GameCase {"TextIsUtf8", "gmcp.Room.Info.name == 'Caf\\xc3\\xa9'", "true"},
        GameCase {"MsdpStringsStayStrings", "msdp.HEALTH, type(msdp.health)", "100\tstring"},
        GameCase {"MsspValues", "mssp.NAME, mssp.PORT[2]", "Wren Demo\t4443"},
        GameCase {"CopyIsAPlainTable", "local v = gmcp.Char.Vitals() return type(v), v.hp, getmetatable(v)",
                  "table\t42\tnil"},
        GameCase {"Json", "tostring(gmcp.Char.Items.List.items[2])", "{\"name\":\"a shield\"}"},
        GameCase {"PairsOverAnObject",
                  "local k = {} for key in pairs(gmcp.Char.Vitals) do k[#k + 1] = key end table.sort(k) "
                  "return table.concat(k, ',')",
                  "alive,hp,maxhp,ratio"}, // null is nil, and a nil value is no entry
        GameCase {"PairsOverPackageNames",
                  "local k = {} for key in pairs(gmcp) do k[#k + 1] = key end table.sort(k) "
                  "return table.concat(k, ',')",
                  "Char,Room"},
        GameCase {"ViewsCannotBeChanged", "getmetatable(gmcp)", "false"}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST_F(GameTables, WritingIsAnError)
{
    engine.RunChunk("gmcp.Char.Vitals.hp = 1");
    ASSERT_EQ(host.Errors.size(), 1);
    EXPECT_TRUE(host.Errors[0].contains("gmcp.Char.Vitals is read-only")) << host.Errors[0].constData();
    EXPECT_EQ(Eval("gmcp.Char.Vitals.hp"), "42");
}

TEST_F(GameTables, AValueIsReadWhenTheScriptReadsIt)
{
    engine.RunChunk("vitals = gmcp.Char.Vitals");
    host.Data.ApplyGmcp("Char.Vitals", Json(R"({"hp":7})"));
    EXPECT_EQ(Eval("vitals.hp"), "7");
}

TEST_F(Scripts, TheMapAnswersWhereThereIsOne)
{
    EXPECT_EQ(Eval("map.current()"), "nil\tthis world has no map");
    EXPECT_EQ(Eval("map.path(1)"), "nil\tthis world has no map");
    host.MapThere = true;
    EXPECT_EQ(Eval("map.current().name, map.current().id, map.current().area"), "Market Square\t2\tTown");
    EXPECT_EQ(Eval("map.path(1)"), "n;e");
    EXPECT_EQ(Eval("map.path(9)"), "nil\tno path to room 9");
    EXPECT_EQ(Eval("map.walk(1)"), "true");
    EXPECT_EQ(host.Sent, QList<QByteArray> {"n;e"});
    EXPECT_EQ(Eval("local r = map.find('INN') return #r, r[1].name, r[2].id"), "2\tThe Wren Inn\tcaves.inner");
    // A numbered room's id is a number, any other a string; either goes back into map.path.
    EXPECT_EQ(Eval("math.type(map.current().id), type(map.find('cave')[1].id)"), "integer\tstring");
    EXPECT_EQ(Eval("map.path(map.find('cave')[1].id), map.path('1'), map.path(1.0)"), "s;s;d\tn;e\tn;e");
    EXPECT_TRUE(Eval("select(2, pcall(map.path, 1.5))").endsWith("(a room id is a whole number or a string)"));
    EXPECT_TRUE(host.Errors.isEmpty()) << host.Errors.value(0).constData();
}

TEST_F(Scripts, SpeakIsThereOnlyWhereSpeechIs)
{
    EXPECT_EQ(Eval("speak"), "nil");
    host.Speech = true;
    engine.Load(dir.Path()); // a new state asks again
    engine.RunChunk("speak('hello')");
    EXPECT_EQ(host.Spoken, QList<QByteArray> {"hello"});
}

TEST_F(Scripts, FilesStayInTheScriptsFolder)
{
    engine.Load(dir.Path());
    EXPECT_EQ(Eval("files.write('notes.txt', 'a\\0b')"), "true");
    EXPECT_EQ(Eval("files.read('notes.txt') == 'a\\0b'"), "true");
    EXPECT_EQ(Eval("table.concat(files.list(), ',')"), "notes.txt");
    const std::pair<QByteArray, QByteArray> refused[] = {
        {"files.read('../wrenclient.ini')", "a file name holds only letters"},
        {"files.read('/etc/passwd')", "a file name holds only letters"},
        {"files.write('sub/x.txt', '')", "a file name holds only letters"},
        {"files.write('.hidden', '')", "the file name starts with a dot"},
        {"files.read('')", "no file name given"},
        {"files.read('missing.txt')", "no file missing.txt"},
        {"files.write('big.txt', string.rep('x', 4 * 1024 * 1024 + 1))", "a file may hold at most 4 MB"},
    };
    for (const auto &[code, message] : refused) {
        const QByteArray shown = Eval(code);
        EXPECT_TRUE(shown.startsWith("nil\t") && shown.contains(message))
            << code.constData() << " gave " << shown.constData();
    }
    EXPECT_TRUE(host.Errors.isEmpty()) << host.Errors.value(0).constData();
}

TEST_F(Scripts, TimersFireOnceOrUntilStopped)
{
    engine.RunChunk(R"(
        timer(0, function() echo('once') end)
        count = 0
        ticker = every(0.05, function() count = count + 1 if count == 3 then ticker:stop() echo('stopped') end end)
    )");
    EXPECT_EQ(engine.TimerCount(), 2);
    ASSERT_TRUE(WaitFor([&] { return host.Echoed.contains("stopped"); }));
    EXPECT_EQ(host.Echoed.count("once"), 1);
    EXPECT_EQ(engine.TimerCount(), 0);
    Pump(120);
    EXPECT_EQ(Eval("count"), "3");

    const QByteArray refused[] = {"every(0.01, print)", "timer(-1, print)", "timer(0/0, print)", "timer(1e9, print)"};
    host.Errors.clear();
    for (const QByteArray &code : refused)
        engine.RunChunk(code);
    ASSERT_EQ(host.Errors.size(), 4);
    EXPECT_TRUE(host.Errors[0].contains("every: the time must be from 0.05 to 2073600 seconds"))
        << host.Errors[0].constData();
    EXPECT_EQ(engine.TimerCount(), 0);
}

TEST_F(Scripts, TimersAreCapped)
{
    engine.RunChunk("for i = 1, 1001 do timer(3600, print) end");
    ASSERT_EQ(host.Errors.size(), 1);
    EXPECT_TRUE(host.Errors[0].contains("timer: more than 1000 timers")) << host.Errors[0].constData();
    EXPECT_EQ(engine.TimerCount(), ScriptEngine::MaxTimers);
}

TEST(DemoScript, RestsWhenHurtFindsTheInnAndKeepsTheLinkAlive)
{
    FakeHost host;
    host.MapThere = true;
    ScriptEngine engine(host);
    engine.Load(QStringLiteral(WREN_DEMO_SCRIPTS));
    ASSERT_TRUE(host.Errors.isEmpty()) << host.Errors.value(0).constData();
    EXPECT_EQ(engine.LoadedScripts(), QList<QByteArray> {"demo.lua"});
    EXPECT_EQ(engine.TimerCount(), 1);
    EXPECT_TRUE(engine.HasCommand("inn"));

    const auto vitals = [&](int hp) {
        host.Data.ApplyGmcp("Char.Vitals",
                            Json(QByteArray("{\"hp\":" + QByteArray::number(hp) + ",\"maxhp\":90}").constData()));
        engine.RaiseEvent("On GMCP Char.Vitals");
    };
    vitals(40);
    EXPECT_TRUE(host.Sent.isEmpty());
    vitals(29);
    vitals(20); // resting already
    EXPECT_EQ(host.Sent, QList<QByteArray> {"rest"});
    vitals(85);
    vitals(10);
    EXPECT_EQ(host.Sent, (QList<QByteArray> {"rest", "rest"}));

    host.Echoed.clear();
    EXPECT_TRUE(engine.RunCommand("inn", {}));
    EXPECT_EQ(host.Echoed, QList<QByteArray> {"To The Wren Inn: n;e"});
    host.MapThere = false;
    engine.RunCommand("inn", {});
    EXPECT_EQ(host.Echoed.value(1), "No inn found: this world has no map");
    EXPECT_TRUE(host.Errors.isEmpty()) << host.Errors.value(0).constData();
}

} // namespace
