// SPDX-License-Identifier: GPL-3.0-or-later
// The connection manager: the saved worlds and the public MUD list, and a new session opened from either.
#include "ui/connection_manager.h"

#include "config/app_settings.h"
#include "config/program_folder.h"
#include "config/save_file.h"
#include "config/world_features.h"
#include "ui/access_setup.h"
#include "ui/world_list.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace wren {

namespace {

QTableWidget *MakeGrid(const QStringList &headers, const QList<int> &widths, QWidget *parent)
{
    auto *grid = new QTableWidget(1, static_cast<int>(headers.size()), parent);
    grid->setHorizontalHeaderLabels(headers);
    for (int c = 0; c < widths.size(); ++c)
        grid->setColumnWidth(c, widths[c]);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->hide();
    return grid;
}

QString Cell(const QTableWidget *grid, int row, int column)
{
    const QTableWidgetItem *item = grid->item(row, column);
    return item ? item->text() : QString();
}

void SetCell(QTableWidget *grid, int row, int column, const QString &text)
{
    grid->setItem(row, column, new QTableWidgetItem(text));
}

// Fills the grid's last (empty) row and adds a new empty one.
void AppendRow(QTableWidget *grid, const QStringList &cells)
{
    const int row = grid->rowCount() - 1;
    for (int c = 0; c < cells.size(); ++c)
        SetCell(grid, row, c, cells[c]);
    grid->setRowCount(grid->rowCount() + 1);
}

// The grid's mouse-up reaches the dialog for any button, before a pop-up menu opens.
class ReleaseWatcher : public QObject
{
public:
    ReleaseWatcher(QObject *parent, std::function<void()> onRelease)
        : QObject(parent)
        , m_onRelease(std::move(onRelease))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonRelease)
            m_onRelease();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_onRelease;
};

} // namespace

TfrmConnect::TfrmConnect(OpenWorld open, QWidget *parent)
    : QDialog(parent)
    , m_open(std::move(open))
{
    setWindowTitle(QStringLiteral("Connection Manager..."));
    OpenWebSite = [](const QString &address) { QDesktopServices::openUrl(QUrl::fromUserInput(address)); };
    BuildLayout();
    LoadLists();
}

void TfrmConnect::BuildLayout()
{
    grdMain = MakeGrid({QStringLiteral("ID"), QStringLiteral("Host"), QStringLiteral("Port")}, {166, 210, 50}, this);
    mudlist
        = MakeGrid({QStringLiteral("Name"), QStringLiteral("Host"), QStringLiteral("Port"), QStringLiteral("Web Site")},
                   {133, 160, 41, 356}, this);
    txtID = new QLineEdit(this);
    txtHost = new QLineEdit(this);
    txtPort = new QLineEdit(this);
    chkSecure = new QCheckBox(QStringLiteral("S&ecure (TLS)"), this);
    connect(txtHost, &QLineEdit::textChanged, this, &TfrmConnect::ShowSecure);
    connect(txtPort, &QLineEdit::textChanged, this, &TfrmConnect::ShowSecure);
    cmdAdd = new QPushButton(QStringLiteral("&Add"), this);
    cmdDelete = new QPushButton(QStringLiteral("&Delete"), this);
    bitClear = new QPushButton(QStringLiteral("Clea&r"), this);
    bitSave = new QPushButton(QStringLiteral("&Save"), this);
    bitConnect = new QPushButton(QStringLiteral("&Connect"), this);
    bitOffline = new QPushButton(QStringLiteral("&Offline"), this);
    bitClose = new QPushButton(QStringLiteral("C&lose"), this);
    bitMUDList = new QPushButton(QStringLiteral("&Update"), this);
    bitConnect->setDefault(true);

    auto *boxes = new QGridLayout;
    boxes->addWidget(new QLabel(QStringLiteral("ID: "), this), 0, 0);
    boxes->addWidget(txtID, 0, 1);
    boxes->addWidget(new QLabel(QStringLiteral("Host: "), this), 1, 0);
    boxes->addWidget(txtHost, 1, 1);
    boxes->addWidget(new QLabel(QStringLiteral("Port: "), this), 2, 0);
    boxes->addWidget(txtPort, 2, 1);
    boxes->addWidget(chkSecure, 3, 1);
    auto *edit = new QHBoxLayout;
    for (QPushButton *button : {cmdAdd, cmdDelete, bitClear})
        edit->addWidget(button);
    auto *right = new QVBoxLayout;
    right->addLayout(boxes);
    right->addLayout(edit);
    right->addStretch();
    for (QPushButton *button : {bitSave, bitConnect, bitOffline, bitClose})
        right->addWidget(button);
    auto *top = new QHBoxLayout;
    top->addWidget(grdMain, 1);
    top->addLayout(right);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(mudlist, 1);
    bottom->addWidget(bitMUDList, 0, Qt::AlignTop);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bottom, 1);
    resize(760, 480);
    WireControls();
}

