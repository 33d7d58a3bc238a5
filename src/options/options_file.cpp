// SPDX-License-Identifier: GPL-3.0-or-later
// Loading and saving a world's ".wno" options file.
#include "options/options_file.h"

#include <QFile>
#include <QSaveFile>

namespace wren {

const char OptionsUpgradeNotice[] = "Your options file has been updated to reflect new features in Wren Client.\n"
                                    "All of your advanced features are unchanged.\n"
                                    "Please ensure your options are correct.";

OptionsLoad LoadOptions(const QString &path, TSessionOptions &options, QString *error)
{
    QFile file(path);
    if (!file.exists())
        return OptionsLoad::NoFile;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return OptionsLoad::Unreadable;
    }
    const QByteArray bytes = file.read(TSessionOptions::RecordSize);
    file.close();
    if (auto record = ReadOptionsRecord(bytes)) {
        options = *record;
        return OptionsLoad::Loaded;
    }
    ReadRecordIdentity(bytes, options);
    options.SetDefaults();
    SaveOptions(path, options, error);
    return OptionsLoad::Upgraded;
}

bool SaveOptions(const QString &path, const TSessionOptions &options, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray record = WriteOptionsRecord(options);
    if (file.write(record) != record.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace wren
