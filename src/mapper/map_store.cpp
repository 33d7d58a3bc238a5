// SPDX-License-Identifier: GPL-3.0-or-later
// One world's map in an SQLite file: loaded once, then written as rooms change, a batch at a time, on its own thread.
#include "mapper/map_store.h"

#include "config/app_settings.h"
#include "config/logging.h"
#include "config/program_folder.h"
#include "mapper/map_json.h"
#include "mapper/map_model.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>

#include <optional>

namespace wren {

namespace {

constexpr char Driver[] = "QSQLITE";
constexpr char FormatName[] = "wren-map";
constexpr char RoomColumns[]
    = "id, name, area, terrain, x, y, z, world_coordinates, world_x, world_y, world_z, flags, exits";

QString Text(const char *text)
{
    return QString::fromLatin1(text);
}

QString NewConnectionName(const char *role)
{
    static std::atomic<int> counter {0};
    return QStringLiteral("wren-map-%1-%2").arg(Text(role)).arg(++counter);
}

// Exits in a column: one line per exit, "direction TAB target", with "TAB learned" for exits the client
// recorded itself. Room ids and directions never hold control characters (CleanText), so the form is safe.
QByteArray EncodeExits(const std::vector<RoomExit> &exits)
{
    QByteArray bytes;
    for (const RoomExit &exit : exits) {
        bytes += exit.Direction + '\t' + exit.Target;
        if (exit.Learned)
            bytes += "\tlearned";
        bytes += '\n';
    }
    return bytes;
}

std::vector<RoomExit> DecodeExits(const QByteArray &bytes)
{
    std::vector<RoomExit> exits;
    for (const QByteArray &line : bytes.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() < 2 || exits.size() >= static_cast<size_t>(MaxExitsPerRoom))
            continue;
        exits.push_back({fields[0], fields[1], fields.size() > 2 && fields[2] == "learned"});
    }
    return exits;
}

QString Quoted(const QString &path)
{
    return QStringLiteral("\"%1\"").arg(QDir::toNativeSeparators(path));
}

QString MemoryOnly()
{
    return QStringLiteral(" It is left as it is; this session keeps its map in memory only.");
}

/// The result of reading a map file on the calling thread.
struct LoadResult {
    MapStore::OpenResult Result = MapStore::OpenResult::Refused;
    QString Message;
};

/// Checks a map file and reads its rooms into @p into, through a connection of its own that writes nothing
/// (read-only unless SQLite must first undo a write a crash left unfinished, which it does from the journal).
class MapFileReader
{
public:
    MapFileReader(const QString &path, MapModel &into)
        : m_path(path)
        , m_into(into)
    {
    }

    LoadResult Read()
    {
        const QString connection = NewConnectionName("read");
        LoadResult result;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(Text(Driver), connection);
            db.setDatabaseName(m_path);
            if (!QFile::exists(m_path + QStringLiteral("-journal")))
                db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
            if (!db.open())
                result = Refuse(QStringLiteral("cannot be opened (%1).").arg(db.lastError().text()));
            else
                result = ReadOpen(db);
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
        return result;
    }

private:
    LoadResult Refuse(const QString &why)
    {
        return {MapStore::OpenResult::Refused,
                QStringLiteral("The map file %1 %2").arg(Quoted(m_path), why) + MemoryOnly()};
    }

    /// The first value a statement gives; on failure nothing, and m_error says why.
    std::optional<QVariant> Single(QSqlDatabase &db, const QString &statement)
    {
        QSqlQuery query(db);
        if (!query.exec(statement) || !query.next()) {
            m_error = query.lastError().text().trimmed();
            if (m_error.isEmpty())
                m_error = QStringLiteral("no answer to \"%1\"").arg(statement);
            return std::nullopt;
        }
        return query.value(0);
    }

