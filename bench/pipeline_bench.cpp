// SPDX-License-Identifier: GPL-3.0-or-later
// Streams coloured MUD text through a loopback socket into a session and prints throughput and memory.
#include "config/program_folder.h"
#include "automation/trigger_engine.h"
#include "session/client.h"
#include "ui/game_data_panel.h"
#include "ui/session_view.h"

#include <QAccessible>
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>
#include <thread>

namespace {

long StatusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(strlen(field))).trimmed().split(' ').front().toLong();
    }
    return 0;
}

bool GmcpVitals = false; ///< --gmcp: a GMCP Char.Vitals after every prompt, shown in the gauges

// About 80 visible characters a line, a colour change every ten or so, bold now and then, and a prompt
// ending in IAC GA every 25 lines.
QByteArray MudText(qsizetype bytes, qsizetype *lines)
{
    static const char *words[] = {"the", "orc", "swings", "at", "you", "with", "a", "rusty", "axe", "and",
                                  "misses", "narrowly", "dragon", "breathes", "fire", "over", "hall"};
    std::mt19937 random(7);
    QByteArray out;
    out.reserve(bytes + 200);
    *lines = 0;
    while (out.size() < bytes) {
        int column = 0;
        while (column < 80) {
            const int colour = 30 + static_cast<int>(random() % 8);
            if (random() % 7 == 0)
                out += "\x1b[1m";
            out += "\x1b[" + QByteArray::number(colour) + "m";
            int run = 0;
            while (run < 10) {
                const char *word = words[random() % std::size(words)];
                out += word;
                out += ' ';
                run += static_cast<int>(strlen(word)) + 1;
            }
            column += run;
            if (random() % 7 == 0)
                out += "\x1b[22m";
        }
        out += "\x1b[0m\r\n";
        ++*lines;
        if (*lines % 25 == 0) {
            out += "<100hp 50mp> \xff\xf9";
            if (GmcpVitals) {
                // As servers send them: the vitals after the prompt, changing as the fight goes.
                const int hp = 100 + static_cast<int>(*lines / 25 % 400);
                out += "\xff\xfa\xc9" "Char.Vitals {\"hp\":" + QByteArray::number(hp) + ",\"maxhp\":500,\"mp\":"
                       + QByteArray::number(hp / 2) + ",\"maxmp\":250,\"mv\":90,\"maxmv\":100}\xff\xf0";
            }
        }
    }
    if (GmcpVitals)
        out.prepend("\xff\xfb\xc9"); // the offer, agreed once: repeated with each chunk it is not answered again
    return out;
}

bool Realistic = false; ///< --realistic: the players' kind of patterns, with the stream's common words
bool LiteralScan = false; ///< --literal-scan: one literal search per pattern instead of the database

// A made-up name that never occurs in the stream: two syllables and a number, capitalised.
QByteArray MadeUpName(int i, int shift = 0, bool numbered = true)
{
    static const char *syllables[] = {"kar", "mel", "dor", "vin", "tha", "lor", "quen", "zir", "bal", "ith", "ond", "rak"};
    QByteArray name = syllables[(i + shift) % 12];
    name += syllables[(i / 12 + shift) % 12];
    if (numbered)
        name += QByteArray::number(i / 144);
    name[0] = static_cast<char>(name[0] - 32);
    return name;
}

// Realistic execute-trigger patterns that never match the stream, each with a name of its own, and still
// valid patterns when cut to the 40 characters a trigger keeps. The default set: anchors, groups, classes and literals, a few
// without a literal the pre-check can use. The --realistic set: what players write, alternatives, captures
// and the stream's common words (" the ", "you", "at"), so a literal pre-check passes most lines.
QList<QByteArray> TriggerPatterns(int count)
{
    static const char *shapes[] = {
        "^%1 tells you '(.*)'$",
        "^\\[(\\w+)\\] %1: (.*)$",
        "^%1 (slashes|pierces|hits) you",
        "(\\d+) gold coins? from the corpse of %1",
        "^Your %1 glows (\\w+)\\.$",
        "^%1 arrives from the (north|up)",
        "HP: (\\d+)/(\\d+) %1",
        "^You feel %1\\.?$",
        "%1 shouts '([^']+)'",
        "^(?:A|An|The) %1 (?:is|are) here",
    };
    static const char *realistic[] = {
        "(%1|%2) arrives from the",
        "(.*) gives you (\\d+) gold from %1",
        "^Your %1 (misses|hits) the (.+)!$",
        "^You hit the %1 with a (\\w+)",
        "(\\w+) swings at you with a %1",
        "the orc breathes fire at %1",
        "(?i)%1 narrowly misses you",
        "\\b%1\\b and the (\\w+) misses",
        "^(A|An|The) (\\w+) %1 is here\\.$",
        "with a rusty (axe|sword) of %1",
    };
    static_assert(std::size(shapes) == std::size(realistic));
    QList<QByteArray> patterns;
    for (int i = 0; i < count; ++i) {
        const char *shape = (Realistic ? realistic : shapes)[i % std::size(shapes)];
        patterns.append(QByteArray(shape).replace("%1", MadeUpName(i)).replace("%2", MadeUpName(i, 5, false)));
    }
    return patterns;
}

