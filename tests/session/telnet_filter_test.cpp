// SPDX-License-Identifier: GPL-3.0-or-later
// The telnet layer: options agreed or refused once, subnegotiations, compression, state kept across reads.
#include "session/telnet_filter.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <zlib.h>

using namespace wren;
using wren::test::B;
using wren::test::Deflate;

namespace {

// What a TinyMUX server sends at connect, before its login screen: WILL EOR, DO EOR, DO SGA, DO TTYPE,
// DO NAWS, DO NEW-ENVIRON, WILL CHARSET, DO CHARSET.
const QByteArray TinyMuxGreeting = B("\xff\xfb\x19\xff\xfd\x19\xff\xfd\x03\xff\xfd\x18\xff\xfd\x1f\xff\xfd\x27"
                                     "\xff\xfb\x2a\xff\xfd\x2a");

struct Fed {
    QByteArray Text;
    QByteArray Replies;
    QList<QByteArray> Notices;
    int Segments = 0;
    bool WindowSizeWanted = false;
    bool Abandon = false;
};

Fed FeedInPieces(TelnetFilter &filter, const QList<QByteArray> &pieces)
{
    Fed fed;
    for (const QByteArray &piece : pieces) {
        const TelnetFilter::Output out = filter.Feed(piece);
        fed.Text += out.Segments.join('|');
        fed.Replies += out.Replies;
        fed.Notices += out.Notices;
        fed.Segments += static_cast<int>(out.Segments.size());
        fed.WindowSizeWanted = fed.WindowSizeWanted || out.WindowSizeWanted;
        fed.Abandon = fed.Abandon || out.Abandon;
    }
    return fed;
}

TelnetFilter::Allowed NothingAllowed()
{
    TelnetFilter::Allowed none;
    for (bool TelnetFilter::Allowed::*field :
         {&TelnetFilter::Allowed::Echo, &TelnetFilter::Allowed::WindowSize, &TelnetFilter::Allowed::Compression,
          &TelnetFilter::Allowed::Charset, &TelnetFilter::Allowed::TerminalType,
          &TelnetFilter::Allowed::ModernColours, &TelnetFilter::Allowed::EndOfRecord})
        none.*field = false;
    return none;
}

TelnetFilter::Allowed AllBut(bool TelnetFilter::Allowed::*field)
{
    TelnetFilter::Allowed allowed;
    allowed.*field = false;
    return allowed;
}

const QByteArray StartCompression = B("\xff\xfa\x56\xff\xf0");

} // namespace

