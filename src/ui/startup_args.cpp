// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's one argument, telnet://host:port.
#include "ui/startup_args.h"

#include "base/text_helpers.h"

namespace wren {

std::optional<TelnetAddress> ParseTelnetArgument(const QList<QByteArray> &arguments)
{
    if (arguments.size() != 1)
        return std::nullopt;
    QByteArray text = arguments.front();
    TelnetAddress address;
    address.Secure = text.startsWith("telnets://");
    text.replace("telnets://", "");
    text.replace("telnet://", "");
    RemoveByte(text, '/');
    const qsizetype colon = text.indexOf(':');
    // Without a colon there is no host; connecting to the empty name reports the socket error.
    address.Host = colon >= 0 ? text.left(colon) : QByteArray();
    address.Port = colon >= 0 ? std::min(LeadingNumber(text.mid(colon + 1)), 65535) : 0;
    return address;
}

} // namespace wren
