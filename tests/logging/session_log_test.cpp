// SPDX-License-Identifier: GPL-3.0-or-later
// The session log: which file a write goes to, exact appends, and reporting a failing file once.
#include "logging/session_log.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iostream>

#include <sys/stat.h>
#include <unistd.h>

using namespace wren;
using wren::test::B;

namespace {

class SessionLogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_log.SetBaseFolder(m_dir.path());
        m_log.SetFailureReport([this](const QString &message) { m_reports.append(message); });
    }

    QString Path(const QString &name) const { return m_dir.filePath(name); }

    static QByteArray Contents(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll();
    }

    QStringList Entries() const
    {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    QTemporaryDir m_dir;
    SessionLog m_log;
    QStringList m_reports;
};

} // namespace

TEST_F(SessionLogTest, ModesOtherThanOneAndTwoWriteNothing)
{
    for (int mode : {0, 3, -1}) {
        m_log.WriteLog(mode, "own.log", "common.log", "text\r\n");
        EXPECT_EQ(Entries(), QStringList()) << "mode " << mode;
    }
    EXPECT_TRUE(m_reports.isEmpty());
}

TEST_F(SessionLogTest, OwnFileGetsExactlyTheBytesGivenAppended)
{
    {
        QFile existing(Path(QStringLiteral("own.log")));
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("earlier session\r\n");
    }
    const QByteArray writes[] = {B("You see a door.\r\n"), B("caf\xe9 \x80\xff\x00mid"), B("> "), B("no line end")};
    QByteArray expected = "earlier session\r\n";
    for (const QByteArray &text : writes) {
        m_log.WriteLog(1, "own.log", "common.log", text);
        expected += text;
    }
    EXPECT_EQ(Contents(Path(QStringLiteral("own.log"))), expected);
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("common.log"))));
    EXPECT_TRUE(m_reports.isEmpty());
}

TEST_F(SessionLogTest, TwoSessionsShareTheCommonFileInWriteOrder)
{
    SessionLog other;
    other.SetBaseFolder(m_dir.path());
    m_log.WriteLog(2, "first.log", "common.log", "1: hello\r\n");
    other.WriteLog(2, "second.log", "common.log", "2: hi\r\n");
    m_log.WriteLog(2, "first.log", "common.log", "1: ");
    other.WriteLog(2, "second.log", "common.log", "2: bye\r\n");
    m_log.WriteLog(2, "first.log", "common.log", "bye\r\n");

    EXPECT_EQ(Contents(Path(QStringLiteral("common.log"))), B("1: hello\r\n2: hi\r\n1: 2: bye\r\nbye\r\n"));
    EXPECT_EQ(Entries(), QStringList {QStringLiteral("common.log")});
}

TEST_F(SessionLogTest, EmptyFileNameForTheModeLogsNothing)
{
    m_log.WriteLog(1, "", "common.log", "text");
    m_log.WriteLog(2, "own.log", "", "text");
    EXPECT_EQ(Entries(), QStringList());
    EXPECT_TRUE(m_reports.isEmpty());
}

TEST_F(SessionLogTest, RelativeNameResolvesInsideTheBaseFolderWhichIsCreated)
{
    const QString base = Path(QStringLiteral("worlds/demo"));
    m_log.SetBaseFolder(base);
    m_log.WriteLog(1, "logs/session.log", "", "line\r\n");
    EXPECT_EQ(Contents(base + QStringLiteral("/logs/session.log")), B("line\r\n"));

    // An absolute name is used as it is.
    const QByteArray absolute = QFile::encodeName(Path(QStringLiteral("elsewhere/abs.log")));
    m_log.WriteLog(1, absolute, "", "abs");
    EXPECT_EQ(Contents(Path(QStringLiteral("elsewhere/abs.log"))), B("abs"));
    EXPECT_FALSE(QFile::exists(base + QStringLiteral("/") + QString::fromLocal8Bit(absolute)));
    EXPECT_TRUE(m_reports.isEmpty());
}

TEST_F(SessionLogTest, FailingFileIsReportedOnceUntilItWorksAgain)
{
    enum class Block { Directory, ReadOnlyFolder };
    struct Case {
        const char *name;
        Block block;
    } cases[] = {
        {"path is a folder", Block::Directory},
        {"folder not writable", Block::ReadOnlyFolder},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.block == Block::ReadOnlyFolder && geteuid() == 0) {
            std::cout << "[   SKIP   ] " << c.name << ": root can write into any folder\n";
            continue;
        }
        m_reports.clear();
        const QString folder = Path(QString::fromLatin1(c.name).replace(QLatin1Char(' '), QLatin1Char('_')));
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/world.log");
        const QByteArray name = QFile::encodeName(path);
        const QByteArray folderName = QFile::encodeName(folder);

        auto block = [&] {
            if (c.block == Block::Directory)
                return QDir().mkpath(path);
            return ::chmod(folderName.constData(), 0555) == 0;
        };
        auto unblock = [&] {
            if (c.block == Block::Directory)
                return QDir(path).removeRecursively();
            return ::chmod(folderName.constData(), 0755) == 0;
        };

        ASSERT_TRUE(block());
        for (int i = 0; i < 3; ++i)
            m_log.WriteLog(1, name, "", "lost\r\n");
        ASSERT_EQ(m_reports.size(), 1);
        EXPECT_TRUE(m_reports[0].contains(QStringLiteral("world.log"))) << m_reports[0].toStdString();

        // The next write after the file becomes writable goes through.
        ASSERT_TRUE(unblock());
        m_log.WriteLog(1, name, "", "kept\r\n");
        EXPECT_EQ(Contents(path), B("kept\r\n"));
        EXPECT_EQ(m_reports.size(), 1);

        // A failure after that success is news again.
        ASSERT_TRUE(QFile::remove(path));
        ASSERT_TRUE(block());
        m_log.WriteLog(1, name, "", "lost again\r\n");
        m_log.WriteLog(1, name, "", "lost again\r\n");
        EXPECT_EQ(m_reports.size(), 2);
        ASSERT_TRUE(unblock());
    }
}

TEST_F(SessionLogTest, EachFailingFileIsReportedOnItsOwn)
{
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("own.log"))));
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("common.log"))));
    m_log.WriteLog(1, "own.log", "common.log", "x");
    m_log.WriteLog(2, "own.log", "common.log", "x");
    m_log.WriteLog(1, "own.log", "common.log", "x");
    m_log.WriteLog(2, "own.log", "common.log", "x");
    ASSERT_EQ(m_reports.size(), 2);
    EXPECT_TRUE(m_reports[0].contains(QStringLiteral("own.log")));
    EXPECT_TRUE(m_reports[1].contains(QStringLiteral("common.log")));
}
