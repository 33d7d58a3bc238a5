// SPDX-License-Identifier: GPL-3.0-or-later
// The options dialog: every control writes its option of the current session at once; Save writes the files.
#include "options/options_dialog.h"

#include "base/text_helpers.h"
#include "config/app_settings.h"
#include "config/global_settings.h"
#include "config/program_folder.h"
#include "options/colour_text.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <vector>

namespace wren {

namespace {

struct Check {
    QCheckBox *TfrmOptions::*Box;
    bool TSessionOptions::*Option;
    const char *Caption;
    const char *Hint;
};

// The General tab's boxes, in the order they are shown.
const Check GeneralChecks[] = {
    {&TfrmOptions::AnsiColor, &TSessionOptions::AnsiColor, "Enable ANSI color", "Enable ANSI color"},
    {&TfrmOptions::LocalEcho, &TSessionOptions::LocalEcho, "Local Echo", "Echo each command locally"},
    {&TfrmOptions::AutodetectZel, &TSessionOptions::AutodetectZel, "Autodetect ZEL", "Automatically detect ZEL"},
    {&TfrmOptions::AutoClearCommand, &TSessionOptions::AutoClearCommand, "Autoclear command box",
     "Clear the command box after each command"},
    {&TfrmOptions::AutoHighlightLinks, &TSessionOptions::AutoHighlightLinks, "Autohighlight web links",
     "Underline each web link in the textbox"},
    {&TfrmOptions::AutoCopy, &TSessionOptions::AutoCopy, "Autocopy highlighted",
     "Automatically copy highlighted text to the clipboard"},
    {&TfrmOptions::AutoReconnect, &TSessionOptions::AutoReconnect, "Autoreconnect", "Automatically try to reconnect"},
    {&TfrmOptions::EnableTriggers, &TSessionOptions::EnableTriggers, "Enable triggers", "Enable triggers"},
    {&TfrmOptions::EnableSounds, &TSessionOptions::EnableSounds, "Enable sounds", "Enable sounds"},
    {&TfrmOptions::ExpandPaths, &TSessionOptions::ExpandPaths, "Expand paths", "Expand movement paths"},
    {&TfrmOptions::ToggleIcon, &TSessionOptions::ToggleIcon, "Toggle icon",
     "Toggle taskbar icon when new text is received and WN doesn't have the focus"},
    {&TfrmOptions::WrapHistory, &TSessionOptions::WrapHistory, "Wrap history",
     "Holding down or up loops through the command history "},
};

const Check PortalChecks[] = {
    {&TfrmOptions::ZelEnabled, &TSessionOptions::ZelEnabled, "Enable Zelwire (ZEL)",
     "Toggles ZEL for the current session"},
    {&TfrmOptions::AllowFontChanges, &TSessionOptions::AllowFontChanges, "Allow font changes", ""},
    {&TfrmOptions::AllowImages, &TSessionOptions::AllowImages, "Allow images", ""},
};

struct FeatureBox {
    const char *Key; ///< the switch's key in the settings file
    const char *Caption;
};

// The Connection tab's boxes. The telnet options take effect at the next connection, the rest at once.
const FeatureBox WorldFeatureBoxes[] = {
    {"Telnet/Echo", "Hide what I type when the server asks (passwords)"},
    {"Telnet/WindowSize", "Tell the server the window size"},
    {"Telnet/Compression", "Accept compressed text (MCCP2)"},
    {"Telnet/Charset", "Accept UTF-8 when the server offers it"},
    {"Telnet/TerminalType", "Tell the server the client and what it shows (MTTS)"},
    {"Telnet/EndOfRecord", "Accept prompt marks (EOR)"},
    {"ModernColours", "Modern colours: bright, 256 colours, true colour, inverse"},
    {"Secure", "Secure connection (TLS)"},
    {"AutoReconnect", "Reconnect by itself when the connection is lost"},
    {"SplitView", "Show the newest text below while reading back"},
    {"GameData/Gmcp", "Accept game data as GMCP (gauges, room, events)"},
    {"GameData/Msdp", "Accept game data as MSDP"},
    {"GameData/Mssp", "Accept the server's status (MSSP)"},
    {"Map", "Draw a map from the world's room data (from the next time the world is opened)"},
    {"Access/AnnounceNewText", "Tell screen readers of new text as it arrives"},
    {"Access/AnnounceOnlyAtEnd", "... only while at the end, not while reading back"},
    {"Speech/SpeakIncoming", "Speak the world's lines aloud"},
    {"Speech/Enabled", "Let /SPEAK and the speech keys speak"},
    {"Speech/TypingStopsSpeech", "Typing stops the speech"},
    {"View/Zoom", "Zoom keys (Ctrl+plus, Ctrl+minus, Ctrl+0) change the text size"},
};

/// Takes a file dropped on a text box: the box gets the file's path (a text box alone would get its URL).
class FileDropFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
            return QObject::eventFilter(watched, event);
        auto *drop = static_cast<QDropEvent *>(event);
        const QMimeData *data = drop->mimeData();
        if (!data || !data->hasUrls() || data->urls().isEmpty() || !data->urls().front().isLocalFile())
            return QObject::eventFilter(watched, event); // plain text drops as usual
        drop->acceptProposedAction();
        if (type == QEvent::Drop) {
            if (auto *box = qobject_cast<QLineEdit *>(watched))
                box->setText(QDir::toNativeSeparators(data->urls().front().toLocalFile()));
        }
        return true;
    }
};

