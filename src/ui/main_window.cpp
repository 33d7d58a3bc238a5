// SPDX-License-Identifier: GPL-3.0-or-later
// The program's window: session tabs over their views, the menus, the command box and the music list.
#include "ui/main_window.h"

#include "automation/advanced_dialog.h"
#include "config/app_settings.h"
#include "config/global_settings.h"
#include "config/http_client.h"
#include "config/logging.h"
#include "config/program_folder.h"
#include "config/save_file.h"
#include "config/world_features.h"
#include "options/options_dialog.h"
#include "session/client.h"
#include "ui/access_setup.h"
#include "ui/command_box.h"
#include "ui/connection_manager.h"
#include "ui/help_viewer.h"
#include "ui/scripts_page.h"
#include "ui/search_bar.h"
#include "ui/session_view.h"
#include "ui/startup_args.h"
#include "ui/welcome_page.h"
#include "ui/world_docks.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QSysInfo>
#include <QTabBar>
#include <QVBoxLayout>

#include <unistd.h>

namespace wren {

namespace {

// The program's two icons, drawn here: a small round bird, blue while all is read, amber when text waits.
QIcon DrawIcon(const QColor &body)
{
    QIcon icon;
    for (int size : {16, 32, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal s = size / 32.0;
        p.setPen(Qt::NoPen);
        p.setBrush(body);
        p.drawEllipse(QRectF(4 * s, 8 * s, 22 * s, 18 * s)); // body
        p.drawEllipse(QRectF(17 * s, 4 * s, 11 * s, 11 * s)); // head
        p.setBrush(body.darker(140));
        p.drawPolygon(QPolygonF({QPointF(2 * s, 8 * s), QPointF(9 * s, 14 * s), QPointF(5 * s, 17 * s)})); // tail
        p.setBrush(QColor(240, 200, 80));
        p.drawPolygon(QPolygonF({QPointF(27 * s, 8 * s), QPointF(31 * s, 10 * s), QPointF(27 * s, 11 * s)})); // beak
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(22 * s, 7 * s, 3 * s, 3 * s));
        icon.addPixmap(pixmap);
    }
    return icon;
}

// Shown where no session view is: a quiet tiled pattern.
class Backdrop : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(0, 0, 48));
        p.setPen(QColor(0, 0, 80));
        constexpr int tile = 24;
        for (int y = 0; y < height(); y += tile) {
            for (int x = (y / tile) % 2 ? tile / 2 : 0; x < width(); x += tile)
                p.drawEllipse(QPoint(x, y), 3, 2);
        }
    }
};

qint64 PhysicalMemoryKb()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0 ? static_cast<qint64>(pages) * pageSize / 1024 : 0;
}

} // namespace

TfrmMain::TfrmMain(TGlobals &globals, QWidget *parent)
    : QMainWindow(parent)
    , m_globals(globals)
    , m_workspace(globals)
{
    // Creation: the global switch on, no session selected, the icons, the caption.
    m_globals.GlobalZel = true;
    m_globals.CurrentSession = -1;
    NormalIcon = DrawIcon(QColor(40, 90, 170));
    AlertIcon = DrawIcon(QColor(220, 130, 20));
    setWindowIcon(NormalIcon);
    // A file that failed to load is replaced only when the user says so.
    SetOverwriteQuestion([this](const QString &question) { return Ask(QStringLiteral("Replace a file?"), question); });
    ChooseFiles = [this](Choose mode, const QString &filter) {
        const QString folder = ProgramFolder();
        switch (mode) {
        case Choose::OpenMany: return QFileDialog::getOpenFileNames(this, QString(), folder, filter);
        case Choose::Open: {
            const QString file = QFileDialog::getOpenFileName(this, QString(), folder, filter);
            return file.isEmpty() ? QStringList() : QStringList {file};
        }
        case Choose::Save: {
            const QString file = QFileDialog::getSaveFileName(this, QString(), folder, filter, nullptr,
                                                              QFileDialog::DontConfirmOverwrite);
            return file.isEmpty() ? QStringList() : QStringList {file};
        }
        }
        return QStringList();
    };
    setWindowTitle(QStringLiteral("Wren Client - v%1 - free software under the GNU GPL")
                       .arg(QString::fromLatin1(m_globals.Version)));
    BuildLayout();
    BuildMenus();
    m_docks = new WorldDocks(*this, m_workspace, *m_menu.Window, *m_menu.Options);
    InstallAccessibility(*this);
    resize(610, 434);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    connect(&m_workspace, &Workspace::SessionAdded, this, &TfrmMain::OnSessionAdded);
    connect(&m_workspace, &Workspace::SessionRemoved, this, &TfrmMain::OnSessionRemoved);
    connect(&m_workspace, &Workspace::CurrentChanged, this, &TfrmMain::OnCurrentChanged);
    connect(&m_workspace, &Workspace::QuitRequested, this, &QWidget::close);
    connect(&m_workspace, &Workspace::SettingsWanted, this, &TfrmMain::OpenOptions);
    connect(&m_workspace, &Workspace::ConnectionManagerWanted, this, &TfrmMain::OpenConnectionManager);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        m_globals.AppActive = state == Qt::ApplicationActive;
        if (m_globals.AppActive)
            QApplication::setWindowIcon(NormalIcon);
    });
    UpdateMenus();
}

