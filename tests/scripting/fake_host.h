// SPDX-License-Identifier: GPL-3.0-or-later
// A session stand-in for the scripting tests: records what the engine asks and answers from small fixtures.
#pragma once

#include "gamedata/game_data.h"
#include "scripting/script_engine.h"
#include "scripting/script_host.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QMap>
#include <QTemporaryDir>

#include <functional>

namespace wren::test {

class FakeHost : public ScriptHost
{
public:
    QList<QByteArray> Sent, Raw, Echoed, Errors, Played, Spoken;
    QMap<QByteArray, QByteArray> Variables;
    GameData Data;
    bool MapThere = false;
    bool Speech = false;
    /// What a command sent by a script does in the session ("/CLOSE", "/RELOAD").
    std::function<void(const QByteArray &text)> OnSend;
    /// Echoed lines go through the engine's triggers, as the session's own lines would.
    ScriptEngine *FeedEchoes = nullptr;

    void SendCommand(const QByteArray &text) override
    {
        Sent.append(text);
        if (OnSend)
            OnSend(text);
    }
    void SendRaw(const QByteArray &line) override { Raw.append(line); }
    void EchoLine(const QByteArray &text) override
    {
        Echoed.append(text);
        if (FeedEchoes)
            FeedEchoes->MatchLine(text);
    }
    void ScriptError(const QByteArray &text) override { Errors.append(text); }
    std::optional<QByteArray> Variable(const QByteArray &name) const override
    {
        const auto found = Variables.constFind(name);
        return found == Variables.constEnd() ? std::nullopt : std::optional<QByteArray>(*found);
    }
    void SetVariable(const QByteArray &name, const QByteArray &value) override { Variables[name] = value; }
    bool IsClientCommand(const QByteArray &name) const override
    {
        // A few classic commands, the session's added ones (game data, the map) and the scripts' own.
        return QList<QByteArray> {"CLOSE", "ECHO", "SET", "PLAY", "GMCP", "WALK", "WHERE", "MAP", "RELOAD", "LUA"}
            .contains(name.toUpper());
    }
    QJsonValue GameValue(QByteArrayView path) const override { return Data.Find(path); }
    QList<QByteArray> GameNames(QByteArrayView protocol) const override
    {
        const QByteArray which = protocol.toByteArray().toLower();
        if (which == "gmcp")
            return Data.GmcpPackages();
        if (which == "msdp")
            return Data.MsdpVariables();
        return which == "mssp" ? Data.MsspNames() : QList<QByteArray>();
    }
    void PlaySound(const QByteArray &file) override { Played.append(file); }

    // A map of three rooms: the player stands in the market; the inn is two steps away, the cave (a room with a
    // readable id, as some worlds give them) three.
    bool HasMap() const override { return MapThere; }
    ScriptAnswer<ScriptRoom> CurrentRoom() const override { return {ScriptRoom {"2", "Market Square", "Town"}, {}}; }
    ScriptAnswer<QByteArray> PathTo(const QByteArray &id) const override
    {
        if (id == "1")
            return {QByteArray("n;e"), {}};
        if (id == "caves.inner")
            return {QByteArray("s;s;d"), {}};
        return {std::nullopt, "no path to room " + id};
    }
    ScriptAnswer<bool> WalkTo(const QByteArray &id) override
    {
        const ScriptAnswer<QByteArray> path = PathTo(id);
        if (!path.Value)
            return {std::nullopt, path.Error};
        SendCommand(*path.Value);
        return {true, {}};
    }
    QList<ScriptRoom> FindRooms(const QByteArray &text) const override
    {
        QList<ScriptRoom> rooms;
        for (const ScriptRoom &room :
             {ScriptRoom {"1", "The Wren Inn", "Town"}, ScriptRoom {"2", "Market Square", "Town"},
              ScriptRoom {"caves.inner", "Inner Cave", "Caves"}}) {
            if (room.Name.toLower().contains(text.toLower()))
                rooms.append(room);
        }
        return rooms;
    }
    bool CanSpeak() const override { return Speech; }
    void Speak(const QByteArray &text) override { Spoken.append(text); }

    /// Every error line, the reports split at their line ends.
    QList<QByteArray> ErrorLines() const
    {
        QList<QByteArray> lines;
        for (const QByteArray &error : Errors)
            lines += error.split('\n');
        return lines;
    }
};

/// A scripts folder in a temporary directory.
class ScriptsDir
{
public:
    QString Path() const { return m_dir.path(); }
    void Write(const QByteArray &name, const QByteArray &text) const
    {
        QFile file(m_dir.path() + QLatin1Char('/') + QString::fromLatin1(name));
        file.open(QIODevice::WriteOnly);
        file.write(text);
    }

private:
    QTemporaryDir m_dir;
};

} // namespace wren::test
