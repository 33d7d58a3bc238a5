// SPDX-License-Identifier: GPL-3.0-or-later
// The session's side of scripting: loading a world's scripts and answering what they ask.
#include "session/script_side.h"

#include "automation/automation_store.h"
#include "base/text_helpers.h"
#include "config/app_settings.h"
#include "mapper/map_model.h"
#include "scripting/script_engine.h"
#include "scripting/script_files.h"
#include "session/game_data_side.h"
#include "session/map_side.h"

namespace wren {

namespace {

ScriptRoom AsScriptRoom(const StoredRoom &room)
{
    return {room.Id, room.Name, room.Area};
}

// Script variables are the "@" variables: var("target") is @target.
QByteArray VariableName(const QByteArray &name)
{
    return name.startsWith('@') || name.startsWith('$') ? name : "@" + name;
}

} // namespace

ScriptSide::ScriptSide(ScriptSideHost &host, AutomationStore &automation, GameDataSide &gameData, MapSide &map)
    : m_host(host)
    , m_automation(automation)
    , m_gameData(gameData)
    , m_map(map)
{
}

ScriptSide::~ScriptSide()
{
    if (m_engine)
        m_engine->Shutdown();
}

void ScriptSide::Open(const QByteArray &host, const QByteArray &port)
{
    m_worldHost = host;
    m_worldPort = port;
    if (m_engine)
        m_engine->Shutdown();
    m_engine.reset();
    const ScriptWorldSettings settings = ReadScriptSettings(AppSettings(), host, port);
    if (!settings.Enabled)
        return;
    m_engine = std::make_unique<ScriptEngine>(*this);
    ScriptLimits limits;
    limits.MemoryBytes = settings.MemoryBytes;
    m_engine->SetLimits(limits);
    m_engine->Load(ScriptsFolder(host, LeadingNumber(port)));
}

void ScriptSide::Shutdown()
{
    if (m_engine)
        m_engine->Shutdown();
}

bool ScriptSide::Ready()
{
    if (m_engine && !m_engine->IsShutDown())
        return true;
    m_host.Report("Scripts are off for this world (Scripts/Enabled in wrenclient.ini).");
    return false;
}

bool ScriptSide::TakeCommand(const QByteArray &command)
{
    return m_engine && m_engine->RunAlias(command);
}

bool ScriptSide::RunCommand(const QByteArray &text)
{
    if (!m_engine)
        return false;
    const qsizetype space = text.indexOf(' ');
    const QByteArray name = space >= 0 ? text.left(space) : text;
    if (!m_engine->HasCommand(name))
        return false;
    m_engine->RunCommand(name, space >= 0 ? text.mid(space + 1) : QByteArray());
    return true;
}

void ScriptSide::RaiseEvent(const QByteArray &name)
{
    if (m_engine)
        m_engine->RaiseEvent(name);
}

void ScriptSide::LuaCommand(const QByteArray &code)
{
    if (Ready())
        m_engine->RunChunk(code);
}

void ScriptSide::ReloadCommand()
{
    if (!m_engine) {
        // Scripts switched on since the world opened: start them now.
        Open(m_worldHost, m_worldPort);
        Ready();
        return;
    }
    m_engine->Reload();
}

bool ScriptSide::WantsLines() const
{
    return m_engine && m_engine->HasTriggers();
}

void ScriptSide::Line(const QByteArray &line)
{
    if (m_engine)
        m_engine->MatchLine(line);
}

void ScriptSide::ScriptError(const QByteArray &text)
{
    for (const QByteArray &line : text.split('\n'))
        m_host.Report(line);
}

std::optional<QByteArray> ScriptSide::Variable(const QByteArray &name) const
{
    const QByteArray wanted = VariableName(name);
    for (const TAdvancedItem &variable : m_automation.Variables()) {
        if (variable.Name == wanted)
            return variable.Command;
    }
    return std::nullopt;
}

void ScriptSide::SetVariable(const QByteArray &name, const QByteArray &value)
{
    m_automation.AddVariable(VariableName(name), value, "Main", 0);
}

QJsonValue ScriptSide::GameValue(QByteArrayView path) const
{
    return m_gameData.Data().Find(path);
}

QList<QByteArray> ScriptSide::GameNames(QByteArrayView protocol) const
{
    const GameData &data = m_gameData.Data();
    if (protocol.compare("gmcp", Qt::CaseInsensitive) == 0)
        return data.GmcpPackages();
    if (protocol.compare("msdp", Qt::CaseInsensitive) == 0)
        return data.MsdpVariables();
    if (protocol.compare("mssp", Qt::CaseInsensitive) == 0)
        return data.MsspNames();
    return {};
}

bool ScriptSide::HasMap() const
{
    return m_map.Model() != nullptr;
}

ScriptAnswer<ScriptRoom> ScriptSide::CurrentRoom() const
{
    const MapModel *model = m_map.Model();
    if (!model)
        return {std::nullopt, "this world has no map"};
    const QByteArray current = model->CurrentRoom();
    if (current.isEmpty())
        return {std::nullopt, "the map does not know where you are yet"};
    return {AsScriptRoom(model->Room(current)), {}};
}

ScriptAnswer<QByteArray> ScriptSide::PathTo(const QByteArray &id) const
{
    const MapModel *model = m_map.Model();
    if (!model)
        return {std::nullopt, "this world has no map"};
    if (!model->HasRoom(id))
        return {std::nullopt, "no room " + id + " on the map"};
    const PathResult path = model->PathTo(id);
    if (!path.Found)
        return {std::nullopt, "no known way to room " + id};
    return {WalkCommands(path.Directions, m_map.Separator()), {}};
}

ScriptAnswer<bool> ScriptSide::WalkTo(const QByteArray &id)
{
    const ScriptAnswer<QByteArray> path = PathTo(id);
    if (!path.Value)
        return {std::nullopt, path.Error};
    m_map.Model()->SetWalkTarget(id);
    if (!path.Value->isEmpty())
        m_host.ProcessCommand(*path.Value);
    return {true, {}};
}

void ScriptSide::Speak(const QByteArray &text)
{
    const QByteArray notice = m_host.Speak(text);
    if (!notice.isEmpty())
        m_host.Report(notice);
}

QList<ScriptRoom> ScriptSide::FindRooms(const QByteArray &text) const
{
    QList<ScriptRoom> rooms;
    if (const MapModel *model = m_map.Model()) {
        for (const QByteArray &id : model->FindRooms(text, 200))
            rooms.append(AsScriptRoom(model->Room(id)));
    }
    return rooms;
}

} // namespace wren
