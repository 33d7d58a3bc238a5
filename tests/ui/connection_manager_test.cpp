// SPDX-License-Identifier: GPL-3.0-or-later
// The connection manager: "muds.ini" and "mudlist.txt" read and written exactly, every button and click of
// the dialog on real widgets, and the MUD list download against a loopback server.
#include "config/app_settings.h"
#include "config/program_folder.h"
#include "config/save_file.h"
#include "support/http_server.h"
#include "support/test_support.h"
#include "ui/connection_manager.h"
#include "ui/world_list.h"
#include "config/world_features.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::HttpServer;

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void Write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

struct Opened {
    QByteArray Name, Host;
    int Port;
    bool Connect;
    bool operator==(const Opened &) const = default;
};

class ConnectionManager : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.path());
        Write(Path("muds.ini"), "Home\tmud.example.org\t4000\r\nTiny\t10.0.0.1\t7\r\n");
        Write(Path("mudlist.txt"), "1\tAwesome MUD\tawe some.org\t5000\thttp://awe.example\r\n"
                                   "2\tShort\thost\r\n"
                                   "3\tNo Site\tns.org\t23\r\n");
    }
    QString Path(const char *name) const { return m_folder.filePath(QString::fromLatin1(name)); }
    std::unique_ptr<TfrmConnect> Open()
    {
        auto dialog = std::make_unique<TfrmConnect>([this](const QByteArray &name, const QByteArray &host, int port,
                                                           bool connect) { Worlds.append({name, host, port, connect}); });
        dialog->ShowMessage = [this](const QString &text) { Messages.append(text); };
        dialog->OpenWebSite = [this](const QString &address) { Sites.append(address); };
        dialog->show();
        return dialog;
    }
    static QString Cell(QTableWidget *grid, int row, int column)
    {
        return grid->item(row, column) ? grid->item(row, column)->text() : QString();
    }
    static void ClickRow(QTableWidget *grid, int row, Qt::MouseButton button = Qt::LeftButton)
    {
        const QRect cell = grid->visualRect(grid->model()->index(row, 0));
        QTest::mouseClick(grid->viewport(), button, {}, cell.center());
    }

    QTemporaryDir m_folder;
    QList<Opened> Worlds;
    QStringList Messages, Sites;
};

} // namespace

TEST(WorldList, FilesReadAndWrittenExactly)
{
    const QList<SavedWorld> worlds = ParseWorldList("A\thost a\t7\r\n\r\nShort\thost\r\nNoPort\thost\t\r\nB\tb.org\t23");
    ASSERT_EQ(worlds.size(), 2) << "lines with fewer than three fields are skipped, the rest loads";
    EXPECT_EQ(worlds[0].Host, "host a");
    EXPECT_EQ(worlds[0].Port, "7");
    EXPECT_EQ(WorldListBytes(worlds), "A\thost a\t7\r\nB\tb.org\t23\r\n");

    const QList<ListedMud> muds = ParseMudList("0\tName\th o s t\t4000\tsite\textra\r\n0\tThree\tfields\r\n"
                                               "0\tNo site\tx.org\t23\r\n");
    ASSERT_EQ(muds.size(), 2);
    EXPECT_EQ(muds[0].Name, "Name");
    EXPECT_EQ(muds[0].Host, "host");
    EXPECT_EQ(muds[0].WebSite, "site");
    EXPECT_EQ(muds[1].WebSite, "");
    EXPECT_EQ(MudListAddress(" list.example "), "http://list.example/zmud/mudlist2.txt");
    EXPECT_EQ(MudListAddress(""), "");
    EXPECT_EQ(PortNumber("  23abc"), 23);
    EXPECT_EQ(PortNumber("x"), 0);
}

TEST_F(ConnectionManager, OpensWithBothListsAndTheFirstWorldInTheBoxes)
{
    auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Connection Manager..."));
    EXPECT_EQ(dialog->grdMain->rowCount(), 3) << "two worlds and the empty row";
    EXPECT_EQ(dialog->txtID->text(), QStringLiteral("Home"));
    EXPECT_EQ(dialog->txtPort->text(), QStringLiteral("4000"));
    ASSERT_EQ(dialog->mudlist->rowCount(), 3);
    EXPECT_EQ(Cell(dialog->mudlist, 0, 1), QStringLiteral("awesome.org")) << "blanks are taken out of hosts";
    EXPECT_EQ(Cell(dialog->mudlist, 1, 0), QStringLiteral("No Site"));

    ClickRow(dialog->grdMain, 1);
    EXPECT_EQ(dialog->txtID->text(), QStringLiteral("Tiny"));
    EXPECT_EQ(dialog->txtPort->text(), QStringLiteral("7"));
}

