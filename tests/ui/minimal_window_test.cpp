// SPDX-License-Identifier: GPL-3.0-or-later
// The window's command box: Enter runs the text through the command pipeline to the world.
#include "config/program_folder.h"
#include "session/client.h"
#include "support/scripted_world.h"
#include "support/test_support.h"
#include "ui/minimal_window.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace wren;

TEST(MinimalWindow, EnterSendsTheBoxThroughTheCommandPipeline)
{
    QTemporaryDir folder;
    SetProgramFolder(folder.path());
    test::ScriptedWorld world;
    TGlobals globals;
    TClient client(globals);
    client.Automation.AddAlias("gg", "get gold;grin", "Main");
    MinimalWindow window(client);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    client.ConnectTo("127.0.0.1", world.Port());
    ASSERT_TRUE(test::WaitFor([&] { return world.Peer && client.IsConnected(); }));

    QTest::keyClicks(window.CommandBox(), QStringLiteral("gg;caf"));
    QKeyEvent accented(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("\u00e9"));
    QCoreApplication::sendEvent(window.CommandBox(), &accented);
    QTest::keyClick(window.CommandBox(), Qt::Key_Return);
    ASSERT_TRUE(test::WaitFor([&] { return world.Received.size() >= 22; }));
    EXPECT_EQ(world.Received, QByteArray("get gold\r\ngrin\r\ncaf\xe9\r\n"));
    EXPECT_TRUE(window.CommandBox()->text().isEmpty());
}
