// SPDX-License-Identifier: GPL-3.0-or-later
// The window that shows the documents compiled into the program: the player's manual and the versions page.
#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace wren {

/// A window of its own (a child of the main window) that renders one Markdown document from the program's
/// resources (":/docs/"), pictures included, with no network and no files outside the program. Links to
/// web pages open in the browser.
class HelpViewer : public QWidget
{
    Q_OBJECT
public:
    enum class Document { Manual, Versions };

    /// Shows @p document: its window is made on first use, then raised and brought to the front.
    static HelpViewer *Show(QWidget *parent, Document document);
    /// The resource file of @p document, e.g. ":/docs/manual.md".
    static QString ResourcePath(Document document);

    QTextBrowser *Browser() const { return m_browser; }

private:
    HelpViewer(QWidget *parent, Document document);

    QTextBrowser *m_browser = nullptr;
};

} // namespace wren
