// SPDX-License-Identifier: GPL-3.0-or-later
// The advanced settings editor and the key-capture dialog on real widgets.
#include "automation/advanced_dialog.h"
#include "automation/macro_dialog.h"
#include "config/program_folder.h"
#include "session/client.h"
#include "support/test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace wren;

namespace {

class Editor : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.path());
        m_session = std::make_unique<TClient>(m_globals);
        m_session->Open("World", "mud.example", 4000);
        AutomationStore &s = m_session->Automation;
        s.AddAlias("k", "kill %1\r\nsay done", "Combat");
        s.AddMacro("F5", 116, "Main", "cast heal", 4 | 2);
        s.AddEvent("On Connect", "look", "Main");
        s.AddTrigger("^You see (\\w+)", "k $1", "combat", 1);
        s.AddTrigger("hp", "HP", "Main", 0);
        s.AddVariable("@target", "orc", "Main", 0);
        s.SetTabCompletionText("goblin\r\ngold");
        s.SetTabCompletion("goblin\r\ngold");
    }
    std::unique_ptr<TfrmAdvanced> Open()
    {
        auto dialog = std::make_unique<TfrmAdvanced>([this] { return m_session.get(); });
        dialog->ShowMessage = [this](const QString &text) { Messages.append(text); };
        dialog->show();
        return dialog;
    }
    static QStringList Row(TfrmAdvanced &dialog, int row)
    {
        QStringList cells;
        for (int c = 0; c < 4; ++c)
            cells.append(dialog.grdAdv->item(row, c) ? dialog.grdAdv->item(row, c)->text() : QString());
        return cells;
    }
    static void Click(QWidget *widget) { QTest::mouseClick(widget, Qt::LeftButton); }
    static void ClickRow(TfrmAdvanced &dialog, int row)
    {
        QTest::mouseClick(dialog.grdAdv->viewport(), Qt::LeftButton, {},
                          dialog.grdAdv->visualRect(dialog.grdAdv->model()->index(row, 1)).center());
    }

    QTemporaryDir m_folder;
    TGlobals m_globals;
    std::unique_ptr<TClient> m_session;
    QStringList Messages;
};

QStringList Cells(std::initializer_list<const char *> cells)
{
    QStringList list;
    for (const char *cell : cells)
        list.append(QString::fromLatin1(cell));
    return list;
}

} // namespace

TEST_F(Editor, ListsTheItemsInTheirOrderWithTheClasses)
{
    auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), m_session->AdvancedFile);
    ASSERT_EQ(dialog->grdAdv->rowCount(), 8) << "seven rows and the empty one; System items are not listed";
    EXPECT_EQ(Row(*dialog, 0), Cells({"*", "Combat", "k", "Alias"}));
    EXPECT_EQ(Row(*dialog, 1), Cells({"*", "Main", "F5", "Macro"}));
    EXPECT_EQ(Row(*dialog, 2), Cells({"*", "Main", "On Connect", "Event"}));
    EXPECT_EQ(Row(*dialog, 3), Cells({"*", "combat", "^You see (\\w+)", "Trigger"}));
    EXPECT_EQ(Row(*dialog, 5), Cells({"*", "Main", "@target", "Variable"}));
    EXPECT_EQ(Row(*dialog, 6), Cells({"", "Main", "Enabled", "Tab Completion"}));
    EXPECT_EQ(Row(*dialog, 7), Cells({"", "", "", ""}));
    EXPECT_EQ(dialog->cmbClass->count(), 2) << "Combat and combat are one class in the box";
    EXPECT_EQ(dialog->pages->currentIndex(), TfrmAdvanced::AliasPage) << "the first row is shown as if clicked";
    EXPECT_EQ(dialog->aliascommand->toPlainText(), QStringLiteral("kill %1\nsay done"));
}

TEST_F(Editor, ClickingARowShowsItsItem)
{
    auto dialog = Open();
    ClickRow(*dialog, 1);
    EXPECT_EQ(dialog->pages->currentIndex(), TfrmAdvanced::MacroPage);
    EXPECT_EQ(dialog->macroname->text(), QStringLiteral("F5"));
    EXPECT_TRUE(dialog->ctrlbox->isChecked());
    EXPECT_TRUE(dialog->altbox->isChecked());
    EXPECT_FALSE(dialog->shiftbox->isChecked());
    ClickRow(*dialog, 2);
    EXPECT_EQ(dialog->cmbevents->currentText(), QStringLiteral("On Connect"));
    ClickRow(*dialog, 4);
    EXPECT_EQ(dialog->pages->currentIndex(), TfrmAdvanced::TriggerPage);
    EXPECT_TRUE(dialog->triggerreplacewith->isChecked());
    ClickRow(*dialog, 3);
    EXPECT_TRUE(dialog->triggerexecute->isChecked());
    EXPECT_EQ(dialog->cmbClass->currentText(), QStringLiteral("combat"));
    ClickRow(*dialog, 5);
    EXPECT_EQ(dialog->variablevalue->text(), QStringLiteral("orc"));
    ClickRow(*dialog, 6);
    EXPECT_EQ(dialog->pages->currentIndex(), TfrmAdvanced::CompletionPage);
    EXPECT_EQ(dialog->txttabcompletion->toPlainText(), QStringLiteral("goblin\ngold"));
}

