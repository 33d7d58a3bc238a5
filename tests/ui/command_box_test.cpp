// SPDX-License-Identifier: GPL-3.0-or-later
// The command box with real key events: history, tab completion, macro keys, Ctrl+Tab, the scroll keys,
// Enter, and what reaches the world.
#include "config/program_folder.h"
#include "session/client.h"
#include "support/scripted_world.h"
#include "support/test_support.h"
#include "options/options_dialog.h"
#include "ui/command_box.h"
#include "ui/connection_manager.h"
#include "ui/main_window.h"
#include "ui/session_view.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::B;
using wren::test::ScriptedWorld;
using wren::test::WaitFor;

namespace {

class CommandBoxTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.path());
        m_window = std::make_unique<TfrmMain>(m_globals);
        m_window->ShowMessage = [](const QString &) {};
        m_window->Start({});
        m_window->resize(600, 400);
        m_window->show();
        m_window->NewWindow("World", "127.0.0.1", m_world.Port(), true);
        ASSERT_TRUE(WaitFor([&] { return m_world.Peer && Session()->IsConnected(); }));
        Box()->setFocus();
    }
    CommandBox *Box() const { return m_window->Command(); }
    TClient *Session() const { return m_window->Sessions().Current(); }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { QTest::keyClick(Box(), key, modifiers); }
    void Type(const QString &text) { QTest::keyClicks(Box(), text); }
    void Enter(const QString &text)
    {
        Box()->clear();
        // The test library types ASCII only; other characters are put into the box as a paste would.
        bool ascii = true;
        for (QChar c : text)
            ascii = ascii && c.unicode() < 0x80;
        if (ascii)
            Type(text);
        else
            Box()->insert(text);
        Key(Qt::Key_Return);
    }
    bool Received(const QByteArray &expected)
    {
        return WaitFor([&] { return m_world.Received == expected; }, 3000);
    }

    QTemporaryDir m_folder;
    TGlobals m_globals;
    ScriptedWorld m_world;
    std::unique_ptr<TfrmMain> m_window;
};

} // namespace

TEST_F(CommandBoxTest, EnterSendsRecordsOnceAndSelectsTheText)
{
    Enter(QStringLiteral("look"));
    ASSERT_TRUE(Received("look\r\n"));
    EXPECT_EQ(Box()->text(), QStringLiteral("look"));
    EXPECT_EQ(Box()->selectedText(), QStringLiteral("look")) << "the next typing replaces it";
    Key(Qt::Key_Return); // the same again: stored once
    Box()->clear();
    Key(Qt::Key_Return); // an empty line is sent, not stored
    ASSERT_TRUE(Received("look\r\nlook\r\n\r\n"));
    EXPECT_EQ(Session()->History.Pos, 2);
    EXPECT_EQ(Session()->History.Entries[2], "look");

    Session()->Options.AutoClearCommand = true;
    Enter(QStringLiteral("north"));
    EXPECT_EQ(Box()->text(), QString());
    Key(Qt::Key_Up);
    EXPECT_EQ(Box()->text(), QStringLiteral("north")) << "with autoclear, Up shows the last command at once";
}

TEST_F(CommandBoxTest, HistoryWalksTheRingWithAndWithoutWrapping)
{
    Session()->Options.AutoClearCommand = true;
    for (const char *command : {"one", "two", "two", "three"})
        Enter(QString::fromLatin1(command));
    struct Step {
        Qt::Key Key;
        const char *Shown;
    };
    const auto walk = [&](const QList<Step> &steps) {
        for (const Step &step : steps) {
            Key(step.Key);
            EXPECT_EQ(Box()->text(), QString::fromLatin1(step.Shown)) << "after " << (step.Key == Qt::Key_Up ? "Up" : "Down");
            EXPECT_EQ(Box()->selectedText(), Box()->text());
        }
    };
    // Wrapping on: past the oldest the walk comes round to the newest.
    walk({{Qt::Key_Up, "three"}, {Qt::Key_Up, "two"}, {Qt::Key_Up, "one"}, {Qt::Key_Up, "three"},
          {Qt::Key_Down, "one"}, {Qt::Key_Down, "two"}});

    Session()->Options.WrapHistory = false;
    Enter(QStringLiteral("four"));
    // Wrapping off: the walk stops at the ends of the ring.
    walk({{Qt::Key_Up, "four"}, {Qt::Key_Up, "three"}, {Qt::Key_Up, "two"}, {Qt::Key_Up, "one"}, {Qt::Key_Up, ""},
          {Qt::Key_Down, "one"}});
}

