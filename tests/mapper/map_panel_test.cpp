// SPDX-License-Identifier: GPL-3.0-or-later
// The map panel offscreen: it paints, follows the player, walks on a double-click, finds rooms, speaks to screen readers.
#include "mapper/map_model.h"
#include "support/test_support.h"
#include "ui/map_canvas.h"
#include "ui/map_panel.h"

#include <QAccessible>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <set>

using namespace wren;

namespace {

RoomRecord MakeRoom(const QByteArray &id, const QByteArray &name, std::vector<RoomExit> exits, int x, int y, int z = 0)
{
    RoomRecord room;
    room.Id = id;
    room.Name = name;
    room.Area = "Midgaard";
    room.Exits = std::move(exits);
    room.HasCoordinates = true;
    room.X = x;
    room.Y = y;
    room.Z = z;
    return room;
}

/// Temple (0,0) with the altar north of it, the market east (one way: no way back), a tower above.
void FillTown(MapModel &map)
{
    map.Arrive(MakeRoom("altar", "The Altar", {{"s", "temple"}}, 0, 1));
    map.Arrive(MakeRoom("market", "Market Square", {}, 1, 0));
    map.Arrive(MakeRoom("tower", "Tower Top", {{"d", "temple"}}, 0, 0, 1));
    map.Arrive(MakeRoom("temple", "Temple Square", {{"n", "altar"}, {"e", "market"}, {"u", "tower"}, {"w", "unseen"}}, 0, 0));
}

class MapPanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FillTown(m_map);
        m_panel.resize(400, 400);
        m_panel.SetModel(&m_map);
        m_panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_panel));
    }

    MapCanvas &Canvas() { return *m_panel.Canvas(); }

    MapModel m_map;
    MapPanel m_panel;
};

TEST_F(MapPanelTest, PaintsThePlayersRoomInTheMiddleAtEveryZoom)
{
    for (double cell : {MapCanvas::MinCellSize, 3.0, MapCanvas::ExitCellSize, MapCanvas::RasterCellSize, MapCanvas::DefaultCellSize, MapCanvas::MaxCellSize}) {
        Canvas().SetCellSize(cell);
        const QImage image = Canvas().grab().toImage();
        const QColor middle = image.pixelColor(image.width() / 2, image.height() / 2);
        EXPECT_NE(middle, QColor(0x1c, 0x1f, 0x24)) << "cell size " << cell; // a room is drawn there
    }
    Canvas().SetCellSize(MapCanvas::DefaultCellSize);
    const QRect temple = Canvas().RoomRect("temple");
    ASSERT_FALSE(temple.isEmpty());
    EXPECT_LT((temple.center() - Canvas().rect().center()).manhattanLength(), 3);
    EXPECT_TRUE(Canvas().RoomRect("tower").isEmpty()); // another level
}

TEST_F(MapPanelTest, OneWayExitsLookDifferentFromTwoWayOnes)
{
    Canvas().SetCellSize(MapCanvas::DefaultCellSize);
    const QImage image = Canvas().grab().toImage();
    const QPoint temple = Canvas().RoomRect("temple").center();
    const auto coloursBetween = [&](const QPoint &to) {
        std::set<QRgb> colours;
        for (int i = 1; i < 20; ++i) {
            const QPoint at = temple + (to - temple) * i / 20;
            for (const QPoint near : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)})
                colours.insert(image.pixel(at + near) & 0xffffff);
        }
        return colours;
    };
    const std::set<QRgb> twoWay = coloursBetween(Canvas().RoomRect("altar").center());
    const std::set<QRgb> oneWay = coloursBetween(Canvas().RoomRect("market").center());
    EXPECT_TRUE(oneWay.count(0xe08a3c)) << "the one-way exit to the market has a colour of its own";
    EXPECT_FALSE(twoWay.count(0xe08a3c));
    EXPECT_TRUE(twoWay.count(0x9aa0a8));
}

TEST_F(MapPanelTest, FollowsThePlayerAndTheirLevel)
{
    m_map.Arrive(MakeRoom("tower", "Tower Top", {{"d", "temple"}}, 0, 0, 1), "u");
    m_panel.Refresh();
    EXPECT_EQ(Canvas().ShownLevel(), 1);
    EXPECT_FALSE(Canvas().RoomRect("tower").isEmpty());
    EXPECT_TRUE(Canvas().RoomRect("temple").isEmpty());
}