TEST_F(Editor, AddUpdatesOrAddsOnEveryPage)
{
    auto dialog = Open();
    // An alias whose class and name exist is updated, with no new row.
    dialog->pages->setCurrentIndex(TfrmAdvanced::AliasPage);
    dialog->cmbClass->setCurrentText(QStringLiteral("Combat"));
    dialog->aliasname->setText(QStringLiteral("k"));
    dialog->aliascommand->setPlainText(QStringLiteral("slay %1"));
    Click(dialog->buttonadd);
    EXPECT_EQ(dialog->grdAdv->rowCount(), 8);
    EXPECT_EQ(m_session->Automation.Aliases()[0].Command, "slay %1");

    // A variable gets its "@"; an empty class box becomes Main.
    dialog->pages->setCurrentIndex(TfrmAdvanced::VariablePage);
    dialog->cmbClass->setCurrentText(QString());
    dialog->variablename->setText(QStringLiteral("hp"));
    dialog->variablevalue->setText(QStringLiteral("10"));
    Click(dialog->buttonadd);
    EXPECT_EQ(dialog->variablename->text(), QStringLiteral("@hp"));
    EXPECT_EQ(dialog->cmbClass->currentText(), QStringLiteral("Main"));
    EXPECT_EQ(Row(*dialog, 7), Cells({"*", "Main", "@hp", "Variable"}));
    EXPECT_EQ(dialog->grdAdv->rowCount(), 9);

    // A bad pattern is refused with the engine's error and changes nothing.
    dialog->pages->setCurrentIndex(TfrmAdvanced::TriggerPage);
    dialog->cmbClass->setCurrentText(QString());
    dialog->triggerpattern->setText(QStringLiteral("(unclosed"));
    Click(dialog->buttonadd);
    ASSERT_EQ(Messages.size(), 1);
    EXPECT_TRUE(Messages[0].startsWith(QStringLiteral("The trigger has a regular expression error:\n114 - ")))
        << Messages[0].toStdString();
    EXPECT_EQ(dialog->cmbClass->currentText(), QString()) << "the class box is left as it was";
    dialog->triggerpattern->clear();
    Click(dialog->buttonadd);
    EXPECT_EQ(Messages.size(), 2) << "an empty pattern is refused too";
    dialog->triggerpattern->setText(QStringLiteral("^arrives"));
    Click(dialog->triggerreplacewith);
    dialog->triggercommand->setPlainText(QStringLiteral("ARRIVES"));
    dialog->cmbClass->setCurrentText(QStringLiteral("COMBAT"));
    Click(dialog->buttonadd);
    EXPECT_EQ(m_session->Automation.Triggers().back().Number, 0);
    EXPECT_EQ(m_session->Automation.Triggers().back().ItemClass, "COMBAT") << "stored as typed";
    EXPECT_EQ(dialog->cmbClass->count(), 2) << "COMBAT is Combat in the box";

    // A macro takes the key of the session's last capture, not the one shown.
    dialog->pages->setCurrentIndex(TfrmAdvanced::MacroPage);
    m_session->MacroKey = 0;
    dialog->macroname->setText(QStringLiteral("F9"));
    dialog->macrocommand->setPlainText(QStringLiteral("flee"));
    dialog->cmbClass->setCurrentText(QStringLiteral("Other"));
    Click(dialog->buttonadd);
    EXPECT_EQ(m_session->Automation.Macros().back().Number, 0) << "no capture: a key that never matches";
    EXPECT_EQ(dialog->cmbClass->count(), 3);

    // Tab completion keeps its first 255 characters.
    dialog->pages->setCurrentIndex(TfrmAdvanced::CompletionPage);
    dialog->txttabcompletion->setPlainText(QString(300, QLatin1Char('w')));
    Click(dialog->buttonadd);
    EXPECT_EQ(m_session->Automation.TabCompletionItem().Command.size(), 255);
    EXPECT_EQ(m_session->Automation.TabWords(), QList<QByteArray> {QByteArray(255, 'w')});
}

// A pattern is kept in 40 characters: the box takes no more, and a pattern that would only compile whole is
// refused as it would be stored, instead of being skipped in silence later.
TEST_F(Editor, PatternsAndNamesAreHeldToTheirFields)
{
    auto dialog = Open();
    dialog->pages->setCurrentIndex(TfrmAdvanced::TriggerPage);
    const QString pattern = QString(37, QLatin1Char('a')) + QStringLiteral("(bcdef)"); // 44 characters
    dialog->triggerpattern->setText(pattern);
    EXPECT_EQ(dialog->triggerpattern->text().size(), 40);
    const qsizetype triggers = m_session->Automation.Triggers().size();
    Click(dialog->buttonadd);
    ASSERT_EQ(Messages.size(), 1);
    EXPECT_TRUE(Messages[0].startsWith(QStringLiteral("The trigger has a regular expression error:")));
    EXPECT_EQ(m_session->Automation.Triggers().size(), triggers);
    for (QLineEdit *box : {dialog->aliasname, dialog->variablename, dialog->cmbClass->lineEdit()}) {
        box->setText(QString(50, QLatin1Char('n')));
        EXPECT_EQ(box->text().size(), 40) << box->objectName().toStdString();
    }
}

