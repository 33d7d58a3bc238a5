// SPDX-License-Identifier: GPL-3.0-or-later
// Cuts a received block into plain-text chunks at line ends, ANSI escapes and markup tags.
#pragma once

#include "markup/chunk_scan.h"
#include "options/session_options.h"

#include <QByteArray>
#include <QByteArrayView>

#include <algorithm>

namespace wren {

/// What the splitter hands on while it scans: completed escape sequences and completed tags.
class ChunkHost
{
public:
    virtual ~ChunkHost() = default;
    /// A complete escape sequence: the collected characters from "[" on, without the final character. It
    /// changes colours and styles only, never which of ANSI and tags are live.
    virtual void ApplyAnsiSequence(QByteArrayView sequence) = 0;
    /// A complete tag: everything between "<" and ">".
    virtual void InterpretTag(const QByteArray &tag) = 0;
};

/// The session state the splitter reads and changes. Buffers hold unfinished escapes and tags between blocks.
struct ChunkState {
    TSessionOptions &Options; ///< AnsiColor, ZelEnabled, InAnsi and InTag
    const bool &GlobalZel;
    QByteArray &AnsiBuffer;
    QByteArray &TagBuffer;
};

/// Why the fast lane handed back: the block is used up, a line ended (the caller looks at the session's
/// state again before going on), or what comes next is for NextChunk.
enum class LaneStop { End, LineEnd, Leave };

/// Longest escape sequence or tag text kept; further characters of it are dropped.
constexpr qsizetype MaxEscapeLength = 4096;
constexpr qsizetype MaxTagLength = 4096;

namespace detail {
struct Rows;
}

/// The remaining text of one block. Chunks are views into it (or into its scratch buffer), valid until the
/// next call.
class ChunkCursor
{
public:
    explicit ChunkCursor(QByteArray text)
        : m_text(std::move(text))
    {
    }
    bool AtEnd() const { return m_pos >= m_text.size(); }
    /// The whole block. Chunks that point into it were cut from it; others are scratch text.
    QByteArrayView Text() const { return m_text; }

private:
    friend struct detail::Rows;
    friend bool NextChunk(ChunkCursor &, ChunkState &, ChunkHost &, QByteArrayView &, char &);
    template <typename Sink>
    friend LaneStop SplitCommonText(ChunkCursor &, ChunkState &, Sink &);
    QByteArray m_text;
    qsizetype m_pos = 0;
    QByteArray m_scratch;
};

namespace detail {

inline void AppendCapped(QByteArray &buffer, QByteArrayView text, qsizetype cap)
{
    const qsizetype room = cap - buffer.size();
    if (room > 0)
        buffer.append(text.first(std::min(room, text.size())));
}

/// What a row that ends the call cuts: the piece before the special byte, and the delimiter.
struct Cut {
    QByteArrayView Piece;
    char Delimiter = 0;
};

/// The rows of the splitter's decision table, one function each, in the order they are tried. Each works
/// at the special byte at @p i; the text before it, from Start, is the piece being cut. A row that ends the
/// call returns its Cut; a row that lets the scan go on moves Start past what it consumed.
///
/// The fast lane calls them with Plain set: it runs only while no escape and no tag is open and nothing
/// of an escape is held over, so what those would change is left out.
///
/// Abandoned escapes and tags are shown with all of their characters, whichever block they came in, so a
/// block gives the same display whole or cut anywhere.
struct Rows {
    ChunkCursor &Cursor;
    ChunkState &State;
    const char *Data;
    qsizetype Start;

    QByteArrayView Before(qsizetype i) const { return {Data + Start, i - Start}; }
    TSessionOptions &Options() const { return State.Options; }

