// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader sees of a session's view: a read-only text named after the world, with its lines,
// words and characters, the selection, and new text announced as it arrives.
#include "ui/session_view_accessible.h"

#include "session/accessible_text.h"
#include "session/scrollback_search.h"
#include "session/session_document.h"
#include "ui/session_painter.h"
#include "ui/session_view.h"

#include <QAccessible>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QTextLine>

#include <algorithm>

namespace wren {

// ---- The view's side -------------------------------------------------------------------------------------

AccessibleTextMirror &SessionView::AccessibleText()
{
    if (!m_accessibleText)
        m_accessibleText = std::make_unique<AccessibleTextMirror>(Doc());
    return *m_accessibleText;
}

// Once a frame, and only while accessibility is active: what arrived since the last frame is one insertion
// at the end, what the line limit dropped one removal at the start. A held view announces only when the
// world asks for new text at the end alone; until the user is back at the end it keeps the text it had.
void SessionView::AnnounceTextChanges()
{
    if (!m_accessibleText) {
        AccessibleText(); // the first frame a screen reader sees: the text as it is, with nothing to announce
        return;
    }
    const bool held = m_model.IsScrolledBack() && !AtBottom();
    const auto scope = m_model.AnnounceOnlyAtEnd() && held ? AccessibleTextMirror::Scope::TrimOnly
                                                           : AccessibleTextMirror::Scope::Everything;
    const bool announce = m_model.AnnounceNewText();
    for (const AccessibleTextChange &change : m_accessibleText->Sync(scope)) {
        switch (change.Type) {
        case AccessibleTextChange::Kind::Removed: {
            QAccessibleTextRemoveEvent event(this, change.Position, change.Text);
            QAccessible::updateAccessibility(&event);
            break;
        }
        case AccessibleTextChange::Kind::Inserted:
            if (announce) {
                QAccessibleTextInsertEvent event(this, change.Position, change.Text);
                QAccessible::updateAccessibility(&event);
            }
            break;
        case AccessibleTextChange::Kind::Updated:
            if (announce) {
                QAccessibleTextUpdateEvent event(this, change.Position, change.OldText, change.Text);
                QAccessible::updateAccessibility(&event);
            }
            break;
        }
    }
}

QRect SessionView::CharacterRect(Position at)
{
    SessionDocument &doc = Doc();
    const auto &paragraphs = doc.Paragraphs();
    const auto index = static_cast<size_t>(ParagraphIndex(at.Paragraph));
    if (paragraphs[index].Id != at.Paragraph)
        return {};
    doc.Bottom();
    const Paragraph &paragraph = paragraphs[index];
    const LaidParagraph &laid = LaidOut(paragraph);
    const int ch = std::clamp(at.Char, 0, static_cast<int>(laid.Text.size()));
    const qint64 top = paragraph.Top - (doc.TopOfFirst() + verticalScrollBar()->value());
    QRectF box;
    if (laid.Uniform) {
        const auto row = std::max<qsizetype>(
            std::upper_bound(laid.RowStarts.begin(), laid.RowStarts.end() - 1, ch) - laid.RowStarts.begin() - 1, 0);
        const SessionPainter painter(doc, {}, Padding, LayoutWidth(), viewport()->height());
        const qreal x = Padding + painter.RowOffset(paragraph, laid, static_cast<int>(row))
                        + (ch - laid.RowStarts[static_cast<size_t>(row)]) * laid.CharWidth;
        box = QRectF(x, static_cast<qreal>(top) + static_cast<qreal>(row) * laid.LineHeight, laid.CharWidth,
                     laid.LineHeight);
    } else if (laid.Layout) {
        const QTextLine line = laid.Layout->lineForTextPosition(ch);
        if (!line.isValid())
            return {};
        const qreal x = line.cursorToX(ch);
        box = QRectF(Padding + x, static_cast<qreal>(top) + line.y(), std::max<qreal>(1, line.cursorToX(ch + 1) - x),
                     line.height());
    }
    if (box.bottom() < 0 || box.top() > viewport()->height())
        return {};
    return box.toAlignedRect();
}

// ---- Units of text ---------------------------------------------------------------------------------------

std::pair<int, int> AccessibleUnitAt(const AccessibleTextMirror &text, int offset,
                                     QAccessible::TextBoundaryType boundary)
{
    const int length = text.Length();
    offset = std::clamp(offset, 0, length);
    if (boundary == QAccessible::NoBoundary || text.ParagraphCount() == 0)
        return {0, length};
    if (boundary == QAccessible::CharBoundary)
        return {offset, std::min(offset + 1, length)};
    const int index = text.ParagraphAt(offset);
    const int start = text.ParagraphStart(index);
    const QString &paragraph = text.ParagraphText(index);
    const int own = static_cast<int>(paragraph.size());
    const bool last = index + 1 == text.ParagraphCount();
    if (boundary == QAccessible::LineBoundary || boundary == QAccessible::ParagraphBoundary)
        return {start, start + own + (last ? 0 : 1)}; // a line with its line end
    const int local = offset - start;
    if (local >= own)
        return {offset, std::min(offset + 1, length)}; // the line end on its own
    QTextBoundaryFinder finder(
        boundary == QAccessible::WordBoundary ? QTextBoundaryFinder::Word : QTextBoundaryFinder::Sentence, paragraph);
    finder.setPosition(local + 1);
    int from = finder.toPreviousBoundary();
    if (from < 0)
        from = 0;
    finder.setPosition(local);
    int to = finder.toNextBoundary();
    if (to < 0 || to > own)
        to = own;
    return {start + from, start + to};
}

// ---- The interface ---------------------------------------------------------------------------------------

SessionViewAccessible::SessionViewAccessible(SessionView *view)
    : QAccessibleWidget(view, QAccessible::EditableText)
{
}

SessionView *SessionViewAccessible::View() const
{
    return static_cast<SessionView *>(widget());
}

AccessibleTextMirror &SessionViewAccessible::Text() const
{
    return View()->AccessibleText();
}

void *SessionViewAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString SessionViewAccessible::text(QAccessible::Text kind) const
{
    if (kind == QAccessible::Name) {
        if (QString own = widget()->accessibleName(); !own.isEmpty())
            return own;
        const QString world = View()->Model().WorldName();
        return world.isEmpty() ? QStringLiteral("Output") : QStringLiteral("Output of %1").arg(world);
    }
    if (kind == QAccessible::Description && widget()->accessibleDescription().isEmpty())
        return QStringLiteral("What the world sends; Page Up and Page Down in the command box read back");
    if (kind == QAccessible::Value)
        return {};
    return QAccessibleWidget::text(kind);
}

QAccessible::State SessionViewAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    state.editable = false;
    state.multiLine = true;
    state.selectableText = true;
    return state;
}

void SessionViewAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !View()->HasSelection())
        return;
    const SessionView::Position anchor = View()->SelectionAnchor();
    const SessionView::Position cursor = View()->SelectionCursor();
    const int a = Text().OffsetOf(anchor.Paragraph, anchor.Char);
    const int c = Text().OffsetOf(cursor.Paragraph, cursor.Char);
    *startOffset = std::min(a, c);
    *endOffset = std::max(a, c);
}

int SessionViewAccessible::selectionCount() const
{
    return View()->HasSelection() ? 1 : 0;
}

void SessionViewAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void SessionViewAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        View()->ClearSelection();
}

void SessionViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex != 0)
        return;
    const auto from = Text().PositionAt(startOffset);
    const auto to = Text().PositionAt(endOffset);
    View()->Select({from.first, from.second}, {to.first, to.second});
}

int SessionViewAccessible::cursorPosition() const
{
    const SessionView::Position cursor = View()->SelectionCursor();
    // No caret of its own: a reader starts at the newest text.
    if (cursor.Paragraph == 0)
        return Text().Length();
    return Text().OffsetOf(cursor.Paragraph, cursor.Char);
}

void SessionViewAccessible::setCursorPosition(int position)
{
    const auto at = Text().PositionAt(position);
    View()->Select({at.first, at.second}, {at.first, at.second});
}

QString SessionViewAccessible::text(int startOffset, int endOffset) const
{
    return Text().Text(startOffset, endOffset);
}

QString SessionViewAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                                            int *endOffset) const
{
    const auto [start, end] = AccessibleUnitAt(Text(), offset, boundaryType);
    *startOffset = start;
    *endOffset = end;
    return Text().Text(start, end);
}

QString SessionViewAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                                int *startOffset, int *endOffset) const
{
    const int at = AccessibleUnitAt(Text(), offset, boundaryType).first;
    if (at <= 0) {
        *startOffset = *endOffset = 0;
        return {};
    }
    return textAtOffset(at - 1, boundaryType, startOffset, endOffset);
}

QString SessionViewAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                                               int *endOffset) const
{
    const int after = AccessibleUnitAt(Text(), offset, boundaryType).second;
    if (after >= Text().Length() || after <= offset) {
        *startOffset = *endOffset = Text().Length();
        return {};
    }
    return textAtOffset(after, boundaryType, startOffset, endOffset);
}

int SessionViewAccessible::characterCount() const
{
    return Text().Length();
}

QRect SessionViewAccessible::characterRect(int offset) const
{
    const auto at = Text().PositionAt(offset);
    const QRect box = View()->CharacterRect({at.first, at.second});
    if (box.isEmpty())
        return {};
    return QRect(View()->viewport()->mapToGlobal(box.topLeft()), box.size());
}

int SessionViewAccessible::offsetAtPoint(const QPoint &point) const
{
    const QPoint local = View()->viewport()->mapFromGlobal(point);
    if (!View()->viewport()->rect().contains(local))
        return -1;
    const SessionView::Position at = View()->PositionAt(local);
    return Text().OffsetOf(at.Paragraph, at.Char);
}

void SessionViewAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    const auto from = Text().PositionAt(startIndex);
    const auto to = Text().PositionAt(endIndex);
    const int length = from.first == to.first ? std::max(0, to.second - from.second) : 1;
    View()->ShowHit({from.first, from.second, length});
}

QString SessionViewAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    // Colours are not told: every character reads alike.
    *startOffset = 0;
    *endOffset = Text().Length();
    Q_UNUSED(offset);
    return {};
}

namespace {

QAccessibleInterface *SessionViewFactory(const QString &className, QObject *object)
{
    if (className != QLatin1String("wren::SessionView"))
        return nullptr;
    auto *view = qobject_cast<SessionView *>(object);
    if (!view || view->IsLiveEnd())
        return nullptr;
    return new SessionViewAccessible(view);
}

} // namespace

void InstallSessionViewAccessible()
{
    static const bool installed = [] {
        QAccessible::installFactory(SessionViewFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace wren
