// SPDX-License-Identifier: GPL-3.0-or-later
// One scan per line for all trigger patterns gives exactly what trying every pattern on its own gives,
// in both ways of scanning, across the dialect's corners; the database is built only when the list changes.
#include "automation/automation_store.h"
#include "automation/trigger_engine.h"
#include "support/test_support.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <gtest/gtest.h>

#include <random>

using namespace wren;
using wren::test::B;

namespace {

const QList<QByteArray> &DialectPatterns()
{
    static const QList<QByteArray> patterns = {
        // What players write.
        "(Vexqua|Torquadra) (arrives|leaves) from the (north|south)",
        "(.*) gives you ([0-9]+) (gold|silver) coins? from the Rhuthil",
        "^Your thilskel (misses|hits|grazes) the (.+)!$",
        "^You hit the (\\w+)\\.",
        // Word boundaries, back references, look-arounds, inline options.
        "\\bsword\\b", "(\\w+) and \\1", "(?<w>ab)\\k<w>", "foo(?=bar)", "foo(?!bar)x", "(?<!un)happy", "(?<=\\$)\\d+",
        "(?i)dragon", "(?i:ORC) king", "(?x) a \\s b  # spaced", "(?s)a.b", "(?m)^b",
        // Bytes above 127, and case that does not fold there.
        B("caf\xe9"), B("[\x80-\xff]{2}"), B("(?i)\xc9t\xc9"), B("\\xe9t\\xe9"), B("[^a-z ]\xff"),
        // Classes and escapes whose edges differ between engines.
        "\\s\\s x", "a\\Sb", "\\h+end", "\\R", "\\v", "[[:alpha:]]+ing\\b", "\\x41B", "\\101C", "\\d{3,5}",
        // Anchors at the ends.
        "end$", "end\\Z", "end\\z", "\\Astart", "^$",
        // What the database cannot take: empty matches, atomic groups, \G, conditionals, huge repeats.
        "", "x*", "(?>ab|a)c", "a++b", "\\Gx", "(a)?(?(1)b|c)d", "a{2000}", "(*UTF)x",
        // A NUL byte, a pattern that does not compile, a catastrophic one.
        B("a\0b"), "([unclosed", "(a+)+$",
    };
    return patterns;
}

QList<QByteArray> DialectLines()
{
    QList<QByteArray> lines = {
        "Vexqua arrives from the north", "Torquadra leaves from the west.", "A rat arrives from the north",
        "Bob gives you 42 gold coins from the Rhuthil", "Bob gives you 1 silver coin from the Rhuthil", "gives you gold from the",
        "Your thilskel hits the orc!", "Your thilskel hits the orc! ", "You hit the orc.", "You hit the",
        "a sword!", "swordfish", "the sword", "tic and tic", "abab", "foobar", "foobaz", "foox", "happy", "unhappy",
        "cost $42", "A DRAGON", "the Orc king", "orc king", "a b", "ab", B("a\nb"), B("x\nb"), B("caf\xe9"), B("CAF\xc9"),
        B("\xc9t\xc9"), B("\xe9T\xe9"), B("\xe9t\xe9"), B("1\xff"), B("x\x80\x81"), "  x", B("\x0b\x0b x"), "a-b", "a b",
        B("\t end"), B("a\r\nb"), B("tab\x0bhere"), "running", "sing", "ABC", "AC", "12", "1234567", "the end", B("end\n"),
        "endless", "start here", "x start", "", "xxxx", "abc", "aac", "aab", "x", "bd", "abd", "cd", B("xa\0by"),
        QByteArray(2000, 'a'), "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa!",
    };
    // Random lines over the patterns' own pieces and every byte.
    const QList<QByteArray> pieces = {"Vexqua", " arrives", " from the ", "north", "gives you ", "12", " gold", " coins",
                                      "Rhuthil", "Your thilskel ", "hits", " the ", "orc", "!", "sword", " and ", "ab",
                                      "foo", "bar", "happy", "un", "$", "dragon", "ORC", " king", B("\xe9"), B("\xc9t"),
                                      "end", "start", " ", "\t", B("\x0b"), "\n", "x", "c", "d", "ing"};
    std::mt19937 random(1234);
    for (int i = 0; i < 1500; ++i) {
        QByteArray line;
        const int parts = static_cast<int>(random() % 8);
        for (int k = 0; k < parts; ++k) {
            if (random() % 4 == 0)
                line += static_cast<char>(random() % 256);
            else
                line += pieces[static_cast<qsizetype>(random() % pieces.size())];
        }
        lines.append(line);
    }
    return lines;
}

/// Every pattern tried on its own with PCRE2, in list order, with its captures as the pass gives them.
QList<QByteArray> EveryPattern(const QList<QByteArray> &patterns, const QByteArray &line)
{
    QList<QByteArray> fired;
    pcre2_match_context *context = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(context, 2'000'000);
    pcre2_set_depth_limit(context, 10'000);
    for (const QByteArray &pattern : patterns) {
        int error = 0;
        PCRE2_SIZE offset = 0;
        pcre2_code *code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.constData()),
                                         static_cast<PCRE2_SIZE>(pattern.size()), PCRE2_DOTALL, &error, &offset, nullptr);
        if (!code)
            continue;
        pcre2_match_data *data = pcre2_match_data_create_from_pattern(code, nullptr);
        const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(line.constData()), static_cast<PCRE2_SIZE>(line.size()),
                                   0, 0, data, context);
        if (rc > 0) {
            const PCRE2_SIZE *ovector = pcre2_get_ovector_pointer(data);
            QByteArray captures;
            for (int group = 0; group <= 9; ++group) {
                if (group)
                    captures += ',';
                if (group < rc && ovector[2 * group] != PCRE2_UNSET)
                    captures.append(line.constData() + ovector[2 * group],
                                    static_cast<qsizetype>(ovector[2 * group + 1] - ovector[2 * group]));
            }
            fired.append(pattern + "=" + captures);
        }
        pcre2_match_data_free(data);
        pcre2_code_free(code);
    }
    pcre2_match_context_free(context);
    return fired;
}

} // namespace

