// SPDX-License-Identifier: GPL-3.0-or-later
// One room as a world describes it beside its text (GMCP Room.Info, MSDP ROOM_*), in one normalized form.
#include "mapper/room_info.h"

#include "mapper/directions.h"

#include <QJsonArray>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace wren {

namespace {

QString Key(const char *name)
{
    return QString::fromLatin1(name);
}

/// The first of @p names the object holds.
QJsonValue FirstOf(const QJsonObject &object, std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        const auto found = object.constFind(Key(name));
        if (found != object.constEnd() && !found->isNull() && !found->isUndefined())
            return *found;
    }
    return {};
}

/// A string or a number as text; anything else is empty.
QByteArray ScalarText(const QJsonValue &value, qsizetype maxLength)
{
    if (value.isString())
        return CleanText(value.toString().toUtf8(), maxLength);
    if (value.isDouble()) {
        const QVariant number = value.toVariant();
        if (number.typeId() == QMetaType::LongLong)
            return QByteArray::number(number.toLongLong());
        return QByteArray::number(value.toDouble(), 'g', 15);
    }
    return {};
}

/// A name that may also come as an object with a "name" (some worlds send the area that way).
QByteArray NameText(const QJsonValue &value, qsizetype maxLength)
{
    if (value.isObject())
        return ScalarText(value.toObject().value(Key("name")), maxLength);
    return ScalarText(value, maxLength);
}

std::optional<int> WholeNumber(const QJsonValue &value, int bound)
{
    double number = 0;
    if (value.isDouble()) {
        number = value.toDouble();
    } else if (value.isString()) {
        bool ok = false;
        number = value.toString().trimmed().toDouble(&ok);
        if (!ok)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (!std::isfinite(number) || number != std::floor(number) || std::fabs(number) > bound)
        return std::nullopt;
    return static_cast<int>(number);
}

void ReadCoordinates(const QJsonValue &value, RoomRecord &room)
{
    QJsonValue x, y, z;
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        x = FirstOf(object, {"x", "X"});
        y = FirstOf(object, {"y", "Y"});
        z = FirstOf(object, {"z", "Z"});
    } else if (value.isArray()) {
        const QJsonArray array = value.toArray();
        x = array.at(0);
        y = array.at(1);
        z = array.at(2);
    } else {
        return;
    }
    const std::optional<int> gridX = WholeNumber(x, MaxGridCoordinate);
    const std::optional<int> gridY = WholeNumber(y, MaxGridCoordinate);
    const std::optional<int> gridZ
        = z.isUndefined() || z.isNull() ? std::optional<int>(0) : WholeNumber(z, MaxGridLevel);
    if (!gridX || !gridY || !gridZ || (*gridX == -1 && *gridY == -1))
        return;
    room.HasCoordinates = true;
    room.X = *gridX;
    room.Y = *gridY;
    room.Z = *gridZ;
}

/// The room an exit leads to: an id, or an object holding one.
QByteArray ExitTarget(const QJsonValue &value)
{
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        return RoomIdText(FirstOf(object, {"id", "num", "vnum", "VNUM"}));
    }
    return RoomIdText(value);
}

/// Takes a room's exits one at a time: the first of each direction, up to MaxExitsPerRoom, without comparing
/// every exit with every other one (a world may send thousands).
class ExitCollector
{
public:
    explicit ExitCollector(RoomRecord &room)
        : m_room(room)
    {
    }

    void Add(const QByteArray &name, const QByteArray &target)
    {
        if (m_room.Exits.size() >= static_cast<size_t>(MaxExitsPerRoom)) {
            ++m_room.SkippedExits;
            return;
        }
        const QByteArray direction = NormalizeDirection(name);
        if (direction.isEmpty() || !FirstOfItsKind(direction)) {
            ++m_room.SkippedExits;
            return;
        }
        m_room.Exits.push_back({direction, target});
    }

private:
    bool FirstOfItsKind(const QByteArray &direction)
    {
        if (const std::optional<Direction> standard = StandardDirection(direction)) {
            const quint32 bit = 1U << static_cast<int>(*standard);
            const bool first = !(m_standard & bit);
            m_standard |= bit;
            return first;
        }
        const qsizetype before = m_custom.size();
        m_custom.insert(direction);
        return m_custom.size() != before;
    }

    RoomRecord &m_room;
    quint32 m_standard = 0;
    QSet<QByteArray> m_custom;
};

void ReadExits(const QJsonValue &value, RoomRecord &room)
{
    ExitCollector exits(room);
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it)
            exits.Add(it.key().toUtf8(), ExitTarget(it.value()));
    } else if (value.isArray()) {
        for (const QJsonValue name : value.toArray()) {
            if (name.isString())
                exits.Add(name.toString().toUtf8(), {});
            else
                ++room.SkippedExits;
        }
    }
}

QJsonValue JsonFromVariant(const QVariant &value);

QJsonObject JsonFromVariantMap(const QVariantMap &map)
{
    QJsonObject object;
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        object.insert(it.key(), JsonFromVariant(it.value()));
    return object;
}

/// MSDP values arrive as bytes; QJsonValue::fromVariant would not take those as strings.
QJsonValue JsonFromVariant(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QByteArray: return QString::fromUtf8(value.toByteArray());
    case QMetaType::QVariantMap: return JsonFromVariantMap(value.toMap());
    case QMetaType::QVariantList: {
        QJsonArray array;
        for (const QVariant &item : value.toList())
            array.append(JsonFromVariant(item));
        return array;
    }
    default: return QJsonValue::fromVariant(value);
    }
}

} // namespace

