// SPDX-License-Identifier: GPL-3.0-or-later
// The command line: --help, --version and the one argument telnet://host:port.
#pragma once

#include <QByteArray>
#include <QStringList>

#include <optional>

namespace wren {

struct TelnetAddress {
    QByteArray Host;
    int Port = 0;
    /// The argument began "telnets://": the world is reached through TLS.
    bool Secure = false;
};

/// With exactly one argument: a leading "telnets://" marks the address secure; every "telnet://" and
/// "telnets://" and then every "/" removed; the host is the text before the
/// first ":", the port the number at the start of the text after it (0 without leading digits).
/// Nothing for any other number of arguments. @p arguments excludes the program name.
std::optional<TelnetAddress> ParseTelnetArgument(const QList<QByteArray> &arguments);

/// What the command line asks of the program, decided before any window or display exists.
struct CommandLine {
    enum class Action {
        Run, ///< open the window (and the world in StartArguments, if any)
        Help, ///< print UsageText() and exit 0
        Version, ///< print VersionText() and exit 0
        Invalid, ///< print Problem and UsageText() to stderr and exit 2
    };
    Action What = Action::Run;
    /// For Run: what start-up is handed, the one address with its port written out, or nothing.
    QList<QByteArray> StartArguments;
    /// For Invalid: what is wrong with the command line, in one line.
    QByteArray Problem;
};

/// Reads the program's arguments (@p arguments excludes the program name): "-h"/"--help" or
/// "-v"/"--version" anywhere win; any other argument starting with "-" is unknown; at most one address,
/// "telnet://host:port", "telnets://host:port" or "host:port", with trailing "/" allowed, a host of letters,
/// digits, ".", "-" and "_", and a port 1-65535. A browser's link without a port gets the scheme's port
/// (23 for telnet, 992 for telnets).
CommandLine ParseCommandLine(const QList<QByteArray> &arguments);

/// What "--help" prints, also shown after a bad command line.
QByteArray UsageText();

/// What "--version" prints.
QByteArray VersionText(const QByteArray &version);

} // namespace wren