    LoadResult ReadOpen(QSqlDatabase &db)
    {
        const std::optional<QVariant> version = Single(db, QStringLiteral("PRAGMA user_version"));
        if (!version)
            return Refuse(QStringLiteral("is damaged (%1).").arg(m_error));
        if (version->toInt() > MapStore::SchemaVersion)
            return Refuse(QStringLiteral("was written by a newer version of Wren Client (map format %1; this version "
                                         "reads format %2).")
                              .arg(version->toInt())
                              .arg(MapStore::SchemaVersion));
        const std::optional<QVariant> check = Single(db, QStringLiteral("PRAGMA quick_check"));
        if (!check || check->toString() != QStringLiteral("ok"))
            return Refuse(QStringLiteral("is damaged (SQLite's check says: %1).")
                              .arg(check ? check->toString().left(200) : m_error));
        const std::optional<QVariant> tables = Single(db, QStringLiteral("SELECT count(*) FROM sqlite_master"));
        if (version->toInt() == 0 && tables && tables->toInt() == 0)
            return {MapStore::OpenResult::Created, {}}; // an empty database: becomes a map
        if (!HasColumns(db, "rooms", RoomColumns) || !HasColumns(db, "meta", "key, value")
            || Meta(db, "format") != FormatName)
            return Refuse(QStringLiteral("is not a Wren Client map (its tables are not a map's)."));
        return ReadRooms(db);
    }

    static bool HasColumns(QSqlDatabase &db, const char *table, const char *columns)
    {
        const QSqlRecord record = db.record(Text(table));
        for (const QString &column : Text(columns).split(QStringLiteral(", "))) {
            if (!record.contains(column))
                return false;
        }
        return true;
    }

    static QByteArray Meta(QSqlDatabase &db, const char *key)
    {
        QSqlQuery query(db);
        query.prepare(QStringLiteral("SELECT value FROM meta WHERE key = ?"));
        query.addBindValue(Text(key));
        if (!query.exec() || !query.next())
            return {};
        return query.value(0).toByteArray();
    }

    LoadResult ReadRooms(QSqlDatabase &db)
    {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT %1 FROM rooms").arg(Text(RoomColumns))))
            return Refuse(QStringLiteral("is damaged (%1).").arg(query.lastError().text()));
        int skipped = 0;
        bool full = false;
        while (query.next()) {
            if (m_into.RoomCount() >= m_into.MaxRooms()) {
                full = true;
                break;
            }
            if (!m_into.Restore(RowRoom(query)))
                ++skipped;
        }
        if (query.lastError().isValid())
            return Refuse(QStringLiteral("is damaged (%1).").arg(query.lastError().text()));
        m_into.SetCurrentRoom(Meta(db, "current"));
        LoadResult result {MapStore::OpenResult::Opened, {}};
        if (skipped > 0)
            result.Message = QStringLiteral("Rooms of the map file %2 that could not be read are left out (%1); "
                                            "they stay in the file.")
                                 .arg(skipped)
                                 .arg(Quoted(m_path));
        if (full)
            result.Message = QStringLiteral("The map file %1 holds more than %2 rooms; only the first %2 are shown.")
                                 .arg(Quoted(m_path))
                                 .arg(m_into.MaxRooms());
        return result;
    }

    static StoredRoom RowRoom(const QSqlQuery &query)
    {
        StoredRoom room;
        room.Id = query.value(0).toByteArray();
        room.Name = query.value(1).toByteArray();
        room.Area = query.value(2).toByteArray();
        room.Terrain = query.value(3).toByteArray();
        const auto whole = [&](int column, int bound) {
            return static_cast<int>(std::clamp<qlonglong>(query.value(column).toLongLong(), -bound, bound));
        };
        room.X = whole(4, MapModel::MaxPlacedCoordinate);
        room.Y = whole(5, MapModel::MaxPlacedCoordinate);
        room.Z = whole(6, MaxGridLevel);
        room.HasWorldCoordinates = query.value(7).toLongLong() != 0;
        room.WorldX = whole(8, MaxGridCoordinate);
        room.WorldY = whole(9, MaxGridCoordinate);
        room.WorldZ = whole(10, MaxGridLevel);
        room.Flags = static_cast<quint8>(query.value(11).toLongLong() & RoomFlagMask);
        room.Exits = DecodeExits(query.value(12).toByteArray());
        return room;
    }

