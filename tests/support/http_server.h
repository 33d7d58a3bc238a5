// SPDX-License-Identifier: GPL-3.0-or-later
// A loopback HTTP server on its own thread, for the client's blocking requests: canned answers by path.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>

#include <atomic>
#include <mutex>
#include <thread>

namespace wren::test {

class HttpServer
{
public:
    struct Answer {
        int Status = 200;
        QByteArray Body;
        bool Hang = false; ///< read the request, then say nothing until the server stops
        int DelayMs = 0; ///< wait this long before answering
    };
    struct Request {
        QByteArray Method, Path, Version;
        QMap<QByteArray, QByteArray> Headers; ///< names in lower case
        QByteArray Body;
    };

    HttpServer();
    ~HttpServer();
    quint16 Port() const { return m_port; }
    QByteArray Host() const { return "127.0.0.1:" + QByteArray::number(m_port); }
    QByteArray Url(const QByteArray &path) const { return "http://" + Host() + path; }

    /// The answer for a path (the part before any "?"); other paths get 404.
    void Serve(const QByteArray &path, Answer answer);
    QList<Request> Requests() const;

private:
    void Run();
    void Handle(int client);

    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop {false};
    mutable std::mutex m_mutex;
    QMap<QByteArray, Answer> m_answers;
    QList<Request> m_requests;
    std::thread m_thread;
};

} // namespace wren::test