const int FontSizes[] = {2, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16, 18, 20, 24, 26, 28, 30, 32, 34, 36, 48, 72};

void Paint(QWidget *widget, const QColor &background, const QColor &text)
{
    widget->setStyleSheet(QStringLiteral("background-color: %1; color: %2;").arg(background.name(), text.name()));
}

} // namespace

TfrmOptions::TfrmOptions(TGlobals &globals, std::function<OptionsFace *()> current, QWidget *parent)
    : QDialog(parent)
    , m_globals(globals)
    , m_session(std::move(current))
{
    setWindowTitle(QStringLiteral("Options..."));
    ChooseColour = [this](const QColor &initial) { return QColorDialog::getColor(initial, this); };
    ChooseLogFile = [this] {
        QFileDialog dialog(this, QStringLiteral("Choose log file..."), ProgramFolder());
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("txt"));
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                       : QString();
    };
    Tabs = new QTabWidget(this);
    Tabs->addTab(GeneralTab(), QStringLiteral("General"));
    Tabs->addTab(FontsTab(), QStringLiteral("Fonts / Colors"));
    Tabs->addTab(AnsiTab(), QStringLiteral("ANSI"));
    Tabs->addTab(PortalTab(), QStringLiteral("ZEL / Wren Portal"));
    Tabs->addTab(OtherTab(), QStringLiteral("Other"));
    Tabs->addTab(LoggingTab(), QStringLiteral("Logging"));
    Tabs->addTab(ConnectionTab(), QStringLiteral("Connection"));
    Tabs->setCurrentIndex(1);
    SaveButton = new QPushButton(QStringLiteral("&Save"), this);
    CloseButton = new QPushButton(QStringLiteral("&Close"), this);
    CloseButton->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(SaveButton);
    buttons->addWidget(CloseButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Tabs);
    layout->addLayout(buttons);
    Fill();
    Wire();
}

void TfrmOptions::SetSession(std::function<OptionsFace *()> current)
{
    m_session = Live<OptionsFace>(std::move(current));
    // Filling writes nothing: the controls' signals are held while they take the session's values.
    const QList<QWidget *> controls = findChildren<QWidget *>();
    std::vector<QSignalBlocker> blockers;
    blockers.reserve(controls.size());
    for (QWidget *control : controls)
        blockers.emplace_back(control);
    Fill();
}

QWidget *TfrmOptions::GeneralTab()
{
    auto *page = new QWidget(this);
    auto *layout = new QGridLayout(page);
    int at = 0;
    for (const Check &check : GeneralChecks) {
        auto *box = new QCheckBox(QString::fromLatin1(check.Caption), page);
        box->setToolTip(QString::fromLatin1(check.Hint));
        this->*check.Box = box;
        layout->addWidget(box, at % 6, at / 6);
        ++at;
    }
    AutoReconnect->hide();
    return page;
}

