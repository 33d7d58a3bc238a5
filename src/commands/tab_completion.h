// SPDX-License-Identifier: GPL-3.0-or-later
// Tab completion of a typed word from the session's completion words.
#pragma once

#include <QByteArray>
#include <QList>

namespace wren {

/// The first of @p words longer than @p prefix that begins with it (ASCII letters compared without case);
/// @p prefix itself when there is none.
QByteArray CompleteWord(const QList<QByteArray> &words, const QByteArray &prefix);

} // namespace wren
