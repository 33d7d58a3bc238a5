// SPDX-License-Identifier: GPL-3.0-or-later
// MSDP (telnet option 69): variables whose values are strings, arrays and tables in MSDP's own framing.
#include "gamedata/msdp.h"

#include "base/byte_decoder.h"
#include "gamedata/json_text.h"

#include <QJsonArray>
#include <QJsonObject>

#include <optional>

namespace wren::msdp {

namespace {

bool IsFraming(char ch)
{
    return ch >= Var && ch <= ArrayClose;
}

/// Reads one message by recursive descent: one function per kind of container. Servers send unclosed
/// tables, empty elements and stray bytes; each function takes what came and leaves the rest to its caller,
/// so a VAR inside an array that never closed still starts the next variable or table entry.
class Reader
{
public:
    explicit Reader(QByteArrayView data)
        : m_data(data)
    {
    }

    Result ReadAll()
    {
        Result result;
        while (!Done()) {
            if (Peek() != Var) {
                SkipStray(0);
                continue;
            }
            ++m_at;
            QByteArray name = ReadText();
            Value value = ReadValues(0);
            if (!name.isEmpty())
                result.Variables.push_back({std::move(name), std::move(value)});
        }
        result.Error = m_error;
        return result;
    }

private:
    bool Done() const { return m_stopped || m_at >= m_data.size(); }
    char Peek() const { return m_data[m_at]; }

    void Stop(const QByteArray &reason)
    {
        if (m_error.isEmpty())
            m_error = reason;
        m_stopped = true;
    }

    void Note(const QByteArray &reason)
    {
        if (m_error.isEmpty())
            m_error = reason;
    }

    /// Text up to the next framing byte.
    QByteArray ReadText()
    {
        const qsizetype from = m_at;
        while (m_at < m_data.size() && !IsFraming(m_data[m_at]))
            ++m_at;
        return m_data.sliced(from, m_at - from).toByteArray();
    }

    bool Count()
    {
        if (++m_values <= MaxValues)
            return true;
        Stop("more than " + QByteArray::number(MaxValues) + " values; the rest was dropped");
        return false;
    }

    /// The VAL ... VAL that follow a name: nothing gives an empty string, one gives its value, more give
    /// an array of them.
    Value ReadValues(int depth)
    {
        Value value;
        int count = 0;
        while (!Done() && Peek() == Val) {
            ++m_at;
            std::optional<Value> next = ReadValue(depth);
            if (!next)
                break;
            if (++count == 1) {
                value = std::move(*next);
                continue;
            }
            if (count == 2) {
                Value array;
                array.Type = Value::Kind::Array;
                array.Items.push_back(std::move(value));
                value = std::move(array);
            }
            value.Items.push_back(std::move(*next));
        }
        return value;
    }

    /// One value, right after its VAL; none when the message ends here (too deep, too many values).
    std::optional<Value> ReadValue(int depth)
    {
        if (!Count())
            return std::nullopt;
        if (Done())
            return Value();
        const char ch = Peek();
        if (ch != TableOpen && ch != ArrayOpen)
            return Value::String(ReadText());
        if (depth >= MaxDepth) {
            Stop("nested deeper than " + QByteArray::number(MaxDepth) + " levels; the rest was dropped");
            return std::nullopt;
        }
        ++m_at;
        return ch == TableOpen ? ReadTable(depth + 1) : ReadArray(depth + 1);
    }

    Value ReadArray(int depth)
    {
        Value array;
        array.Type = Value::Kind::Array;
        while (!Done()) {
            const char ch = Peek();
            if (ch == ArrayClose) {
                ++m_at;
                return array;
            }
            if (ch == Var || (ch == TableClose && m_openTables > 0)) {
                // The array never closed: this belongs to the table or the message around it.
                Note("an array was not closed");
                return array;
            }
            if (ch == Val || ch == TableOpen || ch == ArrayOpen) {
                if (ch == Val)
                    ++m_at; // a nested container may come without its VAL
                if (std::optional<Value> item = ReadValue(depth))
                    array.Items.push_back(std::move(*item));
            } else {
                SkipStray(depth);
            }
        }
        if (!m_stopped)
            Note("an array was not closed");
        return array;
    }

