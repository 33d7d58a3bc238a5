// SPDX-License-Identifier: GPL-3.0-or-later
// The regular expressions of script triggers and aliases: compiled once, kept in the order they were added.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <memory>
#include <vector>

namespace wren {

class PatternDatabase;

/// A list of PCRE2 patterns (8-bit, dot matching every byte, as execute triggers compile them), each
/// compiled once with JIT where the machine has it, each under an id that never comes back.
///
/// Positions ("indexes") are what the session's one-pass scan sees: Patterns() lists the live patterns,
/// and index i of that list stays valid (removed entries are skipped, never moved) until the next call of
/// Patterns(), which drops removed entries. Generation() changes whenever an entry is added or removed.
class ScriptPatternList
{
public:
    /// At most this many patterns in one list, and bytes in one pattern.
    static constexpr int MaxPatterns = 10'000;
    static constexpr qsizetype MaxPatternBytes = 8192;

    ScriptPatternList();
    ~ScriptPatternList();
    ScriptPatternList(const ScriptPatternList &) = delete;
    ScriptPatternList &operator=(const ScriptPatternList &) = delete;

    /// Compiles @p pattern; its id (from 1 up), or 0 with @p error set ("missing ) at offset 3").
    quint64 Add(const QByteArray &pattern, QByteArray *error);
    /// False when @p id is not (or no longer) in the list.
    bool Remove(quint64 id);
    void Clear();
    quint64 Generation() const { return m_generation; }

    /// The live patterns in the order they were added; drops removed entries first (unless a walk over the
    /// list is under way, see Walk).
    std::vector<QByteArray> Patterns();
    /// Entries by position, removed ones included until Patterns() drops them.
    int Size() const { return static_cast<int>(m_entries.size()); }
    /// The id at @p index, 0 when that entry was removed or the index is out of range.
    quint64 IdAt(int index) const;

    /// Whether the pattern at @p index matches @p line; @p captures gets the whole match and every group
    /// (a group that took no part is empty).
    bool Match(int index, QByteArrayView line, QList<QByteArray> &captures) const;
    /// The names of the pattern's named groups by group number (empty where a group has no name).
    QList<QByteArray> GroupNames(int index) const;
    /// Positions of the live patterns that may match @p line, ascending: one scan of a pattern database
    /// where the build has one, else every pattern whose required text occurs in the line.
    void Candidates(QByteArrayView line, std::vector<int> &out);

    /// While a walk is under way (nested walks count), Patterns() and Compact() keep positions as they are.
    void BeginWalk() { ++m_walks; }
    void EndWalk() { --m_walks; }
    /// Drops removed entries (positions move) unless a walk is under way.
    void Compact();

private:
    struct Compiled;
    void PrepareScan();

    std::vector<std::unique_ptr<Compiled>> m_entries; ///< by position; null once removed
    quint64 m_nextId = 1;
    quint64 m_generation = 1;
    bool m_scanBuilt = false; ///< the scan knows every entry at its position (removed ones are skipped)
    int m_live = 0;
    int m_walks = 0;
    std::unique_ptr<PatternDatabase> m_database;
    std::vector<int> m_databaseIndex; ///< database id to position
    std::vector<int> m_always; ///< positions the database cannot take
    std::vector<int> m_hits;
    void *m_context = nullptr; ///< pcre2_match_context_8
};

} // namespace wren
