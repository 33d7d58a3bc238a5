// SPDX-License-Identifier: GPL-3.0-or-later
// The map of one world: rooms by id, their exits and places on a grid per area, the player's room, and paths.
#pragma once

#include "mapper/room_info.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QRect>

#include <memory>
#include <vector>

namespace wren {

/// Marks a player puts on a room. A locked room is never entered by a walk, not even as its end (a death
/// trap); an avoided room is never passed through, but a walk may still end there.
enum RoomFlag : quint8 { RoomLocked = 1, RoomAvoided = 2 };
inline constexpr quint8 RoomFlagMask = RoomLocked | RoomAvoided;

/// A room as it is kept in a map file and in the JSON form: everything but the grid's indexes.
struct StoredRoom {
    QByteArray Id, Name, Area, Terrain;
    int X = 0, Y = 0, Z = 0; ///< where the map shows it
    bool HasWorldCoordinates = false;
    int WorldX = 0, WorldY = 0, WorldZ = 0; ///< where the world last said it is
    quint8 Flags = 0;
    std::vector<RoomExit> Exits; ///< short directions; an empty target is a room not known
};

/// The answer to a path question. Found is false when no walk over known exits leads there (or either end is
/// not on the map); a path from a room to itself is found and empty.
struct PathResult {
    bool Found = false;
    std::vector<QByteArray> Directions; ///< short forms, as WalkCommands sends them
    std::vector<QByteArray> Rooms; ///< the rooms entered, the destination last
};

/// "3 north, 1 east, up": runs of one direction counted; up, down, in, out and a world's own exits in words,
/// counted only when repeated ("2 up").
QByteArray RouteText(const std::vector<QByteArray> &directions);
/// "n;n;n;e;u": one command per step for the command pipeline, joined by @p separator.
QByteArray WalkCommands(const std::vector<QByteArray> &directions, const QByteArray &separator);

/// The map of one world. Rooms the world has shown ("seen") are kept with their names, areas, exits and a cell
/// on their area's grid; rooms known only as the target of an exit ("heard of") are kept by id alone until
/// the player gets there.
///
/// Layout: a room the world gives coordinates for goes there; any other new room goes one step from the room
/// the player came from in the direction taken (up and down change the level, z). Each area has its own grid
/// and one room per cell: a room whose cell is taken goes to the nearest free cell within NudgeRadius rings
/// around it, or, when all of those are taken, two cells east of the area's easternmost room (west, north or
/// south of the area at the edge of the grid; on the taken cell when even that fails). A room with no
/// known way in (the first of an area, a teleport) goes next to the room the player came from when that is in
/// the same area, otherwise at the area's origin (0, 0, 0), nudged the same way.
///
/// Limits: at most MaxRooms seen and as many heard-of rooms; a new room beyond them is refused (the player's
/// room is then unknown), an exit to a new room beyond them is kept without its target; each room keeps at
/// most MaxExitsPerRoom exits. All of these are counted in Warnings(). Adding a room costs a few hash lookups
/// per exit, independent of the map's size.
///
/// Every change emits Changed(), once per operation; views should coalesce it.
class MapModel : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultMaxRooms = 200'000;
    static constexpr int MaxAreas = 10'000;
    static constexpr int MaxTerrains = 1'000;
    static constexpr int MaxCustomDirections = 1'000;
    static constexpr int NudgeRadius = 8;
    /// How far from the origin the map places rooms: the world's coordinates (within MaxGridCoordinate) and
    /// room for nudging and walking beyond them.
    static constexpr int MaxPlacedCoordinate = 4 * MaxGridCoordinate;
    static constexpr quint32 NoRoom = 0xffffffffU;
    /// Direction codes below this are the standard directions (see Direction); above, a map's own names.
    static constexpr quint16 FirstCustomDirection = 12;

    explicit MapModel(int maxRooms = DefaultMaxRooms, QObject *parent = nullptr);
    ~MapModel() override;

    // ---- What the session calls ----

    enum class ArriveStatus { Added, Updated, Unchanged, Refused, Invalid };
    struct ArriveResult {
        ArriveStatus Status = ArriveStatus::Invalid;
        bool ReachedWalkTarget = false; ///< the room set by SetWalkTarget was reached (it is cleared)
    };
    /// The player is in @p room, which the world just described; @p directionTaken is the direction of the
    /// command that brought the player here, or empty when that is not known (a look, a teleport, the first
    /// room). Adds or updates the room (a changed name or area updates it, a changed area moves it to that
    /// area's grid), records the exit just taken from the previous room when its data lacked it (never an exit
    /// from a room to itself, which is what a failed move looks like), and makes the room the current one.
    ArriveResult Arrive(const RoomRecord &room, const QByteArray &directionTaken = {});

