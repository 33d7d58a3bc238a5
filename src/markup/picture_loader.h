// SPDX-License-Identifier: GPL-3.0-or-later
// Decodes the pictures markup shows: JPEG through libjpeg, GIF, BMP and ICO through Qt's readers.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace wren {

/// Decodes JPEG bytes with libjpeg; a null image, with the decoder's words in @p error, when they are not
/// a picture it can read. Pictures over 8,192 pixels a side or 16 million pixels are refused before decoding.
QImage DecodeJpeg(const QByteArray &bytes, QString *error = nullptr);

/// The largest picture decoded: a side, and pixels in all. A few kilobytes of a server's file can declare
/// gigabytes of pixels, so sizes are read from the file and checked before anything is decoded.
inline constexpr int MaxPictureSide = 8192;
inline constexpr qint64 MaxPicturePixels = qint64(16) * 1024 * 1024;

/// The size the decoder will really produce for the picture in @p bytes of format @p format ("jpg", "gif",
/// "bmp", "ico"): for an icon, the largest of its images, read from each image itself (an icon's directory
/// may say 16 by 16 of a PNG that holds 5,500 by 5,500). An invalid size when it cannot be told.
QSize PictureSize(const QByteArray &bytes, const QByteArray &format);

/// The picture in the file at @p path, its decoder picked by the extension ("jpg" and "jpeg" by libjpeg;
/// "gif", "bmp" and "ico" by Qt). Other extensions, "wmf" and "emf" (Windows metafiles, which nothing reads
/// outside Windows) among them, give a null image, as does a broken or oversized file, or one whose
/// decoded pixels would take more than @p maxBytes.
QImage LoadPicture(const QString &path, QString *error = nullptr, qint64 maxBytes = MaxPicturePixels * 4);

} // namespace wren
