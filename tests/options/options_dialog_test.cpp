// SPDX-License-Identifier: GPL-3.0-or-later
// The options dialog on real widgets: every control writes its option at once, colours, the ANSI list, the
// portal login and its placeholder, separators, logging, Save, and no session at all.
#include "config/global_settings.h"
#include "config/program_folder.h"
#include "options/colour_text.h"
#include "options/options_dialog.h"
#include "session/client.h"
#include "config/world_features.h"
#include "support/http_server.h"
#include "support/test_support.h"
#include "config/app_settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace wren;

namespace {

class OptionsDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.path());
        m_session = std::make_unique<TClient>(m_globals);
        m_session->Open("World", "mud.example", 4000);
    }
    std::unique_ptr<TfrmOptions> Open(bool withSession = true)
    {
        auto dialog = std::make_unique<TfrmOptions>(m_globals, [this, withSession] {
            return withSession ? m_session.get() : nullptr;
        });
        dialog->ShowMessage = [this](const QString &text) { Messages.append(text); };
        dialog->show();
        return dialog;
    }
    static void Click(QWidget *widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, widget->height() / 2)); }

    QTemporaryDir m_folder;
    TGlobals m_globals;
    std::unique_ptr<TClient> m_session;
    QStringList Messages;
};

} // namespace

TEST(ColourText, HtmlAndHexForms)
{
    EXPECT_EQ(ColorToHTML(Rgb(0, 255, 128)), "#00ff80");
    EXPECT_EQ(ColorToHTML(Rgb(0, 0, 64)), "#000040");
    EXPECT_EQ(HexToColor("00ff80"), Rgb(0, 255, 128));
    EXPECT_EQ(HexToColor("FF0000"), Rgb(255, 0, 0));
    EXPECT_EQ(HexToColor("zz"), Rgb(0, 0, 0));
    EXPECT_EQ(HexToColor(""), Rgb(0, 0, 0));
}

TEST_F(OptionsDialog, OpeningShowsTheOptionsAndWritesNothing)
{
    const QByteArray before = WriteOptionsRecord(m_session->Options);
    auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Options..."));
    EXPECT_EQ(dialog->Tabs->currentIndex(), 1) << "it opens on Fonts / Colors";
    EXPECT_TRUE(dialog->AnsiColor->isChecked());
    EXPECT_FALSE(dialog->AutoClearCommand->isChecked());
    EXPECT_EQ(dialog->SizeBox->currentText(), QStringLiteral("9"));
    EXPECT_EQ(dialog->txtexpsep->text(), QStringLiteral(";"));
    EXPECT_TRUE(dialog->EndLf->isChecked());
    EXPECT_TRUE(dialog->LogNone->isChecked());
    EXPECT_FALSE(dialog->LogFileBox->isEnabled());
    EXPECT_EQ(WriteOptionsRecord(m_session->Options), before);
}

