// SPDX-License-Identifier: GPL-3.0-or-later
// The map panel a window docks: the map of the world's current area, a search for rooms by name, and a walk button.
#pragma once

#include "mapper/map_model.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace wren {

class MapCanvas;

/// A widget for a QDockWidget. It reads a MapModel and never changes it; what the player asks of the map comes
/// out as WalkRequested(roomId), for the session to walk (a double-click on a room, Enter on the selected
/// room, the "Walk there" button, Ctrl+Enter in the search box).
///
/// The model's Changed() is coalesced: the panel repaints at most once per RefreshIntervalMs however many
/// rooms arrive. hasRoomData says whether the world has sent any room; a window keeps the dock hidden until it
/// turns true.
class MapPanel : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool hasRoomData READ HasRoomData NOTIFY HasRoomDataChanged)
public:
    static constexpr int RefreshIntervalMs = 100;
    static constexpr int MaxMatches = 100;

    explicit MapPanel(QWidget *parent = nullptr);
    ~MapPanel() override;

    /// The map to show (null: none). The panel follows its changes until another is set or it is destroyed.
    void SetModel(MapModel *model);
    MapModel *Model() const { return m_model; }
    bool HasRoomData() const { return m_hasRoomData; }

    MapCanvas *Canvas() const { return m_canvas; }
    QLineEdit *SearchBox() const { return m_search; }
    QListWidget *Matches() const { return m_matches; }
    QPushButton *WalkButton() const { return m_walk; }

public slots:
    /// The model changed: refresh within RefreshIntervalMs (one refresh for any number of calls).
    void ScheduleRefresh();
    /// Refreshes now (tests; the timer calls it).
    void Refresh();

signals:
    void WalkRequested(const QByteArray &roomId);
    void HasRoomDataChanged(bool hasRoomData);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Search(const QString &text);
    void ShowMatch(QListWidgetItem *item);
    void WalkToSelected();

    QPointer<MapModel> m_model;
    MapCanvas *m_canvas = nullptr;
    QLineEdit *m_search = nullptr;
    QListWidget *m_matches = nullptr;
    QPushButton *m_walk = nullptr;
    QTimer m_refresh;
    bool m_hasRoomData = false;
};

} // namespace wren
