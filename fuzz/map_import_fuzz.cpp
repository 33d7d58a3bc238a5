// SPDX-License-Identifier: GPL-3.0-or-later
// Imports arbitrary bytes as a JSON map: refused without touching the map, or read so that it exports and reads back
// the same.
#include "mapper/map_json.h"
#include "mapper/map_model.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace {

QCoreApplication *App = nullptr;

void Check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    App = new QCoreApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    wren::MapModel map(5000);
    wren::RoomRecord before;
    before.Id = "kept";
    before.Name = "The room that was there before";
    map.Arrive(before);
    const QByteArray previous = wren::ExportMapJson(map);
    QString message;
    if (!wren::ImportMapJson(bytes, map, &message)) {
        Check(!message.isEmpty(), "a refusal says why");
        Check(wren::ExportMapJson(map) == previous, "a refused import leaves the map as it was");
        return 0;
    }
    const QByteArray exported = wren::ExportMapJson(map);
    wren::MapModel again(5000);
    Check(wren::ImportMapJson(exported, again, &message), "an exported map reads back");
    Check(wren::ExportMapJson(again) == exported, "an exported map reads back the same");
    return 0;
}