TEST(PatternScan, BothScansGiveWhatEveryPatternOnItsOwnGives)
{
    AutomationStore store;
    for (const QByteArray &pattern : DialectPatterns())
        store.AddTrigger(pattern, "cmd", "Main", 1);
    QList<QByteArray> stored; // as the list keeps them (a pattern is cut at the field's length)
    for (const TAdvancedItem &t : store.Triggers())
        stored.append(t.Name);
    const QList<QByteArray> lines = DialectLines();
    for (const bool database : {true, false}) {
        SCOPED_TRACE(database ? "one database scan" : "literal search per pattern");
        ExecutePass pass;
        pass.UseDatabase(database);
        // The first lines are scanned while the database is being built (the literal search serves), the
        // rest with it: the results are the same throughout.
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QByteArray &line = lines[i];
            QList<QByteArray> fired;
            pass.Run(store, line, [&](const TAdvancedItem &t, const QByteArray &captures) { fired.append(t.Name + "=" + captures); },
                     [](const QByteArray &, const QByteArray &) {});
            ASSERT_EQ(fired, EveryPattern(stored, line)) << test::Escaped(line);
            if (i == 2) {
                ASSERT_TRUE(pass.WaitForDatabase(20000));
            }
        }
        EXPECT_EQ(pass.ActiveDatabase() != nullptr, database && PatternDatabase::Available());
    }
}

// The database holds every execute pattern of the list, switched on or off: switching triggers and classes
// builds nothing (the hits are filtered by what is on), and only a new pattern builds a new one, away from
// the window's thread, while the literal search serves.
TEST(PatternScan, DatabaseIsBuiltOnlyWhenThePatternSetChanges)
{
    if (!PatternDatabase::Available())
        GTEST_SKIP() << "no pattern database on this machine";
    AutomationStore store;
    store.AddTrigger("(\\w+) hits you", "flee", "Main", 1); // common words: the database takes both
    store.AddTrigger("(\\d+) gold", "count", "Loot", 1);
    ExecutePass pass;
    int fired = 0;
    const auto run = [&](const QByteArray &line) {
        pass.Run(store, line, [&](const TAdvancedItem &, const QByteArray &) { ++fired; }, [](const QByteArray &, const QByteArray &) {});
    };
    run("the orc hits you for 12 gold");
    ASSERT_TRUE(pass.WaitForDatabase(20000));
    for (int i = 0; i < 999; ++i)
        run("the orc hits you for 12 gold");
    EXPECT_EQ(fired, 2000);
    EXPECT_EQ(pass.DatabaseBuilds(), 1) << "not per line";
    EXPECT_NE(pass.ActiveDatabase(), nullptr);

    store.AddTrigger("(\\d+) gold", "count and say", "Loot", 1); // the same pattern, a new command
    run("x");
    store.SetClassState(false, {}, false, "Loot");
    fired = 0;
    run("12 gold");
    EXPECT_EQ(fired, 0) << "a class switched off";
    store.SetClassState(true, {}, false, "Loot");
    run("12 gold");
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(pass.DatabaseBuilds(), 1) << "neither a new command nor a class switch builds one";
    EXPECT_NE(pass.ActiveDatabase(), nullptr);

    store.RemoveTrigger("(\\d+) gold", "Loot");
    store.AddTrigger("silver", "x", "Loot", 1);
    fired = 0;
    run("silver"); // built meanwhile: the literal search finds it
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(pass.DatabaseBuilds(), 2);
    ASSERT_TRUE(pass.WaitForDatabase(20000));
    run("silver");
    EXPECT_EQ(fired, 2);
    EXPECT_NE(pass.ActiveDatabase(), nullptr);
}

// The replace pass finds all its patterns in one scan of the text, and a replacement that brings in
// another pattern's text is still replaced by the triggers after it, as one by one would.
TEST(PatternScan, ReplacePassGivesWhatOneByOneGives)
{
    AutomationStore store;
    const struct {
        const char *Pattern, *With;
    } replacements[] = {{"orc", "goblin"}, {"gob", "GOB"}, {"lin", "LIN"}, {"dragon", "wyrm"}, {"\xe9", "e"}, {"aa", "a"},
                        {"zzz", "orc"}};
    for (const auto &r : replacements)
        store.AddTrigger(r.Pattern, r.With, "Main", 0);
    const QList<QByteArray> texts = {"an orc here", "no match at all", B("caf\xe9 orc aaaa"), "zzz", "a dragon and an orc",
                                     "gobble", "", "orcorcorc"};
    for (const QByteArray &text : texts) {
        QByteArray expected = text;
        for (const auto &r : replacements)
            expected.replace(r.Pattern, r.With);
        for (const bool database : {true, false}) {
            ReplacePass pass;
            pass.UseDatabase(database);
            QByteArray storage;
            EXPECT_EQ(pass.Apply(store, text, storage).toByteArray(), expected) << test::Escaped(text) << database;
        }
    }
}
