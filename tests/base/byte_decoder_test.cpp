// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes to characters: UTF-8 where valid, Windows-1252 elsewhere.
#include "base/byte_decoder.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace wren;
using wren::test::B;

TEST(ByteDecoder, Utf8WhereValidWindows1252Elsewhere)
{
    struct Case {
        QByteArray Bytes;
        QString Text;
    } cases[] = {
        {"plain", QStringLiteral("plain")},
        {B("caf\xc3\xa9"), QStringLiteral("caf\u00e9")},
        {B("caf\xe9"), QStringLiteral("caf\u00e9")},
        {B("\x80 \x93quoted\x94"), QStringLiteral("\u20ac \u201cquoted\u201d")},
        {B("\xe6\x97\xa5\xe6\x9c\xac"), QStringLiteral("\u65e5\u672c")},
        {B("\xf0\x9f\x98\x80"), QString::fromUcs4(U"\U0001F600")},
        {B("\xc0\xaf"), QStringLiteral("\u00c0\u00af")},          // overlong: not UTF-8
        {B("\xed\xa0\x80"), QStringLiteral("\u00ed\u00a0\u20ac")}, // a surrogate: not UTF-8
        {B("\xe6\x97"), QStringLiteral("\u00e6\u2014")},          // cut short at the end
        {B("\xc3\xa9\xe9\xc3"), QStringLiteral("\u00e9\u00e9\u00c3")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DecodeBytes(c.Bytes), c.Text) << test::Escaped(c.Bytes);
}

TEST(ByteDecoder, StreamKeepsACharacterCutBetweenReads)
{
    const QByteArray text = B("na\xc3\xafve \xe6\x97\xa5 caf\xe9!");
    for (qsizetype cut = 0; cut <= text.size(); ++cut) {
        StreamDecoder decoder;
        QString out = decoder.Decode(text.left(cut));
        out += decoder.Decode(text.mid(cut));
        out += decoder.Flush();
        EXPECT_EQ(out, DecodeBytes(text)) << "cut at " << cut;
    }
}

TEST(ByteDecoder, DisplayFormExpandsTabsAndDropsControls)
{
    std::vector<int> map;
    const QString text = DecodeForDisplay(B("a\tb\x07\xc3\xa9"), &map);
    EXPECT_EQ(text, QStringLiteral("a       b\u00e9"));
    EXPECT_EQ(map, (std::vector<int> {0, 1, 1, 1, 1, 1, 1, 1, 2, 4, 6}));
    // The object character stands for the client's own pictures; a server's own U+FFFC is not one.
    EXPECT_EQ(DecodeForDisplay(B("x\xef\xbf\xbcy")), QStringLiteral("x\ufffdy"));
}

// One line, one encoding: never Latin-1, Windows-1252 and UTF-8 bytes side by side.
TEST(ByteDecoder, EncodeLineTakesOneRuleForTheWholeLine)
{
    struct Case {
        const char *Name;
        QString Text;
        bool Utf8;
        QByteArray Bytes;
    } cases[] = {
        {"1252 world", QStringLiteral("caf\u00e9 \u20ac \u2713"), false, B("caf\xe9 \x80 ?")},
        {"utf-8 world", QStringLiteral("caf\u00e9 \u20ac \u2713"), true, B("caf\xc3\xa9 \xe2\x82\xac \xe2\x9c\x93")},
        {"character outside the BMP is one ?", QStringLiteral("a\U0001F600b"), false, B("a?b")},
        {"C1 control is not a 1252 byte", QStringLiteral("x\u0081y"), false, B("x?y")},
        {"y with diaeresis is byte 255", QStringLiteral("\u00ff"), false, B("\xff")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(EncodeLine(c.Text, c.Utf8), c.Bytes) << c.Name;
}

TEST(ByteDecoder, TellsWhetherTextHoldsUtf8)
{
    EXPECT_FALSE(HoldsUtf8Sequence("plain ascii text, longer than eight bytes"));
    EXPECT_FALSE(HoldsUtf8Sequence(B("caf\xe9 au lait")));
    EXPECT_FALSE(HoldsUtf8Sequence(B("\xc3")));
    EXPECT_TRUE(HoldsUtf8Sequence(B("0123456789 na\xc3\xafve")));
    EXPECT_TRUE(HoldsUtf8Sequence(B("\xe9\xe6\x97\xa5")));
}