void AddTriggers(wren::TClient &client, int count)
{
    for (const QByteArray &pattern : TriggerPatterns(count))
        client.Automation.AddTrigger(pattern, "say never", "Bench", 1);
    client.Automation.AddTrigger("^END OF STREAM$", "done", "Bench", 1);
    if (LiteralScan)
        client.Incoming().UsePatternDatabase(false);
    // The pattern database is built in the background; the stream is timed with it in place.
    client.Incoming().PrepareTriggers(60000);
}

// Lines through the execute pass alone.
double ExecutePassLinesPerSecond(const QByteArray &text, int triggers)
{
    QList<wren::TAdvancedItem> list;
    wren::AutomationStore store;
    for (const QByteArray &pattern : TriggerPatterns(triggers))
        store.AddTrigger(pattern, "x", "Bench", 1);
    QList<QByteArray> lines;
    for (QByteArray line : text.split('\n')) {
        // Lines as the pass sees them: escapes gone.
        QByteArray plain;
        for (qsizetype i = 0; i < line.size(); ++i) {
            if (line[i] == 27) {
                while (i < line.size() && line[i] != 'm')
                    ++i;
            } else if (line[i] != '\r') {
                plain += line[i];
            }
        }
        lines.append(plain);
    }
    wren::ExecutePass pass;
    pass.UseDatabase(!LiteralScan);
    int matches = 0;
    int broken = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 done = 0;
    while (clock.elapsed() < 1000) {
        for (const QByteArray &line : lines)
            pass.Run(store, line, [&](const wren::TAdvancedItem &, const QByteArray &) { ++matches; },
                     [&](const QByteArray &, const QByteArray &) { ++broken; });
        done += lines.size();
    }
    if (matches || broken)
        std::printf("(unexpected: %d matches, %d patterns that do not compile)\n", matches, broken);
    return static_cast<double>(done) / (clock.nsecsElapsed() / 1e9);
}

struct Server {
    int ListenFd = -1;
    quint16 Port = 0;
    std::thread Thread;

    QByteArray Reply;
    /// Sends @p total bytes of @p chunk repeated, then @p marker; or, when @p wire is not empty, exactly
    /// @p wire (a compressed stream that holds both).
    void Start(const QByteArray &chunk, qint64 total, const QByteArray &marker, const QByteArray &wire = {})
    {
        ListenFd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(ListenFd, reinterpret_cast<sockaddr *>(&address), sizeof address);
        listen(ListenFd, 1);
        socklen_t length = sizeof address;
        getsockname(ListenFd, reinterpret_cast<sockaddr *>(&address), &length);
        Port = ntohs(address.sin_port);
        Thread = std::thread([this, chunk, total, marker, wire] {
            const int fd = accept(ListenFd, nullptr, nullptr);
            qint64 sent = 0;
            for (qint64 at = 0; at < wire.size();) {
                const qint64 n = write(fd, wire.constData() + at, static_cast<size_t>(std::min<qint64>(65536, wire.size() - at)));
                if (n <= 0)
                    break;
                at += n;
            }
            while (wire.isEmpty() && sent < total) {
                const qint64 n = write(fd, chunk.constData(), static_cast<size_t>(std::min<qint64>(chunk.size(), total - sent)));
                if (n <= 0)
                    break;
                sent += n;
            }
            if (!marker.isEmpty()) {
                // The client's trigger answers the marker; wait for the answer before closing.
                if (wire.isEmpty())
                    (void)write(fd, marker.constData(), static_cast<size_t>(marker.size()));
                timeval limit {10, 0}; // never wait forever for the answer
                setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
                char buffer[256];
                while (!Reply.contains("done")) {
                    const ssize_t n = read(fd, buffer, sizeof buffer);
                    if (n <= 0)
                        break;
                    Reply.append(buffer, n);
                }
            }
            close(fd);
        });
    }
    ~Server()
    {
        if (Thread.joinable())
            Thread.join();
        if (ListenFd >= 0)
            close(ListenFd);
    }
};

