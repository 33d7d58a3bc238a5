// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: sessions in tabs with their per-world files, closing and renumbering, Minimize All, the
// menus' states, the Edit actions and start-up with the command line.
#include "automation/advanced_file.h"
#include "config/program_folder.h"
#include "options/options_file.h"
#include "session/client.h"
#include "support/scripted_world.h"
#include "support/test_support.h"
#include "ui/command_box.h"
#include "ui/main_window.h"
#include "ui/session_view.h"
#include "ui/welcome_page.h"

#include <QAction>
#include <QListWidget>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMenu>
#include <QPointer>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::ScriptedWorld;
using wren::test::WaitFor;

namespace {

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.path());
        m_window = std::make_unique<TfrmMain>(m_globals);
        m_window->ShowMessage = [this](const QString &text) { Messages.append(text); };
    }
    void Start(const QList<QByteArray> &arguments = {})
    {
        m_window->Start(arguments);
        m_window->show();
    }
    QStringList TabCaptions() const
    {
        QStringList captions;
        for (int i = 0; i < m_window->Tabs()->count(); ++i)
            captions.append(m_window->Tabs()->tabText(i));
        return captions;
    }
    QList<int> Indexes() const
    {
        QList<int> indexes;
        for (TClient *session : m_globals.Sessions)
            indexes.append(session->Index);
        return indexes;
    }
    TClient *Current() { return m_window->Sessions().Current(); }
    const TfrmMain::MenuItems &Menu() { return m_window->Menu(); }

    QTemporaryDir m_folder;
    TGlobals m_globals;
    std::unique_ptr<TfrmMain> m_window;
    QStringList Messages;
};

} // namespace

