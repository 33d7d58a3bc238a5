// SPDX-License-Identifier: GPL-3.0-or-later
// The session's side of the map: arrivals, the map file, and the walk, where and map commands.
#include "session/map_side.h"

#include "base/text_helpers.h"
#include "config/app_settings.h"
#include "config/program_folder.h"
#include "mapper/map_model.h"
#include "mapper/map_store.h"
#include "mapper/room_info.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>

namespace wren {

MapSide::MapSide(MapSideHost &host, QObject *parent)
    : QObject(parent)
    , m_host(host)
{
}

MapSide::~MapSide()
{
    Close();
}

void MapSide::Open(const QByteArray &host, const QByteArray &port)
{
    Close();
    if (!MapEnabled(AppSettings(), host, port))
        return;
    m_model = std::make_unique<MapModel>();
    m_store = std::make_unique<MapStore>(*m_model);
    connect(m_store.get(), &MapStore::WriteFailed, this,
            [this](const QString &failure) { m_host.Report(failure.toUtf8()); });
    // A world that never sends a room gets no map file: the file is made with the first room.
    m_pendingPath = MapStore::MapFilePath(host, port);
    if (QFileInfo::exists(m_pendingPath))
        OpenStore();
}

void MapSide::OpenStore()
{
    QString message;
    const auto result = m_store->Open(std::exchange(m_pendingPath, QString()), &message);
    if (!message.isEmpty())
        m_host.Report(message.toUtf8());
    if (result == MapStore::OpenResult::Opened)
        m_hadRoom = m_model->RoomCount() > 0;
}

void MapSide::Close()
{
    if (m_store)
        m_store->Close();
    m_store.reset();
    m_model.reset();
    m_pendingPath.clear();
    m_moves.clear();
    m_hadRoom = false;
}

void MapSide::CommandSent(const QByteArray &command)
{
    if (!m_model)
        return;
    QByteArray direction = m_model->DirectionOfCommand(command);
    if (direction.isEmpty())
        return;
    if (m_moves.size() >= MaxPendingMoves)
        m_moves.pop_front();
    m_moves.push_back(std::move(direction));
}

// The direction that brought the player to @p roomId: the previous room's exit that leads there when it has
// one (the moves before it were refused by the world), else the oldest move sent.
QByteArray MapSide::TakeDirection(const QByteArray &roomId)
{
    const QByteArray current = m_model->CurrentRoom();
    if (!current.isEmpty()) {
        for (const RoomExit &exit : m_model->Room(current).Exits) {
            if (exit.Target != roomId)
                continue;
            const auto taken = std::find(m_moves.begin(), m_moves.end(), exit.Direction);
            if (taken != m_moves.end())
                m_moves.erase(m_moves.begin(), taken + 1);
            return exit.Direction;
        }
    }
    if (m_moves.empty())
        return {};
    QByteArray direction = std::move(m_moves.front());
    m_moves.pop_front();
    return direction;
}

void MapSide::RoomInfo(const QJsonValue &payload)
{
    if (m_model && payload.isObject())
        Arrive(RoomFromGmcp(payload.toObject()));
}

void MapSide::RoomVariables(const GameData &data)
{
    if (!m_model)
        return;
    QJsonObject variables;
    for (const QByteArray &name : data.MsdpVariables()) {
        if (name.toUpper().startsWith("ROOM"))
            variables.insert(QString::fromLatin1(name.toUpper()), data.Msdp(name));
    }
    // MSDP reports each variable as it changes: a room is complete once its number is there.
    if (variables.contains(QStringLiteral("ROOM_VNUM")) || variables.contains(QStringLiteral("ROOM")))
        Arrive(RoomFromMsdp(variables));
}

void MapSide::Arrive(const RoomRecord &room)
{
    if (!room.IsValid())
        return;
    if (!m_pendingPath.isEmpty())
        OpenStore();
    if (!m_model->HasRoom(room.Id) || room.Id != m_model->CurrentRoom()) {
        const MapModel::ArriveResult result = m_model->Arrive(room, TakeDirection(room.Id));
        if (!m_hadRoom) {
            m_hadRoom = true;
            emit RoomDataArrived();
        }
        if (result.ReachedWalkTarget)
            m_host.RunEvent("On Map Arrived");
        return;
    }
    m_model->Arrive(room); // the same room again (a look): its data may have changed
}

bool MapSide::Ready()
{
    if (m_model)
        return true;
    m_host.Report("The map is off for this world (Options, Settings, Connection).");
    return false;
}

void MapSide::Walk(const QByteArray &target)
{
    const QByteArray wanted = TrimBlanks(target);
    if (!Ready())
        return;
    if (wanted.isEmpty()) {
        m_host.Report("Walk where? /WALK <room number or name>");
        return;
    }
    QByteArray room = m_model->HasRoom(wanted) ? wanted : QByteArray();
    if (room.isEmpty()) {
        const std::vector<QByteArray> found = m_model->FindRooms(wanted, 1);
        if (!found.empty())
            room = found.front();
    }
    if (room.isEmpty()) {
        m_host.Report("No room on the map is called \"" + wanted + "\".");
        return;
    }
    const PathResult path = m_model->PathTo(room);
    const QByteArray name = m_model->Summary(room).section(QLatin1Char(','), 0, 0).toUtf8();
    if (!path.Found) {
        m_host.Report("No known way leads from here to " + name + ".");
        return;
    }
    if (path.Directions.empty()) {
        m_host.Report("You are already in " + name + ".");
        return;
    }
    m_model->SetWalkTarget(room);
    m_host.Report("Walking to " + name + ": " + RouteText(path.Directions) + ".");
    m_host.ProcessCommand(WalkCommands(path.Directions, m_host.ExprSeparator()));
}

void MapSide::Where()
{
    if (!Ready())
        return;
    const QByteArray current = m_model->CurrentRoom();
    if (current.isEmpty()) {
        m_host.Report("The map does not know where you are yet.");
        return;
    }
    QByteArray text = m_model->Summary(current).toUtf8() + '.';
    const QByteArray target = m_model->WalkTarget();
    if (!target.isEmpty()) {
        const PathResult rest = m_model->PathTo(target);
        if (rest.Found && !rest.Directions.empty())
            text += " On the way to " + m_model->Summary(target).section(QLatin1Char(','), 0, 0).toUtf8() + ": "
                    + RouteText(rest.Directions) + '.';
    }
    m_host.Report(text);
}

QString MapSide::FilePath(const QByteArray &name) const
{
    const QString path = QString::fromUtf8(TrimBlanks(name));
    return QDir::isAbsolutePath(path) ? path : QDir(ProgramFolder()).filePath(path);
}

void MapSide::MapCommand(const QByteArray &arguments)
{
    const QByteArray words = TrimBlanks(arguments);
    const qsizetype space = words.indexOf(' ');
    const QByteArray verb = (space >= 0 ? words.left(space) : words).toLower();
    const QByteArray rest = space >= 0 ? words.mid(space + 1) : QByteArray();
    if (verb.isEmpty()) {
        emit ToggleWanted();
    } else if (verb == "show" || verb == "on") {
        emit ShowWanted(true);
    } else if (verb == "hide" || verb == "off") {
        emit ShowWanted(false);
    } else if (verb == "export" && Ready()) {
        QFile file(FilePath(rest));
        const bool written = !rest.isEmpty() && file.open(QIODevice::WriteOnly)
                             && file.write(m_store->ExportJson()) >= 0 && file.flush();
        m_host.Report(written ? "The map was written to " + file.fileName().toUtf8() + "."
                              : "The map could not be written to \"" + rest + "\".");
    } else if (verb == "import" && Ready()) {
        QFile file(FilePath(rest));
        QString message;
        if (!m_pendingPath.isEmpty())
            OpenStore(); // an imported map is kept in the world's file at once
        if (rest.isEmpty() || !file.open(QIODevice::ReadOnly))
            m_host.Report("The map file \"" + rest + "\" could not be read.");
        else if (file.size() > qint64(256) * 1024 * 1024)
            m_host.Report("The map file \"" + rest + "\" is too large to be a map.");
        else if (!m_store->ImportJson(file.readAll(), &message))
            m_host.Report("The map was not imported: " + message.toUtf8());
        else
            m_host.Report("The map was imported: " + QByteArray::number(m_model->RoomCount()) + " rooms.");
    } else if (verb != "export" && verb != "import") {
        m_host.Report("/MAP takes show, hide, export <file> or import <file>.");
    }
}

} // namespace wren
