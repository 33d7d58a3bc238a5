// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and replacing the user's files safely: whole or not at all, and a temporary file renamed over
// the old one.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace wren {

/// Writes @p bytes to a temporary file beside @p path and renames it over @p path, so a failed save leaves
/// the previous file as it was. With @p ownerOnly the file is readable and writable by its owner alone
/// from the moment it exists (it holds a password). @p error receives the system's text on failure.
///
/// A file whose last load failed (NoteLoadFailed) is not replaced unless the overwrite question agrees;
/// then the old file is first copied beside it as "<name>.<date-time>.bak". What little a failed load took
/// in is never written over what the user had.
bool SaveFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr, bool ownerOnly = false);

/// Loading @p path failed although the file is there (unreadable, too large, damaged): until it loads
/// again, a save over it asks first and keeps a backup.
void NoteLoadFailed(const QString &path, const QString &reason);
/// @p path loaded whole, or does not exist: saves over it go ahead as usual.
void NoteLoaded(const QString &path);
/// How reading a file went.
enum class FileRead { Missing, Read, Failed };
/// Reads all of @p path when it holds at most @p maxBytes. A file that is there but cannot be read, or is
/// larger, is a failed load (see NoteLoadFailed): @p bytes stays empty, @p error says why, and saves over
/// it ask first. A missing file is no failure.
FileRead ReadUserFile(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error = nullptr);

/// The question asked before a file that failed to load is replaced; true lets the save go ahead. With no
/// question set (the default, and in tests) such a file is never replaced.
void SetOverwriteQuestion(std::function<bool(const QString &question)> ask);

} // namespace wren
