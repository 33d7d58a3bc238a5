// SPDX-License-Identifier: GPL-3.0-or-later
// Applies one collected ANSI escape sequence to the current text attributes.
#include "session/ansi_parser.h"

#include "base/text_helpers.h"

#include <QVarLengthArray>

#include <algorithm>
#include <climits>
#include <optional>

namespace wren {

namespace {

void ApplyModernCode(int code, TextAttributes &a, TSessionOptions &o)
{
    if (code == 7) {
        a.Style |= Inverse;
    } else if (code == 27) {
        a.Style &= ~Inverse;
    } else if (code == 49) {
        a.Back = o.DefaultBackColor;
        o.CurBackColor = a.Back;
    } else if (code >= 90 && code <= 97) {
        a.Fore = o.AnsiColors[static_cast<size_t>(code) - 90 + 8];
        o.CurTextColor = a.Fore;
    } else if (code >= 100 && code <= 107) {
        a.Back = o.AnsiColors[static_cast<size_t>(code) - 100 + 8];
        o.CurBackColor = a.Back;
    }
}

[[gnu::always_inline]] inline void ApplyCode(int code, TextAttributes &a, TSessionOptions &o, bool modern)
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
        a.Fore = o.AnsiColors[static_cast<size_t>(code) - 30 + static_cast<size_t>(bright)];
        o.CurTextColor = a.Fore;
    } else if (code >= 40 && code <= 47) {
        a.Back = o.AnsiColors[static_cast<size_t>(code) - 40 + static_cast<size_t>(bright)];
        o.CurBackColor = a.Back;
    } else if (modern) {
        ApplyModernCode(code, a, o);
    }
}

// A list of codes in order. 38 and 48 take the codes after them as a colour (5;n or 2;r;g;b) when modern
// codes are read; a colour out of range is skipped with its codes.
void ApplyCodeList(const int *codes, int count, TextAttributes &a, TSessionOptions &o, bool modern)
{
    for (int i = 0; i < count; ++i) {
        const int code = codes[i];
        if (!modern || (code != 38 && code != 48) || i + 1 >= count) {
            ApplyCode(code, a, o, modern);
            continue;
        }
        std::optional<Colour> colour;
        if (codes[i + 1] == 5 && i + 2 < count) {
            if (codes[i + 2] <= 255)
                colour = PaletteColour(codes[i + 2], o);
            i += 2;
        } else if (codes[i + 1] == 2 && i + 4 < count) {
            if (codes[i + 2] <= 255 && codes[i + 3] <= 255 && codes[i + 4] <= 255)
                colour = Rgb(codes[i + 2], codes[i + 3], codes[i + 4]);
            i += 4;
        } else {
            i = count; // an extended colour cut short: nothing after it is read
        }
        if (!colour)
            continue;
        if (code == 38) {
            a.Fore = *colour;
            o.CurTextColor = a.Fore;
        } else {
            a.Back = *colour;
            o.CurBackColor = a.Back;
        }
    }
}

// One branch per form of the extended colour codes.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
[[gnu::noinline]] void ApplyLongerCodes(QByteArrayView sequence, TextAttributes &attributes, TSessionOptions &options,
                                        bool modern)
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
            if (resetTail)
                codes[count++] = 0;
            ApplyCodeList(codes, count, attributes, options, modern);
            return;
        }
    }
    // Works on views of the sequence: this runs for every colour change the server sends.
    QVarLengthArray<int, 64> codes;
    QByteArrayView rest = sequence.sliced(std::min<qsizetype>(1, sequence.size()));
    while (!rest.isEmpty()) {
        // The token is the text before the first ";", or the whole rest when there is none or it leads.
        const qsizetype separator = rest.indexOf(';');
        const QByteArrayView token = separator >= 1 ? rest.first(separator) : rest;
        rest = separator >= 1
                   ? TrimBlanks(rest.sliced(separator + 1).first(std::min<qsizetype>(255, rest.size() - separator - 1)))
                   : QByteArrayView();
        if (token == ";")
            continue;
        codes.append(LeadingNumber(token));
    }
    ApplyCodeList(codes.constData(), static_cast<int>(codes.size()), attributes, options, modern);
}

} // namespace

Colour PaletteColour(int index, const TSessionOptions &options)
{
    if (index < 16)
        return options.AnsiColors[static_cast<size_t>(std::max(index, 0))];
    if (index < 232) {
        static constexpr int Levels[6] = {0, 95, 135, 175, 215, 255};
        const int n = index - 16;
        return Rgb(Levels[n / 36], Levels[n / 6 % 6], Levels[n % 6]);
    }
    const int grey = 8 + 10 * (std::min(index, 255) - 232);
    return Rgb(grey, grey, grey);
}

void ApplyAnsiCodes(QByteArrayView sequence, TextAttributes &attributes, TSessionOptions &options, bool modern)
{
    // The commonest of all: one code of one or two digits.
    const char *s = sequence.data();
    if (sequence.size() == 2 && s[1] >= '0' && s[1] <= '9') {
        ApplyCode(s[1] - '0', attributes, options, modern);
        return;
    }
    if (sequence.size() == 3 && s[1] >= '0' && s[1] <= '9' && s[2] >= '0' && s[2] <= '9') {
        ApplyCode((s[1] - '0') * 10 + (s[2] - '0'), attributes, options, modern);
        return;
    }
    ApplyLongerCodes(sequence, attributes, options, modern);
}

} // namespace wren
