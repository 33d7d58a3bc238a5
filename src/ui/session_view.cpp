// SPDX-License-Identifier: GPL-3.0-or-later
// The session's output view: paints the visible paragraphs of its document, at most once per frame.
#include "ui/session_view.h"

#include "base/byte_decoder.h"
#include "session/accessible_text.h"
#include "session/client.h"
#include "session/workspace.h"
#include "ui/session_view_accessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLine>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace wren {

namespace {
// Layouts kept beyond what the last frames painted.
constexpr size_t CacheLimit = 1500;
} // namespace

SessionView::SessionView(ViewModel &model, QWidget *parent, Role role)
    : QAbstractScrollArea(parent)
    , m_model(model)
    , m_role(role)
{
    InstallSessionViewAccessible();
    setFocusPolicy(Qt::NoFocus); // not a tab stop: typing belongs to the command box
    setVerticalScrollBarPolicy(role == Role::Main ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setMouseTracking(true);
    m_frameTimer.setSingleShot(true);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_frameTimer, &QTimer::timeout, this, &SessionView::RunFrame);
    connect(&Doc(), &SessionDocument::Changed, this, &SessionView::ScheduleFrame);
    connect(&Doc(), &SessionDocument::BackgroundChanged, this, [this] {
        DropLayouts();
        viewport()->update();
    });
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] {
        // The user moved the scroll bar: away from the bottom holds the view, back at the bottom follows again.
        // The wheel keeps its own rule.
        if (!m_ownScroll)
            QTimer::singleShot(0, this, [this] {
                emit HoldChanged(!AtBottom());
                UpdateSplit();
            });
    });
    m_sizeTimer.setSingleShot(true);
    connect(&m_sizeTimer, &QTimer::timeout, this, &SessionView::ReportWindowSize);
    if (role == Role::Main) {
        m_tail = new SessionView(model, this, Role::LiveEnd);
        m_tail->hide();
        // A click in the pane selects the session and gives the focus back, as in the view itself.
        connect(m_tail, &SessionView::Activated, this, &SessionView::Activated);
        connect(m_tail, &SessionView::FocusReturned, this, &SessionView::FocusReturned);
        connect(m_tail, &SessionView::ActionActivated, this, &SessionView::ActionActivated);
        connect(m_tail, &SessionView::LinkActivated, this, &SessionView::LinkActivated);
    }
    m_sinceFrame.start();
    ScheduleFrame();
}

SessionView::~SessionView() = default;

int SessionView::LayoutWidth() const
{
    return std::max(1, viewport()->width() - 2 * Padding);
}

void SessionView::ScheduleFrame()
{
    if (m_frameTimer.isActive())
        return;
    const qint64 elapsed = m_sinceFrame.elapsed();
    m_frameTimer.start(static_cast<int>(std::clamp<qint64>(FrameIntervalMs - elapsed, 0, FrameIntervalMs)));
}

void SessionView::FlushFrame()
{
    m_frameTimer.stop();
    RunFrame();
}

void SessionView::RunFrame()
{
    m_sinceFrame.restart();
    SessionDocument &doc = Doc();
    doc.Acknowledge();
    if (doc.Styles().Generation() != m_styleGeneration) {
        m_styleGeneration = doc.Styles().Generation();
        DropLayouts();
    }
    const bool follow
        = m_role == Role::LiveEnd || (doc.ScrollToEndRequests() != m_seenScrollRequests && !m_model.IsScrolledBack());
    m_seenScrollRequests = doc.ScrollToEndRequests();
    UpdateScrollRange();
    if (follow)
        SetScrollValue(verticalScrollBar()->maximum());
    else
        SetScrollValue(static_cast<int>(std::max<qint64>(0, m_absoluteTop - doc.TopOfFirst())));
    UpdateSplit();
    viewport()->update();
    if (m_role == Role::Main && QAccessible::isActive())
        AnnounceTextChanges();
}

