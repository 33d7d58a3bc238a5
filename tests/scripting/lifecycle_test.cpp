// SPDX-License-Identifier: GPL-3.0-or-later
// A script's session going away under it: a callback that closes its own session, /RELOAD from a script or
// with a timer pending, calls nested through the session, and the engine destroyed with timers set.
#include "fake_host.h"
#include "support/test_support.h"

#include <QPointer>

#include <gtest/gtest.h>
#include <memory>

using namespace wren;
using namespace wren::test;

namespace {

/// The session's side of /CLOSE and /RELOAD: what the engine is told when a script sends them.
class Session : public ::testing::Test
{
protected:
    FakeHost host;
    ScriptsDir dir;
    ScriptEngine engine {host};

    void SetUp() override
    {
        host.OnSend = [this](const QByteArray &text) {
            if (text == "/CLOSE")
                engine.Shutdown();
            else if (text == "/RELOAD")
                engine.Reload();
        };
    }
    void Load(const QByteArray &code)
    {
        dir.Write("main.lua", code);
        engine.Load(dir.Path());
        ASSERT_TRUE(host.Errors.isEmpty()) << host.Errors.value(0).constData();
    }
    /// The engine is closed: nothing runs, nothing is kept.
    void ExpectClosed()
    {
        EXPECT_TRUE(engine.IsShutDown());
        EXPECT_FALSE(engine.Busy());
        EXPECT_EQ(engine.MemoryInUse(), 0);
        EXPECT_EQ(engine.TimerCount(), 0);
        EXPECT_EQ(engine.MatchLine("bye"), 0);
        EXPECT_FALSE(engine.RunAlias("bye"));
        EXPECT_FALSE(engine.HasCommand("bye"));
        engine.RunChunk("echo('still here')");
        engine.Reload();
        EXPECT_FALSE(host.Echoed.contains("still here"));
        EXPECT_TRUE(host.Errors.isEmpty()) << host.Errors.value(0).constData();
    }
};

TEST_F(Session, ATriggerThatClosesItsOwnSessionStopsThere)
{
    Load("trigger('^bye$', function() send('/CLOSE') echo('after') end)\n"
         "trigger('^bye$', function() echo('second trigger') end)");
    EXPECT_EQ(engine.MatchLine("bye"), 1);
    EXPECT_EQ(host.Sent, QList<QByteArray> {"/CLOSE"});
    EXPECT_TRUE(host.Echoed.isEmpty());
    ExpectClosed();
}

TEST_F(Session, AnAliasATimerAndACommandCanCloseItToo)
{
    const QByteArray ways[] = {
        "alias('^bye$', function() send('/CLOSE') echo('after') end)",
        "timer(0, function() send('/CLOSE') echo('after') end)",
        "command('bye', function() pcall(send, '/CLOSE') echo('after') end)",
        "on('On Disconnect', function() send('/CLOSE') while true do end end)",
    };
    for (const QByteArray &way : ways) {
        FakeHost host;
        ScriptEngine engine(host);
        host.OnSend = [&](const QByteArray &text) {
            if (text == "/CLOSE")
                engine.Shutdown();
        };
        engine.RunChunk(way);
        host.Echoed.clear(); // the handle, as /LUA shows a value
        engine.RunAlias("bye");
        engine.RunCommand("bye", {});
        engine.RaiseEvent("On Disconnect");
        ASSERT_TRUE(WaitFor([&] { return engine.IsShutDown(); })) << way.constData();
        EXPECT_TRUE(host.Echoed.isEmpty()) << way.constData();
        EXPECT_TRUE(host.Errors.isEmpty()) << way.constData() << ": " << host.Errors.value(0).constData();
        EXPECT_EQ(engine.MemoryInUse(), 0);
    }
}

TEST_F(Session, ClosingWhileLoadingStopsTheRestOfTheFiles)
{
    dir.Write("a.lua", "send('/CLOSE') echo('after')");
    dir.Write("b.lua", "echo('b loaded')");
    engine.Load(dir.Path());
    EXPECT_TRUE(host.Echoed.isEmpty());
    ExpectClosed();
}

TEST_F(Session, ClosingInsideNestedCallsWaitsForTheOutermostToReturn)
{
    // Each echo goes back through the triggers, as the session's own lines do.
    host.FeedEchoes = &engine;
    Load("trigger('^one$', function() echo('two') echo('not shown') end)\n"
         "trigger('^two$', function() echo('three') end)\n"
         "trigger('^three$', function() send('/CLOSE') end)");
    engine.MatchLine("one");
    EXPECT_EQ(host.Echoed, (QList<QByteArray> {"two", "three"}));
    host.FeedEchoes = nullptr;
    ExpectClosed();
}

TEST_F(Session, AReloadFromAScriptWaitsAndThePendingTimerNeverFires)
{
    Load("loads = (loads or 0) + 1\n"
         "command('re', function() timer(0, function() send('old timer') end) send('/RELOAD') echo('after') end)");
    EXPECT_TRUE(engine.RunCommand("re", {}));
    EXPECT_TRUE(host.Echoed.isEmpty()); // the running script stopped at once
    EXPECT_EQ(engine.TimerCount(), 0);
    EXPECT_FALSE(engine.HasCommand("re")); // nothing of the old scripts runs meanwhile
    ASSERT_TRUE(WaitFor([&] { return engine.HasCommand("re"); }));
    Pump(50);
    EXPECT_FALSE(host.Sent.contains("old timer"));
    EXPECT_EQ(engine.LoadedScripts(), QList<QByteArray> {"main.lua"});
    host.Echoed.clear();
    engine.RunChunk("loads");
    EXPECT_EQ(host.Echoed, QList<QByteArray> {"1"}); // a fresh state
    EXPECT_TRUE(host.Errors.isEmpty()) << host.Errors.value(0).constData();
}

TEST_F(Session, AReloadDropsATimerThatWasAboutToFire)
{
    Load("timer(0, function() send('old timer') end)\nevery(0.05, function() send('old ticker') end)");
    EXPECT_EQ(engine.TimerCount(), 2);
    dir.Write("main.lua", "every(0.05, function() send('new ticker') end)");
    engine.Reload();
    ASSERT_TRUE(WaitFor([&] { return host.Sent.size() >= 2; }));
    EXPECT_EQ(host.Sent, (QList<QByteArray> {"new ticker", "new ticker"}));
}

TEST_F(Session, CallsNestedThroughTheSessionAreCut)
{
    // A trigger whose echo sets itself off again, through the session, without end.
    host.FeedEchoes = &engine;
    Load("trigger('^echo', function(m) echo(m.line) end)");
    engine.MatchLine("echo");
    host.FeedEchoes = nullptr;
    EXPECT_EQ(host.Echoed.size(), engine.Limits().MaxNesting);
    ASSERT_FALSE(host.Errors.isEmpty());
    EXPECT_EQ(host.Errors[0], "Script stopped: main.lua:1 not run: script calls nested more than 8 deep");
    EXPECT_FALSE(engine.Busy());
    EXPECT_EQ(engine.MatchLine("echo again"), 1);
}

TEST(Lifetime, TheEngineCanGoWithTimersAndTriggersSet)
{
    FakeHost host;
    auto engine = std::make_unique<ScriptEngine>(host);
    engine->RunChunk("every(0.05, function() send('tick') end) trigger('x', print)");
    engine.reset();
    Pump(100);
    EXPECT_TRUE(host.Sent.isEmpty());
}

TEST(Lifetime, AnEngineLaterDeletedWhenItsSessionClosesFromInside)
{
    // As the session does it: Shutdown from inside the script's call, deleteLater for the object.
    FakeHost host;
    auto *engine = new ScriptEngine(host);
    QPointer<ScriptEngine> watch(engine);
    host.OnSend = [&](const QByteArray &) {
        engine->Shutdown();
        engine->deleteLater();
    };
    engine->RunChunk("trigger('bye', function() send('/CLOSE') end)");
    engine->MatchLine("bye");
    ASSERT_TRUE(WaitFor([&] { return watch.isNull(); }));
}

} // namespace
