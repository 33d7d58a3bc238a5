// SPDX-License-Identifier: GPL-3.0-or-later
// The telnet layer alone: options agreed or refused, MCCP2 compression, subnegotiations. The same bytes fed
// whole and cut into reads must give the same text and the same replies.
#include "file_readers_fuzz.h"
#include "session/telnet_filter.h"

using wren::TelnetFilter;
using wren::fuzz::Check;

namespace
{

struct Fed {
    QByteArray Text;
    QByteArray Replies;
    bool Abandoned = false;
};

// Feeds every piece, and whatever a step leaves pending, as the connection does.
Fed FeedAll(TelnetFilter &filter, const QList<QByteArray> &pieces)
{
    Fed fed;
    const auto take = [&](const TelnetFilter::Output &out) {
        Check(!out.Segments.isEmpty(), "every read gives at least one segment");
        if (fed.Abandoned)
            Check(out.Segments.join().isEmpty(), "nothing is shown after the stream was abandoned");
        fed.Text += out.Segments.join();
        fed.Replies += out.Replies;
        fed.Abandoned = fed.Abandoned || out.Abandon;
        return out.MorePending;
    };
    for (const QByteArray &piece : pieces) {
        bool more = take(filter.Feed(piece));
        for (int steps = 0; more && steps < 1000; ++steps)
            more = take(filter.Feed({}));
    }
    return fed;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray input = wren::fuzz::Bytes(data + 1, size - 1);
    TelnetFilter::Allowed allowed;
    const uint8_t flags = data[0];
    allowed.Echo = flags & 1;
    allowed.WindowSize = flags & 2;
    allowed.Compression = !(flags & 4);
    allowed.Charset = flags & 8;
    allowed.TerminalType = flags & 16;
    allowed.ModernColours = flags & 32;
    allowed.EndOfRecord = flags & 64;
    TelnetFilter whole, cut;
    whole.SetAllowed(allowed);
    cut.SetAllowed(allowed);
    whole.SetSecure(flags & 128);
    cut.SetSecure(flags & 128);
    const Fed one = FeedAll(whole, {input});
    const Fed pieces = FeedAll(cut, input.split('\0'));
    // The cut drops the NUL bytes it cuts at, so the comparison is of inputs without them.
    if (!input.contains('\0')) {
        Check(one.Text == pieces.Text, "the same text however the reads are cut");
        Check(one.Replies == pieces.Replies, "the same replies however the reads are cut");
    }
    return 0;
}
