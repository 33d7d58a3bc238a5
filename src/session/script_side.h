// SPDX-License-Identifier: GPL-3.0-or-later
// The session's side of scripting: the world's Lua scripts loaded when it opens, and what they ask of the
// session (sending, showing, variables, game data, the map) answered by the parts that hold it.
#pragma once

#include "scripting/script_host.h"
#include "session/incoming_text.h"

#include <QByteArray>

#include <memory>

namespace wren {

class AutomationStore;
class GameDataSide;
class MapSide;
class ScriptEngine;

/// What the script side asks of its session beyond the parts it is given.
class ScriptSideHost
{
public:
    virtual ~ScriptSideHost() = default;
    /// Text through the command pipeline, as if typed.
    virtual void ProcessCommand(const QByteArray &text) = 0;
    /// One line to the world as it is (no aliases, no separators); nothing when not connected.
    virtual void SendSecret(const QByteArray &line) = 0;
    /// A line of the client's own in the view.
    virtual void Report(const QByteArray &line) = 0;
    /// A sound found and played as PLAY finds and plays it.
    virtual void PlayZelAudio(const QByteArray &source) = 0;
    /// Whether @p name (upper case) is one of the client's own commands.
    virtual bool IsClientCommand(const QByteArray &name) const = 0;
    /// Speaks @p text (empty: stops); returns a line for the player when speech cannot (said once).
    virtual QByteArray Speak(const QByteArray &text) = 0;
};

/// One session's scripts. Off for a world whose "Scripts/Enabled" is false: then /LUA and /RELOAD say so.
/// Script triggers hear each line after the classic triggers; script aliases see each single command before
/// the classic aliases; script events run after the classic events of the same name.
class ScriptSide : public ScriptHost, public LineWatcher
{
public:
    ScriptSide(ScriptSideHost &host, AutomationStore &automation, GameDataSide &gameData, MapSide &map);
    ~ScriptSide() override;

    /// Loads the world's scripts folder when the world has scripts on.
    void Open(const QByteArray &host, const QByteArray &port);
    /// Stops every script (the session is closing); safe from inside a script.
    void Shutdown();
    ScriptEngine *Engine() const { return m_engine.get(); }

    /// A single command before the classic aliases: true when a script's alias took it.
    bool TakeCommand(const QByteArray &command);
    /// A client command a script added (text is what follows the command character).
    bool RunCommand(const QByteArray &text);
    /// An event the automation raised.
    void RaiseEvent(const QByteArray &name);
    /// "/LUA code".
    void LuaCommand(const QByteArray &code);
    /// "/RELOAD".
    void ReloadCommand();

    // LineWatcher
    bool WantsLines() const override;
    void Line(const QByteArray &line) override;

    // ScriptHost
    void SendCommand(const QByteArray &text) override { m_host.ProcessCommand(text); }
    void SendRaw(const QByteArray &line) override { m_host.SendSecret(line); }
    void EchoLine(const QByteArray &text) override { m_host.Report(text); }
    void ScriptError(const QByteArray &text) override;
    std::optional<QByteArray> Variable(const QByteArray &name) const override;
    void SetVariable(const QByteArray &name, const QByteArray &value) override;
    bool IsClientCommand(const QByteArray &name) const override { return m_host.IsClientCommand(name.toUpper()); }
    QJsonValue GameValue(QByteArrayView path) const override;
    QList<QByteArray> GameNames(QByteArrayView protocol) const override;
    void PlaySound(const QByteArray &file) override { m_host.PlayZelAudio(file); }
    bool HasMap() const override;
    ScriptAnswer<ScriptRoom> CurrentRoom() const override;
    ScriptAnswer<QByteArray> PathTo(const QByteArray &id) const override;
    ScriptAnswer<bool> WalkTo(const QByteArray &id) override;
    QList<ScriptRoom> FindRooms(const QByteArray &text) const override;
    bool CanSpeak() const override { return true; }
    void Speak(const QByteArray &text) override;

private:
    bool Ready();

    ScriptSideHost &m_host;
    AutomationStore &m_automation;
    GameDataSide &m_gameData;
    MapSide &m_map;
    std::unique_ptr<ScriptEngine> m_engine;
    QByteArray m_worldHost;
    QByteArray m_worldPort;
};

} // namespace wren
