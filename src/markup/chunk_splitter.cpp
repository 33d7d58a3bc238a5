// SPDX-License-Identifier: GPL-3.0-or-later
// Cuts a received block into plain-text chunks at line ends, ANSI escapes and markup tags.
#include "markup/chunk_splitter.h"

#include <algorithm>
#include <array>

namespace wren {

namespace {

constexpr char Esc = 27;
constexpr char EscAlias = 23;

bool IsParameter(unsigned char c)
{
    return c == '[' || c == ';' || (c >= '0' && c <= '9');
}

// Bytes that may end a plain run, by which of ANSI and tags are live; everything else is skipped in bulk.
struct SpecialTable {
    std::array<std::array<bool, 256>, 4> Table {};
    SpecialTable()
    {
        for (int mode = 0; mode < 4; ++mode) {
            auto &t = Table[static_cast<size_t>(mode)];
            t['\n'] = t['\r'] = true;
            if (mode & 1)
                t[Esc] = t[EscAlias] = true;
            if (mode & 2)
                t['<'] = t['>'] = true;
        }
    }
};
const SpecialTable Specials;

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
        if (ansi && o.InAnsi) {
            // Parameter characters never end anything: skip them together.
            while (i < size && IsParameter(static_cast<unsigned char>(data[i])))
                ++i;
            if (i == size)
                break;
        } else {
            // Skip ordinary bytes in bulk.
            const auto &table = Specials.Table[static_cast<size_t>((ansi ? 1 : 0) | (tagsLive ? 2 : 0))];
            while (i < size && !table[static_cast<unsigned char>(data[i])])
                ++i;
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