TfrmMain::~TfrmMain()
{
    SetOverwriteQuestion({});
    // The views go before the sessions whose documents they show.
    const QList<SessionView *> views = m_views.values();
    m_views.clear();
    qDeleteAll(views);
}

void TfrmMain::BuildLayout()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_stack = new QStackedWidget(central);
    m_backdrop = new Backdrop(m_stack);
    m_stack->addWidget(m_backdrop);
    m_musicList = new QListWidget(central);
    m_musicList->setObjectName(QStringLiteral("musiclist"));
    m_musicList->setStyleSheet(QStringLiteral("QListWidget { background: black; color: blue; }"));
    QFont musicFont(QStringLiteral("Verdana"));
    musicFont.setPixelSize(11);
    m_musicList->setFont(musicFont);
    m_musicList->hide();
    m_splitter = new QSplitter(Qt::Horizontal, central);
    m_splitter->addWidget(m_stack);
    m_splitter->addWidget(m_musicList);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setSizes({470, 137});

    m_tabs = new QTabBar(central);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    m_tabs->setExpanding(false);
    m_tabs->setDocumentMode(true);
    m_tabs->setFocusPolicy(Qt::NoFocus);
    m_tabs->setStyleSheet(QStringLiteral("QTabBar::tab { color: green; }"));
    m_tabs->setContextMenuPolicy(Qt::CustomContextMenu);

    m_command = new CommandBox(m_workspace, central);
    m_command->SelectedView = [this] { return ViewOf(m_workspace.Current()); };

    m_search = new SearchBar(central);
    m_search->CurrentView = [this] { return VisibleView(); };
    connect(m_search, &SearchBar::Closed, this, [this] { m_command->setFocus(); });

    layout->addWidget(m_splitter, 1);
    layout->addWidget(m_search);
    layout->addWidget(m_tabs);
    layout->addWidget(m_command);
    setCentralWidget(central);

    connect(m_tabs, &QTabBar::currentChanged, this, [this](int index) {
        if (index >= 0)
            m_workspace.SetCurrent(index);
    });
    // A press on a tab, any button, shows its view and selects its session, even when it is selected already.
    connect(m_tabs, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index >= 0)
            m_workspace.SetCurrent(index);
    });
    connect(m_tabs, &QTabBar::customContextMenuRequested, this,
            [this](const QPoint &at) { ShowTabMenu(m_tabs->mapToGlobal(at)); });
    m_command->setFocus();
}

