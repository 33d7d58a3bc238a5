// SPDX-License-Identifier: GPL-3.0-or-later
// The demo world's game data beside the text: GMCP, MSDP and MSSP for each connection.
#include "demo/demo_client.h"
#include "demo/demo_protocols.h"
#include "demo/demo_world.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <array>

namespace wren::demo
{

namespace
{

/// Most GMCP modules and MSDP reports one client may ask for.
constexpr qsizetype MaxRequests = 64;

QJsonObject Vitals(int hp, int maxHp, int mp, int maxMp, int mv, int maxMv)
{
    return { { QStringLiteral("hp"), hp }, { QStringLiteral("maxhp"), maxHp }, { QStringLiteral("mp"), mp },
        { QStringLiteral("maxmp"), maxMp }, { QStringLiteral("mv"), mv }, { QStringLiteral("maxmv"), maxMv } };
}

/// Room.Info: the room's number, name, area, environment, exits and, where its area has a map, coordinates.
QJsonObject RoomInfo(const Room &room)
{
    const Area &area = Areas[static_cast<size_t>(room.AreaIndex)];
    QJsonObject exits;
    const auto leads = ExitsOf(room);
    for (int direction = 0; direction < DirectionCount; ++direction) {
        if (leads[static_cast<size_t>(direction)] != 0)
            exits.insert(
                QLatin1String(Directions[static_cast<size_t>(direction)].Short), leads[static_cast<size_t>(direction)]);
    }
    QJsonObject info { { QStringLiteral("num"), room.Number }, { QStringLiteral("name"), DecodeText(room.Name) },
        { QStringLiteral("area"), QLatin1String(area.Name) },
        { QStringLiteral("environment"), QLatin1String(room.Environment) }, { QStringLiteral("exits"), exits } };
    if (area.HasCoordinates)
        info.insert(QStringLiteral("coord"),
            QJsonObject { { QStringLiteral("id"), area.Id }, { QStringLiteral("x"), room.X },
                { QStringLiteral("y"), room.Y }, { QStringLiteral("cont"), 0 } });
    return info;
}

/// A module name from Core.Supports ("Char.Vitals 1"): the name alone, in lower case.
QByteArray ModuleName(const QJsonValue &entry)
{
    return entry.toString().section(QLatin1Char(' '), 0, 0).trimmed().toLower().toUtf8().left(64);
}

} // namespace

bool DemoWorld::Client::HasGmcpModule(const char *module) const
{
    // A module covers its sub-modules: "Char" covers "Char.Vitals".
    QByteArray name = QByteArray(module).toLower();
    while (!name.isEmpty()) {
        if (GmcpModules.contains(name))
            return true;
        const qsizetype dot = name.lastIndexOf('.');
        name = dot < 0 ? QByteArray() : name.left(dot);
    }
    return false;
}

void DemoWorld::gameDataOption(Client &client, bool agreed, unsigned char option)
{
    if (option == GmcpOption) {
        client.Gmcp = agreed;
        if (!agreed) {
            client.GmcpReady = false;
            client.GmcpModules.clear();
        }
    } else if (option == MsdpOption) {
        client.Msdp = agreed;
        if (!agreed) {
            client.Reported.clear();
            client.ReportedSent.clear();
        }
    } else if (option == MsspOption && agreed) {
        sendMssp(client);
    }
}

void DemoWorld::handleGmcp(Client &client, const QByteArray &payload)
{
    const GmcpReceived message = ReadGmcp(payload);
    const QByteArray package = message.Package.toLower();
    if (package == "core.hello") {
        const QJsonObject hello = message.Data.toObject();
        client.GmcpClient = (hello.value(QStringLiteral("client")).toString() + QLatin1Char(' ')
            + hello.value(QStringLiteral("version")).toString())
                                .trimmed()
                                .toUtf8()
                                .left(64);
    } else if (package == "core.ping") {
        write(client, GmcpMessage("Core.Ping", QJsonValue::Undefined));
    } else if (package.startsWith("core.supports.")) {
        const QByteArray how = package.mid(14);
        if (how == "set")
            client.GmcpModules.clear();
        for (const auto &entry : message.Data.toArray()) {
            const QByteArray module = ModuleName(entry);
            if (how == "remove")
                client.GmcpModules.removeAll(module);
            else if (!module.isEmpty() && !client.GmcpModules.contains(module)
                && client.GmcpModules.size() < MaxRequests)
                client.GmcpModules.append(module);
        }
        // Some servers wait for the client's modules before sending anything; this one does too. A new list
        // gets the whole state again.
        client.GmcpReady = true;
        client.CharNameSent = false;
        client.VitalsSent.clear();
        client.RoomSent = 0;
        sendGameData(client);
    }
}

void DemoWorld::handleMsdp(Client &client, const QByteArray &payload)
{
    const QList<QByteArray> reportable = reportableVariables();
    for (const MsdpRequest &request : ReadMsdp(payload)) {
        const QByteArray command = request.Command.toUpper();
        for (const QByteArray &value : request.Values) {
            if (command == "LIST" && value == "REPORTABLE_VARIABLES") {
                // As some servers do, the list starts with an empty element.
                write(client, Subnegotiation(MsdpOption, MsdpArray(value, QList<QByteArray> { "" } + reportable)));
            } else if (command == "LIST" && value == "COMMANDS") {
                write(client, Subnegotiation(MsdpOption, MsdpArray(value, { "LIST", "REPORT", "UNREPORT", "SEND" })));
            } else if (command == "LIST" && value == "REPORTED_VARIABLES") {
                write(client, Subnegotiation(MsdpOption, MsdpArray(value, client.Reported)));
            } else if (command == "REPORT" && reportable.contains(value) && !client.Reported.contains(value)
                && client.Reported.size() < MaxRequests) {
                client.Reported.append(value);
            } else if (command == "UNREPORT") {
                client.Reported.removeAll(value);
                client.ReportedSent.remove(value);
            } else if (command == "SEND" && reportable.contains(value)) {
                write(client, Subnegotiation(MsdpOption, msdpVariable(client, value)));
            }
        }
    }
    sendGameData(client); // what was just reported goes out whole
}

void DemoWorld::sendMssp(Client &client)
{
    QList<QByteArray> ports { QByteArray::number(port()) };
    if (securePort() != 0)
        ports.append(QByteArray::number(securePort()));
    const auto players = std::count_if(clients_.begin(), clients_.end(),
        [](const std::unique_ptr<Client> &other) { return other->LoggedIn && !other->Gone; });
    write(client,
        MsspMessage({
            { "NAME", { "Wren Demo World" } },
            { "PLAYERS", { QByteArray::number(static_cast<qlonglong>(players)) } },
            { "UPTIME", { QByteArray::number(startedAt_) } },
            { "CODEBASE", { "Wren Demo World" } },
            { "HOSTNAME", { "127.0.0.1" } },
            { "PORT", ports },
            { "LANGUAGE", { "English" } },
            { "GENRE", { "Fantasy" } },
            { "GAMEPLAY", { "Adventure", "Social" } },
            { "AREAS", { QByteArray::number(static_cast<qlonglong>(Areas.size())) } },
            { "ROOMS", { QByteArray::number(static_cast<qlonglong>(Rooms().size())) } },
            { "ANSI", { "1" } },
            { "XTERM 256 COLORS", { "1" } },
            { "XTERM TRUE COLORS", { "1" } },
            { "UTF-8", { "1" } },
            { "MCCP", { "1" } },
            { "GMCP", { "1" } },
            { "MSDP", { "1" } },
            { "MSSP", { "1" } },
            { "CRAWL DELAY", { "-1" } },
        }));
}

void DemoWorld::sendGameData(Client &client)
{
    if (client.Gone)
        return;
    if (client.LoggedIn && client.Gmcp && client.GmcpReady) {
        if (!client.CharNameSent && client.HasGmcpModule("Char")) {
            client.CharNameSent = true;
            const QString name = DecodeText(client.Name);
            write(client,
                GmcpMessage("Char.Name",
                    QJsonObject { { QStringLiteral("name"), name },
                        { QStringLiteral("fullname"), name + QStringLiteral(" the Adventurer") } }));
        }
        const QByteArray vitals = GmcpMessage(
            "Char.Vitals", Vitals(client.Hp, client.MaxHp, client.Mp, client.MaxMp, client.Mv, client.MaxMv));
        if (client.HasGmcpModule("Char.Vitals") && vitals != client.VitalsSent) {
            client.VitalsSent = vitals;
            write(client, vitals);
        }
        const Room *room = FindRoom(client.Room);
        if (room && client.HasGmcpModule("Room.Info") && client.Room != client.RoomSent) {
            client.RoomSent = client.Room;
            write(client, GmcpMessage("Room.Info", RoomInfo(*room)));
        }
    }
    if (!client.Msdp || client.Reported.isEmpty())
        return;
    QByteArray changed;
    for (const QByteArray &name : client.Reported) {
        const QByteArray variable = msdpVariable(client, name);
        if (variable != client.ReportedSent.value(name)) {
            client.ReportedSent.insert(name, variable);
            changed += variable;
        }
    }
    if (!changed.isEmpty())
        write(client, Subnegotiation(MsdpOption, changed));
}

void DemoWorld::sendChannelText(Client &client, const char *channel, const QByteArray &talker, const QByteArray &text)
{
    if (!client.Gmcp || !client.GmcpReady || !client.HasGmcpModule("Comm.Channel"))
        return;
    write(client,
        GmcpMessage("Comm.Channel.Text",
            QJsonObject { { QStringLiteral("channel"), QLatin1String(channel) },
                { QStringLiteral("talker"), DecodeText(talker) }, { QStringLiteral("text"), DecodeText(text) } }));
}

namespace
{

using Client = DemoWorld::Client;
using Reader = MsdpValue (*)(const Client &);

MsdpValue Number(int value)
{
    return { QByteArray::number(value), {}, false };
}

MsdpValue Text(const char *text)
{
    return { DecodeText(text).toUtf8(), {}, false };
}

const Room &RoomOf(const Client &client)
{
    const Room *room = FindRoom(client.Room);
    return room ? *room : *FindRoom(StartRoom);
}

MsdpValue Exits(const Client &client)
{
    MsdpValue value;
    value.IsTable = true;
    const auto leads = ExitsOf(RoomOf(client));
    for (int direction = 0; direction < DirectionCount; ++direction) {
        if (leads[static_cast<size_t>(direction)] != 0)
            value.Table.append({ Directions[static_cast<size_t>(direction)].Short,
                QByteArray::number(leads[static_cast<size_t>(direction)]) });
    }
    return value;
}

/// The variables MSDP can report, each with how it is read from the player.
const std::array<std::pair<const char *, Reader>, 12> MsdpVariables = { {
    { "CHARACTER_NAME",
        [](const Client &c) {
            return MsdpValue { DecodeText(c.Name).toUtf8(), {}, false };
        } },
    { "HEALTH", [](const Client &c) { return Number(c.Hp); } },
    { "HEALTH_MAX", [](const Client &c) { return Number(c.MaxHp); } },
    { "MANA", [](const Client &c) { return Number(c.Mp); } },
    { "MANA_MAX", [](const Client &c) { return Number(c.MaxMp); } },
    { "MOVEMENT", [](const Client &c) { return Number(c.Mv); } },
    { "MOVEMENT_MAX", [](const Client &c) { return Number(c.MaxMv); } },
    { "ROOM_AREA", [](const Client &c) { return Text(Areas[static_cast<size_t>(RoomOf(c).AreaIndex)].Name); } },
    { "ROOM_EXITS", &Exits },
    { "ROOM_NAME", [](const Client &c) { return Text(RoomOf(c).Name); } },
    { "ROOM_VNUM", [](const Client &c) { return Number(RoomOf(c).Number); } },
    { "SERVER_ID", [](const Client &) { return Text("Wren Demo World"); } },
} };

} // namespace

QList<QByteArray> DemoWorld::reportableVariables() const
{
    QList<QByteArray> names;
    for (const auto &variable : MsdpVariables)
        names.append(variable.first);
    return names;
}

QByteArray DemoWorld::msdpVariable(const Client &client, const QByteArray &name) const
{
    for (const auto &[variable, read] : MsdpVariables) {
        if (name == variable)
            return MsdpVariable(name, read(client));
    }
    return {};
}

} // namespace wren::demo
