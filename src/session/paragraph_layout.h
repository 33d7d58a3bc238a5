// SPDX-License-Identifier: GPL-3.0-or-later
// Measures and lays out paragraphs at the view's width, without a layout where the metrics are uniform.
#pragma once

#include "session/session_document.h"

#include <QFont>
#include <QString>
#include <QTextDocument>
#include <QTextLayout>

#include <memory>
#include <vector>

namespace wren {

struct StyleMetrics {
    QFont Font;
    bool Fixed = false; ///< a fixed-pitch font: every simple character has the same advance
    qreal CharWidth = 0;
    int LineHeight = 0;
    int Ascent = 0;
};

/// A paragraph ready to paint: its characters, rows and where each style run starts.
struct LaidParagraph {
    QString Text;
    std::vector<int> CharToByte; ///< for every character its byte offset, plus the byte length
    std::vector<int> RunStarts; ///< character index of each run of the paragraph
    std::vector<int> RowStarts; ///< character index where each row starts, plus Text.size()
    std::vector<std::pair<int, int>> Links; ///< web addresses, [start, end) in characters
    bool Uniform = false; ///< rows are laid out by character columns (one font, fixed pitch)
    qreal CharWidth = 0;
    int LineHeight = 0;
    int Ascent = 0;
    int Height = 0;
    /// Only when not Uniform: the layout to paint and hit-test. A paragraph with pictures is laid out by a
    /// one-block document, which sizes and draws them in line with the text; the layout is its block's.
    QTextLayout *Layout = nullptr;
    std::unique_ptr<QTextLayout> OwnLayout;
    std::unique_ptr<QTextDocument> Document;
};

class ParagraphLayouter
{
public:
    explicit ParagraphLayouter(const StyleTable &styles);

    void SetWidth(int pixels);
    int Width() const { return m_width; }
    const StyleMetrics &Metrics(quint32 style)
    {
        if (style < m_metrics.size() && m_metrics[style])
            return *m_metrics[style];
        return MakeMetrics(style);
    }
    void ForgetMetrics() { m_metrics.clear(); }
    /// Points added to every font's size (the view's zoom); the caller forgets the metrics and measures again.
    void SetZoom(int points) { m_zoom = points; }
    int Zoom() const { return m_zoom; }
    /// Runs whose background equals the view's, or the session's default one, are left unpainted, so the
    /// view's colour shows through.
    void SetViewBackground(Colour colour) { m_viewBackground = colour; }
    void SetPlainBackground(Colour colour) { m_plainBackground = colour; }
    bool PaintsBackground(Colour back) const { return back != m_viewBackground && back != m_plainBackground; }
    /// What a run is painted with: its colours, swapped for inverse text (whose background, when it has
    /// none of its own, is the view's).
    struct Shown {
        Colour Fore = 0;
        Colour Back = 0;
        bool PaintBack = false;
    };
    Shown ShownColours(const TextAttributes &a) const
    {
        if (!(a.Style & Inverse))
            return {a.Fore, a.Back, PaintsBackground(a.Back)};
        return {PaintsBackground(a.Back) ? a.Back : m_viewBackground, a.Fore, true};
    }

    struct Size {
        int Rows = 1;
        int Height = 0;
    };
    Size Measure(const Paragraph &paragraph);
    /// Byte offset where row @p row (from 0) of the paragraph starts.
    qsizetype RowStartByte(const Paragraph &paragraph, int row);
    std::unique_ptr<LaidParagraph> Lay(const Paragraph &paragraph, bool findLinks);

private:
    const StyleMetrics &MakeMetrics(quint32 style);
    QTextCharFormat RunFormat(quint32 style) const;
    void LayWithPictures(const Paragraph &paragraph, LaidParagraph &laid, const StyleMetrics &metrics);
    bool IsUniform(const Paragraph &paragraph, const StyleMetrics **metrics);
    int Columns(const StyleMetrics &metrics) const;

    const StyleTable &m_styles;
    int m_width = 800;
    int m_zoom = 0;
    Colour m_viewBackground = 0;
    Colour m_plainBackground = 0;
    std::vector<std::unique_ptr<StyleMetrics>> m_metrics; ///< by style number
};

/// Row starts for text wrapped at @p columns: break after blanks where possible, anywhere otherwise;
/// blanks at a break stay on the row they end. Always at least one row.
template <typename Char>
void WrapColumns(const Char *text, qsizetype length, qsizetype columns, std::vector<int> &rowStarts);

/// The colour to paint a stored colour with; -1 (no colour) is black.
QColor ToQColor(Colour colour);

/// Finds web addresses (http://, https://, ftp://, www.) in text.
std::vector<std::pair<int, int>> FindWebAddresses(const QString &text);

} // namespace wren
