// SPDX-License-Identifier: GPL-3.0-or-later
// The latest game values a world sent beside its text (GMCP, MSDP, MSSP), and ${gmcp....} in commands.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QJsonValue>
#include <QList>
#include <QObject>

namespace wren {

namespace msdp {
struct Value;
}

/// One session's game data: the latest value per GMCP package, MSDP variable and MSSP name.
///
/// Names are case-insensitive (servers send "char.vitals" as well as "Char.Vitals"): each is kept under
/// its ASCII-lowercased name, with the spelling last sent, which the signals carry. JSON keys keep their case.
///
/// What the session does with a message from the telnet layer:
///   - GMCP: gmcp::Parse the payload; if it has data, ApplyGmcp(message.Package, message.Data); then run
///     the event "On GMCP <package>" whenever the package name was read, even when its JSON was malformed
///     (the stored value then stays as it was, and nothing is emitted).
///   - MSDP: msdp::Parse; ApplyMsdp for each variable, then the event "On MSDP <name>".
///   - MSSP: mssp::Parse; ApplyMssp for each name.
///   - A new connection: Clear().
/// Lookups and substitution read the store at once; views connect to the signals and repaint later.
///
/// The store is bounded: at most MaxEntries names of each kind and about MaxBytes of values in all; what
/// would go past that is refused (ApplyGmcp and ApplyMsdp return false) and the old values stay.
class GameData : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxEntries = 512;
    static constexpr qint64 MaxBytes = qint64(32) * 1024 * 1024;
    /// An object merged from partial updates that would hold more keys than this is replaced instead.
    static constexpr qsizetype MaxMergedKeys = 4096;

    explicit GameData(QObject *parent = nullptr);

    /// Stores @p value as the package's latest. When both the stored and the new value are objects, the new
    /// keys are merged into the stored object (one level: a package may send only what changed); otherwise
    /// the new value replaces the old. Undefined (a message without data) stores nothing. Emits GmcpChanged
    /// when stored.
    bool ApplyGmcp(QByteArrayView package, const QJsonValue &value);
    /// Stores an MSDP variable's value (its strings stay strings). It replaces the old value whole, tables
    /// included: MSDP sends a variable complete each time. Emits MsdpChanged when stored.
    bool ApplyMsdp(QByteArrayView name, const msdp::Value &value);
    /// Stores an MSSP name's values: one value as a string, several as an array of strings (UTF-8 where valid,
    /// Windows-1252 elsewhere, as MSDP's). Emits MsspChanged.
    bool ApplyMssp(QByteArrayView name, const QList<QByteArray> &values);
    /// Forgets everything (a new connection). Emits Cleared.
    void Clear();

    /// The value at @p path, e.g. "gmcp.Char.Vitals.hp", "msdp.HEALTH", "mssp.PLAYERS",
    /// "gmcp.Char.Items.List.items.0.name"; Undefined when there is none.
    ///
    /// The first word names the protocol (any case). For GMCP the package is the longest stored package
    /// name, compared case-insensitively, that the rest starts with up to a dot; MSDP and MSSP names are
    /// found the same way. What follows are object keys and array indexes, separated by dots: a key
    /// matches exactly first, else case-insensitively (the first such key in the object's sorted order).
    /// Keys that themselves hold a dot cannot be reached.
    QJsonValue Find(QByteArrayView path) const;
    /// Find's value as text, UTF-8: a string without quotes, a number as sent (42, not 42.0), true or
    /// false, nothing for null or a missing value, compact JSON for an object or array.
    QByteArray Lookup(QByteArrayView path) const;

    /// The package's stored value (any case), Undefined when none.
    QJsonValue Gmcp(QByteArrayView package) const;
    QJsonValue Msdp(QByteArrayView name) const;
    /// The values of an MSSP name, empty when none.
    QList<QByteArray> Mssp(QByteArrayView name) const;
    /// The stored names as last spelled, sorted case-insensitively.
    QList<QByteArray> GmcpPackages() const;
    QList<QByteArray> MsdpVariables() const;
    QList<QByteArray> MsspNames() const;
    bool IsEmpty() const { return m_gmcp.isEmpty() && m_msdp.isEmpty() && m_mssp.isEmpty(); }

signals:
    /// A package's value was stored; @p package as it was spelled in the message.
    void GmcpChanged(const QByteArray &package);
    void MsdpChanged(const QByteArray &name);
    void MsspChanged(const QByteArray &name);
    void Cleared();

private:
    struct Entry {
        QByteArray Name; ///< as last sent
        QJsonValue Value = QJsonValue::Undefined;
        qint64 Size = 0; ///< an estimate of the memory it takes
    };
    using Store = QHash<QByteArray, Entry>;

    /// Stores @p value under @p name; @p merge puts an object's keys into a stored object (GMCP only).
    bool Put(Store &store, QByteArrayView name, QJsonValue value, bool merge);
    static QJsonValue Resolve(const Store &store, QByteArrayView rest);
    static QList<QByteArray> Names(const Store &store);

    Store m_gmcp;
    Store m_msdp;
    Store m_mssp;
    qint64 m_bytes = 0;
};

/// @p command with every "${gmcp....}", "${msdp....}" and "${mssp....}" replaced by GameData::Lookup's
/// text (the protocol word in any case). Any other "${...}", and a "${" without its "}", stay as typed.
/// Line breaks and NUL bytes in a server's value become spaces, so a value never adds a line to what is
/// sent; command separators are the caller's concern (substitute after splitting the command).
/// A command without "${" is returned as it is after one search.
QByteArray SubstituteGameData(QByteArrayView command, const GameData &data);

} // namespace wren
