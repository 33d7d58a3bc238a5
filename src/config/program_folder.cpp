// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program keeps its files: per-world settings, the world list, downloaded media and logs.
#include "config/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace wren {

namespace {

QString &Chosen()
{
    static QString folder;
    return folder;
}

bool IsWritableFolder(const QString &folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    // QFileInfo::isWritable does not see every reason a write fails (read-only mounts, ACLs): try one.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".wren-write-test-XXXXXX")));
    return probe.open();
}

// An installed copy, its desktop entry in the data folder beside its bin folder, never writes beside itself,
// even where it could (run by root, or from a prefix the user owns): that folder belongs to the package
// manager or to whoever installed it, and files left there would be lost on the next update.
bool IsInstalledCopy(const QString &executableFolder)
{
#ifdef WREN_DESKTOP_ENTRY_FROM_BIN
    return QFileInfo::exists(QDir(executableFolder).filePath(QStringLiteral(WREN_DESKTOP_ENTRY_FROM_BIN)));
#else
    Q_UNUSED(executableFolder);
    return false;
#endif
}

} // namespace

QString ProgramFolder()
{
    QString &folder = Chosen();
    if (!folder.isEmpty())
        return folder;
    const QString executable = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    if (!IsInstalledCopy(executable) && IsWritableFolder(executable)) {
        folder = executable;
    } else {
        folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        if (folder.isEmpty())
            folder = QDir::homePath() + QStringLiteral("/.wren-client");
        QDir().mkpath(folder);
    }
    return folder;
}

void SetProgramFolder(const QString &folder)
{
    QDir().mkpath(folder);
    Chosen() = folder;
}

} // namespace wren
