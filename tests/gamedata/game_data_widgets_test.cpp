// SPDX-License-Identifier: GPL-3.0-or-later
// The game data panel, its settings form and the protocol inspector on real widgets (offscreen).
#include "gamedata/game_data.h"
#include "gamedata/gmcp.h"
#include "gamedata/protocol_log.h"
#include "support/test_support.h"
#include "ui/game_data_panel.h"
#include "ui/game_data_settings_dialog.h"
#include "ui/protocol_inspector.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::WaitFor;

namespace
{

void Gmcp(GameData &data, const char *payload)
{
    const gmcp::Message message = gmcp::Parse(payload);
    ASSERT_TRUE(message.Ok()) << payload;
    data.ApplyGmcp(message.Package, message.Data);
}

class PanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_panel = new GameDataPanel(&m_window);
        m_window.resize(600, 120);
        m_window.show();
        m_panel->SetData(&m_data);
    }
    bool Shown() const { return m_panel->isVisibleTo(&m_window); }
    QProgressBar *Bar(Gauge gauge) const { return m_panel->Bar(gauge); }

    QWidget m_window;
    GameDataPanel *m_panel = nullptr;
    GameData m_data;
};

TEST_F(PanelTest, HiddenUntilTheWorldSendsWhatItShows)
{
    EXPECT_FALSE(Shown());
    m_data.ApplyMssp("NAME", { "Wren Demo" });
    m_panel->RefreshNow();
    EXPECT_FALSE(Shown()) << "server status alone shows nothing";

    Gmcp(m_data, R"(Char.Vitals {"hp":42,"maxhp":50,"mp":"7","maxmp":"9"})");
    ASSERT_TRUE(WaitFor([&] { return Shown(); }));
    EXPECT_EQ(Bar(Gauge::Health)->text(), QStringLiteral("42 / 50"));
    EXPECT_EQ(Bar(Gauge::Health)->value(), 840);
    EXPECT_EQ(Bar(Gauge::Health)->accessibleName(), QStringLiteral("Health"));
    EXPECT_EQ(Bar(Gauge::Health)->accessibleDescription(), QStringLiteral("42 / 50"));
    EXPECT_EQ(Bar(Gauge::Mana)->text(), QStringLiteral("7 / 9"));
    EXPECT_FALSE(Bar(Gauge::Movement)->isVisibleTo(&m_window)) << "the world reports no movement";
    EXPECT_FALSE(m_panel->RoomLine()->isVisibleTo(&m_window));

    // A value above its maximum fills the bar and still says what it is; no maximum shows the value alone.
    Gmcp(m_data, R"(Char.Vitals {"hp":60,"mv":12})");
    m_panel->RefreshNow();
    EXPECT_EQ(Bar(Gauge::Health)->value(), 1000);
    EXPECT_EQ(Bar(Gauge::Health)->text(), QStringLiteral("60 / 50"));
    EXPECT_EQ(Bar(Gauge::Movement)->text(), QStringLiteral("12"));
    EXPECT_TRUE(Bar(Gauge::Movement)->isVisibleTo(&m_window));

    m_panel->SetAllowed(false);
    EXPECT_FALSE(Shown()) << "switched off for the world";
    m_panel->SetAllowed(true);
    EXPECT_TRUE(Shown());
    m_data.Clear();
    ASSERT_TRUE(WaitFor([&] { return !Shown(); })) << "a new connection starts hidden";
}

TEST_F(PanelTest, ManyMessagesCostOneRefresh)
{
    const int before = m_panel->RefreshCount();
    for (int hp = 0; hp < 200; ++hp)
        m_data.ApplyGmcp("Char.Vitals", QJsonObject { { QStringLiteral("hp"), hp }, { QStringLiteral("maxhp"), 200 } });
    EXPECT_EQ(m_panel->RefreshCount(), before) << "nothing is repainted per message";
    ASSERT_TRUE(WaitFor([&] { return m_panel->RefreshCount() > before; }));
    test::Pump(50);
    EXPECT_EQ(m_panel->RefreshCount(), before + 1);
    EXPECT_EQ(Bar(Gauge::Health)->text(), QStringLiteral("199 / 200"));
}

