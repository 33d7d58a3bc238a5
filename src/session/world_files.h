// SPDX-License-Identifier: GPL-3.0-or-later
// A world's files: its options record (".wno") and its automations (".wn2"), loaded, saved, imported and
// exported.
#pragma once

#include <QByteArray>
#include <QString>

namespace wren {

class AutomationStore;
struct TSessionOptions;

/// What the files tell their session.
class WorldFilesHost
{
public:
    virtual ~WorldFilesHost() = default;
    /// A file could not be read or written: a message box.
    virtual void FileNotice(const QString &text) = 0;
    /// A line in the view about an import or export.
    virtual void FileLine(const QByteArray &text) = 0;
    /// New options were read: the view takes them.
    virtual void OptionsLoaded() = 0;
};

/// A world's files work on the session's options and automations. A file that is there but could not be
/// read is not written over by what little was read: saving it asks first and keeps a backup.
class WorldFiles
{
public:
    WorldFiles(WorldFilesHost &host, TSessionOptions &options, AutomationStore &automation, QString &optionsFile,
               QString &advancedFile);

    bool LoadOptions();
    bool SaveOptions();
    bool LoadAdvanced();
    bool SaveAdvanced();
    /// The import and export menu commands: each reports what it did with a line in the view; a file that
    /// cannot be read or written is reported in a message box, and one that holds nothing to import says so.
    void ExportAdvanced(const QString &path);
    void ImportAdvanced(const QString &path);
    void ExportText(const QString &path);
    void ImportZMud(const QString &path);
    void ImportWns(const QString &path);

private:
    void Report(const QString &path, const QString &error);
    /// The line after an import of @p items items; @p why tells what a file without any lacked.
    void Imported(int items, const QByteArray &done, const QByteArray &why);

    WorldFilesHost &m_host;
    TSessionOptions &m_options;
    AutomationStore &m_automation;
    QString &m_optionsFile;
    QString &m_advancedFile;
};

} // namespace wren
