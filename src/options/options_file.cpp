// SPDX-License-Identifier: GPL-3.0-or-later
// Loading and saving a world's ".wno" options file.
#include "options/options_file.h"

#include "config/logging.h"
#include "config/save_file.h"

#include <QFile>

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
    qCDebug(lcOptions) << path << "holds" << bytes.size() << "bytes, not a whole record: brought up to date";
    ReadRecordIdentity(bytes, options);
    options.SetDefaults();
    SaveOptions(path, options, error);
    return OptionsLoad::Upgraded;
}

bool SaveOptions(const QString &path, const TSessionOptions &options, QString *error)
{
    return SaveFileAtomically(path, WriteOptionsRecord(options), error);
}

} // namespace wren