    Value ReadTable(int depth)
    {
        Value table;
        table.Type = Value::Kind::Table;
        ++m_openTables;
        bool closed = false;
        while (!Done() && !closed) {
            const char ch = Peek();
            if (ch == TableClose) {
                ++m_at;
                closed = true;
            } else if (ch == Var) {
                ++m_at;
                table.Keys.append(ReadText());
                table.Items.push_back(ReadValues(depth));
            } else {
                SkipStray(depth);
            }
        }
        --m_openTables;
        if (!closed && !m_stopped)
            Note("a table was not closed");
        return table;
    }

    /// Bytes that have no place where they stand: text outside a value, a close without an open, a VAL
    /// without a name (its value is read and dropped, so its closing bytes do not end anything else).
    void SkipStray(int depth)
    {
        const char ch = Peek();
        Note("stray bytes were skipped");
        if (ch == Val) {
            ++m_at;
            ReadValue(depth);
        } else if (ch == TableOpen || ch == ArrayOpen) {
            ReadValue(depth);
        } else if (IsFraming(ch)) {
            ++m_at;
        } else {
            ReadText();
        }
    }

    QByteArrayView m_data;
    qsizetype m_at = 0;
    int m_values = 0;
    int m_openTables = 0;
    bool m_stopped = false;
    QByteArray m_error;
};

void AppendName(QByteArray &out, QByteArrayView name)
{
    for (const char ch : name) {
        if (!IsFraming(ch) && ch != '\0')
            out += ch;
    }
}

} // namespace

Result Parse(QByteArrayView payload)
{
    if (payload.size() > MaxPayload) {
        Result result;
        result.Error = "message of " + QByteArray::number(payload.size()) + " bytes is over the 1 MB limit";
        return result;
    }
    return Reader(payload).ReadAll();
}

QByteArray Command(QByteArrayView command, const QList<QByteArray> &values)
{
    QByteArray out;
    out += Var;
    AppendName(out, command);
    for (const QByteArray &value : values) {
        out += Val;
        AppendName(out, value);
    }
    return out;
}

QByteArray ListRequest(QByteArrayView list)
{
    return Command("LIST", {list.toByteArray()});
}

QByteArray ReportRequest(const QList<QByteArray> &variables)
{
    return Command("REPORT", variables);
}

QJsonValue ToJson(const Value &value)
{
    switch (value.Type) {
    case Value::Kind::String: return DecodeBytes(value.Text);
    case Value::Kind::Array: {
        QJsonArray array;
        for (const Value &item : value.Items)
            array.append(ToJson(item));
        return array;
    }
    case Value::Kind::Table: {
        QJsonObject object;
        for (qsizetype i = 0; i < value.Keys.size(); ++i)
            object.insert(DecodeBytes(value.Keys[i]), ToJson(value.Items[static_cast<size_t>(i)]));
        return object;
    }
    }
    return {};
}

QList<QByteArray> Names(const Value &value)
{
    QList<QByteArray> names;
    if (value.Type == Value::Kind::String && !value.Text.trimmed().isEmpty())
        names.append(value.Text.trimmed());
    if (value.Type != Value::Kind::Array)
        return names;
    for (const Value &item : value.Items) {
        if (item.Type == Value::Kind::String && !item.Text.trimmed().isEmpty())
            names.append(item.Text.trimmed());
    }
    return names;
}

QByteArray Render(const Result &result)
{
    QByteArray text;
    for (const Variable &variable : result.Variables) {
        if (!text.isEmpty())
            text += '\n';
        text += variable.Name + " = "
                + (variable.Data.Type == Value::Kind::String ? variable.Data.Text : JsonText(ToJson(variable.Data)));
    }
    return text;
}

} // namespace wren::msdp
