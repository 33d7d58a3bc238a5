// SPDX-License-Identifier: GPL-3.0-or-later
// Cuts a received block into plain-text chunks at line ends, ANSI escapes and markup tags.
#pragma once

#include "options/session_options.h"

#include <QByteArray>
#include <QByteArrayView>

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
    QByteArray m_text;
    qsizetype m_pos = 0;
    QByteArray m_scratch;
};

/// Longest escape sequence or tag text kept; further characters of it are dropped.
constexpr qsizetype MaxEscapeLength = 4096;
constexpr qsizetype MaxTagLength = 4096;

/// Cuts the next chunk off the front of the cursor's text. @p delimiter is '\n' or '\r' (line end), the
/// escape byte that opened a sequence (27 or 23), '<' (a tag opened, or an abandoned tag is in the piece) or
/// 0 (the block is used up). Completed escapes and tags are handed to @p host on the way, in text order.
/// Returns false when nothing was left to cut.
bool NextChunk(ChunkCursor &text, ChunkState &state, ChunkHost &host, QByteArrayView &piece, char &delimiter);

} // namespace wren
