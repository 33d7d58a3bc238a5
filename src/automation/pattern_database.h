// SPDX-License-Identifier: GPL-3.0-or-later
// Many patterns scanned in one pass over a text: which of them can occur in it.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>
#include <vector>

namespace wren {

/// A set of patterns compiled together (Hyperscan where the build and the processor have it), so that one
/// pass over a text tells which of them may match there. Regular expressions are taken as prefilters:
/// the scan may name a pattern that does not match in the end, but never leaves out one that does, so the
/// caller still confirms each with its own engine. Without the library, or for a pattern it cannot take,
/// nothing is built and the caller does the work itself.
class PatternDatabase
{
public:
    PatternDatabase();
    ~PatternDatabase();
    PatternDatabase(const PatternDatabase &) = delete;
    PatternDatabase &operator=(const PatternDatabase &) = delete;

    /// Whether scanning is possible on this build and machine.
    static bool Available();
    /// Whether @p pattern (a PCRE2 expression, dot matching all, bytes not UTF-8) can go into a regex
    /// database: the library takes it, and it cannot match an empty text (which every line holds).
    static bool AcceptsRegex(const QByteArray &pattern);

    /// Compiles @p patterns (each one AcceptsRegex took) as prefilters; the id of each is its position.
    /// False, with nothing built, when the library refuses the set.
    bool BuildRegex(const std::vector<QByteArray> &patterns);
    /// Compiles @p literals (plain byte strings, not empty) for exact search; ids as positions.
    bool BuildLiterals(const std::vector<QByteArray> &literals);
    bool Built() const { return m_database != nullptr; }
    void Clear();

    /// Appends to @p ids, once each and in no particular order, the patterns that may occur in @p text.
    void Scan(QByteArrayView text, std::vector<int> &ids);

private:
    bool Finish(void *database);

    void *m_database = nullptr; ///< hs_database_t
    void *m_scratch = nullptr; ///< hs_scratch_t
};

} // namespace wren
