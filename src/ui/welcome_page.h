// SPDX-License-Identifier: GPL-3.0-or-later
// The welcome session's page, written in markup at start-up, and the picture and sound it uses.
#pragma once

#include <QByteArray>
#include <QString>

namespace wren {

class TClient;
struct TGlobals;

/// Copies the program's own welcome picture ("WrenImage.jpg") and start sound ("connect.wav") into
/// @p folder where they are missing, so the page and "/PLAY connect.wav" find them there.
void InstallWelcomeMedia(const QString &folder);

/// Writes the page into @p welcome: the picture, the greeting with the running version, then either the
/// notice of a newer version or the maker's pages at @p makerHost (its web server; may be empty), and
/// the version page; then runs "/PLAY connect.wav" in it.
void WriteWelcomePage(TClient &welcome, const TGlobals &globals, const QByteArray &makerHost);

} // namespace wren
