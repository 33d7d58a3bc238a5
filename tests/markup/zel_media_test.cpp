// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures named by markup: where they are looked for, how they are downloaded and under which names, the
// decoders, and the picture in the view.
#include "config/program_folder.h"
#include "markup/media_fetcher.h"
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

// An icon whose directory says @p dirSide pixels square, holding @p image (a PNG or a bitmap's bytes).
QByteArray IconHolding(const QByteArray &image, int dirSide = 16)
{
    QByteArray icon = B("\x00\x00\x01\x00\x01\x00");
    icon += char(dirSide & 0xff);
    icon += char(dirSide & 0xff);
    icon += B("\x00\x00\x01\x00\x20\x00");
    const auto put32 = [&icon](quint32 value) {
        char bytes[4];
        qToLittleEndian(value, bytes);
        icon.append(bytes, 4);
    };
    put32(static_cast<quint32>(image.size()));
    put32(22);
    return icon + image;
}

// The start of a PNG of @p width by @p height: its signature and its header chunk, then filler.
QByteArray PngHead(quint32 width, quint32 height)
{
    QByteArray png = B("\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR");
    char side[4];
    qToBigEndian(width, side);
    png.append(side, 4);
    qToBigEndian(height, side);
    png.append(side, 4);
    return png + B("\x08\x06\x00\x00\x00") + QByteArray(80 * 1024, 'z');
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
    /// Waits until the pictures and sounds being fetched have all come (or failed).
    void Settle() { ASSERT_TRUE(test::WaitFor([this] { return m_client->Markup().PendingMedia() == 0; })); }

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
    Settle();
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
    Settle();
    EXPECT_EQ(Shown(), "[ffffff]{picture 1x1}");
    EXPECT_TRUE(QFile::exists(InFolder(QStringLiteral("map.gif"))));
    m_client->ReceiveBytes("<IMG SRC=http://elsewhere.example/any/map.gif>");
    EXPECT_EQ(Shown(), "[ffffff]{picture 1x1}{picture 1x1}");
    EXPECT_EQ(server.Requests().size(), 1) << "the cached copy is used";
    EXPECT_EQ(Events, (QList<QByteArray> {"On Image", "On Image"}));
}

// The size a decoder will produce is read from the picture itself, before anything is decoded: an icon's
// directory may say 16 by 16 of a PNG that holds 5,500 by 5,500 (115 MB of pixels).
TEST(PictureLoader, SizeIsReadFromThePictureItself)
{
    QTemporaryDir folder;
    const QByteArray bomb = IconHolding(PngHead(5500, 5500));
    EXPECT_EQ(PictureSize(bomb, "ico"), QSize(5500, 5500));
    EXPECT_EQ(PictureSize(IconHolding(PngHead(32, 20)), "ico"), QSize(32, 20));
    EXPECT_FALSE(PictureSize(bomb.left(30), "ico").isValid()) << "an icon cut short";
    EXPECT_FALSE(PictureSize(B("\x00\x00\x01\x00\x05\x00"), "ico").isValid()) << "entries missing";
    const QString path = folder.filePath(QStringLiteral("bomb.ico"));
    ASSERT_TRUE(Write(path, bomb));
    QString error;
    EXPECT_TRUE(LoadPicture(path, &error).isNull());
    EXPECT_EQ(error, QStringLiteral("the picture is too large"));
    // The view's budget is checked before decoding too.
    const QString bmp = folder.filePath(QStringLiteral("small.bmp"));
    ASSERT_TRUE(Write(bmp, Encoded(Filled(40, 30, Qt::red), "BMP")));
    EXPECT_FALSE(LoadPicture(bmp, &error, 40 * 30 * 4).isNull());
    EXPECT_TRUE(LoadPicture(bmp, &error, 40 * 30 * 4 - 1).isNull());
}

// Forty such icons in one line: none is decoded, each is one error line, and the view shows the rest.
// A picture used again is not decoded again, and a block shows at most so many pictures.
TEST_F(Pictures, BombsAreRefusedAndPicturesPerBlockAreCapped)
{
    ASSERT_TRUE(Write(InFolder(QStringLiteral("bomb.ico")), IconHolding(PngHead(5500, 5500))));
    ASSERT_TRUE(Write(InFolder(QStringLiteral("map.bmp")), Encoded(Filled(4, 3, Qt::red), "BMP")));
    m_client->ReceiveBytes(QByteArray("<IMG SRC=bomb.ico>").repeated(40) + "\r\n");
    EXPECT_EQ(m_client->Display.PlainText().count(QStringLiteral("ZEL Image Load Error : bomb.ico")), 40);
    EXPECT_EQ(m_client->Display.PictureBytes(), 0);

    m_client->Display.Clear();
    const int shown = MarkupSide::MaxPicturesPerBlock;
    m_client->ReceiveBytes(QByteArray("<IMG SRC=map.bmp>").repeated(shown + 4) + "\r\n");
    qint64 firstKey = 0;
    int pictures = 0;
    for (const InlinePicture &picture : m_client->Display.Paragraphs().front().Pictures) {
        firstKey = firstKey ? firstKey : picture.Image.cacheKey();
        EXPECT_EQ(picture.Image.cacheKey(), firstKey) << "one decoded copy, shared";
        ++pictures;
    }
    EXPECT_EQ(pictures, shown);
    EXPECT_EQ(m_client->Display.PlainText().count(QStringLiteral("ZEL Image Load Error : map.bmp")), 4);
    m_client->ReceiveBytes("<IMG SRC=map.bmp>\r\n");
    EXPECT_EQ(m_client->Display.Paragraphs()[1].Pictures.size(), 1U) << "the next block counts afresh";
}

