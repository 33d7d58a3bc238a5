// SPDX-License-Identifier: GPL-3.0-or-later
// MSSP (telnet option 70): the server's status for crawlers and clients, names with one or more values.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <utility>

namespace wren::mssp {

/// The telnet option number.
constexpr unsigned char Option = 70;

/// The framing bytes.
enum Byte : char { Var = 1, Val = 2 };

/// At most this many names per message; further names are dropped.
constexpr int MaxFields = 256;
/// At most this many values per message, all names together; further values are dropped.
constexpr int MaxValues = 1024;
/// Only this many bytes of a message are read (64 KiB); the rest is dropped.
constexpr qsizetype MaxPayload = 65536;

/// One name and its values, in the order sent.
using Field = std::pair<QByteArray, QList<QByteArray>>;

struct Result {
    /// The names in the order first sent. A name sent twice keeps its first place and gets the later values
    /// added after its own. A name without a value has an empty list.
    QList<Field> Fields;
    /// What was dropped and why (a flood past the limits, bytes before the first name); empty when nothing.
    QByteArray Error;
};

/// Reads the bytes between IAC SB 70 and IAC SE (IAC IAC already undone).
Result Parse(QByteArrayView payload);

/// "NAME = value" per name, several values joined by ", ", one name per line (the protocol inspector's
/// rendering).
QByteArray Render(const Result &result);

} // namespace wren::mssp
