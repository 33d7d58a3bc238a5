// SPDX-License-Identifier: GPL-3.0-or-later
// The program-wide settings file "wn.ini" and the calls to the maker's web portal.
#include "config/global_settings.h"

#include "base/text_helpers.h"
#include "config/logging.h"
#include "config/save_file.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSysInfo>

namespace wren {

WnIniLogin ParseWnIni(const QByteArray &bytes)
{
    WnIniLogin login;
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const QList<QByteArray> fields = SplitText(line, '\t');
        if (fields.isEmpty())
            continue;
        const QByteArray key = fields[0].toUpper();
        const QByteArray value = fields.size() > 1 ? fields[1] : QByteArray();
        if (key == "WPLOGIN")
            login.WPLogin = value;
        else if (key == "WPPASS")
            login.WPPass = value;
    }
    return login;
}

QByteArray WnIniBytes(const QByteArray &login, const QByteArray &password, const QByteArray &uid)
{
    return "WPLogin\t" + login + "\r\nWPPass\t" + password + "\r\nUID\t" + uid + "\r\n";
}

QByteArray ComputeUid()
{
    QByteArray seed = QSysInfo::machineUniqueId();
    if (seed.isEmpty())
        seed = QSysInfo::machineHostName().toUtf8() + QSysInfo::kernelVersion().toUtf8();
    return QCryptographicHash::hash("Wren Client " + seed, QCryptographicHash::Sha1).toHex().toUpper().left(20);
}

QByteArray ReadScreenName()
{
    return {};
}

bool LoadGlobalSettings(const QString &path, TGlobals &globals, QString *error)
{
    // A settings file of three short lines; anything far larger is not one, and is kept as it is.
    QByteArray bytes;
    switch (ReadUserFile(path, qint64(64) * 1024, &bytes, error)) {
    case FileRead::Missing:
        globals.WPLogin.clear();
        globals.WPPass.clear();
        return SaveGlobalSettings(path, globals, error);
    case FileRead::Failed: return false;
    case FileRead::Read: break;
    }
    const WnIniLogin login = ParseWnIni(bytes);
    globals.WPLogin = login.WPLogin;
    globals.WPPass = login.WPPass;
    return true;
}

bool SaveGlobalSettings(const QString &path, const TGlobals &globals, QString *error)
{
    return SaveFileAtomically(path, WnIniBytes(globals.WPLogin, globals.WPPass, globals.UID), error, true);
}

QByteArray CleanPortalReply(const QByteArray &reply)
{
    QByteArray cleaned = ReplaceAll("</HTML>", QByteArray(), ReplaceAll("<HTML>", QByteArray(), reply));
    return cleaned.trimmed();
}

std::optional<QByteArray> PortalField(const QByteArray &reply, const QByteArray &marker, qsizetype from, qsizetype *end)
{
    const qsizetype at = reply.indexOf(marker, from);
    if (at < 0)
        return std::nullopt;
    const qsizetype start = at + marker.size();
    const qsizetype lf = reply.indexOf('\n', start);
    if (end)
        *end = lf < 0 ? reply.size() : lf;
    if (lf < 0)
        return reply.mid(start); // the reply ends on the value: nothing to take off
    // The character before the LF is taken off only when it is the CR of a CR LF line end.
    const qsizetype valueEnd = lf > start && reply[lf - 1] == '\r' ? lf - 1 : lf;
    return reply.mid(start, valueEnd - start);
}

QByteArray PortalAddress(const QByteArray &host)
{
    const QByteArray trimmed = host.trimmed();
    return trimmed.isEmpty() ? QByteArray() : "http://" + trimmed + "/regwn2.php?";
}

HttpOptions PortalHttpOptions(const QByteArray &version)
{
    HttpOptions options;
    options.UserAgent = "Wren Client/" + version + " (compatible; Indy Library)";
    return options;
}

namespace {

std::optional<int> ValidFlag(const QByteArray &reply, qsizetype from)
{
    if (const auto field = PortalField(reply, "VALIDWP: ", from))
        return LeadingNumber(*field);
    return std::nullopt;
}

} // namespace

void RunStartupCheck(TGlobals &globals, const HttpClient &http, const QByteArray &portalHost)
{
    globals.LatestVersion = globals.Version;
    const QByteArray address = PortalAddress(portalHost);
    if (address.isEmpty())
        return; // no portal named: nothing about the user leaves the machine
    QByteArray version = globals.Version;
    RemoveByte(version, '.');
    const HttpResult result = http.Post(
        address, {"ID=" + globals.UID, "&wpuser=" + globals.WPLogin, "&wppass=" + globals.WPPass, "&VNum=" + version});
    if (!result.Ok)
        return;
    const QByteArray reply = CleanPortalReply(result.Body);
    qsizetype end = 0;
    const auto latest = PortalField(reply, "VER: ", 0, &end);
    if (!latest)
        return;
    globals.LatestVersion = *latest;
    if (const auto valid = ValidFlag(reply, end))
        globals.PortalValid = *valid == 1;
}

PortalTest RunPortalTest(TGlobals &globals, const HttpClient &http, const QByteArray &portalHost,
                         const QByteArray &login, const QByteArray &password)
{
    const QByteArray address = PortalAddress(portalHost);
    if (address.isEmpty())
        return PortalTest::Retry;
    const HttpResult result
        = http.Post(address, {"ID=QuenmarchTest", "&wpuser=" + login, "&wppass=" + password, "&VNum=100"});
    const auto valid = result.Ok ? ValidFlag(CleanPortalReply(result.Body), 0) : std::nullopt;
    if (!valid)
        return PortalTest::Retry;
    globals.PortalValid = *valid == 1;
    return globals.PortalValid ? PortalTest::Valid : PortalTest::Invalid;
}

} // namespace wren
