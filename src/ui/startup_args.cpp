// SPDX-License-Identifier: GPL-3.0-or-later
// The command line: --help, --version and the one argument telnet://host:port.
#include "ui/startup_args.h"

#include "base/text_helpers.h"

#include <algorithm>

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

namespace {

bool IsHostByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-'
           || c == '_';
}

// The port as written, 1-65535 in at most five digits; 0 for anything else.
int StrictPort(const QByteArray &digits)
{
    if (digits.isEmpty() || digits.size() > 5)
        return 0;
    int port = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return 0;
        port = port * 10 + (c - '0');
    }
    return port <= 65535 ? port : 0;
}

// One address argument checked strictly and written out whole ("telnet://host:port"), or the problem.
// ParseTelnetArgument reads far more (paths, junk after the port); the command line takes only what a
// player or a browser's link means, so a typing slip is reported instead of dialling port 0.
CommandLine CheckAddress(const QByteArray &argument)
{
    CommandLine result;
    QByteArray scheme = "telnet://";
    QByteArray rest = argument;
    if (argument.startsWith("telnets://")) {
        scheme = "telnets://";
        rest = argument.mid(scheme.size());
    } else if (argument.startsWith("telnet://")) {
        rest = argument.mid(scheme.size());
    }
    while (rest.endsWith('/'))
        rest.chop(1);
    const qsizetype colon = rest.indexOf(':');
    const QByteArray host = colon >= 0 ? rest.left(colon) : rest;
    const QByteArray portText = colon >= 0 ? rest.mid(colon + 1) : QByteArray(scheme == "telnets://" ? "992" : "23");
    const bool hostOk = !host.isEmpty() && std::all_of(host.begin(), host.end(), IsHostByte);
    const int port = StrictPort(portText);
    if (!hostOk || port == 0) {
        result.What = CommandLine::Action::Invalid;
        result.Problem = "not an address: '" + argument + "' (expected telnet://host:port or telnets://host:port)";
        return result;
    }
    result.StartArguments = {scheme + host + ':' + QByteArray::number(port)};
    return result;
}

} // namespace

CommandLine ParseCommandLine(const QList<QByteArray> &arguments)
{
    CommandLine result;
    QList<QByteArray> addresses;
    for (const QByteArray &argument : arguments) {
        if (argument == "-h" || argument == "--help")
            return {CommandLine::Action::Help, {}, {}};
        if (argument == "-v" || argument == "--version")
            return {CommandLine::Action::Version, {}, {}};
        if (argument.startsWith('-') && result.What != CommandLine::Action::Invalid) {
            result.What = CommandLine::Action::Invalid;
            result.Problem = "unknown option '" + argument + "'";
        }
        if (!argument.startsWith('-'))
            addresses.append(argument);
    }
    if (result.What == CommandLine::Action::Invalid)
        return result;
    if (addresses.size() > 1) {
        result.What = CommandLine::Action::Invalid;
        result.Problem = "one address at most, " + QByteArray::number(addresses.size()) + " given";
        return result;
    }
    return addresses.isEmpty() ? result : CheckAddress(addresses.front());
}

QByteArray UsageText()
{
    return "Usage: wren [telnet://HOST:PORT | telnets://HOST:PORT]\n"
           "       wren --help | --version\n"
           "\n"
           "Opens the Wren Client window on its welcome tab. With an address it also opens a tab on that\n"
           "world and connects to it; telnets:// connects through TLS. Without a port, telnet:// uses 23\n"
           "and telnets:// 992.\n"
           "\n"
           "  -h, --help     show this text and exit\n"
           "  -v, --version  show the version and exit\n";
}

QByteArray VersionText(const QByteArray &version)
{
    return "Wren Client " + version + "\n";
}

} // namespace wren
