// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the files markup names (pictures and sounds): locally first, else downloaded into the program folder.
#pragma once

#include "config/http_client.h"

#include <QByteArray>
#include <QString>

namespace wren {

/// The text after the last "/" or ":"; empty when the address ends with one or has neither.
QByteArray UrlFileName(const QByteArray &address);

/// The first of these that names an existing file: the source itself, the program folder + the source,
/// its UrlFileName, the program folder + its UrlFileName. Empty when none does.
QString LocateZelFile(const QByteArray &source, const QString &programFolder);

/// The address a source that was not found is fetched from: a non-web source that begins with "/" is put
/// after the base address (when there is one); whatever is still not a web address gets "http://" in front.
QByteArray CompleteZelAddress(const QByteArray &source, const QByteArray &baseUrl);

/// What a download may be written as. A server names the file, so the name must be a picture or sound the
/// program reads (bmp, ico, jpg, jpeg, gif, wav, mp3, mid, midi), hold no path separator or "..", and not
/// be one of the program's own files.
bool IsSafeDownloadName(const QByteArray &name);

/// The program's own files in its folder, which no download may replace.
bool IsProgramFile(const QString &fileName);

/// The largest picture or sound a download keeps.
inline constexpr qint64 MaxMediaFile = qint64(16) * 1024 * 1024;

/// Where a source was found or put, or why not.
struct ZelFile {
    QString Path; ///< empty on failure
    QByteArray Shown; ///< the source as far as it was completed, for the error line
};

/// Locates @p source, or downloads it with @p http into @p programFolder and locates the copy there.
ZelFile FetchZelFile(const QByteArray &source, const QByteArray &baseUrl, const HttpClient &http,
                     const QString &programFolder);

} // namespace wren
