// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a session's triggers over the text it shows.
#pragma once

#include "automation/advanced_item.h"
#include "automation/automation_store.h"
#include "automation/pattern_database.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <array>
#include <bitset>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace wren {

/// The replace pass: every enabled "Replace With" trigger, in list order, replaces each occurrence of its
/// pattern with its command text; each works on the result of the one before.
class ReplacePass
{
public:
    /// Returns @p text itself when nothing matched, else a view of @p storage.
    QByteArrayView Apply(const AutomationStore &store, QByteArrayView text, QByteArray &storage);
    /// False when no pattern can occur in @p text: none of their first bytes is in it. Checking a whole
    /// block once lets its pieces skip the pass.
    bool MayChange(const AutomationStore &store, QByteArrayView text);

    /// Whether the patterns are found with one scan of the text (where the machine allows), rather than
    /// one search per pattern. The results are the same; for the tests and the benchmark.
    void UseDatabase(bool on)
    {
        m_useDatabase = on && PatternDatabase::Available();
        m_generation = ~quint64(0);
    }

private:
    void Prepare(const QList<TAdvancedItem> &triggers, quint64 generation);

    quint64 m_generation = ~quint64(0);
    bool m_useDatabase = PatternDatabase::Available();
    PatternDatabase m_database; ///< the live patterns, when built: one scan tells which occur in a text
    std::vector<char> m_present;
    std::vector<int> m_hits;
    std::bitset<256> m_firstBytes; ///< first bytes of the live patterns: a chunk with none of them is skipped
    int m_singleFirstByte = -1;
    bool m_any = false;
};

} // namespace wren

struct pcre2_real_code_8;
struct pcre2_real_match_data_8;
struct pcre2_real_match_context_8;

namespace wren {

/// The execute pass: every enabled "Execute" trigger whose regular expression matches the line, in list
/// order. Each pattern is compiled once (JIT where available) and kept while a trigger of the list has it,
/// switched on or off. Before any expression runs, one scan of the line tells which patterns may match
/// there: a database of every execute pattern of the list, on or off (so switching triggers and classes
/// builds nothing; the hits are filtered by what is on), or, where that cannot be had, a search for the
/// literal text each pattern requires. A database is built away from the window's thread; the literal
/// search serves until it is ready. Only the candidates run, so most patterns cost nothing per line.
/// Results are those of trying every pattern.
class ExecutePass
{
public:
    ExecutePass();
    ~ExecutePass();
    ExecutePass(const ExecutePass &) = delete;
    ExecutePass &operator=(const ExecutePass &) = delete;

    /// A match: the trigger and its captures as "$&,$1,...,$9" gives them (whole match, then groups 1-9,
    /// a group that took no part empty).
    using MatchHandler = std::function<void(const TAdvancedItem &trigger, const QByteArray &captures)>;
    /// A pattern that does not compile, once per pattern text.
    using ErrorHandler = std::function<void(const QByteArray &pattern, const QByteArray &message)>;

    /// Walks the store's trigger list as it is at each step: a handler may add, change, switch or remove
    /// triggers, and the walk goes on with the triggers that now follow the one that ran.
    void Run(const AutomationStore &store, QByteArrayView line, const MatchHandler &onMatch,
             const ErrorHandler &onError);

    /// Whether any enabled execute trigger exists (so lines need collecting at all).
    bool Any(const AutomationStore &store)
    {
        if (store.TriggerGeneration() != m_generation)
            Prepare(store.Triggers(), store.TriggerGeneration());
        return m_any;
    }
    /// Compiled patterns held, for the tests: only those of the list as last prepared are kept.
    size_t CompiledCount() const { return m_compiled.size(); }
    /// Whether lines are scanned with a pattern database (see ReplacePass::UseDatabase).
    void UseDatabase(bool on)
    {
        m_useDatabase = on && PatternDatabase::Available();
        m_generation = ~quint64(0);
    }
    /// The database the list was last prepared with, null when the literal search is used.
    const PatternDatabase *ActiveDatabase() const { return m_active; }
    /// Databases built so far, for the tests: a list that did not change builds none.
    int DatabaseBuilds() const { return m_databaseBuilds; }
    /// Waits up to @p ms for a database being built (tests and benchmarks); true when none is.
    bool WaitForDatabase(int ms);

    /// The editor's check of a pattern: compiled as triggers compile it and run on "testing". Empty when it
    /// is fine, else the engine's error number, " - " and its text.
    static QByteArray PatternError(const QByteArray &pattern);
    /// Text that every match of @p pattern must contain, or empty when none can be told safely.
    static QByteArray RequiredLiteral(const QByteArray &pattern);
    /// Where in @p literal (two bytes or more) the line scan looks for it: the pair least likely in text.
    static qsizetype RarestPair(QByteArrayView literal);

private:
    struct Compiled;
    void Prepare(const QList<TAdvancedItem> &triggers, quint64 generation);
    bool LiteralsSuffice(const std::vector<int> &live) const;
    bool UseDatabaseFor(const std::vector<int> &live, const std::vector<QByteArray> &scannable);
    void PrepareLiterals(const std::vector<int> &live);
    Compiled *CompiledFor(const QByteArray &pattern);
    void Candidates(QByteArrayView line, std::vector<int> &out);
    /// The database of @p patterns when it is at hand; otherwise its build is started on a worker and
    /// null returned. Null too when the patterns cannot be built into one.
    PatternDatabase *DatabaseFor(const std::vector<QByteArray> &patterns);
    /// A database finished on its worker is taken in; true when one was.
    bool TakeFinishedBuild();
    struct Build;

    quint64 m_generation = ~quint64(0);
    std::unordered_map<std::string, std::unique_ptr<Compiled>> m_compiled; ///< by pattern text, kept
    std::vector<Compiled *> m_byIndex; ///< per list entry: its compiled pattern, null when not live
    std::vector<int> m_always; ///< live triggers without a usable literal
    std::vector<std::pair<int, int>> m_single; ///< (byte, trigger) for one-character literals
    std::unordered_map<quint16, std::vector<int>> m_byBigram; ///< triggers by the first two bytes of their literal
    std::bitset<65536> m_bigrams;
    std::array<bool, 256> m_bigramFirst {}; ///< first bytes of those literals: other bytes are passed over
    std::vector<char> m_marked;
    bool m_any = false;
    bool m_useDatabase = PatternDatabase::Available();
    /// Recently used databases by their patterns (joined by NUL bytes), the newest first.
    std::vector<std::pair<QByteArray, std::unique_ptr<PatternDatabase>>> m_databases;
    std::shared_ptr<Build> m_build; ///< a database being built on a worker
    PatternDatabase *m_active = nullptr;
    /// Database id to the list indexes of every execute trigger with that pattern (live or not).
    std::vector<std::vector<int>> m_databaseTriggers;
    std::vector<int> m_hits;
    int m_databaseBuilds = 0;
    pcre2_real_match_context_8 *m_context = nullptr;
};

} // namespace wren
