// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a session's triggers over the text it shows.
#include "automation/trigger_engine.h"

#include "base/text_helpers.h"
#include "config/logging.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <cstring>

namespace wren {

void ReplacePass::Prepare(const QList<TAdvancedItem> &triggers, quint64 generation)
{
    m_generation = generation;
    m_firstBytes.reset();
    std::vector<QByteArray> literals;
    for (const TAdvancedItem &t : triggers) {
        if (t.Enabled && t.Number == 0 && !t.Name.isEmpty()) {
            m_firstBytes.set(static_cast<unsigned char>(t.Name[0]));
            literals.push_back(t.Name);
        }
    }
    m_database.Clear();
    if (m_useDatabase && literals.size() > 1)
        m_database.BuildLiterals(literals);
    m_any = m_firstBytes.any();
    m_singleFirstByte = -1;
    if (m_firstBytes.count() == 1) {
        for (int b = 0; b < 256; ++b) {
            if (m_firstBytes[static_cast<size_t>(b)])
                m_singleFirstByte = b;
        }
    }
}

bool ReplacePass::MayChange(const AutomationStore &store, QByteArrayView text)
{
    if (store.TriggerGeneration() != m_generation)
        Prepare(store.Triggers(), store.TriggerGeneration());
    if (!m_any || text.isEmpty())
        return false;
    // A pattern can only occur where its first byte does; most text holds none of those bytes.
    if (m_singleFirstByte >= 0)
        return std::memchr(text.data(), m_singleFirstByte, static_cast<size_t>(text.size())) != nullptr;
    for (char c : text) {
        if (m_firstBytes[static_cast<unsigned char>(c)])
            return true;
    }
    return false;
}

QByteArrayView ReplacePass::Apply(const AutomationStore &store, QByteArrayView text, QByteArray &storage)
{
    if (!MayChange(store, text))
        return text;
    // One scan tells which patterns occur in the text as it came. Once a replacement has changed it, a
    // later pattern may occur in what was put in, so from then on each is looked for in the text as it is.
    const bool scanned = m_database.Built();
    if (scanned) {
        m_hits.clear();
        m_database.Scan(text, m_hits);
        if (m_hits.empty())
            return text;
        m_present.assign(m_present.size(), 0);
        for (const int id : m_hits) {
            if (static_cast<size_t>(id) >= m_present.size())
                m_present.resize(static_cast<size_t>(id) + 1, 0);
            m_present[static_cast<size_t>(id)] = 1;
        }
    }
    QByteArray current = text.toByteArray();
    bool changed = false;
    size_t live = 0;
    for (const TAdvancedItem &t : store.Triggers()) {
        if (!t.Enabled || t.Number != 0 || t.Name.isEmpty())
            continue;
        const size_t id = live++;
        const bool occurs = scanned && !changed ? id < m_present.size() && m_present[id] : current.contains(t.Name);
        if (!occurs)
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

#define PCRE2_CODE_UNIT_WIDTH 8
#include <algorithm>
#include <climits>
#include <pcre2.h>

namespace wren {

struct ExecutePass::Compiled {
    QByteArray Pattern;
    pcre2_code *Code = nullptr;
    bool Scannable = false; ///< the pattern database can take it
    /// Its required literal is long and is looked for by a pair that starts with a byte text seldom holds
    /// (a capital, a digit, a byte above 127), so the literal check passes over most lines quickly.
    bool RareLiteral = false;
    pcre2_match_data *Data = nullptr;
    QByteArray Literal;
    qsizetype Anchor = 0; ///< offset in Literal of the byte pair the line scan looks for
    QByteArray Error;
    bool Reported = false;
    bool Used = false; ///< a live trigger of the list as last prepared has this pattern

    ~Compiled()
    {
        pcre2_match_data_free(Data);
        pcre2_code_free(Code);
    }
};

namespace {

constexpr unsigned Flag(bool on)
{
    return on ? 1U : 0U;
}

// Limits that keep a pathological pattern from stalling the session on one line.
constexpr uint32_t MatchLimit = 2'000'000;
constexpr uint32_t DepthLimit = 10'000;

// Index just past the ")" that closes the group opened at @p i, or the length when it does not close.
qsizetype SkipGroup(const QByteArray &p, qsizetype i);

qsizetype SkipClass(const QByteArray &p, qsizetype i)
{
    ++i; // the "["
    if (i < p.size() && p[i] == '^')
        ++i;
    if (i < p.size() && p[i] == ']')
        ++i;
    while (i < p.size() && p[i] != ']') {
        if (p[i] == '\\')
            i += 2;
        else if (p[i] == '[' && i + 1 < p.size() && p[i + 1] == ':') {
            const qsizetype end = p.indexOf(":]", i + 2);
            i = end < 0 ? p.size() : end + 2;
        } else
            ++i;
    }
    return std::min(i + 1, p.size());
}

qsizetype SkipGroup(const QByteArray &p, qsizetype i)
{
    int depth = 0;
    while (i < p.size()) {
        const char c = p[i];
        if (c == '\\') {
            i += 2;
        } else if (c == '[') {
            i = SkipClass(p, i);
        } else if (c == '(') {
            ++depth, ++i;
        } else if (c == ')') {
            ++i;
            if (--depth == 0)
                return i;
        } else {
            ++i;
        }
    }
    return p.size();
}

bool IsAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

} // namespace

namespace {

// How common a byte is in what servers send: blanks and lower-case letters most, then the rest of ASCII,
// then capitals and digits; bytes outside ASCII least.
int ByteCommonness(unsigned char c)
{
    if (c == ' ')
        return 12;
    if (c >= 'a' && c <= 'z')
        return std::strchr("etaoinshrdlu", c) ? 10 : 8;
    if (c >= 'A' && c <= 'Z')
        return 3;
    if (c >= '0' && c <= '9')
        return 4;
    if (c < 0x80)
        return 5;
    return 2;
}

} // namespace

qsizetype ExecutePass::RarestPair(QByteArrayView literal)
{
    // The line scan skips bytes that start no anchor pair, so a pair that starts with a rare byte keeps it fast.
    const auto commonness = ByteCommonness;
    qsizetype best = 0;
    int bestScore = INT_MAX;
    for (qsizetype k = 0; k + 1 < literal.size(); ++k) {
        // The first byte counts most: it decides which bytes the scan stops at.
        const int score = 4 * commonness(static_cast<unsigned char>(literal[k]))
                          + commonness(static_cast<unsigned char>(literal[k + 1]));
        if (score < bestScore) {
            bestScore = score;
            best = k;
        }
    }
    return best;
}

// One case per construct of the pattern syntax, as the syntax lists them.
// NOLINTNEXTLINE(readability-function-cognitive-complexity,readability-function-size)
QByteArray ExecutePass::RequiredLiteral(const QByteArray &p)
{
    // Inline options ("(?i)"), verbs and quoting change what the text means: no literal is claimed for
    // them. Other "(?" groups (non-capturing, lookaround, named, atomic, comments) are skipped like any group.
    if (p.contains("(*") || p.contains("\\Q") || p.contains("\\E"))
        return {};
    for (qsizetype at = p.indexOf("(?"); at >= 0; at = p.indexOf("(?", at + 2)) {
        const char kind = at + 2 < p.size() ? p[at + 2] : 0;
        if (!QByteArrayView(":=!<>|P#").contains(kind) || kind == 0)
            return {};
    }
    // An alternative at the top level makes nothing required.
    for (qsizetype i = 0; i < p.size();) {
        if (p[i] == '\\')
            i += 2;
        else if (p[i] == '[')
            i = SkipClass(p, i);
        else if (p[i] == '(')
            i = SkipGroup(p, i);
        else if (p[i] == '|' || p[i] == ')')
            return {};
        else
            ++i;
    }
    QByteArray best, run;
    const auto endRun = [&] {
        if (run.size() > best.size())
            best = run;
        run.clear();
    };
    qsizetype i = 0;
    while (i < p.size()) {
        const char c = p[i];
        char literal = 0;
        bool isLiteral = false;
        if (c == '\\') {
            if (i + 1 >= p.size())
                return {};
            const char d = p[i + 1];
            i += 2;
            if (IsAlnum(d)) {
                // A class, an anchor, a back reference or a coded character (\x41, \101, \p{L}, \k<n>): the
                // letters, digits and brackets after it may belong to it, so none of them is claimed.
                endRun();
                if (d == 'c')
                    ++i;
                while (i < p.size()) {
                    const char e = p[i];
                    const char close = e == '{' ? '}' : e == '<' ? '>' : e == '\'' ? '\'' : 0;
                    if (close) {
                        const qsizetype end = p.indexOf(close, i + 1);
                        i = end < 0 ? p.size() : end + 1;
                    } else if (IsAlnum(e)) {
                        ++i;
                    } else {
                        break;
                    }
                }
                continue;
            }
            literal = d;
            isLiteral = true;
        } else if (c == '[') {
            endRun();
            i = SkipClass(p, i);
            continue;
        } else if (c == '(') {
            endRun();
            i = SkipGroup(p, i);
            continue;
        } else if (c == '{') {
            endRun();
            const qsizetype close = p.indexOf('}', i);
            i = close < 0 ? p.size() : close + 1;
            continue;
        } else if (c == '.' || c == '^' || c == '$' || c == '*' || c == '+' || c == '?') {
            endRun();
            ++i;
            continue;
        } else {
            literal = c;
            isLiteral = true;
            ++i;
        }
        if (!isLiteral)
            continue;
        const char next = i < p.size() ? p[i] : 0;
        if (next == '*' || next == '?' || next == '{') {
            endRun(); // the character may be absent
        } else if (next == '+') {
            run += literal; // at least once, but what follows need not come right after it
            endRun();
        } else {
            run += literal;
        }
    }
    endRun();
    return best;
}

QByteArray ExecutePass::PatternError(const QByteArray &pattern)
{
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code *code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.constData()),
                                     static_cast<PCRE2_SIZE>(pattern.size()), PCRE2_DOTALL, &error, &offset, nullptr);
    if (code) {
        pcre2_match_data *data = pcre2_match_data_create_from_pattern(code, nullptr);
        const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>("testing"), 7, 0, 0, data, nullptr);
        pcre2_match_data_free(data);
        pcre2_code_free(code);
        // The engine takes an empty pattern; the editor refuses it as a missing expression.
        if (rc >= PCRE2_ERROR_NOMATCH)
            return pattern.isEmpty() ? QByteArray("0 - no expression given") : QByteArray();
        error = rc;
    }
    PCRE2_UCHAR message[256];
    pcre2_get_error_message(error, message, sizeof message);
    return QByteArray::number(error) + " - " + reinterpret_cast<const char *>(message);
}

ExecutePass::ExecutePass()
    : m_context(pcre2_match_context_create(nullptr))
{
    pcre2_set_match_limit(m_context, MatchLimit);
    pcre2_set_depth_limit(m_context, DepthLimit);
}

ExecutePass::~ExecutePass()
{
    pcre2_match_context_free(m_context);
}

ExecutePass::Compiled *ExecutePass::CompiledFor(const QByteArray &pattern)
{
    auto &slot = m_compiled[pattern.toStdString()];
    if (!slot) {
        slot = std::make_unique<Compiled>();
        slot->Pattern = pattern;
        int error = 0;
        PCRE2_SIZE offset = 0;
        // The dot matches any character; anchors match only at the ends of the line; case matters.
        slot->Code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.constData()),
                                   static_cast<PCRE2_SIZE>(pattern.size()), PCRE2_DOTALL, &error, &offset, nullptr);
        if (!slot->Code) {
            PCRE2_UCHAR message[256];
            pcre2_get_error_message(error, message, sizeof message);
            slot->Error = QByteArray::number(error) + " - " + reinterpret_cast<const char *>(message);
            qCDebug(lcAutomation) << "pattern" << pattern << "does not compile:" << slot->Error;
        } else {
            pcre2_jit_compile(slot->Code, PCRE2_JIT_COMPLETE);
            slot->Data = pcre2_match_data_create_from_pattern(slot->Code, nullptr);
            slot->Literal = RequiredLiteral(pattern);
            slot->Anchor = RarestPair(slot->Literal);
            slot->Scannable = PatternDatabase::AcceptsRegex(pattern);
            slot->RareLiteral = slot->Literal.size() >= 4
                                && ByteCommonness(static_cast<unsigned char>(slot->Literal[slot->Anchor])) <= 4;
        }
    }
    return slot.get();
}