void TfrmMain::BuildMenus()
{
    QMenuBar *bar = menuBar();
    MenuItems &m = m_menu;

    m.File = bar->addMenu(QStringLiteral("&File"));
    m.New = m.File->addAction(QStringLiteral("&New..."), this, &TfrmMain::OpenConnectionManager);
    m.New->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    m.Connect = m.File->addAction(QStringLiteral("C&onnect"), this, [this] { m_workspace.ConnectCurrent(); });
    m.Disconnect = m.File->addAction(QStringLiteral("&Disconnect"), this, [this] { m_workspace.DisconnectCurrent(); });
    m.Close = m.File->addAction(QStringLiteral("&Close"), this, [this] {
        m_workspace.CloseCurrent();
        m_command->setFocus();
    });
    m.Exit = m.File->addAction(QStringLiteral("E&xit"), this, &QWidget::close);

    m.Edit = bar->addMenu(QStringLiteral("&Edit"));
    BuildEditMenu();

    m.Options = bar->addMenu(QStringLiteral("&Options"));
    m.Settings = m.Options->addAction(QStringLiteral("&Settings..."), this, &TfrmMain::OpenOptions);
    m.Settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F10));
    m.Logging = m.Options->addAction(QStringLiteral("&Logging..."), this, &TfrmMain::OpenLoggingSetup);
    m.Logging->setVisible(false);
    m.Advanced = m.Options->addAction(QStringLiteral("&Advanced..."), this, &TfrmMain::OpenAdvanced);
    m.Advanced->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F11));
    BuildExchangeMenus();

    m.Music = bar->addMenu(QStringLiteral("&Music"));
    BuildMusicMenu();

    m.Window = bar->addMenu(QStringLiteral("&Window"));
    m.ClearText = m.Window->addAction(QStringLiteral("&Clear text"), this, &TfrmMain::ClearText);
    m.MinimizeAll = m.Window->addAction(QStringLiteral("Minimize &All"), this, &TfrmMain::MinimizeAll);

    m.Help = bar->addMenu(QStringLiteral("&Help"));
    m.Manual = m.Help->addAction(QStringLiteral("&Manual"), this,
                                 [this] { HelpViewer::Show(this, HelpViewer::Document::Manual); });
    m.VersionInfo = m.Help->addAction(QStringLiteral("&View version info"), this,
                                      [this] { HelpViewer::Show(this, HelpViewer::Document::Versions); });
    m.About = m.Help->addAction(QStringLiteral("&About..."), this, [this] {
        QMessageBox::about(this, QStringLiteral("About Wren Client"), AboutText(m_globals.Version));
    });

    for (QMenu *menu : {m.File, m.Options, m.Window})
        connect(menu, &QMenu::aboutToShow, this, &TfrmMain::UpdateMenus);
    BuildTabMenu();
}

// Global ZEL, the command box's clipboard actions and Find.
void TfrmMain::BuildEditMenu()
{
    MenuItems &m = m_menu;
    m.GlobalZel = m.Edit->addAction(QStringLiteral("&Global ZEL On/Off"));
    m.GlobalZel->setCheckable(true);
    m.GlobalZel->setChecked(true);
    m.GlobalZel->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    connect(m.GlobalZel, &QAction::toggled, this, [this](bool on) { m_globals.GlobalZel = on; });
    m.Cut = m.Edit->addAction(QStringLiteral("Cu&t"), this, [this] {
        if (m_command->hasSelectedText())
            m_command->cut();
    });
    m.Cut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    m.Copy = m.Edit->addAction(QStringLiteral("&Copy"), this, &TfrmMain::CopySelection);
    m.Copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    m.Paste = m.Edit->addAction(QStringLiteral("&Paste"), this, [this] {
        const QString text = QApplication::clipboard()->text();
        if (!text.isEmpty())
            m_command->insert(text);
    });
    m.Paste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    m.Delete = m.Edit->addAction(QStringLiteral("Delete"), this, [this] {
        if (m_command->hasSelectedText())
            m_command->del();
    });
    m.Delete->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    m.Edit->addSeparator();
    m.Find = m.Edit->addAction(QStringLiteral("&Find..."), this, [this] {
        if (m_workspace.Current())
            m_search->Open();
    });
    m.Find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
}

