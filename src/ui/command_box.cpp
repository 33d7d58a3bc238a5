// SPDX-License-Identifier: GPL-3.0-or-later
// The one-line command box: Enter sends, Up and Down walk the history, Tab completes, macro keys run their
// commands, and the scroll keys hold and move the selected session's view.
#include "ui/command_box.h"

#include "automation/key_names.h"
#include "base/byte_decoder.h"
#include "session/command_face.h"
#include "session/command_history.h"
#include "session/workspace.h"
#include "ui/session_view.h"

#include <QKeyEvent>
#include <QPointer>

namespace wren {

namespace {

bool IsEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// Keys that type a character or edit the text: a macro on one of them swallows what the key would do.
bool TypesOrEdits(int code)
{
    return (code >= 0x21 && code <= 0x24) || (code >= 0x2D && code <= 0x39) || (code >= 0x41 && code <= 0x5A)
           || (code >= 0x60 && code <= 0x6F);
}

} // namespace

CommandBox::CommandBox(Workspace &workspace, QWidget *parent)
    : QLineEdit(parent)
    , m_workspace(workspace)
{
    QFont font(QStringLiteral("Courier"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(13);
    setFont(font);
    setObjectName(QStringLiteral("rtbCommand"));
    // The Edit menu's actions own Cut, Copy, Paste and Delete (they choose between the view and the box).
    setContextMenuPolicy(Qt::NoContextMenu);
    // A server that hides what is typed (a password prompt) hides it in the box too.
    connect(&m_workspace, &Workspace::CurrentChanged, this, &CommandBox::FollowTypingHidden);
    connect(&m_workspace, &Workspace::TypingHiddenChanged, this, &CommandBox::FollowTypingHidden);
}

void CommandBox::FollowTypingHidden()
{
    const CommandFace *session = m_workspace.CurrentFace();
    const EchoMode mode = session && session->HidesTyping() ? QLineEdit::Password : QLineEdit::Normal;
    if (mode == echoMode())
        return;
    if (mode == QLineEdit::Normal && echoMode() == QLineEdit::Password)
        clear(); // what was typed hidden is not shown when the prompt has passed
    setEchoMode(mode);
}

bool CommandBox::event(QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        // Tab and Ctrl+Tab are the box's keys, not focus moves.
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    } else if (event->type() == QEvent::ShortcutOverride) {
        // Let the window's Edit actions have their keys: Copy takes the view's selection first.
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Cut) || key->matches(QKeySequence::Paste)
            || (key->key() == Qt::Key_Delete && key->modifiers() == Qt::ControlModifier))
            return false;
    }
    return QLineEdit::event(event);
}

void CommandBox::keyPressEvent(QKeyEvent *event)
{
    CommandFace *session = m_workspace.CurrentFace();
    if (!session) {
        // No session selected: Tab does nothing, Backspace in an empty box does nothing, Enter does nothing.
        const int key = event->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab || IsEnter(key)
            || (key == Qt::Key_Backspace && text().isEmpty()))
            return;
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (!SessionKey(event, *session))
        QLineEdit::keyPressEvent(event);
}

bool CommandBox::SessionKey(QKeyEvent *event, CommandFace &session)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && (modifiers & Qt::ControlModifier)) {
        if (m_workspace.Count() > 1) {
            const int next = m_workspace.CurrentIndex() + 1;
            m_workspace.SetCurrent(next >= m_workspace.Count() ? 0 : next);
        }
        return true;
    }
    if (key == Qt::Key_Tab) {
        if (!session.HidesTyping())
            Complete(session);
        return true;
    }
    if (IsEnter(key)) {
        Enter(session);
        return true;
    }
    if (ScrollKey(event, session) || HistoryKey(event, session))
        return true;
    if (MacroKey(event, session))
        return true;
    // No macro took it: Tab is never typed, and Backspace in an empty box does nothing.
    if (key == Qt::Key_Backtab || (key == Qt::Key_Backspace && text().isEmpty()))
        return true;
    return false;
}