struct ExecutePass::Build {
    QByteArray Key;
    std::vector<QByteArray> Patterns;
    std::unique_ptr<PatternDatabase> Database;
    std::atomic<bool> Done {false};
};

namespace {

QByteArray DatabaseKey(const std::vector<QByteArray> &patterns)
{
    QByteArray key;
    for (const QByteArray &pattern : patterns) {
        key += pattern;
        key += '\0'; // patterns in a database hold no NUL byte, so the key names one list
    }
    return key;
}

} // namespace

PatternDatabase *ExecutePass::DatabaseFor(const std::vector<QByteArray> &patterns)
{
    const QByteArray key = DatabaseKey(patterns);
    const auto kept
        = std::find_if(m_databases.begin(), m_databases.end(), [&](const auto &entry) { return entry.first == key; });
    if (kept != m_databases.end()) {
        std::rotate(m_databases.begin(), kept, kept + 1);
        PatternDatabase *database = m_databases.front().second.get();
        return database->Built() ? database : nullptr;
    }
    if (m_build && m_build->Key == key)
        return nullptr; // under way
    // Compiling a thousand patterns takes a good part of a second: it is done on a worker, and a build
    // that is no longer wanted is simply dropped when it is done.
    auto build = std::make_shared<Build>();
    build->Key = key;
    build->Patterns = patterns;
    m_build = build;
    ++m_databaseBuilds;
    QThreadPool::globalInstance()->start([build] {
        auto database = std::make_unique<PatternDatabase>();
        database->BuildRegex(build->Patterns); // a set it refuses is kept too, so it is not tried again and again
        build->Database = std::move(database);
        build->Done = true;
    });
    return nullptr;
}

