// SPDX-License-Identifier: GPL-3.0-or-later
// One world's map in an SQLite file: loaded once, then written as rooms change, a batch at a time, on its own thread.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>

class QThread;

namespace wren {

class AppSettings;
class MapModel;
class MapWriter;

/// Whether the map is switched on for a world (per world in wrenclient.ini, key MapKey; on by default).
bool MapEnabled(const AppSettings &settings, const QByteArray &host, const QByteArray &port);
void SetMapEnabled(AppSettings &settings, const QByteArray &host, const QByteArray &port, bool on);
inline constexpr char MapKey[] = "Map";

/// Keeps a MapModel in a file. The file is an SQLite database with one row per seen room, so a change writes
/// only the rooms it touched; PRAGMA user_version holds the format (SchemaVersion).
///
/// Writing: every change of the model is noted; at most BatchIntervalMs later (sooner once BatchRooms rooms
/// are waiting) the changed rooms are copied and handed to a writer thread, which commits them in one
/// transaction. A crash loses at most the changes of that last moment. Close() hands over the rest and waits.
///
/// Opening never harms a file it does not understand: a file that is not SQLite, fails SQLite's quick_check,
/// lacks the map's tables, or has a newer format is refused with a message, left exactly as it is, and the map
/// stays in memory only for the session (IsStored() is false).
class MapStore : public QObject
{
    Q_OBJECT
public:
    static constexpr int SchemaVersion = 1;
    static constexpr int BatchIntervalMs = 250;
    static constexpr int BatchRooms = 500;

    /// Keeps @p model, which should outlive the store (the store stops writing if it does not).
    explicit MapStore(MapModel &model, QObject *parent = nullptr);
    ~MapStore() override;

    /// "<host>.<port>.map": the host in lower case with anything but letters, digits, dots and hyphens made
    /// "_" (at most 100 bytes), the port's digits.
    static QString FileNameFor(const QByteArray &host, const QByteArray &port);
    /// ProgramFolder() + "/maps/" + FileNameFor(host, port).
    static QString MapFilePath(const QByteArray &host, const QByteArray &port);

    enum class OpenResult {
        Opened, ///< the file's rooms replaced the model's; changes go to the file from now on
        Created, ///< there was no map file (or an empty one): the model's rooms are written to a new one
        Refused, ///< the file is damaged, not a map, or newer: left untouched, the map stays in memory
        Failed, ///< the file could not be created or opened for writing (or SQLite is missing): in memory
    };
    /// Loads the map file at @p path into the model and keeps writing to it. @p message says what happened in
    /// the program's words for every result but Opened and Created (and for Opened when rooms were skipped).
    OpenResult Open(const QString &path, QString *message = nullptr);
    /// Writes what is left, waits for the writer and closes the file. The model stays as it is.
    void Close();
    bool IsStored() const { return m_writer != nullptr; }
    QString Path() const { return m_path; }

    /// Hands the changes noted so far to the writer now (the timer does this on its own).
    void Flush();
    /// Waits until the writer has committed everything handed to it; false when any write failed.
    bool WaitForWrites();

    /// The model as JSON (see ExportMapJson).
    QByteArray ExportJson() const;
    /// Replaces the model with a JSON map and rewrites the file in one transaction; a bad file changes nothing.
    bool ImportJson(const QByteArray &json, QString *message = nullptr);

signals:
    /// A batch could not be written (the disk is full, the file was taken away); said once per Open.
    void WriteFailed(const QString &message);

private:
    void ModelChanged();
    void ReportWriteFailure(const QString &message);

    MapModel &m_model;
    QString m_path;
    QTimer m_timer;
    QThread *m_thread = nullptr;
    MapWriter *m_writer = nullptr;
    std::shared_ptr<std::atomic<bool>> m_failed;
    bool m_reported = false;
    bool m_modelGone = false;
};

} // namespace wren
