// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a settings file safely: a temporary file renamed over the old one.
#pragma once

#include <QByteArray>
#include <QString>

namespace wren {

/// Writes @p bytes to a temporary file beside @p path and renames it over @p path, so a failed save leaves
/// the previous file as it was. With @p ownerOnly the file is readable and writable by its owner alone
/// from the moment it exists (it holds a password). @p error receives the system's text on failure.
bool SaveFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr,
                        bool ownerOnly = false);

} // namespace wren
