// SPDX-License-Identifier: GPL-3.0-or-later
// The map of one world: rooms by id, their exits and places on a grid per area, the player's room, and paths.
#include "mapper/map_model.h"

#include "config/logging.h"
#include "mapper/directions.h"

#include <algorithm>
#include <array>

namespace wren {

namespace {

// Cells and buckets are found by one 64-bit key: x and y in 24 bits each, the level in 16.
constexpr int CoordinateOffset = 1 << 23;
constexpr int LevelOffset = 1 << 15;
// A bucket is BucketSize x BucketSize cells of one level; a view asks only for the buckets it shows.
constexpr int BucketShift = 4;

quint64 CellKey(int x, int y, int z)
{
    return (static_cast<quint64>(static_cast<quint32>(x + CoordinateOffset) & 0xffffffU) << 40)
           | (static_cast<quint64>(static_cast<quint32>(y + CoordinateOffset) & 0xffffffU) << 16)
           | (static_cast<quint64>(static_cast<quint32>(z + LevelOffset) & 0xffffU));
}

quint64 BucketKey(int x, int y, int z)
{
    return CellKey(x >> BucketShift, y >> BucketShift, z);
}

/// Within the bounds every key can hold, whatever nudging does to a room near the edge.
int ClampCoordinate(qint64 value)
{
    return static_cast<int>(std::clamp<qint64>(value, -MapModel::MaxPlacedCoordinate, MapModel::MaxPlacedCoordinate));
}

int ClampLevel(qint64 value)
{
    return static_cast<int>(std::clamp<qint64>(value, -MaxGridLevel, MaxGridLevel));
}

quint64 IdHash(const QByteArray &id)
{
    static_assert(sizeof(size_t) == sizeof(quint64), "room ids are hashed to 64 bits");
    return qHash(id, QHashSeed::globalSeed());
}

bool ContainsWithoutCase(const QByteArray &haystack, const QByteArray &lowerNeedle)
{
    const qsizetype n = lowerNeedle.size();
    const qsizetype last = haystack.size() - n;
    for (qsizetype i = 0; i <= last; ++i) {
        qsizetype j = 0;
        while (j < n) {
            char c = haystack.at(i + j);
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            if (c != lowerNeedle.at(j))
                break;
            ++j;
        }
        if (j == n)
            return true;
    }
    return false;
}

} // namespace

QByteArray RouteText(const std::vector<QByteArray> &directions)
{
    QByteArrayList parts;
    for (size_t i = 0; i < directions.size();) {
        size_t run = 1;
        while (i + run < directions.size() && directions[i + run] == directions[i])
            ++run;
        // The eight compass directions always have their count ("1 east"); up, down, in, out and the world's
        // own exits read as words, counted only when repeated.
        const std::optional<Direction> standard = StandardDirection(directions[i]);
        const bool compass = standard && static_cast<int>(*standard) <= static_cast<int>(Direction::NorthWest);
        const QByteArray name = LongName(directions[i]);
        parts.append(!compass && run == 1 ? name : QByteArray::number(static_cast<qulonglong>(run)) + ' ' + name);
        i += run;
    }
    return parts.join(", ");
}

QByteArray WalkCommands(const std::vector<QByteArray> &directions, const QByteArray &separator)
{
    QByteArray commands;
    for (const QByteArray &direction : directions) {
        if (!commands.isEmpty())
            commands += separator;
        commands += direction;
    }
    return commands;
}

MapModel::MapModel(int maxRooms, QObject *parent)
    : QObject(parent)
    , m_maxRooms(std::max(1, maxRooms))
{
    Reset();
}

MapModel::~MapModel() = default;

void MapModel::Reset()
{
    m_nodes.clear();
    m_index.clear();
    m_indexOverflow.clear();
    m_areas.clear();
    m_areas.push_back(AreaGrid {}); // 0: rooms of no named area
    m_areaIndex.clear();
    m_areaIndex.insert(QByteArray(), 0);
    m_terrains.assign(1, QByteArray());
    m_terrainIndex.clear();
    m_terrainIndex.insert(QByteArray(), 0);
    m_customDirections.clear();
    m_customDirectionIndex.clear();
    m_current = NoRoom;
    m_walkTarget.clear();
    m_seenCount = 0;
    m_heardOfCount = 0;
}

void MapModel::Clear()
{
    Reset();
    m_changes.Rooms.clear();
    m_changes.Replaced = m_trackChanges;
    Touch();
}

// ---- Arriving ----

MapModel::ArriveResult MapModel::Arrive(const RoomRecord &room, const QByteArray &directionTaken)
{
    ArriveResult result;
    if (!room.IsValid() || room.Id.size() > MaxRoomIdLength) {
        ++m_warnings.InvalidRooms;
        return result;
    }
    const quint32 previous = m_current;
    quint32 node = IndexOf(room.Id);
    const bool isNew = node == NoRoom || !m_nodes[node].Seen;
    if (isNew && m_seenCount >= m_maxRooms) {
        if (m_warnings.RefusedRooms++ == 0)
            qCInfo(lcMapper) << "map is full:" << m_maxRooms << "rooms; new rooms are not added";
        result.Status = ArriveStatus::Refused;
        if (m_current != NoRoom) {
            m_current = NoRoom;
            m_changes.CurrentChanged = m_trackChanges;
            Touch();
        }
        return result;
    }
    if (node == NoRoom) {
        node = AddNode(room.Id);
    } else if (!m_nodes[node].Seen) {
        --m_heardOfCount;
    }
    if (!m_nodes[node].Seen) {
        m_nodes[node].Seen = true;
        ++m_seenCount;
    }
    bool changed = UpdateRoom(node, room);
    changed = PlaceArrival(node, room, previous, directionTaken) || changed;
    if (LinkWalk(previous, node, directionTaken))
        MarkChanged(previous);
    if (changed || isNew)
        MarkChanged(node);
    const bool moved = m_current != node;
    m_current = node;
    if (moved)
        m_changes.CurrentChanged = m_trackChanges;
    if (!m_walkTarget.isEmpty() && m_walkTarget == room.Id) {
        m_walkTarget.clear();
        result.ReachedWalkTarget = true;
    }
    result.Status = isNew ? ArriveStatus::Added : changed ? ArriveStatus::Updated : ArriveStatus::Unchanged;
    if (isNew || changed || moved)
        Touch();
    return result;
}

quint32 MapModel::AddNode(const QByteArray &id)
{
    const auto index = static_cast<quint32>(m_nodes.size());
    Node node;
    node.Id = id;
    m_nodes.push_back(std::move(node));
    const quint64 hash = IdHash(id);
    if (m_index.contains(hash))
        m_indexOverflow.insert(id, index);
    else
        m_index.insert(hash, index);
    return index;
}

quint32 MapModel::IndexOf(const QByteArray &id) const
{
    const auto found = m_index.constFind(IdHash(id));
    if (found == m_index.constEnd())
        return NoRoom;
    if (m_nodes[*found].Id == id)
        return *found;
    return m_indexOverflow.value(id, NoRoom);
}

/// The node an exit leads to: the room when it is known, else a new heard-of room while there is room.
quint32 MapModel::TargetNode(const QByteArray &id)
{
    if (id.isEmpty())
        return NoRoom;
    const quint32 found = IndexOf(id);
    if (found != NoRoom)
        return found;
    if (m_heardOfCount >= m_maxRooms) {
        ++m_warnings.UnknownTargets;
        return NoRoom;
    }
    ++m_heardOfCount;
    return AddNode(id);
}

quint32 MapModel::InternArea(const QByteArray &name)
{
    const auto found = m_areaIndex.constFind(name);
    if (found != m_areaIndex.constEnd())
        return *found;
    if (m_areas.size() >= static_cast<size_t>(MaxAreas)) {
        ++m_warnings.MergedAreas;
        return 0;
    }
    const auto index = static_cast<quint32>(m_areas.size());
    AreaGrid grid;
    grid.Name = name;
    m_areas.push_back(std::move(grid));
    m_areaIndex.insert(name, index);
    return index;
}

quint32 MapModel::InternTerrain(const QByteArray &name)
{
    const auto found = m_terrainIndex.constFind(name);
    if (found != m_terrainIndex.constEnd())
        return *found;
    if (m_terrains.size() >= static_cast<size_t>(MaxTerrains))
        return 0;
    const auto index = static_cast<quint32>(m_terrains.size());
    m_terrains.push_back(name);
    m_terrainIndex.insert(name, index);
    return index;
}

/// The code of a short direction; -1 when it is unusable or there are too many names of the world's own.
int MapModel::DirectionCode(const QByteArray &shortForm)
{
    if (const std::optional<Direction> standard = StandardDirection(shortForm))
        return static_cast<int>(*standard);
    if (shortForm.isEmpty())
        return -1;
    const auto found = m_customDirectionIndex.constFind(shortForm);
    if (found != m_customDirectionIndex.constEnd())
        return *found;
    if (m_customDirections.size() >= static_cast<size_t>(MaxCustomDirections))
        return -1;
    const auto code = static_cast<quint16>(FirstCustomDirection + m_customDirections.size());
    m_customDirections.push_back(shortForm);
    m_customDirectionIndex.insert(shortForm, code);
    return code;
}

QByteArray MapModel::DirectionName(quint16 code) const
{
    if (code < FirstCustomDirection)
        return ShortName(static_cast<Direction>(code));
    const size_t custom = code - FirstCustomDirection;
    return custom < m_customDirections.size() ? m_customDirections[custom] : QByteArray();
}

bool MapModel::UpdateRoom(quint32 node, const RoomRecord &room)
{
    bool changed = false;
    Node &target = m_nodes[node];
    const QByteArray name = CleanText(room.Name, MaxRoomNameLength);
    if (target.Name != name) {
        target.Name = name;
        changed = true;
    }
    const quint32 area = InternArea(CleanText(room.Area, MaxAreaNameLength));
    if (target.Area != area) {
        if (target.Placed)
            Unplace(node);
        m_nodes[node].Area = area;
        changed = true;
    }
    const quint32 terrain = InternTerrain(CleanText(room.Terrain, MaxAreaNameLength));
    if (m_nodes[node].Terrain != terrain) {
        m_nodes[node].Terrain = terrain;
        changed = true;
    }
    m_warnings.SkippedExits += static_cast<quint64>(std::max(0, room.SkippedExits));
    return UpdateExits(node, room.Exits) || changed;
}

/// The world's exits replace those it sent before; exits learned from walks or the text that the world does
/// not list stay, and a learned target stays where the world does not know the target.
bool MapModel::UpdateExits(quint32 node, const std::vector<RoomExit> &exits)
{
    constexpr int CodeCount = FirstCustomDirection + MaxCustomDirections;
    static_assert(MaxExitsPerRoom + 2 < 127, "exit positions fit in qint8");
    std::array<qint8, CodeCount> at; // where each direction code is in merged, or -1
    at.fill(-1);
    std::vector<Exit> merged;
    merged.reserve(std::min(exits.size(), static_cast<size_t>(MaxExitsPerRoom)) + 2);
    for (const RoomExit &exit : exits) {
        const int code = merged.size() < static_cast<size_t>(MaxExitsPerRoom)
                             ? DirectionCode(NormalizeDirection(exit.Direction))
                             : -1;
        if (code < 0 || at[static_cast<size_t>(code)] >= 0) {
            ++m_warnings.SkippedExits;
            continue;
        }
        at[static_cast<size_t>(code)] = static_cast<qint8>(merged.size());
        merged.push_back({TargetNode(exit.Target), static_cast<quint16>(code), exit.Learned});
    }
    const std::vector<Exit> &old = m_nodes[node].Exits;
    for (const Exit &before : old) {
        const qint8 now = at[before.Direction];
        if (now < 0) {
            if (before.Learned && merged.size() < static_cast<size_t>(MaxExitsPerRoom))
                merged.push_back(before);
        } else if (merged[static_cast<size_t>(now)].Target == NoRoom && before.Target != NoRoom) {
            merged[static_cast<size_t>(now)].Target = before.Target;
        }
    }
    std::sort(merged.begin(), merged.end(), [](const Exit &a, const Exit &b) { return a.Direction < b.Direction; });
    if (merged == old)
        return false;
    m_nodes[node].Exits = std::move(merged);
    return true;
}

bool MapModel::PlaceArrival(quint32 node, const RoomRecord &room, quint32 previous, const QByteArray &directionTaken)
{
    Node &target = m_nodes[node];
    if (room.HasCoordinates) {
        const int x = ClampCoordinate(room.X);
        const int y = ClampCoordinate(room.Y);
        const int z = ClampLevel(room.Z);
        if (target.Placed && target.HasWorldCoordinates && target.WorldX == x && target.WorldY == y
            && target.WorldZ == z)
            return false;
        if (target.Placed)
            Unplace(node);
        target.HasWorldCoordinates = true;
        target.WorldX = x;
        target.WorldY = y;
        target.WorldZ = z;
        Place(node, x, y, z);
        return true;
    }
    if (target.Placed)
        return false;
    int x = 0, y = 0, z = 0;
    if (previous != NoRoom && previous != node && m_nodes[previous].Placed && m_nodes[previous].Area == target.Area) {
        const Node &from = m_nodes[previous];
        x = from.X;
        y = from.Y;
        z = from.Z;
        const std::optional<Direction> standard = StandardDirection(NormalizeDirection(directionTaken));
        if (const std::optional<GridStep> step = standard ? StepOf(*standard) : std::nullopt) {
            x = ClampCoordinate(static_cast<qint64>(x) + step->Dx);
            y = ClampCoordinate(static_cast<qint64>(y) + step->Dy);
            z = ClampLevel(static_cast<qint64>(z) + step->Dz);
        }
    }
    Place(node, x, y, z);
    return true;
}

bool MapModel::LinkWalk(quint32 previous, quint32 node, const QByteArray &directionTaken)
{
    if (previous == NoRoom || previous == node || directionTaken.isEmpty())
        return false;
    const int code = DirectionCode(NormalizeDirection(directionTaken));
    if (code < 0)
        return false;
    return AddLearnedExit(previous, code, node);
}

bool MapModel::AddLearnedExit(quint32 node, int code, quint32 target)
{
    std::vector<Exit> &exits = m_nodes[node].Exits;
    auto at = std::lower_bound(exits.begin(), exits.end(), code, [](const Exit &e, int c) { return e.Direction < c; });
    if (at != exits.end() && at->Direction == code) {
        if (at->Target != NoRoom || target == NoRoom)
            return false;
        at->Target = target;
        return true;
    }
    if (exits.size() >= static_cast<size_t>(MaxExitsPerRoom)) {
        ++m_warnings.SkippedExits;
        return false;
    }
    exits.insert(at, Exit {target, static_cast<quint16>(code), true});
    return true;
}

QByteArray MapModel::DirectionOfCommand(const QByteArray &command) const
{
    QByteArray direction = NormalizeDirection(command);
    if (direction.isEmpty() || StandardDirection(direction))
        return direction;
    if (m_current == NoRoom)
        return {};
    for (const Exit &exit : m_nodes[m_current].Exits) {
        if (DirectionName(exit.Direction) == direction)
            return direction;
    }
    return {};
}

bool MapModel::AddExitStubs(const QByteArray &roomId, const std::vector<QByteArray> &directions)
{
    const quint32 node = IndexOf(roomId);
    if (node == NoRoom || !m_nodes[node].Seen)
        return false;
    bool changed = false;
    for (const QByteArray &direction : directions) {
        const int code = DirectionCode(NormalizeDirection(direction));
        if (code >= 0)
            changed = AddLearnedExit(node, code, NoRoom) || changed;
    }
    if (changed) {
        MarkChanged(node);
        Touch();
    }
    return true;
}

// ---- The grid ----

/// Whether a cell is on the grid and free.
bool MapModel::IsFree(const AreaGrid &grid, int x, int y, int z)
{
    return std::abs(x) <= MaxPlacedCoordinate && std::abs(y) <= MaxPlacedCoordinate
           && !grid.Cells.contains(CellKey(x, y, z));
}

/// The cell a room goes to near (x, y, z): see the class's note on layout.
QPoint MapModel::FreeCellNear(const AreaGrid &grid, int x, int y, int z)
{
    if (IsFree(grid, x, y, z))
        return {x, y};
    for (int ring = 1; ring <= NudgeRadius; ++ring) {
        for (int dy = -ring; dy <= ring; ++dy) {
            const int step = (dy == -ring || dy == ring) ? 1 : 2 * ring;
            for (int dx = -ring; dx <= ring; dx += step) {
                if (IsFree(grid, x + dx, y + dy, z))
                    return {x + dx, y + dy};
            }
        }
    }
    for (const QPoint beside :
         {QPoint(grid.MaxX + 2, y), QPoint(grid.MinX - 2, y), QPoint(x, grid.MaxY + 2), QPoint(x, grid.MinY - 2)}) {
        if (IsFree(grid, beside.x(), beside.y(), z))
            return beside;
    }
    return {x, y};
}

void MapModel::Place(quint32 node, int x, int y, int z)
{
    Node &room = m_nodes[node];
    AreaGrid &grid = m_areas[room.Area];
    const QPoint cell = FreeCellNear(grid, x, y, z);
    x = cell.x();
    y = cell.y();
    if (grid.Rooms == 0) {
        grid.MinX = grid.MaxX = x;
        grid.MinY = grid.MaxY = y;
    } else {
        grid.MinX = std::min(grid.MinX, x);
        grid.MaxX = std::max(grid.MaxX, x);
        grid.MinY = std::min(grid.MinY, y);
        grid.MaxY = std::max(grid.MaxY, y);
    }
    ++grid.Rooms;
    // On a taken cell (nothing free anywhere near), the cell keeps naming the room that was there first.
    if (!grid.Cells.contains(CellKey(x, y, z)))
        grid.Cells.insert(CellKey(x, y, z), node);
    grid.Buckets[BucketKey(x, y, z)].push_back(node);
    room.X = x;
    room.Y = y;
    room.Z = z;
    room.Placed = true;
}

/// Takes the room off its grid; the area's bounds may stay wider than its rooms until the map is loaded again.
void MapModel::Unplace(quint32 node)
{
    Node &room = m_nodes[node];
    if (!room.Placed)
        return;
    AreaGrid &grid = m_areas[room.Area];
    const quint64 cell = CellKey(room.X, room.Y, room.Z);
    if (grid.Cells.value(cell, NoRoom) == node)
        grid.Cells.remove(cell);
    const auto bucket = grid.Buckets.find(BucketKey(room.X, room.Y, room.Z));
    if (bucket != grid.Buckets.end()) {
        std::vector<quint32> &rooms = *bucket;
        rooms.erase(std::remove(rooms.begin(), rooms.end(), node), rooms.end());
        if (rooms.empty())
            grid.Buckets.erase(bucket);
    }
    --grid.Rooms;
    room.Placed = false;
}

QRect MapModel::AreaBounds(quint32 area) const
{
    if (area >= m_areas.size() || m_areas[area].Rooms == 0)
        return {};
    const AreaGrid &grid = m_areas[area];
    return QRect(QPoint(grid.MinX, grid.MinY), QPoint(grid.MaxX, grid.MaxY));
}

quint32 MapModel::RoomAtCell(quint32 area, int x, int y, int z) const
{
    if (area >= m_areas.size())
        return NoRoom;
    return m_areas[area].Cells.value(CellKey(x, y, z), NoRoom);
}

void MapModel::RoomsInRect(quint32 area, int z, const QRect &cells, std::vector<quint32> &out) const
{
    if (area >= m_areas.size() || cells.isEmpty())
        return;
    const AreaGrid &grid = m_areas[area];
    if (grid.Rooms == 0)
        return;
    // Only the buckets that overlap both the asked cells and the area's rooms.
    const QRect wanted = cells.intersected(QRect(QPoint(grid.MinX, grid.MinY), QPoint(grid.MaxX, grid.MaxY)));
    if (wanted.isEmpty())
        return;
    for (int by = wanted.top() >> BucketShift; by <= wanted.bottom() >> BucketShift; ++by) {
        for (int bx = wanted.left() >> BucketShift; bx <= wanted.right() >> BucketShift; ++bx) {
            const auto bucket = grid.Buckets.constFind(CellKey(bx, by, z));
            if (bucket == grid.Buckets.constEnd())
                continue;
            for (quint32 node : *bucket) {
                const Node &room = m_nodes[node];
                if (wanted.contains(room.X, room.Y))
                    out.push_back(node);
            }
        }
    }
}

bool MapModel::HasExitTo(quint32 from, quint32 to) const
{
    const std::vector<Exit> &exits = m_nodes[from].Exits;
    return std::any_of(exits.begin(), exits.end(), [to](const Exit &e) { return e.Target == to; });
}

// ---- Paths ----

const MapModel::PathGraph &MapModel::Graph() const
{
    if (m_graph.Revision == m_revision)
        return m_graph;
    PathGraph &graph = m_graph;
    graph.First.resize(m_nodes.size() + 1);
    graph.Flags.resize(m_nodes.size());
    graph.Target.clear();
    graph.Direction.clear();
    for (quint32 i = 0; i < m_nodes.size(); ++i) {
        graph.First[i] = static_cast<quint32>(graph.Target.size());
        graph.Flags[i] = m_nodes[i].Flags;
        for (const Exit &exit : m_nodes[i].Exits) {
            if (exit.Target == NoRoom)
                continue;
            graph.Target.push_back(exit.Target);
            graph.Direction.push_back(exit.Direction);
        }
    }
    graph.First[m_nodes.size()] = static_cast<quint32>(graph.Target.size());
    graph.Revision = m_revision;
    return graph;
}

PathResult MapModel::FindPath(const QByteArray &from, const QByteArray &to) const
{
    PathResult result;
    const quint32 start = IndexOf(from);
    const quint32 goal = IndexOf(to);
    if (start == NoRoom || goal == NoRoom || (m_nodes[goal].Flags & RoomLocked))
        return result;
    if (start == goal) {
        result.Found = true;
        return result;
    }
    const PathGraph &graph = Graph();
    std::vector<quint32> parent(m_nodes.size(), NoRoom);
    std::vector<quint16> via(m_nodes.size(), 0);
    std::vector<quint32> queue;
    queue.reserve(1024);
    queue.push_back(start);
    parent[start] = start;
    for (size_t head = 0; head < queue.size() && parent[goal] == NoRoom; ++head) {
        const quint32 here = queue[head];
        for (quint32 e = graph.First[here]; e < graph.First[here + 1]; ++e) {
            const quint32 next = graph.Target[e];
            if (parent[next] != NoRoom || (next != goal && (graph.Flags[next] & RoomFlagMask)))
                continue;
            parent[next] = here;
            via[next] = graph.Direction[e];
            queue.push_back(next);
        }
    }
    if (parent[goal] == NoRoom)
        return result;
    for (quint32 at = goal; at != start; at = parent[at]) {
        result.Directions.push_back(DirectionName(via[at]));
        result.Rooms.push_back(m_nodes[at].Id);
    }
    std::reverse(result.Directions.begin(), result.Directions.end());
    std::reverse(result.Rooms.begin(), result.Rooms.end());
    result.Found = true;
    return result;
}

// ---- Reading ----

QByteArray MapModel::CurrentRoom() const
{
    return m_current == NoRoom ? QByteArray() : m_nodes[m_current].Id;
}

bool MapModel::HasRoom(const QByteArray &id) const
{
    const quint32 node = IndexOf(id);
    return node != NoRoom && m_nodes[node].Seen;
}

StoredRoom MapModel::Room(const QByteArray &id) const
{
    const quint32 node = IndexOf(id);
    return node != NoRoom && m_nodes[node].Seen ? Snapshot(node) : StoredRoom {};
}

StoredRoom MapModel::Snapshot(quint32 index) const
{
    const Node &node = m_nodes[index];
    StoredRoom room;
    room.Id = node.Id;
    room.Name = node.Name;
    room.Area = m_areas[node.Area].Name;
    room.Terrain = m_terrains[node.Terrain];
    room.X = node.X;
    room.Y = node.Y;
    room.Z = node.Z;
    room.HasWorldCoordinates = node.HasWorldCoordinates;
    room.WorldX = node.WorldX;
    room.WorldY = node.WorldY;
    room.WorldZ = node.WorldZ;
    room.Flags = node.Flags;
    room.Exits.reserve(node.Exits.size());
    for (const Exit &exit : node.Exits)
        room.Exits.push_back({DirectionName(exit.Direction),
                              exit.Target == NoRoom ? QByteArray() : m_nodes[exit.Target].Id, exit.Learned});
    return room;
}

QString MapModel::Summary(const QByteArray &id) const
{
    const quint32 node = IndexOf(id);
    return node == NoRoom ? QString() : Summary(node);
}

QString MapModel::Summary(quint32 index) const
{
    const Node &node = m_nodes[index];
    QString text
        = node.Name.isEmpty() ? QStringLiteral("Room ") + QString::fromUtf8(node.Id) : QString::fromUtf8(node.Name);
    if (!node.Seen)
        return text + QStringLiteral(", not visited");
    if (!m_areas[node.Area].Name.isEmpty())
        text += QStringLiteral(", ") + QString::fromUtf8(m_areas[node.Area].Name);
    if (node.Exits.empty())
        return text + QStringLiteral(", no exits");
    QStringList names;
    for (const Exit &exit : node.Exits)
        names.append(QString::fromUtf8(LongName(DirectionName(exit.Direction))));
    return text + QStringLiteral(", exits: ") + names.join(QStringLiteral(", "));
}

std::vector<QByteArray> MapModel::FindRooms(const QByteArray &text, int limit) const
{
    std::vector<QByteArray> found;
    const QByteArray needle = text.trimmed().toLower();
    if (needle.isEmpty() || limit <= 0)
        return found;
    const quint32 here = m_current == NoRoom ? NoRoom : m_nodes[m_current].Area;
    for (int pass = 0; pass < 2; ++pass) {
        for (quint32 i = 0; i < m_nodes.size(); ++i) {
            const Node &node = m_nodes[i];
            if (static_cast<int>(found.size()) >= limit)
                return found;
            const bool inHere = node.Area == here;
            if (node.Seen && inHere == (pass == 0) && ContainsWithoutCase(node.Name, needle))
                found.push_back(node.Id);
        }
    }
    return found;
}

bool MapModel::SetFlags(const QByteArray &roomId, quint8 flags)
{
    const quint32 node = IndexOf(roomId);
    if (node == NoRoom || !m_nodes[node].Seen)
        return false;
    flags &= RoomFlagMask;
    if (m_nodes[node].Flags != flags) {
        m_nodes[node].Flags = flags;
        MarkChanged(node);
        Touch();
    }
    return true;
}

// ---- Loading, saving ----

bool MapModel::Restore(const StoredRoom &stored, QString *error)
{
    const auto fail = [&](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    const QByteArray id = RoomIdText(stored.Id);
    if (id.isEmpty())
        return fail(QStringLiteral("a room has no usable id"));
    quint32 node = IndexOf(id);
    if (node != NoRoom && m_nodes[node].Seen)
        return fail(QStringLiteral("room \"%1\" appears twice").arg(QString::fromUtf8(id)));
    if (m_seenCount >= m_maxRooms)
        return fail(QStringLiteral("more than %1 rooms").arg(m_maxRooms));
    if (node == NoRoom)
        node = AddNode(id);
    else
        --m_heardOfCount;
    m_nodes[node].Seen = true;
    ++m_seenCount;
    RoomRecord record;
    record.Id = id;
    record.Name = stored.Name;
    record.Area = stored.Area;
    record.Terrain = stored.Terrain;
    record.Exits = stored.Exits;
    if (record.Exits.size() > static_cast<size_t>(MaxExitsPerRoom))
        record.Exits.resize(static_cast<size_t>(MaxExitsPerRoom));
    for (RoomExit &exit : record.Exits)
        exit.Target = RoomIdText(exit.Target);
    UpdateRoom(node, record);
    Node &room = m_nodes[node];
    room.Flags = stored.Flags & RoomFlagMask;
    room.HasWorldCoordinates = stored.HasWorldCoordinates;
    room.WorldX = ClampCoordinate(stored.WorldX);
    room.WorldY = ClampCoordinate(stored.WorldY);
    room.WorldZ = ClampLevel(stored.WorldZ);
    Place(node, ClampCoordinate(stored.X), ClampCoordinate(stored.Y), ClampLevel(stored.Z));
    ++m_revision;
    return true;
}

void MapModel::SetCurrentRoom(const QByteArray &id)
{
    const quint32 node = IndexOf(id);
    const quint32 current = node != NoRoom && m_nodes[node].Seen ? node : NoRoom;
    if (current == m_current)
        return;
    m_current = current;
    m_changes.CurrentChanged = m_trackChanges;
    Touch();
}

void MapModel::Swap(MapModel &other)
{
    std::swap(m_nodes, other.m_nodes);
    std::swap(m_index, other.m_index);
    std::swap(m_indexOverflow, other.m_indexOverflow);
    std::swap(m_areas, other.m_areas);
    std::swap(m_areaIndex, other.m_areaIndex);
    std::swap(m_terrains, other.m_terrains);
    std::swap(m_terrainIndex, other.m_terrainIndex);
    std::swap(m_customDirections, other.m_customDirections);
    std::swap(m_customDirectionIndex, other.m_customDirectionIndex);
    std::swap(m_current, other.m_current);
    std::swap(m_walkTarget, other.m_walkTarget);
    std::swap(m_maxRooms, other.m_maxRooms);
    std::swap(m_seenCount, other.m_seenCount);
    std::swap(m_heardOfCount, other.m_heardOfCount);
    for (MapModel *model : {this, &other}) {
        for (quint32 i = 0; i < model->m_nodes.size(); ++i)
            model->m_nodes[i].Changed = false;
        model->m_changes = Changes {};
        model->m_changes.Replaced = model->m_trackChanges;
        model->Touch();
    }
}

void MapModel::SetTrackChanges(bool on)
{
    m_trackChanges = on;
    if (!on)
        TakeChanges();
}

MapModel::Changes MapModel::TakeChanges()
{
    Changes taken;
    std::swap(taken, m_changes);
    for (quint32 node : taken.Rooms)
        m_nodes[node].Changed = false;
    return taken;
}

void MapModel::Touch()
{
    ++m_revision;
    emit Changed();
}

void MapModel::MarkChanged(quint32 node)
{
    if (!m_trackChanges || m_nodes[node].Changed)
        return;
    m_nodes[node].Changed = true;
    m_changes.Rooms.push_back(node);
}

} // namespace wren
