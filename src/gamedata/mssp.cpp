// SPDX-License-Identifier: GPL-3.0-or-later
// MSSP (telnet option 70): the server's status for crawlers and clients, names with one or more values.
#include "gamedata/mssp.h"

namespace wren::mssp {

namespace {

/// Text up to the next VAR or VAL.
QByteArrayView ReadText(QByteArrayView data, qsizetype &at)
{
    const qsizetype from = at;
    while (at < data.size() && data[at] != Var && data[at] != Val)
        ++at;
    return data.sliced(from, at - from);
}

/// Where @p name already stands, or -1.
qsizetype FindField(const QList<Field> &fields, QByteArrayView name)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (fields[i].first == name)
            return i;
    }
    return -1;
}

} // namespace

Result Parse(QByteArrayView payload)
{
    Result result;
    const auto note = [&result](const QByteArray &reason) {
        if (result.Error.isEmpty())
            result.Error = reason;
    };
    QByteArrayView data = payload;
    if (data.size() > MaxPayload) {
        note("message of " + QByteArray::number(payload.size()) + " bytes; only the first 64 KiB were read");
        data = data.first(MaxPayload);
    }
    qsizetype at = 0;
    qsizetype current = -1; // the field that values go to
    int values = 0;
    while (at < data.size()) {
        const char ch = data[at];
        if (ch != Var && ch != Val) {
            ReadText(data, at);
            note("stray bytes were skipped");
            continue;
        }
        ++at;
        const QByteArrayView text = ReadText(data, at);
        if (ch == Var) {
            current = text.isEmpty() ? -1 : FindField(result.Fields, text);
            if (current < 0 && !text.isEmpty()) {
                if (result.Fields.size() >= MaxFields) {
                    note("more than " + QByteArray::number(MaxFields) + " names; the rest were dropped");
                    break;
                }
                result.Fields.append({text.toByteArray(), {}});
                current = result.Fields.size() - 1;
            }
        } else if (current < 0) {
            note("a value without a name was skipped");
        } else if (++values > MaxValues) {
            note("more than " + QByteArray::number(MaxValues) + " values; the rest were dropped");
            break;
        } else {
            result.Fields[current].second.append(text.toByteArray());
        }
    }
    return result;
}

QByteArray Render(const Result &result)
{
    QByteArray text;
    for (const Field &field : result.Fields) {
        if (!text.isEmpty())
            text += '\n';
        text += field.first + " = " + field.second.join(", ");
    }
    return text;
}

} // namespace wren::mssp