TEST_F(CommandBoxTest, OnlyEntryEqualToTheBoxWalksToAnEmptySlot)
{
    Enter(QStringLiteral("look")); // the box still shows "look"
    Key(Qt::Key_Up);
    EXPECT_EQ(Box()->text(), QString());
}

TEST_F(CommandBoxTest, TabCompletesFromTheCaretAndReplacesTheWholeBox)
{
    Session()->Automation.SetTabCompletion("goblin\r\ngold\r\n");
    struct Case {
        const char *Text;
        int Caret;
        const char *After;
        const char *Selected;
    } cases[] = {
        {"go", 2, "goblin", "blin"},
        {"GO", 2, "goblin", "blin"},
        {"xyz", 3, "xyz", ""},
        {"go north", 2, "goblin", "blin"},
        {"gold", 4, "gold", ""},
    };
    for (const Case &c : cases) {
        Box()->setText(QString::fromLatin1(c.Text));
        Box()->setCursorPosition(c.Caret);
        Key(Qt::Key_Tab);
        EXPECT_EQ(Box()->text(), QString::fromLatin1(c.After)) << c.Text;
        EXPECT_EQ(Box()->selectedText(), QString::fromLatin1(c.Selected)) << c.Text;
        EXPECT_TRUE(Box()->hasFocus()) << "Tab never moves the focus";
    }
}

TEST_F(CommandBoxTest, MacroKeysRunTheirCommandAndSwallowTheirCharacter)
{
    Session()->Automation.AddMacro("A", 65, "Main", "say letter", 0);
    Session()->Automation.AddMacro("F5", 116, "Main", "say function", 0);
    Session()->Automation.AddMacro("KEY7", 103, "Main", "say keypad", 0);
    Session()->Automation.AddMacro("B", 66, "Main", "say shifted", 1);
    Type(QStringLiteral("x"));
    Key(Qt::Key_A);
    Key(Qt::Key_F5);
    Key(Qt::Key_7, Qt::KeypadModifier);
    Key(Qt::Key_7);
    Key(Qt::Key_B, Qt::ShiftModifier);
    ASSERT_TRUE(Received("say letter\r\nsay function\r\nsay keypad\r\nsay shifted\r\n"));
    EXPECT_EQ(Box()->text(), QStringLiteral("x7")) << "only the 7 above the letters, without a macro, is typed";
}

