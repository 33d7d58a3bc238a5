// SPDX-License-Identifier: GPL-3.0-or-later
// A loopback HTTP server on its own thread, for the client's blocking requests: canned answers by path.
#include "support/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace wren::test {

HttpServer::HttpServer()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::listen(m_listener, 16);
    socklen_t length = sizeof address;
    ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Run(); });
}

HttpServer::~HttpServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
}

void HttpServer::Serve(const QByteArray &path, Answer answer)
{
    const std::lock_guard lock(m_mutex);
    m_answers[path] = std::move(answer);
}

QList<HttpServer::Request> HttpServer::Requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

void HttpServer::Run()
{
    while (!m_stop) {
        pollfd wait {m_listener, POLLIN, 0};
        if (::poll(&wait, 1, 50) <= 0)
            continue;
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client >= 0) {
            Handle(client);
            ::close(client);
        }
    }
}

void HttpServer::Handle(int client)
{
    QByteArray data;
    char buffer[4096];
    qsizetype headerEnd = -1;
    qsizetype contentLength = 0;
    // Read the head, then as much body as it announces.
    while (!m_stop) {
        pollfd wait {client, POLLIN, 0};
        if (::poll(&wait, 1, 50) <= 0)
            continue;
        const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        data.append(buffer, got);
        if (headerEnd < 0 && (headerEnd = data.indexOf("\r\n\r\n")) >= 0) {
            for (const QByteArray &line : data.left(headerEnd).split('\n')) {
                if (line.toLower().startsWith("content-length:"))
                    contentLength = line.mid(15).trimmed().toLongLong();
            }
        }
        if (headerEnd >= 0 && data.size() >= headerEnd + 4 + contentLength)
            break;
    }
    if (headerEnd < 0)
        return;
    Request request;
    const QList<QByteArray> lines = data.left(headerEnd).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.Method = first.value(0);
    request.Path = first.value(1);
    request.Version = first.value(2);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.Headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
    }
    request.Body = data.mid(headerEnd + 4, contentLength);
    Answer answer {404, "not here"};
    {
        const std::lock_guard lock(m_mutex);
        m_requests.append(request);
        const QByteArray path = request.Path.left(request.Path.indexOf('?') < 0 ? request.Path.size()
                                                                               : request.Path.indexOf('?'));
        answer = m_answers.value(path, answer);
    }
    if (answer.Hang) {
        while (!m_stop)
            ::usleep(20000);
        return;
    }
    for (int waited = 0; waited < answer.DelayMs && !m_stop; waited += 10)
        ::usleep(10000);
    const QByteArray reply = "HTTP/1.0 " + QByteArray::number(answer.Status) + " X\r\nContent-Length: "
        + QByteArray::number(answer.Body.size()) + "\r\nConnection: close\r\n\r\n" + answer.Body;
    ::send(client, reply.constData(), static_cast<size_t>(reply.size()), MSG_NOSIGNAL);
}

} // namespace wren::test