QWidget *TfrmOptions::FontsTab()
{
    auto *page = new QWidget(this);
    auto *form = new QFormLayout(page);
    FontBox = new QComboBox(page);
    QStringList families = QFontDatabase::families();
    families.sort(Qt::CaseInsensitive);
    FontBox->addItems(families);
    SizeBox = new QComboBox(page);
    SizeBox->setEditable(true);
    for (int size : FontSizes)
        SizeBox->addItem(QString::number(size));
    TextSwatch = new QPushButton(page);
    TextSwatch->setToolTip(QStringLiteral("Click me to change the default text color"));
    BackSwatch = new QPushButton(page);
    BackSwatch->setToolTip(QStringLiteral("Click me to change the background color"));
    Preview = new QLabel(QStringLiteral("Preview"), page);
    Preview->setMinimumHeight(40);
    Preview->setAlignment(Qt::AlignCenter);
    form->addRow(QStringLiteral("Font Name: "), FontBox);
    form->addRow(QStringLiteral("Font Size: "), SizeBox);
    form->addRow(QStringLiteral("Text Color:  "), TextSwatch);
    form->addRow(QStringLiteral("Background Color:  "), BackSwatch);
    form->addRow(Preview);
    return page;
}

QWidget *TfrmOptions::AnsiTab()
{
    auto *page = new QWidget(this);
    auto *layout = new QHBoxLayout(page);
    AnsiList = new QListWidget(page);
    for (int i = 0; i < 16; ++i)
        AnsiList->addItem(i < 8 ? QStringLiteral("Normal ESC[%1").arg(30 + i)
                                : QStringLiteral("Bright ESC[%1").arg(30 + i - 8));
    Sample = new QLabel(QStringLiteral("New Color"), page);
    Sample->setAlignment(Qt::AlignCenter);
    ColourPicker = new QComboBox(page);
    ColourPicker->setEditable(true);
    ColourPicker->setInsertPolicy(QComboBox::NoInsert);
    for (const QString &name : QColor::colorNames())
        ColourPicker->addItem(name);
    ColourPicker->setCurrentIndex(-1);
    UseBrightColors = new QCheckBox(QStringLiteral("Use bright colors"), page);
    auto *right = new QVBoxLayout;
    right->addWidget(Sample);
    right->addWidget(ColourPicker);
    right->addWidget(UseBrightColors);
    right->addStretch();
    layout->addWidget(AnsiList);
    layout->addLayout(right);
    return page;
}

QWidget *TfrmOptions::PortalTab()
{
    auto *page = new QWidget(this);
    auto *layout = new QVBoxLayout(page);
    for (const Check &check : PortalChecks) {
        auto *box = new QCheckBox(QString::fromLatin1(check.Caption), page);
        box->setToolTip(QString::fromLatin1(check.Hint));
        this->*check.Box = box;
        layout->addWidget(box);
    }
    auto *form = new QFormLayout;
    Login = new QLineEdit(page);
    Login->setMaxLength(16);
    Password = new QLineEdit(page);
    Password->setMaxLength(16);
    Password->setEchoMode(QLineEdit::Password);
    TestButton = new QPushButton(QStringLiteral("Test.."), page);
    Status = new QLabel(page);
    form->addRow(QStringLiteral("Wren Portal Login: "), Login);
    form->addRow(QStringLiteral("Password: "), Password);
    auto *test = new QHBoxLayout;
    test->addWidget(TestButton);
    test->addWidget(Status);
    test->addStretch();
    form->addRow(test);
    layout->addLayout(form);
    auto *note = new QLabel(QStringLiteral("By providing your login details, Wren Client will be able to include "
                                           "dynamic information in your Wren Portal."),
                            page);
    note->setWordWrap(true);
    layout->addWidget(note);
    layout->addStretch();
    return page;
}

QWidget *TfrmOptions::OtherTab()
{
    auto *page = new QWidget(this);
    auto *form = new QFormLayout(page);
    txtexpsep = new QLineEdit(page);
    txtcomchar = new QLineEdit(page);
    txtpathchar = new QLineEdit(page);
    for (QLineEdit *box : {txtexpsep, txtcomchar, txtpathchar})
        box->setMaxLength(5);
    EndCr = new QRadioButton(QStringLiteral("CR"), page);
    EndLf = new QRadioButton(QStringLiteral("LF"), page);
    auto *ends = new QHBoxLayout;
    ends->addWidget(EndCr);
    ends->addWidget(EndLf);
    ends->addStretch();
    form->addRow(QStringLiteral("Expression separator: "), txtexpsep);
    form->addRow(QStringLiteral("Command character: "), txtcomchar);
    form->addRow(QStringLiteral("Path character: "), txtpathchar);
    form->addRow(QStringLiteral("End-line character: "), ends);
    return page;
}

