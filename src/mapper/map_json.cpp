// SPDX-License-Identifier: GPL-3.0-or-later
// A map as a JSON file a player can keep, share or edit (docs/map-format.md), and back.
#include "mapper/map_json.h"

#include "mapper/directions.h"
#include "mapper/map_model.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <optional>

namespace wren {

namespace {

QString Key(const char *name)
{
    return QString::fromLatin1(name);
}

QJsonValue Text(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes);
}

QJsonObject RoomObject(const StoredRoom &room)
{
    QJsonObject object;
    object.insert(Key("id"), Text(room.Id));
    object.insert(Key("name"), Text(room.Name));
    if (!room.Area.isEmpty())
        object.insert(Key("area"), Text(room.Area));
    if (!room.Terrain.isEmpty())
        object.insert(Key("terrain"), Text(room.Terrain));
    object.insert(Key("x"), room.X);
    object.insert(Key("y"), room.Y);
    object.insert(Key("z"), room.Z);
    if (room.HasWorldCoordinates)
        object.insert(Key("world"),
                      QJsonObject {{Key("x"), room.WorldX}, {Key("y"), room.WorldY}, {Key("z"), room.WorldZ}});
    QJsonArray flags;
    if (room.Flags & RoomLocked)
        flags.append(Key("locked"));
    if (room.Flags & RoomAvoided)
        flags.append(Key("avoided"));
    if (!flags.isEmpty())
        object.insert(Key("flags"), flags);
    QJsonObject exits;
    QStringList learned;
    for (const RoomExit &exit : room.Exits) {
        exits.insert(QString::fromUtf8(exit.Direction), exit.Target.isEmpty() ? QJsonValue() : Text(exit.Target));
        if (exit.Learned)
            learned.append(QString::fromUtf8(exit.Direction));
    }
    object.insert(Key("exits"), exits);
    learned.sort();
    if (!learned.isEmpty())
        object.insert(Key("learned"), QJsonArray::fromStringList(learned));
    return object;
}

/// Reads one room; a message on the first thing that is wrong with it.
class RoomReader
{
public:
    explicit RoomReader(const QJsonObject &object)
        : m_object(object)
    {
    }

    std::optional<StoredRoom> Read(QString *problem)
    {
        StoredRoom room;
        room.Id = RoomIdText(m_object.value(Key("id")));
        if (room.Id.isEmpty())
            return Fail(problem, QStringLiteral("has no usable \"id\""));
        if (!ReadText("name", room.Name) || !ReadText("area", room.Area) || !ReadText("terrain", room.Terrain)
            || !ReadWhole(m_object, "x", MapModel::MaxPlacedCoordinate, room.X)
            || !ReadWhole(m_object, "y", MapModel::MaxPlacedCoordinate, room.Y)
            || !ReadWhole(m_object, "z", MaxGridLevel, room.Z) || !ReadWorld(room) || !ReadFlags(room)
            || !ReadExits(room))
            return Fail(problem, m_problem);
        return room;
    }

private:
    std::optional<StoredRoom> Fail(QString *problem, const QString &text)
    {
        *problem = text;
        return std::nullopt;
    }

    bool Problem(const QString &text)
    {
        m_problem = text;
        return false;
    }

    bool ReadText(const char *name, QByteArray &out)
    {
        const QJsonValue value = m_object.value(Key(name));
        if (value.isUndefined() || value.isNull())
            return true;
        if (!value.isString())
            return Problem(QStringLiteral("\"%1\" is not text").arg(Key(name)));
        out = value.toString().toUtf8();
        return true;
    }

    bool ReadWhole(const QJsonObject &object, const char *name, int bound, int &out)
    {
        const QJsonValue value = object.value(Key(name));
        if (value.isUndefined())
            return true;
        const double number = value.toDouble(std::nan(""));
        if (!value.isDouble() || number != std::floor(number) || std::fabs(number) > bound)
            return Problem(QStringLiteral("\"%1\" is not a whole number within %2").arg(Key(name)).arg(bound));
        out = static_cast<int>(number);
        return true;
    }

    bool ReadWorld(StoredRoom &room)
    {
        const QJsonValue value = m_object.value(Key("world"));
        if (value.isUndefined() || value.isNull())
            return true;
        if (!value.isObject())
            return Problem(QStringLiteral("\"world\" is not an object"));
        const QJsonObject world = value.toObject();
        room.HasWorldCoordinates = true;
        return ReadWhole(world, "x", MaxGridCoordinate, room.WorldX)
               && ReadWhole(world, "y", MaxGridCoordinate, room.WorldY)
               && ReadWhole(world, "z", MaxGridLevel, room.WorldZ);
    }

    bool ReadFlags(StoredRoom &room)
    {
        const QJsonValue value = m_object.value(Key("flags"));
        if (value.isUndefined() || value.isNull())
            return true;
        if (!value.isArray())
            return Problem(QStringLiteral("\"flags\" is not a list"));
        for (const QJsonValue flag : value.toArray()) {
            if (flag == QJsonValue(Key("locked")))
                room.Flags |= RoomLocked;
            else if (flag == QJsonValue(Key("avoided")))
                room.Flags |= RoomAvoided;
            else
                return Problem(QStringLiteral("\"flags\" holds something other than \"locked\" and \"avoided\""));
        }
        return true;
    }

