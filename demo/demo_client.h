// SPDX-License-Identifier: GPL-3.0-or-later
// One connection to the demo world: its telnet state, the player, and what the game data protocols agreed.
#pragma once

#include "demo/demo_rooms.h"
#include "demo/demo_world.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <memory>
#include <zlib.h>

class QTcpSocket;

namespace wren::demo
{

/// Compresses what the world sends once the client agreed to MCCP2.
class Deflater
{
public:
    Deflater()
    {
        m_stream.zalloc = Z_NULL;
        m_stream.zfree = Z_NULL;
        m_stream.opaque = Z_NULL;
        m_ok = deflateInit(&m_stream, Z_DEFAULT_COMPRESSION) == Z_OK;
    }
    ~Deflater()
    {
        if (m_ok)
            deflateEnd(&m_stream);
    }
    Deflater(const Deflater &) = delete;
    Deflater &operator=(const Deflater &) = delete;

    bool ok() const { return m_ok; }

    /// The bytes of @p data compressed and flushed, so the client can show them at once.
    QByteArray compress(const QByteArray &data)
    {
        QByteArray out;
        m_stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
        m_stream.avail_in = static_cast<uInt>(data.size());
        char buffer[16384];
        do {
            m_stream.next_out = reinterpret_cast<Bytef *>(buffer);
            m_stream.avail_out = sizeof(buffer);
            deflate(&m_stream, Z_SYNC_FLUSH);
            out.append(buffer, static_cast<qsizetype>(sizeof(buffer) - m_stream.avail_out));
        } while (m_stream.avail_out == 0);
        return out;
    }

private:
    z_stream m_stream {};
    bool m_ok = false;
};

struct DemoWorld::Client {
    enum class Telnet { Data, Iac, Option, Sub, SubIac };

    Client(QTcpSocket *socket, bool secure)
        : Socket(socket)
        , Secure(secure)
    {
    }

    QTcpSocket *Socket;
    bool Secure;
    Telnet TelnetState = Telnet::Data;
    unsigned char Verb = 0;
    QByteArray Sub;
    /// Set once the client agreed to compression: everything sent after IAC SB 86 IAC SE goes through it.
    std::unique_ptr<Deflater> Compressor;
    /// What the client reported: its window in characters, its terminal types, the character set agreed.
    int Columns = 0;
    int Rows = 0;
    QList<QByteArray> TerminalTypes;
    QByteArray Charset;
    bool CharsetAsked = false;
    bool EchoAgreed = false;
    bool AwaitingPassword = false;
    QByteArray Line;
    bool AfterCr = false;
    /// Lines that came in while a spam was being sent; run when it is done.
    QList<QByteArray> Queued;
    bool LoggedIn = false;
    /// Answered the markup banner: gets tags and pictures.
    bool Zel = false;
    QByteArray Name;
    /// The number of the room the player stands in.
    int Room = StartRoom;
    qint64 SpamTotal = 0;
    qint64 SpamSent = 0;
    /// Said goodbye; the connection closes once the goodbye is out. Input is ignored from then on.
    bool Quitting = false;
    /// The connection is closed; the entry is removed soon.
    bool Gone = false;

    /// The player's vitals: fighting costs health, casting mana, walking movement; resting restores them.
    int Hp = 100;
    int MaxHp = 100;
    int Mp = 50;
    int MaxMp = 50;
    int Mv = 100;
    int MaxMv = 100;
    int FightRounds = 0;

    /// GMCP: the client agreed (DO GMCP); it said hello; it named its modules (Core.Supports.Set), after
    /// which the world sends game data. Module names are kept in lower case, without their versions.
    bool Gmcp = false;
    QByteArray GmcpClient;
    bool GmcpReady = false;
    QList<QByteArray> GmcpModules;
    bool CharNameSent = false;
    /// What GMCP last carried, so only changes go out.
    QByteArray VitalsSent;
    int RoomSent = 0;

    /// MSDP: the client agreed (DO MSDP); the variables it asked to have reported, in order, and what each
    /// was last sent as (a variable is sent whole when first reported, then whenever it changes).
    bool Msdp = false;
    QList<QByteArray> Reported;
    QHash<QByteArray, QByteArray> ReportedSent;

    bool spamming() const { return SpamTotal > 0; }
    bool HasGmcpModule(const char *module) const;
};

} // namespace wren::demo
