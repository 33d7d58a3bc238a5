// SPDX-License-Identifier: GPL-3.0-or-later
// Command text to single commands: separators, aliases with arguments, paths, the sentinel and the bound.
#include "automation/automation_store.h"
#include "commands/command_pipeline.h"
#include "commands/slash_commands.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace wren;

namespace {

struct Alias {
    QByteArray Name, Value;
};

struct PipelineCase {
    const char *Name;
    QByteArray Text;
    QList<QByteArray> Executed;
    QList<Alias> Aliases = {};
    QByteArray Separator = ";";
    QByteArray PathChar = ".";
    bool ExpandPaths = true;
};

void PrintTo(const PipelineCase &c, std::ostream *os)
{
    *os << c.Name;
}

class Recorder : public CommandHost
{
public:
    AutomationStore Store;
    QByteArray Separator, Path;
    bool Paths = true;
    QList<QByteArray> Executed;
    QList<QByteArray> Reports;
    QByteArray ExprSeparator() const override { return Separator; }
    QByteArray PathChar() const override { return Path; }
    bool ExpandPaths() const override { return Paths; }
    const QList<TAdvancedItem> &Aliases() const override { return Store.Aliases(); }
    void ExecuteCommand(const QByteArray &command) override
    {
        Executed.append(command);
        if (command == "close")
            Closed = true;
    }
    void ReportPipeline(const QByteArray &message) override { Reports.append(message); }
    CommandBudget &Budget() override { return Work; }
    bool Closing() const override { return Closed; }
    CommandBudget Work;
    bool Closed = false;
};

class ProcessCommand : public ::testing::TestWithParam<PipelineCase>
{
};

} // namespace

