// SPDX-License-Identifier: GPL-3.0-or-later
// "wn.ini", the portal's start-up check and login test against a loopback HTTP server, and the HTTP client.
#include "config/app_settings.h"
#include "config/global_settings.h"
#include "config/http_client.h"
#include "support/http_server.h"
#include "support/test_support.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace wren;
using wren::test::HttpServer;

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(WnIni, ReadsLoginAndPasswordByKeyAndWritesItsThreeLines)
{
    struct Case {
        const char *Name;
        QByteArray File;
        QByteArray Login, Password;
    } cases[] = {
        {"as written", "WPLogin\tbob\r\nWPPass\tsecret\r\nUID\tABC\r\n", "bob", "secret"},
        {"keys in any case, LF only", "wplogin\tann\nwppass\tpw\n", "ann", "pw"},
        {"empty values", "WPLogin\t\r\nWPPass\t\r\n", "", ""},
        {"no TAB: no value", "WPLogin\r\nWPPass\r\n", "", ""},
        {"other keys are not taken", "UID\tX\r\nOther\tY\r\n", "", ""},
        {"a value keeps its blanks", "WPLogin\t my name \r\n", " my name ", ""},
    };
    for (const Case &c : cases) {
        const WnIniLogin login = ParseWnIni(c.File);
        EXPECT_EQ(login.WPLogin, c.Login) << c.Name;
        EXPECT_EQ(login.WPPass, c.Password) << c.Name;
    }
    EXPECT_EQ(WnIniBytes("bob", "pw", "0123456789ABCDEF0123"),
              "WPLogin\tbob\r\nWPPass\tpw\r\nUID\t0123456789ABCDEF0123\r\n");
}

TEST(WnIni, MissingFileIsWrittenAtOnceForItsOwnerOnly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("wn.ini"));
    TGlobals globals;
    globals.UID = ComputeUid();
    ASSERT_EQ(globals.UID.size(), 20);
    EXPECT_EQ(ComputeUid(), globals.UID) << "the same machine gives the same identifier";
    globals.WPLogin = "stale";
    ASSERT_TRUE(LoadGlobalSettings(path, globals));
    EXPECT_EQ(globals.WPLogin, "");
    EXPECT_EQ(ReadAll(path), "WPLogin\t\r\nWPPass\t\r\nUID\t" + globals.UID + "\r\n");

    globals.WPLogin = "bob";
    globals.WPPass = "s3cret";
    ASSERT_TRUE(SaveGlobalSettings(path, globals));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {QStringLiteral("wn.ini")});

    TGlobals again;
    ASSERT_TRUE(LoadGlobalSettings(path, again));
    EXPECT_EQ(again.WPLogin, "bob");
    EXPECT_EQ(again.WPPass, "s3cret");
}

