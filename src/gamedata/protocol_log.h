// SPDX-License-Identifier: GPL-3.0-or-later
// What the protocol inspector shows: a capped list of telnet negotiations and GMCP, MSDP and MSSP messages.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>

#include <deque>
#include <functional>

namespace wren {

/// The session's record of negotiations and game data, newest last. It keeps at most MaxEntries entries
/// and about MaxBytes of text; the oldest go first. Each entry's text is cut at MaxEntryText bytes.
/// Entries are numbered by a serial that keeps counting across Clear, so a view can tell which it has.
class ProtocolLog : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype MaxEntries = 5000;
    static constexpr qsizetype MaxBytes = qsizetype(4) * 1024 * 1024;
    static constexpr qsizetype MaxEntryText = 4096;

    enum class Direction { In, Out };
    enum class Kind { Telnet, Gmcp, Msdp, Mssp };

    struct Entry {
        quint64 Serial = 0;
        qint64 TimeMs = 0; ///< milliseconds since the epoch
        Direction Dir = Direction::In;
        Kind Type = Kind::Telnet;
        /// A readable rendering: "IAC WILL GMCP", "Char.Vitals {...}", "HEALTH = 42". Control bytes are
        /// written as \xNN; other bytes as received (usually UTF-8).
        QByteArray Text;
        /// Why the message was refused or only partly read; empty when it was fine.
        QByteArray Error;
    };

    explicit ProtocolLog(QObject *parent = nullptr);

    /// Appends an entry stamped now; @p text and @p error are made printable and cut to MaxEntryText.
    void Add(Direction dir, Kind type, QByteArrayView text, QByteArrayView error = {});
    /// "IAC WILL GMCP" for @p verb (WILL, WONT, DO, DONT) and @p option.
    void AddNegotiation(Direction dir, unsigned char verb, unsigned char option);
    /// "IAC SB NAWS <payload> IAC SE" for an option that is not game data.
    void AddSubnegotiation(Direction dir, unsigned char option, QByteArrayView payload);
    /// The GMCP payload as it is, with @p error from gmcp::Parse (empty when it was read).
    void AddGmcp(Direction dir, QByteArrayView payload, QByteArrayView error = {});
    /// One entry per variable ("NAME = value"); the parse's complaint goes with the last one.
    void AddMsdp(Direction dir, QByteArrayView payload);
    /// One entry per name ("NAME = value, value"); the parse's complaint goes with the last one.
    void AddMssp(Direction dir, QByteArrayView payload);

    void Clear();

    const std::deque<Entry> &Entries() const { return m_entries; }
    /// The serial the oldest kept entry has (equal to EndSerial when there is none).
    quint64 FirstSerial() const { return m_nextSerial - m_entries.size(); }
    /// One past the newest entry's serial.
    quint64 EndSerial() const { return m_nextSerial; }
    /// The entry with @p serial, null when it is gone or not there yet.
    const Entry *At(quint64 serial) const;

    /// Every entry as FormatEntry gives it, one per line (for the clipboard).
    QByteArray ToText() const;
    /// "13:45:02.123 in  GMCP   Char.Vitals {...}", then "  (error: ...)" when the entry has one.
    static QByteArray FormatEntry(const Entry &entry);
    static QByteArray FormatTime(qint64 timeMs);
    static QByteArray DirectionName(Direction dir);
    static QByteArray KindName(Kind type);
    /// "GMCP", "NAWS", ... or the number for an option without a name.
    static QByteArray OptionName(unsigned char option);
    /// "WILL", "DO", "SB", "GA", ... or the number.
    static QByteArray CommandName(unsigned char command);

    /// The time source (milliseconds since the epoch); tests set a fixed one.
    void SetClock(std::function<qint64()> clock) { m_clock = std::move(clock); }

signals:
    /// One or more entries were added (and old ones may have gone).
    void Appended();
    void Cleared();

private:
    std::deque<Entry> m_entries;
    quint64 m_nextSerial = 0;
    qsizetype m_bytes = 0;
    std::function<qint64()> m_clock;
};

} // namespace wren
