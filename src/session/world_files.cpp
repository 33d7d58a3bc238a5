// SPDX-License-Identifier: GPL-3.0-or-later
// A world's files: its options record (".wno") and its automations (".wn2"), loaded, saved, imported and
// exported.
#include "session/world_files.h"

#include "automation/advanced_file.h"
#include "automation/automation_store.h"
#include "automation/settings_exchange.h"
#include "config/save_file.h"
#include "options/options_file.h"

#include <QDir>
#include <QFile>

#include <optional>

namespace wren {

namespace {

// A text file of automations to import: nothing when it is missing, its bytes (up to a sane size) otherwise.
std::optional<QByteArray> ReadImport(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    return file.read(qint64(16) * 1024 * 1024);
}

} // namespace

WorldFiles::WorldFiles(WorldFilesHost &host, TSessionOptions &options, AutomationStore &automation,
                       QString &optionsFile, QString &advancedFile)
    : m_host(host)
    , m_options(options)
    , m_automation(automation)
    , m_optionsFile(optionsFile)
    , m_advancedFile(advancedFile)
{
}

void WorldFiles::Report(const QString &path, const QString &error)
{
    m_host.FileNotice(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), error));
}

bool WorldFiles::LoadOptions()
{
    QString error;
    const OptionsLoad result = wren::LoadOptions(m_optionsFile, m_options, &error);
    if (result == OptionsLoad::Unreadable)
        NoteLoadFailed(m_optionsFile, error);
    else
        NoteLoaded(m_optionsFile);
    if (result == OptionsLoad::Upgraded)
        m_host.FileNotice(QString::fromLatin1(OptionsUpgradeNotice));
    if (!error.isEmpty())
        Report(m_optionsFile, error);
    m_host.OptionsLoaded();
    return result == OptionsLoad::Loaded || result == OptionsLoad::Upgraded;
}

bool WorldFiles::SaveOptions()
{
    QString error;
    if (wren::SaveOptions(m_optionsFile, m_options, &error))
        return true;
    Report(m_optionsFile, error);
    return false;
}

bool WorldFiles::LoadAdvanced()
{
    QString error;
    if (wren::LoadAdvanced(m_advancedFile, m_automation, &error)) {
        NoteLoaded(m_advancedFile);
        return true;
    }
    NoteLoadFailed(m_advancedFile, error);
    Report(m_advancedFile, error);
    return false;
}

bool WorldFiles::SaveAdvanced()
{
    QString error;
    if (wren::SaveAdvanced(m_advancedFile, m_automation, &error))
        return true;
    Report(m_advancedFile, error);
    return false;
}

void WorldFiles::Imported(int items, const QByteArray &done, const QByteArray &why)
{
    if (items > 0)
        m_host.FileLine(done);
    else
        m_host.FileLine("\nNothing was imported: " + why + "\n");
}

void WorldFiles::ExportAdvanced(const QString &path)
{
    QString error;
    if (!wren::SaveAdvanced(path, m_automation, &error)) {
        Report(path, error);
        return;
    }
    m_host.FileLine("\nSettings exported successfully!\n");
}

void WorldFiles::ImportAdvanced(const QString &path)
{
    QString error;
    int items = 0;
    if (!wren::LoadAdvanced(path, m_automation, &error, &items)) {
        Report(path, error);
        return;
    }
    Imported(items, "\nSettings imported successfully!\n",
             "the file holds no settings records (each is " + QByteArray::number(AdvancedRecordSize) + " bytes).");
}

void WorldFiles::ExportText(const QString &path)
{
    QString error;
    if (!SaveFileAtomically(path, ExportTextBytes(m_automation), &error)) {
        Report(path, error);
        return;
    }
    m_host.FileLine("\nSettings exported successfully!\n");
}

void WorldFiles::ImportZMud(const QString &path)
{
    QString error;
    const auto bytes = ReadImport(path, &error);
    if (!bytes) {
        if (!error.isEmpty())
            Report(path, error);
        return;
    }
    Imported(ImportZMudBytes(*bytes, m_automation, m_options.PathChar), "\nSettings imported successfully!\n",
             "the file holds no #ALIAS, #KEY, #PATH or #TRIGGER lines of a zMUD export.");
}

void WorldFiles::ImportWns(const QString &path)
{
    QString error;
    const auto bytes = ReadImport(path, &error);
    if (!bytes) {
        if (!error.isEmpty())
            Report(path, error);
        return;
    }
    Imported(ImportWnsBytes(*bytes, m_automation), "\nWN settings imported successfully!\n",
             "the file holds no items under [Aliases], [Macros] or [Triggers].");
}

} // namespace wren