// The tab's own menu, and the command box's, which offers the Edit actions.
void TfrmMain::BuildTabMenu()
{
    MenuItems &m = m_menu;
    m.TabMenu = new QMenu(this);
    m.Reconnect = m.TabMenu->addAction(QStringLiteral("&Reconnect"), this, [this] { m_workspace.ConnectCurrent(); });
    m.TabDisconnect
        = m.TabMenu->addAction(QStringLiteral("&Disconnect"), this, [this] { m_workspace.DisconnectCurrent(); });
    m.TabClose = m.TabMenu->addAction(QStringLiteral("&Close"), this, [this] {
        m_workspace.CloseCurrent();
        m_command->setFocus();
    });
    m.Configure = m.TabMenu->addAction(QStringLiteral("Configure &options..."), this, &TfrmMain::OpenOptions);

    // The command box's own menu offers the Edit actions.
    m_command->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_command, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        QMenu menu(this);
        menu.addAction(QStringLiteral("Cu&t"), QKeySequence(Qt::CTRL | Qt::Key_X), m_menu.Cut, &QAction::trigger);
        menu.addAction(QStringLiteral("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), m_menu.Copy, &QAction::trigger);
        menu.addAction(QStringLiteral("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V), m_menu.Paste, &QAction::trigger);
        menu.addAction(QStringLiteral("&Delete"), QKeySequence(Qt::CTRL | Qt::Key_Delete), m_menu.Delete,
                       &QAction::trigger);
        menu.exec(m_command->mapToGlobal(at));
    });
}

void TfrmMain::BuildExchangeMenus()
{
    MenuItems &m = m_menu;
    // Each acts on the selected session, which is not the welcome session (the menu is disabled then).
    const auto importer = [this](const QString &filter, void (TClient::*import)(const QString &)) {
        return [this, filter, import] {
            QPointer<TClient> session = m_workspace.Current();
            if (!session || IsWelcome(session))
                return;
            const QStringList files = ChooseFiles(Choose::Open, filter);
            if (!files.isEmpty() && session && !session->IsClosing())
                (session->*import)(files.front());
        };
    };
    const auto exporter
        = [this](const QString &filter, const QString &suffix, void (TClient::*write)(const QString &)) {
              return [this, filter, suffix, write] {
                  QPointer<TClient> session = m_workspace.Current();
                  if (!session || IsWelcome(session))
                      return;
                  const QStringList files = ChooseFiles(Choose::Save, filter);
                  if (files.isEmpty() || !session || session->IsClosing())
                      return;
                  QString path = files.front();
                  if (QFileInfo(path).suffix().isEmpty())
                      path += QLatin1Char('.') + suffix;
                  (session->*write)(path);
              };
          };
    m.Import = m.Options->addMenu(QStringLiteral("&Import settings"));
    m.ImportWns
        = m.Import->addAction(QStringLiteral("from Wren Client &1.6x (*.wns)"), this,
                              importer(QStringLiteral("Wren Client advanced (*.wns *.WNS)"), &TClient::ImportWns));
    m.ImportWn2
        = m.Import->addAction(QStringLiteral("from Wren Client &2.x (*.wn2)"), this,
                              importer(QStringLiteral("Wren Client advanced (*.wn2 *.WN2)"), &TClient::ImportAdvanced));
    m.ImportZMud = m.Import->addAction(QStringLiteral("from &zMUD export (*.txt)"), this,
                                       importer(QStringLiteral("zMUD Export (*.txt *.TXT)"), &TClient::ImportZMud));
    m.Export = m.Options->addMenu(QStringLiteral("&Export settings..."));
    m.ExportWn2 = m.Export->addAction(QStringLiteral("to Wren Client &2.x (*.wn2)"), this,
                                      exporter(QStringLiteral("Wren Client advanced (*.wn2 *.WN2)"),
                                               QStringLiteral("WN2"), &TClient::ExportAdvanced));
    m.ExportText = m.Export->addAction(QStringLiteral("to comma-delimited text file (.txt)"), this,
                                       exporter(QStringLiteral("Comma-delimited text file (*.txt *.TXT)"),
                                                QStringLiteral("TXT"), &TClient::ExportText));
}

void TfrmMain::BuildMusicMenu()
{
    MenuItems &m = m_menu;
    MusicPlayer &music = m_workspace.Music;
    const QString playlists = QStringLiteral("Playlists (*.pls *.m3u)");
    const auto load = [this, playlists](bool append) {
        const QStringList files = ChooseFiles(Choose::Open, playlists);
        QString error;
        if (!files.isEmpty() && !m_workspace.Music.Load(files.front(), append, &error))
            Message(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(files.front()), error));
    };
    m.ShowMusic = m.Music->addAction(QStringLiteral("Show"), this, [this](bool on) { ShowMusicList(on); });
    m.ShowMusic->setCheckable(true);
    m.ShowMusic->setShortcut(QKeySequence(Qt::Key_F8));
    m.Loop = m.Music->addAction(QStringLiteral("&Loop"), this, [&music](bool on) { music.LoopPlaylist = on; });
    m.Loop->setCheckable(true);
    m.Music->addSeparator();
    m.Play = m.Music->addAction(QStringLiteral("&Play"), this, [&music] { music.Play(); });
    m.Play->setShortcut(QKeySequence(Qt::Key_F9));
    m.Pause = m.Music->addAction(QStringLiteral("Pa&use"), this, [&music] { music.Pause(); });
    m.Stop = m.Music->addAction(QStringLiteral("&Stop"), this, [&music] { music.Stop(); });
    m.Stop->setShortcut(QKeySequence(Qt::Key_F10));
    m.Music->addSeparator();
    m.Next = m.Music->addAction(QStringLiteral("&Next"), this, [&music] { music.Next(); });
    m.Next->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    m.Previous = m.Music->addAction(QStringLiteral("Pre&vious"), this, [&music] { music.Previous(); });
    m.Previous->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    m.Music->addSeparator();
    m.AddSongs = m.Music->addAction(QStringLiteral("&Add songs..."), this, [this] {
        const QStringList files = ChooseFiles(Choose::OpenMany, QStringLiteral("Music (*.mp3 *.wav *.mid *.midi)"));
        if (!files.isEmpty())
            m_workspace.Music.AddSongs(files);
    });
    m.AddSongs->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    m.Append = m.Music->addAction(QStringLiteral("Appen&d from playlist..."), this, [load] { load(true); });
    m.SavePlaylist = m.Music->addAction(QStringLiteral("Sa&ve playlist..."), this, [this, playlists] {
        const QStringList files = ChooseFiles(Choose::Save, playlists);
        if (files.isEmpty() || m_workspace.Music.Songs().isEmpty())
            return;
        QString error;
        if (m_workspace.Music.Save(files.front(), &error))
            Message(QStringLiteral("Your playlist has been saved successfully."));
        else
            Message(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(files.front()), error));
    });
    m.SavePlaylist->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    m.LoadPlaylist = m.Music->addAction(QStringLiteral("&Load playlist..."), this, [load] { load(false); });
    m.LoadPlaylist->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));

    m.MusicListMenu = new QMenu(this);
    m.MusicListMenu->addAction(QStringLiteral("&Hide!"), this, [this] { ShowMusicList(false); });
    m.MusicListMenu->addAction(QStringLiteral("&Play"), m.Play, &QAction::trigger);
    m.MusicListMenu->addAction(QStringLiteral("Pa&use"), m.Pause, &QAction::trigger);
    m.MusicListMenu->addAction(QStringLiteral("&Stop"), m.Stop, &QAction::trigger);
    m.MusicListMenu->addSeparator();
    m.MusicListMenu->addAction(QStringLiteral("&Add songs..."), m.AddSongs, &QAction::trigger);
    m.MusicListMenu->addAction(QStringLiteral("Appe&nd from playlist..."), m.Append, &QAction::trigger);
    m.MusicListMenu->addAction(QStringLiteral("&Load playlist..."), m.LoadPlaylist, &QAction::trigger);
    m.MusicListMenu->addAction(QStringLiteral("&Save playlist..."), m.SavePlaylist, &QAction::trigger);
    m.MusicListMenu->addAction(QStringLiteral("&Clear playlist"), this, [&music] { music.Clear(); });
    m_musicList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_musicList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { m_menu.MusicListMenu->popup(m_musicList->mapToGlobal(at)); });
    connect(m_musicList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { m_workspace.Music.Select(m_musicList->row(item)); });
    connect(m_musicList, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { m_workspace.Music.Activate(m_musicList->row(item)); });
    connect(&music, &MusicPlayer::Changed, this, &TfrmMain::SyncMusicList);
    connect(&music, &MusicPlayer::ShowWanted, this, [this] { ShowMusicList(true); });
}