TEST_F(OptionsDialog, EveryBoxWritesItsOptionAtOnce)
{
    auto dialog = Open();
    struct Box {
        QCheckBox *TfrmOptions::*Control;
        bool TSessionOptions::*Option;
    } boxes[] = {
        {&TfrmOptions::AnsiColor, &TSessionOptions::AnsiColor},
        {&TfrmOptions::LocalEcho, &TSessionOptions::LocalEcho},
        {&TfrmOptions::AutodetectZel, &TSessionOptions::AutodetectZel},
        {&TfrmOptions::AutoClearCommand, &TSessionOptions::AutoClearCommand},
        {&TfrmOptions::AutoHighlightLinks, &TSessionOptions::AutoHighlightLinks},
        {&TfrmOptions::AutoCopy, &TSessionOptions::AutoCopy},
        {&TfrmOptions::EnableTriggers, &TSessionOptions::EnableTriggers},
        {&TfrmOptions::EnableSounds, &TSessionOptions::EnableSounds},
        {&TfrmOptions::ExpandPaths, &TSessionOptions::ExpandPaths},
        {&TfrmOptions::ToggleIcon, &TSessionOptions::ToggleIcon},
        {&TfrmOptions::WrapHistory, &TSessionOptions::WrapHistory},
        {&TfrmOptions::ZelEnabled, &TSessionOptions::ZelEnabled},
        {&TfrmOptions::AllowFontChanges, &TSessionOptions::AllowFontChanges},
        {&TfrmOptions::AllowImages, &TSessionOptions::AllowImages},
        {&TfrmOptions::UseBrightColors, &TSessionOptions::UseBrightColors},
    };
    for (int page = 0; page < dialog->Tabs->count(); ++page) {
        dialog->Tabs->setCurrentIndex(page);
        for (const Box &box : boxes) {
            QCheckBox *control = dialog.get()->*box.Control;
            if (!control->isVisible())
                continue;
            const bool before = m_session->Options.*box.Option;
            Click(control);
            EXPECT_NE(m_session->Options.*box.Option, before) << control->text().toStdString();
        }
    }
    EXPECT_FALSE(dialog->AutoReconnect->isVisible()) << "Autoreconnect is kept hidden";

    dialog->Tabs->setCurrentIndex(4);
    dialog->txtexpsep->clear();
    QTest::keyClicks(dialog->txtexpsep, QStringLiteral("##"));
    QTest::keyClicks(dialog->txtcomchar, QStringLiteral("!"));
    EXPECT_EQ(m_session->Options.ExprSeparator, "##");
    EXPECT_EQ(m_session->Options.CommandChar, "/!");
    Click(dialog->EndCr);
    EXPECT_EQ(m_session->Options.LineEnd, "\r");
    Click(dialog->EndLf);
    EXPECT_EQ(m_session->Options.LineEnd, "\n");

    dialog->Tabs->setCurrentIndex(1);
    dialog->SizeBox->setCurrentText(QStringLiteral("14pt"));
    EXPECT_EQ(m_session->Options.FontSize, 14);
    EXPECT_EQ(m_session->Options.CurFontSize, 14);
    dialog->SizeBox->setCurrentText(QStringLiteral("big"));
    EXPECT_EQ(m_session->Options.FontSize, 0) << "a size without leading digits is 0";
}

TEST_F(OptionsDialog, ColoursTheViewAtOnceAndKeepsTheResetColour)
{
    auto dialog = Open();
    QColor next = Qt::red;
    dialog->ChooseColour = [&next](const QColor &) { return next; };
    Click(dialog->TextSwatch);
    EXPECT_EQ(m_session->Options.TextColor, Rgb(255, 0, 0));
    EXPECT_EQ(m_session->Options.CurTextColor, Rgb(255, 0, 0));
    next = QColor(0, 40, 0);
    const Colour reset = m_session->Options.DefaultBackColor;
    Click(dialog->BackSwatch);
    EXPECT_EQ(m_session->Options.BackColor, Rgb(0, 40, 0));
    EXPECT_EQ(m_session->Display.Background(), Rgb(0, 40, 0));
    EXPECT_EQ(m_session->Options.DefaultBackColor, reset) << "an ANSI reset still returns to the colour the session had";
    next = QColor(); // cancelled
    Click(dialog->BackSwatch);
    EXPECT_EQ(m_session->Options.BackColor, Rgb(0, 40, 0));
}

TEST_F(OptionsDialog, AnsiListChangesEveryEntryButTheFirst)
{
    auto dialog = Open();
    EXPECT_EQ(dialog->AnsiList->item(0)->text(), QStringLiteral("Normal ESC[30"));
    EXPECT_EQ(dialog->AnsiList->item(9)->text(), QStringLiteral("Bright ESC[31"));
    EXPECT_EQ(dialog->AnsiList->item(15)->foreground().color(), QColor(Qt::black)) << "white shows black text";
    dialog->AnsiList->setCurrentRow(3);
    dialog->ColourPicker->setCurrentText(QStringLiteral("#ff00ff"));
    EXPECT_EQ(m_session->Options.AnsiColors[3], Rgb(255, 0, 255));
    EXPECT_EQ(dialog->AnsiList->item(3)->background().color(), QColor(255, 0, 255));
    dialog->AnsiList->setCurrentRow(0);
    dialog->ColourPicker->setCurrentText(QStringLiteral("red"));
    EXPECT_EQ(m_session->Options.AnsiColors[0], Rgb(0, 0, 0)) << "the first entry keeps its colour";
}

