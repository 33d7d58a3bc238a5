// SPDX-License-Identifier: GPL-3.0-or-later
// The program's window for one session: its view and a one-line command box.
#include "ui/minimal_window.h"

#include "session/byte_decoder.h"
#include "session/client.h"
#include "ui/session_view.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QVBoxLayout>

namespace wren {

MinimalWindow::MinimalWindow(TClient &client, QWidget *parent)
    : QMainWindow(parent)
    , m_client(client)
{
    setWindowTitle(QStringLiteral("Wren Client - v%1").arg(QString::fromLatin1(client.Globals().Version)));
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_view = CreateSessionView(client, central);
    m_command = new QLineEdit(central);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_command);
    setCentralWidget(central);
    resize(900, 640);

    connect(m_command, &QLineEdit::returnPressed, this, &MinimalWindow::SendCommand);
    connect(m_view, &SessionView::FocusReturned, m_command, [this] { m_command->setFocus(); });
    connect(m_view, &SessionView::ContextMenuWanted, this, [this](const QPoint &at) {
        QMenu menu(this);
        menu.addAction(QStringLiteral("&Reconnect"), this, [this] { m_client.Connect(); });
        menu.addAction(QStringLiteral("&Disconnect"), this, [this] { m_client.Disconnect(); });
        menu.exec(at);
    });
    connect(&client, &TClient::Notice, this, [this](const QString &text) {
        // Not modal: the session goes on receiving while the message is shown.
        auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Wren Client"), text, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
    });

    // New text while the program is in the background: the window asks for attention.
    connect(&client, &TClient::AlertIconWanted, this, [this] { QApplication::alert(this); });

    auto *copy = new QAction(this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WindowShortcut);
    connect(copy, &QAction::triggered, this, [this] {
        if (m_command->hasSelectedText())
            m_command->copy();
        else
            m_view->Copy();
    });
    addAction(copy);
    m_command->setFocus();
}

void MinimalWindow::SendCommand()
{
    m_client.ProcessCommand(EncodeText(m_command->text()));
    m_command->clear();
}

void MinimalWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange)
        m_client.Globals().AppActive = isActiveWindow();
    QMainWindow::changeEvent(event);
}

} // namespace wren
