// SPDX-License-Identifier: GPL-3.0-or-later
// The program's window: session tabs over their views, the menus, the command box and the music list.
#pragma once

#include "config/globals.h"
#include "session/workspace.h"

#include <QHash>
#include <QIcon>
#include <QMainWindow>

#include <functional>

class QAction;
class QDialog;
class QListWidget;
class QMenu;
class QSplitter;
class QStackedWidget;
class QTabBar;

namespace wren {

class CommandBox;
class SearchBar;
class SessionView;
class TClient;
class WorldDocks;

/// TfrmMain: owns the workspace (the sessions) and shows one session's view at a time above a tab bar with
/// one tab per session. Tab state lives here; the sessions know nothing of tabs.
class TfrmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit TfrmMain(TGlobals &globals, QWidget *parent = nullptr);
    ~TfrmMain() override;

    /// The menu items, for the short-cuts and the tests.
    struct MenuItems {
        QMenu *File = nullptr, *Edit = nullptr, *Options = nullptr, *Music = nullptr, *Window = nullptr,
              *Help = nullptr, *Import = nullptr, *Export = nullptr, *TabMenu = nullptr;
        QAction *New = nullptr, *Connect = nullptr, *Disconnect = nullptr, *Close = nullptr, *Exit = nullptr;
        QAction *GlobalZel = nullptr, *Cut = nullptr, *Copy = nullptr, *Paste = nullptr, *Delete = nullptr,
                *Find = nullptr;
        QAction *Settings = nullptr, *Logging = nullptr, *Advanced = nullptr;
        QAction *ClearText = nullptr, *MinimizeAll = nullptr, *VersionInfo = nullptr, *About = nullptr;
        QAction *Manual = nullptr; ///< Help, Manual: the player's guide inside the program
        QAction *Reconnect = nullptr, *TabDisconnect = nullptr, *TabClose = nullptr, *Configure = nullptr;
        QAction *ShowMusic = nullptr, *Loop = nullptr, *Play = nullptr, *Pause = nullptr, *Stop = nullptr,
                *Next = nullptr, *Previous = nullptr, *AddSongs = nullptr, *Append = nullptr, *SavePlaylist = nullptr,
                *LoadPlaylist = nullptr;
        QMenu *MusicListMenu = nullptr;
        QAction *ImportWns = nullptr, *ImportWn2 = nullptr, *ImportZMud = nullptr, *ExportWn2 = nullptr,
                *ExportText = nullptr;
    };

    /// How the window asks the user for files: open one, open several, or name one to save. The dialogs
    /// start in the program folder; a test puts its own answers here. An empty list means cancelled.
    enum class Choose { Open, OpenMany, Save };
    std::function<QStringList(Choose mode, const QString &filter)> ChooseFiles;

    Workspace &Sessions() { return m_workspace; }
    TGlobals &Globals() { return m_globals; }
    /// Opens a session in a new tab at the end, selected, with its per-world files loaded; connects it
    /// when asked. Returns its index.
    int NewWindow(const QByteArray &name, const QByteArray &host, int port, bool connect);
    /// The start of the program once the window exists: the global settings and the portal check, the
    /// welcome session, then the one telnet://host:port argument when there is one.
    void Start(const QList<QByteArray> &arguments);

    CommandBox *Command() const { return m_command; }
    SearchBar *Search() const { return m_search; }
    /// The game data and map panels, the protocol inspector and the game data settings.
    WorldDocks *Docks() const { return m_docks; }
    QTabBar *Tabs() const { return m_tabs; }
    QListWidget *MusicList() const { return m_musicList; }
    SessionView *ViewOf(TClient *session) const { return m_views.value(session); }
    /// The view shown now; null while the background shows (no session, or after Minimize All).
    SessionView *VisibleView() const;
    const MenuItems &Menu() const { return m_menu; }
    /// Sets the menu items' states as the menus show them when opened.
    void UpdateMenus();
    /// "wn.ini" in the program folder.
    static QString GlobalSettingsPath();

    /// What the about box says: the version, the operating system's name, version and build, and the
    /// physical memory in kilobytes.
    static QString AboutText(const QByteArray &version);

    QIcon NormalIcon;
    QIcon AlertIcon;
    /// The modal dialogs the window opens (New..., Settings..., Logging...), shown through exec().
    void OpenConnectionManager();
    void OpenOptions();
    void OpenLoggingSetup();
    void OpenAdvanced();
    /// Called with each dialog the window is about to show modally (tests steer it from here).
    std::function<void(QDialog *dialog)> BeforeDialog;

    /// Where messages for the user go; a non-modal message box unless a test puts its own here.
    std::function<void(const QString &text)> ShowMessage;
    /// Asks the user a yes-or-no question (trusting a certificate); a message box unless a test answers.
    std::function<bool(const QString &question)> AskYesNo;
    /// A yes-or-no question (AskYesNo when a test set it).
    bool Ask(const QString &title, const QString &question);

protected:
    void changeEvent(QEvent *event) override;

private:
    void BuildMenus();
    void BuildMusicMenu();
    void BuildEditMenu();
    void BuildTabMenu();
    void BuildExchangeMenus();
    std::function<TClient *()> BindToCurrent(QDialog &dialog);
    void SyncMusicList();
    void ShowMusicList(bool shown);
    void BuildLayout();
    void OnSessionAdded(TClient *session, const QByteArray &name);
    void OnSessionRemoved(int index, TClient *session);
    void OnCurrentChanged(int index);
    void ShowSessionAt(int index);
    void ShowTabMenu(const QPoint &globalPosition);
    void MinimizeAll();
    void ClearText();
    void CopySelection();
    void Message(const QString &text);
    bool IsWelcome(const TClient *session) const;

    TGlobals &m_globals;
    Workspace m_workspace;
    MenuItems m_menu;
    QTabBar *m_tabs = nullptr;
    QStackedWidget *m_stack = nullptr;
    QWidget *m_backdrop = nullptr;
    QSplitter *m_splitter = nullptr;
    QListWidget *m_musicList = nullptr;
    CommandBox *m_command = nullptr;
    SearchBar *m_search = nullptr;
    WorldDocks *m_docks = nullptr;
    QHash<TClient *, SessionView *> m_views;
};

} // namespace wren
