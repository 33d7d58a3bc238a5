// SPDX-License-Identifier: GPL-3.0-or-later
// Client commands beyond the classic set, added by the parts of a session that bring them (game data, the
// map, speech, scripts).
#pragma once

#include <QByteArray>
#include <QList>

#include <functional>
#include <vector>

namespace wren {

/// A session's added client commands, by name. The classic commands come first: a name they take is never
/// looked up here.
class SlashExtensions
{
public:
    /// Runs the command with what followed its name (trimmed of the one space after the name).
    using Handler = std::function<void(const QByteArray &arguments)>;

    /// Adds or replaces the command @p name (any case; compared without case). @p owner groups commands
    /// that go together (a script's, say), so they can be removed at once.
    void Add(const QByteArray &name, Handler handler, int owner = 0);
    /// Removes every command added with @p owner.
    void RemoveOwner(int owner);
    /// Runs @p text (what follows the command character) when its first word names an added command.
    bool Run(const QByteArray &text) const;
    bool Has(const QByteArray &name) const;
    QList<QByteArray> Names() const;

private:
    struct Entry {
        QByteArray Name; ///< upper case
        Handler Run;
        int Owner = 0;
    };
    std::vector<Entry> m_entries;
};

} // namespace wren
