// SPDX-License-Identifier: GPL-3.0-or-later
// Cuts a received block into plain-text chunks at line ends, ANSI escapes and markup tags.
#include "markup/chunk_splitter.h"

namespace wren {

namespace {

using detail::ScanPlain;
using detail::SkipEscapeParameters;
using detail::Specials;

// The next byte at or after @p i that a row may act on. Plain runs are skipped in bulk, and so is the
// common end of an escape: a final byte that means nothing else here, with nothing of the sequence held
// over from an earlier block. Applying an escape changes colours and styles only, so the same bytes stay
// live after it.
qsizetype NextSpecial(detail::Rows &rows, qsizetype i, ChunkHost &host)
{
    const qsizetype size = rows.Cursor.Text().size();
    const TSessionOptions &o = rows.Options();
    const int mode = (o.AnsiColor ? 1 : 0) | (rows.State.GlobalZel && (o.InTag || o.ZelEnabled) ? 2 : 0);
    if (!(o.AnsiColor && o.InAnsi))
        return ScanPlain(rows.Data, i, size, mode);
    i = SkipEscapeParameters(rows.Data, i, size);
    if (i == size || Specials[static_cast<size_t>(mode)][static_cast<unsigned char>(rows.Data[i])]
        || !rows.State.AnsiBuffer.isEmpty())
        return i;
    rows.EscapeEnds(i, [&host](QByteArrayView sequence) { host.ApplyAnsiSequence(sequence); });
    return ScanPlain(rows.Data, rows.Start, size, mode);
}

} // namespace

bool NextChunk(ChunkCursor &cursor, ChunkState &state, ChunkHost &host, QByteArrayView &piece, char &delimiter)
{
    const qsizetype size = cursor.m_text.size();
    if (cursor.m_pos >= size) {
        piece = {};
        delimiter = 0;
        return false;
    }
    detail::Rows rows {cursor, state, cursor.m_text.constData(), cursor.m_pos};
    detail::Cut cut;
    // A row that lets the scan go on has moved Start past the byte it took; an ordinary byte is passed over.
    for (qsizetype i = rows.Start;; ++i) {
        i = NextSpecial(rows, i, host);
        if (i == size) {
            cut = rows.TextEnds();
            break;
        }
        if (rows.Dispatch(i, host, cut))
            break;
    }
    piece = cut.Piece;
    delimiter = cut.Delimiter;
    return true;
}

} // namespace wren
