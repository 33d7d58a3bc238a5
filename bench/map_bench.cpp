// SPDX-License-Identifier: GPL-3.0-or-later
// Times the map: rooms arriving with the store attached, loading a large map file, a path across it, panel paints.
#include "config/program_folder.h"
#include "mapper/map_model.h"
#include "mapper/map_store.h"
#include "ui/map_canvas.h"
#include "ui/map_panel.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace wren;

namespace {

/// Bytes in use on the heap, large blocks (which malloc maps on their own) included.
size_t HeapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

/// Room.Info as a world sends it, for a room of a square grid with exits to its four neighbours.
QByteArray RoomInfo(int side, int x, int y, const char *area)
{
    const auto id = [side](int cx, int cy) { return QByteArray::number(100000 + cy * side + cx); };
    QByteArray exits;
    const auto add = [&](const char *dir, int cx, int cy) {
        if (cx < 0 || cy < 0 || cx >= side || cy >= side)
            return;
        exits += (exits.isEmpty() ? "\"" : ",\"") + QByteArray(dir) + "\":" + id(cx, cy);
    };
    add("n", x, y + 1);
    add("s", x, y - 1);
    add("e", x + 1, y);
    add("w", x - 1, y);
    return "{\"num\":" + id(x, y) + ",\"name\":\"A winding road " + QByteArray::number(x) + "/" + QByteArray::number(y)
        + "\",\"zone\":\"" + area + "\",\"terrain\":\"field\",\"exits\":{" + exits + "},\"coord\":{\"id\":0,\"x\":"
        + QByteArray::number(x) + ",\"y\":" + QByteArray::number(y) + ",\"cont\":0}}";
}

/// This thread's processor time: unlike the wall clock, it does not count the time other programs on a busy
/// machine take the processor away.
double ThreadMicros()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

struct Timings {
    std::vector<double> Micros;
    double Median() const
    {
        std::vector<double> sorted = Micros;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0 : sorted[sorted.size() / 2];
    }
    double Quantile(double q) const
    {
        std::vector<double> sorted = Micros;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0 : sorted[std::min(sorted.size() - 1, static_cast<size_t>(q * sorted.size()))];
    }
    double Mean() const
    {
        double sum = 0;
        for (double m : Micros)
            sum += m;
        return Micros.empty() ? 0 : sum / static_cast<double>(Micros.size());
    }
};

/// Rooms arriving one by one, as from a walk, with the store attached and the event loop running between them
/// (so its batches are handed to the writer on this thread, as in the program). Per-room wall-clock times in
/// @p timings, processor times in @p cpu.
void Walk(MapModel &map, int side, const char *area, Timings &timings, Timings &cpu)
{
    timings.Micros.reserve(static_cast<size_t>(side) * static_cast<size_t>(side));
    std::vector<QByteArray> payloads;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x)
            payloads.push_back(RoomInfo(side, (y % 2) ? side - 1 - x : x, y, area));
    }
    QElapsedTimer timer;
    QByteArray direction;
    for (size_t i = 0; i < payloads.size(); ++i) {
        const QJsonObject object = QJsonDocument::fromJson(payloads[i]).object();
        const double cpuStart = ThreadMicros();
        timer.start();
        map.Arrive(RoomFromGmcp(object), direction);
        QCoreApplication::processEvents();
        timings.Micros.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0);
        cpu.Micros.push_back(ThreadMicros() - cpuStart);
        const int x = i % side;
        direction = x == side - 1 ? "n" : ((i / side) % 2 ? "w" : "e");
    }
}

void Report(const char *what, const Timings &t, const char *goal)
{
    std::printf("%-52s mean %8.2f us  median %8.2f us  p99 %8.2f us  max %9.1f us   (goal %s)\n", what, t.Mean(), t.Median(),
                t.Quantile(0.99), t.Quantile(1.0), goal);
}

void MeasureArrivals(const QString &folder, int side)
{
    MapModel map;
    MapStore store(map);
    store.Open(folder + QStringLiteral("/walk.map"));
    Timings timings, cpu;
    Walk(map, side, "Plains", timings, cpu);
    Report("arrive: Room.Info object -> room -> map + store", timings, "< 50 us");
    Report("  the same in this thread's processor time", cpu, "< 50 us");
    QElapsedTimer close;
    close.start();
    store.Close();
    std::printf("%-52s %8.1f ms for %d rooms\n", "store: close (last batch committed)", close.nsecsElapsed() / 1e6,
                map.RoomCount());
}

/// A room with @p exits exits of the world's own, each to a room never seen (the worst a world can send).
QByteArray ManyExits(int id, int exits)
{
    QByteArray json = "{\"num\":" + QByteArray::number(id) + ",\"name\":\"Flooded room\",\"exits\":{";
    for (int i = 0; i < exits; ++i)
        json += (i ? ",\"way" : "\"way") + QByteArray::number(i) + "\":" + QByteArray::number(10'000'000 + id * 64 + i);
    return json + "}}";
}