TEST_F(ConnectionManager, AddDeleteClearAndSaveEditTheWorldList)
{
    auto dialog = Open();
    dialog->txtID->setText(QStringLiteral("New"));
    dialog->txtHost->setText(QStringLiteral("new.org"));
    dialog->txtPort->setText(QStringLiteral("5"));
    QTest::mouseClick(dialog->cmdAdd, Qt::LeftButton);
    EXPECT_EQ(dialog->grdMain->rowCount(), 4);
    EXPECT_EQ(dialog->grdMain->currentRow(), 2);
    EXPECT_EQ(ReadAll(Path("muds.ini")), "Home\tmud.example.org\t4000\r\nTiny\t10.0.0.1\t7\r\n") << "not saved yet";

    dialog->grdMain->setCurrentCell(3, 0); // the trailing empty row
    QTest::mouseClick(dialog->cmdDelete, Qt::LeftButton);
    EXPECT_EQ(dialog->grdMain->rowCount(), 4);
    dialog->grdMain->setCurrentCell(0, 0);
    QTest::mouseClick(dialog->cmdDelete, Qt::LeftButton);
    EXPECT_EQ(dialog->grdMain->rowCount(), 3);
    QTest::mouseClick(dialog->bitClear, Qt::LeftButton);
    EXPECT_EQ(dialog->txtID->text(), QString());
    QTest::mouseClick(dialog->bitSave, Qt::LeftButton);
    EXPECT_EQ(ReadAll(Path("muds.ini")), "Tiny\t10.0.0.1\t7\r\nNew\tnew.org\t5\r\n");
    EXPECT_TRUE(Worlds.isEmpty());
}

TEST_F(ConnectionManager, ConnectOfflineAndDoubleClicksOpenASession)
{
    {
        auto dialog = Open();
        dialog->txtPort->setText(QStringLiteral(" 4000x"));
        QTest::mouseClick(dialog->bitConnect, Qt::LeftButton);
        EXPECT_FALSE(dialog->isVisible());
    }
    {
        auto dialog = Open();
        ClickRow(dialog->grdMain, 1);
        QTest::mouseClick(dialog->bitOffline, Qt::LeftButton);
    }
    {
        auto dialog = Open();
        ClickRow(dialog->grdMain, 1);
        QTest::mouseDClick(dialog->grdMain->viewport(), Qt::LeftButton, {},
                           dialog->grdMain->visualRect(dialog->grdMain->model()->index(1, 0)).center());
    }
    {
        auto dialog = Open();
        ClickRow(dialog->mudlist, 0);
        QTest::mouseDClick(dialog->mudlist->viewport(), Qt::LeftButton, {},
                           dialog->mudlist->visualRect(dialog->mudlist->model()->index(0, 0)).center());
    }
    EXPECT_EQ(Worlds, (QList<Opened> {{"Home", "mud.example.org", 4000, true},
                                      {"Tiny", "10.0.0.1", 7, false},
                                      {"Tiny", "10.0.0.1", 7, true},
                                      {"Awesome MUD", "awesome.org", 5000, true}}));
    EXPECT_EQ(ReadAll(Path("muds.ini")),
              "Home\tmud.example.org\t4000\r\nTiny\t10.0.0.1\t7\r\nAwesome MUD\tawesome.org\t5000\r\n")
        << "the MUD is a saved world now";
}

TEST_F(ConnectionManager, MudListMouseUpPopupAndVisit)
{
    auto dialog = Open();
    ClickRow(dialog->mudlist, 2, Qt::RightButton); // the empty row
    EXPECT_EQ(dialog->txtID->text(), QString());
    EXPECT_EQ(dialog->txtHost->text(), QString());
    ClickRow(dialog->mudlist, 0);
    EXPECT_EQ(dialog->txtHost->text(), QStringLiteral("awesome.org"));
    dialog->mnuVisit->trigger();
    EXPECT_EQ(Sites, QStringList {QStringLiteral("http://awe.example")});
    ClickRow(dialog->mudlist, 1);
    dialog->mnuVisit->trigger(); // no web site: nothing
    EXPECT_EQ(Sites.size(), 1);
    dialog->mnuAdd->trigger(); // adds to the saved worlds
    EXPECT_EQ(Cell(dialog->grdMain, 2, 0), QStringLiteral("No Site"));
}

