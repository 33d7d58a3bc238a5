// SPDX-License-Identifier: GPL-3.0-or-later
// The session's output view: paints the visible paragraphs of its document, at most once per frame.
#pragma once

#include "session/paragraph_layout.h"
#include "session/scrollback_search.h"
#include "session/view_model.h"
#include "ui/session_painter.h"

#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>
#include <unordered_map>

namespace wren {

class TClient;
class SessionDocument;
class AccessibleTextMirror;

/// Read-only view of a session's document. Changes to the document only mark the view dirty; one repaint
/// per frame (and a trailing one) shows them. Lays out only what it paints and caches each paragraph's layout.
///
/// While the user reads back, a second view of the same document (the live end) shows the newest text in a
/// pane at the bottom; it goes when the view is back at the end.
class SessionView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    enum class Role { Main, LiveEnd };
    explicit SessionView(ViewModel &model, QWidget *parent = nullptr, Role role = Role::Main);
    ~SessionView() override;

    /// A place in the document: a paragraph (by its id) and a character in it.
    struct Position {
        quint64 Paragraph = 0;
        int Char = 0;
        friend bool operator==(const Position &, const Position &) = default;
    };

    bool HasSelection() const { return !(m_anchor == m_cursor); }
    QString SelectedText() const;
    void Select(Position from, Position to);
    void SelectAll();
    void ClearSelection();
    void Copy();

    /// Scrolling asked for by the program (the wheel, the command box's keys): it never changes whether
    /// the view is held; the caller decides that.
    void ScrollPageUp();
    void ScrollPageDown();
    void ScrollLineUp();
    void ScrollLineDown();
    void ScrollToTop();
    void ScrollToBottom();
    int ScrollPosition() const;
    int PageSize() const;
    int ScrollMaximum() const;
    bool AtBottom() const;

    SessionDocument &Document() const { return Doc(); }
    /// Marks search hits (current: the one shown, -1 for none); an empty list takes the marks away.
    void SetHighlights(const std::vector<SearchHit> &hits, int current);
    /// Scrolls so @p hit is in the middle of the view; the view is held unless that is its end.
    void ShowHit(const SearchHit &hit);
    /// The pane that shows the newest text while reading back; null while it is not shown.
    SessionView *LiveEnd() const { return m_tail && m_tail->isVisible() ? m_tail : nullptr; }
    /// The size last reported in characters (columns, rows).
    QSize ReportedSize() const { return {m_reportedColumns, m_reportedRows}; }
    static constexpr int SizeSettleMs = 250;

    /// The text as screen readers read it; made on first use (only while accessibility is active).
    AccessibleTextMirror &AccessibleText();
    ViewModel &Model() const { return m_model; }
    bool IsLiveEnd() const { return m_role == Role::LiveEnd; }
    /// Where the selection starts and where it ends (the caret); both empty (paragraph 0) for none.
    Position SelectionAnchor() const { return m_anchor; }
    Position SelectionCursor() const { return m_cursor; }
    /// The character's box in the viewport; empty when it is not laid out in view.
    QRect CharacterRect(Position at);
    /// The character under a point of the viewport.
    Position PositionAt(const QPoint &point) { return HitTest(point); }

    /// Paints so far, for the benchmark.
    quint64 PaintCount() const { return m_paintCount; }
    /// Runs a pending frame now (tests).
    void FlushFrame();
    static constexpr int FrameIntervalMs = 16;
    static constexpr int Padding = 3;

signals:
    /// The right button was released over the view, at this global position.
    void ContextMenuWanted(const QPoint &globalPosition);
    /// A mouse button was released: the command box should take the focus back.
    void FocusReturned();
    /// A web address was clicked (it has been handed to the system).
    void LinkActivated(const QString &address);
    /// The user held the view (scrolled up) or let it follow new text again (scrolled to the bottom).
    void HoldChanged(bool held);
    /// A mouse button was released over the view: its session becomes the selected one.
    void Activated();
    /// A line of the client's own that runs something was clicked ("reconnect").
    void ActionActivated(const QByteArray &action);
    /// The view's size in characters, once a resize has settled.
    void WindowSizeChanged(int columns, int rows);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    struct CacheEntry {
        quint32 Version = 0;
        quint64 Frame = 0;
        std::unique_ptr<LaidParagraph> Laid;
    };

    void ScheduleFrame();
    void RunFrame();
    /// Tells screen readers what changed in the text since the last frame (session_view_accessible.cpp).
    void AnnounceTextChanges();
    void UpdateScrollRange();
    const LaidParagraph &LaidOut(const Paragraph &paragraph);
    void DropLayouts();
    Position HitTest(const QPoint &point);
    QString LinkAt(const QPoint &point);
    int ParagraphIndex(quint64 id) const;
    std::pair<int, int> SelectionIn(const Paragraph &paragraph) const;
    void SetScrollValue(int value);
    int LayoutWidth() const;

    SessionDocument &Doc() const { return m_model.Document(); }

    ViewModel &m_model;
    QTimer m_frameTimer;
    QElapsedTimer m_sinceFrame;
    quint64 m_seenScrollRequests = 0;
    qint64 m_absoluteTop = 0; ///< document y at the top of the viewport
    bool m_settingScroll = false;
    std::unordered_map<quint64, CacheEntry> m_cache;
    quint64 m_styleGeneration = 0;
    quint64 m_frame = 0;
    quint64 m_paintCount = 0;
    Position m_anchor;
    Position m_cursor;
    bool m_selecting = false;
    QPoint m_pressPoint;
    bool m_dragged = false;
    void Scroll(QAbstractSlider::SliderAction action);
    void UpdateSplit();
    void ReportWindowSize();
    QByteArray ActionAt(const QPoint &point);
    bool m_ownScroll = false; ///< a scroll of the program's own is under way
    Role m_role = Role::Main;
    SessionView *m_tail = nullptr;
    bool m_updatingSplit = false;
    QTimer m_sizeTimer;
    int m_reportedColumns = 0;
    int m_reportedRows = 0;
    std::unordered_map<quint64, std::vector<SearchMark>> m_marks;
    std::unique_ptr<AccessibleTextMirror> m_accessibleText;
};

/// A view of @p client's document whose signals reach the session: holding the view sets its ScrolledBack,
/// and a click makes it the selected session.
SessionView *CreateSessionView(TClient &client, QWidget *parent = nullptr);

} // namespace wren
