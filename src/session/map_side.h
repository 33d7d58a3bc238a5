// SPDX-License-Identifier: GPL-3.0-or-later
// The session's side of the map: rooms the world describes are placed as the player walks, the map is kept
// in its file, and /WALK, /WHERE and /MAP act on it.
#pragma once

#include "session/game_data_side.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <memory>

namespace wren {

class MapModel;
class MapStore;

/// What the map side asks of its session.
class MapSideHost
{
public:
    virtual ~MapSideHost() = default;
    /// Runs commands through the command pipeline (a walk's steps, joined by the separator).
    virtual void ProcessCommand(const QByteArray &text) = 0;
    virtual void RunEvent(const QByteArray &name) = 0;
    /// A line of the client's own for the player.
    virtual void Report(const QByteArray &line) = 0;
    /// What separates commands on one line.
    virtual QByteArray ExprSeparator() const = 0;
};

/// One world's map while its session is open. It is off for a world whose "Map" switch is off; then every
/// command says so and nothing is stored.
///
/// The direction of each movement command the player sends is remembered (at most MaxPendingMoves, oldest
/// first), and the next room the world describes takes the oldest: a speed-walk's steps arrive one room at
/// a time. A room the previous room's exit leads to takes that exit's direction instead, dropping the moves
/// before it (a move the world refused brings no room).
class MapSide : public QObject, public RoomListener
{
    Q_OBJECT
public:
    static constexpr int MaxPendingMoves = 64;

    explicit MapSide(MapSideHost &host, QObject *parent = nullptr);
    ~MapSide() override;

    /// The world's map from its file (made when there is none), when the world has the map on.
    void Open(const QByteArray &host, const QByteArray &port);
    /// Writes what is left and closes the file.
    void Close();
    /// The map, null while it is off.
    MapModel *Model() const { return m_model.get(); }
    MapStore *Store() const { return m_store.get(); }
    /// What separates a walk's steps.
    QByteArray Separator() const { return m_host.ExprSeparator(); }

    /// A command as it goes to the world: a movement is remembered for the room it leads to.
    void CommandSent(const QByteArray &command);
    /// A new connection: moves sent on the last one lead nowhere.
    void ForgetMoves() { m_moves.clear(); }

    // RoomListener
    void RoomInfo(const QJsonValue &payload) override;
    void RoomVariables(const GameData &data) override;

    /// "/WALK <room id or name>": the shortest known way there, sent as its steps.
    void Walk(const QByteArray &target);
    /// "/WHERE": the room, its area and exits, and the rest of the walk, as text.
    void Where();
    /// "/MAP [show|hide|export <file>|import <file>]".
    void MapCommand(const QByteArray &arguments);

signals:
    /// The map panel should be shown (true), hidden (false).
    void ShowWanted(bool shown);
    /// "/MAP" alone: show it when hidden, hide it when shown.
    void ToggleWanted();
    /// The world sent its first room (the panel comes on for it).
    void RoomDataArrived();

private:
    void Arrive(const struct RoomRecord &room);
    QByteArray TakeDirection(const QByteArray &roomId);
    bool Ready();
    void OpenStore();
    QString FilePath(const QByteArray &name) const;

    MapSideHost &m_host;
    std::unique_ptr<MapModel> m_model;
    std::unique_ptr<MapStore> m_store;
    std::deque<QByteArray> m_moves;
    QString m_pendingPath; ///< the map file, made when the first room arrives
    bool m_hadRoom = false;
};

} // namespace wren
