// SPDX-License-Identifier: GPL-3.0-or-later
// GMCP (telnet option 201) messages: reading a package name and its JSON, and writing the client's own.
#include "gamedata/gmcp.h"

#include "config/app_settings.h"
#include "gamedata/json_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace wren::gmcp {

namespace {

const QString ModulesKey = QStringLiteral("GameData/GmcpModules");

/// The JSON after the package name, as one value. GMCP data may be a bare scalar ("text", 42, true),
/// which QJsonDocument does not read on its own, so it is read as the only element of an array.
/// Qt refuses nesting deeper than 1,024 levels at once (the array adds one), so no guard of our own is
/// needed against a server that nests thousands of brackets.
QJsonValue ParseData(QByteArrayView json, QByteArray &error)
{
    QByteArray wrapped;
    wrapped.reserve(json.size() + 2);
    wrapped += '[';
    wrapped += json;
    wrapped += ']';
    QJsonParseError parseError {};
    const QJsonDocument document = QJsonDocument::fromJson(wrapped, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        const qsizetype at = std::clamp<qsizetype>(parseError.offset - 1, 0, json.size());
        error = "malformed JSON at byte " + QByteArray::number(at) + ": " + parseError.errorString().toUtf8();
        return QJsonValue::Undefined;
    }
    const QJsonArray array = document.array();
    if (array.size() != 1) {
        // "1, 2" makes a valid array of two once wrapped; it is still not one JSON value.
        error = array.isEmpty() ? QByteArray("malformed JSON: no value")
                                : QByteArray("malformed JSON: more than one value");
        return QJsonValue::Undefined;
    }
    return array.at(0);
}

} // namespace

QByteArray CheckPackageName(QByteArrayView name)
{
    if (name.isEmpty())
        return "the message has no package name";
    if (name.size() > MaxPackageName)
        return "the package name is longer than " + QByteArray::number(MaxPackageName) + " bytes";
    for (const char ch : name) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte > 127)
            return "the package name holds a byte above 127";
        if (byte <= 32 || byte == 127)
            return "the package name holds a control byte or a space";
    }
    return {};
}

Message Parse(QByteArrayView payload)
{
    Message message;
    if (payload.isEmpty()) {
        message.Error = "empty GMCP message";
        return message;
    }
    // The name is read even from a message that is too long, so the caller can say which package it was.
    const QByteArrayView head = payload.first(std::min<qsizetype>(payload.size(), MaxPackageName + 1));
    const qsizetype space = head.indexOf(' ');
    const QByteArrayView name = space < 0 ? head : head.first(space);
    message.Error = CheckPackageName(name);
    if (!message.Error.isEmpty())
        return message;
    message.Package = name.toByteArray();
    if (payload.size() > MaxPayload) {
        message.Error = "message of " + QByteArray::number(payload.size()) + " bytes is over the 1 MB limit";
        return message;
    }
    if (space < 0)
        return message;
    const QByteArrayView json = payload.sliced(space + 1).trimmed();
    if (!json.isEmpty())
        message.Data = ParseData(json, message.Error);
    return message;
}

QByteArray Encode(QByteArrayView package, const QJsonValue &data)
{
    QByteArray payload = package.toByteArray();
    if (!data.isUndefined())
        payload += ' ' + JsonText(data);
    return payload;
}

QByteArray CoreHello(QByteArrayView version)
{
    const QJsonObject hello {{QStringLiteral("client"), QStringLiteral("Wren Client")},
                             {QStringLiteral("version"), QString::fromUtf8(version)}};
    return Encode("Core.Hello", hello);
}

QByteArray CoreSupportsSet(const QList<QByteArray> &modules)
{
    QJsonArray list;
    for (const QByteArray &module : modules)
        list.append(QString::fromUtf8(module));
    return Encode("Core.Supports.Set", list);
}

QList<QByteArray> DefaultModules()
{
    return {"Char 1", "Char.Vitals 1", "Room 1", "Comm.Channel 1"};
}

QList<QByteArray> LoadModules(const AppSettings &settings, const QByteArray &host, const QByteArray &port)
{
    const QVariant value = settings.WorldValue(host, port, ModulesKey);
    if (!value.isValid())
        return DefaultModules();
    QList<QByteArray> modules;
    for (const QString &entry : value.toStringList()) {
        const QByteArray module = entry.trimmed().toUtf8();
        if (!module.isEmpty())
            modules.append(module);
    }
    return modules;
}

void SaveModules(AppSettings &settings, const QByteArray &host, const QByteArray &port,
                 const QList<QByteArray> &modules)
{
    QStringList list;
    for (const QByteArray &module : modules) {
        if (!module.trimmed().isEmpty())
            list.append(QString::fromUtf8(module.trimmed()));
    }
    // An empty list is kept as an empty text: QSettings would write it as no value at all, and the
    // world would get the default modules back.
    if (list.isEmpty())
        settings.SetWorldValue(host, port, ModulesKey, QString());
    else
        settings.SetWorldValue(host, port, ModulesKey, list);
}

Command FromCommandText(QByteArrayView arguments)
{
    Command command;
    const QByteArrayView text = arguments.trimmed();
    if (text.isEmpty()) {
        command.Error = "Usage: /GMCP <package> [json]";
        return command;
    }
    const qsizetype space = text.indexOf(' ');
    const QByteArrayView name = space < 0 ? text : text.first(space);
    command.Error = CheckPackageName(name);
    if (!command.Error.isEmpty())
        return command;
    const QByteArrayView json = space < 0 ? QByteArrayView() : text.sliced(space + 1).trimmed();
    if (name.size() + 1 + json.size() > MaxPayload) {
        command.Error = "the message is over the 1 MB limit";
        return command;
    }
    if (!json.isEmpty()) {
        ParseData(json, command.Error);
        if (!command.Error.isEmpty())
            return command;
    }
    command.Payload = name.toByteArray();
    if (!json.isEmpty())
        command.Payload += ' ' + json.toByteArray();
    return command;
}

} // namespace wren::gmcp
