// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and replacing the user's files safely: whole or not at all, and a temporary file renamed over
// the old one.
#include "config/save_file.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QThread>

#include <cstdio>
#include <optional>

namespace wren {

namespace {

// Files that failed to load, by absolute path, with the reason; the program's files are few. Downloads
// are saved from worker threads, so the list is looked at under a lock.
QHash<QString, QString> &FailedLoads()
{
    static QHash<QString, QString> failed;
    return failed;
}

QMutex &FailedLoadsLock()
{
    static QMutex lock;
    return lock;
}

std::optional<QString> FailedLoad(const QString &key)
{
    const QMutexLocker locker(&FailedLoadsLock());
    const auto found = FailedLoads().constFind(key);
    if (found == FailedLoads().constEnd())
        return std::nullopt;
    return found.value();
}

std::function<bool(const QString &)> &OverwriteQuestion()
{
    static std::function<bool(const QString &)> ask;
    return ask;
}

QString Key(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

// A file that failed to load is replaced only when the user agrees, and only once it has been copied aside.
bool MayReplace(const QString &path, QString *error)
{
    const QString key = Key(path);
    const std::optional<QString> failed = FailedLoad(key);
    if (!failed || !QFileInfo::exists(path))
        return true;
    const QString shown = QDir::toNativeSeparators(path);
    const QString question = QStringLiteral("%1 could not be read when it was loaded (%2), so what the program holds "
                                            "may be less than the file does.\n\nReplace the file anyway? A copy of "
                                            "it is kept beside it.")
                                 .arg(shown, *failed);
    // Only the window's thread may ask; a save from elsewhere leaves such a file alone.
    const bool mayAsk
        = QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
    if (!mayAsk || !OverwriteQuestion() || !OverwriteQuestion()(question)) {
        if (error)
            *error = QStringLiteral("It was not saved: the file could not be read when it was loaded (%1), and it is "
                                    "kept as it is.")
                         .arg(*failed);
        return false;
    }
    const QString backup = path + QLatin1Char('.')
                           + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))
                           + QStringLiteral(".bak");
    if (!QFile::copy(path, backup)) {
        if (error)
            *error = QStringLiteral("It was not saved: the old file could not be copied to %1.")
                         .arg(QDir::toNativeSeparators(backup));
        return false;
    }
    NoteLoaded(path);
    return true;
}

// QTemporaryFile creates its file for the owner alone; the rename keeps those permissions.
bool SaveOwnerOnly(const QString &path, const QByteArray &bytes, QString *error)
{
    const QFileInfo target(path);
    QTemporaryFile file(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    file.setAutoRemove(true);
    bool ok = file.open() && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
              && file.write(bytes) == bytes.size() && file.flush();
    if (ok) {
        file.close();
        ok = std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) == 0;
        if (ok)
            file.setAutoRemove(false); // it is the target now
    }
    if (!ok && error)
        *error = file.errorString().isEmpty() ? QStringLiteral("The file could not be replaced.") : file.errorString();
    return ok;
}

} // namespace

bool SaveFileAtomically(const QString &path, const QByteArray &bytes, QString *error, bool ownerOnly)
{
    if (!MayReplace(path, error))
        return false;
    if (ownerOnly)
        return SaveOwnerOnly(path, bytes, error);
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    file.cancelWriting();
    return false;
}

void NoteLoadFailed(const QString &path, const QString &reason)
{
    const QMutexLocker locker(&FailedLoadsLock());
    FailedLoads().insert(Key(path), reason);
}

void NoteLoaded(const QString &path)
{
    const QMutexLocker locker(&FailedLoadsLock());
    FailedLoads().remove(Key(path));
}

FileRead ReadUserFile(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error)
{
    bytes->clear();
    QFile file(path);
    if (!file.exists()) {
        NoteLoaded(path);
        return FileRead::Missing;
    }
    QString problem;
    if (!file.open(QIODevice::ReadOnly)) {
        problem = file.errorString();
    } else {
        // One byte more than allowed tells a file that is too large, whatever its reported size.
        *bytes = file.read(maxBytes + 1);
        if (bytes->size() > maxBytes) {
            bytes->clear();
            problem = QStringLiteral("The file is larger than %1 KiB.").arg(maxBytes / 1024);
        } else if (file.error() != QFileDevice::NoError) {
            bytes->clear();
            problem = file.errorString();
        }
    }
    if (problem.isEmpty()) {
        NoteLoaded(path);
        return FileRead::Read;
    }
    NoteLoadFailed(path, problem);
    if (error)
        *error = problem;
    return FileRead::Failed;
}

void SetOverwriteQuestion(std::function<bool(const QString &question)> ask)
{
    OverwriteQuestion() = std::move(ask);
}

} // namespace wren