TEST_F(OptionsDialog, PortalLoginKeepsThePasswordBehindAPlaceholder)
{
    m_globals.WPLogin = "bob";
    m_globals.WPPass = "secret";
    {
        auto dialog = Open();
        EXPECT_EQ(dialog->Login->text(), QStringLiteral("bob"));
        EXPECT_EQ(dialog->Password->text(), QString::fromLatin1(TfrmOptions::Placeholder));
        EXPECT_EQ(dialog->Password->echoMode(), QLineEdit::Password);
        EXPECT_EQ(dialog->Status->text(), QStringLiteral("Invalid"));
        Click(dialog->SaveButton);
        EXPECT_EQ(m_globals.WPPass, "secret") << "the placeholder is never stored";
        EXPECT_EQ(ParseWnIni([&] {
                      QFile file(m_folder.filePath(QStringLiteral("wn.ini")));
                      file.open(QIODevice::ReadOnly);
                      return file.readAll();
                  }())
                      .WPPass,
                  "secret");
        EXPECT_EQ(QFile(m_folder.filePath(QStringLiteral("mud.example.4000.wno"))).size(), 588) << "Save writes the .wno";
        dialog->Login->setText(QStringLiteral("ann"));
        Click(dialog->SaveButton);
        EXPECT_EQ(m_globals.WPLogin, "ann");
        EXPECT_EQ(m_globals.WPPass, "secret");
        dialog->Password->clear();
        Click(dialog->SaveButton);
        EXPECT_EQ(m_globals.WPPass, "") << "a cleared box stores an empty password";
    }
    auto again = Open();
    EXPECT_EQ(again->Password->text(), QString());
}

TEST_F(OptionsDialog, PortalTestAnswersValidInvalidOrRetry)
{
    test::HttpServer server;
    AppSettings().SetMakerHost(server.Host());
    m_globals.WPPass = "stored";
    auto dialog = Open();
    server.Serve("/regwn2.php", {200, "VALIDWP: 1\r\n"});
    Click(dialog->TestButton);
    EXPECT_EQ(dialog->Status->text(), QStringLiteral("Valid"));
    EXPECT_TRUE(m_globals.PortalValid);
    EXPECT_TRUE(server.Requests().back().Body.endsWith("&&wppass=stored&&VNum=100")) << "the placeholder tests the stored one";
    server.Serve("/regwn2.php", {200, "VALIDWP: 0\r\n"});
    Click(dialog->TestButton);
    EXPECT_EQ(dialog->Status->text(), QStringLiteral("Invalid"));
    server.Serve("/regwn2.php", {500, ""});
    Click(dialog->TestButton);
    EXPECT_EQ(dialog->Status->text(), QStringLiteral("Retry"));
    EXPECT_EQ(Messages, QStringList {QStringLiteral("Unable to connect.  Try again later")});
    EXPECT_TRUE(dialog->TestButton->isEnabled());
}

TEST_F(OptionsDialog, LoggingChoicesAndTheCommonFile)
{
    auto dialog = Open();
    dialog->Tabs->setCurrentIndex(5);
    Click(dialog->LogDifferent);
    EXPECT_EQ(m_session->Options.LogMode, 1);
    EXPECT_EQ(m_session->Options.LogFile, "mud.example4000.rtf");
    EXPECT_FALSE(dialog->LogFileBox->isEnabled());
    dialog->LogFileBox->setEnabled(true);
    dialog->LogFileBox->setText(QStringLiteral("all.log"));
    Click(dialog->LogSame);
    EXPECT_EQ(m_session->Options.LogMode, 2);
    EXPECT_EQ(m_session->Options.LogFile, "");
    EXPECT_EQ(m_globals.CommonLogFile, "all.log");
    EXPECT_TRUE(dialog->LogFileBox->isEnabled());
    dialog->ChooseLogFile = [] { return QStringLiteral("/tmp/chosen.txt"); };
    Click(dialog->BrowseLog);
    Click(dialog->CloseButton);
    EXPECT_EQ(m_globals.CommonLogFile, "/tmp/chosen.txt") << "Close takes the box over";
    auto again = Open();
    EXPECT_TRUE(again->LogSame->isChecked());
    EXPECT_EQ(again->LogFileBox->text(), QStringLiteral("/tmp/chosen.txt"));
    Click(again->LogNone);
    EXPECT_EQ(m_session->Options.LogMode, 0);
}

TEST_F(OptionsDialog, WithNoSessionOnlyThePortalAndTheLogBoxCount)
{
    const QByteArray before = WriteOptionsRecord(m_session->Options);
    auto dialog = Open(false);
    Click(dialog->LocalEcho);
    dialog->Tabs->setCurrentIndex(5);
    Click(dialog->LogSame);
    dialog->LogFileBox->setText(QStringLiteral("x.log"));
    dialog->Login->setText(QStringLiteral("nobody"));
    Click(dialog->SaveButton);
    EXPECT_EQ(WriteOptionsRecord(m_session->Options), before);
    EXPECT_FALSE(QFile::exists(m_folder.filePath(QStringLiteral("mud.example.4000.wno"))));
    EXPECT_EQ(m_globals.WPLogin, "nobody");
    EXPECT_EQ(m_globals.CommonLogFile, "x.log");
    EXPECT_TRUE(QFile::exists(m_folder.filePath(QStringLiteral("wn.ini"))));
}

