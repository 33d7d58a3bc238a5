// SPDX-License-Identifier: GPL-3.0-or-later
// What script triggers cost per line: none, one Lua trigger matching every line, a thousand that never match.
#include "scripting/script_engine.h"
#include "scripting/script_host.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <ctime>
#include <random>

namespace {

/// A session that does nothing with what scripts ask.
class QuietHost : public wren::ScriptHost
{
public:
    void SendCommand(const QByteArray &) override {}
    void SendRaw(const QByteArray &) override {}
    void EchoLine(const QByteArray &) override {}
    void ScriptError(const QByteArray &text) override { std::printf("  (%s)\n", text.constData()); }
    std::optional<QByteArray> Variable(const QByteArray &) const override { return std::nullopt; }
    void SetVariable(const QByteArray &, const QByteArray &) override {}
    bool IsClientCommand(const QByteArray &) const override { return false; }
    QJsonValue GameValue(QByteArrayView) const override { return {}; }
    QList<QByteArray> GameNames(QByteArrayView) const override { return {}; }
    void PlaySound(const QByteArray &) override {}
};

/// Lines as a fight and a walk print them, about 80 bytes each.
QList<QByteArray> MudLines(int count)
{
    static const char *words[]
        = {"the",    "orc",      "swings", "at",       "you",  "with", "a",    "rusty", "axe", "and",
           "misses", "narrowly", "dragon", "breathes", "fire", "over", "hall", "North", "gold"};
    std::mt19937 random(7);
    QList<QByteArray> lines;
    lines.reserve(count);
    for (int i = 0; i < count; ++i) {
        QByteArray line;
        while (line.size() < 80) {
            line += words[random() % std::size(words)];
            line += ' ';
        }
        line += QByteArray::number(i % 1000) + " hp.";
        lines.append(line);
    }
    return lines;
}

/// Patterns as players write them, none of which occurs in MudLines.
QByteArray NeverPattern(int i)
{
    static const char *shapes[]
        = {"^You receive (\\d+) experience points? from %1\\.$", "(\\w+) tells you '(.*)' about quest %1",
           "^The %1 guard blocks your way", "Zorg%1 (?:arrives|leaves) (north|south)", "\\[Channel %1\\] (\\w+): (.*)"};
    return QByteArray(shapes[i % std::size(shapes)]).replace("%1", QByteArray::number(i));
}

double LinesPerSecond(wren::ScriptEngine &engine, const QList<QByteArray> &lines, int *ran)
{
    QElapsedTimer timer;
    timer.start();
    *ran = 0;
    for (const QByteArray &line : lines)
        *ran += engine.MatchLine(line);
    return lines.size() / (static_cast<double>(timer.nsecsElapsed()) / 1e9);
}

void Report(const char *what, double rate, double baseline, int ran)
{
    std::printf("%-58s %12.0f lines/s  %7.3f us/line  (+%.3f us)  %d calls\n", what, rate, 1e6 / rate,
                1e6 / rate - 1e6 / baseline, ran);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Script trigger costs per line"));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("lines"), QStringLiteral("Lines per run (default 200000)."), QStringLiteral("n"),
                      QStringLiteral("200000")});
    parser.addOption({QStringLiteral("patterns"), QStringLiteral("Never-matching patterns (default 1000)."),
                      QStringLiteral("n"), QStringLiteral("1000")});
    parser.process(app);
    const QList<QByteArray> lines = MudLines(parser.value(QStringLiteral("lines")).toInt());
    const int patterns = parser.value(QStringLiteral("patterns")).toInt();
    QuietHost host;
    int ran = 0;

    wren::ScriptEngine none(host);
    none.RunChunk("x = 1");
    const double baseline = LinesPerSecond(none, lines, &ran);
    std::printf("%zd lines of about 85 bytes\n", static_cast<ssize_t>(lines.size()));
    Report("no Lua trigger", baseline, baseline, ran);

    wren::ScriptEngine every(host);
    every.RunChunk("n = 0 trigger('', function(m) n = n + 1 end)");
    double rate = LinesPerSecond(every, lines, &ran);
    Report("one Lua trigger matching every line (empty pattern)", rate, baseline, ran);

    wren::ScriptEngine captures(host);
    captures.RunChunk("hp = 0 trigger('(\\\\d+) hp\\\\.$', function(m, n) hp = hp + tonumber(n) end)");
    rate = LinesPerSecond(captures, lines, &ran);
    Report("one Lua trigger with a capture, every line", rate, baseline, ran);

    wren::ScriptEngine thousand(host);
    QElapsedTimer added;
    added.start();
    for (int i = 0; i < patterns; ++i)
        thousand.RunChunk("trigger(\"" + NeverPattern(i).replace("\\", "\\\\") + "\", function() end)");
    const qint64 addMs = added.elapsed();
    QElapsedTimer scan;
    scan.start();
    thousand.MatchLine("warm up: builds the pattern scan once");
    const qint64 buildMs = scan.elapsed();
    const QByteArray label = QByteArray::number(patterns) + " Lua trigger patterns, none matching";
    rate = LinesPerSecond(thousand, lines, &ran);
    Report(label.constData(), rate, baseline, ran);
    std::printf("  (adding them took %lld ms, building their one-pass scan %lld ms; %zu patterns listed for the "
                "session's scan)\n",
                static_cast<long long>(addMs), static_cast<long long>(buildMs), thousand.TriggerPatterns().size());

    // What the budget of one call comes to on this machine: a loop stopped by the instruction count alone.
    wren::ScriptEngine loop(host);
    wren::ScriptLimits limits;
    limits.Milliseconds = 60'000;
    loop.SetLimits(limits);
    for (const char *code : {"local x = 0 while true do x = x + 1 end",
                             "local t = {} while true do t[#t % 100 + 1] = ('x'):upper() end"}) {
        // Processor time beside wall-clock time: on a shared machine the second says little on its own.
        QElapsedTimer stopped;
        stopped.start();
        const std::clock_t processorStart = std::clock();
        loop.RunChunk(code);
        const double processorMs = 1000.0 * static_cast<double>(std::clock() - processorStart) / CLOCKS_PER_SEC;
        std::printf("budget of %lld instructions: \"%s\" stopped after %lld ms (%.0f ms of processor time)\n",
                    static_cast<long long>(limits.Instructions), code, static_cast<long long>(stopped.elapsed()),
                    processorMs);
    }
    return 0;
}
