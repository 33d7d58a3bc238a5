// SPDX-License-Identifier: GPL-3.0-or-later
// The client's own lines in a session's view: lines about the connection, and echoed commands.
#include "session/status_lines.h"

#include "base/text_helpers.h"
#include "options/session_options.h"
#include "session/session_document.h"

namespace wren {

void WriteStatusLine(SessionDocument &display, const TSessionOptions &options, const QByteArray &text,
                     const QByteArray &action)
{
    const TextAttributes saved = display.Attributes;
    if (!display.Paragraphs().back().Text.isEmpty())
        display.EndParagraph();
    display.Attributes.FontName = TrimTrailingBlanks(options.CurFontName);
    display.Attributes.FontSize = options.CurFontSize;
    display.Attributes.Fore = action.isEmpty() ? Rgb(192, 192, 192) : Rgb(0, 255, 255);
    display.Attributes.Back = options.DefaultBackColor;
    display.Attributes.Style = action.isEmpty() ? 0 : Underline;
    display.Append(text + "\n");
    if (!action.isEmpty())
        display.SetLastParagraphAction(action);
    display.Attributes = saved;
    display.TrimToLimit(options.EffectiveMaxLines());
}

void WriteEchoLine(SessionDocument &display, const TSessionOptions &options, const QByteArray &text)
{
    const TextAttributes saved = display.Attributes;
    display.Attributes.FontName = TrimTrailingBlanks(options.CurFontName);
    display.Attributes.FontSize = options.CurFontSize;
    display.Attributes.Fore = Rgb(255, 255, 0);
    display.Append(text + "\n");
    display.Attributes = saved;
    display.TrimToLimit(options.EffectiveMaxLines());
}

} // namespace wren