// The Connection tab keeps its switches per world in the program's own settings, never in the options record.
TEST_F(OptionsDialog, ConnectionSwitchesAreKeptPerWorldOutsideTheOptionsRecord)
{
    const QByteArray record = WriteOptionsRecord(m_session->Options);
    auto dialog = Open();
    ASSERT_EQ(dialog->FeatureBoxes.size(), WorldFeatures::SwitchKeys().size()) << "one box for every switch";
    EXPECT_TRUE(dialog->FeatureBoxes[2]->isEnabled());
    EXPECT_TRUE(dialog->FeatureBoxes[2]->isChecked()) << "compression is on by default";
    EXPECT_FALSE(dialog->FeatureBoxes[8]->isChecked()) << "reconnecting by itself is off by default";

    dialog->FeatureBoxes[2]->setChecked(false);
    dialog->FeatureBoxes[8]->setChecked(true);
    dialog->FeatureBoxes[10]->setChecked(false);
    EXPECT_FALSE(m_session->Features.Compression);
    EXPECT_TRUE(m_session->Features.AutoReconnect);
    const WorldFeatures saved = WorldFeatures::Load(AppSettings(), "mud.example", "4000");
    EXPECT_FALSE(saved.Compression);
    EXPECT_TRUE(saved.AutoReconnect);
    EXPECT_FALSE(TelnetAllowed(saved).Compression);
    EXPECT_FALSE(TelnetAllowed(saved).Gmcp) << "GMCP switched off for this world";
    EXPECT_TRUE(TelnetAllowed(saved).Msdp);
    EXPECT_TRUE(WorldFeatures::Load(AppSettings(), "other.example", "4000").Compression) << "another world keeps its own";
    EXPECT_EQ(WriteOptionsRecord(m_session->Options), record);

    auto none = Open(false);
    EXPECT_FALSE(none->FeatureBoxes[0]->isEnabled()) << "no world to keep them for";
}

// Two sessions of one world: a switch changed in one writes that key alone, so the certificate the other
// has just been told to trust stays trusted.
TEST_F(OptionsDialog, SwitchChangedInOneSessionKeepsWhatAnotherStored)
{
    auto dialog = Open(); // the session read its switches before the other session stored anything
    AppSettings().SetWorldValue("mud.example", "4000", QStringLiteral("TrustedCertificate"), QStringLiteral("ab12"));
    AppSettings().SetWorldValue("mud.example", "4000", QStringLiteral("Telnet/Echo"), false);
    dialog->FeatureBoxes[8]->setChecked(true);
    const WorldFeatures saved = WorldFeatures::Load(AppSettings(), "mud.example", "4000");
    EXPECT_EQ(saved.TrustedCertificate, "ab12");
    EXPECT_FALSE(saved.Echo) << "a switch the other session changed stays changed";
    EXPECT_TRUE(saved.AutoReconnect);
}

// The colour dialog runs its own event loop: a session closed meanwhile is neither written nor touched.
TEST_F(OptionsDialog, ColourChosenAfterTheSessionClosedChangesNothing)
{
    auto dialog = std::make_unique<TfrmOptions>(m_globals, [this]() -> OptionsFace * {
        return m_session && !m_session->IsClosing() ? m_session.get() : nullptr;
    });
    dialog->show();
    const TSessionOptions before = m_session->Options;
    dialog->ChooseColour = [this](const QColor &) {
        m_session->BeginClose();
        return QColor(Qt::red);
    };
    Click(dialog->BackSwatch);
    Click(dialog->TextSwatch);
    EXPECT_EQ(m_session->Options.BackColor, before.BackColor);
    EXPECT_EQ(m_session->Options.TextColor, before.TextColor);
    EXPECT_EQ(m_session->Display.Background(), before.BackColor);
}

TEST_F(OptionsDialog, FileDroppedOnTheLogFileBoxGivesItsPath)
{
    auto dialog = Open();
    dialog->Tabs->setCurrentIndex(5);
    Click(dialog->LogSame);
    const QString path = m_folder.filePath(QStringLiteral("dropped.log"));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog->LogFileBox, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog->LogFileBox, &drop);
    EXPECT_EQ(dialog->LogFileBox->text(), QDir::toNativeSeparators(path));
}