TEST(TelnetFilter, AnswersARealServerGreeting)
{
    // With every option allowed, the ones the client supports are agreed and the rest refused; with none
    // allowed, everything is refused as a plain client does.
    struct Case {
        const char *Name;
        TelnetFilter::Allowed Allowed;
        QByteArray Replies;
        bool WindowSize;
    } cases[] = {
        {"all allowed", {},
         B("\xff\xfd\x19\xff\xfc\x19\xff\xfc\x03\xff\xfb\x18\xff\xfb\x1f\xff\xfc\x27\xff\xfd\x2a\xff\xfb\x2a"), true},
        {"none allowed", NothingAllowed(),
         B("\xff\xfe\x19\xff\xfc\x19\xff\xfc\x03\xff\xfc\x18\xff\xfc\x1f\xff\xfc\x27\xff\xfe\x2a\xff\xfc\x2a"), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        TelnetFilter filter;
        filter.SetAllowed(c.Allowed);
        const Fed fed = FeedInPieces(filter, {TinyMuxGreeting + "Welcome\r\n"});
        EXPECT_EQ(fed.Text, "Welcome\r\n");
        EXPECT_EQ(fed.Replies, c.Replies);
        EXPECT_EQ(fed.WindowSizeWanted, c.WindowSize);
        EXPECT_EQ(filter.ReportsWindowSize(), c.WindowSize);
    }
}

// Each negotiation as the server sends it, with the client's answers; every row is also fed cut at every
// offset and must give the same.
TEST(TelnetFilter, NegotiationsInBothDirections)
{
    struct Case {
        const char *Name;
        QByteArray Server;
        QByteArray Replies;
        QByteArray Text;
        TelnetFilter::Allowed Allowed = {};
    } cases[] = {
        {"echo on and off: the password prompt", B("Password: \xff\xfb\x01secret?\xff\xfc\x01"),
         B("\xff\xfd\x01\xff\xfe\x01"), "Password: secret?"},
        {"echo refused when switched off", B("\xff\xfb\x01\xff\xfb\x01\xff\xfc\x01\xff\xfb\x01"),
         B("\xff\xfe\x01\xff\xfe\x01"), "", AllBut(&TelnetFilter::Allowed::Echo)},
        {"echo agreed once however often it is offered", B("\xff\xfb\x01\xff\xfb\x01\xff\xfb\x01"), B("\xff\xfd\x01"), ""},
        {"a refusal of something never agreed is not answered", B("\xff\xfc\x01\xff\xfe\x1f"), "", ""},
        {"unknown options refused once per change",
         B("\xff\xfe\x05\xff\xfd\x05\xff\xfd\x05\xff\xfb\x5b\xff\xfb\x5b\xff\xfc\x5b\xff\xfb\x5b"),
         B("\xff\xfc\x05\xff\xfe\x5b\xff\xfe\x5b"), ""},
        {"window size agreed, then turned off by the server", B("\xff\xfd\x1f\xff\xfd\x1f\xff\xfe\x1f"),
         B("\xff\xfb\x1f\xff\xfc\x1f"), ""},
        {"terminal types as MTTS gives them, then again from the start",
         B("\xff\xfd\x18\xff\xfa\x18\x01\xff\xf0\xff\xfa\x18\x01\xff\xf0\xff\xfa\x18\x01\xff\xf0\xff\xfa\x18\x01\xff\xf0"
           "\xff\xfa\x18\x01\xff\xf0"),
         B("\xff\xfb\x18\xff\xfa\x18\x00WREN\xff\xf0\xff\xfa\x18\x00" "ANSI-TRUECOLOR\xff\xf0"
           "\xff\xfa\x18\x00MTTS 269\xff\xf0\xff\xfa\x18\x00MTTS 269\xff\xf0\xff\xfa\x18\x00WREN\xff\xf0"),
         ""},
        {"terminal type without modern colours", B("\xff\xfd\x18\xff\xfa\x18\x01\xff\xf0\xff\xfa\x18\x01\xff\xf0\xff\xfa\x18\x01\xff\xf0"),
         B("\xff\xfb\x18\xff\xfa\x18\x00WREN\xff\xf0\xff\xfa\x18\x00" "ANSI\xff\xf0\xff\xfa\x18\x00MTTS 5\xff\xf0"), "",
         AllBut(&TelnetFilter::Allowed::ModernColours)},
        {"a terminal type request before it was agreed is not answered", B("\xff\xfa\x18\x01\xff\xf0ok"), "", "ok"},
        {"character set: UTF-8 among others is accepted",
         B("\xff\xfb\x2a\xff\xfa\x2a\x01;ISO-8859-1;utf-8\xff\xf0"), B("\xff\xfd\x2a\xff\xfa\x2a\x02UTF-8\xff\xf0"), ""},
        {"character set: a translation-table request",
         B("\xff\xfd\x2a\xff\xfa\x2a\x01[TTABLE]\x01 UTF-8 ASCII\xff\xf0"),
         B("\xff\xfb\x2a\xff\xfa\x2a\x02UTF-8\xff\xf0"), ""},
        {"character set: none the client takes", B("\xff\xfb\x2a\xff\xfa\x2a\x01;KOI8-R;ISO-8859-5\xff\xf0"),
         B("\xff\xfd\x2a\xff\xfa\x2a\x03\xff\xf0"), ""},
        {"compression refused when switched off", B("\xff\xfb\x56\xff\xfa\x56\xff\xf0plain"), B("\xff\xfe\x56"),
         "plain", AllBut(&TelnetFilter::Allowed::Compression)},
        {"escaped 255 in text and in a subnegotiation", B("caf\xff\xff!\xff\xfa\x18\x01\xff\xff\xff\xf0ok\xff\xf1"),
         "", B("caf\xff!ok")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        TelnetFilter whole;
        whole.SetAllowed(c.Allowed);
        Fed expected = FeedInPieces(whole, {c.Server});
        EXPECT_EQ(expected.Replies, c.Replies);
        EXPECT_EQ(expected.Text.replace('|', ""), c.Text);
        for (qsizetype cut = 1; cut < c.Server.size(); ++cut) {
            TelnetFilter filter;
            filter.SetAllowed(c.Allowed);
            Fed fed = FeedInPieces(filter, {c.Server.left(cut), c.Server.mid(cut)});
            EXPECT_EQ(fed.Replies, c.Replies) << "cut at " << cut;
            EXPECT_EQ(fed.Text.replace('|', ""), c.Text) << "cut at " << cut;
        }
    }
}

TEST(TelnetFilter, StateFollowsTheNegotiation)
{
    TelnetFilter filter;
    filter.SetSecure(true);
    filter.Feed(B("\xff\xfb\x01\xff\xfb\x2a\xff\xfa\x2a\x01;UTF-8\xff\xf0\xff\xfd\x18"));
    EXPECT_TRUE(filter.ServerEchoes());
    EXPECT_TRUE(filter.AgreedUtf8());
    filter.Feed(B("\xff\xfa\x18\x01\xff\xf0\xff\xfa\x18\x01\xff\xf0"));
    EXPECT_TRUE(filter.Feed(B("\xff\xfa\x18\x01\xff\xf0")).Replies.contains("MTTS 2317")) << "the TLS flag";
    filter.Feed(B("\xff\xfc\x01"));
    EXPECT_FALSE(filter.ServerEchoes());
    filter.Reset();
    EXPECT_FALSE(filter.AgreedUtf8());
    EXPECT_EQ(filter.Feed(B("\xff\xfb\x01")).Replies, B("\xff\xfd\x01")) << "a new connection starts over";
}

TEST(TelnetFilter, WindowSizeMessages)
{
    EXPECT_EQ(TelnetFilter::WindowSizeMessage(80, 24), B("\xff\xfa\x1f\x00\x50\x00\x18\xff\xf0"));
    EXPECT_EQ(TelnetFilter::WindowSizeMessage(255, 511), B("\xff\xfa\x1f\x00\xff\xff\x01\xff\xff\xff\xf0"))
        << "a byte 255 is doubled";
    EXPECT_EQ(TelnetFilter::WindowSizeMessage(0, 100000), B("\xff\xfa\x1f\x00\x01\xff\xff\xff\xff\xff\xf0"));
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

// A megabyte of subnegotiation (a terminal type, a character set) is given up at the cap, and the rest of
// it, up to its IAC SE, is dropped: none of it is ever shown, however it is cut into reads.
TEST(TelnetFilter, RunawaySubnegotiationIsDroppedToItsEnd)
{
    for (const char option : {'\x18', '\x2a'}) {
        const QByteArray stream = B("before\xff\xfa") + option + QByteArray(1024 * 1024, 'x') + B("\xff\xf0") + "after";
        for (const qsizetype piece : {qsizetype(4096), stream.size()}) {
            TelnetFilter filter;
            QList<QByteArray> pieces;
            for (qsizetype at = 0; at < stream.size(); at += piece)
                pieces.append(stream.mid(at, piece));
            Fed fed = FeedInPieces(filter, pieces);
            EXPECT_EQ(fed.Text.replace('|', ""), "beforeafter") << "option " << int(option) << ", reads of " << piece;
            EXPECT_EQ(fed.Replies, "") << "a runaway subnegotiation is not answered";
        }
    }
}

TEST(TelnetFilter, PlainTextPassesWithoutCopy)
{
    TelnetFilter filter;
    const QByteArray text = "no commands here\r\n";
    const TelnetFilter::Output out = filter.Feed(text);
    ASSERT_EQ(out.Segments.size(), 1);
    EXPECT_EQ(out.Segments[0].constData(), text.constData());
}

// The server starts compressing half-way through, sends telnet commands and prompts inside the compressed
// stream, ends it, and goes on plain. The text is the same however the stream is cut.
TEST(TelnetFilter, CompressionHalfWayThroughAStream)
{
    const QByteArray inside = B("compressed \xff\xff line\r\nHP> \xff\xf9\xff\xfb\x01tail\r\n");
    const QByteArray stream = B("\xff\xfb\x56plain start\r\n") + StartCompression + Deflate(inside) + "plain again\r\n";
    const QByteArray text = B("plain start\r\ncompressed \xff line\r\nHP> tail\r\nplain again\r\n");
    const QByteArray replies = B("\xff\xfd\x56\xff\xfd\x01");
    TelnetFilter whole;
    Fed fed = FeedInPieces(whole, {stream});
    EXPECT_EQ(fed.Text.replace('|', ""), text);
    EXPECT_EQ(fed.Replies, replies);
    EXPECT_FALSE(whole.Compressing());
    for (qsizetype cut = 1; cut < stream.size(); ++cut) {
        TelnetFilter filter;
        Fed pieces = FeedInPieces(filter, {stream.left(cut), stream.mid(cut)});
        EXPECT_EQ(pieces.Text.replace('|', ""), text) << "cut at " << cut;
        EXPECT_EQ(pieces.Replies, replies) << "cut at " << cut;
    }
    // Byte by byte: the stream state lives across reads.
    TelnetFilter bytewise;
    QList<QByteArray> bytes;
    for (const char c : stream)
        bytes.append(QByteArray(1, c));
    fed = FeedInPieces(bytewise, bytes);
    EXPECT_EQ(fed.Text.replace('|', ""), text);
    // A stream left open stays compressed.
    TelnetFilter open;
    fed = FeedInPieces(open, {B("\xff\xfb\x56") + StartCompression + Deflate("still going\r\n", false)});
    EXPECT_EQ(fed.Text, "still going\r\n");
    EXPECT_TRUE(open.Compressing());
}

// What follows a broken compressed stream is compressed too and can never be read: it is dropped, never
// shown, and the caller is told to end the connection.
TEST(TelnetFilter, CorruptCompressedStreamIsAbandoned)
{
    TelnetFilter filter;
    Fed fed = FeedInPieces(filter, {B("\xff\xfb\x56") + StartCompression + B("\x78\x9c\xff\xff\xff\xff"),
                                          B("\x01\x02 more compressed bytes in flight")});
    ASSERT_EQ(fed.Notices.size(), 1);
    EXPECT_TRUE(fed.Notices[0].startsWith("Compressed text from the server could not be read")) << fed.Notices[0].constData();
    EXPECT_TRUE(fed.Notices[0].contains("the connection is closed")) << fed.Notices[0].constData();
    EXPECT_TRUE(fed.Abandon);
    EXPECT_EQ(fed.Text.replace('|', ""), "");
    EXPECT_FALSE(filter.Compressing());
    EXPECT_EQ(filter.Feed("then plain").Segments.join(), "") << "nothing more is taken until the next connection";
    filter.Reset();
    EXPECT_EQ(filter.Feed("a new connection").Segments.join(), "a new connection");
}

// A gigabyte of zeros in about a megabyte: no step gives more than the cap, and the stream is abandoned with
// a line long before the gigabyte; what the server still sends is never shown.
TEST(TelnetFilter, CompressionBombIsEndedWithALine)
{
    TelnetFilter filter;
    filter.Feed(B("\xff\xfb\x56") + StartCompression);
    z_stream z {};
    deflateInit(&z, Z_BEST_COMPRESSION);
    const QByteArray zeros(1 << 20, '\0');
    QByteArray pending, replies;
    qint64 textBytes = 0, largestStep = 0;
    QList<QByteArray> notices;
    bool abandoned = false;
    const auto take = [&](const TelnetFilter::Output &out) {
        const qint64 size = out.Segments.join().size();
        textBytes += size;
        largestStep = std::max(largestStep, size);
        notices += out.Notices;
        replies += out.Replies;
        abandoned = abandoned || out.Abandon;
        return out.MorePending;
    };
    QByteArray buffer(1 << 16, '\0');
    for (int i = 0; i <= 1024 && notices.isEmpty(); ++i) {
        const bool last = i == 1024;
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(zeros.constData()));
        z.avail_in = last ? 0 : static_cast<uInt>(zeros.size());
        do {
            z.next_out = reinterpret_cast<Bytef *>(buffer.data());
            z.avail_out = static_cast<uInt>(buffer.size());
            deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            pending.append(buffer.constData(), buffer.size() - z.avail_out);
        } while (z.avail_out == 0);
        if (pending.size() >= 4096 || last) {
            bool more = take(filter.Feed(std::exchange(pending, QByteArray())));
            while (more)
                more = take(filter.Feed({}));
        }
    }
    deflateEnd(&z);
    EXPECT_LE(largestStep, TelnetFilter::MaxInflatedPerRead + 64 * 1024);
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].contains("like a compression bomb")) << notices[0].constData();
    EXPECT_LE(textBytes, TelnetFilter::BombFloor + 64 * 1024);
    EXPECT_TRUE(abandoned);
    EXPECT_FALSE(filter.Compressing());
    EXPECT_FALSE(filter.HasPending());
    EXPECT_EQ(filter.Feed("the rest of the bomb").Segments.join(), "");
}