TEST_P(ProcessCommand, GivesTheseSingleCommands)
{
    const PipelineCase &c = GetParam();
    Recorder host;
    host.Separator = c.Separator;
    host.Path = c.PathChar;
    host.Paths = c.ExpandPaths;
    for (const Alias &a : c.Aliases)
        host.Store.AddAlias(a.Name, a.Value, "Main");
    CommandPipeline pipeline(host);
    pipeline.ProcessCommand(c.Text);
    EXPECT_EQ(host.Executed, c.Executed);
    EXPECT_TRUE(host.Reports.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProcessCommand,
    ::testing::Values(
        PipelineCase {"TwoCommands", "kill rat;get all", {"kill rat", "get all"}},
        PipelineCase {"BlanksAfterSeparatorDropped", "a; b", {"a", "b"}},
        PipelineCase {"EmptyTextSendsOneEmptyLine", "", {" "}},
        PipelineCase {"SeparatorAloneRunsNothing", ";", {}},
        PipelineCase {"TrailingSeparator", "n;", {"n"}},
        PipelineCase {"LeadingBlanksKeptInPiece", "  look", {"  look"}, {{"look", "nope"}}},
        PipelineCase {"EmptyCommandBetweenSeparators", "a;;b", {"a", ";b;"}},
        PipelineCase {"MultiCharacterSeparator", "a##b", {"a", "b"}, {}, "##"},
        PipelineCase {"EmptySeparatorStillCutsAtSemicolon", "a;b", {"a", "b"}, {}, ""},
        PipelineCase {"EmptySeparatorJoinsAliasLines", "x", {"onetwo "}, {{"x", "one\r\ntwo"}}, ""},
        PipelineCase {"AliasLinesBecomeCommands", "x", {"one", "two "}, {{"x", "one\r\ntwo"}}},
        PipelineCase {"AliasArgument", "k rat", {"kill rat"}, {{"k", "kill %1"}}},
        PipelineCase {"AliasArgumentsAppended", "k rat", {"kill rat"}, {{"k", "kill"}}},
        PipelineCase {"AliasMissingPlaceholderStays", "k rat", {"kill %2 rat"}, {{"k", "kill %2"}}},
        PipelineCase {"AliasRest", "t bob hello there", {"tell bob hello there"}, {{"t", "tell %rest"}}},
        PipelineCase {"PercentTenIsWordOneAndZero", "k a", {"x a0"}, {{"k", "x %10"}}},
        PipelineCase {"AliasNameIgnoresCase", "K rat", {"kill rat"}, {{"k", "kill %1"}}},
        PipelineCase {"ExpansionIsExpandedAgain", "n", {"go north "}, {{"n", "north"}, {"north", "go north"}}},
        PipelineCase {"EmptyAliasValueIsNoMatch", "e", {"e"}, {{"e", ""}}},
        PipelineCase {"Path", ".3n2e", {"n", "n", "n", "e", "e"}},
        PipelineCase {"PathCountIsOneDigit", ".12w", {"w", "w"}},
        PipelineCase {"PathStepsAreAliasExpanded", ".2n", {"north ", "north "}, {{"n", "north"}}},
        PipelineCase {"PathCharacterAloneSendsEmptyLine", ".", {" "}},
        PipelineCase {"PathsOff", ".3n", {".3n"}, {}, ";", ".", false},
        PipelineCase {"BlankPathCharacterMakesEveryCommandAPath", "look", {"l", "o", "o", "k"}, {}, ";", ""},
        PipelineCase {"SentinelRunsNothing", "~~~~~~~~~~", {}}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(ProcessCommandBound, SelfExpandingAliasStopsTheCommandWithOneLine)
{
    Recorder host;
    host.Separator = ";";
    host.Path = ".";
    host.Store.AddAlias("a", "a %1", "Main");
    CommandPipeline pipeline(host);
    pipeline.ProcessCommand("look;a x;score");
    EXPECT_EQ(host.Executed, QList<QByteArray> {"look"});
    ASSERT_EQ(host.Reports.size(), 1);
    EXPECT_EQ(host.Reports[0], "Command stopped: aliases expanded more than 64 levels deep.\r\n");
    pipeline.ProcessCommand("a y;score");
    EXPECT_EQ(host.Reports.size(), 2) << "each typed command reports its own runaway once";
    pipeline.ProcessCommand("score");
    EXPECT_EQ(host.Executed, (QList<QByteArray> {"look", "score"})) << "the next command runs in full";
}

// An alias whose expansion doubles itself stays within the nesting bound but would run 2^64 commands:
// the work budget ends it.
TEST(ProcessCommandBound, FanOutStopsAtTheWorkBudget)
{
    struct Case {
        const char *Name;
        QByteArray Alias;
        QByteArray Text;
    } cases[] = {
        {"alias a = a;a", "a;a", "a"},
        {"paths fanning out", ".9x9x9x9x9x9x", "x"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        Recorder host;
        host.Separator = ";";
        host.Path = ".";
        host.Store.AddAlias(c.Text, c.Alias, "Main");
        host.Store.AddAlias("y", "", "Main");
        CommandPipeline pipeline(host);
        pipeline.ProcessCommand(c.Text + ";after");
        EXPECT_LE(host.Executed.size(), CommandBudget::Limit);
        EXPECT_FALSE(host.Executed.contains("after")) << "the rest of the stopped command does not run";
        ASSERT_EQ(host.Reports.size(), 1);
        EXPECT_TRUE(host.Reports[0].startsWith("Command stopped: ")) << host.Reports[0].constData();
    }
}

TEST(ProcessCommandBound, ClosingSessionRunsNothingMore)
{
    Recorder host;
    host.Separator = ";";
    host.Path = ".";
    host.Store.AddAlias("bye", "close;after", "Main");
    CommandPipeline pipeline(host);
    pipeline.ProcessCommand("first;bye;second");
    EXPECT_EQ(host.Executed, (QList<QByteArray> {"first", "close"}));
    pipeline.ProcessCommand("third");
    EXPECT_EQ(host.Executed.size(), 2);
}

TEST(LeadingInteger, ReadsSignDecimalAndHexForms)
{
    struct Case {
        QByteArray Word;
        long long Value;
    } cases[] = {{"3", 3}, {"3x", 3}, {"3kill", 3}, {"0", 0}, {"-2", -2}, {"$1F", 31},
                 {"x10", 16}, {"0x10", 16}, {"+7", 7}, {"save", 0}, {"99999999999999", INT_MAX}};
    for (const Case &c : cases)
        EXPECT_EQ(LeadingInteger(c.Word), c.Value) << c.Word.constData();
}
