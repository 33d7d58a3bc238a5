// SPDX-License-Identifier: GPL-3.0-or-later
// Paints one laid-out paragraph of a session's document: its styled runs, links, search marks and selection.
#include "ui/session_painter.h"

#include "session/session_document.h"

#include <QPainter>
#include <QTextLayout>

namespace wren {

namespace {

QColor MarkColour(const SearchMark &mark)
{
    return mark.Current ? QColor(255, 140, 0) : QColor(255, 230, 0);
}

} // namespace

SessionPainter::SessionPainter(SessionDocument &document, Colours colours, int padding, int layoutWidth, int viewHeight)
    : m_document(document)
    , m_colours(colours)
    , m_padding(padding)
    , m_layoutWidth(layoutWidth)
    , m_viewHeight(viewHeight)
{
}

qreal SessionPainter::RowOffset(const Paragraph &paragraph, const LaidParagraph &laid, int row) const
{
    if (paragraph.Align == Alignment::Left)
        return 0;
    int start = laid.RowStarts[static_cast<size_t>(row)];
    int end = laid.RowStarts[static_cast<size_t>(row) + 1];
    while (end > start && laid.Text[end - 1] == QLatin1Char(' '))
        --end;
    const qreal free = m_layoutWidth - (end - start) * laid.CharWidth;
    return std::max<qreal>(0, paragraph.Align == Alignment::Center ? free / 2 : free);
}

void SessionPainter::Paint(QPainter &painter, const Paragraph &paragraph, const LaidParagraph &laid, int y,
                           const ParagraphMarks &marks) const
{
    if (!laid.Uniform) {
        PaintLaidOut(painter, laid, y, marks);
        return;
    }
    const int rows = static_cast<int>(laid.RowStarts.size()) - 1;
    for (int row = 0; row < rows; ++row) {
        const int rowY = y + row * laid.LineHeight;
        if (rowY > m_viewHeight)
            break;
        if (rowY + laid.LineHeight >= 0)
            PaintRow(painter, paragraph, laid, row, rowY, marks);
    }
}

// Proportional text and pictures: the text layout draws, with the selection and the marks as formats.
void SessionPainter::PaintLaidOut(QPainter &painter, const LaidParagraph &laid, int y,
                                  const ParagraphMarks &marks) const
{
    QList<QTextLayout::FormatRange> selections;
    if (marks.SelectionEnd > marks.SelectionStart) {
        QTextCharFormat format;
        format.setBackground(m_colours.Highlight);
        format.setForeground(m_colours.HighlightedText);
        const int end = std::min<int>(marks.SelectionEnd, static_cast<int>(laid.Text.size()));
        selections.append({marks.SelectionStart, end - marks.SelectionStart, format});
    }
    if (marks.Marks) {
        for (const SearchMark &mark : *marks.Marks) {
            QTextCharFormat format;
            format.setBackground(MarkColour(mark));
            format.setForeground(Qt::black);
            selections.append({mark.Start, mark.End - mark.Start, format});
        }
    }
    laid.Layout->draw(&painter, QPointF(m_padding, y), selections);
    for (const auto &[start, end] : laid.Links) {
        for (int l = 0; l < laid.Layout->lineCount(); ++l) {
            const QTextLine line = laid.Layout->lineAt(l);
            const int a = std::max(start, line.textStart());
            const int b = std::min(end, line.textStart() + line.textLength());
            if (b <= a)
                continue;
            const qreal baseline = y + line.y() + line.ascent() + 1.5;
            painter.drawLine(QPointF(m_padding + line.cursorToX(a), baseline),
                             QPointF(m_padding + line.cursorToX(b), baseline));
        }
    }
}

// One row of fixed-pitch text: its runs, the links under it, the search marks over it, then the selection.
void SessionPainter::PaintRow(QPainter &painter, const Paragraph &paragraph, const LaidParagraph &laid, int row,
                              int rowY, const ParagraphMarks &marks) const
{
    const int start = laid.RowStarts[static_cast<size_t>(row)];
    const int end = laid.RowStarts[static_cast<size_t>(row) + 1];
    const qreal x0 = m_padding + RowOffset(paragraph, laid, row);
    PaintRuns(painter, paragraph, laid, start, end, x0, rowY);
    for (const auto &[linkStart, linkEnd] : laid.Links) {
        const int a = std::max(start, linkStart);
        const int b = std::min(end, linkEnd);
        if (b > a) {
            const qreal baseline = rowY + laid.Ascent + 1.5;
            painter.drawLine(QPointF(x0 + (a - start) * laid.CharWidth, baseline),
                             QPointF(x0 + (b - start) * laid.CharWidth, baseline));
        }
    }
    if (marks.Marks)
        PaintMarks(painter, paragraph, laid, start, end, x0, rowY, *marks.Marks);
    const int a = std::max(start, marks.SelectionStart);
    const int b = std::min(end, marks.SelectionEnd);
    if (b > a) {
        QColor overlay = m_colours.Highlight;
        overlay.setAlpha(120);
        painter.fillRect(QRectF(x0 + (a - start) * laid.CharWidth, rowY, (b - a) * laid.CharWidth, laid.LineHeight),
                         overlay);
    }
}

void SessionPainter::PaintRuns(QPainter &painter, const Paragraph &paragraph, const LaidParagraph &laid, int start,
                               int end, qreal x0, int rowY) const
{
    const auto &runs = paragraph.Runs;
    ParagraphLayouter &layouter = m_document.Layouter();
    for (size_t r = 0; r < runs.size(); ++r) {
        const int runStart = laid.RunStarts[r];
        const int runEnd = r + 1 < runs.size() ? laid.RunStarts[r + 1] : static_cast<int>(laid.Text.size());
        const int a = std::max(start, runStart);
        const int b = std::min(end, runEnd);
        if (b <= a)
            continue;
        const TextAttributes &style = m_document.Styles().At(runs[r].Style);
        const QRectF box(x0 + (a - start) * laid.CharWidth, rowY, (b - a) * laid.CharWidth, laid.LineHeight);
        const ParagraphLayouter::Shown shown = layouter.ShownColours(style);
        if (shown.PaintBack)
            painter.fillRect(box, ToQColor(shown.Back));
        painter.setFont(layouter.Metrics(runs[r].Style).Font);
        painter.setPen(ToQColor(shown.Fore));
        painter.drawText(QPointF(box.left(), rowY + laid.Ascent), laid.Text.mid(a, b - a));
    }
}

void SessionPainter::PaintMarks(QPainter &painter, const Paragraph &paragraph, const LaidParagraph &laid, int start,
                                int end, qreal x0, int rowY, const std::vector<SearchMark> &marks) const
{
    const quint32 style = paragraph.Runs.empty() ? paragraph.EmptyStyle : paragraph.Runs.front().Style;
    for (const SearchMark &mark : marks) {
        const int a = std::max(start, mark.Start);
        const int b = std::min(end, mark.End);
        if (b <= a)
            continue;
        const QRectF box(x0 + (a - start) * laid.CharWidth, rowY, (b - a) * laid.CharWidth, laid.LineHeight);
        painter.fillRect(box, MarkColour(mark));
        painter.setFont(m_document.Layouter().Metrics(style).Font);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(box.left(), rowY + laid.Ascent), laid.Text.mid(a, b - a));
    }
}

} // namespace wren