bool ExecutePass::TakeFinishedBuild()
{
    if (!m_build || !m_build->Done)
        return false;
    constexpr size_t Kept = 4;
    if (m_databases.size() >= Kept)
        m_databases.pop_back();
    m_databases.insert(m_databases.begin(), {std::move(m_build->Key), std::move(m_build->Database)});
    m_build.reset();
    return true;
}

bool ExecutePass::WaitForDatabase(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (m_build && !m_build->Done && !deadline.hasExpired())
        QThread::msleep(1);
    if (TakeFinishedBuild())
        m_generation = ~quint64(0);
    return !m_build;
}

void ExecutePass::Prepare(const QList<TAdvancedItem> &triggers, quint64 generation)
{
    m_generation = generation;
    m_byIndex.assign(static_cast<size_t>(triggers.size()), nullptr);
    m_marked.assign(static_cast<size_t>(triggers.size()), 0);
    m_always.clear();
    m_single.clear();
    m_byBigram.clear();
    m_bigrams.reset();
    m_bigramFirst.fill(false);
    m_active = nullptr;
    m_databaseTriggers.clear();
    m_any = false;
    for (auto &entry : m_compiled)
        entry.second->Used = false;
    // Every execute pattern of the list is compiled and kept, switched on or not: switching a class costs
    // no compiling. The live ones are those switched on.
    std::vector<int> live;
    std::vector<QByteArray> scannable;
    std::unordered_map<const Compiled *, int> databaseId;
    for (qsizetype i = 0; i < triggers.size(); ++i) {
        const TAdvancedItem &t = triggers[i];
        if (t.Number != 1)
            continue;
        Compiled *c = CompiledFor(t.Name);
        c->Used = true;
        if (c->Code && c->Scannable) {
            const auto [id, added] = databaseId.emplace(c, static_cast<int>(scannable.size()));
            if (added) {
                scannable.push_back(c->Pattern);
                m_databaseTriggers.emplace_back();
            }
            m_databaseTriggers[static_cast<size_t>(id->second)].push_back(static_cast<int>(i));
        }
        if (!t.Enabled)
            continue;
        m_any = true;
        if (!c->Code && c->Reported)
            continue; // reported once; it can never match
        m_byIndex[static_cast<size_t>(i)] = c;
        live.push_back(static_cast<int>(i));
    }
    // Patterns no trigger of the list has any more are dropped, so editing patterns over a long session
    // does not pile up compiled code.
    std::erase_if(m_compiled, [](const auto &entry) { return !entry.second->Used; });
    if (m_useDatabase && !LiteralsSuffice(live) && UseDatabaseFor(live, scannable))
        return;
    m_databaseTriggers.clear();
    PrepareLiterals(live);
}

