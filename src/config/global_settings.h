// SPDX-License-Identifier: GPL-3.0-or-later
// The program-wide settings file "wn.ini" and the calls to the maker's web portal.
#pragma once

#include "config/globals.h"
#include "config/http_client.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace wren {

/// The login held in "wn.ini".
struct WnIniLogin {
    QByteArray WPLogin;
    QByteArray WPPass;
};

/// Reads the lines of "wn.ini": each is split at TAB; a first field "WPLOGIN" or "WPPASS" (any case) gives
/// the login or the password (empty without a second field). Other keys, "UID" among them, are not taken.
WnIniLogin ParseWnIni(const QByteArray &bytes);
/// The whole file: "WPLogin", "WPPass" and "UID", each with a TAB, its value and CR LF, in that order.
QByteArray WnIniBytes(const QByteArray &login, const QByteArray &password, const QByteArray &uid);

/// A 20-character identifier of this machine, the same at every start.
QByteArray ComputeUid();
/// The instant-messenger screen name from the user's registry; there is none outside Windows.
QByteArray ReadScreenName();

/// Reads "wn.ini" at @p path into the globals' login and password. A missing file is written at once with
/// an empty login and password. False with the system's text in @p error when the file cannot be read or
/// written.
bool LoadGlobalSettings(const QString &path, TGlobals &globals, QString *error = nullptr);
/// Writes "wn.ini" at @p path, through a temporary file, readable by its owner only.
bool SaveGlobalSettings(const QString &path, const TGlobals &globals, QString *error = nullptr);

/// The portal's answer with "<HTML>" and "</HTML>" removed and blanks trimmed.
QByteArray CleanPortalReply(const QByteArray &reply);
/// The text after @p marker up to the next LF, less a CR right before the LF, read
/// from @p from on; @p end receives where it stopped. Nothing when the marker is not there.
std::optional<QByteArray> PortalField(const QByteArray &reply, const QByteArray &marker, qsizetype from = 0,
                                      qsizetype *end = nullptr);

/// The portal's address for @p host: "http://" + host + "/regwn2.php?"; empty without a host.
QByteArray PortalAddress(const QByteArray &host);
/// The HTTP options of the main window's client: its user agent "Wren Client/<version> (compatible; Indy
/// Library)".
HttpOptions PortalHttpOptions(const QByteArray &version);

/// The start-up check: posts the machine's identifier, the login and the running version to the portal.
/// Sets LatestVersion (the running version when the check fails or the answer holds no "VER: ") and, from
/// a "VALIDWP: " after it, PortalValid. With no portal host it fails at once: nothing leaves the machine.
void RunStartupCheck(TGlobals &globals, const HttpClient &http, const QByteArray &portalHost);

enum class PortalTest { Valid, Invalid, Retry };
/// The options dialog's Test: posts the login and @p password; Retry when the answer has no "VALIDWP: " or
/// the request failed. Sets PortalValid for a Valid or Invalid answer.
PortalTest RunPortalTest(TGlobals &globals, const HttpClient &http, const QByteArray &portalHost,
                         const QByteArray &login, const QByteArray &password);

} // namespace wren