TEST(Portal, StartupCheckReadsTheNewestVersionAndTheLogin)
{
    struct Case {
        const char *Name;
        HttpServer::Answer Answer;
        QByteArray Latest;
        bool Valid;
    } cases[] = {
        {"version and login", {200, "VER: 2.20\r\nVALIDWP: 1\r\n"}, "2.20", true},
        {"in HTML tags", {200, "<HTML>\r\n  VER: 2.14\r\nVALIDWP: 0\r\n</HTML>\r\n"}, "2.14", false},
        {"the last line without its line end", {200, "VER: 2.15\r\nVALIDWP: 1"}, "2.15", true},
        {"LF line ends keep the value's last character", {200, "VER: 2.20\nVALIDWP: 1\n"}, "2.20", true},
        {"no VER: the running version, nothing more read", {200, "VALIDWP: 1\r\n"}, "2.13", false},
        {"VALIDWP before VER is not read", {200, "VALIDWP: 1\r\nVER: 2.16\r\n"}, "2.16", false},
        {"failed request", {500, "VER: 9.99\r\n"}, "2.13", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        HttpServer server;
        server.Serve("/regwn2.php", c.Answer);
        TGlobals globals;
        globals.UID = "0123456789ABCDEF0123";
        globals.WPLogin = "bob smith";
        globals.WPPass = "p&ss";
        RunStartupCheck(globals, HttpClient(PortalHttpOptions(globals.Version)), server.Host());
        EXPECT_EQ(globals.LatestVersion, c.Latest);
        EXPECT_EQ(globals.PortalValid, c.Valid);
        const QList<HttpServer::Request> requests = server.Requests();
        ASSERT_EQ(requests.size(), 1);
        const HttpServer::Request &r = requests[0];
        EXPECT_EQ(r.Method, "POST");
        EXPECT_EQ(r.Path, "/regwn2.php?");
        EXPECT_EQ(r.Version, "HTTP/1.0");
        EXPECT_EQ(r.Headers.value("user-agent"), "Wren Client/2.13 (compatible; Indy Library)");
        EXPECT_EQ(r.Headers.value("accept"), "text/html, */*");
        EXPECT_EQ(r.Headers.value("content-type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(r.Body, "ID=0123456789ABCDEF0123&&wpuser=bob%20smith&&wppass=p%26ss&&VNum=213");
    }
}

TEST(Portal, WithoutAPortalHostNothingLeavesTheMachine)
{
    HttpServer server;
    TGlobals globals;
    globals.LatestVersion = "old";
    QElapsedTimer clock;
    clock.start();
    RunStartupCheck(globals, HttpClient(PortalHttpOptions(globals.Version)), QByteArray());
    EXPECT_EQ(globals.LatestVersion, "2.13");
    EXPECT_LT(clock.elapsed(), 100);
    EXPECT_TRUE(server.Requests().isEmpty());
    EXPECT_EQ(RunPortalTest(globals, HttpClient(), QByteArray(), "bob", "pw"), PortalTest::Retry);

    // The host is a setting of the program's own, empty until the user names one.
    QTemporaryDir dir;
    AppSettings settings(dir.filePath(QString::fromLatin1(AppSettings::FileName)));
    EXPECT_EQ(settings.MakerHost(), "");
    settings.SetMakerHost(" portal.example ");
    EXPECT_EQ(AppSettings(settings.Path()).MakerHost(), "portal.example");
}

TEST(Portal, LoginTestAnswersValidInvalidOrRetry)
{
    struct Case {
        const char *Name;
        HttpServer::Answer Answer;
        PortalTest Result;
    } cases[] = {
        {"valid", {200, "VALIDWP: 1\r\n"}, PortalTest::Valid},
        {"invalid", {200, "<HTML>VALIDWP: 0\r\n</HTML>"}, PortalTest::Invalid},
        {"no marker", {200, "Welcome\r\n"}, PortalTest::Retry},
        {"not found", {404, "VALIDWP: 1\r\n"}, PortalTest::Retry},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        HttpServer server;
        server.Serve("/regwn2.php", c.Answer);
        TGlobals globals;
        EXPECT_EQ(RunPortalTest(globals, HttpClient(PortalHttpOptions("2.13")), server.Host(), "ann", "pw"), c.Result);
        ASSERT_EQ(server.Requests().size(), 1);
        EXPECT_EQ(server.Requests()[0].Body, "ID=QuenmarchTest&&wpuser=ann&&wppass=pw&&VNum=100");
    }
}

TEST(HttpClient, SilentServerEndsAtTheTimeLimit)
{
    HttpServer server;
    server.Serve("/slow", {200, {}, true});
    HttpOptions options;
    options.TotalTimeout = 1;
    QElapsedTimer clock;
    clock.start();
    const HttpResult result = HttpClient(options).Get(server.Url("/slow"));
    EXPECT_FALSE(result.Ok);
    EXPECT_FALSE(result.Error.isEmpty());
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST(HttpClient, RefusedConnectionAndErrorStatusFail)
{
    quint16 closedPort;
    {
        HttpServer server;
        closedPort = server.Port();
    }
    const HttpResult refused = HttpClient().Get("http://127.0.0.1:" + QByteArray::number(closedPort) + "/");
    EXPECT_FALSE(refused.Ok);
    EXPECT_EQ(refused.Status, 0);
    HttpServer server;
    const HttpResult missing = HttpClient().Get(server.Url("/missing"));
    EXPECT_FALSE(missing.Ok);
    EXPECT_EQ(missing.Status, 404);
    EXPECT_EQ(missing.Error, QStringLiteral("HTTP error 404"));
}
