// SPDX-License-Identifier: GPL-3.0-or-later
// GMCP (telnet option 201) messages: reading a package name and its JSON, and writing the client's own.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonValue>
#include <QList>

namespace wren {

class AppSettings;

namespace gmcp {

/// The telnet option number.
constexpr unsigned char Option = 201;
/// A message longer than this (1 MB) is refused whole; its package name is still read.
constexpr qsizetype MaxPayload = 1048576;
/// Package names longer than this are refused.
constexpr qsizetype MaxPackageName = 256;

/// One GMCP message as received: the bytes between IAC SB 201 and IAC SE, with IAC IAC already undone.
struct Message {
    /// The package name as sent ("Char.Vitals"); empty when the name itself was refused.
    QByteArray Package;
    /// The message's data; Undefined when it carried none ("Core.Goodbye") or was refused.
    QJsonValue Data = QJsonValue::Undefined;
    /// Why the message (or its data) was refused; empty when it was read completely.
    QByteArray Error;

    bool Ok() const { return Error.isEmpty(); }
};

/// Reads one message. The package name is everything up to the first space; the rest, trimmed, is JSON
/// of any kind (an object, an array, or a bare string, number, true, false or null). Refused, with the
/// reason in Message::Error: an empty message, a message over MaxPayload bytes, a name that is empty,
/// too long, or holds control bytes or bytes above 127, and malformed JSON (Qt's reason and where; JSON
/// nested more than about 1,000 levels is malformed to Qt and fails at once). When only the data is
/// refused, Package still names the package, so the caller can report it and still run its event.
Message Parse(QByteArrayView payload);

/// Whether @p name can be a package name: 1..MaxPackageName printable ASCII bytes without spaces.
/// Returns the reason when it cannot, empty when it can.
QByteArray CheckPackageName(QByteArrayView name);

/// The payload "<package> <compact JSON>", or just the package when @p data is Undefined.
QByteArray Encode(QByteArrayView package, const QJsonValue &data = QJsonValue::Undefined);

/// `Core.Hello {"client":"Wren Client","version":"<version>"}`.
QByteArray CoreHello(QByteArrayView version);

/// `Core.Supports.Set ["Char 1","Char.Vitals 1",...]` from module entries such as "Char 1".
QByteArray CoreSupportsSet(const QList<QByteArray> &modules);

/// The modules announced unless a world has its own list: "Char 1", "Char.Vitals 1", "Room 1",
/// "Comm.Channel 1".
QList<QByteArray> DefaultModules();

/// The world's module list from the program's settings ("GameData/GmcpModules"); the default when the
/// world has none. Entries that are blank after trimming are left out.
QList<QByteArray> LoadModules(const AppSettings &settings, const QByteArray &host, const QByteArray &port);
void SaveModules(AppSettings &settings, const QByteArray &host, const QByteArray &port,
                 const QList<QByteArray> &modules);

/// What "/GMCP <package> [json]" asks to send.
struct Command {
    /// The payload to send; empty when refused.
    QByteArray Payload;
    /// Why nothing can be sent; empty when Payload is ready.
    QByteArray Error;
};

/// Reads the arguments of "/GMCP" (@p arguments is what follows the command's name): a package name,
/// then optionally JSON, which is checked as Parse checks it and sent as typed (trimmed).
Command FromCommandText(QByteArrayView arguments);

} // namespace gmcp
} // namespace wren
