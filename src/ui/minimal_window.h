// SPDX-License-Identifier: GPL-3.0-or-later
// The program's window for one session: its view and a one-line command box.
#pragma once

#include <QMainWindow>

class QLineEdit;

namespace wren {

class SessionView;
class TClient;

class MinimalWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MinimalWindow(TClient &client, QWidget *parent = nullptr);

    SessionView *View() const { return m_view; }
    QLineEdit *CommandBox() const { return m_command; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void SendCommand();

    TClient &m_client;
    SessionView *m_view = nullptr;
    QLineEdit *m_command = nullptr;
};

} // namespace wren
