// SPDX-License-Identifier: GPL-3.0-or-later
// Runs arbitrary bytes as /LUA code in a sandboxed engine, then sets off what the code registered; the budget
// and the caps must stop every loop and bomb, and nothing may crash.
#include "fuzz_check.h"
#include "gamedata/game_data.h"
#include "scripting/script_engine.h"
#include "scripting/script_host.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QTemporaryDir>

using wren::fuzz::Check;

namespace {

/// A session with a little game data and a map; /CLOSE and /RELOAD do what they do in the session.
class FuzzHost : public wren::ScriptHost
{
public:
    wren::ScriptEngine *Engine = nullptr;
    wren::GameData Data;
    int Output = 0;

    void SendCommand(const QByteArray &text) override
    {
        ++Output;
        if (text == "/CLOSE")
            Engine->Shutdown();
        else if (text == "/RELOAD")
            Engine->Reload();
    }
    void SendRaw(const QByteArray &) override { ++Output; }
    void EchoLine(const QByteArray &text) override
    {
        ++Output;
        if (text.startsWith("again"))
            Engine->MatchLine(text); // the session's own lines go through the triggers
    }
    void ScriptError(const QByteArray &) override { ++Output; }
    std::optional<QByteArray> Variable(const QByteArray &name) const override
    {
        return name == "hp" ? std::optional<QByteArray>("42") : std::nullopt;
    }
    void SetVariable(const QByteArray &, const QByteArray &) override {}
    bool IsClientCommand(const QByteArray &name) const override { return name == "CLOSE"; }
    QJsonValue GameValue(QByteArrayView path) const override { return Data.Find(path); }
    QList<QByteArray> GameNames(QByteArrayView protocol) const override
    {
        return protocol == "gmcp" ? Data.GmcpPackages() : QList<QByteArray>();
    }
    void PlaySound(const QByteArray &) override {}
    bool HasMap() const override { return true; }
    wren::ScriptAnswer<wren::ScriptRoom> CurrentRoom() const override
    {
        return {wren::ScriptRoom {"1", "Inn", "Town"}, {}};
    }
    wren::ScriptAnswer<QByteArray> PathTo(const QByteArray &id) const override
    {
        return id == "2" ? wren::ScriptAnswer<QByteArray> {QByteArray("n;e"), {}}
                         : wren::ScriptAnswer<QByteArray> {std::nullopt, "no path"};
    }
};

QCoreApplication *Application()
{
    static int argc = 1;
    static char name[] = "lua_chunk_fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return &app;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    Application();
    const QByteArray code(reinterpret_cast<const char *>(bytes), static_cast<qsizetype>(size));
    QTemporaryDir folder;
    FuzzHost host;
    host.Data.ApplyGmcp("Char.Vitals", QJsonObject {{QStringLiteral("hp"), 42}, {QStringLiteral("maxhp"), 100}});
    wren::ScriptLimits limits;
    limits.Instructions = 2'000'000; // small, so that loops end quickly under the sanitizers
    limits.Milliseconds = 2000;
    limits.MemoryBytes = qint64(32) * 1024 * 1024;
    {
        wren::ScriptEngine engine(host);
        host.Engine = &engine;
        engine.SetLimits(limits);
        engine.Load(folder.path());
        engine.RunChunk(code);
        // Whatever the code registered runs once.
        for (const QByteArray &line : {QByteArray("You are hungry."), QByteArray("again and again"), code.left(80)})
            engine.MatchLine(line);
        engine.RunAlias("go north");
        engine.RaiseEvent("On Connect");
        engine.RunCommand("test", "one two");
        for (const QByteArray &pattern : engine.TriggerPatterns())
            Check(!pattern.isNull(), "listed patterns are there");
        QCoreApplication::processEvents(); // timers of no delay
        Check(!engine.Busy(), "no call is left on the stack");
        Check(engine.MemoryInUse() <= limits.MemoryBytes + qint64(16) * 1024 * 1024, "memory stays near its cap");
        Check(engine.TimerCount() <= wren::ScriptEngine::MaxTimers, "timers stay capped");
    }
    QCoreApplication::processEvents(); // the deleted timers' deferred deletions
    return 0;
}
