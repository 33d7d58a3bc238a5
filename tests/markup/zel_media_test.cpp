// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures named by markup: where they are looked for, how they are downloaded and under which names, the
// decoders, and the picture in the view.
#include "config/program_folder.h"
#include "markup/picture_loader.h"
#include "markup/zel_media.h"
#include "session/client.h"
#include "support/http_server.h"
#include "support/test_support.h"
#include "ui/session_view.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::B;
using wren::test::HttpServer;

namespace {

// A 1 by 1 red GIF, as picture editors write it.
const QByteArray RedGif = B("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00\x2c\x00\x00\x00\x00\x01\x00"
                            "\x01\x00\x00\x02\x02\x44\x01\x00\x3b");

QByteArray Encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage Filled(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

bool Write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

class Pictures : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.path());
        m_client = std::make_unique<TClient>(m_globals);
        m_client->Options.ZelEnabled = true;
        QObject::connect(m_client.get(), &TClient::EventRaised, [this](const QByteArray &name) { Events.append(name); });
    }
    QString InFolder(const QString &name) const { return m_folder.filePath(name); }
    std::string Shown() const { return test::Render(m_client->Display); }

    QTemporaryDir m_folder;
    TGlobals m_globals;
    std::unique_ptr<TClient> m_client;
    QList<QByteArray> Events;
};

} // namespace

TEST(ZelMedia, AddressesAndFileNames)
{
    struct Name {
        const char *Address, *File;
    } names[] = {{"http://a.org/pics/map.gif", "map.gif"}, {"http://a.org/pics/", ""}, {"map.gif", ""},
                 {"c:map.gif", "map.gif"}, {"a/b:c", "c"}};
    for (const Name &n : names)
        EXPECT_EQ(UrlFileName(n.Address), n.File) << n.Address;

    struct Completion {
        const char *Source, *Base, *Address;
    } completions[] = {
        {"/pics/map.gif", "http://a.org", "http://a.org/pics/map.gif"},
        {"/pics/map.gif", "http://a.org/", "http://a.org//pics/map.gif"},
        {"/pics/map.gif", "", "http:///pics/map.gif"},
        {"pics/map.gif", "http://a.org", "http://pics/map.gif"},
        {"http://localhost/x", "", "http://http://localhost/x"},
        {"http://a.org/x.gif", "http://b.org", "http://a.org/x.gif"},
        {"", "", "http://"},
    };
    for (const Completion &c : completions)
        EXPECT_EQ(CompleteZelAddress(c.Source, c.Base), c.Address) << c.Source << " on " << c.Base;

    struct Safe {
        const char *Name;
        bool Ok;
    } safe[] = {{"map.gif", true},   {"MAP.JPEG", true},   {"ding.wav", true},    {"song.mid", true},
                {"muds.ini", false}, {"wn.ini", false},    {"x.wno", false},      {"x.wn2", false},
                {"a\\b.gif", false}, {"..gif", false},     {"a..b.gif", false},   {"x.gif?v=1", false},
                {"WrenImage.jpg", false}, {"connect.wav", false}, {"", false},     {"x.wmf", false},
                {".hidden.gif", false}};
    for (const Safe &s : safe)
        EXPECT_EQ(IsSafeDownloadName(s.Name), s.Ok) << s.Name;
}

