// SPDX-License-Identifier: GPL-3.0-or-later
// Finding text in what a session's view holds, as it is shown.
#include "session/scrollback_search.h"

#include "base/byte_decoder.h"
#include "session/session_document.h"

#include <QDeadlineTimer>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <memory>
#include <pcre2.h>

namespace wren {

namespace {

// A match attempt that takes more steps than this is a pattern backtracking without end, not a search.
constexpr uint32_t MatchLimit = 200'000;
constexpr uint32_t DepthLimit = 5'000;

QString ShownText(const Paragraph &paragraph)
{
    if (paragraph.Pictures.empty())
        return DecodeForDisplay(paragraph.Text);
    std::vector<qint32> pictures;
    for (const InlinePicture &picture : paragraph.Pictures)
        pictures.push_back(picture.Offset);
    return DecodeForDisplay(paragraph.Text, nullptr, &pictures);
}

/// A regular expression over the shown text (UTF-16), with limits on the work of each match.
class Expression
{
public:
    Expression(const SearchQuery &query, QString *error)
    {
        int code = 0;
        PCRE2_SIZE offset = 0;
        const uint32_t options = PCRE2_UTF | PCRE2_UCP | (query.CaseSensitive ? 0 : PCRE2_CASELESS);
        m_code.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(query.Text.utf16()),
                                   static_cast<PCRE2_SIZE>(query.Text.size()), options, &code, &offset, nullptr));
        if (!m_code) {
            PCRE2_UCHAR message[256];
            pcre2_get_error_message(code, message, 256);
            if (error)
                *error = QString::fromUtf16(reinterpret_cast<const char16_t *>(message));
            return;
        }
        pcre2_jit_compile(m_code.get(), PCRE2_JIT_COMPLETE);
        m_data.reset(pcre2_match_data_create_from_pattern(m_code.get(), nullptr));
        m_context.reset(pcre2_match_context_create(nullptr));
        pcre2_set_match_limit(m_context.get(), MatchLimit);
        pcre2_set_depth_limit(m_context.get(), DepthLimit);
    }
    bool Valid() const { return m_code != nullptr; }

    /// Adds the hits of one paragraph; false when a match ran into its limits or the deadline passed.
    bool Find(quint64 paragraph, const QString &text, std::vector<SearchHit> &hits, const QDeadlineTimer &deadline)
    {
        const auto *subject = reinterpret_cast<PCRE2_SPTR>(text.utf16());
        const auto length = static_cast<PCRE2_SIZE>(text.size());
        PCRE2_SIZE at = 0;
        while (at <= length && hits.size() < MaxSearchHits) {
            const int rc = pcre2_match(m_code.get(), subject, length, at, 0, m_data.get(), m_context.get());
            if (rc == PCRE2_ERROR_NOMATCH)
                return true;
            if (rc < 0)
                return rc != PCRE2_ERROR_MATCHLIMIT && rc != PCRE2_ERROR_DEPTHLIMIT;
            const PCRE2_SIZE *ovector = pcre2_get_ovector_pointer(m_data.get());
            if (ovector[1] > ovector[0])
                hits.push_back({paragraph, static_cast<int>(ovector[0]), static_cast<int>(ovector[1] - ovector[0])});
            at = std::max(ovector[1], ovector[0] + 1);
            if (deadline.hasExpired())
                return false;
        }
        return true;
    }

private:
    struct Free {
        void operator()(pcre2_code *code) const { pcre2_code_free(code); }
        void operator()(pcre2_match_data *data) const { pcre2_match_data_free(data); }
        void operator()(pcre2_match_context *context) const { pcre2_match_context_free(context); }
    };
    std::unique_ptr<pcre2_code, Free> m_code;
    std::unique_ptr<pcre2_match_data, Free> m_data;
    std::unique_ptr<pcre2_match_context, Free> m_context;
};

} // namespace

// The search loop with its limits and budget checks together.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
std::vector<SearchHit> FindInDocument(const SessionDocument &document, const SearchQuery &query, QString *error,
                                      bool *stopped, int budgetMs)
{
    std::vector<SearchHit> hits;
    if (stopped)
        *stopped = false;
    if (query.Text.isEmpty())
        return hits;
    std::optional<Expression> pattern;
    if (query.Regex) {
        pattern.emplace(query, error);
        if (!pattern->Valid())
            return hits;
    }
    const QDeadlineTimer deadline(budgetMs);
    const Qt::CaseSensitivity cs = query.CaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (const Paragraph &paragraph : document.Paragraphs()) {
        if (paragraph.Text.isEmpty())
            continue;
        const QString text = ShownText(paragraph);
        if (pattern) {
            if (!pattern->Find(paragraph.Id, text, hits, deadline)) {
                if (stopped)
                    *stopped = true;
                break;
            }
        } else {
            for (qsizetype at = text.indexOf(query.Text, 0, cs); at >= 0 && hits.size() < MaxSearchHits;
                 at = text.indexOf(query.Text, at + query.Text.size(), cs))
                hits.push_back({paragraph.Id, static_cast<int>(at), static_cast<int>(query.Text.size())});
        }
        if (hits.size() >= MaxSearchHits)
            break;
        if (deadline.hasExpired()) {
            if (stopped)
                *stopped = true;
            break;
        }
    }
    return hits;
}

} // namespace wren