    QString m_path;
    MapModel &m_into;
    QString m_error;
};

LoadResult CheckAndLoad(const QString &path, MapModel &into)
{
    QFile file(path);
    if (!file.exists())
        return {MapStore::OpenResult::Created, {}};
    if (!file.open(QIODevice::ReadOnly))
        return {MapStore::OpenResult::Refused,
                QStringLiteral("The map file %1 cannot be read (%2).").arg(Quoted(path), file.errorString())
                    + MemoryOnly()};
    const QByteArray header = file.read(16);
    const qint64 size = file.size();
    file.close();
    if (size == 0)
        return {MapStore::OpenResult::Created, {}};
    if (header != QByteArray("SQLite format 3\0", 16))
        return {MapStore::OpenResult::Refused,
                QStringLiteral("The map file %1 is not a map (not an SQLite database).").arg(Quoted(path))
                    + MemoryOnly()};
    return MapFileReader(path, into).Read();
}

} // namespace

/// A batch of rooms for the writer.
struct MapBatch {
    std::vector<StoredRoom> Rooms;
    bool ReplaceAll = false;
    bool HasCurrent = false;
    QByteArray Current;
};

/// Owns the writing connection; lives on the store's writer thread, and only that thread calls it.
class MapWriter : public QObject
{
public:
    explicit MapWriter(const QString &path)
        : m_path(path)
        , m_connection(NewConnectionName("write"))
    {
    }

    bool Open(bool create, QString *error)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(Text(Driver), m_connection);
        db.setDatabaseName(m_path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        if (!db.open())
            return Fail(db, error);
        if (create && !CreateTables(db))
            return Fail(db, error);
        return true;
    }

    bool Write(const MapBatch &batch, QString *error)
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (!db.transaction())
            return Fail(db, error);
        QSqlQuery query(db);
        bool ok = !batch.ReplaceAll || query.exec(QStringLiteral("DELETE FROM rooms"));
        ok = ok
             && query.prepare(
                 QStringLiteral("INSERT OR REPLACE INTO rooms (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                     .arg(Text(RoomColumns)));
        for (size_t i = 0; ok && i < batch.Rooms.size(); ++i)
            ok = WriteRoom(query, batch.Rooms[i]);
        if (ok && batch.HasCurrent) {
            ok = query.prepare(QStringLiteral("INSERT OR REPLACE INTO meta (key, value) VALUES ('current', ?)"));
            query.addBindValue(Blob(batch.Current));
            ok = ok && query.exec();
        }
        if (ok && db.commit())
            return true;
        if (error)
            *error = query.lastError().isValid() ? query.lastError().text() : db.lastError().text();
        db.rollback();
        return false;
    }

    void Close()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connection);
    }

