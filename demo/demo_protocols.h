// SPDX-License-Identifier: GPL-3.0-or-later
// The demo world's side of GMCP, MSDP and MSSP: the bytes it sends and its reading of what clients send.
#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <utility>

namespace wren::demo
{

constexpr unsigned char GmcpOption = 201;
constexpr unsigned char MsdpOption = 69;
constexpr unsigned char MsspOption = 70;

/// IAC SB @p option, the payload with byte 255 doubled, IAC SE.
QByteArray Subnegotiation(unsigned char option, const QByteArray &payload);

/// A GMCP message: "Package.Name <compact JSON>" in its subnegotiation (the name alone for Undefined).
QByteArray GmcpMessage(const char *package, const QJsonValue &data);

/// What a client sent over GMCP: the package and its JSON (Undefined when it had none or it was not JSON).
struct GmcpReceived {
    QByteArray Package;
    QJsonValue Data;
};
GmcpReceived ReadGmcp(const QByteArray &payload);

/// An MSDP value the world sends: a string, or a table of names and strings.
struct MsdpValue {
    QByteArray Text;
    QList<std::pair<QByteArray, QByteArray>> Table;
    bool IsTable = false;
    bool operator==(const MsdpValue &) const = default;
};

/// VAR name VAL value: a string, or TABLE_OPEN VAR key VAL value ... TABLE_CLOSE.
QByteArray MsdpVariable(const QByteArray &name, const MsdpValue &value);
/// VAR name VAL ARRAY_OPEN VAL item ... ARRAY_CLOSE.
QByteArray MsdpArray(const QByteArray &name, const QList<QByteArray> &items);

/// One request from a client, "REPORT" with its names: the values after the command, arrays flattened.
struct MsdpRequest {
    QByteArray Command;
    QList<QByteArray> Values;
};
QList<MsdpRequest> ReadMsdp(const QByteArray &payload);

/// MSSP: VAR name VAL value (VAL value ...) for each field.
QByteArray MsspMessage(const QList<std::pair<QByteArray, QList<QByteArray>>> &fields);

/// Text for JSON: UTF-8 when the bytes are valid UTF-8, Latin-1 otherwise (the café is written in Latin-1).
QString DecodeText(const QByteArray &bytes);

} // namespace wren::demo
