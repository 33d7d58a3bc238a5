// SPDX-License-Identifier: GPL-3.0-or-later
// Recognises the markup protocol's banner in a received block.
#pragma once

#include <QByteArrayView>

namespace wren {

/// The answer the client sends once the banner was seen.
inline constexpr char ZelAnswer[] = "v1.50\r\n";

/// True when the block holds "ZEL" and, after its first occurrence, the block's first "v".
bool IsZelBanner(QByteArrayView block);

} // namespace wren