// What the grids, the buttons and the list's menu do.
void TfrmConnect::WireControls()
{
    thepopup = new QMenu(this);
    mnuAdd = thepopup->addAction(QStringLiteral("&Add to MUD list"), this, &TfrmConnect::AddWorld);
    mnuVisit = thepopup->addAction(QStringLiteral("&Visit MUD web site"), this, [this] {
        const QString site = Cell(mudlist, mudlist->currentRow(), 3);
        if (!site.isEmpty())
            OpenWebSite(site);
    });
    mnuUpdate = thepopup->addAction(QStringLiteral("&Update MUD list"), this, &TfrmConnect::UpdateMudList);
    mudlist->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(mudlist, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { thepopup->popup(mudlist->viewport()->mapToGlobal(at)); });
    mudlist->viewport()->installEventFilter(new ReleaseWatcher(this, [this] { TakeMudRow(); }));

    connect(grdMain, &QTableWidget::itemSelectionChanged, this, &TfrmConnect::WorldClicked);
    connect(grdMain, &QTableWidget::cellDoubleClicked, this, &TfrmConnect::ConnectWorld);
    connect(mudlist, &QTableWidget::cellDoubleClicked, this, &TfrmConnect::MudDoubleClicked);
    // Enter does what a double click does, so the grids work from the keyboard.
    OnEnter(grdMain, [this] {
        if (grdMain->currentRow() >= 0)
            ConnectWorld();
    });
    OnEnter(mudlist, [this] {
        if (mudlist->currentRow() >= 0)
            MudDoubleClicked();
    });
    connect(cmdAdd, &QPushButton::clicked, this, &TfrmConnect::AddWorld);
    connect(cmdDelete, &QPushButton::clicked, this, &TfrmConnect::DeleteWorld);
    connect(bitClear, &QPushButton::clicked, this, [this] {
        txtID->clear();
        txtHost->clear();
        txtPort->clear();
    });
    connect(bitSave, &QPushButton::clicked, this, &TfrmConnect::SaveWorlds);
    connect(bitConnect, &QPushButton::clicked, this, &TfrmConnect::ConnectWorld);
    connect(bitOffline, &QPushButton::clicked, this, [this] {
        m_offline = true;
        ConnectWorld();
    });
    connect(bitClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(bitMUDList, &QPushButton::clicked, this, &TfrmConnect::UpdateMudList);
}

QString TfrmConnect::Folder() const
{
    return ProgramFolder();
}

void TfrmConnect::Message(const QString &text)
{
    if (ShowMessage)
        ShowMessage(text);
    else
        QMessageBox::information(this, QStringLiteral("Wren Client"), text);
}

void TfrmConnect::LoadLists()
{
    grdMain->setRowCount(1);
    // A world list that cannot be read whole is not shown in part: Connect saves the list, and the rest of
    // the user's worlds would be lost. Saving over it asks first.
    const QString worldsPath = QDir(Folder()).filePath(QStringLiteral("muds.ini"));
    QByteArray worlds;
    QString error;
    if (ReadUserFile(worldsPath, qint64(4) * 1024 * 1024, &worlds, &error) == FileRead::Failed) {
        // Said once the dialog is up (this runs while it is being made).
        const QString text = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(worldsPath), error);
        QTimer::singleShot(0, this, [this, text] { Message(text); });
    }
    for (const SavedWorld &world : ParseWorldList(worlds))
        AppendRow(grdMain, {QString::fromLocal8Bit(world.ID), QString::fromLocal8Bit(world.Host),
                            QString::fromLocal8Bit(world.Port)});
    grdMain->setCurrentCell(0, 0);
    WorldClicked();

    mudlist->setRowCount(1);
    QFile list(QDir(Folder()).filePath(QStringLiteral("mudlist.txt")));
    if (list.open(QIODevice::ReadOnly)) {
        for (const ListedMud &mud : ParseMudList(list.read(qint64(16) * 1024 * 1024)))
            AppendRow(mudlist, {QString::fromLocal8Bit(mud.Name), QString::fromLocal8Bit(mud.Host),
                                QString::fromLocal8Bit(mud.Port), QString::fromLocal8Bit(mud.WebSite)});
    }
}