QWidget *TfrmOptions::ConnectionTab()
{
    auto *page = new QWidget(this);
    auto *layout = new QVBoxLayout(page);
    for (const FeatureBox &feature : WorldFeatureBoxes) {
        auto *box = new QCheckBox(QString::fromLatin1(feature.Caption), page);
        FeatureBoxes.append(box);
        layout->addWidget(box);
    }
    auto *note = new QLabel(QStringLiteral("Kept for this world in %1. The telnet options take effect at the next "
                                           "connection.")
                                .arg(QString::fromLatin1(AppSettings::FileName)),
                            page);
    note->setWordWrap(true);
    layout->addWidget(note);
    layout->addStretch();
    return page;
}

QWidget *TfrmOptions::LoggingTab()
{
    auto *page = new QWidget(this);
    auto *layout = new QVBoxLayout(page);
    LogFileBox = new QLineEdit(page);
    LogFileBox->installEventFilter(new FileDropFilter(LogFileBox));
    BrowseLog = new QPushButton(QStringLiteral("..."), page);
    auto *file = new QHBoxLayout;
    file->addWidget(new QLabel(QStringLiteral("Filename: "), page));
    file->addWidget(LogFileBox, 1);
    file->addWidget(BrowseLog);
    LogSame = new QRadioButton(QStringLiteral("Log all sessions to the same file"), page);
    LogDifferent = new QRadioButton(QStringLiteral("Log all sessions to different files in the logs directory"), page);
    LogNone = new QRadioButton(QStringLiteral("Do not log sessions"), page);
    LogNone->setChecked(true);
    layout->addWidget(LogSame);
    layout->addLayout(file);
    layout->addWidget(LogDifferent);
    layout->addWidget(LogNone);
    layout->addStretch();
    return page;
}

// Opening: the controls show the current session's options; filling them writes nothing.
void TfrmOptions::Fill()
{
    Login->setText(QString::fromLocal8Bit(m_globals.WPLogin));
    Password->setText(m_globals.WPPass.isEmpty() ? QString() : QString::fromLatin1(Placeholder));
    Status->setText(m_globals.PortalValid ? QStringLiteral("Valid") : QStringLiteral("Invalid"));
    LogFileBox->setEnabled(false);
    for (QCheckBox *box : std::as_const(FeatureBoxes))
        box->setEnabled(false);
    OptionsFace *session = m_session.Get();
    if (!session)
        return;
    const TSessionOptions &o = session->SessionOptions();
    for (const Check &check : GeneralChecks)
        (this->*check.Box)->setChecked(o.*check.Option);
    WorldFeatures features = session->SessionFeatures();
    for (qsizetype i = 0; i < FeatureBoxes.size(); ++i) {
        const bool *on = features.Switch(QString::fromLatin1(WorldFeatureBoxes[i].Key));
        FeatureBoxes[i]->setChecked(on && *on);
        FeatureBoxes[i]->setEnabled(!o.Host.trimmed().isEmpty()); // kept per world
    }
    for (const Check &check : PortalChecks)
        (this->*check.Box)->setChecked(o.*check.Option);
    UseBrightColors->setChecked(o.UseBrightColors);
    SizeBox->setCurrentText(QString::number(o.FontSize));
    FontBox->setCurrentText(QString::fromLocal8Bit(TrimTrailingBlanks(o.FontName)));
    for (int i = 0; i < 16; ++i)
        DrawAnsiEntry(i);
    txtexpsep->setText(QString::fromLocal8Bit(o.ExprSeparator));
    txtcomchar->setText(QString::fromLocal8Bit(o.CommandChar));
    txtpathchar->setText(QString::fromLocal8Bit(o.PathChar));
    (o.LineEnd == "\r" ? EndCr : EndLf)->setChecked(true);
    (o.LogMode == 2 ? LogSame : o.LogMode == 1 ? LogDifferent : LogNone)->setChecked(true);
    if (o.LogMode == 2)
        LogFileBox->setText(QString::fromLocal8Bit(m_globals.CommonLogFile));
    LogFileBox->setEnabled(o.LogMode == 2);
    ShowColours();
}

