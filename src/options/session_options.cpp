// SPDX-License-Identifier: GPL-3.0-or-later
// The per-world options record: its fields, their defaults and the 588-byte stored form.
#include "options/session_options.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace wren {

namespace {

// Offsets and sizes of the stored record. A short string field is a length byte plus its characters.
namespace off {
constexpr int Host = 0, HostSize = 51;
constexpr int Port = 51, PortSize = 6;
constexpr int WorldName = 57, WorldNameSize = 41;
constexpr int MaxLines = 100;
constexpr int CurFontName = 104, CurFontNameSize = 41;
constexpr int CurFontSize = 148;
constexpr int CurTextColor = 152;
constexpr int CurBackColor = 156;
constexpr int BackColor = 160;
constexpr int FontName = 164, FontNameSize = 41;
constexpr int FontSize = 208;
constexpr int TextColor = 212;
constexpr int DefaultBackColor = 216;
constexpr int FirstFlag = 220; // InAnsi .. AllowFontChanges, 17 bytes
constexpr int CommandChar = 237, CommandCharSize = 6;
constexpr int ExprSeparator = 243, ExprSeparatorSize = 6;
constexpr int PathChar = 249, PathCharSize = 6;
constexpr int LineEnd = 255, LineEndSize = 5;
constexpr int AnsiColors = 260;
constexpr int UseBrightColors = 324;
constexpr int LogMode = 328;
constexpr int LogFile = 332, LogFileSize = 256;
constexpr int IdentityEnd = 98;
} // namespace off
static_assert(off::LogFile + off::LogFileSize == TSessionOptions::RecordSize);
static_assert(off::AnsiColors + 16 * 4 == off::UseBrightColors);

// The seventeen one-byte flags, in stored order.
constexpr bool TSessionOptions::*Flags[] = {
    &TSessionOptions::InAnsi,           &TSessionOptions::InTag,
    &TSessionOptions::LocalEcho,        &TSessionOptions::AnsiColor,
    &TSessionOptions::ZelEnabled,       &TSessionOptions::ExpandPaths,
    &TSessionOptions::AutodetectZel,    &TSessionOptions::AutoClearCommand,
    &TSessionOptions::AutoReconnect,    &TSessionOptions::AutoHighlightLinks,
    &TSessionOptions::AutoCopy,         &TSessionOptions::EnableTriggers,
    &TSessionOptions::EnableSounds,     &TSessionOptions::ToggleIcon,
    &TSessionOptions::WrapHistory,      &TSessionOptions::AllowImages,
    &TSessionOptions::AllowFontChanges,
};
static_assert(off::FirstFlag + std::size(Flags) == off::CommandChar);

void PutString(char *record, int offset, int size, const QByteArray &value)
{
    const int length = std::min<int>(static_cast<int>(value.size()), size - 1);
    record[offset] = static_cast<char>(length);
    std::memcpy(record + offset + 1, value.constData(), static_cast<size_t>(length));
    std::memset(record + offset + 1 + length, 0, static_cast<size_t>(size - 1 - length));
}

// A length byte larger than the field (a damaged file) is held to the field, and to what the data holds.
QByteArray GetString(const char *record, qsizetype available, int offset, int size)
{
    if (offset >= available)
        return {};
    int length = std::min(static_cast<unsigned char>(record[offset]) + 0, size - 1);
    length = static_cast<int>(std::min<qsizetype>(length, available - offset - 1));
    return QByteArray(record + offset + 1, length);
}

void PutInt(char *record, int offset, std::int32_t value)
{
    qToLittleEndian<std::int32_t>(value, record + offset);
}

std::int32_t GetInt(const char *record, int offset)
{
    return qFromLittleEndian<std::int32_t>(record + offset);
}

} // namespace

const std::array<Colour, 16> DefaultAnsiColors = {
    Rgb(0, 0, 0),     Rgb(128, 0, 0),     Rgb(0, 128, 0),     Rgb(128, 128, 0),   Rgb(0, 0, 128), Rgb(128, 0, 128),
    Rgb(0, 128, 128), Rgb(128, 128, 128), Rgb(192, 192, 192), Rgb(255, 0, 0),     Rgb(0, 255, 0), Rgb(255, 255, 0),
    Rgb(0, 0, 255),   Rgb(255, 0, 255),   Rgb(0, 255, 255),   Rgb(255, 255, 255),
};

void TSessionOptions::SetDefaults()
{
    MaxLines = 750;
    FontName = "Courier New";
    FontSize = 9;
    CurFontName = FontName;
    CurFontSize = FontSize;
    CurTextColor = Rgb(255, 255, 255);
    CurBackColor = Rgb(0, 0, 64);
    BackColor = Rgb(0, 0, 64);
    TextColor = Rgb(0, 128, 0);
    DefaultBackColor = Rgb(0, 0, 64);
    InAnsi = false;
    InTag = false;
    LocalEcho = true;
    AnsiColor = true;
    ZelEnabled = false;
    ExpandPaths = true;
    AutodetectZel = true;
    AutoClearCommand = false;
    AutoReconnect = false;
    AutoHighlightLinks = true;
    AutoCopy = true;
    EnableTriggers = true;
    EnableSounds = true;
    ToggleIcon = true;
    WrapHistory = true;
    AllowImages = true;
    AllowFontChanges = true;
    CommandChar = "/";
    ExprSeparator = ";";
    PathChar = ".";
    LineEnd = QByteArray(1, '\n');
    AnsiColors = DefaultAnsiColors;
    UseBrightColors = false;
    LogMode = 0;
}

