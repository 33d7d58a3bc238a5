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

/// The picture in the file at @p path, its decoder picked by the extension ("jpg" and "jpeg" by libjpeg;
/// "gif", "bmp" and "ico" by Qt). Other extensions, "wmf" and "emf" (Windows metafiles, which nothing reads
/// outside Windows) among them, give a null image, as does a broken or oversized file.
QImage LoadPicture(const QString &path, QString *error = nullptr);

} // namespace wren
