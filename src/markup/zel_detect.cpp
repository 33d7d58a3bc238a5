// SPDX-License-Identifier: GPL-3.0-or-later
// Recognises the markup protocol's banner in a received block.
#include "markup/zel_detect.h"

namespace wren {

bool IsZelBanner(QByteArrayView block)
{
    const qsizetype zel = block.indexOf(QByteArrayView("ZEL"));
    const qsizetype v = block.indexOf('v');
    return zel >= 0 && v > zel;
}

} // namespace wren
