// SPDX-License-Identifier: GPL-3.0-or-later
// Cuts a received block into plain-text chunks at line ends, ANSI escapes and markup tags.
#include "markup/chunk_splitter.h"

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <array>

namespace wren {

namespace {

constexpr char Esc = 27;
constexpr char EscAlias = 23;

// Characters that carry on an escape sequence: "[", ";" and digits.
struct ParameterTable {
    std::array<bool, 256> Table {};
    ParameterTable()
    {
        Table['['] = Table[';'] = true;
        for (int c = '0'; c <= '9'; ++c)
            Table[static_cast<size_t>(c)] = true;
    }
};
const ParameterTable Parameters;

bool IsParameter(unsigned char c)
{
    return Parameters.Table[c];
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

// The first byte at or after @p i that the table marks, 16 bytes at a time where the processor allows; only
// the bytes that are live are compared.
template<bool Ansi, bool Tags>
[[gnu::always_inline]] inline
qsizetype ScanPlainFor(const char *data, qsizetype i, qsizetype size, const std::array<bool, 256> &table)
{
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
    const __m128i esc = _mm_set1_epi8(Esc), alias = _mm_set1_epi8(EscAlias);
    const __m128i open = _mm_set1_epi8('<'), close = _mm_set1_epi8('>');
    for (; i + 16 <= size; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(chunk, lf), _mm_cmpeq_epi8(chunk, cr));
        if constexpr (Ansi)
            hit = _mm_or_si128(hit, _mm_or_si128(_mm_cmpeq_epi8(chunk, esc), _mm_cmpeq_epi8(chunk, alias)));
        if constexpr (Tags)
            hit = _mm_or_si128(hit, _mm_or_si128(_mm_cmpeq_epi8(chunk, open), _mm_cmpeq_epi8(chunk, close)));
        const int mask = _mm_movemask_epi8(hit);
        if (mask)
            return i + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    while (i < size && !table[static_cast<unsigned char>(data[i])])
        ++i;
    return i;
}

[[gnu::always_inline]] inline qsizetype ScanPlain(const char *data, qsizetype i, qsizetype size, int mode)
{
    const auto &table = Specials.Table[static_cast<size_t>(mode)];
    switch (mode) {
    case 1: return ScanPlainFor<true, false>(data, i, size, table);
    case 2: return ScanPlainFor<false, true>(data, i, size, table);
    case 3: return ScanPlainFor<true, true>(data, i, size, table);
    default: return ScanPlainFor<false, false>(data, i, size, table);
    }
}

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
            if (!Specials.Table[static_cast<size_t>(mode)][static_cast<unsigned char>(data[i])]
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
