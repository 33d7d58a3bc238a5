// SPDX-License-Identifier: GPL-3.0-or-later
// The client's own lines in a session's view: lines about the connection, and echoed commands.
#pragma once

#include <QByteArray>

namespace wren {

class SessionDocument;
struct TSessionOptions;

/// A line about the connection, on a line of its own in silver (cyan and underlined, and clickable, with
/// an @p action), straight into the view: not logged and not seen by triggers. The text attributes of what
/// the world writes next are left as they were.
void WriteStatusLine(SessionDocument &display, const TSessionOptions &options, const QByteArray &text,
                     const QByteArray &action);

/// A command as typed, in yellow, straight into the view (not logged, no triggers).
void WriteEchoLine(SessionDocument &display, const TSessionOptions &options, const QByteArray &text);

} // namespace wren
