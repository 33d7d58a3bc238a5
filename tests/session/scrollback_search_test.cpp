// SPDX-License-Identifier: GPL-3.0-or-later
// Finding text in a session's view as it is shown.
#include "session/scrollback_search.h"
#include "session/session_document.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace wren;
using wren::test::B;

TEST(ScrollbackSearch, FindsHitsInTheShownText)
{
    SessionDocument document;
    document.Append(B("The Orc hits you.\n\tan orc ORC\ncaf\xc3\xa9 Caf\xe9\nnothing\n"));
    const auto &p = document.Paragraphs();
    struct Case {
        const char *Name;
        SearchQuery Query;
        std::vector<SearchHit> Hits;
        bool Error = false;
    } cases[] = {
        {"case-insensitive by default", {QStringLiteral("orc")},
         {{p[0].Id, 4, 3}, {p[1].Id, 11, 3}, {p[1].Id, 15, 3}}},
        {"match case", {QStringLiteral("orc"), true}, {{p[1].Id, 11, 3}}},
        {"characters as shown: UTF-8 and Windows-1252 bytes alike", {QStringLiteral("caf\u00e9")},
         {{p[2].Id, 0, 4}, {p[2].Id, 5, 4}}},
        {"regular expression", {QStringLiteral("\\bo\\w+"), false, true},
         {{p[0].Id, 4, 3}, {p[1].Id, 11, 3}, {p[1].Id, 15, 3}}},
        {"empty matches are not hits", {QStringLiteral("x*"), false, true}, {}},
        {"a bad pattern finds nothing and says why", {QStringLiteral("(orc"), false, true}, {}, true},
        {"an empty query finds nothing", {QString()}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        QString error;
        EXPECT_EQ(FindInDocument(document, c.Query, &error), c.Hits);
        EXPECT_EQ(!error.isEmpty(), c.Error) << error.toStdString();
    }
}

TEST(ScrollbackSearch, StopsAtTheMostHits)
{
    SessionDocument document;
    document.Append(QByteArray(30000, 'a') + "\n");
    EXPECT_EQ(FindInDocument(document, {QStringLiteral("a")}).size(), MaxSearchHits);
}

// A pattern that backtracks without end over a full scrollback stops, with the hits found before it,
// instead of freezing the window; the find bar says so.
TEST(ScrollbackSearch, RunawayPatternStops)
{
    SessionDocument document;
    for (int i = 0; i < 2000; ++i)
        document.Append(i == 0 ? QByteArray("aab\n") : QByteArray(30, 'a') + "b\n");
    QString error;
    bool stopped = false;
    const std::vector<SearchHit> hits = FindInDocument(document, {QStringLiteral("(a+)+$|^aab"), true, true}, &error, &stopped);
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_FALSE(hits.empty()) << "what was found before it stopped is kept";
    EXPECT_EQ(hits.front().Length, 3);

    stopped = true;
    EXPECT_EQ(FindInDocument(document, {QStringLiteral("aab"), true, true}, &error, &stopped).size(), 2000U);
    EXPECT_FALSE(stopped) << "an ordinary pattern goes through the whole scrollback";
}
