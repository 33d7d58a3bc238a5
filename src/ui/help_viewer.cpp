// SPDX-License-Identifier: GPL-3.0-or-later
// The window that shows the documents compiled into the program: the player's manual and the versions page.
#include "ui/help_viewer.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

// Resources of a static library are linked in only when something names them.
static void InitDocumentResources()
{
    Q_INIT_RESOURCE(docs);
}

namespace wren {

namespace {

QString ObjectName(HelpViewer::Document document)
{
    return document == HelpViewer::Document::Manual ? QStringLiteral("manual") : QStringLiteral("versions");
}

} // namespace

QString HelpViewer::ResourcePath(Document document)
{
    return document == Document::Manual ? QStringLiteral(":/docs/manual.md") : QStringLiteral(":/docs/versions.md");
}

HelpViewer::HelpViewer(QWidget *parent, Document document)
    : QWidget(parent, Qt::Window)
{
    InitDocumentResources();
    setObjectName(ObjectName(document));
    setWindowTitle(document == Document::Manual ? QStringLiteral("Wren Client Manual")
                                                : QStringLiteral("Wren Client Versions"));
    m_browser = new QTextBrowser(this);
    m_browser->setOpenExternalLinks(true);
    // Pictures named relative to the document ("manual/options.png") are found beside it in the resources.
    m_browser->setSearchPaths({QStringLiteral(":/docs")});
    m_browser->setSource(QUrl(QStringLiteral("qrc") + ResourcePath(document)), QTextDocument::MarkdownResource);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(720, 600);
}

HelpViewer *HelpViewer::Show(QWidget *parent, Document document)
{
    auto *viewer = parent ? parent->findChild<HelpViewer *>(ObjectName(document), Qt::FindDirectChildrenOnly) : nullptr;
    if (!viewer) {
        viewer = new HelpViewer(parent, document);
        if (!parent)
            viewer->setAttribute(Qt::WA_DeleteOnClose);
    }
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    return viewer;
}

} // namespace wren