void TfrmMain::SyncMusicList()
{
    const QStringList &lines = m_workspace.Music.Lines();
    const QSignalBlocker block(m_musicList);
    if (m_musicList->count() != lines.size()) {
        m_musicList->clear();
        m_musicList->addItems(lines);
    } else {
        for (int i = 0; i < lines.size(); ++i) {
            if (m_musicList->item(i)->text() != lines[i])
                m_musicList->item(i)->setText(lines[i]);
        }
    }
    m_musicList->setCurrentRow(m_workspace.Music.Selected());
}

void TfrmMain::ShowMusicList(bool shown)
{
    m_musicList->setVisible(shown);
    m_menu.ShowMusic->setChecked(shown);
}

bool TfrmMain::IsWelcome(const TClient *session) const
{
    return session && session->Options.Host.trimmed() == "Welcome";
}

void TfrmMain::UpdateMenus()
{
    TClient *current = m_workspace.Current();
    MenuItems &m = m_menu;
    m.Close->setEnabled(current);
    m.Find->setEnabled(current);
    if (!current) {
        m.Connect->setEnabled(false);
        m.Disconnect->setEnabled(false);
    } else if (current->IsConnected()) {
        m.Connect->setEnabled(false);
        m.Connect->setText(QStringLiteral("&Connect"));
        m.Disconnect->setEnabled(true);
    } else {
        m.Disconnect->setEnabled(false);
        m.Connect->setText(QStringLiteral("&Connect to ") + QString::fromLocal8Bit(current->Options.Host.trimmed()));
        m.Connect->setEnabled(!IsWelcome(current));
    }
    const bool world = current && !IsWelcome(current);
    m.Import->setEnabled(world);
    m.Export->setEnabled(world);
    m.Advanced->setEnabled(world);
    m.ClearText->setEnabled(current);
}