void SessionView::UpdateSplit()
{
    if (m_role != Role::Main || !m_tail || m_updatingSplit)
        return;
    const bool want = m_model.SplitWhenHeld() && m_model.IsScrolledBack() && !AtBottom();
    const bool shown = m_tail->isVisible();
    if (want == shown && !(shown && m_tail->height() != std::max(height() / 3, 1)))
        return;
    m_updatingSplit = true;
    const int tailHeight = want ? std::max(height() / 3, 1) : 0;
    const int keepTop = verticalScrollBar()->value();
    setViewportMargins(0, 0, 0, tailHeight);
    if (want) {
        m_tail->setGeometry(0, height() - tailHeight, viewport()->width(), tailHeight);
        m_tail->show();
        m_tail->FlushFrame();
    } else {
        m_tail->hide();
    }
    UpdateScrollRange();
    // The part being read stays where it was.
    SetScrollValue(std::min(keepTop, verticalScrollBar()->maximum()));
    m_updatingSplit = false;
    viewport()->update();
}

void SessionView::ReportWindowSize()
{
    SessionDocument &doc = Doc();
    const StyleMetrics &metrics = doc.Layouter().Metrics(doc.Paragraphs().back().EmptyStyle);
    // A fixed-pitch font's cell, or a proportional font's average character.
    const qreal charWidth = metrics.Fixed ? metrics.CharWidth : QFontMetricsF(metrics.Font).averageCharWidth();
    const int columns = std::max(1, static_cast<int>(LayoutWidth() / std::max<qreal>(charWidth, 1)));
    const int rows = std::max(1, height() / std::max(metrics.LineHeight, 1));
    if (columns == m_reportedColumns && rows == m_reportedRows)
        return;
    m_reportedColumns = columns;
    m_reportedRows = rows;
    emit WindowSizeChanged(columns, rows);
}

void SessionView::SetHighlights(const std::vector<SearchHit> &hits, int current)
{
    m_marks.clear();
    for (size_t i = 0; i < hits.size(); ++i)
        m_marks[hits[i].Paragraph].push_back(
            {hits[i].Start, hits[i].Start + hits[i].Length, static_cast<int>(i) == current});
    viewport()->update();
}

void SessionView::ShowHit(const SearchHit &hit)
{
    SessionDocument &doc = Doc();
    const auto &paragraphs = doc.Paragraphs();
    const size_t index = static_cast<size_t>(ParagraphIndex(hit.Paragraph));
    if (paragraphs[index].Id != hit.Paragraph)
        return; // the line has gone past the limit
    doc.Bottom();
    const Paragraph &paragraph = paragraphs[index];
    const LaidParagraph &laid = LaidOut(paragraph);
    qreal y = 0;
    if (laid.Uniform) {
        const auto row = std::upper_bound(laid.RowStarts.begin(), laid.RowStarts.end() - 1, hit.Start)
                         - laid.RowStarts.begin() - 1;
        y = static_cast<qreal>(std::max<qsizetype>(row, 0)) * laid.LineHeight;
    } else if (laid.Layout) {
        y = laid.Layout->lineForTextPosition(std::min<int>(hit.Start, static_cast<int>(laid.Text.size()))).y();
    }
    UpdateScrollRange();
    const qint64 target = paragraph.Top + static_cast<qint64>(y) - doc.TopOfFirst() - viewport()->height() / 2;
    m_ownScroll = true;
    SetScrollValue(static_cast<int>(std::clamp<qint64>(target, 0, verticalScrollBar()->maximum())));
    m_ownScroll = false;
    emit HoldChanged(!AtBottom());
    UpdateSplit();
    // The split may have moved the line: put it in the middle of what is left.
    const qint64 again = paragraph.Top + static_cast<qint64>(y) - doc.TopOfFirst() - viewport()->height() / 2;
    SetScrollValue(static_cast<int>(std::clamp<qint64>(again, 0, verticalScrollBar()->maximum())));
    viewport()->update();
}

void SessionView::UpdateScrollRange()
{
    SessionDocument &doc = Doc();
    const qint64 height = doc.Bottom() - doc.TopOfFirst();
    const int page = viewport()->height();
    m_settingScroll = true;
    verticalScrollBar()->setRange(0, static_cast<int>(std::clamp<qint64>(height - page, 0, INT_MAX)));
    verticalScrollBar()->setPageStep(std::max(1, page));
    verticalScrollBar()->setSingleStep(
        std::max(1, doc.Layouter().Metrics(doc.Paragraphs().back().EmptyStyle).LineHeight));
    m_settingScroll = false;
}

void SessionView::SetScrollValue(int value)
{
    m_settingScroll = true;
    verticalScrollBar()->setValue(value);
    m_settingScroll = false;
    m_absoluteTop = Doc().TopOfFirst() + verticalScrollBar()->value();
}

