// SPDX-License-Identifier: GPL-3.0-or-later
// The telnet layer: commands consumed, options refused once, state kept across reads.
#include "session/telnet_filter.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace wren;
using wren::test::B;

namespace {

// What a TinyMUX server sends at connect, before its login screen.
const QByteArray TinyMuxGreeting = B("\xff\xfb\x19\xff\xfd\x19\xff\xfd\x03\xff\xfd\x18\xff\xfd\x1f\xff\xfd\x27"
                                     "\xff\xfb\x2a\xff\xfd\x2a");

struct Fed {
    QByteArray Text;
    QByteArray Replies;
    int Segments = 0;
};

Fed FeedInPieces(TelnetFilter &filter, const QList<QByteArray> &pieces)
{
    Fed fed;
    for (const QByteArray &piece : pieces) {
        const TelnetFilter::Output out = filter.Feed(piece);
        fed.Text += out.Segments.join('|');
        fed.Replies += out.Replies;
        fed.Segments += static_cast<int>(out.Segments.size());
    }
    return fed;
}

} // namespace

TEST(TelnetFilter, RefusesEveryOptionOfARealServerGreeting)
{
    TelnetFilter filter;
    const Fed fed = FeedInPieces(filter, {TinyMuxGreeting + "Welcome\r\n"});
    EXPECT_EQ(fed.Text, "Welcome\r\n");
    EXPECT_EQ(fed.Replies, B("\xff\xfe\x19\xff\xfc\x19\xff\xfc\x03\xff\xfc\x18\xff\xfc\x1f\xff\xfc\x27"
                             "\xff\xfe\x2a\xff\xfc\x2a"));
}

TEST(TelnetFilter, AnswersOncePerChangeAndNeverAnswersARefusal)
{
    TelnetFilter filter;
    // WILL ECHO twice: one DONT. WONT ECHO: no answer, and the next WILL is a change, answered again.
    const Fed fed = FeedInPieces(filter, {B("\xff\xfb\x01\xff\xfb\x01\xff\xfc\x01\xff\xfb\x01"
                                            "\xff\xfe\x05\xff\xfd\x05\xff\xfd\x05")});
    EXPECT_EQ(fed.Replies, B("\xff\xfe\x01\xff\xfe\x01\xff\xfc\x05"));
    EXPECT_EQ(fed.Text, "");
}

TEST(TelnetFilter, SameResultWhenCutAtEveryOffset)
{
    const QByteArray stream = TinyMuxGreeting + B("caf\xff\xff!\xff\xfa\x18\x01\xff\xff\xff\xf0ok\xff\xf1"
                                                  "x\xff\xf9prompt> \xff\xefnext");
    TelnetFilter whole;
    Fed expected = FeedInPieces(whole, {stream});
    EXPECT_EQ(expected.Text.replace('|', ""), B("caf\xff!okxprompt> next"));
    for (qsizetype cut = 1; cut < stream.size(); ++cut) {
        TelnetFilter filter;
        Fed fed = FeedInPieces(filter, {stream.left(cut), stream.mid(cut)});
        EXPECT_EQ(fed.Text.replace('|', ""), expected.Text) << "cut at " << cut;
        EXPECT_EQ(fed.Replies, expected.Replies) << "cut at " << cut;
    }
}

TEST(TelnetFilter, PromptEndsCutTheTextIntoSegments)
{
    TelnetFilter filter;
    const TelnetFilter::Output out = filter.Feed(B("HP:10> \xff\xf9More\xff\xef"));
    ASSERT_EQ(out.Segments.size(), 3);
    EXPECT_EQ(out.Segments[0], "HP:10> ");
    EXPECT_EQ(out.Segments[1], "More");
    EXPECT_EQ(out.Segments[2], "");
}

TEST(TelnetFilter, RunawaySubnegotiationIsGivenUp)
{
    TelnetFilter filter;
    QByteArray stream = B("\xff\xfa\x18");
    stream += QByteArray(TelnetFilter::MaxSubnegotiation + 10, 'x');
    const TelnetFilter::Output out = filter.Feed(stream);
    // Everything past the cap is text again; nothing before it was kept.
    EXPECT_LE(out.Segments.join().size(), 10);
    EXPECT_EQ(filter.Feed("after").Segments.join(), "after");
}

TEST(TelnetFilter, PlainTextPassesWithoutCopy)
{
    TelnetFilter filter;
    const QByteArray text = "no commands here\r\n";
    const TelnetFilter::Output out = filter.Feed(text);
    ASSERT_EQ(out.Segments.size(), 1);
    EXPECT_EQ(out.Segments[0].constData(), text.constData());
}
