// SPDX-License-Identifier: GPL-3.0-or-later
// The zMUD export import: any bytes as its lines and brace tokens, merged into a store.
#include "automation/settings_exchange.h"
#include "file_readers_fuzz.h"

using wren::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = wren::fuzz::Bytes(data, size);
    for (const QByteArray &line : bytes.split('\n')) {
        const QList<QByteArray> tokens = wren::BraceTokens(line);
        Check(tokens.size() <= line.size() + 1, "no more tokens than characters");
    }
    wren::AutomationStore store;
    const int taken = wren::ImportZMudBytes(bytes, store, bytes.left(1));
    Check(taken >= 0 && taken <= static_cast<int>(size), "items taken are counted from lines");
    return 0;
}