QByteArray CleanText(const QByteArray &text, qsizetype maxLength)
{
    const auto isClean = [&] {
        if (text.size() > maxLength || (!text.isEmpty() && (text.front() == ' ' || text.back() == ' ')))
            return false;
        return std::none_of(text.begin(), text.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
    };
    if (isClean())
        return text; // shared, not copied
    QByteArray clean = text;
    for (char &c : clean) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    }
    clean = clean.trimmed();
    if (clean.size() > maxLength) {
        qsizetype cut = maxLength;
        while (cut > 0 && (static_cast<unsigned char>(clean.at(cut)) & 0xC0) == 0x80)
            --cut;
        clean.truncate(cut);
        clean = clean.trimmed();
    }
    return clean;
}

QByteArray RoomIdText(const QJsonValue &value)
{
    QByteArray id;
    if (value.isDouble()) {
        const QVariant number = value.toVariant();
        if (number.typeId() == QMetaType::LongLong) {
            if (number.toLongLong() >= 0)
                id = QByteArray::number(number.toLongLong());
        } else {
            // Beyond 64 bits the JSON reader has already rounded the number; the same number still gives the
            // same text, so the room keeps one id.
            const double d = value.toDouble();
            if (std::isfinite(d) && d >= 0 && d == std::floor(d))
                id = QByteArray::number(d, 'f', 0);
        }
    } else if (value.isString()) {
        return RoomIdText(value.toString().toUtf8());
    }
    return id.size() > MaxRoomIdLength ? QByteArray() : id; // a number of hundreds of digits names no room
}

QByteArray RoomIdText(const QByteArray &text)
{
    QByteArray id = CleanText(text, MaxRoomIdLength + 1);
    if (id.size() > MaxRoomIdLength || (id.startsWith('-') && id.mid(1).toLongLong() > 0))
        id.clear();
    return id;
}

RoomRecord RoomFromGmcp(const QJsonObject &payload)
{
    RoomRecord room;
    const QByteArray readable = RoomIdText(payload.value(Key("id")));
    QByteArray number = RoomIdText(payload.value(Key("num")));
    if (number.isEmpty())
        number = RoomIdText(payload.value(Key("vnum")));
    const QJsonValue readableExits = payload.value(Key("idexits"));
    const bool hasReadableExits = readableExits.isObject() || readableExits.isArray();
    QJsonValue exits;
    if (!readable.isEmpty() && (hasReadableExits || number.isEmpty())) {
        room.Id = readable;
        exits = hasReadableExits ? readableExits : payload.value(Key("exits"));
    } else {
        room.Id = number;
        exits = payload.value(Key("exits"));
    }
    if (room.Id.isEmpty())
        return room;
    room.Name = NameText(payload.value(Key("name")), MaxRoomNameLength);
    room.Area = NameText(FirstOf(payload, {"area", "zone"}), MaxAreaNameLength);
    room.Terrain = NameText(FirstOf(payload, {"terrain", "environment"}), MaxAreaNameLength);
    ReadCoordinates(FirstOf(payload, {"coord", "coords"}), room);
    ReadExits(exits, room);
    return room;
}

RoomRecord RoomFromMsdp(const QJsonObject &variables)
{
    const QJsonValue table = variables.value(Key("ROOM"));
    const bool inTable = table.isObject();
    const QJsonObject source = inTable ? table.toObject() : variables;
    const auto field = [&](const char *name) { return source.value(inTable ? Key(name) : Key("ROOM_") + Key(name)); };
    RoomRecord room;
    room.Id = RoomIdText(field("VNUM"));
    if (room.Id.isEmpty())
        return room;
    room.Name = NameText(field("NAME"), MaxRoomNameLength);
    room.Area = NameText(field("AREA"), MaxAreaNameLength);
    room.Terrain = NameText(field("TERRAIN"), MaxAreaNameLength);
    ReadCoordinates(field("COORDS"), room);
    ReadExits(field("EXITS"), room);
    return room;
}

RoomRecord RoomFromMsdp(const QVariantMap &variables)
{
    return RoomFromMsdp(JsonFromVariantMap(variables));
}

std::vector<QByteArray> ExitsFromText(const QByteArray &line)
{
    std::vector<QByteArray> directions;
    const QByteArray lower = line.left(4096).toLower();
    const qsizetype at = lower.indexOf("exits:");
    if (at < 0)
        return directions;
    QByteArray list = lower.mid(at + 6);
    const qsizetype end = list.indexOf(']');
    if (end >= 0)
        list.truncate(end);
    for (char &c : list) {
        if (QByteArrayView(",.;()[]{}<>!*").contains(c))
            c = ' ';
    }
    for (const QByteArray &word : list.split(' ')) {
        const QByteArray direction = NormalizeDirection(word);
        if (!direction.isEmpty() && StandardDirection(direction)
            && std::find(directions.begin(), directions.end(), direction) == directions.end())
            directions.push_back(direction);
    }
    return directions;
}

void AddExitStubs(RoomRecord &room, const std::vector<QByteArray> &directions)
{
    for (const QByteArray &name : directions) {
        const QByteArray direction = NormalizeDirection(name);
        if (direction.isEmpty())
            continue;
        const bool known = std::any_of(room.Exits.begin(), room.Exits.end(),
                                       [&](const RoomExit &exit) { return exit.Direction == direction; });
        if (!known && room.Exits.size() < static_cast<size_t>(MaxExitsPerRoom))
            room.Exits.push_back({direction, {}});
    }
}

} // namespace wren
