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
    friend bool NextChunk(ChunkCursor &, ChunkState &, ChunkHost &, QByteArrayView &, char &);
    template<typename Sink>
    friend LaneStop SplitCommonText(ChunkCursor &, ChunkState &, Sink &);
    QByteArray m_text;
    qsizetype m_pos = 0;
    QByteArray m_scratch;
};

/// Whether the fast lane may take the text: ANSI on, no markup live and no escape held over from an earlier
/// block. That is what servers send nearly all the time.
inline bool FastLaneOpen(const ChunkState &state)
{
    return state.Options.AnsiColor && !(state.GlobalZel && (state.Options.InTag || state.Options.ZelEnabled))
        && state.AnsiBuffer.isEmpty();
}

/// Longest escape sequence or tag text kept; further characters of it are dropped.
constexpr qsizetype MaxEscapeLength = 4096;
constexpr qsizetype MaxTagLength = 4096;

/// Cuts the next chunk off the front of the cursor's text. @p delimiter is '\n' or '\r' (line end), the
/// escape byte that opened a sequence (27 or 23), '<' (a tag opened, or an abandoned tag is in the piece) or
/// 0 (the block is used up). Completed escapes and tags are handed to @p host on the way, in text order.
/// Returns false when nothing was left to cut.
bool NextChunk(ChunkCursor &text, ChunkState &state, ChunkHost &host, QByteArrayView &piece, char &delimiter);


/// The fast lane: while FastLaneOpen() holds, cuts the same chunks as NextChunk and hands them straight to
/// @p sink, with no call per chunk through ChunkHost: sink.Plain(piece) for text (never holding CR or LF),
/// sink.Escape(sequence) for a completed escape and sink.LineEnd() for a CR or LF. It returns after a line
/// end, at the end of the block, or where NextChunk must take over (an escape that is abandoned or runs past
/// the block), leaving the cursor there.
template<typename Sink>
LaneStop SplitCommonText(ChunkCursor &cursor, ChunkState &state, Sink &sink)
{
    TSessionOptions &o = state.Options;
    const char *data = cursor.m_text.constData();
    const qsizetype size = cursor.m_text.size();
    qsizetype pos = cursor.m_pos;
    while (pos < size) {
        if (o.InAnsi) {
            const qsizetype i = detail::SkipEscapeParameters(data, pos, size);
            if (i == size || !detail::IsPlainFinal(static_cast<unsigned char>(data[i])))
                return LaneStop::Leave; // held over to the next block, or abandoned: NextChunk's cases
            o.InAnsi = false;
            cursor.m_pos = i + 1;
            sink.Escape(QByteArrayView(data + pos, std::min(i - pos, MaxEscapeLength)));
            pos = i + 1;
            continue;
        }
        const qsizetype i = detail::ScanPlainFor<true, false>(data, pos, size, detail::Specials[1]);
        cursor.m_pos = i == size ? size : i + 1;
        if (i > pos)
            sink.Plain(QByteArrayView(data + pos, i - pos));
        if (i == size)
            return LaneStop::End;
        pos = i + 1;
        const char ch = data[i];
        if (ch == '\r' || ch == '\n') {
            sink.LineEnd();
            return LaneStop::LineEnd;
        }
        o.InAnsi = true; // an escape byte
    }
    cursor.m_pos = pos;
    return LaneStop::End;
}

} // namespace wren