TEST_F(MapPanelTest, DoubleClickOnARoomAsksToWalkThere)
{
    QSignalSpy walk(&m_panel, &MapPanel::WalkRequested);
    const QRect market = Canvas().RoomRect("market");
    ASSERT_FALSE(market.isEmpty());
    QTest::mouseDClick(&Canvas(), Qt::LeftButton, {}, market.center());
    ASSERT_EQ(walk.count(), 1);
    EXPECT_EQ(walk.at(0).at(0).toByteArray(), "market");
    QTest::mouseDClick(&Canvas(), Qt::LeftButton, {}, QPoint(2, 2)); // no room there
    EXPECT_EQ(walk.count(), 1);
}

TEST_F(MapPanelTest, SearchFindsARoomCentresOnItAndWalks)
{
    QSignalSpy walk(&m_panel, &MapPanel::WalkRequested);
    QTest::keyClicks(m_panel.SearchBox(), QStringLiteral("altar"));
    ASSERT_EQ(m_panel.Matches()->count(), 1);
    EXPECT_EQ(m_panel.Matches()->item(0)->text(), QStringLiteral("The Altar, Midgaard, exits: south"));
    QTest::keyClick(m_panel.SearchBox(), Qt::Key_Return);
    EXPECT_EQ(Canvas().SelectedRoom(), "altar");
    EXPECT_EQ(Canvas().Centre(), QPointF(0, 1));
    EXPECT_TRUE(m_panel.WalkButton()->isEnabled());
    QTest::mouseClick(m_panel.WalkButton(), Qt::LeftButton);
    ASSERT_EQ(walk.count(), 1);
    EXPECT_EQ(walk.at(0).at(0).toByteArray(), "altar");
    m_panel.SearchBox()->setText(QStringLiteral("nothing like it"));
    EXPECT_EQ(m_panel.Matches()->count(), 1); // the line saying so
    QTest::keyClick(m_panel.SearchBox(), Qt::Key_Return);
    EXPECT_EQ(Canvas().SelectedRoom(), "altar");
}

TEST_F(MapPanelTest, KeyboardZoomsPansSelectsAndWalks)
{
    QSignalSpy walk(&m_panel, &MapPanel::WalkRequested);
    Canvas().setFocus();
    const double cell = Canvas().CellSize();
    QTest::keyClick(&Canvas(), Qt::Key_Plus);
    EXPECT_GT(Canvas().CellSize(), cell);
    QTest::keyClick(&Canvas(), Qt::Key_Minus);
    EXPECT_DOUBLE_EQ(Canvas().CellSize(), cell);
    QTest::keyClick(&Canvas(), Qt::Key_Right);
    EXPECT_GT(Canvas().Centre().x(), 0);
    QTest::keyClick(&Canvas(), Qt::Key_Home);
    EXPECT_EQ(Canvas().Centre(), QPointF(0, 0));
    QTest::keyClick(&Canvas(), Qt::Key_Right, Qt::ShiftModifier); // the room east of the middle
    EXPECT_EQ(Canvas().SelectedRoom(), "market");
    QTest::keyClick(&Canvas(), Qt::Key_Return);
    ASSERT_EQ(walk.count(), 1);
    EXPECT_EQ(walk.at(0).at(0).toByteArray(), "market");
    QTest::keyClick(&Canvas(), Qt::Key_PageUp);
    EXPECT_EQ(Canvas().ShownLevel(), 1);
}

QStringList ChildNames(QAccessibleInterface *map)
{
    QStringList names;
    for (int i = 0; i < map->childCount(); ++i)
        names.append(map->child(i)->text(QAccessible::Name));
    return names;
}