TEST_F(MainWindowTest, StartOpensTheWelcomeSessionAndOneTelnetArgument)
{
    ScriptedWorld world;
    struct Case {
        const char *Name;
        QList<QByteArray> Arguments;
        QStringList Tabs;
    } cases[] = {
        {"no argument", {}, {QStringLiteral("Welcome!")}},
        {"one argument", {"telnet://127.0.0.1:" + QByteArray::number(world.Port()) + "/"},
         {QStringLiteral("Welcome!"), QStringLiteral("127.0.0.1")}},
        {"two arguments", {"telnet://127.0.0.1:1", "x"}, {QStringLiteral("Welcome!")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        TGlobals globals;
        TfrmMain window(globals);
        window.Start(c.Arguments);
        QStringList tabs;
        for (int i = 0; i < window.Tabs()->count(); ++i)
            tabs.append(window.Tabs()->tabText(i));
        EXPECT_EQ(tabs, c.Tabs);
        EXPECT_EQ(window.Tabs()->currentIndex(), c.Tabs.size() - 1);
        EXPECT_EQ(globals.CurrentSession, c.Tabs.size() - 1);
        TClient *welcome = window.Sessions().At(0);
        EXPECT_EQ(welcome->Options.Host, "Welcome");
        EXPECT_EQ(welcome->Options.Port, "50000");
        EXPECT_TRUE(welcome->Options.AutoHighlightLinks);
        EXPECT_EQ(globals.LatestVersion, "2.13") << "no portal named: the check fails at once";
        if (c.Tabs.size() == 2) {
            EXPECT_TRUE(WaitFor([&] { return window.Sessions().At(1)->IsConnected(); }));
        }
    }
    EXPECT_TRUE(QFile::exists(m_folder.filePath(QStringLiteral("wn.ini"))));
}

TEST_F(MainWindowTest, NewWindowLoadsTheWorldsOwnFiles)
{
    TSessionOptions stored;
    stored.Host = "127.0.0.1";
    stored.Port = "4000";
    stored.WorldName = "Stored Name";
    stored.SetDefaults();
    stored.BackColor = Rgb(10, 20, 30);
    ASSERT_TRUE(SaveOptions(m_folder.filePath(QStringLiteral("127.0.0.1.4000.wno")), stored));
    AutomationStore automations;
    automations.AddAlias("k", "kill %1", "Main");
    ASSERT_TRUE(SaveAdvanced(m_folder.filePath(QStringLiteral("127.0.0.1.4000.wn2")), automations));
    Start();

    const int index = m_window->NewWindow("My World", " 127.0.0.1 ", 4000, false);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(TabCaptions(), (QStringList {QStringLiteral("Welcome!"), QStringLiteral("My World")}));
    TClient *session = Current();
    ASSERT_EQ(session, m_window->Sessions().At(1));
    EXPECT_EQ(session->OptionsFile, m_folder.filePath(QStringLiteral("127.0.0.1.4000.wno")));
    EXPECT_EQ(session->AdvancedFile, m_folder.filePath(QStringLiteral("127.0.0.1.4000.wn2")));
    EXPECT_EQ(session->Options.WorldName, "Stored Name") << "the file's values replace the arguments";
    EXPECT_EQ(session->Display.Background(), Rgb(10, 20, 30));
    EXPECT_EQ(session->Options.DefaultBackColor, Rgb(10, 20, 30));
    ASSERT_EQ(session->Automation.Aliases().size(), 1);
    EXPECT_EQ(m_window->VisibleView(), m_window->ViewOf(session));
    EXPECT_FALSE(QFile::exists(m_folder.filePath(QStringLiteral("Welcome.50000.wno"))))
        << "nothing is written before the user saves";
}

TEST_F(MainWindowTest, ClosingRenumbersTheSessionsAndSelectsTheFirst)
{
    Start();
    for (const char *name : {"one", "two", "three"})
        m_window->NewWindow(name, name, 23, false);
    m_window->Tabs()->setCurrentIndex(2);
    ASSERT_EQ(m_globals.CurrentSession, 2);
    QPointer<TClient> closed = Current();
    Menu().Close->trigger();
    EXPECT_EQ(TabCaptions(),
              (QStringList {QStringLiteral("Welcome!"), QStringLiteral("one"), QStringLiteral("three")}));
    EXPECT_EQ(Indexes(), (QList<int> {0, 1, 2}));
    EXPECT_EQ(m_globals.CurrentSession, 0);
    EXPECT_EQ(m_window->Tabs()->currentIndex(), 0);
    EXPECT_EQ(m_window->VisibleView(), m_window->ViewOf(m_window->Sessions().At(0)));
    EXPECT_TRUE(WaitFor([&] { return closed.isNull(); }));
}

TEST_F(MainWindowTest, MenuStatesFollowTheSelectedSession)
{
    ScriptedWorld world;
    Start();
    m_window->UpdateMenus();
    // The welcome session: nothing to connect to, and no automations to edit.
    EXPECT_FALSE(Menu().Connect->isEnabled());
    EXPECT_FALSE(Menu().Disconnect->isEnabled());
    EXPECT_TRUE(Menu().Close->isEnabled());
    EXPECT_FALSE(Menu().Advanced->isEnabled());
    EXPECT_FALSE(Menu().Import->isEnabled());
    EXPECT_FALSE(Menu().Export->isEnabled());
    EXPECT_TRUE(Menu().ClearText->isEnabled());

    m_window->NewWindow("Loopback", "127.0.0.1", world.Port(), false);
    m_window->UpdateMenus();
    EXPECT_TRUE(Menu().Connect->isEnabled());
    EXPECT_EQ(Menu().Connect->text(), QStringLiteral("&Connect to 127.0.0.1"));
    EXPECT_FALSE(Menu().Disconnect->isEnabled());
    EXPECT_TRUE(Menu().Advanced->isEnabled());

    Menu().Connect->trigger();
    ASSERT_TRUE(WaitFor([&] { return Current()->IsConnected(); }));
    m_window->UpdateMenus();
    EXPECT_FALSE(Menu().Connect->isEnabled());
    EXPECT_EQ(Menu().Connect->text(), QStringLiteral("&Connect"));
    EXPECT_TRUE(Menu().Disconnect->isEnabled());

    Menu().Disconnect->trigger();
    EXPECT_FALSE(Current()->IsConnected());

    Menu().MinimizeAll->trigger();
    EXPECT_EQ(m_globals.CurrentSession, -1);
    EXPECT_EQ(m_window->VisibleView(), nullptr);
    for (QAction *action : {Menu().Connect, Menu().Disconnect, Menu().Close, Menu().ClearText, Menu().Advanced})
        EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();

    // A press on a tab brings its view back, even though the tab was selected already.
    emit m_window->Tabs()->tabBarClicked(1);
    EXPECT_EQ(m_globals.CurrentSession, 1);
    EXPECT_EQ(m_window->VisibleView(), m_window->ViewOf(Current()));

    EXPECT_TRUE(Menu().GlobalZel->isChecked());
    Menu().GlobalZel->trigger();
    EXPECT_FALSE(m_globals.GlobalZel);
}

TEST_F(MainWindowTest, EditActionsAndCopyWithNoSessionSelected)
{
    Start();
    CommandBox *box = m_window->Command();
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));
    box->setText(QStringLiteral("hello world"));
    box->setSelection(0, 5);

    Menu().Copy->trigger();
    EXPECT_EQ(clipboard->text(), QStringLiteral("hello")) << "no view selection: the box's";

    Menu().MinimizeAll->trigger();
    clipboard->setText(QStringLiteral("kept"));
    Menu().Copy->trigger();
    EXPECT_EQ(clipboard->text(), QStringLiteral("kept")) << "Copy does nothing without a session";
    Menu().Cut->trigger();
    EXPECT_EQ(clipboard->text(), QStringLiteral("hello"));
    EXPECT_EQ(box->text(), QStringLiteral(" world"));
    clipboard->setText(QStringLiteral("brave"));
    box->setCursorPosition(0);
    Menu().Paste->trigger();
    EXPECT_EQ(box->text(), QStringLiteral("brave world"));
    box->setSelection(0, 6);
    Menu().Delete->trigger();
    EXPECT_EQ(box->text(), QStringLiteral("world"));
    Menu().Delete->trigger(); // no selection: nothing is deleted
    EXPECT_EQ(box->text(), QStringLiteral("world"));

    // With a session, its view's selection goes first.
    emit m_window->Tabs()->tabBarClicked(0);
    Menu().ClearText->trigger();
    Current()->WriteText("view text\r\n");
    SessionView *view = m_window->ViewOf(Current());
    view->SelectAll();
    box->selectAll();
    Menu().Copy->trigger();
    EXPECT_EQ(clipboard->text().trimmed(), QStringLiteral("view text"));

    Menu().ClearText->trigger();
    EXPECT_EQ(Current()->Display.PlainText(), QString());
}

