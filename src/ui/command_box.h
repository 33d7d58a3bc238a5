// SPDX-License-Identifier: GPL-3.0-or-later
// The one-line command box: Enter sends, Up and Down walk the history, Tab completes, macro keys run their
// commands, and the scroll keys hold and move the selected session's view.
#pragma once

#include <QLineEdit>

#include <functional>

namespace wren {

class CommandFace;
class SessionView;
class Workspace;

/// Belongs to the main window, not to a session: its keys act on the selected session.
class CommandBox : public QLineEdit
{
    Q_OBJECT
public:
    explicit CommandBox(Workspace &workspace, QWidget *parent = nullptr);

    /// The view of the selected session (for the scroll keys); set by the window.
    std::function<SessionView *()> SelectedView;

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    /// True when the key was taken; false lets the box edit as usual.
    bool SessionKey(QKeyEvent *event, CommandFace &session);
    void Enter(CommandFace &session);
    void Complete(CommandFace &session);
    bool ScrollKey(QKeyEvent *event, CommandFace &session);
    static void ScrollHeldView(SessionView &view, int key);
    bool HistoryKey(QKeyEvent *event, CommandFace &session);
    /// Runs a macro of the key; true when its character is to be swallowed.
    bool MacroKey(QKeyEvent *event, CommandFace &session);
    void ShowBytes(const QByteArray &bytes);
    void FollowTypingHidden();

    Workspace &m_workspace;
};

} // namespace wren
