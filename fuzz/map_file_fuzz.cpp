// SPDX-License-Identifier: GPL-3.0-or-later
// Opens arbitrary bytes as a map file: refused and left byte for byte as it was, or read within the map's limits.
#include "mapper/map_model.h"
#include "mapper/map_store.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

QCoreApplication *App = nullptr;
QTemporaryDir *Folder = nullptr;

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
    Folder = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString path = Folder->filePath(QStringLiteral("world.map"));
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    {
        QFile file(path);
        Check(file.open(QIODevice::WriteOnly), "the temporary file is written");
        file.write(bytes);
    }
    wren::MapModel map(1000);
    wren::MapStore store(map);
    QString message;
    const wren::MapStore::OpenResult result = store.Open(path, &message);
    if (result == wren::MapStore::OpenResult::Refused) {
        store.Close();
        QFile file(path);
        Check(file.open(QIODevice::ReadOnly) && file.readAll() == bytes, "a refused file is left as it was");
        Check(!message.isEmpty(), "a refusal says why");
        return 0;
    }
    Check(map.RoomCount() <= map.MaxRooms(), "room limit");
    for (quint32 i = 0; i < map.NodeCount(); ++i)
        Check(map.At(i).Exits.size() <= static_cast<size_t>(wren::MaxExitsPerRoom), "exit limit");
    store.Close();
    return 0;
}