TEST_F(MainWindowTest, AboutBoxNamesVersionSystemAndMemory)
{
    const QString text = TfrmMain::AboutText("2.13");
    EXPECT_TRUE(text.contains(QStringLiteral("Wren Client version 2.13")));
    EXPECT_TRUE(text.contains(QSysInfo::prettyProductName()));
    const qsizetype at = text.indexOf(QStringLiteral("Physical memory: "));
    ASSERT_GE(at, 0);
    EXPECT_GT(text.mid(at + 17).section(QLatin1Char(' '), 0, 0).toLongLong(), 1024);
    EXPECT_TRUE(text.endsWith(QStringLiteral(" KB")));
}

TEST_F(MainWindowTest, WelcomePageShowsItsPictureAndTheRightNotice)
{
    Start();
    TClient *welcome = m_window->Sessions().At(0);
    const std::string page = test::Render(welcome->Display);
    EXPECT_EQ(page.rfind("(center)[ffffffB]{picture 320x120}|(center)[ff0000 Comic Sans MS 24B]"
                         "Welcome to Wren Client v2.13!||[ffffff Tahoma 10]",
                         0),
              0u)
        << page;
    EXPECT_EQ(welcome->Display.Background(), Rgb(0, 0, 0));
    EXPECT_TRUE(QFile::exists(m_folder.filePath(QStringLiteral("WrenImage.jpg"))));
    EXPECT_TRUE(QFile::exists(m_folder.filePath(QStringLiteral("connect.wav"))));
    EXPECT_FALSE(welcome->Display.PlainText().contains(QStringLiteral("/PLAY"))) << "the start sound is no text";
    EXPECT_FALSE(welcome->Display.PlainText().contains(QStringLiteral("Version ")));

    struct Case {
        QByteArray Latest, Maker;
        QString Expected;
    } cases[] = {
        {"2.20", "maker.example",
         QStringLiteral("Version 2.20 is available:\nClick http://maker.example/bin/wn220setup.exe to download!")},
        {"2.13", "maker.example",
         QStringLiteral("home page: http://maker.example/\nMeet other players in the forums: http://maker.example/forums/")},
        {"2.13", "maker.example", QStringLiteral("View version updates at: http://maker.example/versions2x.php")},
    };
    for (const Case &c : cases) {
        TGlobals globals;
        globals.LatestVersion = c.Latest;
        TClient session(globals);
        WriteWelcomePage(session, globals, c.Maker);
        EXPECT_TRUE(session.Display.PlainText().contains(c.Expected)) << session.Display.PlainText().toStdString();
    }
}

