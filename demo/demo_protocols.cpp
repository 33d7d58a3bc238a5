// SPDX-License-Identifier: GPL-3.0-or-later
// The demo world's side of GMCP, MSDP and MSSP: the bytes it sends and its reading of what clients send.
#include "demo/demo_protocols.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringDecoder>

namespace wren::demo
{

namespace
{

constexpr char Var = 1;
constexpr char Val = 2;
constexpr char TableOpen = 3;
constexpr char TableClose = 4;
constexpr char ArrayOpen = 5;
constexpr char ArrayClose = 6;

} // namespace

QByteArray Subnegotiation(unsigned char option, const QByteArray &payload)
{
    QByteArray bytes("\xFF\xFA", 2);
    bytes += static_cast<char>(option);
    for (const char ch : payload) {
        bytes += ch;
        if (ch == '\xFF')
            bytes += ch;
    }
    bytes += QByteArray("\xFF\xF0", 2);
    return bytes;
}

QByteArray GmcpMessage(const char *package, const QJsonValue &data)
{
    if (data.isUndefined())
        return Subnegotiation(GmcpOption, package);
    // A document holds only objects and arrays; anything else is written inside an array and unwrapped.
    QByteArray json = QJsonDocument(QJsonArray { data }).toJson(QJsonDocument::Compact);
    json = json.mid(1, json.size() - 2);
    return Subnegotiation(GmcpOption, QByteArray(package) + ' ' + json);
}

GmcpReceived ReadGmcp(const QByteArray &payload)
{
    GmcpReceived received;
    const qsizetype space = payload.indexOf(' ');
    received.Package = space < 0 ? payload : payload.left(space);
    if (space >= 0) {
        const QJsonDocument document = QJsonDocument::fromJson('[' + payload.mid(space + 1) + ']');
        if (document.isArray() && document.array().size() == 1)
            received.Data = document.array().at(0);
    }
    return received;
}

QByteArray MsdpVariable(const QByteArray &name, const MsdpValue &value)
{
    QByteArray bytes = Var + name + Val;
    if (!value.IsTable)
        return bytes + value.Text;
    bytes += TableOpen;
    for (const auto &[key, text] : value.Table)
        bytes += Var + key + Val + text;
    return bytes + TableClose;
}

QByteArray MsdpArray(const QByteArray &name, const QList<QByteArray> &items)
{
    QByteArray bytes = Var + name + Val + ArrayOpen;
    for (const QByteArray &item : items)
        bytes += Val + item;
    return bytes + ArrayClose;
}

QList<MsdpRequest> ReadMsdp(const QByteArray &payload)
{
    // Requests are flat: VAR command, then VAL name (VAL name ...), or VAL ARRAY_OPEN VAL name ... ARRAY_CLOSE.
    QList<MsdpRequest> requests;
    QByteArray *text = nullptr;
    for (const char ch : payload) {
        if (ch == Var) {
            requests.append(MsdpRequest {});
            text = &requests.back().Command;
        } else if (ch == Val && !requests.isEmpty()) {
            requests.back().Values.append(QByteArray());
            text = &requests.back().Values.back();
        } else if (ch >= TableOpen && ch <= ArrayClose) {
            text = nullptr;
        } else if (text) {
            *text += ch;
        }
    }
    for (MsdpRequest &request : requests)
        request.Values.removeAll(QByteArray());
    return requests;
}

QByteArray MsspMessage(const QList<std::pair<QByteArray, QList<QByteArray>>> &fields)
{
    QByteArray bytes;
    for (const auto &[name, values] : fields) {
        bytes += Var + name;
        for (const QByteArray &value : values)
            bytes += Val + value;
    }
    return Subnegotiation(MsspOption, bytes);
}

QString DecodeText(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString::fromLatin1(bytes) : text;
}

} // namespace wren::demo