TEST(ZelMedia, LocatesTheFourCandidatesInOrder)
{
    QTemporaryDir program, work;
    const QString before = QDir::currentPath();
    QDir::setCurrent(work.path());
    ASSERT_TRUE(Write(program.filePath(QStringLiteral("p.gif")), RedGif));
    ASSERT_TRUE(Write(work.filePath(QStringLiteral("w.gif")), RedGif));
    ASSERT_TRUE(Write(program.filePath(QStringLiteral("both.gif")), RedGif));
    ASSERT_TRUE(Write(work.filePath(QStringLiteral("both.gif")), RedGif));
    const QString absolute = work.filePath(QStringLiteral("w.gif"));
    EXPECT_EQ(LocateZelFile(absolute.toLocal8Bit(), program.path()), absolute);
    EXPECT_EQ(LocateZelFile("p.gif", program.path()), QDir(program.path()).filePath(QStringLiteral("p.gif")));
    EXPECT_EQ(LocateZelFile("both.gif", program.path()), QStringLiteral("both.gif")) << "the source as given first";
    EXPECT_EQ(LocateZelFile("http://x.org/dir/w.gif", program.path()), QStringLiteral("w.gif"));
    EXPECT_EQ(LocateZelFile("http://x.org/p.gif", program.path()), QDir(program.path()).filePath(QStringLiteral("p.gif")));
    EXPECT_EQ(LocateZelFile("http://x.org/none.gif", program.path()), QString());
    QDir::setCurrent(before);
}

// A small picture whose header claims other dimensions: JPEG's frame header, BMP's info header.
QByteArray Claiming(QByteArray bytes, const char *format, int width, int height)
{
    if (qstrcmp(format, "JPG") == 0) {
        const qsizetype sof = bytes.indexOf(QByteArrayView("\xff\xc0", 2));
        qToBigEndian<quint16>(static_cast<quint16>(height), bytes.data() + sof + 5);
        qToBigEndian<quint16>(static_cast<quint16>(width), bytes.data() + sof + 7);
    } else {
        qToLittleEndian<qint32>(width, bytes.data() + 18);
        qToLittleEndian<qint32>(height, bytes.data() + 22);
    }
    return bytes;
}

TEST(ZelMedia, DecodersByExtension)
{
    QTemporaryDir dir;
    const QImage blue = Filled(7, 5, Qt::blue);
    struct Case {
        const char *File;
        QByteArray Bytes;
        QSize Size;
    } cases[] = {
        {"a.jpg", Encoded(blue, "JPG"), {7, 5}},
        {"a.JPEG", Encoded(blue, "JPG"), {7, 5}},
        {"a.bmp", Encoded(blue, "BMP"), {7, 5}},
        {"a.ico", Encoded(blue, "ICO"), {7, 5}},
        {"a.gif", RedGif, {1, 1}},
        {"broken.jpg", "not a picture", {}},
        {"cut.jpg", Encoded(blue, "JPG").left(40), {}},
        {"a.xyz", Encoded(blue, "BMP"), {}},
        {"a.wmf", Encoded(blue, "BMP"), {}},
        {"empty.gif", "", {}},
        // A few bytes may declare gigabytes of pixels: refused before anything is decoded.
        {"wide.jpg", Claiming(Encoded(blue, "JPG"), "JPG", 60000, 5), {}},
        {"many.jpg", Claiming(Encoded(blue, "JPG"), "JPG", 5000, 5000), {}},
        {"wide.bmp", Claiming(Encoded(blue, "BMP"), "BMP", 60000, 5), {}},
        {"many.bmp", Claiming(Encoded(blue, "BMP"), "BMP", 5000, 5000), {}},
    };
    for (const Case &c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.File));
        ASSERT_TRUE(Write(path, c.Bytes));
        QString error;
        const QImage image = LoadPicture(path, &error);
        if (c.Size.isValid())
            EXPECT_EQ(image.size(), c.Size) << c.File;
        else
            EXPECT_TRUE(image.isNull()) << c.File;
        EXPECT_EQ(image.isNull(), !error.isEmpty()) << c.File << ": " << error.toStdString();
    }
    const QImage jpeg = DecodeJpeg(Encoded(Filled(16, 16, QColor(200, 30, 30)), "JPG"));
    ASSERT_FALSE(jpeg.isNull());
    EXPECT_NEAR(QColor(jpeg.pixel(8, 8)).red(), 200, 8);
}

