// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the files markup names (pictures and sounds): locally first, else downloaded into the program folder.
#include "markup/zel_media.h"

#include "config/logging.h"
#include "config/save_file.h"
#include "markup/zel_interpreter.h"

#include <QDir>
#include <QFileInfo>

namespace wren {

QByteArray UrlFileName(const QByteArray &address)
{
    for (qsizetype i = address.size() - 1; i >= 0; --i) {
        if (address[i] == '/' || address[i] == ':')
            return address.mid(i + 1);
    }
    return {};
}

QString LocateZelFile(const QByteArray &source, const QString &programFolder)
{
    const QDir folder(programFolder);
    const QString name = QString::fromLocal8Bit(source);
    const QString lastPart = QString::fromLocal8Bit(UrlFileName(source));
    const QString candidates[]
        = {name, folder.filePath(name), lastPart, lastPart.isEmpty() ? QString() : folder.filePath(lastPart)};
    for (const QString &candidate : candidates) {
        if (!candidate.isEmpty() && QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

QByteArray CompleteZelAddress(const QByteArray &source, const QByteArray &baseUrl)
{
    QByteArray address = source;
    if (!IsWebAddress(address)) {
        // Nothing is inserted or removed at the seam: a base ending in "/" gives "//".
        if (address.startsWith('/') && !baseUrl.isEmpty())
            address = baseUrl + address;
        if (!IsWebAddress(address))
            address = "http://" + address;
    }
    return address;
}

bool IsProgramFile(const QString &fileName)
{
    static const QStringList own
        = {QStringLiteral("wn.ini"),         QStringLiteral("muds.ini"),     QStringLiteral("mudlist.txt"),
           QStringLiteral("wrenclient.ini"), QStringLiteral("versions.txt"), QStringLiteral("WrenImage.jpg"),
           QStringLiteral("connect.wav")};
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    return own.contains(fileName, Qt::CaseInsensitive) || suffix == QLatin1String("wno")
           || suffix == QLatin1String("wn2") || suffix == QLatin1String("m3u") || suffix == QLatin1String("pls");
}

bool IsSafeDownloadName(const QByteArray &name)
{
    if (name.isEmpty() || name.contains('/') || name.contains('\\') || name.contains("..") || name.contains('\0')
        || name.startsWith('.'))
        return false;
    static const QStringList readable = {QStringLiteral("bmp"),  QStringLiteral("ico"), QStringLiteral("jpg"),
                                         QStringLiteral("jpeg"), QStringLiteral("gif"), QStringLiteral("wav"),
                                         QStringLiteral("mp3"),  QStringLiteral("mid"), QStringLiteral("midi")};
    const QString fileName = QString::fromLocal8Bit(name);
    return readable.contains(QFileInfo(fileName).suffix().toLower()) && !IsProgramFile(fileName);
}

ZelFile FetchZelFile(const QByteArray &source, const QByteArray &baseUrl, const HttpClient &http,
                     const QString &programFolder)
{
    ZelFile file {LocateZelFile(source, programFolder), source};
    if (!file.Path.isEmpty())
        return file;
    file.Shown = CompleteZelAddress(source, baseUrl);
    const QByteArray name = UrlFileName(file.Shown);
    // The name is checked before anything is fetched: a download that may not be kept is not made.
    if (!IsSafeDownloadName(name)) {
        qCDebug(lcMarkup) << "refused to download" << file.Shown << "as" << name;
        return file;
    }
    const HttpResult result = http.Get(file.Shown);
    if (result.Body.size() > MaxMediaFile)
        return file;
    if (!result.Ok)
        return file;
    const QString path = QDir(programFolder).filePath(QString::fromLocal8Bit(name));
    QString error;
    if (!SaveFileAtomically(path, result.Body, &error)) {
        qCDebug(lcMarkup) << "could not write" << path << error;
        return file;
    }
    file.Path = path;
    return file;
}

} // namespace wren
