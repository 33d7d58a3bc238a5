// SPDX-License-Identifier: GPL-3.0-or-later
// What the protocol inspector shows: a capped list of telnet negotiations and GMCP, MSDP and MSSP messages.
#include "gamedata/protocol_log.h"

#include "gamedata/msdp.h"
#include "gamedata/mssp.h"

#include <QDateTime>

#include <array>

namespace wren {

namespace {

struct Name {
    unsigned char Code;
    const char *Text;
};

constexpr std::array<Name, 27> OptionNames = {{
    {0, "BINARY"},      {1, "ECHO"},
    {3, "SGA"},         {5, "STATUS"},
    {6, "TIMING-MARK"}, {24, "TTYPE"},
    {25, "EOR"},        {31, "NAWS"},
    {32, "TSPEED"},     {33, "LFLOW"},
    {34, "LINEMODE"},   {35, "XDISPLOC"},
    {36, "ENVIRON"},    {37, "AUTHENTICATION"},
    {38, "ENCRYPT"},    {39, "NEW-ENVIRON"},
    {42, "CHARSET"},    {46, "STARTTLS"},
    {69, "MSDP"},       {70, "MSSP"},
    {85, "MCCP1"},      {86, "MCCP2"},
    {87, "MCCP3"},      {90, "MSP"},
    {91, "MXP"},        {200, "ATCP"},
    {201, "GMCP"},
}};

constexpr std::array<Name, 18> CommandNames = {{
    {236, "EOF"},
    {237, "SUSP"},
    {238, "ABORT"},
    {239, "EOR"},
    {240, "SE"},
    {241, "NOP"},
    {242, "DM"},
    {243, "BRK"},
    {244, "IP"},
    {245, "AO"},
    {246, "AYT"},
    {249, "GA"},
    {250, "SB"},
    {251, "WILL"},
    {252, "WONT"},
    {253, "DO"},
    {254, "DONT"},
    {255, "IAC"},
}};

QByteArray Lookup(const auto &table, unsigned char code)
{
    for (const Name &name : table) {
        if (name.Code == code)
            return name.Text;
    }
    return QByteArray::number(code);
}

/// Control bytes as \xNN, cut at @p limit bytes with a note of the whole size.
QByteArray Printable(QByteArrayView bytes, qsizetype limit)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    QByteArray out;
    const QByteArrayView shown = bytes.first(std::min(bytes.size(), limit));
    out.reserve(shown.size() + 16);
    for (const char ch : shown) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 32 || byte == 127) {
            out += "\\x";
            out += Hex[byte >> 4];
            out += Hex[byte & 15];
        } else {
            out += ch;
        }
    }
    if (shown.size() < bytes.size())
        out += "... (" + QByteArray::number(bytes.size()) + " bytes in all)";
    return out;
}

} // namespace

ProtocolLog::ProtocolLog(QObject *parent)
    : QObject(parent)
    , m_clock([] { return QDateTime::currentMSecsSinceEpoch(); })
{
}

void ProtocolLog::Add(Direction dir, Kind type, QByteArrayView text, QByteArrayView error)
{
    Entry entry;
    entry.Serial = m_nextSerial++;
    entry.TimeMs = m_clock();
    entry.Dir = dir;
    entry.Type = type;
    entry.Text = Printable(text, MaxEntryText);
    entry.Error = Printable(error, MaxEntryText);
    m_bytes += entry.Text.size() + entry.Error.size();
    m_entries.push_back(std::move(entry));
    while (m_entries.size() > static_cast<size_t>(MaxEntries) || (m_bytes > MaxBytes && m_entries.size() > 1)) {
        m_bytes -= m_entries.front().Text.size() + m_entries.front().Error.size();
        m_entries.pop_front();
    }
    emit Appended();
}

void ProtocolLog::AddNegotiation(Direction dir, unsigned char verb, unsigned char option)
{
    Add(dir, Kind::Telnet, "IAC " + CommandName(verb) + ' ' + OptionName(option));
}

void ProtocolLog::AddSubnegotiation(Direction dir, unsigned char option, QByteArrayView payload)
{
    Add(dir, Kind::Telnet, "IAC SB " + OptionName(option) + ' ' + Printable(payload, MaxEntryText) + " IAC SE");
}

void ProtocolLog::AddGmcp(Direction dir, QByteArrayView payload, QByteArrayView error)
{
    Add(dir, Kind::Gmcp, payload, error);
}

void ProtocolLog::AddMsdp(Direction dir, QByteArrayView payload)
{
    const msdp::Result result = msdp::Parse(payload);
    if (result.Variables.empty()) {
        Add(dir, Kind::Msdp, {}, result.Error.isEmpty() ? QByteArray("no variables") : result.Error);
        return;
    }
    for (size_t i = 0; i < result.Variables.size(); ++i) {
        msdp::Result one;
        one.Variables.push_back(result.Variables[i]);
        const bool last = i + 1 == result.Variables.size();
        Add(dir, Kind::Msdp, msdp::Render(one), last ? QByteArrayView(result.Error) : QByteArrayView());
    }
}

void ProtocolLog::AddMssp(Direction dir, QByteArrayView payload)
{
    const mssp::Result result = mssp::Parse(payload);
    if (result.Fields.isEmpty()) {
        Add(dir, Kind::Mssp, {}, result.Error.isEmpty() ? QByteArray("no names") : result.Error);
        return;
    }
    for (qsizetype i = 0; i < result.Fields.size(); ++i) {
        mssp::Result one;
        one.Fields.append(result.Fields[i]);
        const bool last = i + 1 == result.Fields.size();
        Add(dir, Kind::Mssp, mssp::Render(one), last ? QByteArrayView(result.Error) : QByteArrayView());
    }
}

void ProtocolLog::Clear()
{
    m_entries.clear();
    m_bytes = 0;
    emit Cleared();
}

const ProtocolLog::Entry *ProtocolLog::At(quint64 serial) const
{
    if (serial < FirstSerial() || serial >= EndSerial())
        return nullptr;
    return &m_entries[static_cast<size_t>(serial - FirstSerial())];
}

QByteArray ProtocolLog::ToText() const
{
    QByteArray text;
    for (const Entry &entry : m_entries)
        text += FormatEntry(entry) + '\n';
    return text;
}

QByteArray ProtocolLog::FormatTime(qint64 timeMs)
{
    return QDateTime::fromMSecsSinceEpoch(timeMs).toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1();
}

QByteArray ProtocolLog::DirectionName(Direction dir)
{
    return dir == Direction::In ? QByteArray("in") : QByteArray("out");
}

QByteArray ProtocolLog::KindName(Kind type)
{
    switch (type) {
    case Kind::Telnet: return "telnet";
    case Kind::Gmcp: return "GMCP";
    case Kind::Msdp: return "MSDP";
    case Kind::Mssp: return "MSSP";
    }
    return {};
}

QByteArray ProtocolLog::FormatEntry(const Entry &entry)
{
    QByteArray line = FormatTime(entry.TimeMs) + ' ' + DirectionName(entry.Dir).leftJustified(4)
                      + KindName(entry.Type).leftJustified(7) + entry.Text;
    if (!entry.Error.isEmpty())
        line += "  (error: " + entry.Error + ')';
    return line;
}

QByteArray ProtocolLog::OptionName(unsigned char option)
{
    return Lookup(OptionNames, option);
}

QByteArray ProtocolLog::CommandName(unsigned char command)
{
    return Lookup(CommandNames, command);
}

} // namespace wren