int TSessionOptions::EffectiveMaxLines() const
{
    return std::clamp<std::int32_t>(MaxLines, 1, 1000000);
}

char TSessionOptions::LineEndByte() const
{
    return LineEnd == QByteArray(1, '\r') ? '\r' : '\n';
}

QByteArray WriteOptionsRecord(const TSessionOptions &options)
{
    std::array<char, TSessionOptions::RecordSize> record = options.Raw;
    char *r = record.data();
    PutString(r, off::Host, off::HostSize, options.Host);
    PutString(r, off::Port, off::PortSize, options.Port);
    PutString(r, off::WorldName, off::WorldNameSize, options.WorldName);
    PutInt(r, off::MaxLines, options.MaxLines);
    PutString(r, off::CurFontName, off::CurFontNameSize, options.CurFontName);
    PutInt(r, off::CurFontSize, options.CurFontSize);
    PutInt(r, off::CurTextColor, options.CurTextColor);
    PutInt(r, off::CurBackColor, options.CurBackColor);
    PutInt(r, off::BackColor, options.BackColor);
    PutString(r, off::FontName, off::FontNameSize, options.FontName);
    PutInt(r, off::FontSize, options.FontSize);
    PutInt(r, off::TextColor, options.TextColor);
    PutInt(r, off::DefaultBackColor, options.DefaultBackColor);
    for (size_t i = 0; i < std::size(Flags); ++i)
        r[off::FirstFlag + i] = options.*Flags[i] ? 1 : 0;
    PutString(r, off::CommandChar, off::CommandCharSize, options.CommandChar);
    PutString(r, off::ExprSeparator, off::ExprSeparatorSize, options.ExprSeparator);
    PutString(r, off::PathChar, off::PathCharSize, options.PathChar);
    PutString(r, off::LineEnd, off::LineEndSize, options.LineEnd);
    for (int i = 0; i < 16; ++i)
        PutInt(r, off::AnsiColors + 4 * i, options.AnsiColors[static_cast<size_t>(i)]);
    r[off::UseBrightColors] = options.UseBrightColors ? 1 : 0;
    PutInt(r, off::LogMode, options.LogMode);
    PutString(r, off::LogFile, off::LogFileSize, options.LogFile);
    return QByteArray(record.data(), TSessionOptions::RecordSize);
}

std::optional<TSessionOptions> ReadOptionsRecord(const QByteArray &bytes)
{
    if (bytes.size() < TSessionOptions::RecordSize)
        return std::nullopt;
    TSessionOptions o;
    std::memcpy(o.Raw.data(), bytes.constData(), TSessionOptions::RecordSize);
    const char *r = o.Raw.data();
    const qsizetype n = TSessionOptions::RecordSize;
    ReadRecordIdentity(bytes, o);
    o.MaxLines = GetInt(r, off::MaxLines);
    o.CurFontName = GetString(r, n, off::CurFontName, off::CurFontNameSize);
    o.CurFontSize = GetInt(r, off::CurFontSize);
    o.CurTextColor = GetInt(r, off::CurTextColor);
    o.CurBackColor = GetInt(r, off::CurBackColor);
    o.BackColor = GetInt(r, off::BackColor);
    o.FontName = GetString(r, n, off::FontName, off::FontNameSize);
    o.FontSize = GetInt(r, off::FontSize);
    o.TextColor = GetInt(r, off::TextColor);
    o.DefaultBackColor = GetInt(r, off::DefaultBackColor);
    for (size_t i = 0; i < std::size(Flags); ++i)
        o.*Flags[i] = r[off::FirstFlag + i] != 0;
    o.CommandChar = GetString(r, n, off::CommandChar, off::CommandCharSize);
    o.ExprSeparator = GetString(r, n, off::ExprSeparator, off::ExprSeparatorSize);
    o.PathChar = GetString(r, n, off::PathChar, off::PathCharSize);
    o.LineEnd = GetString(r, n, off::LineEnd, off::LineEndSize);
    for (int i = 0; i < 16; ++i)
        o.AnsiColors[static_cast<size_t>(i)] = GetInt(r, off::AnsiColors + 4 * i);
    o.UseBrightColors = r[off::UseBrightColors] != 0;
    o.LogMode = GetInt(r, off::LogMode);
    o.LogFile = GetString(r, n, off::LogFile, off::LogFileSize);
    return o;
}

void ReadRecordIdentity(const QByteArray &bytes, TSessionOptions &options)
{
    const qsizetype available = std::min<qsizetype>(bytes.size(), off::IdentityEnd);
    const char *r = bytes.constData();
    // A field is taken only when the bytes hold its length and all the characters it announces; a field
    // cut short (or missing) keeps the value the session was opened with, so a damaged file never leaves
    // the world without its address.
    const auto takeWhole = [&](QByteArray &field, int offset, int size) {
        if (offset >= available)
            return;
        const int length = std::min(static_cast<unsigned char>(r[offset]) + 0, size - 1);
        if (offset + 1 + length <= available)
            field = QByteArray(r + offset + 1, length);
    };
    takeWhole(options.Host, off::Host, off::HostSize);
    takeWhole(options.Port, off::Port, off::PortSize);
    takeWhole(options.WorldName, off::WorldName, off::WorldNameSize);
    std::memcpy(options.Raw.data(), r, static_cast<size_t>(available));
}

} // namespace wren
