// SPDX-License-Identifier: GPL-3.0-or-later
// Server bytes to what the view holds and what the log gets, whole or cut at any offset.
#include "config/program_folder.h"
#include "session/client.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::B;

namespace {

struct BlockCase {
    const char *Name;
    QByteArray Bytes;
    std::string Shown; ///< as test::Render prints the document
};

void PrintTo(const BlockCase &c, std::ostream *os)
{
    *os << c.Name;
}

// Default session colours: text white until the first reset, which turns it green.
const BlockCase Cases[] = {
    {"CrLfLines", "one\r\ntwo\r\n", "[ffffff]one|[ffffff]two|"},
    {"LfCrLines", "one\n\rtwo\n\r", "[ffffff]one|[ffffff]two|"},
    {"RealServerGreeting",
     B("\xff\xfb\x19\xff\xfd\x19\xff\xfd\x03\xff\xfd\x18\xff\xfd\x1f\xff\xfd\x27\xff\xfb\x2a\xff\xfd\x2a"
       "\x1b[1m\x1b[31mWelcome\r\nto the game\x1b[0m\r\n"),
     "[800000B]Welcome|[800000B]to the game|"},
    {"ColourCarriesAcrossLinesUntilReset",
     B("\x1b[36mteal\r\nstill\x1b[0m plain\r\n"),
     "[008080]teal|[008080]still[008000] plain|"},
    {"StylesAndBackground",
     B("\x1b[1;33mgold\x1b[22m \x1b[44mon blue\x1b[0m end\r\n"),
     "[808000B]gold[808000] [808000/000080]on blue[008000] end|"},
    {"PromptEndsWithGoAhead", B("HP:100> \xff\xf9"), "[ffffff]HP:100> "},
    {"EscapedIacIsOneByte", B("caf\xff\xff\r\n"), "[ffffff]caf\\xFF|"},
    {"Latin1AndUtf8Bytes", B("caf\xe9 na\xc3\xafve \xe6\x97\xa5\r\n"), "[ffffff]caf\\xE9 na\\xC3\\xAFve \\xE6\\x97\\xA5|"},
    {"SubnegotiationIsDropped", B("\xff\xfa\x18\x01\xff\xf0text\r\n"), "[ffffff]text|"},
    {"AbandonedEscapeIsShown", B("x\x1b[3\r\ny\r\n"), "[ffffff]x[3|[ffffff]y|"},
    {"ClearScreenOnlyClearsStyle", B("\x1b[1mA\x1b[2JB\x1b[K\r\n"), "[ffffffB]A[ffffff]B|"},
    {"LeadingSemicolonResets", B("\x1b[31mr\x1b[;1mX\r\n"), "[800000]r[008000]X|"},
    {"BellIsKeptAsAByte", B("ding\x07\r\n"), "[ffffff]ding\\x07|"},
    {"EchoNegotiationInvisible", B("pass\xff\xfb\x01word\xff\xfc\x01\r\n"), "[ffffff]password|"},
    {"EscapeAbandonedByAnother", B("a\x1b[3\x1b[32mb\r\n"), "[ffffff]a[3[008000]b|"},
    {"EscapeAliasByte", B("\x17[31mred\r\n"), "[800000]red|"},
    {"BracketsWithoutMarkup", B("\x1b[1m<b>x</b>\r\n"), "[ffffffB]<b>x</b>|"},
    {"EscapeByteEndsTheBlock", B("tail\x1b"), "[ffffff]tail"},
    // Modern colours: bright codes from the session's palette, the 256-colour cube and grey ramp, true
    // colour, inverse; a colour out of range or cut short is skipped.
    {"BrightCodesAndDefaultBackground", B("\x1b[91mred\x1b[104mon blue\x1b[49m back\r\n"),
     "[ff0000]red[ff0000/0000ff]on blue[ff0000] back|"},
    {"Palette256", B("\x1b[38;5;196mA\x1b[38;5;244mB\x1b[48;5;21mC\x1b[38;5;3mD\r\n"),
     "[ff0000]A[808080]B[808080/0000ff]C[808000/0000ff]D|"},
    {"TrueColour", B("\x1b[38;2;1;2;3mx\x1b[48;2;250;128;0my\x1b[0m\r\n"), "[010203]x[010203/fa8000]y|"},
    {"Inverse", B("\x1b[7mrev\x1b[27mnot\x1b[7;0mplain\r\n"), "[ffffffR]rev[ffffff]not[008000]plain|"},
    {"BadExtendedColoursAreSkipped", B("\x1b[38;5;300mA\x1b[38;2;1;2mB\x1b[32mC\r\n"), "[ffffff]AB[008000]C|"},
};

class Pipeline : public ::testing::TestWithParam<BlockCase>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        SetProgramFolder(m_folder.path());
    }

    struct Result {
        std::string Shown;
        QByteArray Log;
    };

    Result Feed(const QList<QByteArray> &blocks, bool fastLane = true)
    {
        TGlobals globals;
        TClient client(globals);
        client.Incoming().FastLane = fastLane;
        const QString log = m_folder.filePath(QStringLiteral("log-%1.txt").arg(++m_logs));
        client.Options.LogMode = 1;
        client.Options.LogFile = log.toLocal8Bit();
        for (const QByteArray &block : blocks)
            client.ReceiveBytes(block);
        QFile file(log);
        (void)file.open(QIODevice::ReadOnly);
        return {test::Render(client.Display), file.readAll()};
    }

    QTemporaryDir m_folder;
    int m_logs = 0;
};

} // namespace

