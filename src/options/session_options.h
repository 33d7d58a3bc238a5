// SPDX-License-Identifier: GPL-3.0-or-later
// The per-world options record: its fields, their defaults and the 588-byte stored form.
#pragma once

#include "base/colour.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <optional>

namespace wren {

/// The options record. Field order and sizes follow the file layout (see options_file.h for the offsets).
struct TSessionOptions {
    static constexpr int RecordSize = 588;

    QByteArray Host; ///< up to 50 characters
    QByteArray Port; ///< decimal text, up to 5 characters
    QByteArray WorldName; ///< up to 40 characters
    std::int32_t MaxLines = 0;
    QByteArray CurFontName;
    std::int32_t CurFontSize = 0;
    Colour CurTextColor = 0;
    Colour CurBackColor = 0;
    Colour BackColor = 0;
    QByteArray FontName;
    std::int32_t FontSize = 0;
    Colour TextColor = 0;
    Colour DefaultBackColor = 0;
    bool InAnsi = false;
    bool InTag = false;
    bool LocalEcho = false;
    bool AnsiColor = false;
    bool ZelEnabled = false;
    bool ExpandPaths = false;
    bool AutodetectZel = false;
    bool AutoClearCommand = false;
    bool AutoReconnect = false;
    bool AutoHighlightLinks = false;
    bool AutoCopy = false;
    bool EnableTriggers = false;
    bool EnableSounds = false;
    bool ToggleIcon = false;
    bool WrapHistory = false;
    bool AllowImages = false;
    bool AllowFontChanges = false;
    QByteArray CommandChar;
    QByteArray ExprSeparator;
    QByteArray PathChar;
    QByteArray LineEnd;
    std::array<Colour, 16> AnsiColors {};
    bool UseBrightColors = false;
    std::int32_t LogMode = 0;
    QByteArray LogFile; ///< up to 255 characters

    /// The bytes of the record as last read or written; fields are written over them, so padding survives.
    std::array<char, RecordSize> Raw {};

    /// Writes the defaults into every field from MaxLines to LogMode; leaves Host, Port, WorldName and LogFile.
    void SetDefaults();

    /// The line limit the view works with: MaxLines, held to a sane range whatever a file says.
    int EffectiveMaxLines() const;
    /// The line-end byte to remove from received text; LF unless the record holds exactly CR.
    char LineEndByte() const;
};

/// The sixteen ANSI colours a new record starts with.
extern const std::array<Colour, 16> DefaultAnsiColors;

/// Serialises the record into its 588 stored bytes (the fields written over Raw).
QByteArray WriteOptionsRecord(const TSessionOptions &options);

/// Reads a whole record. Returns nothing when @p bytes holds fewer than 588 bytes; extra bytes are ignored.
std::optional<TSessionOptions> ReadOptionsRecord(const QByteArray &bytes);

/// Reads only Host, Port and WorldName from the start of a record that may be short (an older file). A field
/// the bytes do not hold completely (its length byte and every character it announces) is left as it is.
void ReadRecordIdentity(const QByteArray &bytes, TSessionOptions &options);

} // namespace wren