TEST_F(Pictures, LocalPictureGoesIntoTheTextInLineAndRaisesOnImage)
{
    ASSERT_TRUE(Write(InFolder(QStringLiteral("map.bmp")), Encoded(Filled(40, 30, Qt::red), "BMP")));
    QApplication::clipboard()->setText(QStringLiteral("the user's"));
    m_client->ReceiveBytes("look <IMG SRC=map.bmp> here\r\n");
    EXPECT_EQ(Shown(), "[ffffff]look {picture 40x30} here|");
    EXPECT_EQ(Events, QList<QByteArray> {"On Image"});
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("the user's")) << "the clipboard is left alone";
    EXPECT_EQ(m_client->Display.PlainText(), QStringLiteral("look  here\n"));

    // The view lays the picture out in line and paints it.
    std::unique_ptr<SessionView> view(CreateSessionView(*m_client));
    view->resize(400, 200);
    view->show();
    view->FlushFrame();
    const QImage shot = view->grab().toImage();
    int red = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x)
            red += shot.pixelColor(x, y) == QColor(Qt::red);
    }
    EXPECT_GE(red, 40 * 30 - 40);
    EXPECT_GE(m_client->Display.Paragraphs().front().Height, 30);
}

TEST_F(Pictures, FailuresAreOneLineAndStillRaiseOnImage)
{
    HttpServer server;
    ASSERT_TRUE(Write(InFolder(QStringLiteral("a.xyz")), "?"));
    ASSERT_TRUE(Write(InFolder(QStringLiteral("muds.ini")), "World\thost\t23\r\n"));
    const QByteArray port = QByteArray::number(server.Port());
    m_client->ReceiveBytes("<IMG SRC=a.xyz>");
    m_client->ReceiveBytes("<IMG SRC=/pics/map.gif>");
    m_client->ReceiveBytes("<IMG SRC=http://127.0.0.1:" + port + "/missing.gif>");
    m_client->ReceiveBytes("<IMG SRC=http://127.0.0.1:" + port + "/muds.ini>");
    EXPECT_EQ(m_client->Display.PlainText(),
              QStringLiteral("ZEL Image Load Error : a.xyzZEL Image Load Error : http:///pics/map.gif"
                             "ZEL Image Load Error : http://127.0.0.1:%1/missing.gif"
                             "ZEL Image Load Error : http://127.0.0.1:%1/muds.ini")
                  .arg(server.Port()));
    EXPECT_EQ(Events.size(), 4);
    ASSERT_EQ(server.Requests().size(), 1) << "no download for a local file, nor for a name that may not be kept";
    EXPECT_EQ(server.Requests()[0].Path, "/missing.gif");
    QFile muds(InFolder(QStringLiteral("muds.ini")));
    ASSERT_TRUE(muds.open(QIODevice::ReadOnly));
    EXPECT_EQ(muds.readAll(), "World\thost\t23\r\n");

    m_client->Options.AllowImages = false;
    Events.clear();
    m_client->ReceiveBytes("<IMG SRC=a.xyz>");
    EXPECT_TRUE(Events.isEmpty());
}

TEST_F(Pictures, DownloadsUnderTheBaseAndServesTheCopyNextTime)
{
    HttpServer server;
    server.Serve("/pics/map.gif", {200, RedGif});
    m_client->ReceiveBytes("<BASE URL=" + server.Url("") + "><IMG SRC=/pics/map.gif>");
    EXPECT_EQ(Shown(), "[ffffff]{picture 1x1}");
    EXPECT_TRUE(QFile::exists(InFolder(QStringLiteral("map.gif"))));
    m_client->ReceiveBytes("<IMG SRC=http://elsewhere.example/any/map.gif>");
    EXPECT_EQ(Shown(), "[ffffff]{picture 1x1}{picture 1x1}");
    EXPECT_EQ(server.Requests().size(), 1) << "the cached copy is used";
    EXPECT_EQ(Events, (QList<QByteArray> {"On Image", "On Image"}));
}