TEST_P(Pipeline, ShowsTheBlockAsExpected)
{
    const Result result = Feed({GetParam().Bytes});
    EXPECT_EQ(result.Shown, GetParam().Shown);
}

TEST_P(Pipeline, SameTextAndAttributesWhenCutAtEveryOffset)
{
    const QByteArray bytes = GetParam().Bytes;
    const Result whole = Feed({bytes});
    for (qsizetype cut = 1; cut < bytes.size(); ++cut) {
        const Result parts = Feed({bytes.left(cut), bytes.mid(cut)});
        EXPECT_EQ(parts.Shown, whole.Shown) << "cut at " << cut;
        EXPECT_EQ(parts.Log, whole.Log) << "cut at " << cut;
    }
    // And byte by byte.
    QList<QByteArray> bytesOneByOne;
    for (char c : bytes)
        bytesOneByOne.append(QByteArray(1, c));
    EXPECT_EQ(Feed(bytesOneByOne).Shown, whole.Shown);
}

TEST_P(Pipeline, FastLaneGivesWhatTheGeneralPathGives)
{
    const QByteArray bytes = GetParam().Bytes;
    QList<QList<QByteArray>> splits {{bytes}};
    for (qsizetype cut = 1; cut < bytes.size(); ++cut)
        splits.append({bytes.left(cut), bytes.mid(cut)});
    QList<QByteArray> bytesOneByOne;
    for (char c : bytes)
        bytesOneByOne.append(QByteArray(1, c));
    splits.append(bytesOneByOne);
    for (const QList<QByteArray> &blocks : splits) {
        const Result general = Feed(blocks, false);
        const Result fast = Feed(blocks, true);
        EXPECT_EQ(fast.Shown, general.Shown) << blocks.size() << " blocks, the first " << blocks[0].size() << " bytes";
        EXPECT_EQ(fast.Log, general.Log) << blocks.size() << " blocks, the first " << blocks[0].size() << " bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(ServerBlocks, Pipeline, ::testing::ValuesIn(Cases),
                         [](const auto &info) { return std::string(info.param.Name); });

class PipelineRules : public ::testing::Test
{
protected:
    void SetUp() override { SetProgramFolder(m_folder.path()); }
    QTemporaryDir m_folder;
    TGlobals m_globals;
};

TEST_F(PipelineRules, ModernColoursSwitchedOffLeaveTheClassicCodes)
{
    TGlobals globals;
    TClient client(globals);
    client.Features.ModernColours = false;
    client.ReceiveBytes(B("\x1b[91mred\x1b[7mx\x1b[38;5;196my\x1b[31mz\r\n"));
    EXPECT_EQ(test::Render(client.Display), "[ffffff]redxy[800000]z|");
}

TEST_F(PipelineRules, LogHoldsShownTextWithoutEscapes)
{
    TClient client(m_globals);
    client.Options.LogMode = 1;
    client.Options.LogFile = "world4000.rtf";
    client.ReceiveBytes(B("\xff\xfd\x18\x1b[1;31mHello\x1b[0m\r\nthere\r\n"));
    QFile file(m_folder.filePath(QStringLiteral("logs/world4000.rtf")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "Hello\nthere\n");
}

TEST_F(PipelineRules, CrLineEndSettingRemovesCrInstead)
{
    TClient client(m_globals);
    client.Options.LineEnd = "\r";
    client.ReceiveBytes("one\r\ntwo\n");
    EXPECT_EQ(test::Render(client.Display), "[ffffff]one|[ffffff]two|");
}

TEST_F(PipelineRules, AnsiOffShowsEscapesAsText)
{
    TClient client(m_globals);
    client.Options.AnsiColor = false;
    client.ReceiveBytes(B("\x1b[1mx\r\n"));
    EXPECT_EQ(test::Render(client.Display), "[ffffff]\\x1B[1mx|");
}

TEST_F(PipelineRules, ExecutePassSeesCompleteLinesAndTheBlocksUnfinishedLine)
{
    TClient client(m_globals);
    QList<QByteArray> lines;
    client.Incoming().OnTriggerLine = [&](const QByteArray &line) { lines.append(line); };
    client.ReceiveBytes(B("first\r\n\r\nsec\x1b[31mond\r\nEnter your name: "));
    client.ReceiveBytes("bob\r\n");
    // Empty lines run no trigger; the prompt is a line of its own, and so is its continuation.
    EXPECT_EQ(lines, (QList<QByteArray> {"first", "second", "Enter your name: ", "bob"}));
}

TEST_F(PipelineRules, PromptEndInsideAReadClosesTheTriggerLine)
{
    TClient client(m_globals);
    QList<QByteArray> lines;
    client.Incoming().OnTriggerLine = [&](const QByteArray &line) { lines.append(line); };
    client.ReceiveBytes(B("Name: \xff\xf9Password: \xff\xf9"));
    EXPECT_EQ(lines, (QList<QByteArray> {"Name: ", "Password: "}));
    EXPECT_EQ(test::Render(client.Display), "[ffffff]Name: Password: ");
}

TEST_F(PipelineRules, ReplaceTriggersRunPerChunk)
{
    TClient client(m_globals);
    client.Automation.AddTrigger("hp", "HP", "Main", 0);
    client.Automation.AddTrigger("cat", "dog", "Main", 0);
    client.Automation.AddTrigger("dog", "cow", "Main", 0);
    client.ReceiveBytes(B("hp hpmax Hp cat h\x1b[1mp\r\n"));
    EXPECT_EQ(test::Render(client.Display), "[ffffff]HP HPmax Hp cow h[ffffffB]p|");
    client.Options.EnableTriggers = false;
    client.ReceiveBytes("hp\r\n");
    EXPECT_EQ(test::Render(client.Display), "[ffffff]HP HPmax Hp cow h[ffffffB]p|[ffffffB]hp|");
}

TEST_F(PipelineRules, ReplacementTextWithLineEndsMakesNewLines)
{
    TClient client(m_globals);
    QList<QByteArray> lines;
    client.Incoming().OnTriggerLine = [&](const QByteArray &line) { lines.append(line); };
    client.Automation.AddTrigger("&", "one\r\ntwo", "Main", 0);
    client.ReceiveBytes(B("a&b\r\nc\r\n"));
    EXPECT_EQ(test::Render(client.Display), "[ffffff]aone|[ffffff]twob|[ffffff]c|");
    // The CR of the replacement is not shown, but the trigger line keeps it.
    EXPECT_EQ(lines, (QList<QByteArray> {"aone\r", "twob", "c"}));
}

TEST_F(PipelineRules, MarkupBannerIsAnsweredOnceAndEnablesTags)
{
    TClient client(m_globals);
    QList<QByteArray> events;
    QObject::connect(&client, &TClient::EventRaised, [&](const QByteArray &name) { events.append(name); });
    client.ReceiveBytes("Welcome. ZEL v1.50 ready\r\n");
    EXPECT_TRUE(client.Options.ZelEnabled);
    EXPECT_EQ(client.ZelDetectCount, -1);
    EXPECT_EQ(events, QList<QByteArray> {"ZEL Detected"});
    client.ReceiveBytes("a <b> c <xyz> d\r\n");
    // A tag the session knows styles the text; an unknown one is shown as text.
    EXPECT_EQ(test::Render(client.Display), "[ffffff]Welcome. ZEL v1.50 ready|[ffffff]a [ffffffB] c <xyz> d|");
}

TEST_F(PipelineRules, MarkupDetectionLooksAtThreeBlocksOnly)
{
    TClient client(m_globals);
    client.ReceiveBytes("Welcome, visitor: ZEL v1\r\n"); // a "v" before "ZEL": not the banner
    client.ReceiveBytes("two\r\n");
    client.ReceiveBytes("three\r\n");
    client.ReceiveBytes("ZEL v1.50\r\n");
    EXPECT_FALSE(client.Options.ZelEnabled);
    EXPECT_EQ(client.ZelDetectCount, 0);
}

TEST_F(PipelineRules, ScrollToEndOncePerBlockAndEveryTwentiethWrite)
{
    TClient client(m_globals);
    const quint64 before = client.Display.ScrollToEndRequests();
    client.ReceiveBytes("a\r\nb\r\n"); // four writes, none of them a twentieth
    EXPECT_EQ(client.Display.ScrollToEndRequests(), before + 1);

    client.WriteCount = 0;
    for (int i = 1; i <= 40; ++i) {
        client.WriteText("x");
        EXPECT_EQ(client.Display.ScrollToEndRequests(), before + 1 + i / 20) << "after write " << i;
    }

    // Scrolled back, neither the writes nor the block move the view.
    client.ScrolledBack = true;
    for (int i = 0; i < 40; ++i)
        client.WriteText("x");
    client.ReceiveBytes("c\r\n");
    EXPECT_EQ(client.Display.ScrollToEndRequests(), before + 3);
}

TEST_F(PipelineRules, UnwritableLogKeepsTheTextAndReportsOnce)
{
    TClient client(m_globals);
    QList<QString> notices;
    QObject::connect(&client, &TClient::Notice, [&](const QString &text) { notices.append(text); });
    ASSERT_TRUE(QDir(m_folder.path()).mkpath(QStringLiteral("logs/taken")));
    client.Options.LogMode = 1;
    client.Options.LogFile = "taken"; // a folder stands where the file should be
    client.ReceiveBytes("first\r\nsecond\r\n");
    client.ReceiveBytes("third\r\n");
    EXPECT_EQ(test::Render(client.Display), "[ffffff]first|[ffffff]second|[ffffff]third|");
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices.front().contains(QStringLiteral("taken")));
}

TEST_F(PipelineRules, LineLimitHoldsAfterACompressedStreamTurnsCorrupt)
{
    // Found by fuzzing: a compressed stream that inflates to a line of tabs in a 40-pixel view, then turns
    // corrupt. The first byte held the session's switches (5 lines kept, CR line ends, no ANSI colour).
    const QByteArray input = QByteArray::fromBase64(
        "/wj/+1b/+lb/8Hick442tDY2zA3mPEhVyC9Klo42zAAAVcjILClWMqjQ0NDQ0NDQ4NDQ0NDQ0NDQ7NBo0NDQ0NDQ0NDQ0NDQ0NDQ0"
        "ODQ0NDQ0NAOr+TlKzQ0KNDQ0NDQ0GxsbGxsbGxsbJxsJuQi0A==");
    TClient client(m_globals);
    client.Options.ZelEnabled = true;
    client.Options.AnsiColor = false;
    client.Options.UseBrightColors = true;
    client.Options.LineEnd = "\r";
    client.Options.MaxLines = 5;
    client.Options.EnableTriggers = false;
    client.Display.SetWidth(40);
    for (const QByteArray &block : input.mid(1).split('\0')) {
        client.ReceiveBytes(block);
        EXPECT_LE(client.Display.RowCount(), client.Options.EffectiveMaxLines() + 50);
    }
}
