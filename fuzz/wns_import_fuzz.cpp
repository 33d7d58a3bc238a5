// SPDX-License-Identifier: GPL-3.0-or-later
// The ".wns" import: any bytes merged into a store.
#include "automation/settings_exchange.h"
#include "file_readers_fuzz.h"

using wren::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    wren::AutomationStore store;
    const int taken = wren::ImportWnsBytes(wren::fuzz::Bytes(data, size), store);
    Check(taken >= 0 && taken <= static_cast<int>(size), "items taken are counted from lines");
    wren::ExportTextBytes(store);
    return 0;
}