struct RunResult {
    double Seconds = 0;
    qsizetype Rows = 0;
    quint64 Paints = 0;
    quint64 Reads = 0;
    bool MarkerAnswered = false;
    long RssStart = 0;
    long RssEnd = 0;
    int GaugeRefreshes = 0;
};

// One stream through a new session: the clock starts at the first byte read and stops when the server closes.
/// What a server that compresses (MCCP2) sends for the same stream: the start of compression, then the
/// text and the marker deflated as one zlib stream.
QByteArray CompressedWire(const QByteArray &chunk, qint64 total, const QByteArray &marker)
{
    QByteArray wire = QByteArray("\xff\xfb\x56\xff\xfa\x56\xff\xf0", 8);
    z_stream stream {};
    deflateInit(&stream, Z_DEFAULT_COMPRESSION);
    std::vector<char> out(1 << 20);
    const auto feed = [&](const QByteArray &bytes, int flush) {
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.constData()));
        stream.avail_in = static_cast<uInt>(bytes.size());
        do {
            stream.next_out = reinterpret_cast<Bytef *>(out.data());
            stream.avail_out = static_cast<uInt>(out.size());
            deflate(&stream, flush);
            wire.append(out.data(), static_cast<qsizetype>(out.size() - stream.avail_out));
        } while (stream.avail_out == 0);
    };
    for (qint64 sent = 0; sent < total; sent += chunk.size())
        feed(chunk.left(static_cast<qsizetype>(std::min<qint64>(chunk.size(), total - sent))), Z_NO_FLUSH);
    feed(marker, Z_SYNC_FLUSH);
    deflateEnd(&stream);
    return wire;
}