// When every live pattern requires a long literal that starts with a byte text seldom holds, looking for
// the literals costs less per line than a database scan.
bool ExecutePass::LiteralsSuffice(const std::vector<int> &live) const
{
    return std::all_of(live.begin(), live.end(), [this](int index) {
        const Compiled *c = m_byIndex[static_cast<size_t>(index)];
        return !c->Code || c->RareLiteral;
    });
}

// The database of every execute pattern, when it is at hand: the live triggers it cannot take run on
// every line. False while it is being built (the literal search serves meanwhile), or when it cannot be.
bool ExecutePass::UseDatabaseFor(const std::vector<int> &live, const std::vector<QByteArray> &scannable)
{
    if (!scannable.empty() && !(m_active = DatabaseFor(scannable)))
        return false;
    for (const int index : live) {
        const Compiled *c = m_byIndex[static_cast<size_t>(index)];
        if (!c->Code || !c->Scannable)
            m_always.push_back(index); // not compiled (its error is reported), or a pattern the database cannot take
    }
    return true;
}

void ExecutePass::PrepareLiterals(const std::vector<int> &live)
{
    for (const int index : live) {
        const Compiled *c = m_byIndex[static_cast<size_t>(index)];
        if (!c->Code || c->Literal.isEmpty()) {
            m_always.push_back(index);
        } else if (c->Literal.size() == 1) {
            m_single.emplace_back(static_cast<unsigned char>(c->Literal[0]), index);
        } else {
            const auto first = static_cast<unsigned char>(c->Literal[c->Anchor]);
            const auto key = static_cast<quint16>(first | (static_cast<unsigned char>(c->Literal[c->Anchor + 1]) << 8));
            m_byBigram[key].push_back(index);
            m_bigrams.set(key);
            m_bigramFirst[first] = true;
        }
    }
}

