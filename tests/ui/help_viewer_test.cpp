// SPDX-License-Identifier: GPL-3.0-or-later
// Help, Manual and Help, View version info: the documents compiled into the program, shown inside it with
// their pictures.
#include "config/program_folder.h"
#include "support/test_support.h"
#include "ui/help_viewer.h"
#include "ui/main_window.h"

#include <QAction>
#include <QImage>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextFragment>

#include <gtest/gtest.h>

using namespace wren;

namespace {

// The names of the pictures the document shows, in order.
QStringList PictureNames(const QTextDocument &document)
{
    QStringList names;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat())
                names.append(format.toImageFormat().name());
        }
    }
    return names;
}

} // namespace

TEST(HelpViewer, HelpMenuShowsTheDocumentsInsideTheProgram)
{
    QTemporaryDir folder;
    SetProgramFolder(folder.path());
    TGlobals globals;
    TfrmMain window(globals);
    struct Case {
        const char *Name;
        QAction *Action;
        const char *ObjectName;
        QStringList Texts;
        int LeastPictures;
    } cases[] = {
        {"manual", window.Menu().Manual, "manual",
         {QStringLiteral("First connection"), QStringLiteral("connection manager"), QStringLiteral("%rest"),
          QStringLiteral("ZEL"), QStringLiteral("Game data (GMCP, MSDP, MSSP)"), QStringLiteral("The map"),
          QStringLiteral("Scripts"), QStringLiteral("Accessibility and speech"),
          QStringLiteral("Where your files live")},
         4},
        {"versions", window.Menu().VersionInfo, "versions", {QStringLiteral("Version 2.13")}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_TRUE(c.Action);
        c.Action->trigger();
        c.Action->trigger(); // a second time raises the same window
        const QList<HelpViewer *> viewers =
            window.findChildren<HelpViewer *>(QString::fromLatin1(c.ObjectName), Qt::FindDirectChildrenOnly);
        ASSERT_EQ(viewers.size(), 1);
        HelpViewer *viewer = viewers.front();
        EXPECT_TRUE(viewer->isVisible());
        EXPECT_TRUE(viewer->isWindow());
        QTextBrowser *browser = viewer->Browser();
        const QString text = browser->toPlainText();
        EXPECT_FALSE(text.contains(QStringLiteral("## "))) << "the Markdown is rendered, not shown as text";
        for (const QString &expected : c.Texts)
            EXPECT_TRUE(text.contains(expected)) << expected.toStdString();
        // Every picture the document names is found in the program's resources and decodes.
        const QStringList pictures = PictureNames(*browser->document());
        EXPECT_GE(pictures.size(), c.LeastPictures);
        for (const QString &name : pictures) {
            const QVariant data = browser->loadResource(QTextDocument::ImageResource, QUrl(name));
            QImage picture;
            if (data.typeId() == QMetaType::QByteArray)
                picture.loadFromData(data.toByteArray());
            else
                picture = data.value<QImage>();
            EXPECT_FALSE(picture.isNull()) << name.toStdString();
        }
    }
}
