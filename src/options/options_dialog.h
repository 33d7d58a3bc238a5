// SPDX-License-Identifier: GPL-3.0-or-later
// The options dialog: every control writes its option of the current session at once; Save writes the files.
#pragma once

#include "base/live.h"
#include "config/globals.h"
#include "options/options_face.h"

#include <QColor>
#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace wren {

/// TfrmOptions, "Options...": made afresh at each opening; there is no cancel, Close keeps what changed.
class TfrmOptions : public QDialog
{
    Q_OBJECT
public:
    /// @p current gives the session the controls act on (null: none, and the controls change nothing but
    /// the portal login and the log file box). It is looked up afresh for every change, so a session closed
    /// while the dialog (or a colour dialog over it) is open is never touched.
    TfrmOptions(TGlobals &globals, std::function<OptionsFace *()> current, QWidget *parent = nullptr);

    /// What the password box shows while a password is stored: never the password itself.
    static constexpr char Placeholder[] = "#QUIET-OWL#";

    // The controls, for the tests.
    QTabWidget *Tabs = nullptr;
    QCheckBox *AnsiColor = nullptr, *LocalEcho = nullptr, *AutodetectZel = nullptr, *AutoClearCommand = nullptr,
              *AutoHighlightLinks = nullptr, *AutoCopy = nullptr, *AutoReconnect = nullptr, *EnableTriggers = nullptr,
              *EnableSounds = nullptr, *ExpandPaths = nullptr, *ToggleIcon = nullptr, *WrapHistory = nullptr;
    QComboBox *FontBox = nullptr, *SizeBox = nullptr;
    QPushButton *TextSwatch = nullptr, *BackSwatch = nullptr;
    QLabel *Preview = nullptr;
    QListWidget *AnsiList = nullptr;
    QLabel *Sample = nullptr;
    QComboBox *ColourPicker = nullptr;
    QCheckBox *UseBrightColors = nullptr;
    QCheckBox *ZelEnabled = nullptr, *AllowFontChanges = nullptr, *AllowImages = nullptr;
    QLineEdit *Login = nullptr, *Password = nullptr;
    QPushButton *TestButton = nullptr;
    QLabel *Status = nullptr;
    QLineEdit *txtexpsep = nullptr, *txtcomchar = nullptr, *txtpathchar = nullptr;
    QRadioButton *EndCr = nullptr, *EndLf = nullptr;
    QLineEdit *LogFileBox = nullptr;
    QPushButton *BrowseLog = nullptr;
    QRadioButton *LogSame = nullptr, *LogDifferent = nullptr, *LogNone = nullptr;
    QPushButton *SaveButton = nullptr, *CloseButton = nullptr;
    /// The Connection tab: what the world may use beyond the classic client, kept in the program's own
    /// settings file, one box per feature (in the order of WorldFeatureBoxes).
    QList<QCheckBox *> FeatureBoxes;

    /// Asks the user for a colour; the platform's colour dialog unless a test puts its own here. An invalid
    /// colour means cancelled.
    std::function<QColor(const QColor &initial)> ChooseColour;
    /// Asks for a log file name; the save dialog unless a test puts its own here. Empty means cancelled.
    std::function<QString()> ChooseLogFile;
    /// Messages for the user; a message box unless a test puts its own here.
    std::function<void(const QString &text)> ShowMessage;

    /// The session the controls act on from now on; the controls are filled from it again.
    void SetSession(std::function<OptionsFace *()> current);
    /// Save: the log file name, the portal login, "wn.ini", then the current session's options file.
    void Save();

protected:
    void done(int result) override;

private:
    QWidget *GeneralTab();
    QWidget *FontsTab();
    QWidget *AnsiTab();
    QWidget *PortalTab();
    QWidget *OtherTab();
    QWidget *LoggingTab();
    QWidget *ConnectionTab();
    void Fill();
    void Wire();
    void WireAnsiAndOther();
    void ShowColours();
    void DrawAnsiEntry(int entry);
    void TestLogin();
    void SetLogMode(int mode);
    void Message(const QString &text);
    /// Applies @p change to the session's options, when there is a session.
    void Change(const std::function<void(TSessionOptions &options)> &change);
    /// Asks for a colour starting from the option @p field, then writes it there: the session is looked up
    /// again after the question, which may have outlived it.
    void PickColour(Colour TSessionOptions::*field, const QColor &fallback, bool background);

    TGlobals &m_globals;
    Live<OptionsFace> m_session;
};

} // namespace wren
