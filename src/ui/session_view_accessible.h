// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader sees of a session's view: a read-only text named after the world, with its lines,
// words and characters, the selection, and new text announced as it arrives.
#pragma once

#include <QAccessibleWidget>

#include <utility>

namespace wren {

class SessionView;
class AccessibleTextMirror;

/// The view as a read-only multi-line text ("Output of <world>"). Its text is the view's accessible copy
/// (AccessibleTextMirror): lines are the session's lines, a picture reads as its name.
class SessionViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit SessionViewAccessible(SessionView *view);

    void *interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text kind) const override;
    QAccessible::State state() const override;

    // QAccessibleTextInterface
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                             int *endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                            int *endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                         int *endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

private:
    SessionView *View() const;
    AccessibleTextMirror &Text() const;
};

/// The unit (character, word, sentence, line, paragraph or all) of @p text that holds @p offset, as
/// [start, end) offsets.
std::pair<int, int> AccessibleUnitAt(const AccessibleTextMirror &text, int offset,
                                     QAccessible::TextBoundaryType boundary);

/// Registers the factory that gives session views their interface (once per program).
void InstallSessionViewAccessible();

} // namespace wren
