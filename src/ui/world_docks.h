// SPDX-License-Identifier: GPL-3.0-or-later
// The panels beside the selected session's view: game data (gauges and the room line) and the map, with
// the protocol inspector and the game data settings, all following the selected session.
#pragma once

#include "gamedata/game_data_settings.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <functional>

class QAction;
class QDialog;
class QDockWidget;
class QMainWindow;
class QMenu;

namespace wren {

class GameDataPanel;
class MapPanel;
class ProtocolInspector;
class TClient;
class Workspace;

/// Shows the selected session's game data and map in docks of the main window. Each dock is on for a world
/// until the player hides it (Window menu, or /MAP for the map), which is remembered per world
/// ("Panels/GameData", "Panels/Map"); a dock that is on still stays hidden until the world sends what it
/// shows.
class WorldDocks : public QObject
{
    Q_OBJECT
public:
    /// Adds the docks to @p window and their items to @p windowMenu and @p optionsMenu.
    WorldDocks(QMainWindow &window, Workspace &workspace, QMenu &windowMenu, QMenu &optionsMenu);

    GameDataPanel *GamePanel() const { return m_gamePanel; }
    MapPanel *Map() const { return m_mapPanel; }
    QDockWidget *GameDock() const { return m_gameDock; }
    QDockWidget *MapDock() const { return m_mapDock; }
    QAction *GameAction() const { return m_gameAction; }
    QAction *MapAction() const { return m_mapAction; }
    QAction *InspectorAction() const { return m_inspectorAction; }
    QAction *SettingsAction() const { return m_settingsAction; }
    ProtocolInspector *Inspector() const;
    /// Opens the selected session's game data settings; the dialog is handed to @p beforeExec first (tests).
    void OpenSettings();

    /// Called with the settings dialog before it is shown modally (tests answer it).
    std::function<void(QDialog *dialog)> BeforeDialog;

private:
    void Follow(TClient *session);
    void Forget(TClient *session);
    void OpenInspector();
    void SetShown(bool map, bool on);
    void Refresh();

    QMainWindow &m_window;
    Workspace &m_workspace;
    QPointer<TClient> m_session;
    QDockWidget *m_gameDock = nullptr;
    QDockWidget *m_mapDock = nullptr;
    GameDataPanel *m_gamePanel = nullptr;
    MapPanel *m_mapPanel = nullptr;
    QAction *m_gameAction = nullptr;
    QAction *m_mapAction = nullptr;
    QAction *m_inspectorAction = nullptr;
    QAction *m_settingsAction = nullptr;
    QPointer<ProtocolInspector> m_inspector;
    GameDataSettings m_shownSettings; ///< what the game data panel was last set to show
    QList<QMetaObject::Connection> m_sessionLinks;
};

} // namespace wren
