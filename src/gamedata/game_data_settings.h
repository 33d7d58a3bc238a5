// SPDX-License-Identifier: GPL-3.0-or-later
// A world's game data switches and lists, kept in the program's settings by host and port.
#pragma once

#include "gamedata/gauge_mapping.h"

#include <QByteArray>
#include <QList>

namespace wren {

class AppSettings;

/// Everything about game data a player sets per world. Each protocol can be switched off: the telnet layer
/// then refuses its option, and nothing of it is stored or shown.
struct GameDataSettings {
    bool Gmcp = true; ///< agree to GMCP (201), send Core.Hello and Core.Supports.Set
    bool Msdp = true; ///< agree to MSDP (69), ask for the reportable variables and report the gauges'
    bool Mssp = true; ///< agree to MSSP (70): the server's status
    bool Panel = true; ///< show the gauges and the room line once a world sends game data
    /// The modules announced by Core.Supports.Set ("Char 1", ...).
    QList<QByteArray> GmcpModules;
    GaugeMapping Gauges;
    /// MSDP variables the player wants reported besides the gauges' and the room's.
    QList<QByteArray> MsdpReports;

    GameDataSettings();
    bool operator==(const GameDataSettings &) const = default;

    static GameDataSettings Load(const AppSettings &settings, const QByteArray &host, const QByteArray &port);
    void Save(AppSettings &settings, const QByteArray &host, const QByteArray &port) const;
};

} // namespace wren
