// SPDX-License-Identifier: GPL-3.0-or-later
// Cuts a received block into plain-text chunks at line ends, ANSI escapes and markup tags.
#include "markup/chunk_splitter.h"

#include <algorithm>

namespace wren {

namespace {

using detail::Esc;
using detail::EscAlias;
using detail::IsParameter;
using detail::ScanPlain;
using detail::Specials;

} // namespace

namespace {

void AppendCapped(QByteArray &buffer, QByteArrayView text, qsizetype cap)
{
    const qsizetype room = cap - buffer.size();
    if (room > 0)
        buffer.append(text.first(std::min(room, text.size())));
}

} // namespace

// Abandoned escapes and tags are shown with all of their characters, whichever block they came in, so a
// block gives the same display whole or cut anywhere.
bool NextChunk(ChunkCursor &cursor, ChunkState &state, ChunkHost &host, QByteArrayView &piece, char &delimiter)
{
    TSessionOptions &o = state.Options;
    const char *data = cursor.m_text.constData();
    const qsizetype size = cursor.m_text.size();
    if (cursor.m_pos >= size) {
        piece = {};
        delimiter = 0;
        return false;
    }
    qsizetype start = cursor.m_pos;
    for (qsizetype i = start; i < size; ++i) {
        const bool ansi = o.AnsiColor;
        const bool tagsLive = state.GlobalZel && (o.InTag || o.ZelEnabled);
        const int mode = (ansi ? 1 : 0) | (tagsLive ? 2 : 0);
        if (ansi && o.InAnsi) {
            // Parameter characters never end anything: skip them together.
            while (i < size && IsParameter(static_cast<unsigned char>(data[i])))
                ++i;
            if (i == size)
                break;
            // The common end of a sequence: a final character that means nothing else here, and nothing of
            // the sequence held over from an earlier block. Plain text follows; applying the sequence
            // changes colours and styles only, so the same bytes stay live.
            if (!Specials[static_cast<size_t>(mode)][static_cast<unsigned char>(data[i])]
                && state.AnsiBuffer.isEmpty()) {
                o.InAnsi = false;
                cursor.m_pos = i + 1;
                host.ApplyAnsiSequence(QByteArrayView(data + start, std::min(i - start, MaxEscapeLength)));
                start = i + 1;
                i = ScanPlain(data, start, size, mode);
                if (i == size)
                    break;
            }
        } else {
            // Skip ordinary bytes in bulk.
            i = ScanPlain(data, i, size, mode);
            if (i == size)
                break;
        }
        const char ch = data[i];
        const auto c = static_cast<unsigned char>(ch);
        const QByteArrayView before(data + start, i - start);
        if ((ch == Esc || ch == EscAlias) && ansi) {
            QByteArray &out = cursor.m_scratch;
            if (!out.isEmpty())
                out.resize(0);
            if (state.GlobalZel && o.InTag) {
                o.InTag = false;
                out.append('<').append(state.TagBuffer);
                state.TagBuffer.clear();
            }
            if (o.InAnsi) {
                out.append(state.AnsiBuffer);
                state.AnsiBuffer.clear();
            }
            o.InAnsi = true;
            delimiter = ch;
            piece = out.isEmpty() ? before : QByteArrayView(out.append(before));
            cursor.m_pos = i + 1;
            return true;
        }
        if (ch == '\r' || ch == '\n') {
            QByteArray &out = cursor.m_scratch;
            out.clear();
            if (ansi && o.InAnsi) {
                o.InAnsi = false;
                out.append(state.AnsiBuffer);
                state.AnsiBuffer.clear();
            }
            cursor.m_pos = i + 1;
            if (state.GlobalZel && o.InTag) {
                o.InTag = false;
                QByteArray tag = state.TagBuffer;
                state.TagBuffer.clear();
                AppendCapped(tag, out, MaxTagLength);
                AppendCapped(tag, before, MaxTagLength);
                out = '<' + tag + '\n';
                piece = out;
                delimiter = '<';
                return true;
            }
            piece = out.isEmpty() ? before : QByteArrayView(out.append(before));
            delimiter = ch;
            return true;
        }
        if (ch == '<' && state.GlobalZel && o.InTag) {
            QByteArray &out = cursor.m_scratch;
            out = '<' + state.TagBuffer;
            AppendCapped(out, before, MaxTagLength + 1);
            state.TagBuffer.clear();
            piece = out;
            delimiter = '<';
            cursor.m_pos = i + 1;
            return true;
        }
        if (ch == '<' && state.GlobalZel && o.ZelEnabled) {
            o.InTag = true;
            piece = before;
            delimiter = '<';
            cursor.m_pos = i + 1;
            return true;
        }
        if (ch == '>' && state.GlobalZel && o.InTag) {
            QByteArray tag = state.TagBuffer;
            AppendCapped(tag, before, MaxTagLength);
            o.InTag = false;
            state.TagBuffer.clear();
            cursor.m_pos = i + 1;
            start = i + 1;
            host.InterpretTag(tag);
            data = cursor.m_text.constData();
            continue;
        }
        if (ansi && o.InAnsi && !IsParameter(c)) {
            QByteArray sequence;
            if (state.AnsiBuffer.isEmpty()) {
                host.ApplyAnsiSequence(before.first(std::min(before.size(), MaxEscapeLength)));
            } else {
                sequence.swap(state.AnsiBuffer);
                AppendCapped(sequence, before, MaxEscapeLength);
            }
            o.InAnsi = false;
            cursor.m_pos = i + 1;
            start = i + 1;
            if (!sequence.isEmpty())
                host.ApplyAnsiSequence(sequence);
            continue;
        }
    }
    // End of the text without a return.
    const QByteArrayView rest(data + start, size - start);
    cursor.m_pos = size;
    delimiter = 0;
    if (o.AnsiColor && o.InAnsi) {
        AppendCapped(state.AnsiBuffer, rest, MaxEscapeLength);
        piece = {};
    } else if (state.GlobalZel && o.ZelEnabled && o.InTag) {
        AppendCapped(state.TagBuffer, rest, MaxTagLength);
        piece = {};
    } else {
        piece = rest;
    }
    return true;
}

} // namespace wren