TEST_F(ConnectionManager, UpdateDownloadsTheListAndKeepsTheOldOneOnFailure)
{
    const QByteArray old = ReadAll(Path("mudlist.txt"));
    auto dialog = Open();
    QTest::mouseClick(dialog->bitMUDList, Qt::LeftButton);
    ASSERT_EQ(Messages.size(), 1) << "no list server named";
    EXPECT_TRUE(Messages[0].contains(QStringLiteral("MudListHost")));
    EXPECT_EQ(ReadAll(Path("mudlist.txt")), old);

    HttpServer server;
    AppSettings().SetMudListHost(server.Host());
    QTest::mouseClick(dialog->bitMUDList, Qt::LeftButton);
    ASSERT_EQ(Messages.size(), 2);
    EXPECT_TRUE(Messages[1].contains(QStringLiteral("404")));
    EXPECT_EQ(ReadAll(Path("mudlist.txt")), old);
    EXPECT_TRUE(dialog->bitMUDList->isEnabled());

    server.Serve("/zmud/mudlist2.txt", {200, "9\tFresh\tfresh.org\t1234\r\n"});
    dialog->mnuUpdate->trigger();
    EXPECT_EQ(ReadAll(Path("mudlist.txt")), "9\tFresh\tfresh.org\t1234\r\n");
    EXPECT_EQ(server.Requests().back().Headers.value("user-agent"), "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_EQ(dialog->mudlist->rowCount(), 3) << "the grid shows the new list at the next opening";
    auto again = Open();
    EXPECT_EQ(Cell(again->mudlist, 0, 0), QStringLiteral("Fresh"));
}

TEST_F(ConnectionManager, SecureBoxIsKeptForTheHostAndPortInTheBoxes)
{
    {
        auto dialog = Open();
        dialog->txtHost->setText(QStringLiteral("secure.example"));
        dialog->txtPort->setText(QStringLiteral("4443"));
        EXPECT_FALSE(dialog->chkSecure->isChecked());
        dialog->chkSecure->setChecked(true);
        QTest::mouseClick(dialog->bitConnect, Qt::LeftButton);
    }
    EXPECT_TRUE(WorldFeatures::Load(AppSettings(), "secure.example", "4443").Secure);
    EXPECT_FALSE(WorldFeatures::Load(AppSettings(), "secure.example", "4000").Secure);
    auto dialog = Open();
    dialog->txtHost->setText(QStringLiteral("secure.example"));
    dialog->txtPort->setText(QStringLiteral("4443"));
    EXPECT_TRUE(dialog->chkSecure->isChecked());
    dialog->txtPort->setText(QStringLiteral("23"));
    EXPECT_FALSE(dialog->chkSecure->isChecked());
}

// A secure world added or saved (without connecting) is still secure when it is opened later.
TEST_F(ConnectionManager, SecureBoxIsKeptByAddAndSaveToo)
{
    const struct {
        const char *Host;
        QPushButton *TfrmConnect::*Button;
    } cases[] = {{"added.example", &TfrmConnect::cmdAdd}, {"saved.example", &TfrmConnect::bitSave}};
    for (const auto &c : cases) {
        auto dialog = Open();
        dialog->txtHost->setText(QString::fromLatin1(c.Host));
        dialog->txtPort->setText(QStringLiteral("4443"));
        dialog->chkSecure->setChecked(true);
        QTest::mouseClick(dialog.get()->*c.Button, Qt::LeftButton);
        EXPECT_TRUE(WorldFeatures::Load(AppSettings(), c.Host, "4443").Secure) << c.Host;
    }
    EXPECT_TRUE(Worlds.isEmpty()) << "nothing was opened";
}

// A world list too large to read whole is not shown in part, and Connect (which saves the list) does not
// write the part over it: the user is asked, and a copy of the old list is kept when they agree.
TEST_F(ConnectionManager, WorldListThatFailedToLoadIsNotOverwritten)
{
    const QString path = m_folder.filePath(QStringLiteral("muds.ini"));
    QByteArray big = "Mine\tmine.example\t4000\r\n";
    big += QByteArray(5 * 1024 * 1024, '#');
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(big);
    }
    const auto bytes = [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    auto dialog = Open();
    ASSERT_TRUE(test::WaitFor([&] { return !Messages.isEmpty(); }));
    EXPECT_TRUE(Messages.front().contains(QStringLiteral("larger than"))) << Messages.front().toStdString();
    dialog->txtHost->setText(QStringLiteral("new.example"));
    dialog->txtPort->setText(QStringLiteral("23"));
    QTest::mouseClick(dialog->bitConnect, Qt::LeftButton);
    EXPECT_EQ(bytes(), big) << "without the user's word the list stays as it was";
    EXPECT_TRUE(Messages.back().contains(QStringLiteral("not saved"))) << Messages.back().toStdString();
    EXPECT_EQ(Worlds.size(), 1) << "the world still opens";

    QStringList asked;
    SetOverwriteQuestion([&asked](const QString &question) {
        asked.append(question);
        return true;
    });
    auto again = Open();
    QTest::mouseClick(again->bitSave, Qt::LeftButton);
    SetOverwriteQuestion({});
    EXPECT_EQ(asked.size(), 1);
    EXPECT_NE(bytes(), big);
    const QStringList backups = QDir(m_folder.path()).entryList({QStringLiteral("muds.ini.*.bak")});
    ASSERT_EQ(backups.size(), 1);
    QFile backup(m_folder.filePath(backups.front()));
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    EXPECT_EQ(backup.readAll(), big);
}