TEST_F(Editor, RemoveEnableDisableAndSave)
{
    auto dialog = Open();
    ClickRow(*dialog, 6);
    Click(dialog->buttonremove); // the tab-completion row: its text goes, the words stay in use
    EXPECT_EQ(m_session->Automation.TabCompletionItem().Command, "");
    EXPECT_EQ(m_session->Automation.TabWords().size(), 2);
    EXPECT_EQ(dialog->grdAdv->rowCount(), 7);

    // Disabling an alias row disables every kind with that class and name.
    m_session->Automation.AddTrigger("k", "x", "Combat", 1);
    ClickRow(*dialog, 0);
    Click(dialog->buttondisable);
    EXPECT_FALSE(m_session->Automation.Aliases()[0].Enabled);
    EXPECT_FALSE(m_session->Automation.Triggers().back().Enabled);
    EXPECT_EQ(Row(*dialog, 0)[0], QString());
    Click(dialog->buttonenable);
    EXPECT_TRUE(m_session->Automation.Aliases()[0].Enabled);
    EXPECT_FALSE(m_session->Automation.Triggers().back().Enabled) << "Enable acts on its own kind";
    EXPECT_EQ(Row(*dialog, 0)[0], QStringLiteral("*"));

    ClickRow(*dialog, 2);
    Click(dialog->buttonremove);
    EXPECT_TRUE(m_session->Automation.Events().isEmpty());
    dialog->grdAdv->setCurrentCell(dialog->grdAdv->rowCount() - 1, 0);
    Click(dialog->buttonremove); // the empty last row is only cleared
    EXPECT_EQ(dialog->grdAdv->rowCount(), 6);

    Click(dialog->bitSave);
    EXPECT_GT(QFile(m_session->AdvancedFile).size(), 0);
}

TEST_F(Editor, PickCapturesAKeyCombination)
{
    auto dialog = Open();
    dialog->pages->setCurrentIndex(TfrmAdvanced::MacroPage);
    dialog->BeforePick = [](QDialog *capture) {
        QTimer::singleShot(0, capture, [capture] {
            QTest::keyPress(capture, Qt::Key_Control, Qt::ControlModifier);
            EXPECT_TRUE(capture->isVisible()) << "a modifier alone keeps the dialog open";
            QTest::keyPress(capture, Qt::Key_F5, Qt::ControlModifier);
        });
    };
    Click(dialog->macroset);
    EXPECT_EQ(dialog->macroname->text(), QStringLiteral("F5"));
    EXPECT_EQ(m_session->MacroKey, 116);
    EXPECT_EQ(m_session->MacroShift, 4);
    EXPECT_TRUE(dialog->ctrlbox->isChecked());
    dialog->cmbClass->setCurrentText(QStringLiteral("Keys"));
    dialog->macrocommand->setPlainText(QStringLiteral("cast"));
    Click(dialog->buttonadd);
    EXPECT_EQ(m_session->Automation.FindMacro(116, 4), "cast");
}

TEST_F(Editor, KeyCaptureNamesKeys)
{
    struct Case {
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        const char *Name;
        int Code;
    } cases[] = {
        {Qt::Key_Return, {}, "###", 13}, {Qt::Key_Tab, {}, "###", 9},    {Qt::Key_Escape, {}, "ESC", 27},
        {Qt::Key_7, Qt::KeypadModifier, "KEY7", 103}, {Qt::Key_7, {}, "7", 55}, {Qt::Key_Semicolon, {}, "186", 186},
        {Qt::Key_PageUp, {}, "PGUP", 33}, {Qt::Key_Q, Qt::ShiftModifier | Qt::AltModifier, "Q", 81},
    };
    for (const Case &c : cases) {
        TfrmMacro capture([this] { return m_session.get(); });
        capture.show();
        QTest::keyPress(&capture, c.Key, c.Modifiers);
        EXPECT_EQ(m_session->MacroKeyName, c.Name);
        EXPECT_EQ(m_session->MacroKey, c.Code);
        EXPECT_FALSE(capture.isVisible()) << c.Name << ": a key other than a modifier closes it";
    }
    EXPECT_EQ(m_session->MacroShift, 1 | 2);
    TfrmMacro capture([this] { return m_session.get(); });
    EXPECT_EQ(capture.windowTitle(), QStringLiteral("Define a macro ..."));
    EXPECT_EQ(capture.size(), QSize(193, 89));
}
