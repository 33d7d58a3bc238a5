// SPDX-License-Identifier: GPL-3.0-or-later
// What the game data panel shows: which values feed the health, mana and movement gauges, and the room line.
#include "gamedata/gauge_mapping.h"

#include "config/app_settings.h"
#include "gamedata/game_data.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <optional>

namespace wren {

namespace {

constexpr std::array<const char *, GaugeCount> GaugeNames = {"Health", "Mana", "Movement"};

QString Key(Gauge gauge, const char *what)
{
    return QStringLiteral("GameData/%1%2")
        .arg(QLatin1String(GaugeNames[static_cast<size_t>(gauge)]), QLatin1String(what));
}

/// Vitals fields by gauge: value key, then maximum key, in Char.Vitals.
constexpr std::array<std::array<const char *, 10>, GaugeCount> VitalsFields = {{
    {"hp", "maxhp", "health", "maxhealth", "hp", "max_hp", "hp", "hpmax", "health", "max_health"},
    {"mp", "maxmp", "mana", "maxmana", "sp", "maxsp", "mp", "max_mp", "mana", "max_mana"},
    {"mv", "maxmv", "moves", "maxmoves", "ep", "maxep", "mv", "max_mv", "moves", "max_moves"},
}};

constexpr std::array<std::array<const char *, 2>, GaugeCount> MsdpFields = {{
    {"HEALTH", "HEALTH_MAX"},
    {"MANA", "MANA_MAX"},
    {"MOVEMENT", "MOVEMENT_MAX"},
}};

std::optional<double> Number(const GameData &data, const QByteArray &path)
{
    if (path.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = data.Lookup(path).trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

GaugeValue Read(const GameData &data, const GaugeSource &source)
{
    GaugeValue gauge;
    if (const auto value = Number(data, source.Value)) {
        gauge.Present = true;
        gauge.Value = *value;
        gauge.Max = Number(data, source.Max).value_or(0);
    }
    return gauge;
}

QList<QByteArray> ReadList(const AppSettings &settings, const QByteArray &host, const QByteArray &port,
                           const QString &key)
{
    QList<QByteArray> list;
    for (const QString &entry : settings.WorldValue(host, port, key).toStringList()) {
        const QByteArray item = entry.trimmed().toUtf8();
        if (!item.isEmpty())
            list.append(item);
    }
    return list;
}

/// Where a direction stands in compass order; others after, in their own order.
int DirectionRank(const QByteArray &direction)
{
    static const QList<QByteArray> Order
        = {"n",         "north", "ne",   "northeast", "e",         "east", "se", "southeast", "s",    "south", "sw",
           "southwest", "w",     "west", "nw",        "northwest", "u",    "up", "d",         "down", "in",    "out"};
    const qsizetype rank = Order.indexOf(direction.toLower());
    return rank < 0 ? static_cast<int>(Order.size()) : static_cast<int>(rank / 2);
}

QList<QByteArray> ExitNames(const QJsonValue &exits)
{
    QList<QByteArray> names;
    if (exits.isObject()) {
        const QStringList keys = exits.toObject().keys();
        for (const QString &key : keys)
            names.append(key.toUtf8());
    } else if (exits.isArray()) {
        for (const auto &exit : exits.toArray())
            names.append(exit.toString().toUtf8());
    } else if (exits.isString()) {
        names = exits.toString().toUtf8().simplified().split(' ');
    }
    names.removeAll(QByteArray());
    std::stable_sort(names.begin(), names.end(),
                     [](const QByteArray &a, const QByteArray &b) { return DirectionRank(a) < DirectionRank(b); });
    return names;
}

} // namespace

QByteArray GaugeName(Gauge gauge)
{
    return GaugeNames[static_cast<size_t>(gauge)];
}

GaugeMapping GaugeMapping::Load(const AppSettings &settings, const QByteArray &host, const QByteArray &port)
{
    GaugeMapping mapping;
    for (const Gauge gauge : AllGauges) {
        mapping[gauge].Value = settings.WorldValue(host, port, Key(gauge, "Value")).toString().trimmed().toUtf8();
        mapping[gauge].Max = settings.WorldValue(host, port, Key(gauge, "Max")).toString().trimmed().toUtf8();
    }
    return mapping;
}

void GaugeMapping::Save(AppSettings &settings, const QByteArray &host, const QByteArray &port) const
{
    for (const Gauge gauge : AllGauges) {
        settings.SetWorldValue(host, port, Key(gauge, "Value"), QString::fromUtf8((*this)[gauge].Value.trimmed()));
        settings.SetWorldValue(host, port, Key(gauge, "Max"), QString::fromUtf8((*this)[gauge].Max.trimmed()));
    }
}

QList<GaugeSource> DefaultSources(Gauge gauge)
{
    QList<GaugeSource> sources;
    const auto &fields = VitalsFields[static_cast<size_t>(gauge)];
    for (size_t i = 0; i + 1 < fields.size(); i += 2) {
        GaugeSource source {QByteArray("gmcp.Char.Vitals.") + fields[i],
                            QByteArray("gmcp.Char.Vitals.") + fields[i + 1]};
        if (!sources.contains(source))
            sources.append(source);
    }
    const auto &msdp = MsdpFields[static_cast<size_t>(gauge)];
    sources.append({QByteArray("msdp.") + msdp[0], QByteArray("msdp.") + msdp[1]});
    return sources;
}

std::array<GaugeValue, GaugeCount> GaugeValues(const GameData &data, const GaugeMapping &mapping)
{
    std::array<GaugeValue, GaugeCount> values;
    for (const Gauge gauge : AllGauges) {
        GaugeValue &value = values[static_cast<size_t>(gauge)];
        if (!mapping[gauge].Value.isEmpty()) {
            value = Read(data, mapping[gauge]);
            continue;
        }
        for (const GaugeSource &source : DefaultSources(gauge)) {
            const GaugeValue candidate = Read(data, source);
            if (candidate.Present && (!value.Present || candidate.Max > 0))
                value = candidate;
            if (value.Present && value.Max > 0)
                break;
        }
    }
    return values;
}

QList<QByteArray> MsdpReportVariables(const GaugeMapping &mapping, const QList<QByteArray> &extra,
                                      const QList<QByteArray> &reportable)
{
    QList<QByteArray> names;
    const auto add = [&names, &reportable](const QByteArray &name) {
        if (!name.isEmpty() && !names.contains(name) && (reportable.isEmpty() || reportable.contains(name)))
            names.append(name);
    };
    const auto addPath = [&add](const QByteArray &path) {
        if (path.left(5).toLower() == "msdp.")
            add(path.mid(5).split('.').front());
    };
    for (const Gauge gauge : AllGauges) {
        if (mapping[gauge].Value.isEmpty()) {
            add(MsdpFields[static_cast<size_t>(gauge)][0]);
            add(MsdpFields[static_cast<size_t>(gauge)][1]);
        } else {
            addPath(mapping[gauge].Value);
            addPath(mapping[gauge].Max);
        }
    }
    for (const char *room : {"ROOM_NAME", "ROOM_AREA", "ROOM_EXITS", "ROOM_VNUM"})
        add(room);
    for (const QByteArray &name : extra)
        add(name.trimmed());
    return names;
}

QList<QByteArray> LoadMsdpReports(const AppSettings &settings, const QByteArray &host, const QByteArray &port)
{
    return ReadList(settings, host, port, QStringLiteral("GameData/MsdpReports"));
}

void SaveMsdpReports(AppSettings &settings, const QByteArray &host, const QByteArray &port,
                     const QList<QByteArray> &variables)
{
    QStringList list;
    for (const QByteArray &name : variables) {
        if (!name.trimmed().isEmpty())
            list.append(QString::fromUtf8(name.trimmed()));
    }
    settings.SetWorldValue(host, port, QStringLiteral("GameData/MsdpReports"), list);
}

RoomSummary CurrentRoom(const GameData &data)
{
    RoomSummary room;
    const QJsonValue info = data.Gmcp("Room.Info");
    if (info.isObject()) {
        room.Present = true;
        room.Name = data.Lookup("gmcp.Room.Info.name");
        room.Area = data.Lookup("gmcp.Room.Info.area");
        room.Exits = ExitNames(data.Find("gmcp.Room.Info.exits"));
        return room;
    }
    room.Name = data.Lookup("msdp.ROOM_NAME");
    room.Area = data.Lookup("msdp.ROOM_AREA");
    room.Exits = ExitNames(data.Find("msdp.ROOM_EXITS"));
    room.Present = !room.Name.isEmpty() || !room.Area.isEmpty() || !room.Exits.isEmpty();
    return room;
}

} // namespace wren