// The per-line scan on the text path, kept in one piece.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
void ExecutePass::Candidates(QByteArrayView line, std::vector<int> &out)
{
    out = m_always;
    if (m_active) {
        m_hits.clear();
        m_active->Scan(line, m_hits);
        for (const int id : m_hits) {
            for (const int index : m_databaseTriggers[static_cast<size_t>(id)]) {
                if (m_byIndex[static_cast<size_t>(index)])
                    out.push_back(index); // switched on
            }
        }
    }
    const auto *bytes = reinterpret_cast<const unsigned char *>(line.data());
    const qsizetype n = line.size();
    if (!m_single.empty()) {
        std::bitset<256> present;
        for (qsizetype i = 0; i < n; ++i)
            present.set(bytes[i]);
        for (const auto &[byte, index] : m_single) {
            if (present[static_cast<size_t>(byte)])
                out.push_back(index);
        }
    }
    if (!m_byBigram.empty()) {
        for (qsizetype i = 0; i + 1 < n; ++i) {
            // Four bytes at a time while none of them can start an anchor pair (most bytes of most lines); the
            // flags are or-ed as numbers, without a branch per byte.
            while (i + 4 < n
                   && (Flag(m_bigramFirst[bytes[i]]) | Flag(m_bigramFirst[bytes[i + 1]])
                       | Flag(m_bigramFirst[bytes[i + 2]]) | Flag(m_bigramFirst[bytes[i + 3]]))
                          == 0)
                i += 4;
            if (i + 1 >= n)
                break; // the skip can end on the last byte, which starts no pair
            if (!m_bigramFirst[bytes[i]])
                continue;
            const auto key = static_cast<quint16>(bytes[i] | (bytes[i + 1] << 8));
            if (!m_bigrams[key])
                continue;
            for (int index : m_byBigram.find(key)->second) {
                if (m_marked[static_cast<size_t>(index)])
                    continue;
                const Compiled &c = *m_byIndex[static_cast<size_t>(index)];
                const qsizetype start = i - c.Anchor;
                if (start >= 0 && start + c.Literal.size() <= n
                    && std::memcmp(bytes + start, c.Literal.constData(), static_cast<size_t>(c.Literal.size())) == 0) {
                    m_marked[static_cast<size_t>(index)] = 1;
                    out.push_back(index);
                }
            }
        }
        for (int index : out)
            m_marked[static_cast<size_t>(index)] = 0;
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

// The live-list walk and its checks after each handler, in one place.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
void ExecutePass::Run(const AutomationStore &store, QByteArrayView line, const MatchHandler &onMatch,
                      const ErrorHandler &onError)
{
    if (m_build && TakeFinishedBuild())
        m_generation = ~quint64(0); // the database is ready: the list is prepared with it
    if (store.TriggerGeneration() != m_generation)
        Prepare(store.Triggers(), store.TriggerGeneration());
    std::vector<int> candidates;
    Candidates(line, candidates);
    for (size_t k = 0; k < candidates.size(); ++k) {
        const QList<TAdvancedItem> &triggers = store.Triggers();
        const int index = candidates[k];
        // A copy: the handler may change the list.
        const TAdvancedItem trigger = triggers[index]; // NOLINT(performance-unnecessary-copy-initialization)
        Compiled *c = m_byIndex[static_cast<size_t>(index)];
        if (!c)
            continue;
        const quint64 before = store.TriggerGeneration();
        if (!c->Code) {
            if (c->Reported)
                continue;
            c->Reported = true;
            m_always.erase(std::remove(m_always.begin(), m_always.end(), index), m_always.end());
            // The report is text, which may set off other triggers that change the list.
            onError(trigger.Name, c->Error);
        } else {
            const int rc = pcre2_match(c->Code, reinterpret_cast<PCRE2_SPTR>(line.data()),
                                       static_cast<PCRE2_SIZE>(line.size()), 0, 0, c->Data, m_context);
            if (rc <= 0)
                continue;
            const PCRE2_SIZE *ovector = pcre2_get_ovector_pointer(c->Data);
            QByteArray captures;
            for (int group = 0; group <= 9; ++group) {
                if (group)
                    captures += ',';
                const size_t at = 2 * static_cast<size_t>(group);
                if (group < rc && ovector[at] != PCRE2_UNSET)
                    captures.append(line.data() + ovector[at], static_cast<qsizetype>(ovector[at + 1] - ovector[at]));
            }
            onMatch(trigger, captures);
        }
        if (store.TriggerGeneration() != before) {
            // The command changed the triggers: the walk goes on over what the list now holds after this
            // trigger. Items keep their list order and their serials grow along it, so "after" holds
            // whether this trigger, or any before it, was removed meanwhile.
            Prepare(store.Triggers(), store.TriggerGeneration());
            Candidates(line, candidates);
            const QList<TAdvancedItem> &now = store.Triggers();
            candidates.erase(candidates.begin(), std::find_if(candidates.begin(), candidates.end(),
                                                              [&](int i) { return now[i].Serial > trigger.Serial; }));
            k = static_cast<size_t>(-1);
        }
    }
}

} // namespace wren
