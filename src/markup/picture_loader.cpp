// SPDX-License-Identifier: GPL-3.0-or-later
// Decodes the pictures markup shows: JPEG through libjpeg, GIF, BMP and ICO through Qt's readers.
#include "markup/picture_loader.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace wren {

namespace {

// A picture larger than this is refused before it is decoded: a few kilobytes of a server's file can
// declare gigabytes of pixels.
constexpr int MaxSide = 8192;
constexpr qint64 MaxPixels = qint64(16) * 1024 * 1024;
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
    if (info.output_width == 0 || info.output_height == 0 || info.output_width > MaxSide
        || info.output_height > MaxSide || info.output_components != 3) {
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
    if (!Decompress(reinterpret_cast<const unsigned char *>(bytes.constData()), static_cast<unsigned long>(bytes.size()),
                    &image, message)) {
        if (error)
            *error = QString::fromLocal8Bit(message);
        return {};
    }
    return image;
}

QImage LoadPicture(const QString &path, QString *error)
{
    const QString extension = QFileInfo(path).suffix().toLower();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return {};
    }
    if (file.size() > MaxFileSize) {
        if (error)
            *error = QStringLiteral("the file is too large");
        return {};
    }
    if (extension == QLatin1String("jpg") || extension == QLatin1String("jpeg"))
        return DecodeJpeg(file.readAll(), error);
    const char *format = extension == QLatin1String("gif") ? "gif"
        : extension == QLatin1String("bmp")                 ? "bmp"
        : extension == QLatin1String("ico")                 ? "ico"
                                                            : nullptr;
    if (!format) {
        if (error)
            *error = QStringLiteral("no decoder for .%1 pictures").arg(extension);
        return {};
    }
    QImageReader reader(&file, format);
    reader.setAllocationLimit(128); // megabytes
    const QSize size = reader.size();
    if (size.isValid()
        && (size.width() > MaxSide || size.height() > MaxSide || qint64(size.width()) * size.height() > MaxPixels)) {
        if (error)
            *error = QStringLiteral("the picture is too large");
        return {};
    }
    QImage image = reader.read();
    if (image.isNull() && error)
        *error = reader.errorString();
    return image;
}

} // namespace wren
