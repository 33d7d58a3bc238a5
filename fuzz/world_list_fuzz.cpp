// SPDX-License-Identifier: GPL-3.0-or-later
// "muds.ini": any bytes as the world list. What is read is written and read back the same.
#include "file_readers_fuzz.h"
#include "ui/world_list.h"

using wren::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<wren::SavedWorld> worlds = wren::ParseWorldList(wren::fuzz::Bytes(data, size));
    const QByteArray written = wren::WorldListBytes(worlds);
    const QList<wren::SavedWorld> again = wren::ParseWorldList(written);
    Check(again.size() == worlds.size(), "the list reads back whole");
    Check(wren::WorldListBytes(again) == written, "the list reads back the same");
    for (const wren::SavedWorld &world : worlds)
        wren::PortNumber(world.Port);
    return 0;
}
