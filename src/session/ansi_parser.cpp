// SPDX-License-Identifier: GPL-3.0-or-later
// Applies one collected ANSI escape sequence to the current text attributes.
#include "session/ansi_parser.h"

#include "session/text_helpers.h"

#include <algorithm>
#include <climits>

namespace wren {

namespace {

[[gnu::always_inline]] inline void ApplyCode(int code, TextAttributes &a, TSessionOptions &o)
{
    const int bright = o.UseBrightColors ? 8 : 0;
    switch (code) {
    case 0:
        a.Style = 0;
        a.Fore = o.TextColor;
        a.Back = o.DefaultBackColor;
        o.CurTextColor = o.TextColor;
        return;
    case 1: a.Style |= Bold; return;
    case 2: a.Style = 0; return;
    case 3: a.Style |= Italic; return;
    case 4: a.Style |= Underline; return;
    case 9: a.Style |= StrikeOut; return;
    case 22: a.Style &= ~Bold; return;
    case 23: a.Style &= ~Italic; return;
    case 24: a.Style &= ~Underline; return;
    case 29: a.Style &= ~StrikeOut; return;
    case 39:
        a.Fore = o.TextColor;
        o.CurTextColor = o.TextColor;
        return;
    default: break;
    }
    if (code >= 30 && code <= 37) {
        a.Fore = o.AnsiColors[static_cast<size_t>(code - 30 + bright)];
        o.CurTextColor = a.Fore;
    } else if (code >= 40 && code <= 47) {
        a.Back = o.AnsiColors[static_cast<size_t>(code - 40 + bright)];
        o.CurBackColor = a.Back;
    }
}

[[gnu::noinline]] void ApplyLongerCodes(QByteArrayView sequence, TextAttributes &attributes, TSessionOptions &options)
{
    // Sequences as servers send them (short, digits and ";" only) in one pass; the general loop below gives
    // the same codes, and also handles what this pass does not: long sequences, whose rest after a ";" is
    // cut to 255 characters, and other characters.
    if (sequence.size() <= 256) {
        int codes[130];
        int count = 0;
        bool resetTail = false;
        bool plain = true;
        const char *p = sequence.data() + std::min<qsizetype>(1, sequence.size());
        const char *end = sequence.data() + sequence.size();
        while (plain && p < end) {
            if (*p == ';') {
                // A token that starts with ";" is the whole rest: it counts as 0, unless it is ";" alone.
                resetTail = end - p > 1;
                for (const char *q = p; q < end; ++q)
                    plain = plain && (*q == ';' || (*q >= '0' && *q <= '9'));
                break;
            }
            long long code = 0;
            for (; p < end && *p != ';'; ++p) {
                if (*p < '0' || *p > '9') {
                    plain = false;
                    break;
                }
                code = std::min<long long>(code * 10 + (*p - '0'), INT_MAX);
            }
            codes[count++] = static_cast<int>(code);
            if (p < end && *p == ';')
                ++p;
        }
        if (plain) {
            for (int i = 0; i < count; ++i)
                ApplyCode(codes[i], attributes, options);
            if (resetTail)
                ApplyCode(0, attributes, options);
            return;
        }
    }
    // Works on views of the sequence: this runs for every colour change the server sends.
    QByteArrayView rest = sequence.sliced(std::min<qsizetype>(1, sequence.size()));
    while (!rest.isEmpty()) {
        // The token is the text before the first ";", or the whole rest when there is none or it leads.
        const qsizetype separator = rest.indexOf(';');
        const QByteArrayView token = separator >= 1 ? rest.first(separator) : rest;
        rest = separator >= 1 ? TrimBlanks(rest.sliced(separator + 1).first(
                                    std::min<qsizetype>(255, rest.size() - separator - 1)))
                              : QByteArrayView();
        if (token == ";")
            continue;
        ApplyCode(LeadingNumber(token), attributes, options);
    }
}

} // namespace

void ApplyAnsiCodes(QByteArrayView sequence, TextAttributes &attributes, TSessionOptions &options)
{
    // The commonest of all: one code of one or two digits.
    const char *s = sequence.data();
    if (sequence.size() == 2 && s[1] >= '0' && s[1] <= '9') {
        ApplyCode(s[1] - '0', attributes, options);
        return;
    }
    if (sequence.size() == 3 && s[1] >= '0' && s[1] <= '9' && s[2] >= '0' && s[2] <= '9') {
        ApplyCode((s[1] - '0') * 10 + (s[2] - '0'), attributes, options);
        return;
    }
    ApplyLongerCodes(sequence, attributes, options);
}

} // namespace wren