void MeasureMemory(int flood, int exits)
{
    const size_t before = HeapBytes();
    auto *map = new MapModel;
    QElapsedTimer timer;
    qint64 nanoseconds = 0;
    const int side = static_cast<int>(std::ceil(std::sqrt(flood)));
    int added = 0;
    for (int y = 0; y < side && added < flood; ++y) {
        for (int x = 0; x < side && added < flood; ++x, ++added) {
            const QByteArray json = exits > 0 ? ManyExits(added, exits) : RoomInfo(side, x, y, "Flood");
            const QJsonObject object = QJsonDocument::fromJson(json).object();
            timer.start();
            map->Arrive(RoomFromGmcp(object));
            nanoseconds += timer.nsecsElapsed();
        }
    }
    const double seconds = nanoseconds / 1e9;
    const size_t after = HeapBytes();
    std::printf("flood: %d distinct rooms, %d exits each, no store: %.2f s (%.1f us a room from the parsed object); "
                "%.0f bytes a room (rooms heard of through exits: %d); %d refused\n",
                map->RoomCount(), exits > 0 ? exits : 4, seconds, seconds * 1e6 / added,
                static_cast<double>(after - before) / map->RoomCount(), map->HeardOfCount(),
                static_cast<int>(map->WarningCounts().RefusedRooms));
    delete map;
}

void MeasureLoad(const QString &path, MapModel &map)
{
    Timings load;
    for (int run = 0; run < 3; ++run) {
        MapModel loaded;
        MapStore store(loaded);
        QElapsedTimer timer;
        timer.start();
        store.Open(path);
        load.Micros.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0);
        store.Close();
        if (run == 2)
            map.Swap(loaded);
    }
    std::printf("%-52s %8.1f ms median of 3 (%d rooms)   (goal < 1000 ms)\n", "store: open and load the map file",
                load.Median() / 1000, map.RoomCount());
}

/// A path across the map: after a change (as after a room arrives, when the flat exit arrays are built
/// again) and with the map unchanged since the last path.
void MeasurePath(MapModel &map, int side)
{
    const QByteArray from = QByteArray::number(100000);
    const QByteArray to = QByteArray::number(100000 + side * side - 1);
    const QByteArray middle = QByteArray::number(100000 + side / 2);
    Timings changed, unchanged;
    size_t steps = 0;
    for (int run = 0; run < 11; ++run) {
        map.SetFlags(middle, run % 2 ? RoomAvoided : 0);
        QElapsedTimer timer;
        timer.start();
        steps = map.FindPath(from, to).Directions.size();
        changed.Micros.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0);
        timer.start();
        map.FindPath(from, to);
        unchanged.Micros.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0);
    }
    std::printf("%-52s %8.2f ms median of 11 after a change, %.2f ms unchanged (%zu steps)   (goal < 10 ms)\n",
                "path: corner to corner", changed.Median() / 1000, unchanged.Median() / 1000, steps);
}

void MeasurePaint(MapModel &map, int side)
{
    MapPanel panel;
    panel.resize(800, 640);
    panel.SetModel(&map);
    panel.show();
    QCoreApplication::processEvents();
    MapCanvas &canvas = *panel.Canvas();
    canvas.ShowRoom(QByteArray::number(100000 + (side / 2) * side + side / 2));
    QImage target(canvas.size(), QImage::Format_ARGB32_Premultiplied);
    for (double cell : {1.0, 2.0, 4.0, 6.0, 8.0, 11.9, 12.0, 16.0, 20.0, 40.0, 64.0}) {
        canvas.SetCellSize(cell);
        Timings paint;
        for (int run = 0; run < 21; ++run) {
            QElapsedTimer timer;
            timer.start();
            canvas.render(&target);
            paint.Micros.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0);
        }
        const int cellsWide = static_cast<int>(canvas.width() / cell), cellsHigh = static_cast<int>(canvas.height() / cell);
        std::printf("paint %dx%d, %4.1f px a cell (%6d cells in view)       %8.2f ms median of 21   (goal < 8 ms)\n",
                    canvas.width(), canvas.height(), cell, cellsWide * cellsHigh, paint.Median() / 1000);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption roomsOption(QStringLiteral("rooms"), QStringLiteral("Rooms of the large map (a square)."),
                                   QStringLiteral("n"), QStringLiteral("50000"));
    QCommandLineOption floodOption(QStringLiteral("flood"), QStringLiteral("Distinct rooms for the memory figure."),
                                   QStringLiteral("n"), QStringLiteral("100000"));
    QCommandLineOption exitsOption(QStringLiteral("flood-exits"),
                                   QStringLiteral("Exits of the world's own per flooded room, to unseen rooms (0: a grid)."),
                                   QStringLiteral("n"), QStringLiteral("0"));
    parser.addOption(roomsOption);
    parser.addOption(floodOption);
    parser.addOption(exitsOption);
    parser.process(app);
    QTemporaryDir folder;
    SetProgramFolder(folder.path());
    const int side = static_cast<int>(std::ceil(std::sqrt(parser.value(roomsOption).toInt())));
    std::printf("Map benchmark: a %dx%d map (%d rooms, 4 exits each)\n", side, side, side * side);

    MeasureArrivals(folder.path(), side);
    MeasureMemory(parser.value(floodOption).toInt(), parser.value(exitsOption).toInt());
    MapModel map;
    MeasureLoad(folder.path() + QStringLiteral("/walk.map"), map);
    MeasurePath(map, side);
    MeasurePaint(map, side);
    return 0;
}
