// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's scripts page: listing, editing, saving byte for byte, new scripts, reloading, the last load's
// problems leading to their lines, unsaved changes, and every control named for the keyboard and screen readers.
#include "fake_host.h"
#include "ui/scripts_page.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBlock>

#include <gtest/gtest.h>

using namespace wren;
using namespace wren::test;

namespace {

class Page : public ::testing::Test
{
protected:
    FakeHost host;
    ScriptsDir dir;
    ScriptEngine engine {host};
    ScriptsPage page;
    QStringList messages;
    QStringList asked;
    ScriptsPage::Unsaved answer = ScriptsPage::Unsaved::Cancel;

    void SetUp() override
    {
        page.ShowMessage = [this](const QString &text) { messages.append(text); };
        page.AskUnsaved = [this](const QString &file) {
            asked.append(file);
            return answer;
        };
    }
    void Start(std::initializer_list<std::pair<QByteArray, QByteArray>> files)
    {
        for (const auto &[name, text] : files)
            dir.Write(name, text);
        engine.Load(dir.Path());
        page.SetEngine(&engine);
    }
    /// Replaces the editor's text as typing does (setPlainText would leave the document unmodified).
    void Type(const QString &text)
    {
        page.editor->selectAll();
        page.editor->insertPlainText(text);
    }
    QStringList Listed() const
    {
        QStringList names;
        for (int i = 0; i < page.scriptList->count(); ++i)
            names.append(page.scriptList->item(i)->text());
        return names;
    }
};

TEST_F(Page, ListsTheScriptsAndEditsOne)
{
    Start({{"b.lua", "x = 2\n"}, {"a.lua", "x = 1\n"}, {"notes.txt", "not listed"}});
    EXPECT_EQ(Listed(), (QStringList {QStringLiteral("a.lua"), QStringLiteral("b.lua")}));
    page.scriptList->setCurrentRow(1);
    EXPECT_EQ(page.CurrentFile(), "b.lua");
    EXPECT_EQ(page.editor->toPlainText(), QStringLiteral("x = 2\n"));
    EXPECT_FALSE(page.saveButton->isEnabled());
    Type(QStringLiteral("x = 3 -- caf\u00e9\n"));
    EXPECT_TRUE(page.IsModified());
    EXPECT_TRUE(page.saveButton->isEnabled());
    page.saveButton->click();
    EXPECT_FALSE(page.IsModified());
    EXPECT_EQ(engine.Folder().Read("b.lua"), QByteArray("x = 3 -- caf\xC3\xA9\n"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Page, AFileThatIsNotUtf8KeepsItsBytes)
{
    const QByteArray latin1("echo('caf\xE9 \x80\xFF')\n");
    Start({{"old.lua", latin1}});
    ASSERT_TRUE(page.Open("old.lua"));
    EXPECT_TRUE(page.status->text().contains(QStringLiteral("Latin-1")));
    page.editor->moveCursor(QTextCursor::End);
    page.editor->insertPlainText(QStringLiteral("x = 1\n"));
    ASSERT_TRUE(page.Save());
    EXPECT_EQ(engine.Folder().Read("old.lua"), latin1 + "x = 1\n");
}

TEST_F(Page, NewScriptsAreNamedWithinTheFoldersRules)
{
    Start({});
    page.newName->setText(QStringLiteral("healer"));
    page.newButton->click();
    EXPECT_EQ(page.CurrentFile(), "healer.lua");
    EXPECT_EQ(Listed(), QStringList {QStringLiteral("healer.lua")});
    EXPECT_EQ(engine.Folder().Read("healer.lua"), QByteArray(""));
    EXPECT_TRUE(page.newName->text().isEmpty());

    for (const QString &bad :
         {QStringLiteral("../up"), QStringLiteral("a b"), QStringLiteral(".hidden"), QStringLiteral("caf\u00e9")}) {
        messages.clear();
        page.newName->setText(bad);
        EXPECT_FALSE(page.NewScript()) << bad.toStdString();
        ASSERT_EQ(messages.size(), 1) << bad.toStdString();
        EXPECT_TRUE(messages[0].startsWith(QStringLiteral("The script was not made: "))) << messages[0].toStdString();
    }
    EXPECT_EQ(Listed(), QStringList {QStringLiteral("healer.lua")});
}

TEST_F(Page, ReloadShowsTheProblemsAndEachLeadsToItsLine)
{
    Start({{"good.lua", "ok = true\n"}});
    EXPECT_EQ(page.problemTable->rowCount(), 0);
    dir.Write("bad.lua", "-- one\n-- two\nx = = 3\n");
    page.reloadButton->click();
    ASSERT_EQ(page.problemTable->rowCount(), 1);
    EXPECT_EQ(page.problemTable->item(0, 0)->text(), QStringLiteral("bad.lua"));
    EXPECT_EQ(page.problemTable->item(0, 1)->text(), QStringLiteral("3"));
    EXPECT_TRUE(page.problemTable->item(0, 2)->text().contains(QStringLiteral("unexpected symbol")));
    EXPECT_EQ(Listed(), (QStringList {QStringLiteral("bad.lua"), QStringLiteral("good.lua")}));
    EXPECT_TRUE(page.status->text().contains(QStringLiteral("1 problem")));

    page.GoToProblem(0);
    EXPECT_EQ(page.CurrentFile(), "bad.lua");
    EXPECT_EQ(page.editor->textCursor().block().blockNumber(), 2);

    Type(QStringLiteral("x = 3\n"));
    answer = ScriptsPage::Unsaved::Save;
    page.reloadButton->click(); // saves first, as asked
    EXPECT_EQ(asked, QStringList {QStringLiteral("bad.lua")});
    EXPECT_EQ(page.problemTable->rowCount(), 0);
    EXPECT_EQ(engine.LoadedScripts(), (QList<QByteArray> {"bad.lua", "good.lua"}));
}

TEST_F(Page, UnsavedChangesAreAskedAbout)
{
    Start({{"a.lua", "a\n"}, {"b.lua", "b\n"}});
    ASSERT_TRUE(page.Open("a.lua"));
    Type(QStringLiteral("changed\n"));

    answer = ScriptsPage::Unsaved::Cancel;
    page.scriptList->setCurrentRow(1);
    EXPECT_EQ(page.CurrentFile(), "a.lua");
    EXPECT_EQ(page.scriptList->currentItem()->text(), QStringLiteral("a.lua"));
    EXPECT_EQ(page.editor->toPlainText(), QStringLiteral("changed\n"));

    answer = ScriptsPage::Unsaved::Discard;
    EXPECT_TRUE(page.Open("b.lua"));
    EXPECT_EQ(engine.Folder().Read("a.lua"), QByteArray("a\n"));

    Type(QStringLiteral("new b\n"));
    answer = ScriptsPage::Unsaved::Save;
    EXPECT_TRUE(page.Open("a.lua"));
    EXPECT_EQ(engine.Folder().Read("b.lua"), QByteArray("new b\n"));
    EXPECT_EQ(asked.size(), 3);
}

TEST_F(Page, WithoutAnEngineEverythingIsOff)
{
    Start({{"a.lua", ""}});
    page.SetEngine(nullptr);
    EXPECT_EQ(page.scriptList->count(), 0);
    for (QWidget *control : {static_cast<QWidget *>(page.scriptList), static_cast<QWidget *>(page.editor),
                             static_cast<QWidget *>(page.saveButton), static_cast<QWidget *>(page.reloadButton),
                             static_cast<QWidget *>(page.newButton)})
        EXPECT_FALSE(control->isEnabled());
    EXPECT_FALSE(page.Save());
    EXPECT_FALSE(page.Open("a.lua"));
}

TEST_F(Page, EveryControlIsNamedAndReachedByItsLabel)
{
    Start({});
    const QList<QWidget *> controls {page.scriptList, page.newName,      page.newButton,    page.editor,
                                     page.saveButton, page.reloadButton, page.problemTable, page.status};
    for (QWidget *control : controls)
        EXPECT_FALSE(control->accessibleName().isEmpty() && control->property("text").toString().isEmpty())
            << control->metaObject()->className();
    QList<QWidget *> buddies;
    for (const QLabel *label : page.findChildren<QLabel *>()) {
        if (label->buddy())
            buddies.append(label->buddy());
    }
    for (QWidget *field : {static_cast<QWidget *>(page.scriptList), static_cast<QWidget *>(page.newName),
                           static_cast<QWidget *>(page.editor), static_cast<QWidget *>(page.problemTable)})
        EXPECT_TRUE(buddies.contains(field)) << field->metaObject()->className();
    EXPECT_TRUE(page.editor->tabChangesFocus());
    EXPECT_TRUE(page.editor->font().fixedPitch() || page.editor->font().styleHint() == QFont::Monospace
                || QFontInfo(page.editor->font()).fixedPitch());
}

} // namespace
