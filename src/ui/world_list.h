// SPDX-License-Identifier: GPL-3.0-or-later
// The saved worlds ("muds.ini") and the downloaded public MUD list ("mudlist.txt").
#pragma once

#include "config/http_client.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace wren {

struct SavedWorld {
    QByteArray ID;
    QByteArray Host;
    QByteArray Port;
};

struct ListedMud {
    QByteArray Name;
    QByteArray Host;
    QByteArray Port;
    QByteArray WebSite;
};

/// The lines of "muds.ini": ID, TAB, host, TAB, port. Empty lines, and lines with fewer than three fields
/// (which a row saved with empty boxes leaves behind), are skipped; the rest of the file still loads.
QList<SavedWorld> ParseWorldList(const QByteArray &bytes);
/// The file as written: one line per world, the fields joined by TAB, each line ended by CR LF.
QByteArray WorldListBytes(const QList<SavedWorld> &worlds);

/// The lines of "mudlist.txt" with at least four TAB-separated fields: field 1 the name, field 2 the host
/// with every blank removed, field 3 the port and field 4 (when there) the web site, without TABs.
QList<ListedMud> ParseMudList(const QByteArray &bytes);

/// The public list's address on @p host; empty without a host.
QByteArray MudListAddress(const QByteArray &host);
/// The HTTP options the connection manager's client uses.
HttpOptions MudListHttpOptions();

/// Downloads the public list and writes it over "mudlist.txt" at @p path; a failed download or write keeps
/// the old file. False with the reason in @p error.
bool DownloadMudList(const HttpClient &http, const QByteArray &address, const QString &path, QString *error);

/// The number at the start of a port text (leading blanks skipped), 0 when there is none.
int PortNumber(const QByteArray &text);

} // namespace wren