    /// The direction a command the player sent would take from the current room, to pass to Arrive when the
    /// next room comes: a direction name ("north", "n", "NE"), or the name of an exit of the world's own that
    /// the current room has ("enter portal"); empty for any other command.
    QByteArray DirectionOfCommand(const QByteArray &command) const;

    /// Exits shown by the room's text but missing from its data (see ExitsFromText); false when the room is
    /// not on the map.
    bool AddExitStubs(const QByteArray &roomId, const std::vector<QByteArray> &directions);

    /// The shortest walk over known exits (each step counts 1), never through a locked or avoided room.
    PathResult FindPath(const QByteArray &from, const QByteArray &to) const;
    PathResult PathTo(const QByteArray &to) const { return FindPath(CurrentRoom(), to); }

    /// The room a walk is going to; Arrive reports reaching it once, then forgets it. Empty: none.
    void SetWalkTarget(const QByteArray &roomId) { m_walkTarget = roomId; }
    QByteArray WalkTarget() const { return m_walkTarget; }

    bool SetFlags(const QByteArray &roomId, quint8 flags);
    void Clear();

    // ---- Reading by id ----

    QByteArray CurrentRoom() const;
    /// Seen rooms.
    int RoomCount() const { return m_seenCount; }
    int HeardOfCount() const { return m_heardOfCount; }
    int MaxRooms() const { return m_maxRooms; }
    bool HasRoom(const QByteArray &id) const;
    /// The room's data; Id is empty when the room has not been seen.
    StoredRoom Room(const QByteArray &id) const;
    /// "Room name, area, exits: north, east" (for /WHERE and for screen readers).
    QString Summary(const QByteArray &id) const;
    /// Up to @p limit seen rooms whose names contain @p text (ASCII letters without case), rooms of the
    /// current area first.
    std::vector<QByteArray> FindRooms(const QByteArray &text, int limit = 100) const;

    struct Warnings {
        quint64 RefusedRooms = 0; ///< new rooms beyond MaxRooms
        quint64 InvalidRooms = 0; ///< payloads without a usable id
        quint64 SkippedExits = 0; ///< beyond MaxExitsPerRoom, unusable names, beyond MaxCustomDirections
        quint64 UnknownTargets = 0; ///< exits whose new target was beyond the heard-of limit
        quint64 MergedAreas = 0; ///< rooms put in the unnamed area because there were MaxAreas areas
    };
    const Warnings &WarningCounts() const { return m_warnings; }

    // ---- Reading by index (views, the store) ----

    struct Exit {
        quint32 Target = NoRoom;
        quint16 Direction = 0;
        bool Learned = false; ///< recorded from a walk or the text, not from the world's data
        friend bool operator==(const Exit &, const Exit &) = default;
    };
    struct Node {
        QByteArray Id;
        QByteArray Name;
        quint32 Area = 0;
        quint32 Terrain = 0;
        int X = 0, Y = 0, Z = 0;
        int WorldX = 0, WorldY = 0, WorldZ = 0;
        quint8 Flags = 0;
        bool Seen = false;
        bool Placed = false;
        bool HasWorldCoordinates = false;
        bool Changed = false;
        std::vector<Exit> Exits; ///< ordered by direction code
    };

    quint32 IndexOf(const QByteArray &id) const;
    quint32 CurrentIndex() const { return m_current; }
    quint32 NodeCount() const { return static_cast<quint32>(m_nodes.size()); }
    const Node &At(quint32 index) const { return m_nodes[index]; }
    /// The short form of a direction code.
    QByteArray DirectionName(quint16 code) const;
    QByteArray AreaName(quint32 area) const { return m_areas[area].Name; }
    QByteArray TerrainName(quint32 terrain) const { return m_terrains[terrain]; }
    quint32 AreaCount() const { return static_cast<quint32>(m_areas.size()); }
    /// The area's cells in use (all levels); empty when it has no rooms.
    QRect AreaBounds(quint32 area) const;
    /// The room on a cell, or NoRoom.
    quint32 RoomAtCell(quint32 area, int x, int y, int z) const;
    /// Appends the rooms of @p area on level @p z whose cells lie in @p cells, without looking at the rest.
    void RoomsInRect(quint32 area, int z, const QRect &cells, std::vector<quint32> &out) const;
    /// Whether @p from has an exit leading to @p to.
    bool HasExitTo(quint32 from, quint32 to) const;
    StoredRoom Snapshot(quint32 index) const;
    QString Summary(quint32 index) const;

    // ---- Loading and saving (the store, import) ----

    /// Adds a room from a file, where it was; a room whose cell is taken is nudged as usual. False with a
    /// message for a room without a usable id, a repeated id, or beyond MaxRooms.
    bool Restore(const StoredRoom &room, QString *error = nullptr);
    void SetCurrentRoom(const QByteArray &id);
    /// Exchanges the two maps' rooms (the current room too) and tells both views.
    void Swap(MapModel &other);

