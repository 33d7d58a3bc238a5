// SPDX-License-Identifier: GPL-3.0-or-later
// JSON values as bytes: compact JSON of any value, and the plain text a command or a gauge reads.
#include "gamedata/json_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace wren {

QByteArray JsonText(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Undefined: return {};
    case QJsonValue::Object: return QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
    case QJsonValue::Array: return QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact);
    default: {
        // A document holds only objects and arrays: write the scalar as a one-element array, then unwrap it.
        const QByteArray wrapped = QJsonDocument(QJsonArray {value}).toJson(QJsonDocument::Compact);
        return wrapped.mid(1, wrapped.size() - 2);
    }
    }
}

QByteArray PlainText(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String: return value.toString().toUtf8();
    case QJsonValue::Bool: return value.toBool() ? QByteArray("true") : QByteArray("false");
    case QJsonValue::Null:
    case QJsonValue::Undefined: return {};
    default: return JsonText(value);
    }
}

} // namespace wren
