// SPDX-License-Identifier: GPL-3.0-or-later
// The regular expressions of script triggers and aliases: compiled once, kept in the order they were added.
#include "scripting/script_patterns.h"

#include "automation/pattern_database.h"
#include "automation/trigger_engine.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <algorithm>
#include <pcre2.h>

namespace wren {

namespace {

// The execute triggers' limits: a pathological pattern cannot stall the session on one line.
constexpr uint32_t MatchLimit = 2'000'000;
constexpr uint32_t DepthLimit = 10'000;

QByteArray ErrorText(int error)
{
    PCRE2_UCHAR message[256];
    pcre2_get_error_message(error, message, sizeof message);
    return QByteArray(reinterpret_cast<const char *>(message));
}

pcre2_match_context *Context(void *context)
{
    return static_cast<pcre2_match_context *>(context);
}

} // namespace

struct ScriptPatternList::Compiled {
    quint64 Id = 0;
    QByteArray Pattern;
    QByteArray Literal; ///< text every match holds, for the check without a database
    QList<QByteArray> Names; ///< by group number
    pcre2_code *Code = nullptr;
    pcre2_match_data *Data = nullptr;
    bool Scannable = false;

    ~Compiled()
    {
        pcre2_match_data_free(Data);
        pcre2_code_free(Code);
    }
};

ScriptPatternList::ScriptPatternList()
    : m_context(pcre2_match_context_create(nullptr))
{
    pcre2_set_match_limit(Context(m_context), MatchLimit);
    pcre2_set_depth_limit(Context(m_context), DepthLimit);
}

ScriptPatternList::~ScriptPatternList()
{
    pcre2_match_context_free(Context(m_context));
}

namespace {

QList<QByteArray> GroupNamesOf(const pcre2_code *code)
{
    uint32_t groups = 0, count = 0, entrySize = 0;
    PCRE2_SPTR table = nullptr;
    pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &groups);
    pcre2_pattern_info(code, PCRE2_INFO_NAMECOUNT, &count);
    pcre2_pattern_info(code, PCRE2_INFO_NAMEENTRYSIZE, &entrySize);
    pcre2_pattern_info(code, PCRE2_INFO_NAMETABLE, &table);
    QList<QByteArray> names(static_cast<qsizetype>(groups) + 1);
    for (uint32_t i = 0; i < count && table; ++i) {
        const PCRE2_SPTR entry = table + static_cast<size_t>(i) * entrySize;
        const int group = (entry[0] << 8) | entry[1];
        if (group >= 0 && group < names.size())
            names[group] = QByteArray(reinterpret_cast<const char *>(entry + 2));
    }
    return names;
}

} // namespace

quint64 ScriptPatternList::Add(const QByteArray &pattern, QByteArray *error)
{
    if (m_live >= MaxPatterns) {
        *error = "more than " + QByteArray::number(MaxPatterns) + " patterns";
        return 0;
    }
    if (pattern.size() > MaxPatternBytes) {
        *error = "the pattern is longer than " + QByteArray::number(MaxPatternBytes) + " bytes";
        return 0;
    }
    int code = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code *compiled
        = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.constData()), static_cast<PCRE2_SIZE>(pattern.size()),
                        PCRE2_DOTALL, &code, &offset, nullptr);
    if (!compiled) {
        *error = ErrorText(code) + " at offset " + QByteArray::number(static_cast<qulonglong>(offset));
        return 0;
    }
    auto entry = std::make_unique<Compiled>();
    entry->Id = m_nextId++;
    entry->Pattern = pattern;
    entry->Code = compiled;
    pcre2_jit_compile(compiled, PCRE2_JIT_COMPLETE);
    entry->Data = pcre2_match_data_create_from_pattern(compiled, nullptr);
    entry->Literal = ExecutePass::RequiredLiteral(pattern);
    entry->Names = GroupNamesOf(compiled);
    entry->Scannable = PatternDatabase::AcceptsRegex(pattern);
    const quint64 id = entry->Id;
    m_entries.push_back(std::move(entry));
    ++m_live;
    ++m_generation;
    m_scanBuilt = false; // the scan must know the new pattern; a removal only hides one
    return id;
}

