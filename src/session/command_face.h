// SPDX-License-Identifier: GPL-3.0-or-later
// What the command box sees of a session: typing, history, completion, macros and holding the view.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace wren {

struct CommandHistory;

/// The command box acts on the selected session through this face only.
class CommandFace
{
public:
    virtual ~CommandFace() = default;
    /// Everything typed enters here.
    virtual void ProcessCommand(const QByteArray &text) = 0;
    /// The server echoes what is typed (a password prompt): the box hides it, and Enter sends it with
    /// SendSecret.
    virtual bool HidesTyping() const = 0;
    virtual void SendSecret(const QByteArray &line) = 0;
    /// A line typed in the box as the world gets it.
    virtual QByteArray EncodeTyped(const QString &text) const = 0;
    /// The first tab-completion word longer than @p prefix that begins with it; @p prefix when none does.
    virtual QByteArray TabComplete(const QByteArray &prefix) const = 0;
    virtual CommandHistory &TypedHistory() = 0;
    /// The command of the enabled macro bound to the key, empty when none is.
    virtual QByteArray MacroFor(int key, std::uint8_t shift) const = 0;
    /// The session is being closed (a command of its own may close it).
    virtual bool IsClosing() const = 0;
    /// The user holds the view: new text does not move it.
    virtual bool IsHeld() const = 0;
    virtual void SetHeld(bool held) = 0;
    virtual void ScrollToEnd() = 0;
    /// Up and Down wrap around the history.
    virtual bool WrapsHistory() const = 0;
    /// The box is emptied after Enter.
    virtual bool ClearsAfterEnter() const = 0;
};

} // namespace wren
