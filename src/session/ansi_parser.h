// SPDX-License-Identifier: GPL-3.0-or-later
// Applies one collected ANSI escape sequence to the current text attributes.
#pragma once

#include "options/session_options.h"
#include "session/text_attributes.h"

namespace wren {

/// @p sequence is what was collected after ESC, starting with "[", without the final character.
/// Whatever letter ended the sequence, its parameters are taken as colour and style codes.
void ApplyAnsiCodes(QByteArrayView sequence, TextAttributes &attributes, TSessionOptions &options);

} // namespace wren