void TfrmConnect::WorldClicked()
{
    const int row = grdMain->currentRow();
    if (row < 0 || Cell(grdMain, row, 0).isEmpty())
        return;
    txtID->setText(Cell(grdMain, row, 0));
    txtHost->setText(Cell(grdMain, row, 1));
    txtPort->setText(Cell(grdMain, row, 2));
}

void TfrmConnect::AddWorld()
{
    SaveSecure();
    AppendRow(grdMain, {txtID->text(), txtHost->text(), txtPort->text()});
    grdMain->setCurrentCell(grdMain->rowCount() - 2, 0);
}

void TfrmConnect::DeleteWorld()
{
    const int row = grdMain->currentRow();
    if (row < 0)
        return;
    if (row == grdMain->rowCount() - 1) {
        for (int c = 0; c < grdMain->columnCount(); ++c)
            SetCell(grdMain, row, c, QString());
        return;
    }
    grdMain->removeRow(row);
}

void TfrmConnect::SaveWorlds()
{
    SaveSecure();
    QList<SavedWorld> worlds;
    for (int row = 0; row + 1 < grdMain->rowCount(); ++row)
        worlds.append({Cell(grdMain, row, 0).toLocal8Bit(), Cell(grdMain, row, 1).toLocal8Bit(),
                       Cell(grdMain, row, 2).toLocal8Bit()});
    const QString path = QDir(Folder()).filePath(QStringLiteral("muds.ini"));
    QString error;
    if (!SaveFileAtomically(path, WorldListBytes(worlds), &error))
        Message(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), error));
}

namespace {

// The world's key in the program's settings, as the session forms it from its options.
std::pair<QByteArray, QByteArray> WorldKey(const QString &host, const QString &port)
{
    return {host.toLocal8Bit().trimmed().left(50), QByteArray::number(PortNumber(port.toLatin1())).left(5)};
}

} // namespace

void TfrmConnect::ShowSecure()
{
    const auto [host, port] = WorldKey(txtHost->text(), txtPort->text());
    chkSecure->setChecked(!host.isEmpty() && WorldFeatures::Load(AppSettings(), host, port).Secure);
}

// The Secure box belongs to the world in the boxes: kept whenever the world is (Add, Save, Connect).
void TfrmConnect::SaveSecure()
{
    const auto [host, port] = WorldKey(txtHost->text(), txtPort->text());
    if (host.isEmpty())
        return;
    AppSettings settings;
    WorldFeatures features = WorldFeatures::Load(settings, host, port);
    if (features.Secure != chkSecure->isChecked())
        features.SaveSwitch(settings, host, port, QStringLiteral("Secure"), chkSecure->isChecked());
}

void TfrmConnect::ConnectWorld()
{
    SaveWorlds();
    m_open(txtID->text().toLocal8Bit(), txtHost->text().toLocal8Bit(), PortNumber(txtPort->text().toLatin1()),
           !m_offline);
    accept();
}

void TfrmConnect::TakeMudRow()
{
    const int row = mudlist->currentRow();
    if (row < 0)
        return;
    txtID->setText(Cell(mudlist, row, 0));
    txtHost->setText(Cell(mudlist, row, 1));
    txtPort->setText(Cell(mudlist, row, 2));
}

void TfrmConnect::MudDoubleClicked()
{
    TakeMudRow();
    AddWorld();
    SaveWorlds();
    ConnectWorld();
}

void TfrmConnect::UpdateMudList()
{
    const QByteArray address = MudListAddress(AppSettings().MudListHost());
    if (address.isEmpty()) {
        Message(QStringLiteral("No public MUD list server is named. Put its host in %1 as [Program] MudListHost.")
                    .arg(QDir::toNativeSeparators(AppSettings().Path())));
        return;
    }
    bitMUDList->setEnabled(false);
    QString error;
    if (!DownloadMudList(HttpClient(MudListHttpOptions()), address,
                         QDir(Folder()).filePath(QStringLiteral("mudlist.txt")), &error))
        Message(QStringLiteral("The MUD list could not be updated: %1").arg(error));
    bitMUDList->setEnabled(true);
}

} // namespace wren
