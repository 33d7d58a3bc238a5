// SPDX-License-Identifier: GPL-3.0-or-later
// Loading and saving a world's ".wn2" advanced settings file: its automation items as 360-byte records.
#pragma once

#include "automation/advanced_item.h"
#include "automation/automation_store.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace wren {

/// The size of one stored item. The file has no header: it is a sequence of these records.
inline constexpr int AdvancedRecordSize = 360;

/// The largest file a load accepts; a bigger one is refused whole. Real files hold a few hundred records;
/// this allows about 11,600. Merging looks each record up in the store's lists, so the cost of a load grows
/// with the square of the number of records (of the order of a second for 10,000 distinct ones).
inline constexpr qint64 AdvancedFileMaxSize = qint64(4) * 1024 * 1024;

/// Serialises @p item into its 360 stored bytes. Texts longer than their fields are cut to them, the bytes
/// after each text are zero, and the reserved bytes are written as the item holds them.
QByteArray WriteAdvancedRecord(const TAdvancedItem &item);

/// Parses the first 360 bytes of @p record; nullopt when fewer are given. A length byte larger than its
/// field (a damaged file) is held to the field. Every stored byte is taken as it is, the flags included.
std::optional<TAdvancedItem> ReadAdvancedRecord(QByteArrayView record);

/// The whole file for @p store: every alias, macro, event, trigger and variable in list order, grouped in
/// that order, leaving out triggers and variables whose trimmed class is "System"; then the tab-completion
/// item, which is always written. A store with no items thus gives one record.
QByteArray SaveAdvancedBytes(const AutomationStore &store);

/// Merges the records of @p file into @p store through its Add operations, so an item already held (same
/// class and name) is updated, keeping its state, and any other is appended enabled, whatever the record
/// says. An event named "On Sound" takes its newer name "On Sound Begin"; a trigger type above 1 becomes 0;
/// a "Completion" record replaces the tab-completion text and words. Records of any other kind, and a
/// trailing part shorter than a record, are skipped. Returns the number of records the store took.
int LoadAdvancedBytes(QByteArrayView file, AutomationStore &store);

/// Reads the file at @p path into @p store (see LoadAdvancedBytes). A missing file is not an error: the
/// store is left as it is and true returned. A file that cannot be read, or one larger than
/// AdvancedFileMaxSize, changes nothing and returns false with the reason in @p error.
/// @p items, when given, receives the number of records taken.
bool LoadAdvanced(const QString &path, AutomationStore &store, QString *error = nullptr, int *items = nullptr);

/// Writes SaveAdvancedBytes(@p store) to a temporary file and renames it over @p path, so a failed save
/// leaves the previous file in place. Settings larger than a load accepts (AdvancedFileMaxSize) are not
/// written at all. Returns false with the system's text in @p error on failure.
bool SaveAdvanced(const QString &path, const AutomationStore &store, QString *error = nullptr);

} // namespace wren
