// SPDX-License-Identifier: GPL-3.0-or-later
// Copies the text a session shows into its log file.
#include "logging/session_log.h"

#include "config/logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace wren {

QString SessionLog::ResolvePath(const QByteArray &fileName) const
{
    QString name = QString::fromLocal8Bit(fileName);
    if (QFileInfo(name).isAbsolute() || m_baseFolder.isEmpty())
        return name;
    return QDir(m_baseFolder).filePath(name);
}

void SessionLog::WriteLog(int mode, const QByteArray &ownFile, const QByteArray &commonFile, QByteArrayView text)
{
    const QByteArray &fileName = mode == 2 ? commonFile : mode == 1 ? ownFile : QByteArray();
    if (fileName.isEmpty() || text.isEmpty())
        return;
    const QString path = ResolvePath(fileName);
    QFile file(path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Append);
    if (ok)
        ok = file.write(text.data(), text.size()) == text.size();
    if (ok) {
        file.close();
        ok = file.error() == QFileDevice::NoError;
    }
    if (ok) {
        m_failing.remove(path);
        return;
    }
    // Report a failing file once; every later write tries again quietly.
    qCDebug(lcLogging) << "log write to" << path << "failed:" << file.errorString();
    if (m_failing.contains(path))
        return;
    m_failing.insert(path);
    if (m_report)
        m_report(QStringLiteral("Could not write to the log file %1: %2")
                     .arg(QDir::toNativeSeparators(path), file.errorString()));
}

} // namespace wren
