// SPDX-License-Identifier: GPL-3.0-or-later
// The line store: paragraphs, style runs, wrapped-line counting and the line limit.
#include "session/paragraph_layout.h"
#include "session/session_document.h"
#include "support/test_support.h"

#include <QFontMetricsF>
#include <QTextLayout>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::B;

namespace {

// A document whose fixed-pitch font wraps at exactly @p columns.
void WrapAt(SessionDocument &doc, int columns)
{
    const StyleMetrics &metrics = doc.Layouter().Metrics(doc.Paragraphs().back().EmptyStyle);
    ASSERT_TRUE(metrics.Fixed) << "the default font must be fixed-pitch";
    doc.SetWidth(static_cast<int>(columns * metrics.CharWidth) + 1);
}

} // namespace

TEST(WrapColumns, BreaksAfterBlanksOrAnywhereInLongWords)
{
    struct Case {
        const char *Text;
        int Columns;
        std::vector<int> Starts;
    } cases[] = {
        {"", 10, {0, 0}},
        {"short", 10, {0, 5}},
        {"exactly10!", 10, {0, 10}},
        {"hello world again", 10, {0, 6, 12, 17}},
        {"abcdefghijklmnopqrstuvwxy", 10, {0, 10, 20, 25}},
        {"ten chars  next", 10, {0, 11, 15}}, // blanks at the break hang on their row
        {"a                    ", 5, {0, 21}},
    };
    for (const Case &c : cases) {
        std::vector<int> starts;
        WrapColumns(c.Text, static_cast<qsizetype>(strlen(c.Text)), c.Columns, starts);
        EXPECT_EQ(starts, c.Starts) << c.Text;
    }
}

TEST(SessionDocument, CountsWrappedRowsAtTheCurrentWidth)
{
    SessionDocument doc;
    WrapAt(doc, 20);
    doc.Append("short line\n");
    doc.Append("a line that is long enough to wrap twice over here\n"); // 51 characters
    doc.Append(B("caf\xc3\xa9 caf\xe9 caf\xc3\xa9 caf\xe9 caf\xc3\xa9 caf\xe9\n")); // 29 characters, 2 rows
    EXPECT_EQ(doc.RowCount(), 1 + 3 + 2 + 1);
    WrapAt(doc, 80);
    EXPECT_EQ(doc.RowCount(), 4);
}

TEST(SessionDocument, CountMatchesTheLayoutForProportionalText)
{
    SessionDocument doc;
    TextAttributes proportional = doc.Attributes;
    proportional.FontName = "DejaVu Sans";
    doc.Attributes = proportional;
    doc.SetWidth(200);
    const QByteArray text = "Proportional text wraps where its glyph widths say, not by character counts at all.";
    doc.Append(text + "\n");
    QTextLayout layout(QString::fromLatin1(text), doc.Layouter().Metrics(doc.Paragraphs().front().Runs[0].Style).Font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    int lines = 0;
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(200);
        ++lines;
    }
    layout.endLayout();
    EXPECT_GT(lines, 1);
    EXPECT_EQ(doc.RowCount(), lines + 1);
}

TEST(SessionDocument, LimitOf750GrowsTo801ThenTrimsTo749)
{
    SessionDocument doc;
    WrapAt(doc, 80);
    for (int i = 1; i <= 799; ++i)
        doc.Append("line\n"), doc.TrimToLimit(750);
    EXPECT_EQ(doc.RowCount(), 800);
    doc.Append("line\n");
    EXPECT_TRUE(doc.TrimToLimit(750));
    EXPECT_EQ(doc.RowCount(), 749);
}

TEST(SessionDocument, LimitIsCountedInWrappedRowsAndCutsAParagraphPart)
{
    SessionDocument doc;
    WrapAt(doc, 10);
    // Each paragraph is 25 characters: three rows of 10, 10 and 5.
    for (int i = 0; i < 40; ++i)
        doc.Append(QByteArray::number(i).rightJustified(2, '0') + "xxxxxxxxyyyyyyyyyyzzzzz\n");
    EXPECT_EQ(doc.RowCount(), 121);
    doc.TrimToLimit(60); // 121 > 110: delete 62 rows, 59 remain
    EXPECT_EQ(doc.RowCount(), 59);
    // 62 rows = 20 whole paragraphs and two rows of the 21st, of which its last row is left.
    EXPECT_EQ(doc.Paragraphs().front().Text, "zzzzz");
    EXPECT_EQ(doc.Paragraphs()[1].Text.left(2), "21");
}