RunResult StreamOnce(const QByteArray &chunk, qint64 total, bool showView, int maxLines, int triggers,
                     const QByteArray &wire = {})
{
    RunResult result;
    wren::TGlobals globals;
    wren::TClient client(globals);
    client.Options.MaxLines = maxLines;
    if (triggers >= 0)
        AddTriggers(client, triggers);
    std::unique_ptr<wren::SessionView> view;
    std::unique_ptr<wren::GameDataPanel> gauges;
    if (showView) {
        view.reset(wren::CreateSessionView(client));
        view->resize(900, 600);
        view->show();
        if (GmcpVitals) {
            gauges = std::make_unique<wren::GameDataPanel>();
            gauges->SetData(&client.GameSide().Data());
            gauges->show();
        }
    } else {
        client.Display.SetWidth(900);
    }
    QCoreApplication::processEvents();
    result.RssStart = StatusKb("VmRSS:");

    Server server;
    server.Start(chunk, total, triggers >= 0 ? QByteArray("\r\nEND OF STREAM\r\n") : QByteArray(), wire);
    QElapsedTimer clock;
    bool started = false;
    QObject::connect(client.Socket, &QTcpSocket::readyRead, [&] {
        ++result.Reads;
        if (!started) {
            started = true;
            clock.start();
        }
    });
    QEventLoop loop;
    QObject::connect(client.Socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    client.ConnectTo("127.0.0.1", server.Port);
    loop.exec();
    result.Seconds = clock.nsecsElapsed() / 1e9;
    if (server.Thread.joinable())
        server.Thread.join();
    if (view) {
        view->FlushFrame();
        result.Paints = view->PaintCount();
    }
    result.Rows = client.Display.RowCount();
    if (GmcpVitals)
        result.GaugeRefreshes = gauges ? gauges->RefreshCount() : 0;
    result.MarkerAnswered = server.Reply.contains("done");
    result.RssEnd = StatusKb("VmRSS:");
    return result;
}

// What switching a class off and on again costs on the window's thread with @p count triggers in ten
// classes: /OFF, a line through the triggers, /ON, a line. Printed as the median and the worst of the pairs.
void ClassSwitchFigures(int count)
{
    wren::TGlobals globals;
    wren::TClient client(globals);
    const QList<QByteArray> patterns = TriggerPatterns(count);
    for (qsizetype i = 0; i < patterns.size(); ++i)
        client.Automation.AddTrigger(patterns[i], "say never", "Class" + QByteArray::number(i % 10), 1);
    QElapsedTimer clock;
    clock.start();
    client.MatchTriggers("the first line after opening", 1);
    const double firstLine = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    client.Incoming().PrepareTriggers(60000);
    std::vector<double> pairs;
    for (int k = 0; k < 40; ++k) {
        const QByteArray name = "Class" + QByteArray::number(k % 10);
        clock.restart();
        client.ProcessCommand("/OFF " + name);
        client.MatchTriggers("You hit the orc with a rusty sword.", 1);
        client.ProcessCommand("/ON " + name);
        client.MatchTriggers("The orc misses you.", 1);
        pairs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(pairs.begin(), pairs.end());
    std::printf("class switch    %d triggers in 10 classes: /OFF + line + /ON + line %.2f ms median, %.2f ms worst; "
                "first line after opening %.2f ms\n",
                count, pairs[pairs.size() / 2], pairs.back(), firstLine);
}

} // namespace

// --accessible: a screen reader's side of the accessibility events, counted and dropped.
quint64 TextEvents = 0;
quint64 TextEventChars = 0;

void CountTextEvent(QAccessibleEvent *event)
{
    if (event->type() == QAccessible::TextInserted) {
        ++TextEvents;
        TextEventChars += static_cast<quint64>(static_cast<QAccessibleTextInsertEvent *>(event)->textInserted().size());
    } else if (event->type() == QAccessible::TextRemoved) {
        ++TextEvents;
    }
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Streams ANSI-coloured MUD text into a session."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("mb"), QStringLiteral("Megabytes to stream (default 50)."), QStringLiteral("n"),
                      QStringLiteral("50")});
    parser.addOption({QStringLiteral("no-view"), QStringLiteral("No widget: socket to line store only.")});
    parser.addOption({QStringLiteral("max-lines"), QStringLiteral("Line limit (default 750)."), QStringLiteral("n"),
                      QStringLiteral("750")});
    parser.addOption({QStringLiteral("triggers"), QStringLiteral("Execute triggers that never match, plus one that answers the end marker."),
                      QStringLiteral("n"), QStringLiteral("-1")});
    parser.addOption({QStringLiteral("pass-only"), QStringLiteral("Only time the execute pass over the stream's lines.")});
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Streams to run, each in a new session (default 1); the median is shown."),
                      QStringLiteral("n"), QStringLiteral("1")});
    parser.addOption({QStringLiteral("compressed"), QStringLiteral("Also stream the same text compressed (MCCP2) and show both figures.")});
    parser.addOption({QStringLiteral("realistic"), QStringLiteral("Triggers as players write them, with the stream's common words in them.")});
    parser.addOption({QStringLiteral("literal-scan"), QStringLiteral("Find trigger candidates with a literal search per pattern, not the pattern database.")});
    parser.addOption({QStringLiteral("class-switch"), QStringLiteral("Time switching a class of the triggers off and on (with --triggers, default 1000).")});
    parser.addOption({QStringLiteral("gmcp"), QStringLiteral("A GMCP Char.Vitals after every prompt, with the gauges shown.")});
    parser.addOption({QStringLiteral("accessible"), QStringLiteral("As with a screen reader: accessibility on (needs X and the AT-SPI bus; see bench/run.sh) and its events handled.")});
    parser.process(app);
    const bool accessible = parser.isSet(QStringLiteral("accessible"));
    if (accessible) {
        QAccessible::installUpdateHandler(CountTextEvent);
        QElapsedTimer waited;
        waited.start();
        while (!QAccessible::isActive() && waited.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (!QAccessible::isActive()) {
            std::fprintf(stderr, "accessibility could not be turned on: run under X with the AT-SPI bus "
                                 "(tests/access/run_on_display.sh)\n");
            return 1;
        }
    }
    Realistic = parser.isSet(QStringLiteral("realistic"));
    GmcpVitals = parser.isSet(QStringLiteral("gmcp"));
    LiteralScan = parser.isSet(QStringLiteral("literal-scan"));
    const int triggers = parser.value(QStringLiteral("triggers")).toInt();
    const int runs = std::clamp(parser.value(QStringLiteral("runs")).toInt(), 1, 100);
    const int maxLines = parser.value(QStringLiteral("max-lines")).toInt();
    const bool showView = !parser.isSet(QStringLiteral("no-view"));

    QTemporaryDir folder;
    wren::SetProgramFolder(folder.path());
    const qint64 total = static_cast<qint64>(parser.value(QStringLiteral("mb")).toDouble() * 1e6);
    qsizetype chunkLines = 0;
    QByteArray chunk = MudText(4 * 1000 * 1000, &chunkLines);
    if (parser.isSet(QStringLiteral("class-switch"))) {
        ClassSwitchFigures(triggers > 0 ? triggers : 1000);
        return 0;
    }
    if (parser.isSet(QStringLiteral("pass-only"))) {
        std::printf("execute pass, %d triggers: %.0f lines/s\n", triggers,
                    ExecutePassLinesPerSecond(chunk.left(400000), std::max(triggers, 0)));
        return 0;
    }
    const double linesPerByte = static_cast<double>(chunkLines) / static_cast<double>(chunk.size());
    const double mb = static_cast<double>(total) / 1e6;

    std::vector<RunResult> results;
    for (int run = 0; run < runs; ++run) {
        results.push_back(StreamOnce(chunk, total, showView, maxLines, triggers));
        if (runs > 1)
            std::printf("run %-3d         %.1f MB/s\n", run + 1, mb / results.back().Seconds);
    }
    std::vector<double> seconds;
    for (const RunResult &r : results)
        seconds.push_back(r.Seconds);
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    const RunResult &first = results.front();

    std::printf("mode            %s (%s)\n", showView ? "view painting at frame pace" : "socket to line store",
                qPrintable(QGuiApplication::platformName()));
    std::printf("streamed        %.1f MB in %.3f s%s\n", mb, median, runs > 1 ? " (median)" : "");
    std::printf("throughput      %.1f MB/s%s\n", mb / median, runs > 1 ? " (median)" : "");
    if (runs > 1)
        std::printf("range           %.1f to %.1f MB/s\n", mb / seconds.back(), mb / seconds.front());
    std::printf("lines           %.0f lines/s\n", static_cast<double>(total) * linesPerByte / median);
    std::printf("rows kept       %lld (limit %d)\n", static_cast<long long>(first.Rows), maxLines);
    if (triggers >= 0)
        std::printf("triggers        %d never matching + 1 marker; the marker's answer %s\n", triggers,
                    std::all_of(results.begin(), results.end(), [](const RunResult &r) { return r.MarkerAnswered; })
                        ? "arrived"
                        : "did NOT arrive");
    if (accessible)
        std::printf("accessibility   on: %llu text events, %.1f MB of text announced\n",
                    static_cast<unsigned long long>(TextEvents), static_cast<double>(TextEventChars) / 1e6);
    std::printf("reads           %llu, %.1f KB each\n", static_cast<unsigned long long>(first.Reads),
                static_cast<double>(total) / 1024.0 / static_cast<double>(std::max<quint64>(first.Reads, 1)));
    std::printf("paints          %llu\n", static_cast<unsigned long long>(first.Paints));
    if (GmcpVitals)
        std::printf("game data       Char.Vitals after every prompt; %d gauge refreshes, game data %s\n",
                    first.GaugeRefreshes, first.GaugeRefreshes > 0 ? "shown" : "NOT shown");
    std::printf("RSS start       %.1f MB\n", first.RssStart / 1024.0);
    std::printf("RSS end         %.1f MB\n", first.RssEnd / 1024.0);
    std::printf("RSS peak        %.1f MB (%.1f MB above start)\n", StatusKb("VmHWM:") / 1024.0,
                (StatusKb("VmHWM:") - first.RssStart) / 1024.0);
    if (parser.isSet(QStringLiteral("compressed"))) {
        const QByteArray wire = CompressedWire(chunk, total, triggers >= 0 ? QByteArray("\r\nEND OF STREAM\r\n") : QByteArray());
        std::vector<double> packed;
        bool answered = true;
        for (int run = 0; run < runs; ++run) {
            const RunResult r = StreamOnce(chunk, total, showView, maxLines, triggers, wire);
            packed.push_back(r.Seconds);
            answered = answered && (triggers < 0 || r.MarkerAnswered);
        }
        std::sort(packed.begin(), packed.end());
        const double packedMedian = packed[packed.size() / 2];
        std::printf("compressed      %.1f MB/s of text beside %.1f MB/s plain%s (%.1f MB on the wire, %.1f:1)%s\n",
                    mb / packedMedian, mb / median, runs > 1 ? ", medians" : "", static_cast<double>(wire.size()) / 1e6,
                    static_cast<double>(total) / static_cast<double>(wire.size()),
                    answered ? "" : "; the marker's answer did NOT arrive");
    }
    return 0;
}
