// SPDX-License-Identifier: GPL-3.0-or-later
// Measures and lays out paragraphs at the view's width, without a layout where the metrics are uniform.
#include "session/paragraph_layout.h"

#include "base/byte_decoder.h"
#include "base/text_helpers.h"

#include <QColor>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextImageFormat>
#include <QTextOption>
#include <QUrl>

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cmath>
#include <cstring>

namespace wren {

namespace {

bool IsPlainAscii(QByteArrayView bytes)
{
    qsizetype i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time: as signed bytes, everything from 0x80 up is negative, so "below 0x20" also
    // catches those; 0x7F is compared on its own.
    const __m128i space = _mm_set1_epi8(0x20), del = _mm_set1_epi8(0x7F);
    for (; i + 16 <= bytes.size(); i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes.data() + i));
        if (_mm_movemask_epi8(_mm_or_si128(_mm_cmplt_epi8(x, space), _mm_cmpeq_epi8(x, del))))
            return false;
    }
#endif
    // Eight bytes at a time: any byte below 0x20, equal to 0x7F or above it sets a high bit.
    constexpr quint64 Ones = 0x0101010101010101ULL;
    constexpr quint64 Highs = 0x8080808080808080ULL;
    for (; i + 8 <= bytes.size(); i += 8) {
        quint64 x;
        std::memcpy(&x, bytes.data() + i, 8);
        const quint64 below = (x - 0x20 * Ones) & ~x;
        const quint64 y = x ^ (0x7F * Ones);
        const quint64 del = (y - Ones) & ~y;
        if ((below | del | x) & Highs)
            return false;
    }
    for (char c : bytes.sliced(i)) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F)
            return false;
    }
    return true;
}

// Characters a fixed-pitch font draws one column wide (Latin, Greek, Cyrillic, general punctuation).
bool IsSimpleChar(char16_t c)
{
    return (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c < 0x0300) || (c >= 0x0370 && c < 0x0480)
           || (c >= 0x2010 && c < 0x2050) || c == 0x20AC || c == 0x2122;
}

} // namespace