// A picture host that never answers holds up nothing: the picture's place is held, the text after it and
// the session's commands go on; the place stays empty meanwhile.
TEST_F(Pictures, HostThatNeverAnswersHoldsUpNothing)
{
    HttpServer server;
    server.Serve("/slow.gif", {200, RedGif, true});
    m_client->ReceiveBytes("before <IMG SRC=" + server.Url("/slow.gif") + "> after\r\n");
    EXPECT_EQ(m_client->Markup().PendingMedia(), 1);
    EXPECT_EQ(m_client->Display.PlainText(), QStringLiteral("before  after\n"));
    m_client->ProcessCommand("/ECHO still typing");
    EXPECT_TRUE(m_client->Display.PlainText().contains(QStringLiteral("still typing")));
    EXPECT_TRUE(Events.isEmpty());
}

// Pictures come in any order; each takes the place its tag held, and "On Image" runs in the tags' order.
TEST_F(Pictures, SlowPicturesTakeTheirPlacesAndEventsKeepTheirOrder)
{
    HttpServer slow, fast;
    slow.Serve("/first.gif", {200, RedGif, false, 400});
    fast.Serve("/second.gif", {200, RedGif});
    QList<int> filledAtEachEvent;
    QObject::connect(m_client.get(), &TClient::EventRaised, [&](const QByteArray &) {
        int filled = 0;
        for (const Paragraph &paragraph : m_client->Display.Paragraphs())
            for (const InlinePicture &picture : paragraph.Pictures)
                filled += picture.Image.isNull() ? 0 : 1;
        filledAtEachEvent.append(filled);
    });
    m_client->ReceiveBytes("A<IMG SRC=" + slow.Url("/first.gif") + ">B<IMG SRC=" + fast.Url("/second.gif") + ">C\r\n");
    m_client->ReceiveBytes("later\r\n");
    Settle();
    EXPECT_EQ(Shown(), "[ffffff]A{picture 1x1}B{picture 1x1}C|[ffffff]later|");
    EXPECT_EQ(filledAtEachEvent, (QList<int> {1, 2})) << "the first picture's event comes first";
}

// A download that fails is not tried again in the session; one too large is not taken (the cap is the
// largest file kept), and a picture refused after its download is not kept on disk.
TEST_F(Pictures, FailedAndRefusedDownloadsAreNeitherRetriedNorKept)
{
    HttpServer server;
    server.Serve("/bomb.ico", {200, IconHolding(PngHead(5500, 5500))});
    server.Serve("/huge.gif", {200, QByteArray(MaxMediaFile + 1, 'g')});
    for (int i = 0; i < 2; ++i) {
        for (const char *name : {"/missing.gif", "/bomb.ico", "/huge.gif"})
            m_client->ReceiveBytes("<IMG SRC=" + server.Url(name) + ">\r\n");
        Settle();
    }
    EXPECT_EQ(server.Requests().size(), 3) << "each failure is remembered";
    EXPECT_EQ(m_client->Display.PlainText().count(QStringLiteral("ZEL Image Load Error")), 6);
    EXPECT_EQ(Events.size(), 6);
    EXPECT_FALSE(QFile::exists(InFolder(QStringLiteral("bomb.ico"))));
    EXPECT_FALSE(QFile::exists(InFolder(QStringLiteral("huge.gif"))));
}

// The downloads kept in the folder stay within their total: the oldest go first, and a file the user put
// there is never touched.
TEST_F(Pictures, DownloadsStayWithinTheirTotal)
{
    HttpServer server;
    const QByteArray gif = RedGif + QByteArray(1000, '\0');
    for (const char *name : {"/a.gif", "/b.gif", "/c.gif"})
        server.Serve(name, {200, gif});
    ASSERT_TRUE(Write(InFolder(QStringLiteral("mine.gif")), gif));
    MediaFetcher::Shared().SetDownloadLimit(2 * gif.size() + 10);
    for (const char *name : {"/a.gif", "/b.gif", "/c.gif"}) {
        m_client->ReceiveBytes("<IMG SRC=" + server.Url(name) + ">\r\n");
        Settle();
    }
    MediaFetcher::Shared().SetDownloadLimit(MediaFetcher::DefaultDownloadLimit);
    EXPECT_FALSE(QFile::exists(InFolder(QStringLiteral("a.gif"))));
    EXPECT_TRUE(QFile::exists(InFolder(QStringLiteral("b.gif"))));
    EXPECT_TRUE(QFile::exists(InFolder(QStringLiteral("c.gif"))));
    EXPECT_TRUE(QFile::exists(InFolder(QStringLiteral("mine.gif"))));
    EXPECT_EQ(m_client->Display.PlainText().count(QStringLiteral("Error")), 0);
}
