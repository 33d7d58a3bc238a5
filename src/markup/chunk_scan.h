// SPDX-License-Identifier: GPL-3.0-or-later
// The splitter's byte scans: where plain text ends, and where an escape sequence's parameters end.
#pragma once

#include <QtGlobal>

#include <array>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wren::detail {

constexpr char Esc = 27;
constexpr char EscAlias = 23;

/// Bytes that may end a plain run, by mode: bit 0 set while ANSI is live, bit 1 while tags are.
constexpr std::array<std::array<bool, 256>, 4> MakeSpecials()
{
    std::array<std::array<bool, 256>, 4> table {};
    for (size_t mode = 0; mode < 4; ++mode) {
        auto &t = table[mode];
        t['\n'] = t['\r'] = true;
        if (mode & 1)
            t[Esc] = t[EscAlias] = true;
        if (mode & 2)
            t['<'] = t['>'] = true;
    }
    return table;
}
inline constexpr auto Specials = MakeSpecials();

/// Characters that carry on an escape sequence: "[", ";" and digits.
constexpr std::array<bool, 256> MakeParameters()
{
    std::array<bool, 256> table {};
    table['['] = table[';'] = true;
    for (size_t c = '0'; c <= '9'; ++c)
        table[c] = true;
    return table;
}
inline constexpr auto Parameters = MakeParameters();

inline bool IsParameter(unsigned char c)
{
    return Parameters[c];
}

/// The first byte at or after @p i that the table marks, 16 bytes at a time where the processor allows;
/// only the bytes that are live are compared.
template <bool Ansi, bool Tags>
[[gnu::always_inline]] inline qsizetype ScanPlainFor(const char *data, qsizetype i, qsizetype size,
                                                     const std::array<bool, 256> &table)
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
    const auto &table = Specials[static_cast<size_t>(mode)];
    switch (mode) {
    case 1: return ScanPlainFor<true, false>(data, i, size, table);
    case 2: return ScanPlainFor<false, true>(data, i, size, table);
    case 3: return ScanPlainFor<true, true>(data, i, size, table);
    default: return ScanPlainFor<false, false>(data, i, size, table);
    }
}

/// The first byte at or after @p i that does not carry on an escape sequence, or @p size.
inline qsizetype SkipEscapeParameters(const char *data, qsizetype i, qsizetype size)
{
    while (i < size && IsParameter(static_cast<unsigned char>(data[i])))
        ++i;
    return i;
}

/// Whether @p c ends an escape sequence as its final character while ANSI is live and tags are not.
inline bool IsPlainFinal(unsigned char c)
{
    return !Specials[1][c];
}

} // namespace wren::detail
