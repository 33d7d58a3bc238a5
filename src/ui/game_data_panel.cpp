// SPDX-License-Identifier: GPL-3.0-or-later
// The game data panel: health, mana and movement gauges and the room line, from a session's game data.
#include "ui/game_data_panel.h"

#include "gamedata/game_data.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>
#include <cmath>

namespace wren {

namespace {

/// Steps of a bar: the values can be anything a world sends, so the bar shows a share, not the numbers.
constexpr int BarSteps = 1000;
/// At most one refresh a frame.
constexpr int RefreshDelayMs = 16;

constexpr std::array<const char *, GaugeCount> ChunkColours = {"#b22222", "#1e5bc6", "#2e8b57"};

QString Number(double value)
{
    return QString::number(value, 'g', 12);
}

void ShowGauge(QProgressBar *bar, const GaugeValue &value)
{
    const QString text
        = value.Max > 0 ? Number(value.Value) + QStringLiteral(" / ") + Number(value.Max) : Number(value.Value);
    // Without a maximum the bar is full and shows the value alone.
    const double share = value.Max > 0 ? std::clamp(value.Value / value.Max, 0.0, 1.0) : 1.0;
    bar->setValue(static_cast<int>(std::lround(share * BarSteps)));
    bar->setFormat(text);
    bar->setAccessibleDescription(text);
}

QString RoomText(const RoomSummary &room)
{
    QString text = QString::fromUtf8(room.Name);
    if (!room.Area.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral(" \u2014 ")) + QString::fromUtf8(room.Area);
    if (!room.Exits.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("    ")) + QStringLiteral("Exits: ")
                + QString::fromUtf8(room.Exits.join(", "));
    return text;
}

} // namespace

GameDataPanel::GameDataPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("gameDataPanel"));
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setVerticalSpacing(2);
    for (const Gauge gauge : AllGauges) {
        const auto at = static_cast<size_t>(gauge);
        const QString name = QString::fromLatin1(GaugeName(gauge));
        m_labels[at] = new QLabel(name, this);
        m_bars[at] = new QProgressBar(this);
        m_bars[at]->setRange(0, BarSteps);
        m_bars[at]->setTextVisible(true);
        m_bars[at]->setAlignment(Qt::AlignCenter);
        m_bars[at]->setAccessibleName(name);
        m_bars[at]->setStyleSheet(QStringLiteral("QProgressBar { text-align: center; }"
                                                 "QProgressBar::chunk { background-color: %1; }")
                                      .arg(QLatin1String(ChunkColours[at])));
        m_labels[at]->setBuddy(m_bars[at]);
        layout->addWidget(m_labels[at], 0, 2 * static_cast<int>(at));
        layout->addWidget(m_bars[at], 0, 2 * static_cast<int>(at) + 1);
    }
    m_room = new QLabel(this);
    m_room->setTextFormat(Qt::PlainText); // the world's text, never markup
    m_room->setAccessibleName(QStringLiteral("Room"));
    m_room->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(m_room, 1, 0, 1, 2 * GaugeCount);

    m_timer.setSingleShot(true);
    m_timer.setInterval(RefreshDelayMs);
    connect(&m_timer, &QTimer::timeout, this, &GameDataPanel::RefreshNow);
    RefreshNow();
}

void GameDataPanel::SetData(GameData *data)
{
    if (m_data)
        disconnect(m_data, nullptr, this, nullptr);
    m_data = data;
    if (data) {
        connect(data, &GameData::GmcpChanged, this, &GameDataPanel::ScheduleRefresh);
        connect(data, &GameData::MsdpChanged, this, &GameDataPanel::ScheduleRefresh);
        connect(data, &GameData::MsspChanged, this, &GameDataPanel::ScheduleRefresh);
        connect(data, &GameData::Cleared, this, &GameDataPanel::ScheduleRefresh);
        connect(data, &QObject::destroyed, this, &GameDataPanel::ScheduleRefresh);
    }
    RefreshNow();
}

void GameDataPanel::SetMapping(const GaugeMapping &mapping)
{
    m_mapping = mapping;
    ScheduleRefresh();
}

void GameDataPanel::SetAllowed(bool allowed)
{
    m_allowed = allowed;
    RefreshNow();
}

void GameDataPanel::ScheduleRefresh()
{
    if (!m_timer.isActive())
        m_timer.start();
}

void GameDataPanel::RefreshNow()
{
    m_timer.stop();
    ++m_refreshes;
    bool any = false;
    const GameData *data = m_data.data();
    const auto values = data ? GaugeValues(*data, m_mapping) : std::array<GaugeValue, GaugeCount> {};
    for (const Gauge gauge : AllGauges) {
        const auto at = static_cast<size_t>(gauge);
        const GaugeValue &value = values[at];
        if (value.Present)
            ShowGauge(m_bars[at], value);
        m_labels[at]->setVisible(value.Present);
        m_bars[at]->setVisible(value.Present);
        any = any || value.Present;
    }
    const RoomSummary room = data ? CurrentRoom(*data) : RoomSummary {};
    m_room->setText(RoomText(room));
    m_room->setVisible(room.Present);
    any = any || room.Present;
    setVisible(m_allowed && any);
}

} // namespace wren
