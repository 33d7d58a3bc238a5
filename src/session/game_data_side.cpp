// SPDX-License-Identifier: GPL-3.0-or-later
// The session's side of game data: messages read, stored, logged and answered; events run.
#include "session/game_data_side.h"

#include "gamedata/gauge_mapping.h"
#include "gamedata/gmcp.h"
#include "gamedata/msdp.h"
#include "gamedata/mssp.h"

namespace wren {

namespace {
bool IsRoomVariable(QByteArrayView name)
{
    return name.startsWith("ROOM") || name.startsWith("room");
}
} // namespace

GameDataSide::GameDataSide(GameDataHost &host, QByteArray version)
    : m_host(host)
    , m_version(std::move(version))
{
}

void GameDataSide::Start(const GameDataSettings &settings)
{
    m_settings = settings;
    m_reported = false;
    m_data.Clear();
}

void GameDataSide::Receive(const TelnetFilter::Output &out)
{
    for (const TelnetFilter::Negotiation &negotiation : out.Negotiations)
        LogNegotiation(negotiation);
    for (const unsigned char option : out.GameDataStarted)
        Greet(option);
    for (const TelnetFilter::GameMessage &message : out.GameMessages) {
        if (m_host.Closing())
            return;
        switch (message.Option) {
        case TelnetFilter::Gmcp: Gmcp(message); break;
        case TelnetFilter::Msdp: Msdp(message); break;
        case TelnetFilter::Mssp: Mssp(message); break;
        default: break;
        }
    }
}

void GameDataSide::LogNegotiation(const TelnetFilter::Negotiation &negotiation)
{
    const auto dir = negotiation.Sent ? ProtocolLog::Direction::Out : ProtocolLog::Direction::In;
    constexpr unsigned char SB = 250;
    if (negotiation.Verb == SB)
        m_log.AddSubnegotiation(dir, negotiation.Option, negotiation.Payload);
    else
        m_log.AddNegotiation(dir, negotiation.Verb, negotiation.Option);
}

// The server agreed to an option: GMCP is greeted with the client's name and the modules it wants (some
// servers send nothing until then); MSDP is asked what it can report.
void GameDataSide::Greet(unsigned char option)
{
    if (option == TelnetFilter::Gmcp) {
        SendGmcp(gmcp::CoreHello(m_version));
        SendGmcp(gmcp::CoreSupportsSet(m_settings.GmcpModules));
    } else if (option == TelnetFilter::Msdp) {
        m_reported = false;
        SendMsdp(msdp::ListRequest());
    }
}

bool GameDataSide::SendGmcp(QByteArrayView payload)
{
    if (!GmcpAgreed())
        return false;
    m_log.AddGmcp(ProtocolLog::Direction::Out, payload);
    Send(TelnetFilter::Gmcp, payload);
    return true;
}

void GameDataSide::GmcpCommand(const QByteArray &arguments)
{
    const gmcp::Command command = gmcp::FromCommandText(arguments);
    if (!command.Error.isEmpty())
        m_host.Report("GMCP: " + command.Error);
    else if (!SendGmcp(command.Payload))
        m_host.Report("GMCP is not on with this world, so nothing was sent.");
}

bool GameDataSide::SendMsdp(QByteArrayView payload)
{
    if (!MsdpAgreed())
        return false;
    m_log.AddMsdp(ProtocolLog::Direction::Out, payload);
    Send(TelnetFilter::Msdp, payload);
    return true;
}

void GameDataSide::Send(unsigned char option, QByteArrayView payload)
{
    m_host.SendRaw(TelnetFilter::SubnegotiationMessage(option, payload));
}

void GameDataSide::Gmcp(const TelnetFilter::GameMessage &message)
{
    // A message cut by the telnet layer holds one byte more than the largest allowed, so it is refused here
    // with its package name read.
    const gmcp::Message parsed = gmcp::Parse(message.Payload);
    QByteArray error = parsed.Error;
    if (message.Cut && error.isEmpty())
        error = "longer than " + QByteArray::number(gmcp::MaxPayload) + " bytes; dropped";
    m_log.AddGmcp(ProtocolLog::Direction::In, message.Payload.left(ProtocolLog::MaxEntryText), error);
    if (parsed.Package.isEmpty())
        return;
    if (parsed.Ok() && !message.Cut && !parsed.Data.isUndefined()) {
        m_data.ApplyGmcp(parsed.Package, parsed.Data);
        if (m_room && parsed.Package.compare("Room.Info", Qt::CaseInsensitive) == 0)
            m_room->RoomInfo(parsed.Data);
    }
    m_host.RunGameDataEvent("On GMCP " + parsed.Package);
}

void GameDataSide::Msdp(const TelnetFilter::GameMessage &message)
{
    if (message.Cut) {
        m_log.Add(ProtocolLog::Direction::In, ProtocolLog::Kind::Msdp, message.Payload.left(64),
                  "longer than " + QByteArray::number(msdp::MaxPayload) + " bytes; dropped");
        return;
    }
    m_log.AddMsdp(ProtocolLog::Direction::In, message.Payload);
    const msdp::Result result = msdp::Parse(message.Payload);
    bool room = false;
    QList<QByteArray> reported;
    for (const msdp::Variable &variable : result.Variables) {
        if (variable.Name == "REPORTABLE_VARIABLES" && !m_reported) {
            m_reported = true;
            const QList<QByteArray> wanted
                = MsdpReportVariables(m_settings.Gauges, m_settings.MsdpReports, msdp::Names(variable.Data));
            if (!wanted.isEmpty())
                SendMsdp(msdp::ReportRequest(wanted));
        }
        m_data.ApplyMsdp(variable.Name, variable.Data);
        reported.append(variable.Name);
        room = room || IsRoomVariable(variable.Name);
    }
    if (room && m_room)
        m_room->RoomVariables(m_data);
    for (const QByteArray &name : reported) {
        if (m_host.Closing())
            return;
        m_host.RunGameDataEvent("On MSDP " + name);
    }
}

void GameDataSide::Mssp(const TelnetFilter::GameMessage &message)
{
    m_log.AddMssp(ProtocolLog::Direction::In, message.Payload);
    const mssp::Result result = mssp::Parse(message.Payload);
    for (const mssp::Field &field : result.Fields)
        m_data.ApplyMssp(field.first, field.second);
}

} // namespace wren
