// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a session's triggers over the text it shows.
#pragma once

#include "automation/advanced_item.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <bitset>

namespace wren {

/// The replace pass: every enabled "Replace With" trigger, in list order, replaces each occurrence of its
/// pattern with its command text; each works on the result of the one before.
class ReplacePass
{
public:
    /// Returns @p text itself when nothing matched, else a view of @p storage.
    QByteArrayView Apply(const QList<TAdvancedItem> &triggers, quint64 generation, QByteArrayView text,
                         QByteArray &storage);

private:
    void Prepare(const QList<TAdvancedItem> &triggers, quint64 generation);

    quint64 m_generation = ~quint64(0);
    std::bitset<256> m_firstBytes; ///< first bytes of the live patterns: a chunk with none of them is skipped
    int m_singleFirstByte = -1;
    bool m_any = false;
};

} // namespace wren