TEST(SessionDocument, LimitHoldsWhenEachByteTakesARowOfItsOwn)
{
    // In a view narrower than a tab every tab is a row: a line of them must still be trimmed at the limit,
    // whichever way it arrives (whole, or a byte per write).
    for (const int piece : {4096, 1}) {
        SessionDocument doc;
        doc.SetWidth(40);
        const QByteArray tabs = QByteArray("x\t").repeated(100);
        for (qsizetype at = 0; at < tabs.size(); at += piece) {
            doc.Append(tabs.mid(at, piece));
            doc.TrimToLimit(5);
        }
        EXPECT_LE(doc.RowCount(), 5 + 50) << "pieces of " << piece;
    }
}

TEST(SessionDocument, CuttingRowsKeepsTheRunsOfWhatRemains)
{
    SessionDocument doc;
    WrapAt(doc, 10);
    doc.Attributes.Fore = Rgb(255, 0, 0);
    doc.Append("aaaaaaaaaa");
    doc.Attributes.Fore = Rgb(0, 255, 0);
    doc.Append("bbbbb");
    doc.Attributes.Fore = Rgb(0, 0, 255);
    doc.Append("ccccc\n");
    doc.DeleteFirstRows(1);
    EXPECT_EQ(test::Render(doc), "[00ff00]bbbbb[0000ff]ccccc|");
}

TEST(SessionDocument, RunsFollowAttributeChangesAndMergeOtherwise)
{
    SessionDocument doc;
    doc.Append("a");
    doc.Append("b");
    doc.Attributes.Style = Bold;
    doc.Append("c\nd");
    doc.Attributes.Style = 0;
    doc.Append(B("e\r\n"));
    EXPECT_EQ(test::Render(doc), "[ffffff]ab[ffffffB]c|[ffffffB]d[ffffff]e|");
}

TEST(SessionDocument, StylesCycledFasterThanTheirCacheKeepTheirOwnColours)
{
    // Forty colours in turn, more than any cache in front of the style table holds: every run must still
    // carry the colour it was written with.
    SessionDocument doc;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 40; ++i) {
            doc.Attributes.Fore = Rgb(i, 0, round);
            doc.Attributes.Style = static_cast<std::uint8_t>(i % 2 ? Bold : 0);
            doc.AppendPlain("x");
        }
        doc.EndParagraph();
    }
    for (int round = 0; round < 3; ++round) {
        const Paragraph &p = doc.Paragraphs()[static_cast<size_t>(round)];
        ASSERT_EQ(p.Runs.size(), 40u);
        for (int i = 0; i < 40; ++i) {
            const TextAttributes &a = doc.Styles().At(p.Runs[static_cast<size_t>(i)].Style);
            EXPECT_EQ(a.Fore, Rgb(i, 0, round));
            EXPECT_EQ(a.Style, i % 2 ? Bold : 0);
        }
    }
}

TEST(SessionDocument, ManyDistinctStylesDoNotGrowTheTableWithoutBound)
{
    SessionDocument doc;
    for (int i = 0; i < 100000; ++i) {
        doc.Attributes.Fore = i;
        doc.Append("x\n");
        doc.TrimToLimit(100);
    }
    EXPECT_LT(doc.Styles().Size(), 10000u);
    // The colours of what is kept survive the renumbering.
    const Paragraph &last = doc.Paragraphs()[doc.Paragraphs().size() - 2];
    EXPECT_EQ(doc.Styles().At(last.Runs[0].Style).Fore, 99999);
}

TEST(SessionDocument, ClearEmptiesTheView)
{
    SessionDocument doc;
    doc.Append("one\ntwo\n");
    doc.Clear();
    EXPECT_EQ(doc.RowCount(), 1);
    EXPECT_EQ(doc.PlainText(), QString());
}

TEST(SessionDocument, FindsWebAddresses)
{
    const QString text = QStringLiteral("See http://example.org/a?b=1, or www.mud.net. And ftp://x.y/z!");
    const auto links = FindWebAddresses(text);
    ASSERT_EQ(links.size(), 3u);
    EXPECT_EQ(text.mid(links[0].first, links[0].second - links[0].first), QStringLiteral("http://example.org/a?b=1"));
    EXPECT_EQ(text.mid(links[1].first, links[1].second - links[1].first), QStringLiteral("www.mud.net"));
    EXPECT_EQ(text.mid(links[2].first, links[2].second - links[2].first), QStringLiteral("ftp://x.y/z"));
}