    struct Changes {
        std::vector<quint32> Rooms; ///< seen rooms added or changed
        bool Replaced = false; ///< the whole map changed (Clear, Swap): write everything again
        bool CurrentChanged = false;
        bool IsEmpty() const { return Rooms.empty() && !Replaced && !CurrentChanged; }
    };
    /// Keep the changes for TakeChanges (the store switches this on; off, nothing is kept).
    void SetTrackChanges(bool on);
    Changes TakeChanges();
    /// The next TakeChanges says Replaced (a new file gets every room).
    void RequestFullWrite() { m_changes.Replaced = m_trackChanges; }
    qsizetype PendingChangeCount() const { return static_cast<qsizetype>(m_changes.Rooms.size()); }

signals:
    void Changed();

private:
    /// The rooms in blocks that never move: adding one never copies the others, as a vector does each time it
    /// grows (a stall of many milliseconds once a map has tens of thousands of rooms).
    class NodeBlocks
    {
    public:
        static constexpr quint32 BlockShift = 10;
        static constexpr quint32 BlockSize = 1U << BlockShift;
        Node &operator[](quint32 i) { return m_blocks[i >> BlockShift][i & (BlockSize - 1)]; }
        const Node &operator[](quint32 i) const { return m_blocks[i >> BlockShift][i & (BlockSize - 1)]; }
        quint32 size() const { return m_size; }
        void clear()
        {
            m_blocks.clear();
            m_size = 0;
        }
        void push_back(Node &&node)
        {
            if ((m_size & (BlockSize - 1)) == 0)
                m_blocks.push_back(std::make_unique<Node[]>(BlockSize));
            (*this)[m_size++] = std::move(node);
        }

    private:
        std::vector<std::unique_ptr<Node[]>> m_blocks;
        quint32 m_size = 0;
    };

    /// The exits of all rooms in flat arrays, for paths: built on the first path after a change and kept while
    /// the map stays as it is. Walking the rooms' own vectors would touch scattered memory for every room.
    struct PathGraph {
        quint64 Revision = ~0ULL;
        std::vector<quint32> First; ///< per room, where its exits start in Target; one more at the end
        std::vector<quint32> Target;
        std::vector<quint16> Direction;
        std::vector<quint8> Flags;
    };

    struct AreaGrid {
        QByteArray Name;
        QHash<quint64, quint32> Cells;
        QHash<quint64, std::vector<quint32>> Buckets;
        int MinX = 0, MaxX = 0, MinY = 0, MaxY = 0;
        quint32 Rooms = 0;
    };

    quint32 AddNode(const QByteArray &id);
    quint32 TargetNode(const QByteArray &id);
    quint32 InternArea(const QByteArray &name);
    quint32 InternTerrain(const QByteArray &name);
    int DirectionCode(const QByteArray &shortForm);
    bool UpdateRoom(quint32 node, const RoomRecord &room);
    bool UpdateExits(quint32 node, const std::vector<RoomExit> &exits);
    bool PlaceArrival(quint32 node, const RoomRecord &room, quint32 previous, const QByteArray &directionTaken);
    bool LinkWalk(quint32 previous, quint32 node, const QByteArray &directionTaken);
    bool AddLearnedExit(quint32 node, int code, quint32 target);
    static bool IsFree(const AreaGrid &grid, int x, int y, int z);
    static QPoint FreeCellNear(const AreaGrid &grid, int x, int y, int z);
    void Place(quint32 node, int x, int y, int z);
    void Unplace(quint32 node);
    void MarkChanged(quint32 node);
    void Reset();
    /// Something changed: views hear of it, and the path graph is built again when next needed.
    void Touch();
    const PathGraph &Graph() const;

    NodeBlocks m_nodes;
    // Rooms by a 64-bit hash of their id (with the process's random seed), so growing the index never reads
    // the ids again; the rare id whose hash another id already has is found in m_indexOverflow.
    QHash<quint64, quint32> m_index;
    QHash<QByteArray, quint32> m_indexOverflow;
    std::vector<AreaGrid> m_areas;
    QHash<QByteArray, quint32> m_areaIndex;
    std::vector<QByteArray> m_terrains;
    QHash<QByteArray, quint32> m_terrainIndex;
    std::vector<QByteArray> m_customDirections;
    QHash<QByteArray, quint16> m_customDirectionIndex;
    quint32 m_current = NoRoom;
    QByteArray m_walkTarget;
    int m_maxRooms;
    int m_seenCount = 0;
    int m_heardOfCount = 0;
    Warnings m_warnings;
    bool m_trackChanges = false;
    Changes m_changes;
    quint64 m_revision = 0;
    mutable PathGraph m_graph;
};

} // namespace wren
