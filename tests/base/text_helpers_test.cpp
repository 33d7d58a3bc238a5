// SPDX-License-Identifier: GPL-3.0-or-later
// The shared byte-string routines.
#include "base/text_helpers.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace wren;

TEST(ReplaceAll, ReplacesLeftToRightWithoutRescanningInsertedText)
{
    struct Case {
        QByteArray find, replacement, text, expected;
    } cases[] = {
        {"hp", "HP", "hp hpmax Hp", "HP HPmax Hp"},
        {"a", "aa", "aaa", "aaaaaa"},
        {"aa", "b", "aaa", "ba"},
        {"", "x", "text", "text"},
        {"x", "y", "", ""},
        {"cat", "", "concatenate", "conenate"},
        {"\xff\xf9", "", "prompt>\xff\xf9", "prompt>"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ReplaceAll(c.find, c.replacement, c.text), c.expected) << c.text.constData();
}

TEST(SplitText, DropsOneTrailingSeparatorAndKeepsEmptyPieces)
{
    EXPECT_EQ(SplitText("", ','), QList<QByteArray>());
    EXPECT_EQ(SplitText("a", ','), QList<QByteArray>({"a"}));
    EXPECT_EQ(SplitText("a,b,", ','), QList<QByteArray>({"a", "b"}));
    EXPECT_EQ(SplitText("a,,b", ','), QList<QByteArray>({"a", "", "b"}));
    EXPECT_EQ(SplitText("a,,", ','), QList<QByteArray>({"a", ""}));
    EXPECT_EQ(SplitText(",", ','), QList<QByteArray>({""}));
    EXPECT_EQ(SplitText("whole,1,,,,,,,,", ','), QList<QByteArray>({"whole", "1", "", "", "", "", "", "", ""}));
}

TEST(FirstToken, ReturnsTextBeforeDelimiterOnlyFromPositionTwo)
{
    struct Case {
        QByteArray text, delimiter, expected;
    } cases[] = {
        {"abc def", " ", "abc"},
        {" abc", " ", " abc"},
        {"31", ";", "31"},
        {"look\r\n", ";", "look"},
        {"\r\n", ";", "\r\n"},
        {";1", ";", ";1"},
        {"a;;b", ";", "a"},
        {"ab\r\n;c", ";", "ab"},
        {"", ";", ""},
        {"x;;", ";;", "x"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FirstToken(c.text, c.delimiter), c.expected) << test::Escaped(c.text);
}

TEST(TextHelpers, LeadingNumberAndRemoveByte)
{
    EXPECT_EQ(LeadingNumber("  42abc"), 42);
    EXPECT_EQ(LeadingNumber("x1"), 0);
    EXPECT_EQ(LeadingNumber(";32"), 0);
    EXPECT_EQ(LeadingNumber("99999999999999"), INT_MAX);
    QByteArray text = "a\nb\n\nc\n";
    RemoveByte(text, '\n');
    EXPECT_EQ(text, "abc");
    EXPECT_EQ(TrimBlanks(QByteArray(" \t x y \r\n")), "x y");
}

TEST(TextHelpers, AppendBytesKeepsTheTerminatorAndNeverWritesIntoSharedBytes)
{
    QByteArray text;
    text.reserve(16);
    AppendBytes(text, "abc", 3); // in place
    EXPECT_EQ(text, "abc");
    EXPECT_EQ(text.constData()[3], '\0');
    const QByteArray copy = text; // shares the bytes: the next append must not show in the copy
    AppendBytes(text, "de", 2);
    EXPECT_EQ(text, "abcde");
    EXPECT_EQ(copy, "abc");
    EXPECT_EQ(copy.constData()[3], '\0');
    AppendBytes(text, text.constData(), text.size()); // its own bytes
    EXPECT_EQ(text, "abcdeabcde");
    QByteArray exact("abcdefgh"); // no room to spare: growing moves the bytes being appended
    exact.squeeze();
    AppendBytes(exact, exact.constData(), exact.size());
    EXPECT_EQ(exact, "abcdefghabcdefgh");
    const QByteArray raw = QByteArray::fromRawData("xyz", 3);
    QByteArray grown = raw;
    AppendBytes(grown, "!", 1);
    EXPECT_EQ(grown, "xyz!");
    EXPECT_EQ(raw, "xyz");
    for (int i = 0; i < 100; ++i)
        AppendBytes(text, "0123456789", 10); // past the reserved room
    EXPECT_EQ(text.size(), 1010);
    EXPECT_EQ(text.constData()[1010], '\0');
    EXPECT_EQ(text.right(10), "0123456789");
}
