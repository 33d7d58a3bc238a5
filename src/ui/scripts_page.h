// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's scripts page: a world's Lua scripts listed, edited, saved and reloaded, with the last load's problems.
#pragma once

#include <QByteArray>
#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace wren {

class ScriptEngine;

/// One world's scripts: the list of its folder's ".lua" files, an editor for one, Save (the folder's rules,
/// written safely), New, Reload (the engine loads every script again) and the problems of the last load;
/// activating a problem opens its file at its line. A file that is valid UTF-8 is edited as UTF-8, any other
/// as Latin-1, so saving gives back exactly the bytes that were not edited.
class ScriptsPage : public QWidget
{
    Q_OBJECT
public:
    explicit ScriptsPage(QWidget *parent = nullptr);

    /// The engine whose folder the page shows and which Reload reloads; null empties and disables the page.
    void SetEngine(ScriptEngine *engine);

    enum class Unsaved { Save, Discard, Cancel };
    /// Asked before unsaved changes would be lost; a message box unless a test sets its own.
    std::function<Unsaved(const QString &file)> AskUnsaved;
    /// Messages for the user; a message box unless a test sets its own.
    std::function<void(const QString &text)> ShowMessage;

    // The controls, for the tests.
    QListWidget *scriptList = nullptr;
    QLineEdit *newName = nullptr;
    QPushButton *newButton = nullptr;
    QPlainTextEdit *editor = nullptr;
    QPushButton *saveButton = nullptr;
    QPushButton *reloadButton = nullptr;
    QTableWidget *problemTable = nullptr;
    QLabel *status = nullptr;

    /// Opens @p name from the folder (after asking about unsaved changes); false when it stays on the old one.
    bool Open(const QByteArray &name);
    /// Writes the editor's text to the open file; false (with a message) when refused or failed.
    bool Save();
    /// Creates the script named in newName (".lua" added when missing) and opens it.
    bool NewScript();
    /// Saves first if asked, then has the engine load every script again.
    void Reload();
    /// Opens the file of problem @p row at its line.
    void GoToProblem(int row);
    QByteArray CurrentFile() const { return m_file; }
    bool IsModified() const;

private:
    void BuildLayout();
    void FillList();
    void FillProblems();
    bool SettleUnsaved();
    void Message(const QString &text);

    QPointer<ScriptEngine> m_engine;
    QByteArray m_file;
    bool m_latin1 = false; ///< the open file is not UTF-8: edited and saved as Latin-1
};

} // namespace wren
