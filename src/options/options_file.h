// SPDX-License-Identifier: GPL-3.0-or-later
// Loading and saving a world's ".wno" options file.
#pragma once

#include "options/session_options.h"

#include <QString>

namespace wren {

enum class OptionsLoad {
    NoFile, ///< the file does not exist; the options are left as they are
    Loaded, ///< a whole record was read
    Upgraded, ///< the file was short: defaults were set (identity kept) and the file rewritten
    Unreadable, ///< the file exists but could not be opened; the options are left as they are
};

/// The notice shown once when an older, shorter options file is brought up to date.
extern const char OptionsUpgradeNotice[];

/// Reads @p path into @p options. A short file keeps its host, port and name, takes the defaults for the
/// rest and is saved again at once. @p error receives the system's text when a file cannot be read or saved.
OptionsLoad LoadOptions(const QString &path, TSessionOptions &options, QString *error = nullptr);

/// Writes the 588-byte record to a temporary file and renames it over @p path, so a failed save leaves the
/// previous file in place.
bool SaveOptions(const QString &path, const TSessionOptions &options, QString *error = nullptr);

} // namespace wren
