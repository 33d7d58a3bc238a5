// SPDX-License-Identifier: GPL-3.0-or-later
// A script that fails on every line of a flood: a few error lines a second reach the view, and every line
// still goes through the triggers.
#include "fake_host.h"

#include <gtest/gtest.h>

using namespace wren;
using namespace wren::test;

namespace {

TEST(ErrorThrottle, AFewReportsThenOneNoticeThenTheCountOfThoseLeftOut)
{
    qint64 now = 0;
    ErrorThrottle throttle([&] { return now; });
    QList<QByteArray> shown;
    for (int i = 0; i < 10; ++i) {
        shown.append(throttle.Filter("a.lua", "error " + QByteArray::number(i)));
        now += 100;
    }
    EXPECT_EQ(shown.mid(0, 5), (QList<QByteArray> {"error 0", "error 1", "error 2",
                                                   "Further errors from a.lua suppressed for 5 s", QByteArray()}));
    EXPECT_EQ(shown.count(QByteArray()), 6);
    // Another file has its own allowance.
    EXPECT_EQ(throttle.Filter("b.lua", "other"), "other");
    now = 5000;
    EXPECT_EQ(throttle.Filter("a.lua", "error 10"), "7 errors from a.lua not shown\nerror 10");
    EXPECT_EQ(throttle.Filter("a.lua", "error 11"), "error 11");
}

TEST(ErrorThrottle, TheNoticeSaysHowLongTheWindowStillRuns)
{
    qint64 now = 0;
    ErrorThrottle throttle([&] { return now; });
    for (int i = 0; i < ErrorThrottle::Burst; ++i)
        throttle.Filter("a.lua", "x");
    now = 3200;
    EXPECT_EQ(throttle.Filter("a.lua", "x"), "Further errors from a.lua suppressed for 2 s");
}

TEST(ErrorThrottle, ACallbackFailingOnEveryLineOfAFloodWritesAFewLinesASecond)
{
    FakeHost host;
    qint64 now = 0;
    ScriptEngine engine(host);
    engine.SetClock([&] { return now; });
    ScriptsDir dir;
    dir.Write("noisy.lua", "seen = 0\ntrigger('', function(m)\n  seen = seen + 1\n  error('no: ' .. m.line)\nend)\n");
    engine.Load(dir.Path());
    ASSERT_TRUE(host.Errors.isEmpty());

    // 100,000 lines over 100 seconds (a flood of about 100 MB at 1 KB a line, as fast as it comes).
    constexpr int Lines = 100'000;
    constexpr qint64 Seconds = 100;
    for (int i = 0; i < Lines; ++i) {
        engine.MatchLine("line " + QByteArray::number(i));
        now += Seconds * 1000 / Lines;
    }
    const QList<QByteArray> lines = host.ErrorLines();
    EXPECT_LE(lines.size(), 3 * Seconds) << "error lines for " << Lines << " failing calls";
    EXPECT_GE(lines.size(), Seconds / 5 * ErrorThrottle::Burst);
    EXPECT_EQ(host.Errors[0], "Script error: noisy.lua:4: no: line 0\n  at noisy.lua:4");
    EXPECT_EQ(host.Errors[3], "Further errors from noisy.lua suppressed for 5 s");
    host.Echoed.clear();
    engine.RunChunk("seen");
    EXPECT_EQ(host.Echoed, QList<QByteArray> {QByteArray::number(Lines)}); // every line still reached the script
}

} // namespace
