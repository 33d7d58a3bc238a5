// SPDX-License-Identifier: GPL-3.0-or-later
// The automation store: adding, updating and removing items, classes, variables, macros and tab words.
#include "automation/automation_store.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <functional>

using namespace wren;
using wren::test::B;

namespace {

// The five item lists driven alike: add (name, command, class) and remove (name, class).
struct Kind {
    const char *name;
    ItemKind list;
    std::function<bool(AutomationStore &, const QByteArray &, const QByteArray &, const QByteArray &)> add;
    void (AutomationStore::*remove)(const QByteArray &, const QByteArray &);
};

const Kind Kinds[] = {
    {"alias", ItemKind::Alias,
     [](AutomationStore &s, const QByteArray &n, const QByteArray &c, const QByteArray &k) {
         return s.AddAlias(n, c, k);
     },
     &AutomationStore::RemoveAlias},
    {"event", ItemKind::Event,
     [](AutomationStore &s, const QByteArray &n, const QByteArray &c, const QByteArray &k) {
         return s.AddEvent(n, c, k);
     },
     &AutomationStore::RemoveEvent},
    {"trigger", ItemKind::Trigger,
     [](AutomationStore &s, const QByteArray &n, const QByteArray &c, const QByteArray &k) {
         return s.AddTrigger(n, c, k, 0);
     },
     &AutomationStore::RemoveTrigger},
    {"variable", ItemKind::Variable,
     [](AutomationStore &s, const QByteArray &n, const QByteArray &c, const QByteArray &k) {
         return s.AddVariable(n, c, k, 0);
     },
     &AutomationStore::RemoveVariable},
    {"macro", ItemKind::Macro,
     [](AutomationStore &s, const QByteArray &n, const QByteArray &c, const QByteArray &k) {
         return s.AddMacro(n, 112, k, c, 0);
     },
     &AutomationStore::RemoveMacro},
};

QList<QByteArray> Names(const QList<TAdvancedItem> &items)
{
    QList<QByteArray> names;
    for (const TAdvancedItem &item : items)
        names.append(item.Name);
    return names;
}

QList<bool> States(const QList<TAdvancedItem> &items)
{
    QList<bool> states;
    for (const TAdvancedItem &item : items)
        states.append(item.Enabled);
    return states;
}

} // namespace

TEST(AutomationStore, SameNameAndClassUpdatesAndClassIsCaseSensitive)
{
    for (const Kind &kind : Kinds) {
        SCOPED_TRACE(kind.name);
        AutomationStore store;
        const QList<TAdvancedItem> &items = store.List(kind.list);

        EXPECT_TRUE(kind.add(store, "k", "first", "Main"));
        EXPECT_FALSE(kind.add(store, "k", "second", "Main"));
        ASSERT_EQ(items.size(), 1);
        EXPECT_EQ(items[0].Command, B("second"));
        EXPECT_TRUE(items[0].Enabled);

        EXPECT_TRUE(kind.add(store, "k", "other class", "main"));
        EXPECT_TRUE(kind.add(store, "K", "other name", "Main"));
        ASSERT_EQ(items.size(), 3);
        EXPECT_EQ(items[0].Command, B("second"));
        EXPECT_EQ(items[1].ItemClass, B("main"));
        EXPECT_EQ(items[2].Name, B("K"));
    }
}

