// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary GMCP messages through the reader, the game data store, its lookups and ${...} substitution.
#include "fuzz_check.h"
#include "gamedata/game_data.h"
#include "gamedata/gauge_mapping.h"
#include "gamedata/gmcp.h"
#include "gamedata/protocol_log.h"

#include <QJsonObject>

using wren::fuzz::Check;

namespace
{

/// Looks up the package, each of its top-level keys, and one step further into each.
void LookUp(const wren::GameData &data, const wren::gmcp::Message &message)
{
    const QByteArray base = "gmcp." + message.Package;
    data.Lookup(base);
    data.Lookup(base.toLower() + ".0");
    if (!message.Data.isObject())
        return;
    const QJsonObject object = message.Data.toObject();
    int count = 0;
    for (auto it = object.constBegin(); it != object.constEnd() && count < 16; ++it, ++count) {
        const QByteArray path = base + '.' + it.key().toUtf8();
        data.Lookup(path);
        data.Lookup(path.toUpper() + ".0.name");
    }
}

} // namespace

// The input is cut into messages at every 0x00 0x00 pair; each is also taken as a typed command.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(bytes), static_cast<qsizetype>(size));
    wren::GameData data;
    wren::ProtocolLog log;
    qsizetype from = 0;
    while (from <= input.size()) {
        qsizetype at = input.indexOf(QByteArray("\0\0", 2), from);
        if (at < 0)
            at = input.size();
        const QByteArray payload = input.mid(from, at - from);
        from = at + 2;

        const wren::gmcp::Message message = wren::gmcp::Parse(payload);
        log.AddGmcp(wren::ProtocolLog::Direction::In, payload, message.Error);
        Check(message.Package.isEmpty() || wren::gmcp::CheckPackageName(message.Package).isEmpty(),
            "a package name that was read is a valid name");
        Check(message.Ok() || message.Data.isUndefined(), "refused data is never handed on");
        if (!message.Package.isEmpty()) {
            data.ApplyGmcp(message.Package, message.Data);
            LookUp(data, message);
        }
        if (message.Ok() && !message.Data.isUndefined())
            Check(wren::gmcp::Parse(wren::gmcp::Encode(message.Package, message.Data)).Ok(),
                "what the client writes, it reads back");

        const wren::gmcp::Command command = wren::gmcp::FromCommandText(payload);
        Check(command.Payload.isEmpty() != command.Error.isEmpty(), "a command gives a payload or a reason");
        if (!command.Payload.isEmpty())
            Check(wren::gmcp::Parse(command.Payload).Ok(), "a /GMCP payload is a valid message");

        const QByteArray substituted = wren::SubstituteGameData(payload, data);
        Check(substituted.count('\n') <= payload.count('\n'), "substitution adds no line");
    }
    wren::GaugeValues(data);
    wren::CurrentRoom(data);
    Check(log.Entries().size() <= size_t(wren::ProtocolLog::MaxEntries), "log cap");
    return 0;
}
