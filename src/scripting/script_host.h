// SPDX-License-Identifier: GPL-3.0-or-later
// What the scripting engine asks of the session it runs in: sending, showing, game data, map, sound.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonValue>
#include <QList>

#include <optional>

namespace wren {

/// A room of the session's map, as scripts see it. Its id is the map's (MapModel's room id, bytes): a script
/// gets an id of decimal digits as a number and any other as a string.
struct ScriptRoom {
    QByteArray Id;
    QByteArray Name;
    QByteArray Area;
};

/// An answer that may be missing; then Error says why ("no path to room 12"), in the program's words.
template <typename T>
struct ScriptAnswer {
    std::optional<T> Value;
    QByteArray Error;
};

/// The session as a script sees it. The session implements this and hands it to its ScriptEngine; the
/// engine calls it only on the UI thread, from inside a script's call (so any of these may run while Lua
/// code is on the stack, and may lead back into the engine: an echoed line can set off a script trigger).
///
/// Text is bytes both ways: what a script passes arrives unchanged, what the host returns reaches the script
/// unchanged.
class ScriptHost
{
public:
    virtual ~ScriptHost() = default;

    /// send(text): @p text enters the command pipeline as if typed (separators, aliases, paths, slash
    /// commands). It may close the session: then the host calls ScriptEngine::Shutdown before returning.
    virtual void SendCommand(const QByteArray &text) = 0;
    /// sendRaw(text): @p line goes to the world exactly, as one line, past aliases and separators.
    virtual void SendRaw(const QByteArray &line) = 0;
    /// echo(text): a line of the client's own in the view (and the log); the text has no line end.
    virtual void EchoLine(const QByteArray &text) = 0;
    /// A script's error or the engine's note about one, already rate-limited: one or more lines ("\n"
    /// between them), each to be shown in the view the way the client shows its own notices.
    virtual void ScriptError(const QByteArray &text) = 0;

    /// var(name): the value of the "@" variable shared with the classic automation; nothing when unset.
    virtual std::optional<QByteArray> Variable(const QByteArray &name) const = 0;
    /// var(name, value).
    virtual void SetVariable(const QByteArray &name, const QByteArray &value) = 0;
    /// Whether @p name (without the command character, any case) is one of the client's own slash commands,
    /// which a script's command() may not replace.
    virtual bool IsClientCommand(const QByteArray &name) const = 0;

    /// The session's game data at @p path ("gmcp.Char.Vitals.hp", "msdp.HEALTH", "mssp.NAME"), as
    /// GameData::Find gives it; Undefined when there is none.
    virtual QJsonValue GameValue(QByteArrayView path) const = 0;
    /// The stored names of one protocol ("gmcp": its packages, "msdp", "mssp"), as GameData lists them.
    virtual QList<QByteArray> GameNames(QByteArrayView protocol) const = 0;

    /// play(file): a sound file, found and played as PLAY finds and plays it.
    virtual void PlaySound(const QByteArray &file) = 0;

    // The map and speech are optional: the defaults say there is none.

    /// Whether the session has a map now; without one, map.* return nil and a message.
    virtual bool HasMap() const { return false; }
    /// The room the player is in.
    virtual ScriptAnswer<ScriptRoom> CurrentRoom() const { return {std::nullopt, "this world has no map"}; }
    /// The speed-walk path from the current room to room @p id, as the command line would take it. @p id is
    /// what the script passed, as text ("1003" for the number 1003).
    virtual ScriptAnswer<QByteArray> PathTo(const QByteArray &id) const
    {
        Q_UNUSED(id);
        return {std::nullopt, "this world has no map"};
    }
    /// Starts walking to room @p id; true once the walk started.
    virtual ScriptAnswer<bool> WalkTo(const QByteArray &id)
    {
        Q_UNUSED(id);
        return {std::nullopt, "this world has no map"};
    }
    /// Rooms whose name holds @p text (case-insensitive), at most a few hundred.
    virtual QList<ScriptRoom> FindRooms(const QByteArray &text) const
    {
        Q_UNUSED(text);
        return {};
    }

    /// Whether speech exists: without it speak is nil in scripts.
    virtual bool CanSpeak() const { return false; }
    /// speak(text).
    virtual void Speak(const QByteArray &text) { Q_UNUSED(text); }
};

} // namespace wren
