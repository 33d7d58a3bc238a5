// SPDX-License-Identifier: GPL-3.0-or-later
// A one-connection loopback world that a test scripts by hand.
#pragma once

#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

namespace wren::test {

class ScriptedWorld
{
public:
    ScriptedWorld()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            Peer = m_server.nextPendingConnection();
            QObject::connect(Peer, &QTcpSocket::readyRead, [this] { Received += Peer->readAll(); });
        });
    }
    quint16 Port() const { return m_server.serverPort(); }
    void Close() { m_server.close(); }
    QTcpSocket *Peer = nullptr;
    QByteArray Received;

private:
    QTcpServer m_server;
};

} // namespace wren::test
