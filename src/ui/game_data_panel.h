// SPDX-License-Identifier: GPL-3.0-or-later
// The game data panel: health, mana and movement gauges and the room line, from a session's game data.
#pragma once

#include "gamedata/gauge_mapping.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>

class QLabel;
class QProgressBar;

namespace wren {

class GameData;

/// Shows what a world sends beside its text: a coloured gauge with "42 / 50" for each of health, mana and
/// movement that the world reports, and a line with the room's name, area and exits.
///
/// It repaints at most once a frame: every change of the game data only starts a 16 ms timer, so a world
/// that sends a hundred messages at once costs one refresh. The panel stays hidden until the world sends
/// something it shows, and while it is switched off for the world.
class GameDataPanel : public QWidget
{
    Q_OBJECT

public:
    explicit GameDataPanel(QWidget *parent = nullptr);

    /// The game data shown (a session's); null for none. Not owned; the panel lets go when it is destroyed.
    void SetData(GameData *data);
    void SetMapping(const GaugeMapping &mapping);
    /// The world's "Panel" switch: false keeps the panel hidden whatever the world sends.
    void SetAllowed(bool allowed);

    /// Shows the data now (a pending refresh is then not needed).
    void RefreshNow();

    QProgressBar *Bar(Gauge gauge) const { return m_bars[static_cast<size_t>(gauge)]; }
    QLabel *RoomLine() const { return m_room; }
    /// How many refreshes have run (to see that changes are coalesced).
    int RefreshCount() const { return m_refreshes; }

private:
    void ScheduleRefresh();

    std::array<QLabel *, GaugeCount> m_labels {};
    std::array<QProgressBar *, GaugeCount> m_bars {};
    QLabel *m_room = nullptr;
    QPointer<GameData> m_data;
    GaugeMapping m_mapping;
    bool m_allowed = true;
    QTimer m_timer;
    int m_refreshes = 0;
};

} // namespace wren
