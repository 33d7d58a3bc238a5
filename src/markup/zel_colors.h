// SPDX-License-Identifier: GPL-3.0-or-later
// Colour names and "#rrggbb" values of the markup language.
#pragma once

#include "options/session_options.h"

#include <QByteArray>

namespace wren {

/// Converts a colour name (RED, NAVY, ...) or "#" and six hexadecimal digits to a colour; -1 when unknown.
/// A "#" group that is not two characters long counts as 255.
Colour ZelColorValue(const QByteArray &name);

} // namespace wren