    /// ESC or byte 23 while ANSI is on: an open tag is given up and shown; an escape opens.
    template <bool Plain = false>
    Cut EscapeOpens(qsizetype i)
    {
        Cursor.m_pos = i + 1;
        if constexpr (!Plain) {
            QByteArray &out = Cursor.m_scratch;
            if (!out.isEmpty())
                out.resize(0);
            if (State.GlobalZel && Options().InTag) {
                Options().InTag = false;
                out.append('<').append(State.TagBuffer);
                State.TagBuffer.clear();
            }
            if (Options().InAnsi) {
                // An escape inside an escape: what was collected of the first is shown.
                out.append(State.AnsiBuffer);
                State.AnsiBuffer.clear();
            }
            Options().InAnsi = true;
            return {out.isEmpty() ? Before(i) : QByteArrayView(out.append(Before(i))), Data[i]};
        } else {
            Options().InAnsi = true;
            return {Before(i), Data[i]};
        }
    }

    /// CR or LF: an open escape is given up (its characters go out with the piece); an open tag is given
    /// up and shown, with the line end, as a piece of its own delimited by "<"; otherwise the line end is
    /// the delimiter.
    template <bool Plain = false>
    Cut LineEnds(qsizetype i)
    {
        Cursor.m_pos = i + 1;
        if constexpr (!Plain) {
            QByteArray &out = Cursor.m_scratch;
            if (!out.isEmpty())
                out.resize(0);
            if (Options().AnsiColor && Options().InAnsi) {
                Options().InAnsi = false;
                out.append(State.AnsiBuffer);
                State.AnsiBuffer.clear();
            }
            if (State.GlobalZel && Options().InTag) {
                Options().InTag = false;
                QByteArray tag = State.TagBuffer;
                State.TagBuffer.clear();
                AppendCapped(tag, out, MaxTagLength);
                AppendCapped(tag, Before(i), MaxTagLength);
                out = '<' + tag + '\n';
                return {out, '<'};
            }
            if (!out.isEmpty())
                return {out.append(Before(i)), Data[i]};
        }
        return {Before(i), Data[i]};
    }

    /// "<" inside an open tag: a new tag starts; the old one is shown as text.
    Cut TagRestarts(qsizetype i)
    {
        QByteArray &out = Cursor.m_scratch;
        out = '<' + State.TagBuffer;
        AppendCapped(out, Before(i), MaxTagLength + 1);
        State.TagBuffer.clear();
        Cursor.m_pos = i + 1;
        return {out, '<'};
    }

    /// "<" while markup is on: a tag opens.
    Cut TagOpens(qsizetype i)
    {
        Options().InTag = true;
        Cursor.m_pos = i + 1;
        return {Before(i), '<'};
    }

    /// ">" inside an open tag: the tag runs, and the scan goes on after it.
    void TagCloses(qsizetype i, ChunkHost &host)
    {
        QByteArray tag = State.TagBuffer;
        AppendCapped(tag, Before(i), MaxTagLength);
        Options().InTag = false;
        State.TagBuffer.clear();
        Cursor.m_pos = i + 1;
        Start = i + 1;
        host.InterpretTag(tag);
        Data = Cursor.m_text.constData();
    }

    /// A byte that carries no escape on, while one is open: the sequence is applied (its final byte is not
    /// passed on), and the scan goes on after it.
    template <bool Plain = false, typename Apply>
    void EscapeEnds(qsizetype i, Apply &&apply)
    {
        const QByteArrayView before = Before(i);
        Options().InAnsi = false;
        Cursor.m_pos = i + 1;
        Start = i + 1;
        if (Plain || State.AnsiBuffer.isEmpty()) {
            apply(before.first(std::min(before.size(), MaxEscapeLength)));
        } else {
            QByteArray sequence;
            sequence.swap(State.AnsiBuffer);
            AppendCapped(sequence, before, MaxEscapeLength);
            apply(QByteArrayView(sequence));
        }
    }

    /// The end of the text: what is left goes on in the open escape's or tag's buffer, or is the piece.
    Cut TextEnds()
    {
        const qsizetype size = Cursor.m_text.size();
        const QByteArrayView rest(Data + Start, size - Start);
        Cursor.m_pos = size;
        if (Options().AnsiColor && Options().InAnsi) {
            AppendCapped(State.AnsiBuffer, rest, MaxEscapeLength);
            return {};
        }
        if (State.GlobalZel && Options().ZelEnabled && Options().InTag) {
            AppendCapped(State.TagBuffer, rest, MaxTagLength);
            return {};
        }
        return {rest, 0};
    }

