// SPDX-License-Identifier: GPL-3.0-or-later
// The latest game values a world sent beside its text (GMCP, MSDP, MSSP), and ${gmcp....} in commands.
#include "gamedata/game_data.h"

#include "base/byte_decoder.h"
#include "config/logging.h"
#include "gamedata/json_text.h"
#include "gamedata/msdp.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace wren {

namespace {

/// Roughly what a value takes in memory, so a world cannot fill it without bound.
qint64 ApproximateSize(const QJsonValue &value)
{
    constexpr qint64 Node = 24;
    switch (value.type()) {
    case QJsonValue::String: return Node + 2 * value.toString().size();
    case QJsonValue::Array: {
        qint64 size = Node;
        for (const auto &item : value.toArray())
            size += ApproximateSize(item);
        return size;
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        qint64 size = Node;
        for (auto it = object.constBegin(); it != object.constEnd(); ++it)
            size += 2 * it.key().size() + ApproximateSize(it.value());
        return size;
    }
    default: return Node;
    }
}

/// The next step of a path into a value: an object's key (exact, else in any case) or an array's index.
QJsonValue Step(const QJsonValue &value, QByteArrayView segment)
{
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        const QString key = QString::fromUtf8(segment);
        const auto exact = object.constFind(key);
        if (exact != object.constEnd())
            return exact.value();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            if (it.key().compare(key, Qt::CaseInsensitive) == 0)
                return it.value();
        }
        return QJsonValue::Undefined;
    }
    if (value.isArray()) {
        bool ok = false;
        const qsizetype index = segment.toLongLong(&ok);
        const QJsonArray array = value.toArray();
        const bool digits = std::all_of(segment.begin(), segment.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
        if (ok && digits && index < array.size())
            return array.at(index);
    }
    return QJsonValue::Undefined;
}

/// The value at @p path below @p value ("hp", "items.0.name"); Undefined when any step is missing.
QJsonValue Walk(QJsonValue value, QByteArrayView path)
{
    while (!path.isEmpty()) {
        if (path.front() != '.')
            return QJsonValue::Undefined;
        path = path.sliced(1);
        const qsizetype dot = path.indexOf('.');
        const QByteArrayView segment = dot < 0 ? path : path.first(dot);
        if (segment.isEmpty())
            return QJsonValue::Undefined;
        value = Step(value, segment);
        if (value.isUndefined())
            return value;
        path = dot < 0 ? QByteArrayView() : path.sliced(dot);
    }
    return value;
}

QByteArray Fold(QByteArrayView name)
{
    return name.toByteArray().toLower();
}

/// The part of @p path after "gmcp." (any case), or a null view when the path is not for @p protocol.
QByteArrayView AfterProtocol(QByteArrayView path, QByteArrayView protocol)
{
    if (path.size() <= protocol.size() + 1 || path[protocol.size()] != '.')
        return {};
    if (path.first(protocol.size()).compare(protocol, Qt::CaseInsensitive) != 0)
        return {};
    return path.sliced(protocol.size() + 1);
}

} // namespace

GameData::GameData(QObject *parent)
    : QObject(parent)
{
}

bool GameData::Put(Store &store, QByteArrayView name, QJsonValue value, bool merge)
{
    if (name.isEmpty() || value.isUndefined())
        return false;
    const QByteArray key = Fold(name);
    auto it = store.find(key);
    if (it == store.end() && store.size() >= MaxEntries) {
        qCDebug(lcGameData) << "game data: too many names, not stored:" << name;
        return false;
    }
    if (merge && it != store.end() && it->Value.isObject() && value.isObject()) {
        // A package may send only what changed: the new keys go into the stored object.
        QJsonObject merged = it->Value.toObject();
        const QJsonObject update = value.toObject();
        for (auto field = update.constBegin(); field != update.constEnd(); ++field)
            merged.insert(field.key(), field.value());
        if (merged.size() <= MaxMergedKeys)
            value = merged;
    }
    const qint64 size = ApproximateSize(value) + 2 * name.size();
    const qint64 old = it == store.end() ? 0 : it->Size;
    if (m_bytes - old + size > MaxBytes) {
        qCDebug(lcGameData) << "game data: the store is full, not stored:" << name;
        return false;
    }
    m_bytes += size - old;
    store.insert(key, Entry {name.toByteArray(), std::move(value), size});
    return true;
}

bool GameData::ApplyGmcp(QByteArrayView package, const QJsonValue &value)
{
    if (!Put(m_gmcp, package, value, true))
        return false;
    emit GmcpChanged(package.toByteArray());
    return true;
}

