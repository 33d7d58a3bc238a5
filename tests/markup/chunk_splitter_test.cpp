// SPDX-License-Identifier: GPL-3.0-or-later
// Cutting blocks into chunks at line ends, escapes and tags, with unfinished ones carried across blocks.
#include "markup/chunk_splitter.h"
#include "support/test_support.h"

#include <QList>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::B;

namespace {

enum Flags { Ansi = 1, Zel = 2, NoGlobalZel = 4 };

struct SplitCase {
    const char *Name;
    int Flags;
    QList<QByteArray> Blocks;
    QList<QByteArray> Events; ///< "text|<piece>|<delimiter>", "ansi|<sequence>", "tag|<tag>"
};

void PrintTo(const SplitCase &c, std::ostream *os)
{
    *os << c.Name;
}

class Recorder : public ChunkHost
{
public:
    QList<QByteArray> Events;
    void ApplyAnsiSequence(QByteArrayView sequence) override { Events.append("ansi|" + sequence.toByteArray()); }
    void InterpretTag(const QByteArray &tag) override { Events.append("tag|" + tag); }
};

QByteArray DelimiterName(char d)
{
    switch (d) {
    case 0: return "end";
    case '\r': return "CR";
    case '\n': return "LF";
    case 27: return "ESC";
    case 23: return "23";
    default: return QByteArray(1, d);
    }
}

QList<QByteArray> Split(int flags, const QList<QByteArray> &blocks)
{
    TSessionOptions options;
    options.SetDefaults();
    options.AnsiColor = flags & Ansi;
    options.ZelEnabled = flags & Zel;
    const bool globalZel = !(flags & NoGlobalZel);
    QByteArray ansiBuffer, tagBuffer;
    ChunkState state {options, globalZel, ansiBuffer, tagBuffer};
    Recorder host;
    for (const QByteArray &block : blocks) {
        ChunkCursor cursor(block);
        QByteArrayView piece;
        char delimiter = 0;
        while (NextChunk(cursor, state, host, piece, delimiter))
            host.Events.append("text|" + piece.toByteArray() + "|" + DelimiterName(delimiter));
    }
    return host.Events;
}

class ChunkSplitting : public ::testing::TestWithParam<SplitCase>
{
};

} // namespace

TEST_P(ChunkSplitting, GivesPiecesEscapesAndTagsInTextOrder)
{
    const SplitCase &c = GetParam();
    const QList<QByteArray> events = Split(c.Flags, c.Blocks);
    std::string got;
    for (const QByteArray &e : events)
        got += test::Escaped(e) + "\n";
    std::string want;
    for (const QByteArray &e : c.Events)
        want += test::Escaped(e) + "\n";
    EXPECT_EQ(got, want);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ChunkSplitting,
    ::testing::Values(
        SplitCase {"LineEnds", Ansi, {"one\rtwo\nthree"}, {"text|one|CR", "text|two|LF", "text|three|end"}},
        SplitCase {"EscapeAppliedMidBlock",
                   Ansi,
                   {B("ab\x1b[1;32mcd\r")},
                   {"text|ab|ESC", "ansi|[1;32", "text|cd|CR"}},
        SplitCase {"EscapeSplitAcrossBlocks",
                   Ansi,
                   {B("x\x1b[3"), "1mred"},
                   {"text|x|ESC", "text||end", "ansi|[31", "text|red|end"}},
        SplitCase {"AnyFinalLetterEndsTheEscape",
                   Ansi,
                   {B("\x1b[2Jclear\x1b[K!")},
                   {"text||ESC", "ansi|[2", "text|clear|ESC", "ansi|[", "text|!|end"}},
        SplitCase {"ByteTwentyThreeCountsAsEscape", Ansi, {B("a\x17[1mb")}, {"text|a|23", "ansi|[1", "text|b|end"}},
        SplitCase {"LineEndAbandonsEscapeAndShowsIt", Ansi, {B("\x1b[3\rz")}, {"text||ESC", "text|[3|CR", "text|z|end"}},
        SplitCase {"LineEndAbandonsEscapeFromEarlierBlock",
                   Ansi,
                   {B("\x1b["), B("3\rz")},
                   {"text||ESC", "text||end", "text|[3|CR", "text|z|end"}},
        SplitCase {"EscapeInsideEscapeShowsTheFirst",
                   Ansi,
                   {B("\x1b[3"), B("\x1b[1mB")},
                   {"text||ESC", "text||end", "text|[3|ESC", "ansi|[1", "text|B|end"}},
        SplitCase {"AnsiOffEscapeIsText", 0, {B("\x1b[1mx")}, {B("text|\x1b[1mx|end")}},
        SplitCase {"TagRunsWhenClosed", Ansi | Zel, {"ab<B>cd"}, {"text|ab|<", "tag|B", "text|cd|end"}},
        SplitCase {"TagSplitAcrossBlocks",
                   Ansi | Zel,
                   {"<B", "OLD>text"},
                   {"text||<", "text||end", "tag|BOLD", "text|text|end"}},
        SplitCase {"LineEndGivesUpTag", Ansi | Zel, {"a<b\rc"}, {"text|a|<", "text|<b\n|<", "text|c|end"}},
        SplitCase {"LineEndGivesUpTagFromEarlierBlock",
                   Ansi | Zel,
                   {"a<b", "c\r"},
                   {"text|a|<", "text||end", "text|<bc\n|<"}},
        SplitCase {"SpacesAndQuotesBelongToTag",
                   Ansi | Zel,
                   {"x < y and z > w"},
                   {"text|x |<", "tag| y and z ", "text| w|end"}},
        SplitCase {"SecondOpenStartsNewTag", Ansi | Zel, {"<<B>"}, {"text||<", "text|<|<", "tag|B", "text||end"}},
        SplitCase {"SecondOpenShowsEarlierPart",
                   Ansi | Zel,
                   {"<ab", "c<B>"},
                   {"text||<", "text||end", "text|<abc|<", "tag|B", "text||end"}},
        SplitCase {"EscapeGivesUpTag",
                   Ansi | Zel,
                   {"<ab", B("c\x1b[1mX")},
                   {"text||<", "text||end", "text|<abc|ESC", "ansi|[1", "text|X|end"}},
        SplitCase {"ZelOffTagIsText", Ansi, {"<B>"}, {"text|<B>|end"}},
        SplitCase {"GlobalZelOffTagIsText", Ansi | Zel | NoGlobalZel, {"<B>"}, {"text|<B>|end"}},
        SplitCase {"EmptyTag", Ansi | Zel, {"<>"}, {"text||<", "tag|", "text||end"}},
        // The letter inside the tag ends the escape first; the tag is then empty.
        SplitCase {"TagInsideEscapeParameters",
                   Ansi | Zel,
                   {B("\x1b[1<B>m")},
                   {"text||ESC", "text|[1|<", "ansi|", "tag|", "text|m|end"}}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(ChunkSplitting, BuffersHaveALimit)
{
    QByteArray huge = B("\x1b[");
    huge += QByteArray(100000, '1');
    QList<QByteArray> blocks;
    for (qsizetype at = 0; at < huge.size(); at += 1000)
        blocks.append(huge.mid(at, 1000));
    blocks.append("mZ");
    const QList<QByteArray> events = Split(Ansi, blocks);
    ASSERT_GE(events.size(), 2);
    EXPECT_EQ(events[events.size() - 2].size(), 5 + MaxEscapeLength);
    EXPECT_EQ(events.back(), "text|Z|end");
}
