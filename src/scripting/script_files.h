// SPDX-License-Identifier: GPL-3.0-or-later
// A world's scripts folder: where it is, which names it takes, and the only file access scripts have.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace wren {

class AppSettings;

/// "<ProgramFolder>/scripts/<host>.<port>". Bytes of the host other than letters, digits, "-" and "."
/// become "_", and a host of dots only is "_", so the name stays one folder inside "scripts".
QString ScriptsFolder(const QByteArray &host, int port);

/// A world's scripting switches, from wrenclient.ini ([<host>:<port>] Scripts/Enabled, Scripts/MemoryMB).
struct ScriptWorldSettings {
    bool Enabled = true;
    qint64 MemoryBytes = qint64(64) * 1024 * 1024;
};
ScriptWorldSettings ReadScriptSettings(const AppSettings &settings, const QByteArray &host, const QByteArray &port);

/// The files of one scripts folder, as scripts (files.read, files.write, files.list) and the editor reach
/// them. A name is one plain file in the folder: letters, digits, ".", "-" and "_", not starting with a dot,
/// at most MaxNameLength bytes; no separators, no "..". Links and anything but regular files are passed
/// over. Writes go to a temporary file renamed over the old one, within the size caps.
class ScriptFolder
{
public:
    static constexpr qsizetype MaxNameLength = 64;
    static constexpr qint64 MaxFileBytes = qint64(4) * 1024 * 1024;
    static constexpr qint64 MaxFolderBytes = qint64(32) * 1024 * 1024;
    static constexpr int MaxFiles = 256;

    explicit ScriptFolder(QString path = {})
        : m_path(std::move(path))
    {
    }
    const QString &Path() const { return m_path; }

    /// Empty when @p name is acceptable, else why not.
    static QByteArray NameProblem(const QByteArray &name);
    static bool IsScriptName(const QByteArray &name) { return name.endsWith(".lua") && NameProblem(name).isEmpty(); }

    /// The names of the plain files held, sorted by bytes; at most MaxFiles.
    QList<QByteArray> Files() const;
    /// The ".lua" files among them, in the order they load.
    QList<QByteArray> Scripts() const;
    /// The file's bytes; nothing with @p error set when the name is refused, the file is missing, too
    /// large or unreadable.
    std::optional<QByteArray> Read(const QByteArray &name, QByteArray *error = nullptr) const;
    /// Replaces (or creates) the file; false with @p error set when refused or the save failed. Creates
    /// the folder when it is missing.
    bool Write(const QByteArray &name, const QByteArray &bytes, QByteArray *error = nullptr) const;

private:
    QString FilePath(const QByteArray &name) const;

    QString m_path;
};

} // namespace wren
