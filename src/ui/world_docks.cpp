// SPDX-License-Identifier: GPL-3.0-or-later
// The game data and map docks, the protocol inspector and the game data settings, following the selected
// session.
#include "ui/world_docks.h"

#include "base/text_helpers.h"
#include "config/app_settings.h"
#include "gamedata/game_data_settings.h"
#include "mapper/map_model.h"
#include "session/client.h"
#include "session/workspace.h"
#include "ui/game_data_panel.h"
#include "ui/game_data_settings_dialog.h"
#include "ui/map_panel.h"
#include "ui/protocol_inspector.h"

#include <QAction>
#include <QDockWidget>
#include <QMainWindow>
#include <QMenu>

namespace wren {

namespace {

QString PanelKey(bool map)
{
    return map ? QStringLiteral("Panels/Map") : QStringLiteral("Panels/GameData");
}

QByteArray HostOf(const TClient &session)
{
    return TrimBlanks(session.Options.Host);
}

QByteArray PortOf(const TClient &session)
{
    return TrimBlanks(session.Options.Port);
}

} // namespace

WorldDocks::WorldDocks(QMainWindow &window, Workspace &workspace, QMenu &windowMenu, QMenu &optionsMenu)
    : QObject(&window)
    , m_window(window)
    , m_workspace(workspace)
{
    m_gamePanel = new GameDataPanel;
    m_gameDock = new QDockWidget(QStringLiteral("Game data"), &window);
    m_gameDock->setObjectName(QStringLiteral("gamedatadock"));
    m_gameDock->setWidget(m_gamePanel);
    window.addDockWidget(Qt::TopDockWidgetArea, m_gameDock);
    m_gameDock->hide();

    m_mapPanel = new MapPanel;
    m_mapDock = new QDockWidget(QStringLiteral("Map"), &window);
    m_mapDock->setObjectName(QStringLiteral("mapdock"));
    m_mapDock->setWidget(m_mapPanel);
    window.addDockWidget(Qt::RightDockWidgetArea, m_mapDock);
    m_mapDock->hide();

    windowMenu.addSeparator();
    m_gameAction
        = windowMenu.addAction(QStringLiteral("&Game data panel"), this, [this](bool on) { SetShown(false, on); });
    m_gameAction->setCheckable(true);
    m_mapAction = windowMenu.addAction(QStringLiteral("&Map panel"), this, [this](bool on) { SetShown(true, on); });
    m_mapAction->setCheckable(true);
    m_inspectorAction
        = windowMenu.addAction(QStringLiteral("&Protocol inspector..."), this, &WorldDocks::OpenInspector);
    m_settingsAction = optionsMenu.addAction(QStringLiteral("&Game data..."), this, &WorldDocks::OpenSettings);

    // The dock's own close button is the same choice as the menu's.
    connect(m_gameDock->toggleViewAction(), &QAction::triggered, this, [this](bool on) { SetShown(false, on); });
    connect(m_mapDock->toggleViewAction(), &QAction::triggered, this, [this](bool on) { SetShown(true, on); });
    connect(m_mapPanel, &MapPanel::WalkRequested, this, [this](const QByteArray &room) {
        if (m_session && !m_session->IsClosing())
            m_session->Map().Walk(room);
    });
    connect(&workspace, &Workspace::CurrentChanged, this, [this] { Follow(m_workspace.Current()); });
    connect(&workspace, &Workspace::SessionRemoved, this, [this](int, TClient *session) { Forget(session); });
    Follow(workspace.Current());
}

// Shows the selected session's data and map, and listens to what changes whether its docks show.
void WorldDocks::Follow(TClient *session)
{
    for (const QMetaObject::Connection &link : std::as_const(m_sessionLinks))
        disconnect(link);
    m_sessionLinks.clear();
    m_session = session;
    m_gamePanel->SetData(session ? &session->GameSide().Data() : nullptr);
    m_mapPanel->SetModel(session ? session->Map().Model() : nullptr);
    if (m_inspector && m_inspector->property("session").value<QObject *>() != session)
        m_inspector->close();
    if (session) {
        m_shownSettings = session->GameSide().Settings();
        m_gamePanel->SetMapping(m_shownSettings.Gauges);
        m_gamePanel->SetAllowed(m_shownSettings.Panel);
        GameData *data = &session->GameSide().Data();
        const auto refresh = [this] { Refresh(); };
        m_sessionLinks << connect(data, &GameData::GmcpChanged, this, refresh)
                       << connect(data, &GameData::MsdpChanged, this, refresh)
                       << connect(data, &GameData::Cleared, this, refresh);
        MapSide *map = &session->Map();
        m_sessionLinks << connect(map, &MapSide::RoomDataArrived, this, refresh)
                       << connect(map, &MapSide::ShowWanted, this, [this](bool on) { SetShown(true, on); })
                       << connect(map, &MapSide::ToggleWanted, this,
                                  [this] { SetShown(true, !m_mapAction->isChecked()); });
    }
    Refresh();
}

void WorldDocks::Forget(TClient *session)
{
    if (session == m_session)
        Follow(nullptr);
}

// Each dock shows when the player wants it for the world and the world has sent what it shows.
void WorldDocks::Refresh()
{
    const bool any = m_session != nullptr;
    bool wantGame = false, wantMap = false;
    if (any) {
        const AppSettings settings;
        wantGame = settings.WorldValue(HostOf(*m_session), PortOf(*m_session), PanelKey(false), true).toBool();
        wantMap = settings.WorldValue(HostOf(*m_session), PortOf(*m_session), PanelKey(true), true).toBool();
    }
    m_gameAction->setEnabled(any);
    m_mapAction->setEnabled(any && m_session->Map().Model());
    m_inspectorAction->setEnabled(any);
    m_settingsAction->setEnabled(any);
    m_gameAction->setChecked(wantGame);
    m_mapAction->setChecked(wantMap);
    // A new tab is selected before its world's files and map are loaded, and a connection loads the world's
    // game data settings: what the panels show is caught up here.
    MapModel *model = any ? m_session->Map().Model() : nullptr;
    if (m_mapPanel->Model() != model)
        m_mapPanel->SetModel(model);
    if (any && !(m_session->GameSide().Settings() == m_shownSettings)) {
        m_shownSettings = m_session->GameSide().Settings();
        m_gamePanel->SetMapping(m_shownSettings.Gauges);
        m_gamePanel->SetAllowed(m_shownSettings.Panel);
    }
    const bool gameData = any && m_session->GameSide().Settings().Panel && m_session->GameSide().Spoke();
    const bool rooms = model && model->RoomCount() > 0;
    if (m_gameDock->isHidden() == (wantGame && gameData))
        m_gameDock->setVisible(wantGame && gameData);
    if (m_mapDock->isHidden() == (wantMap && rooms))
        m_mapDock->setVisible(wantMap && rooms);
}

void WorldDocks::SetShown(bool map, bool on)
{
    if (!m_session)
        return;
    AppSettings settings;
    settings.SetWorldValue(HostOf(*m_session), PortOf(*m_session), PanelKey(map), on);
    Refresh();
}

ProtocolInspector *WorldDocks::Inspector() const
{
    return m_inspector.data();
}

void WorldDocks::OpenInspector()
{
    if (!m_session)
        return;
    if (!m_inspector) {
        m_inspector = new ProtocolInspector(&m_session->GameSide().Log(), &m_window);
        m_inspector->setAttribute(Qt::WA_DeleteOnClose);
        m_inspector->setProperty("session", QVariant::fromValue<QObject *>(m_session.data()));
        m_inspector->setWindowTitle(QStringLiteral("Protocol inspector: ")
                                    + QString::fromLocal8Bit(TrimBlanks(m_session->Options.WorldName)));
    }
    m_inspector->show();
    m_inspector->raise();
    m_inspector->activateWindow();
}

void WorldDocks::OpenSettings()
{
    QPointer<TClient> session = m_session;
    if (!session)
        return;
    const QByteArray host = HostOf(*session), port = PortOf(*session);
    GameDataSettingsDialog dialog(GameDataSettings::Load(AppSettings(), host, port), &m_window);
    if (BeforeDialog)
        BeforeDialog(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The dialog waited in its own event loop: the session may be gone, and its settings are saved anyway.
    const GameDataSettings settings = dialog.Settings();
    AppSettings store;
    settings.Save(store, host, port);
    if (!session || session->IsClosing())
        return;
    session->GameSide().SetSettings(settings);
    session->Features.Gmcp = settings.Gmcp;
    session->Features.Msdp = settings.Msdp;
    session->Features.Mssp = settings.Mssp;
    if (session == m_session)
        Refresh();
}

} // namespace wren
