// SPDX-License-Identifier: GPL-3.0-or-later
// The advanced settings editor: a session's aliases, macros, events, triggers, variables and tab-completion
// words listed, edited, switched on and off, and saved.
#pragma once

#include "automation/automation_face.h"
#include "base/live.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableWidget;

namespace wren {

/// TfrmAdvanced: every change acts on the selected session's lists at once; only Save writes the file.
class TfrmAdvanced : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmAdvanced(std::function<AutomationFace *()> current, QWidget *parent = nullptr);

    // The controls, named as the designers named them, for the tests.
    QTableWidget *grdAdv = nullptr;
    QComboBox *cmbClass = nullptr;
    QTabWidget *pages = nullptr;
    QLineEdit *aliasname = nullptr;
    QPlainTextEdit *aliascommand = nullptr;
    QComboBox *cmbevents = nullptr;
    QPlainTextEdit *eventcommand = nullptr;
    QLineEdit *macroname = nullptr;
    QPushButton *macroset = nullptr;
    QCheckBox *ctrlbox = nullptr, *altbox = nullptr, *shiftbox = nullptr;
    QPlainTextEdit *macrocommand = nullptr;
    QPlainTextEdit *txttabcompletion = nullptr;
    QLineEdit *triggerpattern = nullptr;
    QRadioButton *triggerexecute = nullptr, *triggerreplacewith = nullptr;
    QPlainTextEdit *triggercommand = nullptr;
    QLineEdit *variablename = nullptr, *variablevalue = nullptr;
    QPushButton *buttonadd = nullptr, *buttonremove = nullptr, *buttonenable = nullptr, *buttondisable = nullptr,
                *bitSave = nullptr, *bitClose = nullptr;

    enum Page { AliasPage, EventPage, MacroPage, CompletionPage, TriggerPage, VariablePage };

    /// Messages for the user; a message box unless a test puts its own here.
    std::function<void(const QString &text)> ShowMessage;
    /// Called with the key-capture dialog before it is shown (tests press its keys from here).
    std::function<void(QDialog *dialog)> BeforePick;

    /// The session the dialog edits from now on; the grid is filled from it again.
    void SetSession(std::function<AutomationFace *()> current);
    void ShowRow(int row);
    void AddOrUpdate();
    void RemoveRow();
    void EnableRow();
    void DisableRow();
    void Pick();

private:
    void BuildLayout();
    void BuildPages();
    void BuildMorePages();
    void Fill();
    void AppendRow(bool enabled, const QByteArray &itemClass, const QByteArray &name, const QString &type);
    void AddClass(const QString &itemClass);
    void ShowModifiers(std::uint8_t shift);
    QString Cell(int row, int column) const;
    void Message(const QString &text);

    Live<AutomationFace> m_session;
};

} // namespace wren