// One read that inflates to far more than a step gives is read in steps, and every byte arrives in order.
TEST(TelnetFilter, LargeCompressedReadIsReadInStepsWithNothingLost)
{
    QByteArray text;
    for (int i = 0; text.size() < 3 * TelnetFilter::MaxInflatedPerRead; ++i)
        text += "\x1b[3" + QByteArray::number(i % 8) + "mThe orc hits you " + QByteArray::number(i * 7919 % 100003)
                + " times.\r\n";
    const QByteArray packed = Deflate(text);

    TelnetFilter filter;
    TelnetFilter::Output out = filter.Feed(B("\xff\xfb\x56") + StartCompression + packed + B("plain after"));
    QByteArray shown = out.Segments.join();
    int steps = 1;
    EXPECT_TRUE(out.MorePending);
    while (out.MorePending) {
        // New bytes that arrive meanwhile wait behind the ones not read yet.
        out = filter.Feed(steps == 1 ? B(", more") : QByteArray());
        EXPECT_LE(out.Segments.join().size(), TelnetFilter::MaxInflatedPerRead + 64 * 1024);
        shown += out.Segments.join();
        ++steps;
    }
    EXPECT_GE(steps, 3);
    EXPECT_TRUE(out.Notices.isEmpty());
    EXPECT_EQ(shown.size(), text.size() + 17);
    EXPECT_TRUE(shown == text + "plain after, more") << "the text arrives whole and in order";
    EXPECT_FALSE(filter.HasPending());
}