bool ScriptPatternList::Remove(quint64 id)
{
    for (auto &entry : m_entries) {
        if (entry && entry->Id == id) {
            entry.reset();
            --m_live;
            ++m_generation;
            return true;
        }
    }
    return false;
}

void ScriptPatternList::Clear()
{
    m_entries.clear();
    m_live = 0;
    ++m_generation;
    m_scanBuilt = false;
}

void ScriptPatternList::Compact()
{
    if (m_walks > 0 || static_cast<int>(m_entries.size()) == m_live)
        return;
    std::erase_if(m_entries, [](const auto &entry) { return !entry; });
    m_scanBuilt = false; // positions moved
}

std::vector<QByteArray> ScriptPatternList::Patterns()
{
    Compact();
    std::vector<QByteArray> patterns;
    patterns.reserve(m_entries.size());
    for (const auto &entry : m_entries) {
        if (entry)
            patterns.push_back(entry->Pattern);
    }
    return patterns;
}

quint64 ScriptPatternList::IdAt(int index) const
{
    if (index < 0 || index >= Size() || !m_entries[static_cast<size_t>(index)])
        return 0;
    return m_entries[static_cast<size_t>(index)]->Id;
}

bool ScriptPatternList::Match(int index, QByteArrayView line, QList<QByteArray> &captures) const
{
    captures.clear();
    if (IdAt(index) == 0)
        return false;
    const Compiled &c = *m_entries[static_cast<size_t>(index)];
    const int rc = pcre2_match(c.Code, reinterpret_cast<PCRE2_SPTR>(line.data()), static_cast<PCRE2_SIZE>(line.size()),
                               0, 0, c.Data, Context(m_context));
    if (rc <= 0)
        return false;
    const PCRE2_SIZE *ovector = pcre2_get_ovector_pointer(c.Data);
    const auto groups = static_cast<int>(pcre2_get_ovector_count(c.Data));
    captures.reserve(groups);
    for (int group = 0; group < groups; ++group) {
        const auto at = static_cast<size_t>(group) * 2;
        const PCRE2_SIZE start = ovector[at];
        if (group < rc && start != PCRE2_UNSET)
            captures.append(QByteArray(line.data() + start, static_cast<qsizetype>(ovector[at + 1] - start)));
        else
            captures.append(QByteArray());
    }
    return true;
}

QList<QByteArray> ScriptPatternList::GroupNames(int index) const
{
    if (IdAt(index) == 0)
        return {};
    return m_entries[static_cast<size_t>(index)]->Names;
}

void ScriptPatternList::PrepareScan()
{
    m_scanBuilt = true;
    m_always.clear();
    m_databaseIndex.clear();
    std::vector<QByteArray> patterns;
    for (int i = 0; i < Size(); ++i) {
        const Compiled *c = m_entries[static_cast<size_t>(i)].get();
        if (!c)
            continue;
        if (c->Scannable) {
            patterns.push_back(c->Pattern);
            m_databaseIndex.push_back(i);
        } else {
            m_always.push_back(i);
        }
    }
    if (!m_database)
        m_database = std::make_unique<PatternDatabase>();
    if (patterns.empty() || !m_database->BuildRegex(patterns)) {
        // No database: every live pattern is checked by its required text.
        m_database->Clear();
        m_always.insert(m_always.end(), m_databaseIndex.begin(), m_databaseIndex.end());
        m_databaseIndex.clear();
        std::sort(m_always.begin(), m_always.end());
    }
}

void ScriptPatternList::Candidates(QByteArrayView line, std::vector<int> &out)
{
    out.clear();
    if (!m_scanBuilt)
        PrepareScan();
    if (m_database && m_database->Built()) {
        m_hits.clear();
        m_database->Scan(line, m_hits);
        for (const int id : m_hits)
            out.push_back(m_databaseIndex[static_cast<size_t>(id)]);
    }
    for (const int index : m_always) {
        const Compiled *c = m_entries[static_cast<size_t>(index)].get();
        if (c && (c->Literal.isEmpty() || line.contains(QByteArrayView(c->Literal))))
            out.push_back(index);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    std::erase_if(out, [this](int index) { return IdAt(index) == 0; });
}

} // namespace wren
