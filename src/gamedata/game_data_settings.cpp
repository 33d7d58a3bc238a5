// SPDX-License-Identifier: GPL-3.0-or-later
// A world's game data switches and lists, kept in the program's settings by host and port.
#include "gamedata/game_data_settings.h"

#include "config/app_settings.h"
#include "gamedata/gmcp.h"

#include <array>

namespace wren {

namespace {

struct Switch {
    const char *Key;
    bool GameDataSettings::*Field;
};

constexpr std::array<Switch, 4> Switches = {{
    {"GameData/Gmcp", &GameDataSettings::Gmcp},
    {"GameData/Msdp", &GameDataSettings::Msdp},
    {"GameData/Mssp", &GameDataSettings::Mssp},
    {"GameData/Panel", &GameDataSettings::Panel},
}};

} // namespace

GameDataSettings::GameDataSettings()
    : GmcpModules(gmcp::DefaultModules())
{
}

GameDataSettings GameDataSettings::Load(const AppSettings &settings, const QByteArray &host, const QByteArray &port)
{
    GameDataSettings loaded;
    for (const Switch &s : Switches)
        loaded.*s.Field = settings.WorldValue(host, port, QString::fromLatin1(s.Key), loaded.*s.Field).toBool();
    loaded.GmcpModules = gmcp::LoadModules(settings, host, port);
    loaded.Gauges = GaugeMapping::Load(settings, host, port);
    loaded.MsdpReports = LoadMsdpReports(settings, host, port);
    return loaded;
}

void GameDataSettings::Save(AppSettings &settings, const QByteArray &host, const QByteArray &port) const
{
    for (const Switch &s : Switches)
        settings.SetWorldValue(host, port, QString::fromLatin1(s.Key), this->*s.Field);
    gmcp::SaveModules(settings, host, port, GmcpModules);
    Gauges.Save(settings, host, port);
    SaveMsdpReports(settings, host, port, MsdpReports);
}

} // namespace wren
