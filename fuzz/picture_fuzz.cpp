// SPDX-License-Identifier: GPL-3.0-or-later
// The picture loader: bytes of any kind as a JPEG, GIF, bitmap or icon file. A picture that decodes keeps
// within the size limits; nothing is decoded past them.
#include "file_readers_fuzz.h"
#include "markup/picture_loader.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

using wren::fuzz::Check;

namespace
{
QTemporaryDir *Folder = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    new QGuiApplication(*argc, *argv);
    Folder = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static const char *formats[] = {"jpg", "gif", "bmp", "ico"};
    const QByteArray format = formats[data[0] % 4];
    const QByteArray bytes = wren::fuzz::Bytes(data + 1, size - 1);
    const QSize told = wren::PictureSize(bytes, format);
    const QString path = Folder->filePath(QStringLiteral("picture.") + QString::fromLatin1(format));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 0;
        file.write(bytes);
    }
    QString error;
    const QImage image = wren::LoadPicture(path, &error, qint64(4) * 1024 * 1024);
    if (!image.isNull()) {
        Check(image.width() <= wren::MaxPictureSide && image.height() <= wren::MaxPictureSide, "a side within the limit");
        Check(qint64(image.width()) * image.height() * 4 <= qint64(4) * 1024 * 1024, "pixels within the budget given");
        if (format == "ico")
            Check(told.isValid() && told.width() >= image.width() && told.height() >= image.height(),
                  "an icon is never larger than its images say");
    } else {
        Check(!error.isEmpty(), "a picture that is not shown says why");
    }
    return 0;
}