void SessionView::scrollContentsBy(int, int)
{
    if (!m_settingScroll)
        m_absoluteTop = Doc().TopOfFirst() + verticalScrollBar()->value();
    viewport()->update();
}

void SessionView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    const bool wasAtBottom = AtBottom();
    if (Doc().Layouter().Width() != LayoutWidth()) {
        Doc().SetWidth(LayoutWidth());
        DropLayouts();
    }
    UpdateScrollRange();
    if (wasAtBottom && !m_model.IsScrolledBack())
        SetScrollValue(verticalScrollBar()->maximum());
    if (m_role == Role::Main) {
        UpdateSplit();
        m_sizeTimer.start(SizeSettleMs);
    }
}

void SessionView::DropLayouts()
{
    m_cache.clear();
}

const LaidParagraph &SessionView::LaidOut(const Paragraph &paragraph)
{
    CacheEntry &entry = m_cache[paragraph.Id];
    if (!entry.Laid || entry.Version != paragraph.Version) {
        entry.Laid = Doc().Layouter().Lay(paragraph, m_model.HighlightLinks());
        entry.Version = paragraph.Version;
    }
    entry.Frame = m_frame;
    return *entry.Laid;
}

int SessionView::ParagraphIndex(quint64 id) const
{
    const auto &paragraphs = Doc().Paragraphs();
    if (id < paragraphs.front().Id)
        return 0;
    return static_cast<int>(std::min<quint64>(id - paragraphs.front().Id, paragraphs.size() - 1));
}

std::pair<int, int> SessionView::SelectionIn(const Paragraph &paragraph) const
{
    if (!HasSelection())
        return {0, 0};
    Position from = m_anchor, to = m_cursor;
    if (to.Paragraph < from.Paragraph || (to.Paragraph == from.Paragraph && to.Char < from.Char))
        std::swap(from, to);
    if (paragraph.Id < from.Paragraph || paragraph.Id > to.Paragraph)
        return {0, 0};
    const int start = paragraph.Id == from.Paragraph ? from.Char : 0;
    const int end = paragraph.Id == to.Paragraph ? to.Char : INT_MAX;
    return {start, end};
}

void SessionView::paintEvent(QPaintEvent *)
{
    ++m_paintCount;
    ++m_frame;
    SessionDocument &doc = Doc();
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), ToQColor(doc.Background()));
    const qint64 top = doc.TopOfFirst() + verticalScrollBar()->value();
    const SessionPainter paragraphPainter(
        doc, {palette().color(QPalette::Highlight), palette().color(QPalette::HighlightedText)}, Padding, LayoutWidth(),
        viewport()->height());
    const auto &paragraphs = doc.Paragraphs();
    for (size_t i = doc.ParagraphAt(top); i < paragraphs.size(); ++i) {
        const Paragraph &paragraph = paragraphs[i];
        const qint64 y = paragraph.Top - top;
        if (y > viewport()->height())
            break;
        ParagraphMarks marks;
        std::tie(marks.SelectionStart, marks.SelectionEnd) = SelectionIn(paragraph);
        if (const auto found = m_marks.find(paragraph.Id); found != m_marks.end())
            marks.Marks = &found->second;
        paragraphPainter.Paint(painter, paragraph, LaidOut(paragraph), static_cast<int>(y), marks);
    }
    if (m_role == Role::LiveEnd) {
        // The pane's top edge, between the text being read and the newest.
        painter.setPen(QPen(QColor(128, 128, 128), 2));
        painter.drawLine(0, 1, viewport()->width(), 1);
    }
    if (m_cache.size() > CacheLimit) {
        for (auto it = m_cache.begin(); it != m_cache.end();)
            it = it->second.Frame + 2 < m_frame ? m_cache.erase(it) : std::next(it);
    }
}

