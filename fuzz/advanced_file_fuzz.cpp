// SPDX-License-Identifier: GPL-3.0-or-later
// The ".wn2" automations file: any bytes loaded into a store, which then saves and loads again the same.
#include "automation/advanced_file.h"
#include "file_readers_fuzz.h"

using wren::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = wren::fuzz::Bytes(data, size);
    wren::AutomationStore store;
    const int taken = wren::LoadAdvancedBytes(bytes, store);
    Check(taken <= bytes.size() / wren::AdvancedRecordSize, "no more items than whole records");
    const QByteArray saved = wren::SaveAdvancedBytes(store);
    Check(saved.size() % wren::AdvancedRecordSize == 0 && !saved.isEmpty(), "a saved file is whole records");
    wren::AutomationStore again;
    wren::LoadAdvancedBytes(saved, again);
    Check(wren::SaveAdvancedBytes(again) == saved, "what is saved loads back the same");
    return 0;
}