    /// The table: the first row whose byte and condition hold runs. True when the row ended the call.
    bool Dispatch(qsizetype i, ChunkHost &host, Cut &cut)
    {
        const char ch = Data[i];
        const TSessionOptions &o = Options();
        const bool markup = State.GlobalZel;
        if ((ch == Esc || ch == EscAlias) && o.AnsiColor) {
            cut = EscapeOpens(i);
            return true;
        }
        if (ch == '\r' || ch == '\n') {
            cut = LineEnds(i);
            return true;
        }
        if (ch == '<' && markup && o.InTag) {
            cut = TagRestarts(i);
            return true;
        }
        if (ch == '<' && markup && o.ZelEnabled) {
            cut = TagOpens(i);
            return true;
        }
        if (ch == '>' && markup && o.InTag) {
            TagCloses(i, host);
            return false;
        }
        if (o.AnsiColor && o.InAnsi && !IsParameter(static_cast<unsigned char>(ch))) {
            EscapeEnds(i, [&host](QByteArrayView sequence) { host.ApplyAnsiSequence(sequence); });
            return false;
        }
        return false; // an ordinary byte
    }
};

} // namespace detail

/// Whether the fast lane may take the text: ANSI on, no markup live and no escape held over from an earlier
/// block. That is what servers send nearly all the time.
inline bool FastLaneOpen(const ChunkState &state)
{
    return state.Options.AnsiColor && !(state.GlobalZel && (state.Options.InTag || state.Options.ZelEnabled))
           && state.AnsiBuffer.isEmpty();
}

/// Cuts the next chunk off the front of the cursor's text. @p delimiter is '\n' or '\r' (line end), the
/// escape byte that opened a sequence (27 or 23), '<' (a tag opened, or an abandoned tag is in the piece) or
/// 0 (the block is used up). Completed escapes and tags are handed to @p host on the way, in text order.
/// Returns false when nothing was left to cut.
bool NextChunk(ChunkCursor &text, ChunkState &state, ChunkHost &host, QByteArrayView &piece, char &delimiter);

/// The fast lane: while FastLaneOpen() holds, a scan of the plain runs between the special bytes, which it
/// hands to the same rows NextChunk uses. Pieces go straight to @p sink, with no call per chunk through
/// ChunkHost: sink.Plain(piece) for text (never holding CR or LF), sink.Escape(sequence) for a completed
/// escape and sink.LineEnd() for a CR or LF. It returns after a line end, at the end of the block, or where
/// NextChunk must take over (an escape that is abandoned or runs past the block), leaving the cursor there.
template <typename Sink>
LaneStop SplitCommonText(ChunkCursor &cursor, ChunkState &state, Sink &sink)
{
    const char *data = cursor.m_text.constData();
    const qsizetype size = cursor.m_text.size();
    detail::Rows rows {cursor, state, data, cursor.m_pos};
    while (rows.Start < size) {
        if (state.Options.InAnsi) {
            const qsizetype i = detail::SkipEscapeParameters(data, rows.Start, size);
            if (i == size || !detail::IsPlainFinal(static_cast<unsigned char>(data[i])))
                return LaneStop::Leave; // held over to the next block, or abandoned: NextChunk's rows
            rows.EscapeEnds<true>(i, [&sink](QByteArrayView sequence) { sink.Escape(sequence); });
            continue;
        }
        const qsizetype i = detail::ScanPlainFor<true, false>(data, rows.Start, size, detail::Specials[1]);
        if (i > rows.Start)
            sink.Plain(rows.Before(i));
        if (i == size) {
            cursor.m_pos = size;
            return LaneStop::End;
        }
        rows.Start = i;
        if (data[i] == '\r' || data[i] == '\n') {
            rows.LineEnds<true>(i);
            sink.LineEnd();
            return LaneStop::LineEnd;
        }
        rows.EscapeOpens<true>(i);
        rows.Start = i + 1;
    }
    cursor.m_pos = size;
    return LaneStop::End;
}

} // namespace wren
