// SPDX-License-Identifier: GPL-3.0-or-later
// The game data and map docks on the demo world: shown once it sends what they show, hidden per world and
// remembered, the protocol inspector's record, the settings dialog, and a walk from the map panel.
#include "config/app_settings.h"
#include "config/program_folder.h"
#include "demo/demo_world.h"
#include "gamedata/game_data_settings.h"
#include "mapper/directions.h"
#include "mapper/map_model.h"
#include "session/client.h"
#include "support/test_support.h"
#include "ui/game_data_panel.h"
#include "ui/game_data_settings_dialog.h"
#include "ui/main_window.h"
#include "ui/map_panel.h"
#include "ui/protocol_inspector.h"
#include "ui/world_docks.h"

#include <QAction>
#include <QCheckBox>
#include <QDockWidget>
#include <QProgressBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::WaitFor;

namespace {

class WorldDocksTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.path());
        ASSERT_TRUE(m_demo.listen(QHostAddress::LocalHost, 0));
        m_window = std::make_unique<TfrmMain>(m_globals);
        m_window->ShowMessage = [](const QString &) {};
        m_window->show();
    }
    /// Opens the demo world in a new tab and logs in.
    TClient *Play()
    {
        m_window->NewWindow("Demo", "127.0.0.1", m_demo.port(), true);
        TClient *session = m_window->Sessions().Current();
        EXPECT_TRUE(WaitFor([&] { return session->Display.PlainText().contains(QStringLiteral("known?")); }));
        session->ProcessCommand("Tester");
        EXPECT_TRUE(WaitFor([&] { return session->Display.PlainText().contains(QStringLiteral("Password")); }));
        session->SendSecret("x");
        return session;
    }
    WorldDocks &Docks() const { return *m_window->Docks(); }

    QTemporaryDir m_folder;
    TGlobals m_globals;
    demo::DemoWorld m_demo;
    std::unique_ptr<TfrmMain> m_window;
};

} // namespace

TEST_F(WorldDocksTest, DocksComeOnWithTheWorldsDataAndTheChoiceToHideThemIsKeptPerWorld)
{
    EXPECT_FALSE(Docks().GameDock()->isVisible());
    EXPECT_FALSE(Docks().MapDock()->isVisible());
    TClient *session = Play();
    ASSERT_TRUE(WaitFor([&] { return Docks().GameDock()->isVisible() && Docks().MapDock()->isVisible(); }));
    ASSERT_TRUE(WaitFor([&] { return Docks().GamePanel()->Bar(Gauge::Health)->isVisible(); }));
    EXPECT_GT(Docks().GamePanel()->Bar(Gauge::Health)->maximum(), 0);
    EXPECT_GT(session->Map().Model()->RoomCount(), 0);
    EXPECT_EQ(Docks().Map()->Model(), session->Map().Model()) << "the panel draws the world's map, loaded after the tab";

    session->ProcessCommand("/MAP");
    EXPECT_FALSE(Docks().MapDock()->isVisible());
    EXPECT_FALSE(Docks().MapAction()->isChecked());
    Docks().GameAction()->trigger();
    EXPECT_FALSE(Docks().GameDock()->isVisible());
    const QByteArray port = QByteArray::number(m_demo.port());
    EXPECT_FALSE(AppSettings().WorldValue("127.0.0.1", port, QStringLiteral("Panels/Map"), true).toBool());

    // Another world's session shows nothing until its world sends something; back on this one, the choice holds.
    m_window->NewWindow("Elsewhere", "127.0.0.1", 9, false);
    EXPECT_FALSE(Docks().GameDock()->isVisible());
    m_window->Sessions().SetCurrent(session->Index);
    EXPECT_FALSE(Docks().MapDock()->isVisible());
    session->ProcessCommand("/MAP show");
    EXPECT_TRUE(Docks().MapDock()->isVisible());
}

TEST_F(WorldDocksTest, TheInspectorRecordsTheNegotiationAndTheSettingsDialogAppliesAtOnce)
{
    TClient *session = Play();
    ASSERT_TRUE(WaitFor([&] { return session->GameSide().Spoke(); }));
    Docks().InspectorAction()->trigger();
    ProtocolInspector *inspector = Docks().Inspector();
    ASSERT_NE(inspector, nullptr);
    ASSERT_TRUE(WaitFor([&] { return inspector->Model()->rowCount() > 3; }));
    const QString text = inspector->CopyText();
    EXPECT_TRUE(text.contains(QStringLiteral("IAC WILL GMCP"))) << text.left(400).toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Core.Hello")));

    Docks().BeforeDialog = [](QDialog *dialog) {
        auto *settings = static_cast<GameDataSettingsDialog *>(dialog);
        settings->PanelBox()->setChecked(false);
        QMetaObject::invokeMethod(dialog, &QDialog::accept, Qt::QueuedConnection);
    };
    Docks().SettingsAction()->trigger();
    EXPECT_FALSE(session->GameSide().Settings().Panel);
    EXPECT_FALSE(Docks().GameDock()->isVisible()) << "the panel switched off for the world";
    EXPECT_FALSE(GameDataSettings::Load(AppSettings(), "127.0.0.1", QByteArray::number(m_demo.port())).Panel);

    // The session going closes its inspector rather than leave it reading a log that is gone.
    m_window->Sessions().CloseCurrent();
    EXPECT_TRUE(WaitFor([&] { return Docks().Inspector() == nullptr; }));
}

TEST_F(WorldDocksTest, AWalkAskedOfTheMapPanelGoesToTheSession)
{
    TClient *session = Play();
    ASSERT_TRUE(WaitFor([&] { return session->Map().Model() && !session->Map().Model()->CurrentRoom().isEmpty(); }));
    const QByteArray start = session->Map().Model()->CurrentRoom();
    const StoredRoom here = session->Map().Model()->Room(start);
    ASSERT_FALSE(here.Exits.empty());
    session->ProcessCommand(LongName(here.Exits.front().Direction));
    ASSERT_TRUE(WaitFor([&] { return session->Map().Model()->CurrentRoom() != start; }));
    emit Docks().Map()->WalkRequested(start);
    EXPECT_TRUE(WaitFor([&] { return session->Map().Model()->CurrentRoom() == start; }));
}