TEST_F(CommandBoxTest, CtrlTabSelectsTheNextSessionRoundTheTabs)
{
    m_window->NewWindow("Third", "127.0.0.1", 1, false);
    ASSERT_EQ(m_globals.CurrentSession, 2);
    Key(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(m_globals.CurrentSession, 0);
    EXPECT_EQ(m_window->Tabs()->currentIndex(), 0);
    EXPECT_EQ(m_window->VisibleView(), m_window->ViewOf(m_window->Sessions().At(0)));
    Key(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(m_globals.CurrentSession, 1);
}

TEST_F(CommandBoxTest, ScrollKeysHoldAndMoveTheView)
{
    TClient *session = Session();
    SessionView *view = m_window->ViewOf(session);
    for (int i = 0; i < 200; ++i)
        session->ReceiveBytes("line " + QByteArray::number(i) + "\r\n");
    view->FlushFrame();
    ASSERT_TRUE(view->AtBottom());
    const int bottom = view->ScrollPosition();

    Key(Qt::Key_PageUp);
    EXPECT_TRUE(session->ScrolledBack);
    EXPECT_LT(view->ScrollPosition(), bottom);
    const int held = view->ScrollPosition();
    session->ReceiveBytes("more\r\n");
    view->FlushFrame();
    EXPECT_EQ(view->ScrollPosition(), held) << "new text does not move a held view";

    Box()->setText(QStringLiteral("typed"));
    Key(Qt::Key_Up); // held: Up scrolls a line, it does not walk the history
    EXPECT_LT(view->ScrollPosition(), held);
    EXPECT_EQ(Box()->text(), QStringLiteral("typed"));
    Key(Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(view->ScrollPosition(), 0);
    Key(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_TRUE(view->AtBottom());
    EXPECT_TRUE(session->ScrolledBack) << "Shift+End keeps the hold";
    Key(Qt::Key_PageUp);
    Key(Qt::Key_PageDown);
    EXPECT_TRUE(session->ScrolledBack);

    Key(Qt::Key_ScrollLock);
    EXPECT_FALSE(session->ScrolledBack);
    session->ReceiveBytes("latest\r\n");
    view->FlushFrame();
    EXPECT_TRUE(view->AtBottom());

    Key(Qt::Key_ScrollLock);
    EXPECT_TRUE(session->ScrolledBack);
    Enter(QStringLiteral("say hi")); // sending brings the view back to the end
    EXPECT_FALSE(session->ScrolledBack);
}

TEST_F(CommandBoxTest, EnterThatClosesItsSessionSelectsTheFirstAndRecordsNothing)
{
    TClient *world = Session();
    QPointer<TClient> guard = world;
    Enter(QStringLiteral("say bye;/CLOSE;say never"));
    ASSERT_TRUE(Received("say bye\r\n"));
    EXPECT_EQ(m_window->Sessions().Count(), 1);
    EXPECT_EQ(m_globals.CurrentSession, 0);
    EXPECT_EQ(m_window->VisibleView(), m_window->ViewOf(m_window->Sessions().At(0)));
    EXPECT_EQ(Box()->selectedText(), QStringLiteral("say bye;/CLOSE;say never"));
    EXPECT_TRUE(WaitFor([&] { return guard.isNull(); }));
    EXPECT_EQ(m_window->Sessions().At(0)->History.Pos, 1) << "the welcome session recorded nothing";
}

TEST_F(CommandBoxTest, TypedLinesGoOutWithOneEncodingAndByte255Doubled)
{
    Enter(QStringLiteral("say caf\u00e9 \u20ac \u2713 \u00ff"));
    ASSERT_TRUE(Received(B("say caf\xe9 \x80 ? \xff\xff\r\n")));
    // An alias's bytes go out as they are, with 255 doubled too.
    Session()->Automation.AddAlias("y", QByteArray("say \xff", 5), "Main");
    Enter(QStringLiteral("y"));
    ASSERT_TRUE(Received(B("say caf\xe9 \x80 ? \xff\xff\r\nsay \xff\xff\r\n")));

    // Once the world's text has been UTF-8, typed lines are UTF-8 as a whole.
    m_world.Peer->write(B("na\xc3\xafve\r\n"));
    ASSERT_TRUE(WaitFor([&] { return Session()->Incoming().SawUtf8; }));
    m_world.Received.clear();
    Enter(QStringLiteral("say caf\u00e9 \u2713"));
    ASSERT_TRUE(Received(B("say caf\xc3\xa9 \xe2\x9c\x93\r\n")));
}

TEST_F(CommandBoxTest, NoSessionSelectedLeavesTheKeysToTheBox)
{
    m_window->Sessions().SetCurrent(-1);
    Type(QStringLiteral("ab"));
    Key(Qt::Key_Tab);
    Key(Qt::Key_Return);
    EXPECT_EQ(Box()->text(), QStringLiteral("ab"));
    test::Pump(50);
    EXPECT_EQ(m_world.Received, QByteArray());
}

// "/NEW" opens the connection manager; the world opened there becomes the selected session, and typing goes
// on in it: the command switched sessions, so nothing is recorded.
TEST_F(CommandBoxTest, EnterOnACommandThatOpensAWorldSwitchesToIt)
{
    TClient *before = Session();
    m_window->BeforeDialog = [this](QDialog *dialog) {
        auto *manager = qobject_cast<TfrmConnect *>(dialog);
        ASSERT_NE(manager, nullptr);
        QTimer::singleShot(0, manager, [this, manager] {
            manager->txtID->setText(QStringLiteral("Opened"));
            manager->txtHost->setText(QStringLiteral("127.0.0.1"));
            manager->txtPort->setText(QString::number(m_world.Port()));
            QTest::mouseClick(manager->bitOffline, Qt::LeftButton);
        });
    };
    Enter(QStringLiteral("/NEW"));
    EXPECT_EQ(m_window->Sessions().Count(), 3);
    EXPECT_EQ(m_globals.CurrentSession, 2);
    EXPECT_EQ(m_window->Tabs()->tabText(2), QStringLiteral("Opened"));
    EXPECT_EQ(m_window->VisibleView(), m_window->ViewOf(Session()));
    EXPECT_EQ(before->History.Pos, 1) << "nothing recorded";

    // SETTINGS opens the options dialog for the selected session.
    bool opened = false;
    m_window->BeforeDialog = [&opened](QDialog *dialog) {
        opened = qobject_cast<TfrmOptions *>(dialog) != nullptr;
        QTimer::singleShot(0, dialog, &QDialog::accept);
    };
    Enter(QStringLiteral("/SETTINGS"));
    EXPECT_TRUE(opened);
}

// The server hides what is typed (IAC WILL ECHO) for its password prompt: the box masks it, Enter sends it,
// and nothing keeps it: not the view, the log, the history or the tab words. IAC WONT ECHO ends it.
TEST_F(CommandBoxTest, PasswordPromptHidesAndKeepsNothing)
{
    Session()->Options.LogMode = 1;
    Session()->Options.LogFile = "world.log";
    Session()->Options.LocalEcho = true;
    m_world.Peer->write(B("Password: \xff\xfb\x01"));
    ASSERT_TRUE(WaitFor([&] { return Session()->HidesTyping(); }));
    ASSERT_TRUE(Received(B("\xff\xfd\x01"))) << "DO ECHO, once";
    m_world.Received.clear();
    EXPECT_EQ(Box()->echoMode(), QLineEdit::Password);

    Type(QStringLiteral("s3cret\tword"));
    EXPECT_EQ(Box()->text(), QStringLiteral("s3cretword")) << "Tab completes nothing";
    Key(Qt::Key_Return);
    ASSERT_TRUE(Received("s3cretword\r\n"));
    EXPECT_TRUE(Box()->text().isEmpty());
    m_world.Peer->write(B("\xff\xfc\x01\r\nWelcome!\r\n"));
    ASSERT_TRUE(WaitFor([&] { return !Session()->HidesTyping(); }));
    ASSERT_TRUE(Received(B("s3cretword\r\n\xff\xfe\x01"))) << "DONT ECHO acknowledges the change";
    EXPECT_EQ(Box()->echoMode(), QLineEdit::Normal);

    ASSERT_TRUE(WaitFor([&] { return Session()->Display.PlainText().contains(QStringLiteral("Welcome!")); }));
    EXPECT_FALSE(Session()->Display.PlainText().contains(QStringLiteral("s3cret")));
    for (const QByteArray &entry : Session()->History.Entries)
        EXPECT_FALSE(entry.contains("s3cret")) << "nothing in the history";
    EXPECT_FALSE(Session()->TabComplete("s3").startsWith("s3c"));
    QFile log(m_folder.filePath(QStringLiteral("logs/world.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray logged = log.readAll();
    EXPECT_TRUE(logged.contains("Welcome!"));
    EXPECT_FALSE(logged.contains("s3cret"));

    Enter(QStringLiteral("look"));
    ASSERT_TRUE(WaitFor([&] { return m_world.Received.endsWith("look\r\n"); }));
    EXPECT_TRUE(Session()->Display.PlainText().contains(QStringLiteral("look"))) << "echoed again";
}
