// SPDX-License-Identifier: GPL-3.0-or-later
// Finding text in what a session's view holds, as it is shown.
#pragma once

#include <QString>

#include <vector>

namespace wren {

class SessionDocument;

struct SearchQuery {
    QString Text;
    bool CaseSensitive = false;
    bool Regex = false;
};

/// A place in the view's text: a paragraph (by id) and characters of its shown text.
struct SearchHit {
    quint64 Paragraph = 0;
    int Start = 0;
    int Length = 0;
    friend bool operator==(const SearchHit &, const SearchHit &) = default;
};

/// Most hits one search gives; a search that finds more stops there.
inline constexpr size_t MaxSearchHits = 10000;

/// How long one search may take on the window's thread; a search that would take longer stops there.
inline constexpr int SearchBudgetMs = 300;

/// Every hit in document order, in the text as the view shows it (tabs expanded, controls dropped, bytes
/// decoded). An empty query finds nothing; a pattern that does not compile finds nothing and puts its
/// message in @p error. A regular expression that backtracks without end, or a search past its time budget,
/// stops with the hits found so far and sets @p stopped: the window never freezes on a pattern.
std::vector<SearchHit> FindInDocument(const SessionDocument &document, const SearchQuery &query,
                                      QString *error = nullptr, bool *stopped = nullptr, int budgetMs = SearchBudgetMs);

} // namespace wren