TEST_F(MainWindowTest, MusicMenuAndTheListFollowThePlaylist)
{
    Start();
    QStringList answers;
    m_window->ChooseFiles = [&](TfrmMain::Choose, const QString &) { return answers; };
    MusicPlayer &music = m_window->Sessions().Music;
    const QString a = m_folder.filePath(QStringLiteral("a.wav")), b = m_folder.filePath(QStringLiteral("b.wav"));
    for (const QString &path : {a, b}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_FALSE(m_window->MusicList()->isVisible());
    answers = {a, b};
    Menu().AddSongs->trigger();
    EXPECT_TRUE(m_window->MusicList()->isVisible()) << "adding songs shows the list";
    EXPECT_TRUE(Menu().ShowMusic->isChecked());
    ASSERT_EQ(m_window->MusicList()->count(), 2);
    EXPECT_EQ(m_window->MusicList()->item(1)->text(), QStringLiteral("2. b.wav"));

    emit m_window->MusicList()->itemClicked(m_window->MusicList()->item(1));
    EXPECT_EQ(music.CurrentSong(), 1);
    EXPECT_EQ(m_window->MusicList()->currentRow(), 1);
    Menu().Loop->trigger();
    EXPECT_TRUE(music.LoopPlaylist);

    answers = {m_folder.filePath(QStringLiteral("saved"))};
    Menu().SavePlaylist->trigger();
    EXPECT_EQ(Messages.back(), QStringLiteral("Your playlist has been saved successfully."));
    EXPECT_TRUE(QFile::exists(m_folder.filePath(QStringLiteral("saved.m3u"))));

    m_window->Menu().MusicListMenu->actions().back()->trigger(); // Clear playlist
    EXPECT_EQ(m_window->MusicList()->count(), 0);
    answers = {m_folder.filePath(QStringLiteral("saved.m3u"))};
    Menu().LoadPlaylist->trigger();
    EXPECT_EQ(m_window->MusicList()->count(), 2);
    Menu().ShowMusic->trigger();
    EXPECT_FALSE(m_window->MusicList()->isVisible());
    answers = {};
    Menu().AddSongs->trigger(); // cancelled: nothing changes
    EXPECT_EQ(music.Lines().size(), 2);
}

TEST_F(MainWindowTest, ImportExportAndTheEditorActOnTheSelectedWorld)
{
    Start();
    bool editorShown = false;
    m_window->BeforeDialog = [&](QDialog *dialog) {
        editorShown = dialog->windowTitle().endsWith(QStringLiteral(".wn2"));
        QTimer::singleShot(0, dialog, &QDialog::accept);
    };
    Menu().Advanced->trigger(); // the welcome session: nothing to edit
    EXPECT_FALSE(editorShown);

    m_window->NewWindow("World", "w.example", 23, false);
    TClient *world = Current();
    world->Automation.AddAlias("k", "kill", "Main");
    QStringList answers {m_folder.filePath(QStringLiteral("export"))};
    m_window->ChooseFiles = [&](TfrmMain::Choose, const QString &) { return answers; };
    Menu().ExportWn2->trigger();
    EXPECT_TRUE(QFile::exists(m_folder.filePath(QStringLiteral("export.WN2"))));
    Menu().ExportText->trigger();
    EXPECT_TRUE(QFile::exists(m_folder.filePath(QStringLiteral("export.TXT"))));
    EXPECT_EQ(world->Display.PlainText().count(QStringLiteral("Settings exported successfully!")), 2);

    m_window->NewWindow("Other", "o.example", 23, false);
    answers = {m_folder.filePath(QStringLiteral("export.WN2"))};
    Menu().ImportWn2->trigger();
    EXPECT_EQ(Current()->Automation.Aliases().size(), 1);
    EXPECT_TRUE(Current()->Display.PlainText().contains(QStringLiteral("Settings imported successfully!")));
    answers = {};
    Menu().ImportZMud->trigger(); // cancelled
    Menu().Advanced->trigger();
    EXPECT_TRUE(editorShown);
}

// A dialog belongs to the session it was opened for: when that session closes under it (a command of
// another session's, say), the dialog closes too and writes nothing; a file chooser's answer is dropped.
TEST_F(MainWindowTest, DialogsCloseWithTheirSession)
{
    Start();
    for (QAction *open : {Menu().Settings, Menu().Advanced}) {
        m_window->NewWindow("World", "w.example", 23, false);
        QPointer<TClient> world = Current();
        const int index = world->Index;
        int result = -1;
        m_window->BeforeDialog = [&](QDialog *dialog) {
            QTimer::singleShot(0, dialog, [this, index] { m_window->Sessions().CloseSession(index); });
            QObject::connect(dialog, &QDialog::finished, [&](int r) { result = r; });
        };
        open->trigger();
        EXPECT_EQ(result, QDialog::Rejected) << open->text().toStdString();
        EXPECT_TRUE(WaitFor([&] { return world.isNull(); })) << open->text().toStdString();
    }

    m_window->NewWindow("World", "w.example", 23, false);
    QPointer<TClient> world = Current();
    m_window->ChooseFiles = [&](TfrmMain::Choose, const QString &) {
        m_window->Sessions().CloseSession(world->Index);
        return QStringList {m_folder.filePath(QStringLiteral("export"))};
    };
    Menu().ExportWn2->trigger();
    EXPECT_FALSE(QFile::exists(m_folder.filePath(QStringLiteral("export.WN2"))));
    EXPECT_TRUE(WaitFor([&] { return world.isNull(); }));
}
