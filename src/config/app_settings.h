// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own settings beyond the classic files: addresses of web services and per-world switches.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace wren {

/// An INI file of the program's own, "wrenclient.ini" in the program folder, beside "wn.ini". The classic
/// files (".wno", ".wn2", "wn.ini", "muds.ini") keep exactly their formats; what they have no room for
/// lives here: program-wide under [Program], and per world under a group named after its host and port.
class AppSettings
{
public:
    /// The file in the program folder.
    AppSettings();
    /// The file at @p path (tests).
    explicit AppSettings(const QString &path);

    static constexpr char FileName[] = "wrenclient.ini";

    /// The maker's web server: the portal ("/regwn2.php?", "/data.php") and the welcome page's links.
    /// Empty until the user names one; until then nothing about the user is sent anywhere.
    QByteArray MakerHost() const;
    void SetMakerHost(const QByteArray &host);
    /// The server of the public MUD list ("/zmud/mudlist2.txt"); empty by default.
    QByteArray MudListHost() const;
    void SetMudListHost(const QByteArray &host);

    /// A per-world value; @p fallback when the world has none.
    QVariant WorldValue(const QByteArray &host, const QByteArray &port, const QString &key,
                        const QVariant &fallback = {}) const;
    void SetWorldValue(const QByteArray &host, const QByteArray &port, const QString &key, const QVariant &value);

    /// A program-wide value under its own key ("Speech/Rate"); @p fallback when there is none.
    QVariant ProgramValue(const QString &key, const QVariant &fallback = {}) const { return Value(key, fallback); }
    void SetProgramValue(const QString &key, const QVariant &value) { SetValue(key, value); }

    QString Path() const { return m_path; }

private:
    QVariant Value(const QString &key, const QVariant &fallback = {}) const;
    void SetValue(const QString &key, const QVariant &value);

    QString m_path;
};

} // namespace wren
