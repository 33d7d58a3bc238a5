// SPDX-License-Identifier: GPL-3.0-or-later
// The demo world's web server: one picture over HTTP, on a thread of its own so that a client that fetches
// it synchronously in the same process is answered.
#include "demo/picture_server.h"

#include <QtEndian>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace wren::demo {

PictureServer::PictureServer() = default;

PictureServer::~PictureServer()
{
    Stop();
}

bool PictureServer::Start(quint16 port)
{
    Stop();
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_listener < 0)
        return false;
    int yes = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(m_listener, 8) != 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ::close(m_listener);
        m_listener = -1;
        return false;
    }
    m_port = ntohs(address.sin_port);
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void PictureServer::Stop()
{
    if (m_thread.joinable()) {
        m_stop = true;
        m_thread.join();
    }
    if (m_listener >= 0)
        ::close(m_listener);
    m_listener = -1;
    m_port = 0;
}

void PictureServer::Run()
{
    const QByteArray picture = MapPicture();
    const QByteArray chime = Chime();
    while (!m_stop) {
        pollfd wait {m_listener, POLLIN, 0};
        if (::poll(&wait, 1, 50) <= 0)
            continue;
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0)
            continue;
        // Read the request head (a second at most), then answer and close.
        QByteArray request;
        char buffer[2048];
        for (int waited = 0; waited < 20 && !request.contains("\r\n\r\n") && request.size() < 16384; ++waited) {
            pollfd readable {client, POLLIN, 0};
            if (::poll(&readable, 1, 50) <= 0)
                continue;
            const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0)
                break;
            request.append(buffer, got);
        }
        const bool map = request.startsWith("GET /demo-map.bmp ");
        const bool sound = request.startsWith("GET /demo-chime.wav ");
        const bool found = map || sound;
        const QByteArray body = map ? picture : sound ? chime : QByteArray("No such page.\r\n");
        const QByteArray reply = (found ? QByteArray("HTTP/1.0 200 OK\r\n")
                                        : QByteArray("HTTP/1.0 404 Not Found\r\nContent-Type: text/plain\r\n"))
            + "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
        ::send(client, reply.constData(), static_cast<size_t>(reply.size()), MSG_NOSIGNAL);
        ::close(client);
    }
}

QByteArray PictureServer::Chime()
{
    constexpr int rate = 11025;
    constexpr int samples = rate / 3;
    QByteArray pcm(samples * 2, '\0');
    for (int i = 0; i < samples; ++i) {
        // A square-ish wave falling in loudness: no floating point library needed.
        const int period = i < samples / 2 ? 14 : 10;
        const int loud = 9000 * (samples - i) / samples;
        qToLittleEndian<qint16>(static_cast<qint16>((i % period) < period / 2 ? loud : -loud), pcm.data() + 2 * i);
    }
    QByteArray wav("RIFF");
    const auto put32 = [&wav](quint32 v) {
        char b[4];
        qToLittleEndian<quint32>(v, b);
        wav.append(b, 4);
    };
    const auto put16 = [&wav](quint16 v) {
        char b[2];
        qToLittleEndian<quint16>(v, b);
        wav.append(b, 2);
    };
    put32(static_cast<quint32>(36 + pcm.size()));
    wav.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(1);
    put32(rate);
    put32(rate * 2);
    put16(2);
    put16(16);
    wav.append("data");
    put32(static_cast<quint32>(pcm.size()));
    return wav + pcm;
}

QByteArray PictureServer::MapPicture()
{
    // A 24-bit bitmap, bottom row first, rows padded to four bytes: five rooms on a dark field.
    constexpr int width = 96, height = 64;
    constexpr int rowBytes = (width * 3 + 3) / 4 * 4;
    QByteArray pixels(rowBytes * height, '\0');
    const auto set = [&](int x, int y, int r, int g, int b) {
        char *p = pixels.data() + (height - 1 - y) * rowBytes + x * 3;
        p[0] = static_cast<char>(b);
        p[1] = static_cast<char>(g);
        p[2] = static_cast<char>(r);
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            set(x, y, 10, 14, 40);
    }
    struct Box {
        int X, Y, R, G, B;
    } rooms[] = {{40, 6, 200, 170, 60}, {40, 26, 90, 170, 90}, {40, 46, 90, 120, 200}, {14, 26, 170, 90, 90},
                 {66, 26, 150, 90, 170}};
    for (int x = 48; x < 50; ++x) {
        for (int y = 14; y < 48; ++y)
            set(x, y, 120, 120, 120);
    }
    for (int y = 33; y < 35; ++y) {
        for (int x = 22; x < 74; ++x)
            set(x, y, 120, 120, 120);
    }
    for (const Box &room : rooms) {
        for (int y = room.Y; y < room.Y + 16; ++y) {
            for (int x = room.X; x < room.X + 16; ++x)
                set(x, y, room.R, room.G, room.B);
        }
    }
    QByteArray file("BM");
    const auto put32 = [&file](quint32 v) {
        char b[4];
        qToLittleEndian<quint32>(v, b);
        file.append(b, 4);
    };
    const auto put16 = [&file](quint16 v) {
        char b[2];
        qToLittleEndian<quint16>(v, b);
        file.append(b, 2);
    };
    put32(static_cast<quint32>(54 + pixels.size()));
    put32(0);
    put32(54);
    put32(40);
    put32(width);
    put32(height);
    put16(1);
    put16(24);
    put32(0);
    put32(static_cast<quint32>(pixels.size()));
    put32(2835);
    put32(2835);
    put32(0);
    put32(0);
    return file + pixels;
}

} // namespace wren::demo
