// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary MSSP messages through the reader, the store and the protocol log.
#include "fuzz_check.h"
#include "gamedata/game_data.h"
#include "gamedata/mssp.h"
#include "gamedata/protocol_log.h"

#include <QSet>

using wren::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArrayView payload(bytes, static_cast<qsizetype>(size));
    const wren::mssp::Result result = wren::mssp::Parse(payload);
    Check(result.Fields.size() <= wren::mssp::MaxFields, "name limit");
    wren::GameData data;
    QSet<QByteArray> names;
    qsizetype values = 0;
    for (const wren::mssp::Field &field : result.Fields) {
        Check(!field.first.isEmpty(), "names are not empty");
        Check(!names.contains(field.first), "a name comes once");
        names.insert(field.first);
        values += field.second.size();
        data.ApplyMssp(field.first, field.second);
        Check(data.Mssp(field.first).size() == field.second.size(), "every value is stored");
        data.Lookup("mssp." + field.first);
        data.Lookup("mssp." + field.first + ".1");
    }
    Check(values <= wren::mssp::MaxValues, "value limit");
    wren::mssp::Render(result);
    wren::ProtocolLog log;
    log.AddMssp(wren::ProtocolLog::Direction::In, payload);
    return 0;
}
