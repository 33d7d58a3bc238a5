// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a settings file safely: a temporary file renamed over the old one.
#include "config/save_file.h"

#include <QSaveFile>

namespace wren {

bool SaveFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    file.cancelWriting();
    return false;
}

} // namespace wren
