// SPDX-License-Identifier: GPL-3.0-or-later
// Finding text in what a session's view holds, as it is shown.
#include "session/scrollback_search.h"

#include "session/byte_decoder.h"
#include "session/session_document.h"

#include <QRegularExpression>

namespace wren {

namespace {

QString ShownText(const Paragraph &paragraph)
{
    if (paragraph.Pictures.empty())
        return DecodeForDisplay(paragraph.Text);
    std::vector<qint32> pictures;
    for (const InlinePicture &picture : paragraph.Pictures)
        pictures.push_back(picture.Offset);
    return DecodeForDisplay(paragraph.Text, nullptr, &pictures);
}

} // namespace

std::vector<SearchHit> FindInDocument(const SessionDocument &document, const SearchQuery &query, QString *error)
{
    std::vector<SearchHit> hits;
    if (query.Text.isEmpty())
        return hits;
    QRegularExpression pattern;
    if (query.Regex) {
        pattern.setPattern(query.Text);
        pattern.setPatternOptions(query.CaseSensitive ? QRegularExpression::NoPatternOption
                                                      : QRegularExpression::CaseInsensitiveOption);
        if (!pattern.isValid()) {
            if (error)
                *error = pattern.errorString();
            return hits;
        }
    }
    const Qt::CaseSensitivity cs = query.CaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (const Paragraph &paragraph : document.Paragraphs()) {
        if (paragraph.Text.isEmpty())
            continue;
        const QString text = ShownText(paragraph);
        if (query.Regex) {
            QRegularExpressionMatchIterator it = pattern.globalMatch(text);
            while (it.hasNext() && hits.size() < MaxSearchHits) {
                const QRegularExpressionMatch match = it.next();
                if (match.capturedLength() > 0)
                    hits.push_back({paragraph.Id, static_cast<int>(match.capturedStart()),
                                    static_cast<int>(match.capturedLength())});
            }
        } else {
            for (qsizetype at = text.indexOf(query.Text, 0, cs); at >= 0 && hits.size() < MaxSearchHits;
                 at = text.indexOf(query.Text, at + query.Text.size(), cs))
                hits.push_back({paragraph.Id, static_cast<int>(at), static_cast<int>(query.Text.size())});
        }
        if (hits.size() >= MaxSearchHits)
            break;
    }
    return hits;
}

} // namespace wren