SessionView::Position SessionView::HitTest(const QPoint &point)
{
    SessionDocument &doc = Doc();
    const qint64 y = doc.TopOfFirst() + verticalScrollBar()->value() + std::max(0, point.y());
    const auto &paragraphs = doc.Paragraphs();
    const size_t index = doc.ParagraphAt(y);
    const Paragraph &paragraph = paragraphs[index];
    const LaidParagraph &laid = LaidOut(paragraph);
    const qint64 localY = y - paragraph.Top;
    if (point.y() > viewport()->height() && index + 1 == paragraphs.size())
        return {paragraph.Id, static_cast<int>(laid.Text.size())};
    int ch = 0;
    if (laid.Uniform) {
        const int rows = static_cast<int>(laid.RowStarts.size()) - 1;
        const int row = static_cast<int>(std::clamp<qint64>(localY / std::max(1, laid.LineHeight), 0, rows - 1));
        const int start = laid.RowStarts[static_cast<size_t>(row)];
        const int end = laid.RowStarts[static_cast<size_t>(row) + 1];
        const SessionPainter painter(doc, {}, Padding, LayoutWidth(), viewport()->height());
        const qreal x = point.x() - Padding - painter.RowOffset(paragraph, laid, row);
        ch = std::clamp(start + static_cast<int>(std::lround(x / std::max<qreal>(laid.CharWidth, 1))), start, end);
    } else {
        for (int l = 0; l < laid.Layout->lineCount(); ++l) {
            const QTextLine line = laid.Layout->lineAt(l);
            if (localY < line.y() + line.height() || l + 1 == laid.Layout->lineCount()) {
                ch = line.xToCursor(point.x() - Padding);
                break;
            }
        }
    }
    return {paragraph.Id, ch};
}

QString SessionView::LinkAt(const QPoint &point)
{
    if (!m_model.HighlightLinks())
        return {};
    const Position at = HitTest(point);
    const Paragraph &paragraph = Doc().Paragraphs()[static_cast<size_t>(ParagraphIndex(at.Paragraph))];
    const LaidParagraph &laid = LaidOut(paragraph);
    for (const auto &[start, end] : laid.Links) {
        if (at.Char >= start && at.Char < end)
            return laid.Text.mid(start, end - start);
    }
    return {};
}

QByteArray SessionView::ActionAt(const QPoint &point)
{
    const Position at = HitTest(point);
    const QByteArray action = Doc().ActionOf(at.Paragraph);
    if (action.isEmpty())
        return {};
    const Paragraph &paragraph = Doc().Paragraphs()[static_cast<size_t>(ParagraphIndex(at.Paragraph))];
    return at.Char < LaidOut(paragraph).Text.size() ? action : QByteArray();
}

void SessionView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressPoint = event->pos();
    m_dragged = false;
    m_selecting = true;
    m_anchor = m_cursor = HitTest(event->pos());
    viewport()->update();
}

void SessionView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_selecting) {
        const bool clickable = !LinkAt(event->pos()).isEmpty() || !ActionAt(event->pos()).isEmpty();
        viewport()->setCursor(clickable ? Qt::PointingHandCursor : Qt::IBeamCursor);
        return;
    }
    if ((event->pos() - m_pressPoint).manhattanLength() >= QApplication::startDragDistance())
        m_dragged = true;
    m_cursor = HitTest(event->pos());
    viewport()->update();
}

void SessionView::mouseReleaseEvent(QMouseEvent *event)
{
    emit Activated();
    if (event->button() == Qt::RightButton) {
        emit ContextMenuWanted(event->globalPosition().toPoint());
    } else {
        m_selecting = false;
        if (event->button() == Qt::LeftButton && !m_dragged) {
            const QString link = LinkAt(event->pos());
            if (!link.isEmpty()) {
                const QUrl url = QUrl::fromUserInput(link);
                QDesktopServices::openUrl(url);
                emit LinkActivated(link);
            } else if (const QByteArray action = ActionAt(event->pos()); !action.isEmpty()) {
                emit ActionActivated(action);
            }
        }
        if (m_model.AutoCopy() && HasSelection())
            Copy();
    }
    emit FocusReturned();
}

void SessionView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const Position at = HitTest(event->pos());
    const Paragraph &paragraph = Doc().Paragraphs()[static_cast<size_t>(ParagraphIndex(at.Paragraph))];
    const QString &text = LaidOut(paragraph).Text;
    int start = at.Char, end = at.Char;
    while (start > 0 && text[start - 1].isLetterOrNumber())
        --start;
    while (end < text.size() && text[end].isLetterOrNumber())
        ++end;
    m_anchor = {at.Paragraph, start};
    m_cursor = {at.Paragraph, end};
    m_selecting = false;
    m_dragged = true;
    viewport()->update();
}

void SessionView::wheelEvent(QWheelEvent *event)
{
    if (m_role == Role::LiveEnd) {
        // The pane always shows the end: the wheel reads back in the view above it.
        if (auto *main = qobject_cast<SessionView *>(parentWidget()))
            QCoreApplication::sendEvent(main->viewport(), event);
        return;
    }
    const int delta = event->angleDelta().y();
    if (delta > 0) {
        ScrollPageUp();
        emit HoldChanged(true);
    } else if (delta < 0) {
        ScrollPageDown();
        if (AtBottom())
            emit HoldChanged(false);
    }
    event->accept();
}

