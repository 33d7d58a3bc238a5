// SPDX-License-Identifier: GPL-3.0-or-later
// Many patterns scanned in one pass over a text: which of them can occur in it.
#include "automation/pattern_database.h"

#include "config/logging.h"

#ifdef WREN_HAVE_HYPERSCAN
#include <hs/hs.h>
#endif

namespace wren {

#ifdef WREN_HAVE_HYPERSCAN

namespace {

// Prefilters: a report means "may match", never a miss. Dot matches every byte, as the triggers' own
// compile has it; each pattern is reported once per scan.
constexpr unsigned RegexFlags = HS_FLAG_DOTALL | HS_FLAG_SINGLEMATCH | HS_FLAG_PREFILTER;

int OnMatch(unsigned int id, unsigned long long, unsigned long long, unsigned int, void *context)
{
    static_cast<std::vector<int> *>(context)->push_back(static_cast<int>(id));
    return 0;
}

} // namespace

PatternDatabase::PatternDatabase() = default;

PatternDatabase::~PatternDatabase()
{
    Clear();
    hs_free_scratch(static_cast<hs_scratch_t *>(m_scratch));
}

bool PatternDatabase::Available()
{
    static const bool available = hs_valid_platform() == HS_SUCCESS;
    return available;
}

bool PatternDatabase::AcceptsRegex(const QByteArray &pattern)
{
    // The library reads patterns up to their first NUL byte; a pattern holding one is left to PCRE2.
    if (!Available() || pattern.isEmpty() || pattern.contains('\0'))
        return false;
    hs_expr_info_t *info = nullptr;
    hs_compile_error_t *error = nullptr;
    if (hs_expression_info(pattern.constData(), RegexFlags, &info, &error) != HS_SUCCESS) {
        hs_free_compile_error(error);
        return false;
    }
    // A pattern that can match nothing at all matches on every line: the scan would tell nothing.
    const bool useful = info->min_width > 0;
    std::free(info);
    return useful;
}

bool PatternDatabase::Finish(void *database)
{
    auto *scratch = static_cast<hs_scratch_t *>(m_scratch);
    if (hs_alloc_scratch(static_cast<hs_database_t *>(database), &scratch) != HS_SUCCESS) {
        hs_free_database(static_cast<hs_database_t *>(database));
        return false;
    }
    m_scratch = scratch;
    m_database = database;
    return true;
}

bool PatternDatabase::BuildRegex(const std::vector<QByteArray> &patterns)
{
    Clear();
    if (!Available() || patterns.empty())
        return false;
    std::vector<const char *> expressions;
    std::vector<unsigned> flags(patterns.size(), RegexFlags);
    std::vector<unsigned> ids;
    for (size_t i = 0; i < patterns.size(); ++i) {
        expressions.push_back(patterns[i].constData());
        ids.push_back(static_cast<unsigned>(i));
    }
    hs_database_t *database = nullptr;
    hs_compile_error_t *error = nullptr;
    if (hs_compile_multi(expressions.data(), flags.data(), ids.data(), static_cast<unsigned>(patterns.size()),
                         HS_MODE_BLOCK, nullptr, &database, &error)
        != HS_SUCCESS) {
        qCDebug(lcAutomation) << "pattern set not compiled:" << (error ? error->message : "") << "at"
                              << (error ? error->expression : -1);
        hs_free_compile_error(error);
        return false;
    }
    return Finish(database);
}

bool PatternDatabase::BuildLiterals(const std::vector<QByteArray> &literals)
{
    Clear();
    if (!Available() || literals.empty())
        return false;
    std::vector<const char *> expressions;
    std::vector<unsigned> flags(literals.size(), HS_FLAG_SINGLEMATCH);
    std::vector<unsigned> ids;
    std::vector<size_t> lengths;
    for (size_t i = 0; i < literals.size(); ++i) {
        if (literals[i].isEmpty())
            return false;
        expressions.push_back(literals[i].constData());
        ids.push_back(static_cast<unsigned>(i));
        lengths.push_back(static_cast<size_t>(literals[i].size()));
    }
    hs_database_t *database = nullptr;
    hs_compile_error_t *error = nullptr;
    if (hs_compile_lit_multi(expressions.data(), flags.data(), ids.data(), lengths.data(),
                             static_cast<unsigned>(literals.size()), HS_MODE_BLOCK, nullptr, &database, &error)
        != HS_SUCCESS) {
        hs_free_compile_error(error);
        return false;
    }
    return Finish(database);
}

void PatternDatabase::Clear()
{
    hs_free_database(static_cast<hs_database_t *>(m_database));
    m_database = nullptr;
    // The scratch is kept: it grows to fit the next database.
}

void PatternDatabase::Scan(QByteArrayView text, std::vector<int> &ids)
{
    if (!m_database)
        return;
    hs_scan(static_cast<hs_database_t *>(m_database), text.isEmpty() ? "" : text.data(),
            static_cast<unsigned>(text.size()), 0, static_cast<hs_scratch_t *>(m_scratch), OnMatch, &ids);
}

#else // no Hyperscan: nothing is ever built, and callers use their own checks

PatternDatabase::PatternDatabase() = default;
PatternDatabase::~PatternDatabase() = default;
bool PatternDatabase::Available()
{
    return false;
}
bool PatternDatabase::AcceptsRegex(const QByteArray &)
{
    return false;
}
bool PatternDatabase::Finish(void *)
{
    return false;
}
bool PatternDatabase::BuildRegex(const std::vector<QByteArray> &)
{
    return false;
}
bool PatternDatabase::BuildLiterals(const std::vector<QByteArray> &)
{
    return false;
}
void PatternDatabase::Clear() {}
void PatternDatabase::Scan(QByteArrayView, std::vector<int> &) {}

#endif

} // namespace wren