void TfrmOptions::ShowColours()
{
    OptionsFace *session = m_session.Get();
    if (!session)
        return;
    const TSessionOptions &o = session->SessionOptions();
    Paint(TextSwatch, ToQtColour(o.TextColor), ToQtColour(o.TextColor));
    Paint(BackSwatch, ToQtColour(o.BackColor), ToQtColour(o.BackColor));
    Paint(Preview, ToQtColour(o.BackColor), ToQtColour(o.TextColor));
    QFont font(QString::fromLocal8Bit(TrimTrailingBlanks(o.FontName)));
    font.setPointSize(std::clamp(o.FontSize, 1, 400));
    Preview->setFont(font);
}

void TfrmOptions::DrawAnsiEntry(int entry)
{
    OptionsFace *session = m_session.Get();
    if (!session)
        return;
    const QColor colour = ToQtColour(session->SessionOptions().AnsiColors[static_cast<size_t>(entry)]);
    QListWidgetItem *item = AnsiList->item(entry);
    item->setBackground(colour);
    item->setForeground(colour == QColor(Qt::white) ? Qt::black : Qt::white);
}

void TfrmOptions::Change(const std::function<void(TSessionOptions &options)> &change)
{
    m_session.Run([&](OptionsFace &session) { change(session.SessionOptions()); });
}

// The colour dialog runs its own event loop, and the session may be closed meanwhile: it is looked up
// again for the answer.
void TfrmOptions::PickColour(Colour TSessionOptions::*field, const QColor &fallback, bool background)
{
    OptionsFace *before = m_session.Get();
    const QColor initial = before ? ToQtColour(before->SessionOptions().*field) : fallback;
    const QColor chosen = ChooseColour(initial);
    if (!chosen.isValid())
        return;
    m_session.Run([&](OptionsFace &session) {
        TSessionOptions &o = session.SessionOptions();
        o.*field = FromQtColour(chosen);
        if (background) {
            o.CurBackColor = o.BackColor;
            session.ShowBackground(o.BackColor);
        } else {
            o.CurTextColor = o.TextColor;
        }
        ShowColours();
    });
}

// Every control writes its option of the current session when it changes; with none, nothing changes.
void TfrmOptions::Wire()
{
    for (const Check &check : GeneralChecks) {
        connect(this->*check.Box, &QCheckBox::toggled, this, [this, check](bool on) {
            m_session.Run([&](OptionsFace &session) {
                session.SessionOptions().*check.Option = on;
                if (check.Option == &TSessionOptions::AutoHighlightLinks)
                    session.Restyle(); // the view finds its links again at once
            });
        });
    }
    for (const Check &check : PortalChecks) {
        connect(this->*check.Box, &QCheckBox::toggled, this,
                [this, check](bool on) { Change([&](TSessionOptions &o) { o.*check.Option = on; }); });
    }
    for (qsizetype i = 0; i < FeatureBoxes.size(); ++i) {
        connect(FeatureBoxes[i], &QCheckBox::toggled, this, [this, i](bool on) {
            m_session.Run([&](OptionsFace &session) {
                if (session.SessionOptions().Host.trimmed().isEmpty())
                    return;
                session.SetFeature(QString::fromLatin1(WorldFeatureBoxes[i].Key), on);
                session.Restyle();
            });
        });
    }
    connect(UseBrightColors, &QCheckBox::toggled, this,
            [this](bool on) { Change([&](TSessionOptions &o) { o.UseBrightColors = on; }); });
    connect(FontBox, &QComboBox::currentTextChanged, this, [this](const QString &family) {
        Change([&](TSessionOptions &o) {
            o.FontName = family.toLocal8Bit().left(40);
            o.CurFontName = o.FontName;
        });
        ShowColours();
    });
    connect(SizeBox, &QComboBox::currentTextChanged, this, [this](const QString &text) {
        Change([&](TSessionOptions &o) {
            o.FontSize = LeadingNumber(text.toLatin1());
            o.CurFontSize = o.FontSize;
        });
        ShowColours();
    });
    connect(TextSwatch, &QPushButton::clicked, this,
            [this] { PickColour(&TSessionOptions::TextColor, QColor(Qt::green), false); });
    connect(BackSwatch, &QPushButton::clicked, this,
            [this] { PickColour(&TSessionOptions::BackColor, QColor(0, 0, 64), true); });
    WireAnsiAndOther();
}

