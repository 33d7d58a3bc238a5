// SPDX-License-Identifier: GPL-3.0-or-later
// Applies one collected ANSI escape sequence to the current text attributes.
#include "session/ansi_parser.h"

#include "session/text_helpers.h"

#include <algorithm>

namespace wren {

namespace {

void ApplyCode(int code, TextAttributes &a, TSessionOptions &o)
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

} // namespace

void ApplyAnsiCodes(QByteArrayView sequence, TextAttributes &attributes, TSessionOptions &options)
{
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

} // namespace wren
