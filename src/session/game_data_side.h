// SPDX-License-Identifier: GPL-3.0-or-later
// The session's side of game data: what the telnet layer passes on from GMCP, MSDP and MSSP is read,
// stored, logged and answered, and the events automations wait for are run.
#pragma once

#include "gamedata/game_data.h"
#include "gamedata/game_data_settings.h"
#include "gamedata/protocol_log.h"
#include "session/connection.h"

#include <QByteArray>
#include <QByteArrayView>

namespace wren {

/// What the game data side asks of its session.
class GameDataHost
{
public:
    virtual ~GameDataHost() = default;
    /// Bytes for the server as they are (telnet subnegotiations).
    virtual void SendRaw(QByteArrayView bytes) = 0;
    /// Runs the events named @p name in any case ("On GMCP char.vitals" runs "On GMCP Char.Vitals").
    virtual void RunGameDataEvent(const QByteArray &name) = 0;
    /// The session is going away: nothing more runs.
    virtual bool Closing() const = 0;
    /// A line of the client's own for the player (what a command could not do).
    virtual void Report(const QByteArray &line) = 0;
};

/// Hears a session's room as the world describes it (the map listens here).
class RoomListener
{
public:
    virtual ~RoomListener() = default;
    /// A GMCP Room.Info message (any case) was stored.
    virtual void RoomInfo(const QJsonValue &payload) = 0;
    /// MSDP room variables changed (ROOM, ROOM_VNUM, ...), all of them read afresh from @p data.
    virtual void RoomVariables(const GameData &data) = 0;
};

/// One session's game data. The connection hands it each read's negotiations and messages before the text
/// of the same read, so a trigger on that text already reads the values sent with it.
///
/// When the server agrees to GMCP, the client says hello and names the modules it wants; when it agrees
/// to MSDP, the client asks for the reportable variables and then asks to have the gauges' and room's
/// (and the player's own) reported. Messages are read, stored and logged; after a GMCP message
/// "On GMCP <package>" runs (even when its JSON was malformed: the stored value then stays), after each
/// MSDP variable "On MSDP <name>".
class GameDataSide : public ProtocolSink
{
public:
    /// @p version is what Core.Hello tells the server.
    GameDataSide(GameDataHost &host, QByteArray version);

    /// A new connection with the world's settings: what the last one sent is forgotten.
    void Start(const GameDataSettings &settings);
    /// The settings changed while connected (the gauge mapping, the extra reports).
    void SetSettings(const GameDataSettings &settings) { m_settings = settings; }
    /// One read's negotiations, greetings and messages.
    void Receive(const TelnetFilter::Output &out) override;

    /// Sends a GMCP message (a payload "Package json") when GMCP is agreed; false when it is not.
    bool SendGmcp(QByteArrayView payload);
    /// Sends MSDP bytes (VAR ... VAL ...) when MSDP is agreed; false when it is not.
    bool SendMsdp(QByteArrayView payload);
    /// "/GMCP <package> [json]": sends the message, or says why it cannot.
    void GmcpCommand(const QByteArray &arguments);
    bool GmcpAgreed() const { return Agreed(TelnetFilter::Gmcp); }
    bool MsdpAgreed() const { return Agreed(TelnetFilter::Msdp); }
    /// The world has sent game data on this connection.
    bool Spoke() const { return !m_data.IsEmpty(); }

    void SetRoomListener(RoomListener *listener) { m_room = listener; }
    /// The connection's telnet layer says what is agreed (set when the session is wired).
    void AttachTelnet(const TelnetFilter &telnet) { m_telnet = &telnet; }

    GameData &Data() { return m_data; }
    const GameData &Data() const { return m_data; }
    ProtocolLog &Log() { return m_log; }
    const GameDataSettings &Settings() const { return m_settings; }

private:
    void Greet(unsigned char option);
    void Gmcp(const TelnetFilter::GameMessage &message);
    void Msdp(const TelnetFilter::GameMessage &message);
    void Mssp(const TelnetFilter::GameMessage &message);
    void LogNegotiation(const TelnetFilter::Negotiation &negotiation);
    void Send(unsigned char option, QByteArrayView payload);
    bool Agreed(unsigned char option) const { return m_telnet && m_telnet->RemoteAgreed(option); }

    GameDataHost &m_host;
    QByteArray m_version;
    GameData m_data;
    ProtocolLog m_log;
    GameDataSettings m_settings;
    RoomListener *m_room = nullptr;
    const TelnetFilter *m_telnet = nullptr;
    bool m_reported = false; ///< the REPORT request went out on this connection
};

} // namespace wren
