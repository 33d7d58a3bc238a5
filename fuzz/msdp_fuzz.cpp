// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary MSDP messages through the reader, the JSON conversion, the store and its lookups.
#include "fuzz_check.h"
#include "gamedata/game_data.h"
#include "gamedata/gauge_mapping.h"
#include "gamedata/msdp.h"
#include "gamedata/protocol_log.h"

using wren::fuzz::Check;

namespace
{

/// How deep the containers go, and how many values there are.
void Measure(const wren::msdp::Value &value, int depth, int &deepest, int &count)
{
    deepest = std::max(deepest, depth);
    ++count;
    Check(value.Type != wren::msdp::Value::Kind::Table || value.Keys.size() == qsizetype(value.Items.size()),
        "every table value has its name");
    Check(value.Type == wren::msdp::Value::Kind::String || value.Text.isEmpty(), "only strings hold text");
    for (const wren::msdp::Value &item : value.Items)
        Measure(item, depth + 1, deepest, count);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArrayView payload(bytes, static_cast<qsizetype>(size));
    const wren::msdp::Result result = wren::msdp::Parse(payload);
    wren::GameData data;
    int count = 0;
    for (const wren::msdp::Variable &variable : result.Variables) {
        Check(!variable.Name.isEmpty(), "variables have names");
        for (const char ch : variable.Name)
            Check(ch < wren::msdp::Var || ch > wren::msdp::ArrayClose, "names hold no framing byte");
        int deepest = 0;
        Measure(variable.Data, 0, deepest, count);
        // A variable with several values is an array of them: one level more than the framing shows.
        Check(deepest <= wren::msdp::MaxDepth + 1, "depth limit");
        data.ApplyMsdp(variable.Name, variable.Data);
        data.Lookup("msdp." + variable.Name);
        data.Lookup("MSDP." + variable.Name.toLower() + ".0");
        wren::msdp::Names(variable.Data);
    }
    Check(count <= wren::msdp::MaxValues + 1, "value limit");
    wren::msdp::Render(result);
    wren::ProtocolLog log;
    log.AddMsdp(wren::ProtocolLog::Direction::In, payload);
    wren::GaugeValues(data);
    wren::CurrentRoom(data);
    const wren::msdp::Result again = wren::msdp::Parse(wren::msdp::ReportRequest({ payload.toByteArray() }));
    Check(again.Variables.size() == 1 && again.Variables[0].Name == "REPORT" && again.Error.isEmpty(),
        "a request is one clean variable whatever its names hold");
    return 0;
}