QColor ToQColor(Colour c)
{
    if (c < 0)
        return QColor(0, 0, 0);
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

namespace {
bool IsBlank(char c)
{
    return c == ' ';
}
bool IsBlank(QChar c)
{
    return c.unicode() == u' ';
}
} // namespace

template <typename Char>
void WrapColumns(const Char *text, qsizetype length, qsizetype columns, std::vector<int> &rowStarts)
{
    rowStarts.clear();
    columns = std::max<qsizetype>(columns, 1);
    qsizetype start = 0;
    rowStarts.push_back(0);
    while (length - start > columns) {
        qsizetype end = start + columns;
        if (!IsBlank(text[end])) {
            qsizetype blank = end - 1;
            while (blank > start && !IsBlank(text[blank]))
                --blank;
            if (blank > start || IsBlank(text[start]))
                end = blank + 1;
        }
        // Blanks at the break hang on the row they end.
        while (end < length && IsBlank(text[end]))
            ++end;
        if (end >= length)
            break;
        start = end;
        rowStarts.push_back(static_cast<int>(start));
    }
    rowStarts.push_back(static_cast<int>(length));
}

template void WrapColumns<char>(const char *, qsizetype, qsizetype, std::vector<int> &);
template void WrapColumns<QChar>(const QChar *, qsizetype, qsizetype, std::vector<int> &);

ParagraphLayouter::ParagraphLayouter(const StyleTable &styles)
    : m_styles(styles)
{
}

void ParagraphLayouter::SetWidth(int pixels)
{
    m_width = std::max(pixels, 1);
}

const StyleMetrics &ParagraphLayouter::MakeMetrics(quint32 style)
{
    if (style >= m_metrics.size())
        m_metrics.resize(style + 1);
    auto &slot = m_metrics[style];
    if (!slot) {
        const TextAttributes &a = m_styles.At(style);
        slot = std::make_unique<StyleMetrics>();
        QFont font(QString::fromLatin1(TrimTrailingBlanks(a.FontName)));
        font.setPointSize(std::clamp(a.FontSize + m_zoom, 1, 400));
        font.setBold(a.Style & Bold);
        font.setItalic(a.Style & Italic);
        font.setUnderline(a.Style & Underline);
        font.setStrikeOut(a.Style & StrikeOut);
        font.setKerning(false);
        const QFontMetricsF metrics(font);
        slot->Font = font;
        slot->Fixed = QFontInfo(font).fixedPitch();
        slot->CharWidth = metrics.horizontalAdvance(QLatin1Char('M'));
        slot->LineHeight = static_cast<int>(std::ceil(metrics.height()));
        slot->Ascent = static_cast<int>(std::ceil(metrics.ascent()));
        if (slot->Fixed && metrics.horizontalAdvance(QLatin1Char('i')) != slot->CharWidth)
            slot->Fixed = false;
    }
    return *slot;
}

int ParagraphLayouter::Columns(const StyleMetrics &metrics) const
{
    return std::max(1, static_cast<int>(m_width / std::max<qreal>(metrics.CharWidth, 1)));
}

bool ParagraphLayouter::IsUniform(const Paragraph &paragraph, const StyleMetrics **metrics)
{
    const quint32 first = paragraph.Runs.empty() ? paragraph.EmptyStyle : paragraph.Runs.front().Style;
    const StyleMetrics &m = Metrics(first);
    *metrics = &m;
    if (!m.Fixed || !paragraph.Pictures.empty())
        return false;
    for (const StyleRun &run : paragraph.Runs) {
        if (run.Style == first)
            continue;
        const StyleMetrics &other = Metrics(run.Style);
        if (!other.Fixed || other.CharWidth != m.CharWidth || other.LineHeight != m.LineHeight)
            return false;
    }
    return true;
}

ParagraphLayouter::Size ParagraphLayouter::Measure(const Paragraph &paragraph)
{
    const StyleMetrics *metrics = nullptr;
    if (IsUniform(paragraph, &metrics)) {
        const int columns = Columns(*metrics);
        const QByteArrayView bytes(paragraph.Text);
        // Most lines: plain ASCII that fits in one row, known without decoding.
        if (bytes.size() <= columns && IsPlainAscii(bytes))
            return {1, metrics->LineHeight};
        std::vector<int> rows;
        if (IsPlainAscii(bytes)) {
            WrapColumns(bytes.data(), bytes.size(), columns, rows);
        } else {
            const QString text = DecodeForDisplay(bytes);
            if (std::all_of(text.begin(), text.end(), [](QChar c) { return IsSimpleChar(c.unicode()); })) {
                WrapColumns(text.constData(), text.size(), columns, rows);
            } else {
                const auto laid = Lay(paragraph, false);
                return {static_cast<int>(laid->RowStarts.size()) - 1, laid->Height};
            }
        }
        const int count = static_cast<int>(rows.size()) - 1;
        return {count, count * metrics->LineHeight};
    }
    const auto laid = Lay(paragraph, false);
    return {static_cast<int>(laid->RowStarts.size()) - 1, laid->Height};
}

qsizetype ParagraphLayouter::RowStartByte(const Paragraph &paragraph, int row)
{
    const auto laid = Lay(paragraph, false);
    const size_t at = std::min<size_t>(static_cast<size_t>(std::max(row, 0)), laid->RowStarts.size() - 1);
    return laid->CharToByte[static_cast<size_t>(laid->RowStarts[at])];
}

std::unique_ptr<LaidParagraph> ParagraphLayouter::Lay(const Paragraph &paragraph, bool findLinks)
{
    auto laid = std::make_unique<LaidParagraph>();
    std::vector<qint32> pictures;
    for (const InlinePicture &picture : paragraph.Pictures)
        pictures.push_back(picture.Offset);
    laid->Text = DecodeForDisplay(paragraph.Text, &laid->CharToByte, pictures.empty() ? nullptr : &pictures);
    // Run starts in characters: the first character whose byte is at or after the run's byte.
    size_t ch = 0;
    for (const StyleRun &run : paragraph.Runs) {
        while (ch + 1 < laid->CharToByte.size() && laid->CharToByte[ch] < run.Start)
            ++ch;
        laid->RunStarts.push_back(static_cast<int>(ch));
    }
    if (findLinks)
        laid->Links = FindWebAddresses(laid->Text);

    const StyleMetrics *metrics = nullptr;
    const bool uniform
        = IsUniform(paragraph, &metrics)
          && std::all_of(laid->Text.begin(), laid->Text.end(), [](QChar c) { return IsSimpleChar(c.unicode()); });
    laid->CharWidth = metrics->CharWidth;
    laid->LineHeight = metrics->LineHeight;
    laid->Ascent = metrics->Ascent;
    if (uniform) {
        laid->Uniform = true;
        WrapColumns(laid->Text.constData(), laid->Text.size(), Columns(*metrics), laid->RowStarts);
        laid->Height = static_cast<int>(laid->RowStarts.size() - 1) * metrics->LineHeight;
        return laid;
    }

    if (!paragraph.Pictures.empty()) {
        LayWithPictures(paragraph, *laid, *metrics);
        return laid;
    }
    laid->OwnLayout = std::make_unique<QTextLayout>(laid->Text, metrics->Font);
    laid->Layout = laid->OwnLayout.get();
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setAlignment(paragraph.Align == Alignment::Center  ? Qt::AlignHCenter
                        : paragraph.Align == Alignment::Right ? Qt::AlignRight
                                                              : Qt::AlignLeft);
    laid->Layout->setTextOption(option);
    QList<QTextLayout::FormatRange> formats;
    for (size_t r = 0; r < paragraph.Runs.size(); ++r) {
        const int start = laid->RunStarts[r];
        const int end = r + 1 < paragraph.Runs.size() ? laid->RunStarts[r + 1] : static_cast<int>(laid->Text.size());
        if (end <= start)
            continue;
        formats.append({start, end - start, RunFormat(paragraph.Runs[r].Style)});
    }
    laid->Layout->setFormats(formats);
    laid->Layout->beginLayout();
    qreal y = 0;
    for (;;) {
        QTextLine line = laid->Layout->createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(m_width);
        line.setPosition(QPointF(0, y));
        y += std::ceil(line.height());
        laid->RowStarts.push_back(line.textStart());
    }
    laid->Layout->endLayout();
    if (laid->RowStarts.empty())
        laid->RowStarts.push_back(0);
    laid->RowStarts.push_back(static_cast<int>(laid->Text.size()));
    laid->Height = std::max(static_cast<int>(y), metrics->LineHeight);
    return laid;
}

QTextCharFormat ParagraphLayouter::RunFormat(quint32 style) const
{
    const TextAttributes &a = m_styles.At(style);
    QTextCharFormat format;
    format.setFont(const_cast<ParagraphLayouter *>(this)->Metrics(style).Font);
    const Shown shown = ShownColours(a);
    format.setForeground(ToQColor(shown.Fore));
    if (shown.PaintBack)
        format.setBackground(ToQColor(shown.Back));
    return format;
}

void ParagraphLayouter::LayWithPictures(const Paragraph &paragraph, LaidParagraph &laid, const StyleMetrics &metrics)
{
    auto document = std::make_unique<QTextDocument>();
    document->setDocumentMargin(0);
    document->setDefaultFont(metrics.Font);
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document.get());
    QTextBlockFormat block;
    block.setAlignment(paragraph.Align == Alignment::Center  ? Qt::AlignHCenter
                       : paragraph.Align == Alignment::Right ? Qt::AlignRight
                                                             : Qt::AlignLeft);
    cursor.setBlockFormat(block);
    size_t picture = 0;
    for (size_t r = 0; r < paragraph.Runs.size(); ++r) {
        const int start = laid.RunStarts[r];
        const int end = r + 1 < paragraph.Runs.size() ? laid.RunStarts[r + 1] : static_cast<int>(laid.Text.size());
        const QTextCharFormat format = RunFormat(paragraph.Runs[r].Style);
        int from = start;
        for (int ch = start; ch < end; ++ch) {
            if (laid.Text[ch] != QChar(QChar::ObjectReplacementCharacter) || picture >= paragraph.Pictures.size())
                continue;
            cursor.insertText(laid.Text.mid(from, ch - from), format);
            const QString name = QStringLiteral("wren-picture:%1").arg(picture);
            document->addResource(QTextDocument::ImageResource, QUrl(name), paragraph.Pictures[picture].Image);
            QTextImageFormat image;
            image.merge(format);
            image.setName(name);
            image.setWidth(paragraph.Pictures[picture].Image.width());
            image.setHeight(paragraph.Pictures[picture].Image.height());
            cursor.insertImage(image);
            ++picture;
            from = ch + 1;
        }
        cursor.insertText(laid.Text.mid(from, end - from), format);
    }
    document->setTextWidth(m_width);
    QTextLayout *layout = document->firstBlock().layout();
    for (int l = 0; l < layout->lineCount(); ++l)
        laid.RowStarts.push_back(layout->lineAt(l).textStart());
    if (laid.RowStarts.empty())
        laid.RowStarts.push_back(0);
    laid.RowStarts.push_back(static_cast<int>(laid.Text.size()));
    laid.Height = std::max(static_cast<int>(std::ceil(document->size().height())), metrics.LineHeight);
    laid.Layout = layout;
    laid.Document = std::move(document);
}

std::vector<std::pair<int, int>> FindWebAddresses(const QString &text)
{
    std::vector<std::pair<int, int>> links;
    if (!text.contains(QLatin1String("://")) && !text.contains(QLatin1String("www."), Qt::CaseInsensitive))
        return links;
    static const QRegularExpression address(QStringLiteral(R"((?:\b(?:https?|ftp)://|\bwww\.)[^\s<>"]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    auto it = address.globalMatch(text);
    while (it.hasNext()) {
        const auto match = it.next();
        int start = static_cast<int>(match.capturedStart());
        int end = static_cast<int>(match.capturedEnd());
        // Punctuation that closes a sentence is not part of the address.
        while (end > start && QStringLiteral(".,;:!?)]}'").contains(text[end - 1]))
            --end;
        links.emplace_back(start, end);
    }
    return links;
}

} // namespace wren
