// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's scripts page: a world's Lua scripts listed, edited, saved and reloaded, with the last load's problems.
#include "ui/scripts_page.h"

#include "scripting/script_engine.h"
#include "scripting/script_files.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QTableWidget>
#include <QTextBlock>
#include <QVBoxLayout>

namespace wren {

namespace {

QLabel *BuddyLabel(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(buddy);
    buddy->setAccessibleName(QString(text).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
    return label;
}

} // namespace

ScriptsPage::ScriptsPage(QWidget *parent)
    : QWidget(parent)
{
    BuildLayout();
    SetEngine(nullptr);
}

void ScriptsPage::BuildLayout()
{
    scriptList = new QListWidget(this);
    newName = new QLineEdit(this);
    newName->setPlaceholderText(QStringLiteral("name.lua"));
    newButton = new QPushButton(QStringLiteral("&New"), this);
    newButton->setAccessibleName(QStringLiteral("New script"));
    editor = new QPlainTextEdit(this);
    editor->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor->setTabChangesFocus(true); // Tab leaves the editor; indent with spaces
    saveButton = new QPushButton(QStringLiteral("&Save"), this);
    reloadButton = new QPushButton(QStringLiteral("&Reload scripts"), this);
    problemTable = new QTableWidget(0, 3, this);
    problemTable->setHorizontalHeaderLabels(
        {QStringLiteral("File"), QStringLiteral("Line"), QStringLiteral("Problem")});
    problemTable->horizontalHeader()->setStretchLastSection(true);
    problemTable->verticalHeader()->hide();
    problemTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    problemTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    status = new QLabel(this);
    status->setAccessibleName(QStringLiteral("Status"));

    auto *left = new QVBoxLayout;
    left->addWidget(BuddyLabel(QStringLiteral("S&cripts:"), scriptList, this));
    left->addWidget(scriptList, 1);
    left->addWidget(BuddyLabel(QStringLiteral("New script &name:"), newName, this));
    auto *newRow = new QHBoxLayout;
    newRow->addWidget(newName, 1);
    newRow->addWidget(newButton);
    left->addLayout(newRow);

    auto *right = new QVBoxLayout;
    right->addWidget(BuddyLabel(QStringLiteral("Script &text:"), editor, this));
    right->addWidget(editor, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(saveButton);
    buttons->addWidget(reloadButton);
    buttons->addStretch(1);
    right->addLayout(buttons);

    auto *grid = new QGridLayout(this);
    grid->addLayout(left, 0, 0);
    grid->addLayout(right, 0, 1);
    grid->setColumnStretch(1, 3);
    grid->addWidget(BuddyLabel(QStringLiteral("&Problems of the last load:"), problemTable, this), 1, 0, 1, 2);
    grid->addWidget(problemTable, 2, 0, 1, 2);
    grid->addWidget(status, 3, 0, 1, 2);

    connect(scriptList, &QListWidget::currentTextChanged, this, [this](const QString &name) {
        if (!name.isEmpty() && name.toLatin1() != m_file && !Open(name.toLatin1()))
            FillList(); // stayed on the old file: select it again
    });
    connect(newButton, &QPushButton::clicked, this, [this] { NewScript(); });
    connect(newName, &QLineEdit::returnPressed, this, [this] { NewScript(); });
    connect(saveButton, &QPushButton::clicked, this, [this] { Save(); });
    connect(reloadButton, &QPushButton::clicked, this, [this] { Reload(); });
    connect(problemTable, &QTableWidget::cellActivated, this, [this](int row, int) { GoToProblem(row); });
    connect(editor, &QPlainTextEdit::modificationChanged, saveButton, &QPushButton::setEnabled);
}

void ScriptsPage::SetEngine(ScriptEngine *engine)
{
    if (m_engine)
        disconnect(m_engine, nullptr, this, nullptr);
    m_engine = engine;
    m_file.clear();
    editor->clear();
    editor->document()->setModified(false);
    const bool there = engine != nullptr;
    for (QWidget *control :
         {static_cast<QWidget *>(scriptList), static_cast<QWidget *>(newName), static_cast<QWidget *>(newButton),
          static_cast<QWidget *>(editor), static_cast<QWidget *>(reloadButton), static_cast<QWidget *>(problemTable)})
        control->setEnabled(there);
    saveButton->setEnabled(false);
    status->setText(there ? QString() : QStringLiteral("Scripts are not running in this session."));
    if (engine)
        connect(engine, &ScriptEngine::Loaded, this, [this] {
            FillList();
            FillProblems();
        });
    FillList();
    FillProblems();
}

void ScriptsPage::FillList()
{
    const QSignalBlocker quiet(scriptList);
    scriptList->clear();
    if (!m_engine)
        return;
    for (const QByteArray &name : m_engine->Folder().Scripts()) {
        scriptList->addItem(QString::fromLatin1(name));
        if (name == m_file)
            scriptList->setCurrentRow(scriptList->count() - 1);
    }
}

void ScriptsPage::FillProblems()
{
    problemTable->setRowCount(0);
    if (!m_engine)
        return;
    const QList<ScriptEngine::Problem> &problems = m_engine->LoadProblems();
    problemTable->setRowCount(static_cast<int>(problems.size()));
    for (int row = 0; row < problems.size(); ++row) {
        const ScriptEngine::Problem &problem = problems[row];
        problemTable->setItem(row, 0, new QTableWidgetItem(QString::fromLatin1(problem.File)));
        problemTable->setItem(row, 1,
                              new QTableWidgetItem(problem.Line > 0 ? QString::number(problem.Line) : QString()));
        problemTable->setItem(row, 2, new QTableWidgetItem(QString::fromUtf8(problem.Message)));
    }
    if (!problems.isEmpty())
        status->setText(QStringLiteral("The last load met %1 problem(s).").arg(problems.size()));
    else if (!m_engine->LoadedScripts().isEmpty())
        status->setText(QStringLiteral("%1 script(s) loaded.").arg(m_engine->LoadedScripts().size()));
}

bool ScriptsPage::IsModified() const
{
    return !m_file.isEmpty() && editor->document()->isModified();
}

bool ScriptsPage::SettleUnsaved()
{
    if (!IsModified())
        return true;
    const QString file = QString::fromLatin1(m_file);
    Unsaved answer = Unsaved::Cancel;
    if (AskUnsaved) {
        answer = AskUnsaved(file);
    } else {
        const auto button = QMessageBox::question(this, QStringLiteral("Scripts"),
                                                  QStringLiteral("Save the changes to %1?").arg(file),
                                                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        answer = button == QMessageBox::Save      ? Unsaved::Save
                 : button == QMessageBox::Discard ? Unsaved::Discard
                                                  : Unsaved::Cancel;
    }
    if (answer == Unsaved::Save)
        return Save();
    return answer == Unsaved::Discard;
}

bool ScriptsPage::Open(const QByteArray &name)
{
    if (!m_engine || !SettleUnsaved())
        return false;
    QByteArray error;
    const std::optional<QByteArray> bytes = m_engine->Folder().Read(name, &error);
    if (!bytes) {
        Message(QStringLiteral("%1 could not be opened: %2").arg(QString::fromLatin1(name), QString::fromUtf8(error)));
        return false;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(*bytes);
    m_latin1 = utf8.hasError();
    if (m_latin1)
        text = QString::fromLatin1(*bytes);
    m_file = name;
    editor->setPlainText(text);
    editor->document()->setModified(false);
    saveButton->setEnabled(false);
    status->setText(m_latin1
                        ? QStringLiteral("%1 is not UTF-8: it is edited as Latin-1.").arg(QString::fromLatin1(name))
                        : QString());
    FillList();
    return true;
}

bool ScriptsPage::Save()
{
    if (!m_engine || m_file.isEmpty())
        return false;
    const QString text = editor->toPlainText();
    const QByteArray bytes = m_latin1 ? text.toLatin1() : text.toUtf8();
    QByteArray error;
    if (!m_engine->Folder().Write(m_file, bytes, &error)) {
        Message(QStringLiteral("%1 was not saved: %2").arg(QString::fromLatin1(m_file), QString::fromUtf8(error)));
        return false;
    }
    editor->document()->setModified(false);
    status->setText(QStringLiteral("%1 saved; Reload scripts runs it.").arg(QString::fromLatin1(m_file)));
    return true;
}

bool ScriptsPage::NewScript()
{
    if (!m_engine)
        return false;
    QByteArray name = newName->text().trimmed().toLatin1();
    if (!name.isEmpty() && !name.endsWith(".lua"))
        name += ".lua";
    const QByteArray problem = ScriptFolder::NameProblem(name);
    if (!problem.isEmpty()) {
        Message(QStringLiteral("The script was not made: %1.").arg(QString::fromUtf8(problem)));
        return false;
    }
    if (!SettleUnsaved())
        return false;
    QByteArray error;
    if (!m_engine->Folder().Files().contains(name) && !m_engine->Folder().Write(name, {}, &error)) {
        Message(QStringLiteral("%1 could not be made: %2").arg(QString::fromLatin1(name), QString::fromUtf8(error)));
        return false;
    }
    newName->clear();
    FillList();
    const bool opened = Open(name);
    if (opened)
        editor->setFocus();
    return opened;
}

void ScriptsPage::Reload()
{
    if (!m_engine || !SettleUnsaved())
        return;
    m_engine->Reload(); // Loaded() refreshes the list and the problems
}

void ScriptsPage::GoToProblem(int row)
{
    const QTableWidgetItem *file = problemTable->item(row, 0);
    const QTableWidgetItem *line = problemTable->item(row, 1);
    if (!file || (file->text().toLatin1() != m_file && !Open(file->text().toLatin1())))
        return;
    const int number = line ? line->text().toInt() : 0;
    if (number > 0) {
        QTextCursor cursor(editor->document()->findBlockByNumber(number - 1));
        editor->setTextCursor(cursor);
        editor->centerCursor();
    }
    editor->setFocus();
}

void ScriptsPage::Message(const QString &text)
{
    if (ShowMessage)
        ShowMessage(text);
    else
        QMessageBox::warning(this, QStringLiteral("Scripts"), text);
}

} // namespace wren
