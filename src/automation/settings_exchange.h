// SPDX-License-Identifier: GPL-3.0-or-later
// Moving automations in and out: comma-delimited text export, zMUD export import, and ".wns" import.
#pragma once

#include "automation/automation_store.h"

#include <QByteArray>
#include <QList>

namespace wren {

/// The comma-delimited text export: a title line, then per kind a comment line and one line per item
/// (triggers and variables of class "System" left out), lines ended by CR LF. Texts go between quotes as
/// they are, so a command of several lines continues over several lines of the file.
QByteArray ExportTextBytes(const AutomationStore &store);

/// The modifier words of a macro's modifier set: Alt, Ctrl and Shift, in that order, for the bits 2, 4, 1.
QByteArray ModifierWords(std::uint8_t shift);

/// zMUD's tokens of one line: separated by spaces (several count once); "{" begins a token that runs to the
/// next "}" (no nesting) and may hold spaces, dropping what was collected since the last boundary; an open
/// brace group ends with the line; an empty brace group is an empty token.
QList<QByteArray> BraceTokens(const QByteArray &line);

/// Merges a zMUD export into @p store, everything into class "Main": #ALIAS, #KEY, #PATH (an alias walking
/// the path with @p pathChar) and #TRIGGER (an Execute trigger, its pattern as it is). Other lines, and
/// lines with too few tokens for their action, are skipped. Returns the number of items taken.
int ImportZMudBytes(const QByteArray &bytes, AutomationStore &store, const QByteArray &pathChar);

/// The separator after each field of a ".wns" data line.
inline constexpr char WnsSeparator[] = "\x86\xB7\x35";

/// Merges a ".wns" file's [Aliases], [Macros] and [Triggers] sections into @p store; the other sections,
/// and lines before the first header, are read and dropped. Items are added enabled, whatever the file says.
/// Returns the number of items taken.
int ImportWnsBytes(const QByteArray &bytes, AutomationStore &store);

} // namespace wren
