// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a settings file safely: a temporary file renamed over the old one.
#include "config/save_file.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cstdio>

namespace wren {

namespace {

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

} // namespace wren