TEST_F(MapPanelTest, WheelZoomsAroundThePointerAndDragPans)
{
    const QPoint market = Canvas().RoomRect("market").center();
    const double cell = Canvas().CellSize();
    QWheelEvent wheel(market, Canvas().mapToGlobal(market), {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&Canvas(), &wheel);
    EXPECT_DOUBLE_EQ(Canvas().CellSize(), cell * MapCanvas::ZoomStep);
    EXPECT_LT((Canvas().RoomRect("market").center() - market).manhattanLength(), 3); // still under the pointer
    const QPointF centre = Canvas().Centre();
    QTest::mousePress(&Canvas(), Qt::LeftButton, {}, QPoint(100, 100));
    QMouseEvent move(QEvent::MouseMove, QPointF(150, 100), Canvas().mapToGlobal(QPointF(150, 100)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Canvas(), &move);
    QTest::mouseRelease(&Canvas(), Qt::LeftButton, {}, QPoint(150, 100));
    EXPECT_DOUBLE_EQ(Canvas().Centre().x(), centre.x() - 50 / Canvas().CellSize()); // the map moved with the pointer
    EXPECT_TRUE(Canvas().SelectedRoom().isEmpty());                                  // a drag is not a click
}

TEST_F(MapPanelTest, ScreenReadersHearTheRoomsAroundThePlayer)
{
    QAccessibleInterface *map = QAccessible::queryAccessibleInterface(&Canvas());
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->role(), QAccessible::List);
    EXPECT_EQ(map->text(QAccessible::Name), QStringLiteral("Map: Temple Square, Midgaard, exits: north, east, west, up"));
    // The player's room, then where its exits lead.
    EXPECT_EQ(ChildNames(map), (QStringList{QStringLiteral("Temple Square, Midgaard, exits: north, east, west, up"),
                                            QStringLiteral("The Altar, Midgaard, exits: south"),
                                            QStringLiteral("Market Square, Midgaard, no exits"),
                                            QStringLiteral("Room unseen, not visited"),
                                            QStringLiteral("Tower Top, Midgaard, exits: down")}));
    m_map.Arrive(MakeRoom("altar", "The Altar", {{"s", "temple"}}, 0, 1), "n");
    m_panel.Refresh();
    EXPECT_EQ(ChildNames(map), (QStringList{QStringLiteral("The Altar, Midgaard, exits: south"),
                                            QStringLiteral("Temple Square, Midgaard, exits: north, east, west, up")}));
}

TEST_F(MapPanelTest, EachRoomForScreenReadersSaysWhereItIs)
{
    QAccessibleInterface *map = QAccessible::queryAccessibleInterface(&Canvas());
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(map->childCount(), 5);
    QAccessibleInterface *altar = map->child(1);
    EXPECT_EQ(altar->text(QAccessible::Description), QStringLiteral("north of your room"));
    EXPECT_EQ(map->child(0)->text(QAccessible::Description), QStringLiteral("your room"));
    EXPECT_EQ(map->indexOfChild(altar), 1);
    EXPECT_EQ(altar->parent(), map);
    EXPECT_EQ(altar->rect().center(), Canvas().mapToGlobal(Canvas().RoomRect("altar").center()));
    EXPECT_TRUE(altar->state().selectable);
    EXPECT_TRUE(map->child(4)->state().invisible); // the tower is on the level above
    Canvas().SelectRoom("altar");
    EXPECT_TRUE(altar->state().selected);
    EXPECT_EQ(map->focusChild(), altar);
}

TEST_F(MapPanelTest, HoverShowsTheRoomsName)
{
    const QRect altar = Canvas().RoomRect("altar");
    EXPECT_EQ(Canvas().RoomAt(altar.center()), "altar");
    QHelpEvent help(QEvent::ToolTip, altar.center(), Canvas().mapToGlobal(altar.center()));
    EXPECT_TRUE(QApplication::sendEvent(&Canvas(), &help));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("The Altar, Midgaard, exits: south"));
}

TEST(MapPanel, StaysWithoutRoomDataUntilTheWorldSendsSomeAndRepaintsOncePerBurst)
{
    MapModel map;
    MapPanel panel;
    panel.resize(300, 300);
    QSignalSpy hasRooms(&panel, &MapPanel::HasRoomDataChanged);
    panel.SetModel(&map);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    EXPECT_FALSE(panel.property("hasRoomData").toBool());
    test::Pump(50);
    const quint64 paints = panel.Canvas()->PaintCount();
    for (int i = 0; i < 1000; ++i)
        map.Arrive(MakeRoom(QByteArray::number(i), "Road", {}, i, 0), "e");
    EXPECT_TRUE(test::WaitFor([&] { return panel.property("hasRoomData").toBool(); }));
    test::Pump(MapPanel::RefreshIntervalMs * 3);
    EXPECT_LE(panel.Canvas()->PaintCount() - paints, 3U);
    EXPECT_EQ(hasRooms, QList<QVariantList>{{true}});
    EXPECT_EQ(panel.Canvas()->Centre(), QPointF(999, 0)); // follows the player
}

TEST(MapPanel, ModelGoneLeavesAnEmptyPanel)
{
    MapPanel panel;
    {
        MapModel map;
        FillTown(map);
        panel.SetModel(&map);
        EXPECT_TRUE(panel.HasRoomData());
    }
    panel.Refresh();
    EXPECT_FALSE(panel.HasRoomData());
    panel.resize(200, 200);
    EXPECT_FALSE(panel.Canvas()->grab().isNull());
}

} // namespace