TEST_F(PanelTest, RoomLineIsPlainTextAndMappingIsFollowed)
{
    Gmcp(m_data, R"(Room.Info {"name":"<b>Caf\u00e9</b>","area":"Wrenhaven","exits":{"w":1000,"n":1,"d":3}})");
    m_panel->RefreshNow();
    EXPECT_TRUE(Shown());
    EXPECT_EQ(m_panel->RoomLine()->textFormat(), Qt::PlainText) << "a world's text is never markup";
    EXPECT_EQ(m_panel->RoomLine()->text(), QStringLiteral("<b>Caf\u00e9</b> \u2014 Wrenhaven    Exits: n, w, d"));

    GaugeMapping mapping;
    mapping[Gauge::Health] = { "gmcp.Char.Status.life", "gmcp.Char.Status.top" };
    m_panel->SetMapping(mapping);
    Gmcp(m_data, R"(Char.Status {"life":"5","top":"10"})");
    ASSERT_TRUE(WaitFor([&] { return Bar(Gauge::Health)->isVisibleTo(&m_window); }));
    EXPECT_EQ(Bar(Gauge::Health)->text(), QStringLiteral("5 / 10"));
}

TEST(PanelLifetime, DataGoingAwayHidesThePanel)
{
    QWidget window;
    auto *panel = new GameDataPanel(&window);
    window.show();
    {
        GameData data;
        panel->SetData(&data);
        Gmcp(data, R"(Char.Vitals {"hp":1,"maxhp":2})");
        panel->RefreshNow();
        EXPECT_TRUE(panel->isVisibleTo(&window));
    }
    ASSERT_TRUE(WaitFor([&] { return !panel->isVisibleTo(&window); }));
}

TEST(GameDataForm, EditsSettingsAndRefusesBadPaths)
{
    GameDataSettings settings;
    settings.Msdp = false;
    settings.GmcpModules = { "Char 1", "IRE.Rift 1" };
    settings.MsdpReports = { "GOLD" };
    settings.Gauges[Gauge::Mana] = { "msdp.SP", "msdp.SP_MAX" };
    GameDataSettingsDialog dialog(settings);
    EXPECT_EQ(dialog.Settings(), settings);
    EXPECT_FALSE(dialog.MsdpBox()->isChecked());
    EXPECT_EQ(dialog.ModulesEdit()->toPlainText(), QStringLiteral("Char 1\nIRE.Rift 1"));

    dialog.MsspBox()->setChecked(false);
    dialog.ReportsEdit()->setPlainText(QStringLiteral("GOLD\n\n  EXPERIENCE  \n"));
    dialog.ValuePath(Gauge::Health)->setText(QStringLiteral(" gmcp.Char.Vitals.life "));
    GameDataSettings expected = settings;
    expected.Mssp = false;
    expected.MsdpReports = { "GOLD", "EXPERIENCE" };
    expected.Gauges[Gauge::Health].Value = "gmcp.Char.Vitals.life";
    EXPECT_EQ(dialog.Settings(), expected);

    dialog.show();
    dialog.ValuePath(Gauge::Movement)->setText(QStringLiteral("Char.Vitals.mv"));
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible()) << "not accepted";
    EXPECT_TRUE(dialog.ProblemLabel()->isVisible());
    EXPECT_TRUE(dialog.ProblemLabel()->text().contains(QStringLiteral("Movement")))
        << dialog.ProblemLabel()->text().toStdString();
    dialog.ValuePath(Gauge::Movement)->clear();
    dialog.MaxPath(Gauge::Movement)->setText(QStringLiteral("msdp.MV_MAX"));
    EXPECT_TRUE(dialog.Problem().contains(QStringLiteral("needs a value path")));
    dialog.MaxPath(Gauge::Movement)->clear();
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    dialog.Show(GameDataSettings());
    EXPECT_EQ(dialog.Settings(), GameDataSettings()) << "the defaults";
}

class InspectorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_log.SetClock([] { return QDateTime(QDate(2024, 5, 1), QTime(9, 0, 1, 5)).toMSecsSinceEpoch(); });
        m_log.AddNegotiation(ProtocolLog::Direction::In, 251, 201);
        m_log.AddGmcp(ProtocolLog::Direction::Out, "Core.Hello {\"client\":\"Wren Client\"}");
        m_log.AddGmcp(ProtocolLog::Direction::In, "Char.Vitals {", "malformed JSON at byte 1: unterminated object");
    }
    QString Cell(const ProtocolInspector &inspector, int row, int column) const
    {
        return inspector.Model()->index(row, column).data().toString();
    }

    ProtocolLog m_log;
};

TEST_F(InspectorTest, ListsEntriesWithErrorsAndCopies)
{
    ProtocolInspector inspector(&m_log);
    inspector.show();
    ASSERT_EQ(inspector.Model()->rowCount(), 3);
    EXPECT_EQ(Cell(inspector, 0, ProtocolLogModel::TimeColumn), QStringLiteral("09:00:01.005"));
    EXPECT_EQ(Cell(inspector, 0, ProtocolLogModel::MessageColumn), QStringLiteral("IAC WILL GMCP"));
    EXPECT_EQ(Cell(inspector, 1, ProtocolLogModel::DirectionColumn), QStringLiteral("out"));
    EXPECT_EQ(Cell(inspector, 2, ProtocolLogModel::KindColumn), QStringLiteral("GMCP"));
    EXPECT_EQ(Cell(inspector, 2, ProtocolLogModel::ErrorColumn),
        QStringLiteral("malformed JSON at byte 1: unterminated object"));
    EXPECT_TRUE(inspector.Model()->index(2, 0).data(Qt::ForegroundRole).isValid()) << "an error row stands out";
    EXPECT_FALSE(inspector.Model()->index(1, 0).data(Qt::ForegroundRole).isValid());

    EXPECT_EQ(inspector.CopyText().count(QLatin1Char('\n')), 3) << "nothing selected: everything";
    // The keyboard: the table has the focus, arrows move, Ctrl+C copies the selected rows.
    QTest::keyClick(inspector.View(), Qt::Key_Home);
    QTest::keyClick(inspector.View(), Qt::Key_Down);
    QTest::keyClick(inspector.View(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
        QStringLiteral("09:00:01.005 out GMCP   Core.Hello {\"client\":\"Wren Client\"}\n"));

    QTest::mouseClick(inspector.ClearButton(), Qt::LeftButton);
    EXPECT_EQ(inspector.Model()->rowCount(), 0);
    EXPECT_TRUE(m_log.Entries().empty());
}

TEST_F(InspectorTest, FollowsTheLogOncePerFrameWithinItsCap)
{
    ProtocolInspector inspector(&m_log);
    inspector.show();
    for (int i = 0; i < ProtocolLog::MaxEntries + 500; ++i)
        m_log.AddMsdp(ProtocolLog::Direction::In, "\x01HEALTH\x02" + QByteArray::number(i));
    EXPECT_EQ(inspector.Model()->rowCount(), 3) << "rows follow at the next frame, not per message";
    // Rows whose entries are gone meanwhile read as empty, never as freed memory.
    EXPECT_EQ(Cell(inspector, 0, ProtocolLogModel::MessageColumn), QString());
    ASSERT_TRUE(WaitFor([&] { return inspector.Model()->rowCount() == ProtocolLog::MaxEntries; }));
    EXPECT_EQ(Cell(inspector, 0, ProtocolLogModel::MessageColumn), QStringLiteral("HEALTH = 500"));
    EXPECT_EQ(Cell(inspector, ProtocolLog::MaxEntries - 1, ProtocolLogModel::MessageColumn),
        QStringLiteral("HEALTH = %1").arg(ProtocolLog::MaxEntries + 499));
}

} // namespace
