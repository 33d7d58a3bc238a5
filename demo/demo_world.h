// SPDX-License-Identifier: GPL-3.0-or-later
// The bundled demo world: a small MUD server on a local TCP port for trying out and testing the client.
#pragma once

#include "demo/picture_server.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QSslServer;
class QTcpServer;
class QTcpSocket;

namespace wren::demo {

/// A tiny MUD served over telnet, and over TLS on a second port, one independent session per connection.
///
/// It greets like a TinyMUX server (the usual burst of WILL/DO offers, a coloured banner, a login prompt
/// ended by IAC GA; its banner announces the markup protocol ZEL, and a client that answers it gets styled
/// rooms and a picture served by the world's own little web server). It negotiates what modern clients
/// speak: the window size (NAWS), terminal types (TTYPE/MTTS), UTF-8 (CHARSET), compression (MCCP2) and
/// echo off at its password prompt. It sends game data beside the text: GMCP (Char.Vitals, Char.Name,
/// Room.Info, Comm.Channel.Text, once the client has named its modules with Core.Supports.Set), MSDP
/// (LIST and REPORT; a report sends only what changed) and MSSP (its status on DO MSSP). It lets the player
/// walk a map of three areas (two with map coordinates, one without; one room described in Latin-1, one
/// in UTF-8), fight, rest, cast, talk and chat, list the players and colours (ANSI, 256 and true colour),
/// see what the client reported, and flood the screen with "spam <n>". Everything is event driven, so it
/// can run in the same thread as the client that talks to it.
class DemoWorld : public QObject
{
    Q_OBJECT

public:
    explicit DemoWorld(QObject *parent = nullptr);
    ~DemoWorld() override;

    DemoWorld(const DemoWorld &) = delete;
    DemoWorld &operator=(const DemoWorld &) = delete;

    /// Starts accepting connections; @p port 0 picks a free port (see port()). False when it cannot bind.
    bool listen(const QHostAddress &address, quint16 port);
    /// The port being listened on, 0 when not listening.
    quint16 port() const;
    /// Starts accepting TLS connections (a self-signed certificate); false when it cannot bind or there is
    /// no TLS backend.
    bool listenSecure(const QHostAddress &address, quint16 port);
    /// The TLS port, 0 when not listening.
    quint16 securePort() const;
    /// The port of the web server that serves the world's picture, 0 when not listening.
    quint16 pictureServerPort() const { return pictures_.Port(); }
    /// Why the last listen() failed.
    QString errorString() const;

    /// Stops accepting connections and drops every connected player at once.
    void close();
    /// The number of open connections, logged in or not.
    int clientCount() const;

    /// One connection (demo_client.h).
    struct Client;

private:

    void acceptConnections(QTcpServer *from, bool secure);
    void readFromClient(Client &client);
    /// One received byte through the telnet state machine; true when it is text for the line.
    bool telnetByte(Client &client, unsigned char byte);
    /// One byte of text: CR, LF and CR LF end a line.
    void lineByte(Client &client, char ch);
    void takeLine(Client &client);
    void handleOption(Client &client, unsigned char verb, unsigned char option);
    void handleSubnegotiation(Client &client);
    void handlePassword(Client &client);
    /// Sends @p bytes as they are, compressed once the client agreed to it.
    void write(Client &client, const QByteArray &bytes);
    void handleLine(Client &client, const QByteArray &line);
    void handleLogin(Client &client, const QByteArray &line);
    void handleCommand(Client &client, const QByteArray &line);
    // The commands: each answers whether the prompt follows now.
    bool commandLook(Client &client, const QByteArray &argument);
    bool commandSay(Client &client, const QByteArray &argument);
    bool commandChat(Client &client, const QByteArray &argument);
    bool commandWho(Client &client, const QByteArray &argument);
    bool commandHelp(Client &client, const QByteArray &argument);
    bool commandColours(Client &client, const QByteArray &argument);
    bool commandClient(Client &client, const QByteArray &argument);
    bool commandMap(Client &client, const QByteArray &argument);
    bool commandSpam(Client &client, const QByteArray &argument);
    bool commandFight(Client &client, const QByteArray &argument);
    bool commandCast(Client &client, const QByteArray &argument);
    bool commandRest(Client &client, const QByteArray &argument);
    bool commandQuit(Client &client, const QByteArray &argument);
    void showRoom(Client &client);
    void showMap(Client &client);
    void move(Client &client, int direction);
    void startSpam(Client &client, const QByteArray &argument);
    void feedSpam(Client &client);
    void runQueuedLines(Client &client);
    void sendText(Client &client, const QByteArray &text);
    void sendPrompt(Client &client);

    // Game data beside the text (demo_game_data.cpp).
    /// The client agreed to (DO) or refused (DONT) GMCP, MSDP or MSSP.
    void gameDataOption(Client &client, bool agreed, unsigned char option);
    void handleGmcp(Client &client, const QByteArray &payload);
    void handleMsdp(Client &client, const QByteArray &payload);
    void sendMssp(Client &client);
    /// What changed since it was last sent: GMCP Char.Vitals and Room.Info, reported MSDP variables.
    void sendGameData(Client &client);
    void sendChannelText(Client &client, const char *channel, const QByteArray &talker, const QByteArray &text);
    /// The variables the world reports over MSDP, and one of them framed as MSDP (empty when there is no such
    /// variable).
    QList<QByteArray> reportableVariables() const;
    QByteArray msdpVariable(const Client &client, const QByteArray &name) const;
    void quit(Client &client);
    void clientGone(QTcpSocket *socket);
    void purgeGoneClients();
    Client *findClient(QTcpSocket *socket) const;

    QTcpServer *server_;
    QSslServer *secureServer_;
    PictureServer pictures_;
    std::vector<std::unique_ptr<Client>> clients_;
    bool purgeQueued_ = false;
    /// When the world started, for MSSP's UPTIME (seconds since the epoch).
    qint64 startedAt_ = 0;
};

} // namespace wren::demo
