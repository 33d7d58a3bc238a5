// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own settings beyond the classic files: addresses of web services and per-world switches.
#include "config/app_settings.h"

#include "config/program_folder.h"

#include <QDir>
#include <QSettings>

namespace wren {

namespace {

QString WorldGroup(const QByteArray &host, const QByteArray &port)
{
    // Group names are kept apart from keys by QSettings' own escaping.
    return QStringLiteral("World %1 %2").arg(QString::fromLatin1(host.trimmed()), QString::fromLatin1(port.trimmed()));
}

} // namespace

AppSettings::AppSettings()
    : m_path(QDir(ProgramFolder()).filePath(QString::fromLatin1(FileName)))
{
}

AppSettings::AppSettings(const QString &path)
    : m_path(path)
{
}

QVariant AppSettings::Value(const QString &key, const QVariant &fallback) const
{
    QSettings settings(m_path, QSettings::IniFormat);
    return settings.value(key, fallback);
}

void AppSettings::SetValue(const QString &key, const QVariant &value)
{
    QSettings settings(m_path, QSettings::IniFormat);
    settings.setValue(key, value);
    settings.sync();
}

QByteArray AppSettings::MakerHost() const
{
    return Value(QStringLiteral("Program/MakerHost")).toString().toUtf8().trimmed();
}

void AppSettings::SetMakerHost(const QByteArray &host)
{
    SetValue(QStringLiteral("Program/MakerHost"), QString::fromUtf8(host.trimmed()));
}

QByteArray AppSettings::MudListHost() const
{
    return Value(QStringLiteral("Program/MudListHost")).toString().toUtf8().trimmed();
}

void AppSettings::SetMudListHost(const QByteArray &host)
{
    SetValue(QStringLiteral("Program/MudListHost"), QString::fromUtf8(host.trimmed()));
}

QVariant AppSettings::WorldValue(const QByteArray &host, const QByteArray &port, const QString &key,
                                 const QVariant &fallback) const
{
    return Value(WorldGroup(host, port) + QLatin1Char('/') + key, fallback);
}

void AppSettings::SetWorldValue(const QByteArray &host, const QByteArray &port, const QString &key,
                                const QVariant &value)
{
    SetValue(WorldGroup(host, port) + QLatin1Char('/') + key, value);
}

} // namespace wren