private:
    bool Fail(QSqlDatabase &db, QString *error)
    {
        if (error)
            *error = db.lastError().text();
        db.close();
        return false;
    }

    static bool CreateTables(QSqlDatabase &db)
    {
        const QStringList statements = {
            QStringLiteral("CREATE TABLE rooms (id BLOB PRIMARY KEY NOT NULL, name BLOB NOT NULL, area BLOB NOT NULL, "
                           "terrain BLOB NOT NULL, x INTEGER NOT NULL, y INTEGER NOT NULL, z INTEGER NOT NULL, "
                           "world_coordinates INTEGER NOT NULL, world_x INTEGER NOT NULL, world_y INTEGER NOT NULL, "
                           "world_z INTEGER NOT NULL, flags INTEGER NOT NULL, exits BLOB NOT NULL) WITHOUT ROWID"),
            QStringLiteral("CREATE TABLE meta (key TEXT PRIMARY KEY NOT NULL, value BLOB)"),
            QStringLiteral("INSERT INTO meta (key, value) VALUES ('format', CAST('%1' AS BLOB))").arg(Text(FormatName)),
            QStringLiteral("PRAGMA user_version = %1").arg(MapStore::SchemaVersion),
        };
        if (!db.transaction())
            return false;
        QSqlQuery query(db);
        for (const QString &statement : statements) {
            if (!query.exec(statement)) {
                db.rollback();
                return false;
            }
        }
        return db.commit();
    }

    /// Qt binds a null byte array as SQL NULL; the columns want an empty blob.
    static QByteArray Blob(const QByteArray &bytes) { return bytes.isNull() ? QByteArray("") : bytes; }

    static bool WriteRoom(QSqlQuery &query, const StoredRoom &room)
    {
        const QVariantList values = {Blob(room.Id),
                                     Blob(room.Name),
                                     Blob(room.Area),
                                     Blob(room.Terrain),
                                     room.X,
                                     room.Y,
                                     room.Z,
                                     room.HasWorldCoordinates ? 1 : 0,
                                     room.WorldX,
                                     room.WorldY,
                                     room.WorldZ,
                                     static_cast<int>(room.Flags),
                                     Blob(EncodeExits(room.Exits))};
        for (int i = 0; i < values.size(); ++i)
            query.bindValue(i, values[i]);
        return query.exec();
    }

    QString m_path;
    QString m_connection;
};

bool MapEnabled(const AppSettings &settings, const QByteArray &host, const QByteArray &port)
{
    return settings.WorldValue(host, port, Text(MapKey), true).toBool();
}

void SetMapEnabled(AppSettings &settings, const QByteArray &host, const QByteArray &port, bool on)
{
    settings.SetWorldValue(host, port, Text(MapKey), on);
}

MapStore::MapStore(MapModel &model, QObject *parent)
    : QObject(parent)
    , m_model(model)
    , m_failed(std::make_shared<std::atomic<bool>>(false))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(BatchIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &MapStore::Flush);
    connect(&m_model, &MapModel::Changed, this, &MapStore::ModelChanged);
    // A model that goes first ends the store's writing; what it had not yet handed over is lost with it.
    connect(&m_model, &QObject::destroyed, this, [this] {
        m_modelGone = true;
        Close();
    });
}

MapStore::~MapStore()
{
    Close();
}

QString MapStore::FileNameFor(const QByteArray &host, const QByteArray &port)
{
    QByteArray name = host.trimmed().toLower().left(100);
    for (char &c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-'))
            c = '_';
    }
    if (name.isEmpty())
        name = "unnamed";
    QByteArray digits;
    for (char c : port.trimmed().left(10)) {
        if (c >= '0' && c <= '9')
            digits += c;
    }
    return QString::fromLatin1(name + '.' + (digits.isEmpty() ? QByteArray("0") : digits) + ".map");
}

QString MapStore::MapFilePath(const QByteArray &host, const QByteArray &port)
{
    return ProgramFolder() + QStringLiteral("/maps/") + FileNameFor(host, port);
}

