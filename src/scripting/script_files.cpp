// SPDX-License-Identifier: GPL-3.0-or-later
// A world's scripts folder: where it is, which names it takes, and the only file access scripts have.
#include "scripting/script_files.h"

#include "config/app_settings.h"
#include "config/program_folder.h"
#include "config/save_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace wren {

namespace {

constexpr qint64 Megabyte = qint64(1024) * 1024;

} // namespace

QString ScriptsFolder(const QByteArray &host, int port)
{
    QByteArray safe = host;
    for (char &c : safe) {
        const bool plain
            = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!plain)
            c = '_';
    }
    if (std::all_of(safe.begin(), safe.end(), [](char c) { return c == '.'; }))
        safe = "_";
    return ProgramFolder() + QStringLiteral("/scripts/") + QString::fromLatin1(safe) + QLatin1Char('.')
           + QString::number(port);
}

ScriptWorldSettings ReadScriptSettings(const AppSettings &settings, const QByteArray &host, const QByteArray &port)
{
    ScriptWorldSettings result;
    result.Enabled = settings.WorldValue(host, port, QStringLiteral("Scripts/Enabled"), true).toBool();
    bool ok = false;
    const qint64 megabytes = settings.WorldValue(host, port, QStringLiteral("Scripts/MemoryMB"), 64).toLongLong(&ok);
    // A value that is no number keeps the default; a tiny or huge one is brought within reason.
    if (ok)
        result.MemoryBytes = std::clamp<qint64>(megabytes, 4, 4096) * Megabyte;
    return result;
}

QByteArray ScriptFolder::NameProblem(const QByteArray &name)
{
    if (name.isEmpty())
        return "no file name given";
    if (name.size() > MaxNameLength)
        return "the file name is longer than " + QByteArray::number(MaxNameLength) + " bytes";
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
                           || c == '.' || c == '_';
        if (!plain)
            return "a file name holds only letters, digits, '.', '-' and '_' (no folders)";
    }
    if (name.startsWith('.'))
        return "the file name starts with a dot";
    return {};
}

QString ScriptFolder::FilePath(const QByteArray &name) const
{
    return m_path + QLatin1Char('/') + QString::fromLatin1(name);
}

QList<QByteArray> ScriptFolder::Files() const
{
    QList<QByteArray> names;
    if (m_path.isEmpty())
        return names;
    const QFileInfoList entries
        = QDir(m_path).entryInfoList(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const QByteArray name = entry.fileName().toLatin1();
        if (entry.isSymLink() || !entry.isFile() || !NameProblem(name).isEmpty())
            continue;
        names.append(name);
    }
    std::sort(names.begin(), names.end());
    if (names.size() > MaxFiles)
        names.resize(MaxFiles);
    return names;
}

QList<QByteArray> ScriptFolder::Scripts() const
{
    QList<QByteArray> scripts;
    for (const QByteArray &name : Files()) {
        if (name.endsWith(".lua"))
            scripts.append(name);
    }
    return scripts;
}

std::optional<QByteArray> ScriptFolder::Read(const QByteArray &name, QByteArray *error) const
{
    const auto refuse = [error](const QByteArray &why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (const QByteArray problem = NameProblem(name); !problem.isEmpty())
        return refuse(problem);
    if (m_path.isEmpty())
        return refuse("this session has no scripts folder");
    const QFileInfo info(FilePath(name));
    if (!info.exists())
        return refuse("no file " + name);
    if (info.isSymLink() || !info.isFile())
        return refuse(name + " is not a plain file");
    if (info.size() > MaxFileBytes)
        return refuse(name + " is larger than " + QByteArray::number(MaxFileBytes / Megabyte) + " MB");
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return refuse(name + ": " + file.errorString().toUtf8());
    QByteArray bytes = file.read(MaxFileBytes + 1);
    if (bytes.size() > MaxFileBytes)
        return refuse(name + " is larger than " + QByteArray::number(MaxFileBytes / Megabyte) + " MB");
    return bytes;
}

bool ScriptFolder::Write(const QByteArray &name, const QByteArray &bytes, QByteArray *error) const
{
    const auto refuse = [error](const QByteArray &why) {
        if (error)
            *error = why;
        return false;
    };
    if (const QByteArray problem = NameProblem(name); !problem.isEmpty())
        return refuse(problem);
    if (m_path.isEmpty())
        return refuse("this session has no scripts folder");
    if (bytes.size() > MaxFileBytes)
        return refuse("a file may hold at most " + QByteArray::number(MaxFileBytes / Megabyte) + " MB");
    const QFileInfo target(FilePath(name));
    if (target.isSymLink() || (target.exists() && !target.isFile()))
        return refuse(name + " is not a plain file");
    const QList<QByteArray> present = Files();
    qint64 total = bytes.size();
    for (const QByteArray &other : present) {
        if (other != name)
            total += QFileInfo(FilePath(other)).size();
    }
    if (total > MaxFolderBytes)
        return refuse("the scripts folder may hold at most " + QByteArray::number(MaxFolderBytes / Megabyte) + " MB");
    if (!present.contains(name) && present.size() >= MaxFiles)
        return refuse("the scripts folder may hold at most " + QByteArray::number(MaxFiles) + " files");
    if (!QDir().mkpath(m_path))
        return refuse("the scripts folder could not be created");
    QString why;
    if (!SaveFileAtomically(target.filePath(), bytes, &why))
        return refuse(name + ": " + why.toUtf8());
    return true;
}

} // namespace wren
