// SPDX-License-Identifier: GPL-3.0-or-later
// Streams coloured MUD text through a loopback socket into a session and prints throughput and memory.
#include "config/program_folder.h"
#include "session/client.h"
#include "ui/session_view.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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
        if (*lines % 25 == 0)
            out += "<100hp 50mp> \xff\xf9";
    }
    return out;
}

struct Server {
    int ListenFd = -1;
    quint16 Port = 0;
    std::thread Thread;

    void Start(const QByteArray &chunk, qint64 total)
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
        Thread = std::thread([this, chunk, total] {
            const int fd = accept(ListenFd, nullptr, nullptr);
            qint64 sent = 0;
            while (sent < total) {
                const qint64 n = write(fd, chunk.constData(), static_cast<size_t>(std::min<qint64>(chunk.size(), total - sent)));
                if (n <= 0)
                    break;
                sent += n;
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

} // namespace

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
    parser.process(app);

    QTemporaryDir folder;
    wren::SetProgramFolder(folder.path());
    const qint64 total = static_cast<qint64>(parser.value(QStringLiteral("mb")).toDouble() * 1e6);
    qsizetype chunkLines = 0;
    const QByteArray chunk = MudText(4 * 1000 * 1000, &chunkLines);
    const double linesPerByte = static_cast<double>(chunkLines) / static_cast<double>(chunk.size());

    wren::TGlobals globals;
    wren::TClient client(globals);
    client.Options.MaxLines = parser.value(QStringLiteral("max-lines")).toInt();
    std::unique_ptr<wren::SessionView> view;
    if (!parser.isSet(QStringLiteral("no-view"))) {
        view = std::make_unique<wren::SessionView>(client);
        view->resize(900, 600);
        view->show();
    } else {
        client.Display.SetWidth(900);
    }
    QCoreApplication::processEvents();
    const long startRss = StatusKb("VmRSS:");

    Server server;
    server.Start(chunk, total);
    QElapsedTimer clock;
    bool started = false;
    QObject::connect(client.Socket, &QTcpSocket::readyRead, [&] {
        if (!started) {
            started = true;
            clock.start();
        }
    });
    QObject::connect(client.Socket, &QTcpSocket::disconnected, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    client.ConnectTo("127.0.0.1", server.Port);
    app.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (view)
        view->FlushFrame();

    const double mb = static_cast<double>(total) / 1e6;
    std::printf("mode            %s (%s)\n", view ? "view painting at frame pace" : "socket to line store",
                qPrintable(QGuiApplication::platformName()));
    std::printf("streamed        %.1f MB in %.3f s\n", mb, seconds);
    std::printf("throughput      %.1f MB/s\n", mb / seconds);
    std::printf("lines           %.0f lines/s\n", static_cast<double>(total) * linesPerByte / seconds);
    std::printf("rows kept       %lld (limit %d)\n", static_cast<long long>(client.Display.RowCount()),
                client.Options.MaxLines);
    std::printf("paints          %llu\n", view ? static_cast<unsigned long long>(view->PaintCount()) : 0ULL);
    std::printf("RSS start       %.1f MB\n", startRss / 1024.0);
    std::printf("RSS end         %.1f MB\n", StatusKb("VmRSS:") / 1024.0);
    std::printf("RSS peak        %.1f MB (%.1f MB above start)\n", StatusKb("VmHWM:") / 1024.0,
                (StatusKb("VmHWM:") - startRss) / 1024.0);
    return 0;
}