    bool ReadExits(StoredRoom &room)
    {
        const QJsonValue value = m_object.value(Key("exits"));
        if (value.isUndefined() || value.isNull())
            return true;
        if (!value.isObject())
            return Problem(QStringLiteral("\"exits\" is not an object"));
        const QJsonObject exits = value.toObject();
        if (exits.size() > MaxExitsPerRoom)
            return Problem(QStringLiteral("has more than %1 exits").arg(MaxExitsPerRoom));
        QSet<QByteArray> learned;
        for (const QJsonValue direction : m_object.value(Key("learned")).toArray())
            learned.insert(NormalizeDirection(direction.toString().toUtf8()));
        for (auto it = exits.constBegin(); it != exits.constEnd(); ++it) {
            RoomExit exit;
            exit.Direction = it.key().toUtf8();
            if (!it.value().isNull() && !it.value().isString() && !it.value().isDouble())
                return Problem(QStringLiteral("exit \"%1\" does not lead to a room id or null").arg(it.key()));
            exit.Target = RoomIdText(it.value());
            exit.Learned = learned.contains(NormalizeDirection(exit.Direction));
            room.Exits.push_back(std::move(exit));
        }
        return true;
    }

    QJsonObject m_object;
    QString m_problem;
};

bool Refuse(QString *message, const QString &text)
{
    if (message)
        *message = text;
    return false;
}

bool ReadRooms(const QJsonArray &rooms, MapModel &map, QString *message)
{
    for (qsizetype i = 0; i < rooms.size(); ++i) {
        const QJsonValue value = rooms.at(i);
        QString problem;
        if (!value.isObject())
            return Refuse(message, QStringLiteral("Room %1 of the map file is not an object.").arg(i + 1));
        const std::optional<StoredRoom> room = RoomReader(value.toObject()).Read(&problem);
        if (!room || !map.Restore(*room, &problem))
            return Refuse(message, QStringLiteral("Room %1 of the map file: %2.").arg(i + 1).arg(problem));
    }
    return true;
}

} // namespace

QByteArray ExportMapJson(const MapModel &model)
{
    // Rooms by id, so the same map always gives the same file, however its rooms came to be.
    std::vector<quint32> seen;
    seen.reserve(static_cast<size_t>(model.RoomCount()));
    for (quint32 i = 0; i < model.NodeCount(); ++i) {
        if (model.At(i).Seen)
            seen.push_back(i);
    }
    std::sort(seen.begin(), seen.end(), [&](quint32 a, quint32 b) { return model.At(a).Id < model.At(b).Id; });
    QJsonArray rooms;
    for (quint32 i : seen)
        rooms.append(RoomObject(model.Snapshot(i)));
    QJsonObject map;
    map.insert(Key("format"), Key("wren-map"));
    map.insert(Key("version"), MapJsonVersion);
    map.insert(Key("current"), Text(model.CurrentRoom()));
    map.insert(Key("rooms"), rooms);
    return QJsonDocument(map).toJson(QJsonDocument::Indented);
}

bool ImportMapJson(const QByteArray &json, MapModel &into, QString *message)
{
    if (json.size() > MaxMapJsonBytes)
        return Refuse(message, QStringLiteral("The map file is larger than %1 MB.").arg(MaxMapJsonBytes >> 20));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return Refuse(
            message,
            QStringLiteral("The map file is not JSON (%1 at byte %2).").arg(error.errorString()).arg(error.offset));
    const QJsonObject map = document.object();
    if (map.value(Key("format")) != QJsonValue(Key("wren-map")))
        return Refuse(message,
                      QStringLiteral("The file is not a Wren Client map (it has no \"format\": \"wren-map\")."));
    const QJsonValue version = map.value(Key("version"));
    if (!version.isDouble() || version.toDouble() < 1 || version.toDouble() != std::floor(version.toDouble()))
        return Refuse(message, QStringLiteral("The map file has no version number."));
    if (version.toDouble() > MapJsonVersion)
        return Refuse(message,
                      QStringLiteral("The map file was written by a newer version of Wren Client (map version %1; "
                                     "this one reads version %2).")
                          .arg(version.toDouble())
                          .arg(MapJsonVersion));
    if (!map.value(Key("rooms")).isArray())
        return Refuse(message, QStringLiteral("The map file has no list of rooms."));
    const QJsonArray rooms = map.value(Key("rooms")).toArray();
    if (rooms.size() > into.MaxRooms())
        return Refuse(message, QStringLiteral("The map file holds %1 rooms; a map keeps at most %2.")
                                   .arg(rooms.size())
                                   .arg(into.MaxRooms()));
    MapModel loaded(into.MaxRooms());
    if (!ReadRooms(rooms, loaded, message))
        return false;
    loaded.SetCurrentRoom(RoomIdText(map.value(Key("current"))));
    into.Swap(loaded);
    return true;
}

} // namespace wren