TEST(AutomationStore, TriggersAndVariablesRefuseTypeTwoAndAbove)
{
    struct Case {
        const char *name;
        ItemKind list;
        std::function<bool(AutomationStore &, const QByteArray &, int)> add;
    } cases[] = {
        {"trigger", ItemKind::Trigger,
         [](AutomationStore &s, const QByteArray &c, int type) { return s.AddTrigger("k", c, "Main", type); }},
        {"variable", ItemKind::Variable,
         [](AutomationStore &s, const QByteArray &c, int type) { return s.AddVariable("k", c, "Main", type); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        AutomationStore store;
        const QList<TAdvancedItem> &items = store.List(c.list);
        for (int type : {2, 3, -1})
            EXPECT_FALSE(c.add(store, "refused", type)) << type;
        EXPECT_TRUE(items.isEmpty());

        // Nor does a refused type touch an existing item of that name.
        ASSERT_TRUE(c.add(store, "kept", 1));
        EXPECT_FALSE(c.add(store, "refused", 2));
        ASSERT_EQ(items.size(), 1);
        EXPECT_EQ(items[0].Command, B("kept"));
        EXPECT_EQ(items[0].Number, 1);

        // An accepted update takes the new type.
        EXPECT_FALSE(c.add(store, "execute", 0));
        EXPECT_EQ(items[0].Number, 0);
        EXPECT_EQ(items[0].Command, B("execute"));
    }
}

TEST(AutomationStore, MacroUpdateChangesOnlyTheCommand)
{
    AutomationStore store;
    EXPECT_TRUE(store.AddMacro("F1", 112, "Main", "first", 0));
    EXPECT_FALSE(store.AddMacro("F1", 113, "Main", "second", 1));
    ASSERT_EQ(store.Macros().size(), 1);
    EXPECT_EQ(store.Macros()[0].Number, 112);
    EXPECT_EQ(store.Macros()[0].Shift, 0);
    EXPECT_EQ(store.Macros()[0].Command, B("second"));
    EXPECT_EQ(store.FindMacro(112, 0), B("second"));
    EXPECT_EQ(store.FindMacro(113, 1), QByteArray());
}

TEST(AutomationStore, LongTextsAreStoredCutAndTheLongNameUpdatesItsItem)
{
    const QByteArray name45(45, 'n');
    const QByteArray class45(45, 'c');
    const QByteArray command300(300, 'x');
    for (const Kind &kind : Kinds) {
        SCOPED_TRACE(kind.name);
        AutomationStore store;
        const QList<TAdvancedItem> &items = store.List(kind.list);

        EXPECT_TRUE(kind.add(store, name45, command300, class45));
        ASSERT_EQ(items.size(), 1);
        EXPECT_EQ(items[0].Name, name45.left(40));
        EXPECT_EQ(items[0].ItemClass, class45.left(40));
        EXPECT_EQ(items[0].Command, command300.left(255));

        EXPECT_FALSE(kind.add(store, name45, "again", class45));
        EXPECT_FALSE(kind.add(store, name45.left(40), "cut", class45.left(40)));
        ASSERT_EQ(items.size(), 1);
        EXPECT_EQ(items[0].Command, B("cut"));
    }
}

// Adding cuts the name and class before looking the item up, so removing must cut them the same way: the long
// name that added and updated an item also removes it.
TEST(AutomationStore, RemoveWithTheLongNameThatAddedTheItem)
{
    const QByteArray name45(45, 'n');
    const QByteArray class45(45, 'c');
    for (const Kind &kind : Kinds) {
        SCOPED_TRACE(kind.name);
        AutomationStore store;
        ASSERT_TRUE(kind.add(store, name45, "cmd", class45));
        (store.*kind.remove)(name45, class45);
        EXPECT_TRUE(store.List(kind.list).isEmpty());
    }
}

TEST(AutomationStore, ClassStateSwitchesMatchingItemsInAllFiveLists)
{
    AutomationStore store;
    for (const Kind &kind : Kinds) {
        kind.add(store, "a", "cmd", "Main");
        kind.add(store, "b", "cmd", "Other");
        kind.add(store, "c", "cmd", "Main");
    }
    auto expectStates = [&](const QList<bool> &expected, const char *when) {
        for (const Kind &kind : Kinds)
            EXPECT_EQ(States(store.List(kind.list)), expected) << kind.name << " " << when;
    };

    store.SetClassState(false, "", false, "Main");
    expectStates({false, true, false}, "after disabling Main");

    // A toggle inverts each item on its own: "a" was switched back on by hand, "c" was not.
    for (const Kind &kind : Kinds)
        store.SetEnabled(kind.list, "a", "Main", true);
    store.SetClassState(false, "", true, "Main");
    expectStates({false, true, true}, "after toggling Main");

    store.SetClassState(true, "", false, "Main");
    expectStates({true, true, true}, "after enabling Main");

    store.SetClassState(false, "", false, "main");
    expectStates({true, true, true}, "after disabling the lower-case class");
}

TEST(AutomationStore, ClassStateWithANameSwitchesOnlyThatNameAcrossLists)
{
    AutomationStore store;
    store.AddAlias("x", "cmd", "Main");
    store.AddAlias("y", "cmd", "Main");
    store.AddAlias("x", "cmd", "Other");
    store.AddTrigger("x", "cmd", "Main", 0);
    store.AddTrigger("xx", "cmd", "Main", 0);

    store.SetClassState(false, "x", false, "Main");
    EXPECT_EQ(States(store.Aliases()), QList<bool>({false, true, true}));
    EXPECT_EQ(States(store.Triggers()), QList<bool>({false, true}));
}

TEST(AutomationStore, SubstituteVariablesInListOrder)
{
    struct Variable {
        QByteArray name, value;
        bool enabled;
    };
    struct Case {
        const char *name;
        QList<Variable> variables;
        QByteArray text, expected;
    } cases[] = {
        {"shorter name first", {{"@hp", "10", true}, {"@hpmax", "50", true}}, "@hpmax", "10max"},
        {"longer name first", {{"@hpmax", "50", true}, {"@hp", "10", true}}, "@hpmax", "50"},
        {"every occurrence", {{"@hpmax", "50", true}, {"@hp", "10", true}}, "hp @hp/@hpmax @hp", "hp 10/50 10"},
        {"disabled variable", {{"@hp", "10", false}}, "@hp left", "@hp left"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        AutomationStore store;
        for (const Variable &v : c.variables) {
            ASSERT_TRUE(store.AddVariable(v.name, v.value, "Main", 0));
            store.SetEnabled(ItemKind::Variable, v.name, "Main", v.enabled);
        }
        EXPECT_EQ(store.SubstituteVariables(c.text), c.expected);
    }
}

TEST(AutomationStore, FindMacroTakesTheFirstUsableMatch)
{
    struct Macro {
        QByteArray keyName;
        int code;
        std::uint8_t shift;
        QByteArray command;
        bool enabled = true;
    };
    struct Case {
        const char *name;
        QList<Macro> macros;
        int code;
        std::uint8_t shift;
        QByteArray expected;
    } cases[] = {
        {"first of two wins", {{"F1", 112, 0, "first"}, {"F1b", 112, 0, "second"}}, 112, 0, "first"},
        {"empty command skipped", {{"F1", 112, 0, ""}, {"F1b", 112, 0, "second"}}, 112, 0, "second"},
        {"disabled skipped", {{"F1", 112, 0, "off", false}, {"F1b", 112, 0, "on"}}, 112, 0, "on"},
        {"key code 0 never matches", {{"none", 0, 0, "zero"}}, 0, 0, ""},
        {"other key", {{"F1", 112, 0, "first"}}, 113, 0, ""},
        {"modifiers exact", {{"S-F1", 112, 1, "shift"}, {"SC-F1", 112, 3, "shift ctrl"}}, 112, 3, "shift ctrl"},
        {"fewer modifiers asked", {{"SC-F1", 112, 3, "shift ctrl"}}, 112, 1, ""},
        {"more modifiers asked", {{"S-F1", 112, 1, "shift"}}, 112, 3, ""},
        {"no modifiers asked", {{"S-F1", 112, 1, "shift"}}, 112, 0, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        AutomationStore store;
        for (const Macro &m : c.macros) {
            ASSERT_TRUE(store.AddMacro(m.keyName, m.code, "Main", m.command, m.shift));
            store.SetEnabled(ItemKind::Macro, m.keyName, "Main", m.enabled);
        }
        EXPECT_EQ(store.FindMacro(c.code, c.shift), c.expected);
    }
}

TEST(AutomationStore, TabCompletionWordsFromLines)
{
    struct Case {
        QByteArray text;
        QList<QByteArray> words;
    } cases[] = {
        {"north\r\nsouth\r\n", {"north", "south"}},
        {"a\n\nb", {"a", "", "b"}},
        {"one", {"one"}},
        {"", {}},
    };
    for (const Case &c : cases) {
        AutomationStore store;
        store.SetTabCompletion("left over\r\n");
        store.SetTabCompletion(c.text);
        EXPECT_EQ(store.TabWords(), c.words) << test::Escaped(c.text);
    }
}

TEST(AutomationStore, RemoveTakesOnlyTheExactItemAndKeepsOrder)
{
    for (const Kind &kind : Kinds) {
        SCOPED_TRACE(kind.name);
        AutomationStore store;
        const QList<TAdvancedItem> &items = store.List(kind.list);
        for (const char *name : {"a", "b", "c", "d"})
            kind.add(store, name, "cmd", "Main");

        (store.*kind.remove)("b", "main");
        (store.*kind.remove)("B", "Main");
        (store.*kind.remove)("missing", "Main");
        EXPECT_EQ(Names(items), QList<QByteArray>({"a", "b", "c", "d"}));

        (store.*kind.remove)("b", "Main");
        EXPECT_EQ(Names(items), QList<QByteArray>({"a", "c", "d"}));
        (store.*kind.remove)("c", "Main");
        EXPECT_EQ(Names(items), QList<QByteArray>({"a", "d"}));
    }
}

TEST(AutomationStore, TriggerGenerationMovesWithTriggerChanges)
{
    AutomationStore store;
    struct Step {
        const char *name;
        std::function<void()> change;
    } steps[] = {
        {"add", [&] { store.AddTrigger("t", "cmd", "Main", 0); }},
        {"update", [&] { store.AddTrigger("t", "other", "Main", 1); }},
        {"switch class", [&] { store.SetClassState(false, "", false, "Main"); }},
        {"switch by name", [&] { store.SetClassState(true, "t", false, "Main"); }},
        {"remove", [&] { store.RemoveTrigger("t", "Main"); }},
    };
    for (const Step &step : steps) {
        const quint64 before = store.TriggerGeneration();
        step.change();
        EXPECT_NE(store.TriggerGeneration(), before) << step.name;
    }
}
