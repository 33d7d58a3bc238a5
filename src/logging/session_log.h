// SPDX-License-Identifier: GPL-3.0-or-later
// Copies the text a session shows into its log file.
#pragma once

#include <QByteArrayView>
#include <QSet>
#include <QString>

#include <functional>

namespace wren {

class SessionLog
{
public:
    /// Called once for each file that cannot be opened or written, with a message for the user.
    using FailureReport = std::function<void(const QString &message)>;

    void SetFailureReport(FailureReport report) { m_report = std::move(report); }
    /// Relative file names are taken inside this folder.
    void SetBaseFolder(const QString &folder) { m_baseFolder = folder; }

    /// Appends @p text exactly as given to the file chosen by @p mode (1 own file, 2 common file, otherwise
    /// none). The file is opened and closed on every call. A failure never stops the caller.
    void WriteLog(int mode, const QByteArray &ownFile, const QByteArray &commonFile, QByteArrayView text);

    /// The path a log file name stands for.
    QString ResolvePath(const QByteArray &fileName) const;

private:
    FailureReport m_report;
    QString m_baseFolder;
    QSet<QString> m_failing; ///< files whose failure has been reported and that have not worked since
};

} // namespace wren
