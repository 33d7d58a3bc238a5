// SPDX-License-Identifier: GPL-3.0-or-later
// Decodes the pictures markup shows: JPEG through libjpeg, GIF, BMP and ICO through Qt's readers.
#include "markup/picture_loader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace wren {

namespace {

constexpr int MaxSide = MaxPictureSide;
constexpr qint64 MaxPixels = MaxPicturePixels;
constexpr long MaxDecoderMemory = 64L * 1024 * 1024;
constexpr qint64 MaxFileSize = qint64(64) * 1024 * 1024;

// libjpeg's own error handler ends the process; this one jumps back to the decoder with the message.
struct ErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info)
{
    auto *manager = reinterpret_cast<ErrorManager *>(info->err);
    (*info->err->format_message)(info, manager->Message);
    std::longjmp(manager->Jump, 1);
}

void OnJpegWarning(j_common_ptr, int) {}

// Kept free of objects with destructors: a jump out of libjpeg must not skip one.
bool Decompress(const unsigned char *data, unsigned long size, QImage *image, char *message)
{
    jpeg_decompress_struct info;
    ErrorManager manager;
    info.err = jpeg_std_error(&manager.Base);
    manager.Base.error_exit = OnJpegError;
    manager.Base.emit_message = OnJpegWarning;
    manager.Message[0] = 0;
    if (setjmp(manager.Jump)) {
        jpeg_destroy_decompress(&info);
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", manager.Message);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    if (info.image_width == 0 || info.image_height == 0 || info.image_width > MaxSide || info.image_height > MaxSide
        || qint64(info.image_width) * info.image_height > MaxPixels) {
        jpeg_destroy_decompress(&info);
        std::snprintf(message, JMSG_LENGTH_MAX, "the picture is too large");
        return false;
    }
    info.mem->max_memory_to_use = MaxDecoderMemory;
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_width == 0 || info.output_height == 0 || info.output_width > MaxSide || info.output_height > MaxSide
        || info.output_components != 3) {
        jpeg_destroy_decompress(&info);
        std::snprintf(message, JMSG_LENGTH_MAX, "unsupported picture size or colours");
        return false;
    }
    *image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height), QImage::Format_RGB888);
    if (image->isNull()) {
        jpeg_destroy_decompress(&info);
        std::snprintf(message, JMSG_LENGTH_MAX, "out of memory");
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image->scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

QImage DecodeJpeg(const QByteArray &bytes, QString *error)
{
    QImage image;
    char message[JMSG_LENGTH_MAX] = {};
    if (bytes.isEmpty()) {
        if (error)
            *error = QStringLiteral("empty file");
        return {};
    }
    if (!Decompress(reinterpret_cast<const unsigned char *>(bytes.constData()),
                    static_cast<unsigned long>(bytes.size()), &image, message)) {
        if (error)
            *error = QString::fromLocal8Bit(message);
        return {};
    }
    return image;
}

namespace {

quint32 BigEndian32(const char *at)
{
    return qFromBigEndian<quint32>(reinterpret_cast<const uchar *>(at));
}

// One image of an icon: its own header tells its size, whatever the directory says. A PNG gives it in its
// IHDR chunk, a bitmap in its info header (twice the height, the mask below the colours).
QSize IconImageSize(QByteArrayView image)
{
    static const char Png[] = "\x89PNG\r\n\x1a\n";
    if (image.size() >= 24 && image.startsWith(QByteArrayView(Png, 8)))
        return {static_cast<int>(std::min<quint32>(BigEndian32(image.data() + 16), INT_MAX)),
                static_cast<int>(std::min<quint32>(BigEndian32(image.data() + 20), INT_MAX))};
    if (image.size() >= 12) {
        const qint32 width = qFromLittleEndian<qint32>(reinterpret_cast<const uchar *>(image.data() + 4));
        const qint32 height = qFromLittleEndian<qint32>(reinterpret_cast<const uchar *>(image.data() + 8));
        return {width == INT_MIN ? INT_MAX : std::abs(width), (height == INT_MIN ? INT_MAX : std::abs(height)) / 2};
    }
    return {};
}

// The largest image an icon holds, read from the images themselves.
QSize IconSize(const QByteArray &bytes)
{
    if (bytes.size() < 6)
        return {};
    const auto count = qFromLittleEndian<quint16>(reinterpret_cast<const uchar *>(bytes.constData() + 4));
    QSize largest(0, 0);
    for (int i = 0; i < count; ++i) {
        const qsizetype entry = 6 + qsizetype(i) * 16;
        if (entry + 16 > bytes.size())
            return {};
        const quint32 length
            = qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(bytes.constData() + entry + 8));
        const quint32 offset
            = qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(bytes.constData() + entry + 12));
        if (offset >= quint64(bytes.size()))
            return {};
        const QByteArrayView image(bytes.constData() + offset, std::min<qint64>(length, bytes.size() - offset));
        const QSize size = IconImageSize(image);
        if (!size.isValid())
            return {};
        largest = largest.expandedTo(size);
    }
    return largest.isEmpty() ? QSize() : largest;
}

bool TooLarge(const QSize &size, qint64 maxBytes)
{
    const qint64 pixels = qint64(size.width()) * size.height();
    return size.width() > MaxSide || size.height() > MaxSide || pixels > MaxPixels || pixels * 4 > maxBytes;
}

const char *QtFormat(const QByteArray &format)
{
    return format == "gif" ? "gif" : format == "bmp" ? "bmp" : format == "ico" ? "ico" : nullptr;
}

} // namespace

QSize PictureSize(const QByteArray &bytes, const QByteArray &format)
{
    if (format == "ico")
        return IconSize(bytes);
    if (format == "jpg" || format == "jpeg") {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "jpeg");
        return reader.size();
    }
    const char *qtFormat = QtFormat(format);
    if (!qtFormat)
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, qtFormat);
    return reader.size();
}

QImage LoadPicture(const QString &path, QString *error, qint64 maxBytes)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return QImage();
    };
    const QByteArray extension = QFileInfo(path).suffix().toLower().toLatin1();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    if (file.size() > MaxFileSize)
        return fail(QStringLiteral("the file is too large"));
    const QByteArray bytes = file.readAll();
    if (extension == "jpg" || extension == "jpeg") {
        const QSize size = PictureSize(bytes, extension);
        if (size.isValid() && TooLarge(size, maxBytes))
            return fail(QStringLiteral("the picture is too large"));
        return DecodeJpeg(bytes, error);
    }
    const char *format = QtFormat(extension);
    if (!format)
        return fail(QStringLiteral("no decoder for .%1 pictures").arg(QString::fromLatin1(extension)));
    // The size the decoder will produce, checked before it runs; a size that cannot be told is not decoded.
    const QSize size = PictureSize(bytes, extension);
    if (!size.isValid())
        return fail(QStringLiteral("not a picture that can be read"));
    if (TooLarge(size, maxBytes))
        return fail(QStringLiteral("the picture is too large"));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAllocationLimit(
        static_cast<int>(std::min<qint64>(maxBytes / (qint64(1024) * 1024) + 1, 256))); // megabytes
    QImage image = reader.read();
    if (image.isNull())
        return fail(reader.errorString());
    if (TooLarge(image.size(), maxBytes))
        return fail(QStringLiteral("the picture is too large"));
    return image;
}

} // namespace wren