MapStore::OpenResult MapStore::Open(const QString &path, QString *message)
{
    Close();
    if (m_modelGone)
        return OpenResult::Failed;
    m_path = path;
    m_reported = false;
    m_failed->store(false);
    const auto say = [&](const QString &text) {
        if (message)
            *message = text;
    };
    if (!QSqlDatabase::isDriverAvailable(Text(Driver))) {
        say(QStringLiteral("Maps cannot be saved: Qt's SQLite driver is not installed (Debian: libqt6sql6-sqlite). "
                           "This session keeps its map in memory only."));
        return OpenResult::Failed;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    MapModel loaded(m_model.MaxRooms());
    const LoadResult load = CheckAndLoad(path, loaded);
    say(load.Message);
    if (load.Result == OpenResult::Refused) {
        qCInfo(lcMapper) << "map file refused:" << load.Message;
        return load.Result;
    }
    auto writer = std::make_unique<MapWriter>(path);
    auto thread = std::make_unique<QThread>();
    thread->setObjectName(QStringLiteral("map writer"));
    writer->moveToThread(thread.get());
    thread->start();
    bool opened = false;
    QString error;
    const bool created = load.Result == OpenResult::Created;
    QMetaObject::invokeMethod(
        writer.get(), [&] { opened = writer->Open(created, &error); }, Qt::BlockingQueuedConnection);
    if (!opened) {
        QMetaObject::invokeMethod(
            writer.get(), [&] { writer->Close(); }, Qt::BlockingQueuedConnection);
        thread->quit();
        thread->wait();
        say(QStringLiteral("The map file %1 cannot be written (%2). This session keeps its map in memory only.")
                .arg(Quoted(path), error));
        return OpenResult::Failed;
    }
    m_thread = thread.release();
    m_writer = writer.release();
    m_model.SetTrackChanges(true);
    if (created) {
        m_model.RequestFullWrite(); // a new file starts with what the map holds now
        Flush();
    } else {
        m_model.Swap(loaded);
        m_model.TakeChanges(); // the file already holds these rooms
    }
    return load.Result;
}

void MapStore::Close()
{
    if (!m_writer)
        return;
    if (!m_modelGone)
        Flush();
    MapWriter *writer = m_writer;
    QMetaObject::invokeMethod(
        writer, [writer] { writer->Close(); }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_writer;
    delete m_thread;
    m_writer = nullptr;
    m_thread = nullptr;
    m_timer.stop();
    if (!m_modelGone)
        m_model.SetTrackChanges(false);
}

void MapStore::ModelChanged()
{
    if (!m_writer)
        return;
    if (m_model.PendingChangeCount() >= BatchRooms)
        Flush();
    else if (!m_timer.isActive())
        m_timer.start();
}

void MapStore::Flush()
{
    m_timer.stop();
    if (!m_writer || m_modelGone)
        return;
    MapModel::Changes changes = m_model.TakeChanges();
    if (changes.IsEmpty())
        return;
    auto batch = std::make_shared<MapBatch>();
    batch->ReplaceAll = changes.Replaced;
    if (changes.Replaced) {
        batch->Rooms.reserve(static_cast<size_t>(m_model.RoomCount()));
        for (quint32 i = 0; i < m_model.NodeCount(); ++i) {
            if (m_model.At(i).Seen)
                batch->Rooms.push_back(m_model.Snapshot(i));
        }
    } else {
        batch->Rooms.reserve(changes.Rooms.size());
        for (quint32 node : changes.Rooms)
            batch->Rooms.push_back(m_model.Snapshot(node));
    }
    batch->HasCurrent = changes.CurrentChanged || changes.Replaced;
    batch->Current = m_model.CurrentRoom();
    MapWriter *writer = m_writer;
    std::shared_ptr<std::atomic<bool>> failed = m_failed;
    QPointer<MapStore> store(this);
    QMetaObject::invokeMethod(
        writer,
        [writer, batch, failed, store] {
            QString error;
            if (writer->Write(*batch, &error))
                return;
            failed->store(true);
            QMetaObject::invokeMethod(
                store,
                [store, error] {
                    if (store)
                        store->ReportWriteFailure(error);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

bool MapStore::WaitForWrites()
{
    if (m_writer)
        QMetaObject::invokeMethod(
            m_writer, [] {}, Qt::BlockingQueuedConnection);
    return !m_failed->load();
}

void MapStore::ReportWriteFailure(const QString &message)
{
    qCWarning(lcMapper) << "map write failed:" << message;
    if (m_reported)
        return;
    m_reported = true;
    emit WriteFailed(QStringLiteral("The map could not be saved to %1 (%2); the map itself is kept for this session.")
                         .arg(Quoted(m_path), message));
}

QByteArray MapStore::ExportJson() const
{
    return ExportMapJson(m_model);
}

bool MapStore::ImportJson(const QByteArray &json, QString *message)
{
    if (!ImportMapJson(json, m_model, message))
        return false;
    Flush();
    return true;
}

} // namespace wren
