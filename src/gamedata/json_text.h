// SPDX-License-Identifier: GPL-3.0-or-later
// JSON values as bytes: compact JSON of any value, and the plain text a command or a gauge reads.
#pragma once

#include <QByteArray>
#include <QJsonValue>

namespace wren {

/// Compact JSON of @p value, scalars included ("42", "\"text\"", "true", "null"); empty for Undefined.
/// Integers stay integral (42, not 42.0): Qt keeps a whole number read from JSON as an integer.
QByteArray JsonText(const QJsonValue &value);

/// The text a value stands for in a command: a string without its quotes, a number as JSON writes it,
/// true or false, nothing for null and Undefined, compact JSON for objects and arrays. UTF-8.
QByteArray PlainText(const QJsonValue &value);

} // namespace wren