void TfrmOptions::WireAnsiAndOther()
{
    connect(AnsiList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (OptionsFace *session = m_session.Get(); session && row >= 0)
            Paint(Sample, ToQtColour(session->SessionOptions().AnsiColors[static_cast<size_t>(row)]), Qt::white);
    });
    connect(ColourPicker, &QComboBox::currentTextChanged, this, [this](const QString &text) {
        const QColor colour(text.trimmed());
        const int row = AnsiList->currentRow();
        // The first entry (Normal ESC[30) is not changed this way.
        if (!colour.isValid() || !m_session || row <= 0)
            return;
        Paint(Sample, colour, Qt::white);
        Change([&](TSessionOptions &o) { o.AnsiColors[static_cast<size_t>(row)] = FromQtColour(colour); });
        DrawAnsiEntry(row);
    });
    const auto text = [this](QLineEdit *box, QByteArray TSessionOptions::*field) {
        connect(box, &QLineEdit::textChanged, this, [this, field](const QString &value) {
            Change([&](TSessionOptions &o) { o.*field = value.toLocal8Bit().left(5); });
        });
    };
    text(txtexpsep, &TSessionOptions::ExprSeparator);
    text(txtcomchar, &TSessionOptions::CommandChar);
    text(txtpathchar, &TSessionOptions::PathChar);
    connect(EndCr, &QRadioButton::toggled, this, [this](bool on) {
        Change([&](TSessionOptions &o) { o.LineEnd = on ? QByteArray("\r") : QByteArray("\n"); });
    });
    connect(LogSame, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            SetLogMode(2);
    });
    connect(LogDifferent, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            SetLogMode(1);
    });
    connect(LogNone, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            SetLogMode(0);
    });
    connect(BrowseLog, &QPushButton::clicked, this, [this] {
        const QString file = ChooseLogFile();
        if (!file.isEmpty())
            LogFileBox->setText(file);
    });
    connect(TestButton, &QPushButton::clicked, this, &TfrmOptions::TestLogin);
    connect(SaveButton, &QPushButton::clicked, this, &TfrmOptions::Save);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmOptions::SetLogMode(int mode)
{
    LogFileBox->setEnabled(mode == 2);
    OptionsFace *session = m_session.Get();
    if (!session)
        return;
    TSessionOptions &o = session->SessionOptions();
    o.LogMode = mode;
    if (mode == 2) {
        m_globals.CommonLogFile = LogFileBox->text().toLocal8Bit();
        o.LogFile.clear();
    } else if (mode == 1) {
        o.LogFile = (TrimBlanks(o.Host) + TrimBlanks(o.Port) + ".rtf").left(255);
    } else {
        o.LogFile.clear();
    }
}

void TfrmOptions::TestLogin()
{
    TestButton->setEnabled(false);
    const QByteArray password
        = Password->text() == QLatin1String(Placeholder) ? m_globals.WPPass : Password->text().toLocal8Bit();
    const PortalTest result = RunPortalTest(m_globals, HttpClient(PortalHttpOptions(m_globals.Version)),
                                            AppSettings().MakerHost(), Login->text().toLocal8Bit(), password);
    if (result == PortalTest::Retry) {
        Message(QStringLiteral("Unable to connect.  Try again later"));
        Status->setText(QStringLiteral("Retry"));
    } else {
        Status->setText(result == PortalTest::Valid ? QStringLiteral("Valid") : QStringLiteral("Invalid"));
    }
    TestButton->setEnabled(true);
}

void TfrmOptions::Save()
{
    m_globals.CommonLogFile = LogFileBox->text().toLocal8Bit();
    const QByteArray login = Login->text().toLocal8Bit();
    const QByteArray password = Password->text().toLocal8Bit();
    const bool placeholder = Password->text() == QLatin1String(Placeholder);
    if (login != m_globals.WPLogin || (password != m_globals.WPPass && !placeholder)) {
        m_globals.WPLogin = login;
        if (!placeholder)
            m_globals.WPPass = password;
    }
    const QString path = QDir(ProgramFolder()).filePath(QStringLiteral("wn.ini"));
    QString error;
    if (!SaveGlobalSettings(path, m_globals, &error))
        Message(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), error));
    m_session.Run([](OptionsFace &session) { session.SaveOptions(); });
}

void TfrmOptions::done(int result)
{
    // Close (and Escape) keep what changed; the log file name is taken over as on Save.
    m_globals.CommonLogFile = LogFileBox->text().toLocal8Bit();
    QDialog::done(result);
}

void TfrmOptions::Message(const QString &text)
{
    if (ShowMessage)
        ShowMessage(text);
    else
        QMessageBox::information(this, QStringLiteral("Wren Client"), text);
}

} // namespace wren
