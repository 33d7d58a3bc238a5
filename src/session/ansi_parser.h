// SPDX-License-Identifier: GPL-3.0-or-later
// Applies one collected ANSI escape sequence to the current text attributes.
#pragma once

#include "base/text_attributes.h"
#include "options/session_options.h"

namespace wren {

/// @p sequence is what was collected after ESC, starting with "[", without the final character.
/// Whatever letter ended the sequence, its parameters are taken as colour and style codes.
///
/// With @p modern, the codes of today's terminals are read too: 7 and 27 (inverse), 49 (default
/// background), 90-97 and 100-107 (bright colours), 38;5;n and 48;5;n (the 256-colour palette) and
/// 38;2;r;g;b and 48;2;r;g;b (true colour). Without it they do nothing, as in the classic client.
void ApplyAnsiCodes(QByteArrayView sequence, TextAttributes &attributes, TSessionOptions &options, bool modern = false);

/// Entry @p index of the 256-colour palette: the session's 16 ANSI colours, the 6x6x6 cube, the grey ramp.
Colour PaletteColour(int index, const TSessionOptions &options);

} // namespace wren
