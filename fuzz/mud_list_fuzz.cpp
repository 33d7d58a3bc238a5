// SPDX-License-Identifier: GPL-3.0-or-later
// "mudlist.txt": any bytes as the downloaded public MUD list.
#include "file_readers_fuzz.h"
#include "ui/world_list.h"

using wren::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = wren::fuzz::Bytes(data, size);
    const QList<wren::ListedMud> muds = wren::ParseMudList(bytes);
    Check(muds.size() <= bytes.count('\n') + 1, "at most a MUD a line");
    for (const wren::ListedMud &mud : muds)
        Check(!mud.Name.contains('\n') && !mud.Host.contains('\n'), "fields hold no line end");
    return 0;
}
