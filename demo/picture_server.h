// SPDX-License-Identifier: GPL-3.0-or-later
// The demo world's web server: one picture over HTTP, on a thread of its own so that a client that fetches
// it synchronously in the same process is answered.
#pragma once

#include <QByteArray>

#include <atomic>
#include <thread>

namespace wren::demo {

class PictureServer
{
public:
    PictureServer();
    ~PictureServer();
    PictureServer(const PictureServer &) = delete;
    PictureServer &operator=(const PictureServer &) = delete;

    /// Listens on 127.0.0.1 at @p port (0 picks a free one); false when it cannot.
    bool Start(quint16 port);
    void Stop();
    quint16 Port() const { return m_port; }

    /// The picture served at "/demo-map.bmp": a map of the demo world's rooms, drawn here.
    static QByteArray MapPicture();
    /// The sound served at "/demo-chime.wav": a short chime, synthesised here.
    static QByteArray Chime();

private:
    void Run();

    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop {false};
    std::thread m_thread;
};

} // namespace wren::demo