int TfrmMain::NewWindow(const QByteArray &name, const QByteArray &host, int port, bool connect)
{
    return m_workspace.NewSession(name, host, port, connect)->Index;
}

void TfrmMain::OnSessionAdded(TClient *session, const QByteArray &name)
{
    SessionView *view = CreateSessionView(*session, m_stack);
    m_views.insert(session, view);
    m_stack->addWidget(view);
    connect(view, &SessionView::FocusReturned, m_command, [this] { m_command->setFocus(); });
    connect(view, &SessionView::ContextMenuWanted, this, &TfrmMain::ShowTabMenu);
    connect(session, &TClient::Notice, this, &TfrmMain::Message);
    session->TrustPrompt = [this](const QString &question) { return Ask(QStringLiteral("Certificate"), question); };
    connect(session, &TClient::AlertIconWanted, this, [this] {
        QApplication::setWindowIcon(AlertIcon);
        QApplication::alert(this);
    });
    {
        const QSignalBlocker block(m_tabs);
        m_tabs->addTab(QString::fromLocal8Bit(name));
    }
}

void TfrmMain::OnSessionRemoved(int index, TClient *session)
{
    {
        const QSignalBlocker block(m_tabs);
        m_tabs->removeTab(index);
    }
    if (SessionView *view = m_views.take(session)) {
        m_stack->removeWidget(view);
        view->deleteLater();
    }
}

void TfrmMain::OnCurrentChanged(int index)
{
    if (index >= 0)
        ShowSessionAt(index);
    UpdateMenus();
    m_search->Refresh();
}

void TfrmMain::ShowSessionAt(int index)
{
    TClient *session = m_workspace.At(index);
    if (!session)
        return;
    if (m_tabs->currentIndex() != index) {
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(index);
    }
    if (SessionView *view = ViewOf(session)) {
        m_stack->setCurrentWidget(view);
        view->raise();
    }
}

SessionView *TfrmMain::VisibleView() const
{
    return qobject_cast<SessionView *>(m_stack->currentWidget());
}

void TfrmMain::ShowTabMenu(const QPoint &globalPosition)
{
    m_menu.TabMenu->popup(globalPosition);
}

void TfrmMain::MinimizeAll()
{
    m_stack->setCurrentWidget(m_backdrop);
    m_workspace.SetCurrent(-1);
}

void TfrmMain::ClearText()
{
    if (TClient *session = m_workspace.Current())
        session->Display.Clear();
}

void TfrmMain::CopySelection()
{
    // With no session selected Copy does nothing; the view's selection goes before the box's.
    TClient *session = m_workspace.Current();
    if (!session)
        return;
    SessionView *view = ViewOf(session);
    if (view && view->HasSelection())
        view->Copy();
    else if (m_command->hasSelectedText())
        m_command->copy();
}

bool TfrmMain::Ask(const QString &title, const QString &question)
{
    if (AskYesNo)
        return AskYesNo(question);
    return QMessageBox::question(this, title, question) == QMessageBox::Yes;
}

