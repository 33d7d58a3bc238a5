// SPDX-License-Identifier: GPL-3.0-or-later
// Client commands beyond the classic set, by name.
#include "commands/slash_extensions.h"

#include <algorithm>

namespace wren {

void SlashExtensions::Add(const QByteArray &name, Handler handler, int owner)
{
    const QByteArray upper = name.trimmed().toUpper();
    if (upper.isEmpty() || upper.contains(' '))
        return;
    auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry &e) { return e.Name == upper; });
    if (found != m_entries.end())
        *found = {upper, std::move(handler), owner};
    else
        m_entries.push_back({upper, std::move(handler), owner});
}

void SlashExtensions::RemoveOwner(int owner)
{
    std::erase_if(m_entries, [owner](const Entry &e) { return e.Owner == owner; });
}

bool SlashExtensions::Run(const QByteArray &text) const
{
    const qsizetype space = text.indexOf(' ');
    const QByteArray name = (space >= 0 ? text.left(space) : text).toUpper();
    const auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry &e) { return e.Name == name; });
    if (found == m_entries.end())
        return false;
    // A copy: the command may add or remove commands (a script reloading itself).
    const Handler run = found->Run;
    run(space >= 0 ? text.mid(space + 1) : QByteArray());
    return true;
}

bool SlashExtensions::Has(const QByteArray &name) const
{
    const QByteArray upper = name.toUpper();
    return std::any_of(m_entries.begin(), m_entries.end(), [&](const Entry &e) { return e.Name == upper; });
}

QList<QByteArray> SlashExtensions::Names() const
{
    QList<QByteArray> names;
    for (const Entry &e : m_entries)
        names.append(e.Name);
    return names;
}

} // namespace wren
