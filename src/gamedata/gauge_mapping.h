// SPDX-License-Identifier: GPL-3.0-or-later
// What the game data panel shows: which values feed the health, mana and movement gauges, and the room line.
#pragma once

#include <QByteArray>
#include <QList>

#include <array>

namespace wren {

class AppSettings;
class GameData;

enum class Gauge { Health, Mana, Movement };
constexpr int GaugeCount = 3;
constexpr std::array<Gauge, GaugeCount> AllGauges = {Gauge::Health, Gauge::Mana, Gauge::Movement};

/// "Health", "Mana", "Movement".
QByteArray GaugeName(Gauge gauge);

/// Two paths as GameData::Lookup reads them: the current value and the maximum.
struct GaugeSource {
    QByteArray Value;
    QByteArray Max;
    bool operator==(const GaugeSource &) const = default;
};

/// The paths each gauge reads. A gauge without a value path of its own tries DefaultSources in order.
struct GaugeMapping {
    std::array<GaugeSource, GaugeCount> Sources;

    GaugeSource &operator[](Gauge gauge) { return Sources[static_cast<size_t>(gauge)]; }
    const GaugeSource &operator[](Gauge gauge) const { return Sources[static_cast<size_t>(gauge)]; }
    bool operator==(const GaugeMapping &) const = default;

    /// From the world's settings ("GameData/HealthValue", "GameData/HealthMax", ...); empty paths mean the defaults.
    static GaugeMapping Load(const AppSettings &settings, const QByteArray &host, const QByteArray &port);
    void Save(AppSettings &settings, const QByteArray &host, const QByteArray &port) const;
};

/// The common places a gauge's values come in, tried in order: Char.Vitals fields as today's servers name
/// them (hp/maxhp, health/maxhealth, hp/max_hp, mp/maxmp, mana/maxmana, sp/maxsp, mv/maxmv, moves/maxmoves,
/// ep/maxep, ...; keys match in any case, so HP/maxHP is found too), then MSDP's HEALTH/HEALTH_MAX,
/// MANA/MANA_MAX, MOVEMENT/MOVEMENT_MAX.
QList<GaugeSource> DefaultSources(Gauge gauge);

struct GaugeValue {
    /// The value was found and is a number (strings holding numbers count: MSDP sends only strings).
    bool Present = false;
    double Value = 0;
    /// 0 when the maximum is missing or not a number.
    double Max = 0;
};

/// Each gauge's value and maximum now. A gauge without its own path takes the first default pair that has
/// both, else the first whose value alone is there.
std::array<GaugeValue, GaugeCount> GaugeValues(const GameData &data, const GaugeMapping &mapping = {});

/// The MSDP variables worth a REPORT: those the gauges read (their "msdp." paths, or the defaults for a
/// gauge without its own), the room's (ROOM_NAME, ROOM_AREA, ROOM_EXITS, ROOM_VNUM), then @p extra, each
/// once. With @p reportable given (the server's REPORTABLE_VARIABLES), only names it holds are kept.
QList<QByteArray> MsdpReportVariables(const GaugeMapping &mapping, const QList<QByteArray> &extra,
                                      const QList<QByteArray> &reportable = {});

/// The player's own MSDP variables to report, per world ("GameData/MsdpReports"); none by default.
QList<QByteArray> LoadMsdpReports(const AppSettings &settings, const QByteArray &host, const QByteArray &port);
void SaveMsdpReports(AppSettings &settings, const QByteArray &host, const QByteArray &port,
                     const QList<QByteArray> &variables);

/// The room line: from GMCP Room.Info (name, area, exits) or else MSDP's ROOM_NAME, ROOM_AREA and ROOM_EXITS.
struct RoomSummary {
    bool Present = false;
    QByteArray Name;
    QByteArray Area;
    /// Exit directions in compass order (n, ne, e, se, s, sw, w, nw, u, d, in, out), then any others.
    QList<QByteArray> Exits;
};

RoomSummary CurrentRoom(const GameData &data);

} // namespace wren