void SessionView::Scroll(QAbstractSlider::SliderAction action)
{
    m_ownScroll = true;
    verticalScrollBar()->triggerAction(action);
    m_ownScroll = false;
    // The caller sets the hold right after scrolling; the split follows it then.
    QTimer::singleShot(0, this, &SessionView::UpdateSplit);
}

void SessionView::ScrollPageUp()
{
    Scroll(QAbstractSlider::SliderPageStepSub);
}

void SessionView::ScrollPageDown()
{
    Scroll(QAbstractSlider::SliderPageStepAdd);
}

void SessionView::ScrollLineUp()
{
    Scroll(QAbstractSlider::SliderSingleStepSub);
}

void SessionView::ScrollLineDown()
{
    Scroll(QAbstractSlider::SliderSingleStepAdd);
}

void SessionView::ScrollToTop()
{
    Scroll(QAbstractSlider::SliderToMinimum);
}

void SessionView::ScrollToBottom()
{
    Scroll(QAbstractSlider::SliderToMaximum);
}

int SessionView::ScrollPosition() const
{
    return verticalScrollBar()->value();
}

int SessionView::PageSize() const
{
    return verticalScrollBar()->pageStep();
}

int SessionView::ScrollMaximum() const
{
    return verticalScrollBar()->maximum();
}

bool SessionView::AtBottom() const
{
    return verticalScrollBar()->value() >= verticalScrollBar()->maximum();
}

void SessionView::Select(Position from, Position to)
{
    m_anchor = from;
    m_cursor = to;
    viewport()->update();
}

void SessionView::SelectAll()
{
    const auto &paragraphs = Doc().Paragraphs();
    Select({paragraphs.front().Id, 0}, {paragraphs.back().Id, INT_MAX});
}

void SessionView::ClearSelection()
{
    m_anchor = m_cursor = {};
    viewport()->update();
}

QString SessionView::SelectedText() const
{
    if (!HasSelection())
        return {};
    Position from = m_anchor, to = m_cursor;
    if (to.Paragraph < from.Paragraph || (to.Paragraph == from.Paragraph && to.Char < from.Char))
        std::swap(from, to);
    QString text;
    for (const Paragraph &paragraph : Doc().Paragraphs()) {
        if (paragraph.Id < from.Paragraph || paragraph.Id > to.Paragraph)
            continue;
        std::vector<qint32> pictures;
        for (const InlinePicture &picture : paragraph.Pictures)
            pictures.push_back(picture.Offset);
        const QString chars = DecodeForDisplay(paragraph.Text, nullptr, pictures.empty() ? nullptr : &pictures);
        const int start = paragraph.Id == from.Paragraph ? std::min<int>(from.Char, static_cast<int>(chars.size())) : 0;
        const int end = paragraph.Id == to.Paragraph ? std::min<int>(to.Char, static_cast<int>(chars.size()))
                                                     : static_cast<int>(chars.size());
        if (paragraph.Id != from.Paragraph)
            text.append(QLatin1Char('\n'));
        text.append(chars.mid(start, std::max(0, end - start)));
    }
    // Pictures stand in the text as one character each; the clipboard gets the text alone.
    return text.remove(QChar(QChar::ObjectReplacementCharacter));
}

void SessionView::Copy()
{
    if (HasSelection())
        QGuiApplication::clipboard()->setText(SelectedText(), QClipboard::Clipboard);
}

SessionView *CreateSessionView(TClient &client, QWidget *parent)
{
    auto *view = new SessionView(client.Model(), parent);
    QObject::connect(view, &SessionView::HoldChanged, &client, [&client](bool held) { client.ScrolledBack = held; });
    QObject::connect(view, &SessionView::ActionActivated, &client, &TClient::RunAction);
    QObject::connect(view, &SessionView::WindowSizeChanged, &client, &TClient::SetWindowSize);
    QObject::connect(view, &SessionView::Activated, &client, [&client] {
        if (auto *workspace = dynamic_cast<Workspace *>(client.Globals().Workspace))
            workspace->SetCurrent(client.Index);
        else
            client.Globals().CurrentSession = client.Index;
    });
    return view;
}

} // namespace wren
