// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a session's triggers over the text it shows.
#include "automation/trigger_engine.h"

#include "session/text_helpers.h"

#include <cstring>

namespace wren {

void ReplacePass::Prepare(const QList<TAdvancedItem> &triggers, quint64 generation)
{
    m_generation = generation;
    m_firstBytes.reset();
    for (const TAdvancedItem &t : triggers) {
        if (t.Enabled && t.Number == 0 && !t.Name.isEmpty())
            m_firstBytes.set(static_cast<unsigned char>(t.Name[0]));
    }
    m_any = m_firstBytes.any();
    m_singleFirstByte = -1;
    if (m_firstBytes.count() == 1) {
        for (int b = 0; b < 256; ++b) {
            if (m_firstBytes[static_cast<size_t>(b)])
                m_singleFirstByte = b;
        }
    }
}

QByteArrayView ReplacePass::Apply(const QList<TAdvancedItem> &triggers, quint64 generation, QByteArrayView text,
                                  QByteArray &storage)
{
    if (generation != m_generation)
        Prepare(triggers, generation);
    if (!m_any || text.isEmpty())
        return text;
    // A pattern can only occur where its first byte does; most chunks hold none of those bytes.
    if (m_singleFirstByte >= 0) {
        if (!std::memchr(text.data(), m_singleFirstByte, static_cast<size_t>(text.size())))
            return text;
    } else {
        bool candidate = false;
        for (char c : text) {
            if (m_firstBytes[static_cast<unsigned char>(c)]) {
                candidate = true;
                break;
            }
        }
        if (!candidate)
            return text;
    }
    QByteArray current = text.toByteArray();
    bool changed = false;
    for (const TAdvancedItem &t : triggers) {
        if (!t.Enabled || t.Number != 0 || t.Name.isEmpty() || !current.contains(t.Name))
            continue;
        current = ReplaceAll(t.Name, t.Command, current);
        changed = true;
    }
    if (!changed)
        return text;
    storage = std::move(current);
    return storage;
}

} // namespace wren