void CommandBox::Enter(CommandFace &session)
{
    if (session.HidesTyping()) {
        // A password: it goes to the world as typed, and nowhere else (no echo, history, log or aliases).
        session.SendSecret(session.EncodeTyped(text()));
        clear();
        return;
    }
    const int before = m_workspace.CurrentIndex();
    const QString typed = text();
    const QByteArray line = session.EncodeTyped(typed);
    // A command sent while the view is held brings it back to the end.
    if (session.IsHeld()) {
        session.SetHeld(false);
        session.ScrollToEnd();
    }
    session.ProcessCommand(line);
    // A session its own command closed is deleted only once the event loop is reached again, so it can
    // still be asked here.
    const bool closed = session.IsClosing();
    if (m_workspace.CurrentIndex() != before || closed) {
        // The command closed its session or selected another: nothing is recorded. When the session it
        // selected is still there (a world it opened), typing goes on there, where the tabs show it;
        // otherwise the first session is selected, or none.
        if (closed || !m_workspace.Current())
            m_workspace.SetCurrent(m_workspace.Count() > 0 ? 0 : -1);
        selectAll();
        setFocus();
        return;
    }
    if (!typed.isEmpty())
        session.TypedHistory().Record(line);
    if (session.ClearsAfterEnter())
        clear();
    else
        selectAll();
}

void CommandBox::Complete(CommandFace &session)
{
    const int caret = cursorPosition();
    if (caret <= 0)
        return;
    const QByteArray prefix = session.EncodeTyped(text().left(caret));
    const QString result = DecodeBytes(session.TabComplete(prefix));
    // The completion replaces the whole box, text after the caret included.
    if (result != text()) {
        setText(result);
        setSelection(caret, static_cast<int>(result.size()) - caret);
    }
    setFocus();
}

// Paging and line keys while the view is held.
void CommandBox::ScrollHeldView(SessionView &view, int key)
{
    switch (key) {
    case Qt::Key_PageUp: view.ScrollPageUp(); break;
    case Qt::Key_PageDown: view.ScrollPageDown(); break;
    case Qt::Key_Up: view.ScrollLineUp(); break;
    default: view.ScrollLineDown(); break;
    }
}

bool CommandBox::ScrollKey(QKeyEvent *event, CommandFace &session)
{
    const int key = event->key();
    SessionView *view = SelectedView ? SelectedView() : nullptr;
    if (!session.IsHeld()) {
        if (key == Qt::Key_ScrollLock) {
            session.SetHeld(true);
            return true;
        }
        if (key == Qt::Key_PageUp) {
            if (view)
                view->ScrollPageUp();
            session.SetHeld(true);
            return true;
        }
        return false;
    }
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (key) {
    case Qt::Key_ScrollLock:
        session.SetHeld(false);
        session.ScrollToEnd();
        return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (view)
            ScrollHeldView(*view, key);
        return true;
    case Qt::Key_Home:
    case Qt::Key_End:
        if (!shift)
            return false;
        if (view) {
            if (key == Qt::Key_Home)
                view->ScrollToTop();
            else
                view->ScrollToBottom();
        }
        return true;
    default: return false;
    }
}

bool CommandBox::HistoryKey(QKeyEvent *event, CommandFace &session)
{
    const int key = event->key();
    if ((key != Qt::Key_Up && key != Qt::Key_Down) || (event->modifiers() & ~Qt::KeypadModifier))
        return false;
    const QByteArray box = session.EncodeTyped(text());
    const bool wrap = session.WrapsHistory();
    CommandHistory &history = session.TypedHistory();
    const auto entry = key == Qt::Key_Up ? history.Up(box, wrap) : history.Down(box, wrap);
    if (!entry)
        return false;
    ShowBytes(*entry);
    return true;
}

bool CommandBox::MacroKey(QKeyEvent *event, CommandFace &session)
{
    const int code = VirtualKeyFromQt(event->key(), event->modifiers(), event->nativeVirtualKey());
    const QByteArray command = session.MacroFor(code, MacroShift(event->modifiers()));
    if (command.trimmed().isEmpty())
        return false;
    session.ProcessCommand(command);
    // A key that types or edits is swallowed; any other (F5) keeps its own effect.
    return TypesOrEdits(code);
}

void CommandBox::ShowBytes(const QByteArray &bytes)
{
    setText(DecodeBytes(bytes));
    selectAll();
}

} // namespace wren
