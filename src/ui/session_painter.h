// SPDX-License-Identifier: GPL-3.0-or-later
// Paints one laid-out paragraph of a session's document: its styled runs, links, search marks and selection.
#pragma once

#include "session/paragraph_layout.h"

#include <QColor>

#include <vector>

class QPainter;

namespace wren {

class SessionDocument;

/// A search hit in a paragraph, in characters.
struct SearchMark {
    int Start = 0;
    int End = 0;
    bool Current = false; ///< the hit shown
};

/// What a paragraph is painted with besides its text.
struct ParagraphMarks {
    int SelectionStart = 0; ///< characters selected, [start, end); empty for none
    int SelectionEnd = 0;
    const std::vector<SearchMark> *Marks = nullptr;
};

/// The view's painting, apart from its scrolling, selecting and caching. Fixed-pitch text is painted row by
/// row from the runs; anything else (proportional fonts, pictures) is drawn by its text layout.
class SessionPainter
{
public:
    struct Colours {
        QColor Highlight;
        QColor HighlightedText;
    };
    SessionPainter(SessionDocument &document, Colours colours, int padding, int layoutWidth, int viewHeight);

    void Paint(QPainter &painter, const Paragraph &paragraph, const LaidParagraph &laid, int y,
               const ParagraphMarks &marks) const;
    /// Where row @p row starts across the view: aligned paragraphs move their rows right.
    qreal RowOffset(const Paragraph &paragraph, const LaidParagraph &laid, int row) const;

private:
    void PaintLaidOut(QPainter &painter, const LaidParagraph &laid, int y, const ParagraphMarks &marks) const;
    void PaintRow(QPainter &painter, const Paragraph &paragraph, const LaidParagraph &laid, int row, int rowY,
                  const ParagraphMarks &marks) const;
    void PaintRuns(QPainter &painter, const Paragraph &paragraph, const LaidParagraph &laid, int start, int end,
                   qreal x0, int rowY) const;
    void PaintMarks(QPainter &painter, const Paragraph &paragraph, const LaidParagraph &laid, int start, int end,
                    qreal x0, int rowY, const std::vector<SearchMark> &marks) const;

    SessionDocument &m_document;
    Colours m_colours;
    int m_padding;
    int m_layoutWidth;
    int m_viewHeight;
};

} // namespace wren
