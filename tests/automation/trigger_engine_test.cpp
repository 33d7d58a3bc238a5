// SPDX-License-Identifier: GPL-3.0-or-later
// The execute pass: required literals, compiled patterns, captures and list order.
#include "automation/automation_store.h"
#include "automation/trigger_engine.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

using namespace wren;

TEST(RequiredLiteral, IsTextEveryMatchMustContain)
{
    struct Case {
        QByteArray Pattern, Literal;
    } cases[] = {
        {"^Karmel tells you '(.*)'$", "Karmel tells you '"},
        {"^\\[(\\w+)\\] Karmel: (.*)$", "] Karmel: "},
        {"(\\d+) gold coins? from the corpse of Karmel", " from the corpse of Karmel"},
        {"^You feel Karmel\\.?$", "You feel Karmel"},
        {"^(?:A|An|The) Karmel (?:is|are) here\\.$", " Karmel "},
        {"colou?r", "colo"},
        {"ab+c", "ab"},
        {"abc{0,2}d", "ab"},
        {"a.b", "a"},
        {"x\\d+yz", "yz"},
        {"cat|dog", ""},
        {"(?i)hello", ""},
        {"\\Qa.b\\E", ""},
        {"[abc]def", "def"},
        {"", ""},
        {"\\x41BC ok", " ok"}, // the digits and letters after a coded character may be part of it
        {"\\101z-y", "-y"},
        {"\\p{Lu}ab", ""},
        {"\\d+ gold", " gold"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ExecutePass::RequiredLiteral(c.Pattern), c.Literal) << c.Pattern.constData();
}

TEST(ExecutePass, PreCheckGivesTheSameMatchesAsTryingEveryPattern)
{
    // Patterns with and without usable literals, against lines that contain some of those literals.
    const QList<QByteArray> patterns = {"^You see (\\w+)", "gold", "(\\d+) hp", "^$", "a|b", "(?i)ORC", "x{2,}",
                                        "colou?r of (\\w+)", "[0-9]+ coins", "\\bend\\b", "rat$", "^.*$",
                                        // literals looked for by a pair inside them, not their first bytes
                                        "the Orc king", "from Zed$", "hp: 42", "tells you 'Hi'"};
    AutomationStore store;
    for (const QByteArray &p : patterns)
        store.AddTrigger(p, "cmd", "Main", 1);
    const QList<QByteArray> lines = {"You see Bob", "10 hp and 3 gold", "", "the orc", "An ORC", "xx colour of sky",
                                     "12 coins", "the end", "a rat", "no match here at all",
                                     "the Orc king", "see the Orc king", "Zed", "a gift from Zed", "from Zed!",
                                     "hp: 42", "p: 42", "Bob tells you 'Hi'", "you 'Hi'"};
    ExecutePass pass;
    for (const QByteArray &line : lines) {
        QList<QByteArray> fired;
        pass.Run(store, line,
                 [&](const TAdvancedItem &t, const QByteArray &captures) { fired.append(t.Name + "=" + captures); },
                 [](const QByteArray &, const QByteArray &) {});
        // The same walk with no pre-check: every pattern on its own.
        QList<QByteArray> expected;
        for (const QByteArray &p : patterns) {
            AutomationStore single;
            single.AddTrigger(p, "cmd", "Main", 1);
            single.AddTrigger("(?i)", "never used", "Main", 0); // keeps the one pattern from being special
            ExecutePass alone;
            alone.Run(single, line,
                      [&](const TAdvancedItem &t, const QByteArray &captures) { expected.append(t.Name + "=" + captures); },
                      [](const QByteArray &, const QByteArray &) {});
        }
        EXPECT_EQ(fired, expected) << line.constData();
    }
}

TEST(ExecutePass, ScanStopsAtTheLastByteOfALineWithNoTerminator)
{
    // A line that ends in a byte starting an anchor pair, in a buffer of exactly its size (no terminating
    // zero after it): the scan must not read past it.
    AutomationStore store;
    store.AddTrigger("Zed", "x", "Main", 1);
    ExecutePass pass;
    for (const char *text : {"abcdZ", "Z", "abcdefghZ", "abcdZed"}) {
        const std::vector<char> bytes(text, text + std::strlen(text));
        int fired = 0;
        pass.Run(store, QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                 [&](const TAdvancedItem &, const QByteArray &) { ++fired; }, [](const QByteArray &, const QByteArray &) {});
        EXPECT_EQ(fired, QByteArrayView(text).contains("Zed") ? 1 : 0) << text;
    }
}

TEST(ExecutePass, LooksForTheRarestPairOfALiteral)
{
    struct Case {
        const char *Literal;
        qsizetype Anchor;
    };
    const Case cases[] = {{"ab", 0}, {"the Orc king", 4}, {"from Zed", 5}, {"hp: 42", 4}, {"tells you 'Hi'", 11}};
    for (const Case &c : cases)
        EXPECT_EQ(ExecutePass::RarestPair(c.Literal), c.Anchor) << c.Literal;
}

TEST(ExecutePass, CapturesFollowTheFixedTemplate)
{
    AutomationStore store;
    store.AddTrigger("(a)(b)?(c)", "x", "Main", 1);
    ExecutePass pass;
    QByteArray captures;
    pass.Run(store, "zac",
             [&](const TAdvancedItem &, const QByteArray &c) { captures = c; }, [](const QByteArray &, const QByteArray &) {});
    EXPECT_EQ(captures, "ac,a,,c,,,,,,");
}

TEST(ExecutePass, CatastrophicPatternDoesNotHang)
{
    AutomationStore store;
    store.AddTrigger("(a+)+$", "x", "Main", 1);
    ExecutePass pass;
    int fired = 0;
    pass.Run(store, QByteArray(5000, 'a') + "!",
             [&](const TAdvancedItem &, const QByteArray &) { ++fired; }, [](const QByteArray &, const QByteArray &) {});
    EXPECT_EQ(fired, 0);
}

// A command that changes the trigger list while the walk is on: the walk follows the list as it now is.
TEST(ExecutePass, WalkFollowsTheLiveList)
{
    struct Action {
        const char *Trigger; // the trigger whose command acts
        std::function<void(AutomationStore &)> Change;
    };
    struct Case {
        const char *Name;
        std::function<void(AutomationStore &)> Setup;
        Action Act;
        QList<QByteArray> Fired;
    };
    const Case cases[] = {
        {"a command switches a later trigger on",
         [](AutomationStore &s) {
             s.AddTrigger("orc", "on", "Main", 1);
             s.AddTrigger("orc.*", "later", "grp", 1);
             s.SetClassState(false, "", false, "grp");
         },
         {"orc", [](AutomationStore &s) { s.SetClassState(true, "", false, "grp"); }},
         {"orc", "orc.*"}},
        {"a command switches a later trigger off",
         [](AutomationStore &s) {
             s.AddTrigger("orc", "off", "Main", 1);
             s.AddTrigger("orc.*", "later", "grp", 1);
         },
         {"orc", [](AutomationStore &s) { s.SetClassState(false, "", false, "grp"); }},
         {"orc"}},
        {"a command removes an earlier trigger: the next one still runs, once",
         [](AutomationStore &s) {
             s.AddTrigger("o", "first", "Main", 1);
             s.AddTrigger("or", "remove the first", "Main", 1);
             s.AddTrigger("orc", "third", "Main", 1);
             s.AddTrigger("orc ", "fourth", "Main", 1);
         },
         {"or", [](AutomationStore &s) { s.RemoveTrigger("o", "Main"); }},
         {"o", "or", "orc", "orc "}},
        {"a command removes itself",
         [](AutomationStore &s) {
             s.AddTrigger("or", "remove me", "Main", 1);
             s.AddTrigger("orc", "next", "Main", 1);
         },
         {"or", [](AutomationStore &s) { s.RemoveTrigger("or", "Main"); }},
         {"or", "orc"}},
        {"a command adds a trigger: it runs on this line too, being later in the list",
         [](AutomationStore &s) { s.AddTrigger("orc", "add", "Main", 1); },
         {"orc", [](AutomationStore &s) { s.AddTrigger("rc", "added", "Main", 1); }},
         {"orc", "rc"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        AutomationStore store;
        c.Setup(store);
        ExecutePass pass;
        QList<QByteArray> fired;
        pass.Run(store, "an orc arrives",
                 [&](const TAdvancedItem &t, const QByteArray &) {
                     fired.append(t.Name);
                     if (t.Name == c.Act.Trigger)
                         c.Act.Change(store);
                 },
                 [](const QByteArray &, const QByteArray &) {});
        EXPECT_EQ(fired, c.Fired);
    }
}

TEST(ExecutePass, PatternsNoTriggerUsesAreDropped)
{
    AutomationStore store;
    ExecutePass pass;
    const auto run = [&] {
        pass.Run(store, "line", [](const TAdvancedItem &, const QByteArray &) {},
                 [](const QByteArray &, const QByteArray &) {});
    };
    for (int i = 0; i < 50; ++i) {
        // The editor changes one trigger's pattern again and again.
        store.RemoveTrigger("pattern " + QByteArray::number(i - 1), "Main");
        store.AddTrigger("pattern " + QByteArray::number(i), "x", "Main", 1);
        run();
    }
    EXPECT_EQ(pass.CompiledCount(), 1u);
    // A trigger switched off keeps its compiled pattern: switching it on again costs nothing.
    store.AddTrigger("other", "x", "Main", 1);
    store.SetClassState(false, "other", false, "Main");
    run();
    EXPECT_EQ(pass.CompiledCount(), 2u);
}

// The report of a bad pattern is text too, whose triggers may change the list: the walk follows that.
TEST(ExecutePass, ListChangedByAPatternErrorReport)
{
    for (const bool removeAll : {false, true}) {
        SCOPED_TRACE(removeAll ? "every trigger removed" : "the later trigger removed");
        AutomationStore store;
        store.AddTrigger("(orc", "bad", "Main", 1);
        store.AddTrigger("orc", "later", "Main", 1);
        store.AddTrigger("arrives", "last", "Main", 1);
        ExecutePass pass;
        QList<QByteArray> fired, errors;
        pass.Run(store, "an orc arrives",
                 [&](const TAdvancedItem &t, const QByteArray &) { fired.append(t.Name); },
                 [&](const QByteArray &name, const QByteArray &) {
                     errors.append(name);
                     store.RemoveTrigger("orc", "Main");
                     if (removeAll) {
                         store.RemoveTrigger("(orc", "Main");
                         store.RemoveTrigger("arrives", "Main");
                     }
                 });
        EXPECT_EQ(errors, QList<QByteArray> {"(orc"});
        EXPECT_EQ(fired, removeAll ? QList<QByteArray> {} : QList<QByteArray> {"arrives"});
    }
}
