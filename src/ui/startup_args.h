// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's one argument, telnet://host:port.
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

} // namespace wren
