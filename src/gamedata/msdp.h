// SPDX-License-Identifier: GPL-3.0-or-later
// MSDP (telnet option 69): variables whose values are strings, arrays and tables in MSDP's own framing.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonValue>
#include <QList>

#include <vector>

namespace wren::msdp {

/// The telnet option number.
constexpr unsigned char Option = 69;

/// The framing bytes.
enum Byte : char { Var = 1, Val = 2, TableOpen = 3, TableClose = 4, ArrayOpen = 5, ArrayClose = 6 };

/// Tables and arrays nested deeper than this end the message: what came before is kept.
constexpr int MaxDepth = 64;
/// A message longer than this (1 MB) is refused whole.
constexpr qsizetype MaxPayload = 1048576;
/// The most values (strings, arrays and tables) one message may hold; the rest of it is dropped.
constexpr int MaxValues = 65536;

/// An MSDP value: a string of bytes, an array of values, or a table of named values.
struct Value {
    enum class Kind { String, Array, Table };

    Kind Type = Kind::String;
    /// A string's bytes, as sent.
    QByteArray Text;
    /// An array's elements, or a table's values (named by Keys, in the order sent).
    std::vector<Value> Items;
    /// A table's names: Keys[i] names Items[i]. A name may come twice; the later one counts.
    QList<QByteArray> Keys;

    static Value String(QByteArray text)
    {
        Value value;
        value.Text = std::move(text);
        return value;
    }
    bool operator==(const Value &other) const = default;
};

struct Variable {
    QByteArray Name;
    Value Data;
};

struct Result {
    /// The variables in the order sent. A variable with several values in a row (VAR x VAL a VAL b)
    /// holds them as an array, as in tables.
    std::vector<Variable> Variables;
    /// What was wrong with the message, empty when nothing was. The variables read are kept whatever it says:
    /// a table or array that never closes is taken as far as it came, stray bytes are skipped, and a message
    /// nested deeper than MaxDepth or holding more than MaxValues values ends there.
    QByteArray Error;
};

/// Reads the bytes between IAC SB 69 and IAC SE (IAC IAC already undone). Empty elements are kept as
/// empty strings (a REPORTABLE_VARIABLES array may start with one); variables without a name are skipped.
Result Parse(QByteArrayView payload);

/// VAR @p command VAL value1 VAL value2 ... (framing bytes in the names are left out).
QByteArray Command(QByteArrayView command, const QList<QByteArray> &values);
/// "LIST REPORTABLE_VARIABLES" (or another list).
QByteArray ListRequest(QByteArrayView list = "REPORTABLE_VARIABLES");
/// "REPORT" with each of @p variables: the server sends them now and again whenever they change.
QByteArray ReportRequest(const QList<QByteArray> &variables);

/// The value as JSON: strings stay strings (UTF-8 where the bytes are valid UTF-8, Windows-1252
/// elsewhere), arrays become arrays, tables objects.
QJsonValue ToJson(const Value &value);

/// The non-empty strings of an array (or a single string), e.g. the names in REPORTABLE_VARIABLES.
QList<QByteArray> Names(const Value &value);

/// "NAME = value" per variable, one per line, strings as they are and the rest as compact JSON (the
/// protocol inspector's rendering).
QByteArray Render(const Result &result);

} // namespace wren::msdp