bool GameData::ApplyMsdp(QByteArrayView name, const msdp::Value &value)
{
    // MSDP sends a variable whole each time: a table replaces the old one, never merges (old exits would stay).
    if (!Put(m_msdp, name, msdp::ToJson(value), false))
        return false;
    emit MsdpChanged(name.toByteArray());
    return true;
}

bool GameData::ApplyMssp(QByteArrayView name, const QList<QByteArray> &values)
{
    QJsonValue value;
    if (values.size() == 1) {
        value = DecodeBytes(values.front());
    } else {
        QJsonArray array;
        for (const QByteArray &item : values)
            array.append(DecodeBytes(item));
        value = array;
    }
    if (!Put(m_mssp, name, value, false))
        return false;
    emit MsspChanged(name.toByteArray());
    return true;
}

void GameData::Clear()
{
    m_gmcp.clear();
    m_msdp.clear();
    m_mssp.clear();
    m_bytes = 0;
    emit Cleared();
}

QJsonValue GameData::Resolve(const Store &store, QByteArrayView rest)
{
    // The longest stored name the rest starts with, up to a dot: "char.vitals.hp" tries "char.vitals.hp",
    // then "char.vitals", then "char".
    const QByteArray folded = Fold(rest);
    qsizetype end = folded.size();
    while (end > 0) {
        const auto it = store.constFind(folded.left(end));
        if (it != store.constEnd())
            return Walk(it->Value, rest.sliced(end));
        end = folded.lastIndexOf('.', end - 1);
    }
    return QJsonValue::Undefined;
}

QJsonValue GameData::Find(QByteArrayView path) const
{
    if (const QByteArrayView rest = AfterProtocol(path, "gmcp"); !rest.isNull())
        return Resolve(m_gmcp, rest);
    if (const QByteArrayView rest = AfterProtocol(path, "msdp"); !rest.isNull())
        return Resolve(m_msdp, rest);
    if (const QByteArrayView rest = AfterProtocol(path, "mssp"); !rest.isNull())
        return Resolve(m_mssp, rest);
    return QJsonValue::Undefined;
}

QByteArray GameData::Lookup(QByteArrayView path) const
{
    return PlainText(Find(path));
}

QJsonValue GameData::Gmcp(QByteArrayView package) const
{
    return m_gmcp.value(Fold(package)).Value;
}

QJsonValue GameData::Msdp(QByteArrayView name) const
{
    return m_msdp.value(Fold(name)).Value;
}

QList<QByteArray> GameData::Mssp(QByteArrayView name) const
{
    const QJsonValue value = m_mssp.value(Fold(name)).Value;
    QList<QByteArray> values;
    if (value.isString())
        values.append(value.toString().toUtf8());
    for (const auto &item : value.toArray())
        values.append(item.toString().toUtf8());
    return values;
}

QList<QByteArray> GameData::Names(const Store &store)
{
    QList<QByteArray> names;
    names.reserve(store.size());
    for (const Entry &entry : store)
        names.append(entry.Name);
    std::sort(names.begin(), names.end(),
              [](const QByteArray &a, const QByteArray &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return names;
}

QList<QByteArray> GameData::GmcpPackages() const
{
    return Names(m_gmcp);
}

QList<QByteArray> GameData::MsdpVariables() const
{
    return Names(m_msdp);
}

QList<QByteArray> GameData::MsspNames() const
{
    return Names(m_mssp);
}

QByteArray SubstituteGameData(QByteArrayView command, const GameData &data)
{
    qsizetype open = command.indexOf("${");
    if (open < 0)
        return command.toByteArray();
    QByteArray out;
    out.reserve(command.size() + 32);
    qsizetype copied = 0;
    while (open >= 0) {
        const qsizetype close = command.indexOf('}', open + 2);
        if (close < 0)
            break; // unterminated: the rest stays as typed
        // "${a${gmcp.x}": the last "${" before the "}" is the reference. Searching back from the "}" keeps a
        // command full of "${" linear.
        open = command.lastIndexOf("${", close - 2);
        const QByteArrayView name = command.sliced(open + 2, close - open - 2);
        const bool ours = !AfterProtocol(name, "gmcp").isNull() || !AfterProtocol(name, "msdp").isNull()
                          || !AfterProtocol(name, "mssp").isNull();
        if (ours) {
            out += command.sliced(copied, open - copied);
            QByteArray value = data.Lookup(name);
            value.replace('\r', ' ').replace('\n', ' ').replace('\0', ' ');
            out += value;
            copied = close + 1;
        }
        open = command.indexOf("${", close + 1);
    }
    out += command.sliced(copied);
    return out;
}

} // namespace wren