void TfrmMain::Message(const QString &text)
{
    if (ShowMessage) {
        ShowMessage(text);
        return;
    }
    // Not modal: the sessions go on receiving while it is shown.
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Wren Client"), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

void TfrmMain::OpenConnectionManager()
{
    TfrmConnect dialog([this](const QByteArray &name, const QByteArray &host, int port,
                              bool connect) { NewWindow(name, host, port, connect); },
                       this);
    if (ShowMessage)
        dialog.ShowMessage = ShowMessage;
    if (BeforeDialog)
        BeforeDialog(&dialog);
    dialog.exec();
    m_command->setFocus();
}

// A dialog works on the session it was opened for, to the end: the selection may move meanwhile (a command
// of another session's), and when that session closes the dialog closes with it.
std::function<TClient *()> TfrmMain::BindToCurrent(QDialog &dialog)
{
    QPointer<TClient> target = m_workspace.Current();
    connect(&m_workspace, &Workspace::SessionRemoved, &dialog, [&dialog, target](int, TClient *session) {
        if (session == target)
            dialog.reject();
    });
    return [target]() -> TClient * { return target && !target->IsClosing() ? target.data() : nullptr; };
}

void TfrmMain::OpenOptions()
{
    TfrmOptions dialog(m_globals, {}, this);
    const auto session = BindToCurrent(dialog);
    dialog.SetSession([session]() -> OptionsFace * { return session(); });
    if (ShowMessage)
        dialog.ShowMessage = ShowMessage;
    if (BeforeDialog)
        BeforeDialog(&dialog);
    dialog.exec();
}

void TfrmMain::OpenAdvanced()
{
    // With no session (or the welcome session) there is nothing to edit.
    TClient *session = m_workspace.Current();
    if (!session || IsWelcome(session))
        return;
    TfrmAdvanced dialog({}, this);
    const auto bound = BindToCurrent(dialog);
    dialog.SetSession([bound]() -> AutomationFace * { return bound(); });
    if (ShowMessage)
        dialog.ShowMessage = ShowMessage;
    // The world's scripts, when it has them on: listed, edited, saved and reloaded beside the automations.
    if (ScriptEngine *engine = session->Scripts().Engine()) {
        auto *scripts = new ScriptsPage(dialog.pages);
        scripts->SetEngine(engine);
        dialog.pages->addTab(scripts, QStringLiteral("&Scripts"));
    }
    if (BeforeDialog)
        BeforeDialog(&dialog);
    dialog.exec();
}

void TfrmMain::OpenLoggingSetup()
{
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Logging setup"));
    auto *close = new QPushButton(QStringLiteral("&Close"), &dialog);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, &dialog, &QDialog::reject);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(close);
    if (BeforeDialog)
        BeforeDialog(&dialog);
    dialog.exec();
}

QString TfrmMain::GlobalSettingsPath()
{
    return QDir(ProgramFolder()).filePath(QStringLiteral("wn.ini"));
}

void TfrmMain::Start(const QList<QByteArray> &arguments)
{
    m_globals.UID = ComputeUid();
    m_globals.ScreenName = ReadScreenName();
    QString error;
    if (!LoadGlobalSettings(GlobalSettingsPath(), m_globals, &error))
        Message(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(GlobalSettingsPath()), error));
    RunStartupCheck(m_globals, HttpClient(PortalHttpOptions(m_globals.Version)), AppSettings().MakerHost());

    const int welcome = NewWindow("Welcome!", "Welcome", 50000, false);
    TClient *page = m_workspace.At(welcome);
    page->Options.AutoHighlightLinks = true;
    InstallWelcomeMedia(ProgramFolder());
    WriteWelcomePage(*page, m_globals, AppSettings().MakerHost());

    if (const auto address = ParseTelnetArgument(arguments)) {
        if (address->Secure) {
            // "telnets://" marks the world secure from now on.
            AppSettings settings;
            const QByteArray host = address->Host.trimmed().left(50);
            const QByteArray port = QByteArray::number(address->Port);
            WorldFeatures::Load(settings, host, port).SaveSwitch(settings, host, port, QStringLiteral("Secure"), true);
        }
        NewWindow(address->Host, address->Host, address->Port, true);
    }
    m_command->setFocus();
}

QString TfrmMain::AboutText(const QByteArray &version)
{
    return QStringLiteral("Wren Client version %1\n\n"
                          "Operating system: %2\n"
                          "Version: %3 (kernel %4 %5)\n"
                          "Build: %6\n"
                          "Physical memory: %7 KB")
        .arg(QString::fromLatin1(version), QSysInfo::prettyProductName(), QSysInfo::productVersion(),
             QSysInfo::kernelType(), QSysInfo::kernelVersion(), QSysInfo::buildAbi())
        .arg(PhysicalMemoryKb());
}

void TfrmMain::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange) {
        m_globals.AppActive = isActiveWindow();
        if (m_globals.AppActive)
            QApplication::setWindowIcon(NormalIcon);
    }
    QMainWindow::changeEvent(event);
}

} // namespace wren
