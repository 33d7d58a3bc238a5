// SPDX-License-Identifier: GPL-3.0-or-later
// The connection manager: the saved worlds and the public MUD list, and a new session opened from either.
#pragma once

#include <QDialog>

#include <functional>

class QCheckBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableWidget;

namespace wren {

/// TfrmConnect, "Connection Manager...": made afresh for each opening, so both files are read again.
class TfrmConnect : public QDialog
{
    Q_OBJECT
public:
    /// @p open makes the session (name, host, port, connect now).
    using OpenWorld = std::function<void(const QByteArray &name, const QByteArray &host, int port, bool connect)>;
    TfrmConnect(OpenWorld open, QWidget *parent = nullptr);

    /// The controls, for the tests.
    QTableWidget *grdMain = nullptr;
    QTableWidget *mudlist = nullptr;
    QLineEdit *txtID = nullptr, *txtHost = nullptr, *txtPort = nullptr;
    /// The world in the boxes is reached through TLS (kept per world in the program's own settings).
    QCheckBox *chkSecure = nullptr;
    QPushButton *cmdAdd = nullptr, *cmdDelete = nullptr, *bitClear = nullptr, *bitSave = nullptr, *bitConnect = nullptr,
                *bitOffline = nullptr, *bitClose = nullptr, *bitMUDList = nullptr;
    QMenu *thepopup = nullptr;
    QAction *mnuAdd = nullptr, *mnuVisit = nullptr, *mnuUpdate = nullptr;

    /// Messages for the user; a message box unless a test puts its own here.
    std::function<void(const QString &text)> ShowMessage;
    /// Opens a web site; the system's handler unless a test puts its own here.
    std::function<void(const QString &address)> OpenWebSite;

    /// Reads both files into the grids (the dialog does it when it is made).
    void LoadLists();
    /// Writes the world grid into "muds.ini".
    void SaveWorlds();
    /// Downloads the public list into "mudlist.txt" (shown at the next opening).
    void UpdateMudList();
    /// The MUD grid's mouse-up: its current row's name, host and port go into the boxes.
    void TakeMudRow();

private:
    void BuildLayout();
    void WireControls();
    void WorldClicked();
    void AddWorld();
    void DeleteWorld();
    void ConnectWorld();
    void SaveSecure();
    void MudDoubleClicked();
    QString Folder() const;
    /// The check box shows what is kept for the host and port in the boxes.
    void ShowSecure();
    void Message(const QString &text);

    OpenWorld m_open;
    bool m_offline = false;
};

} // namespace wren