namespace {

struct GameFed {
    QByteArray Replies;
    QByteArray Text;
    QList<QByteArray> Messages; ///< "option:payload", "!" after a cut one
    QList<int> Started;
};

GameFed FeedGameData(TelnetFilter &filter, const QList<QByteArray> &pieces)
{
    GameFed fed;
    for (const QByteArray &piece : pieces) {
        const TelnetFilter::Output out = filter.Feed(piece);
        fed.Replies += out.Replies;
        fed.Text += out.Segments.join();
        for (const TelnetFilter::GameMessage &message : out.GameMessages)
            fed.Messages.append(QByteArray::number(message.Option) + ':' + message.Payload + (message.Cut ? "!" : ""));
        for (const unsigned char option : out.GameDataStarted)
            fed.Started.append(option);
    }
    return fed;
}

TelnetFilter::Allowed GameDataAllowed(bool on = true)
{
    TelnetFilter::Allowed allowed;
    allowed.Gmcp = allowed.Msdp = allowed.Mssp = on;
    return allowed;
}

} // namespace

// GMCP, MSDP and MSSP as servers send them, whole and cut into two reads at every offset: the same answers,
// messages and text.
TEST(TelnetFilter, GameDataMessagesWholeAndCutAtEveryOffset)
{
    struct Case {
        const char *Name;
        QByteArray Server;
        QByteArray Replies;
        QList<QByteArray> Messages;
        QList<int> Started;
        QByteArray Text;
        TelnetFilter::Allowed Allowed = GameDataAllowed();
    } cases[] = {
        {"GMCP agreed, then a message at the name prompt", B("\xff\xfb\xc9\xff\xfa\xc9" "Char.Vitals {\"hp\":42}\xff\xf0Name: "),
         B("\xff\xfd\xc9"), {"201:Char.Vitals {\"hp\":42}"}, {201}, "Name: "},
        {"GMCP before it was agreed is dropped", B("\xff\xfa\xc9" "Core.Ping\xff\xf0ok\xff\xfb\xc9"), B("\xff\xfd\xc9"),
         {}, {201}, "ok"},
        {"GMCP switched off: refused, and its messages dropped", B("\xff\xfb\xc9\xff\xfa\xc9" "Room.Info {}\xff\xf0ok"),
         B("\xff\xfe\xc9"), {}, {}, "ok", GameDataAllowed(false)},
        {"MSDP with a doubled 255 inside and a table",
         B("\xff\xfb\x45\xff\xfa\x45\x01ROOM\x02\x03\x01NAME\x02" "caf\xff\xff\x04\xff\xf0"), B("\xff\xfd\x45"),
         {B("69:\x01ROOM\x02\x03\x01NAME\x02" "caf\xff\x04")}, {69}, ""},
        {"MSSP with several values under one name", B("\xff\xfb\x46\xff\xfa\x46\x01PORT\x02" "23\x02" "4000\xff\xf0"),
         B("\xff\xfd\x46"), {B("70:\x01PORT\x02" "23\x02" "4000")}, {70}, ""},
        {"odd offers refused cleanly: WILL NAWS, DO LINEMODE, DO NEW-ENVIRON",
         B("\xff\xfb\x1f\xff\xfd\x22\xff\xfd\x27text"), B("\xff\xfe\x1f\xff\xfc\x22\xff\xfc\x27"), {}, {}, "text"},
        {"a message cut by another command is not passed on", B("\xff\xfb\xc9\xff\xfa\xc9" "Core\xff\xf9more"),
         B("\xff\xfd\xc9"), {}, {201}, "more"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        for (qsizetype cut = 0; cut < c.Server.size(); ++cut) {
            TelnetFilter filter;
            filter.SetAllowed(c.Allowed);
            const GameFed fed
                = cut == 0 ? FeedGameData(filter, {c.Server}) : FeedGameData(filter, {c.Server.left(cut), c.Server.mid(cut)});
            EXPECT_EQ(fed.Replies, c.Replies) << "cut at " << cut;
            EXPECT_EQ(fed.Messages, c.Messages) << "cut at " << cut;
            EXPECT_EQ(fed.Started, c.Started) << "cut at " << cut;
            EXPECT_EQ(fed.Text, c.Text) << "cut at " << cut;
        }
    }
}

// A GMCP message over 1 MB reaches the game data side cut, once, so it can be refused with its name; the
// text after it is untouched. Other subnegotiations keep their smaller limit.
TEST(TelnetFilter, OversizedGameDataMessageArrivesCutOnce)
{
    TelnetFilter filter;
    filter.SetAllowed(GameDataAllowed());
    filter.Feed(B("\xff\xfb\xc9"));
    const QByteArray big = "Char.Items {\"x\":\"" + QByteArray(TelnetFilter::MaxGameDataSubnegotiation, 'a') + "\"}";
    const QByteArray stream = B("\xff\xfa\xc9") + big + B("\xff\xf0" "after");
    GameFed fed;
    for (qsizetype at = 0; at < stream.size(); at += 100000) {
        const GameFed part = FeedGameData(filter, {stream.mid(at, 100000)});
        fed.Messages += part.Messages;
        fed.Text += part.Text;
    }
    ASSERT_EQ(fed.Messages.size(), 1);
    EXPECT_TRUE(fed.Messages.front().endsWith('!'));
    EXPECT_EQ(fed.Messages.front().size(), 4 + TelnetFilter::MaxGameDataSubnegotiation - 1 + 1);
    EXPECT_EQ(fed.Text, "after");
}
