// SPDX-License-Identifier: GPL-3.0-or-later
// The session view's content: paragraphs of bytes with style runs, kept below a limit of wrapped lines.
#include "session/session_document.h"

#include "base/byte_decoder.h"
#include "base/text_helpers.h"
#include "session/paragraph_layout.h"

#include <QHashFunctions>

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstring>

namespace wren {

namespace {
// More distinct styles than this (a server cycling through colours) makes the table drop unused ones.
constexpr size_t StyleTableLimit = 4096;
} // namespace

size_t qHash(const TextAttributes &a, size_t seed)
{
    return qHashMulti(seed, a.FontName, a.FontSize, a.Fore, a.Back, a.Style);
}

quint32 StyleTable::Intern(const TextAttributes &attributes)
{
    const auto it = m_index.constFind(attributes);
    if (it != m_index.constEnd())
        return it.value();
    const auto id = static_cast<quint32>(m_styles.size());
    m_styles.push_back(attributes);
    m_index.insert(attributes, id);
    return id;
}

std::vector<quint32> StyleTable::Compact(const std::vector<bool> &used)
{
    std::vector<quint32> remap(m_styles.size(), 0);
    std::vector<TextAttributes> kept;
    m_index.clear();
    for (size_t i = 0; i < m_styles.size(); ++i) {
        if (i < used.size() && used[i]) {
            remap[i] = static_cast<quint32>(kept.size());
            m_index.insert(m_styles[i], remap[i]);
            kept.push_back(std::move(m_styles[i]));
        }
    }
    m_styles = std::move(kept);
    ++m_generation;
    return remap;
}

SessionDocument::SessionDocument(QObject *parent)
    : QObject(parent)
    , m_layouter(std::make_unique<ParagraphLayouter>(m_styles))
{
    Attributes.FontName = "Courier New";
    Attributes.FontSize = 9;
    Attributes.Fore = Rgb(255, 255, 255);
    Attributes.Back = m_background;
    m_layouter->SetViewBackground(m_background);
    m_layouter->SetPlainBackground(m_plainBackground);
    StartParagraph();
}

SessionDocument::~SessionDocument() = default;

void SessionDocument::Notify()
{
    m_notified = true;
    emit Changed();
}

quint32 SessionDocument::LookUpStyle(const StyleKey &key)
{
    // Servers switch among a handful of colours: a small cache in front of the table saves the hashing.
    // Each entry has a 32-bit tag from the key's hash; the four tags of a set are compared at once, so the
    // way that holds the key is found without a branch per way (ways are hit in no order a processor can
    // guess), and only a matching tag's key is compared whole.
    const quint64 h = (key.Colours * 0x9E3779B97F4A7C15ULL ^ key.Rest * 0xC2B2AE3D27D4EB4FULL
                       ^ reinterpret_cast<quintptr>(key.Font))
                      * 0x9E3779B97F4A7C15ULL;
    const auto set = static_cast<size_t>(h >> 60);
    const quint32 tag = static_cast<quint32>(h >> 16) | 1; // never 0, the tag of an empty entry
    RecentStyle *ways = &m_recentStyles[set * RecentStyleWays];
    const quint32 *tags = &m_recentTags[set * RecentStyleWays];
#if defined(__SSE2__)
    auto hits = static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(
        _mm_load_si128(reinterpret_cast<const __m128i *>(tags)), _mm_set1_epi32(static_cast<int>(tag))))));
#else
    unsigned hits = 0;
    for (size_t way = 0; way < RecentStyleWays; ++way)
        hits |= static_cast<unsigned>(tags[way] == tag) << way;
#endif
    for (; hits; hits &= hits - 1) {
        RecentStyle &hit = ways[__builtin_ctz(hits)];
        if (hit.Key == key) {
            m_lastStyle = &hit;
            return hit.Id;
        }
    }
    const size_t way = m_recentNext[set];
    m_recentNext[set] = static_cast<quint8>((way + 1) % RecentStyleWays);
    RecentStyle &recent = ways[way];
    recent.Id = m_styles.Intern(Attributes);
    recent.FontHolder = Attributes.FontName;
    recent.Key = {key.Colours, key.Rest, recent.FontHolder.constData()};
    m_recentTags[set * RecentStyleWays + way] = tag;
    m_lastStyle = &recent;
    return recent.Id;
}

void SessionDocument::StartParagraph()
{
    Paragraph paragraph;
    if (!m_spare.empty()) {
        // The buffers of a trimmed paragraph, emptied: no allocation for a typical line.
        paragraph.Text = std::move(m_spare.back().Text);
        paragraph.Runs = std::move(m_spare.back().Runs);
        m_spare.pop_back();
        paragraph.Text.resize(0);
        paragraph.Runs.clear();
        paragraph.Pictures.clear();
    } else {
        paragraph.Runs.reserve(8);
        paragraph.Text.reserve(160); // one allocation for a typical line
    }
    paragraph.Id = m_nextId++;
    paragraph.Align = CurrentAlignment;
    paragraph.EmptyStyle = CurrentStyle();
    m_lastRows = 1;
    m_lastBytes = 0;
    if (!m_paragraphs.empty()) {
        Paragraph &last = m_paragraphs.back();
        Measure(last);
        paragraph.Top = last.Top + last.Height;
        m_closedRows += last.Rows;
    }
    m_paragraphs.push_back(std::move(paragraph));
}

void SessionDocument::Measure(Paragraph &paragraph)
{
    if (paragraph.Measured)
        return;
    const ParagraphLayouter::Size size = m_layouter->Measure(paragraph);
    paragraph.Rows = size.Rows;
    paragraph.Height = size.Height;
    paragraph.Measured = true;
}

void SessionDocument::Append(QByteArrayView text)
{
    const char *p = text.data();
    const char *end = p + text.size();
    while (p < end) {
        const char *newline = static_cast<const char *>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        AppendPiece(QByteArrayView(p, (newline ? newline : end) - p), newline != nullptr);
        p = newline ? newline + 1 : end;
    }
}

void SessionDocument::AppendPiece(QByteArrayView piece, bool endParagraph)
{
    Paragraph &last = m_paragraphs.back();
    if (!piece.isEmpty()) {
        const quint32 style = CurrentStyle();
        // CR is part of the client's own line ends; it is never shown.
        const qsizetype before = last.Text.size();
        const char *end = piece.data() + piece.size();
        for (const char *q = piece.data(); q < end;) {
            const char *cr = static_cast<const char *>(std::memchr(q, '\r', static_cast<size_t>(end - q)));
            const char *segmentEnd = cr ? cr : end;
            AppendBytes(last.Text, q, segmentEnd - q);
            q = cr ? cr + 1 : end;
        }
        if (last.Text.size() > before)
            MarkChanged(last, before, style);
    }
    if (endParagraph) {
        last.Measured = false;
        StartParagraph();
    }
    CompactStylesIfNeeded();
    Touch();
}

qint64 SessionDocument::PictureBytes() const
{
    qint64 total = 0;
    for (const Paragraph &paragraph : m_paragraphs) {
        for (const InlinePicture &picture : paragraph.Pictures)
            total += picture.Image.sizeInBytes();
    }
    return total;
}

bool SessionDocument::AppendPicture(const QImage &image, const QByteArray &name)
{
    if (PictureBytes() + image.sizeInBytes() > PictureBudget)
        return false;
    Paragraph &last = m_paragraphs.back();
    const quint32 style = CurrentStyle();
    const qsizetype before = last.Text.size();
    last.Text.append('\0');
    last.Pictures.push_back({static_cast<qint32>(before), image, 0, name});
    MarkChanged(last, before, style);
    Touch();
    return true;
}

quint64 SessionDocument::HoldPicturePlace(const QByteArray &name)
{
    Paragraph &last = m_paragraphs.back();
    const quint32 style = CurrentStyle();
    const qsizetype before = last.Text.size();
    last.Text.append('\0');
    const quint64 slot = m_nextSlot++;
    last.Pictures.push_back({static_cast<qint32>(before), QImage(), slot, name});
    MarkChanged(last, before, style);
    Touch();
    return slot;
}

bool SessionDocument::FindPlace(quint64 slot, size_t *paragraph, size_t *picture)
{
    for (size_t i = m_paragraphs.size(); i-- > 0;) {
        const std::vector<InlinePicture> &pictures = m_paragraphs[i].Pictures;
        for (size_t p = 0; p < pictures.size(); ++p) {
            if (pictures[p].Slot == slot) {
                *paragraph = i;
                *picture = p;
                return true;
            }
        }
    }
    return false;
}

void SessionDocument::Remeasure(size_t index)
{
    Paragraph &changed = m_paragraphs[index];
    const int oldRows = changed.Rows;
    const int oldHeight = changed.Height;
    ++changed.Version;
    changed.Measured = false;
    Measure(changed);
    if (index + 1 < m_paragraphs.size()) {
        m_closedRows += changed.Rows - oldRows;
        const int moved = changed.Height - oldHeight;
        for (size_t i = index + 1; i < m_paragraphs.size(); ++i)
            m_paragraphs[i].Top += moved;
    }
    Touch();
}

bool SessionDocument::FillPicturePlace(quint64 slot, const QImage &image)
{
    size_t paragraph = 0, picture = 0;
    if (!FindPlace(slot, &paragraph, &picture) || PictureBytes() + image.sizeInBytes() > PictureBudget)
        return false;
    InlinePicture &place = m_paragraphs[paragraph].Pictures[picture];
    place.Image = image;
    place.Slot = 0;
    Remeasure(paragraph);
    return true;
}

bool SessionDocument::ReplacePicturePlace(quint64 slot, QByteArrayView text)
{
    size_t index = 0, picture = 0;
    if (!FindPlace(slot, &index, &picture))
        return false;
    Paragraph &paragraph = m_paragraphs[index];
    const qint32 at = paragraph.Pictures[picture].Offset;
    QByteArray shown = text.toByteArray();
    RemoveByte(shown, '\r');
    shown.replace('\n', ' ');
    paragraph.Pictures.erase(paragraph.Pictures.begin() + static_cast<qsizetype>(picture));
    paragraph.Text.replace(at, 1, shown);
    const auto grown = static_cast<qint32>(shown.size() - 1);
    for (InlinePicture &later : paragraph.Pictures) {
        if (later.Offset > at)
            later.Offset += grown;
    }
    for (StyleRun &run : paragraph.Runs) {
        if (run.Start > at)
            run.Start += grown;
    }
    Remeasure(index);
    return true;
}

void SessionDocument::SetAlignment(Alignment alignment)
{
    CurrentAlignment = alignment;
    Paragraph &last = m_paragraphs.back();
    if (last.Align != alignment) {
        last.Align = alignment;
        ++last.Version;
        last.Measured = false;
        Touch();
    }
}

void SessionDocument::Recycle(Paragraph &&paragraph)
{
    // Only buffers of ordinary lines, held by nobody else, are worth keeping.
    constexpr size_t MaxSpare = 64;
    if (m_spare.size() < MaxSpare && paragraph.Text.capacity() <= 1024 && paragraph.Text.isDetached()
        && paragraph.Runs.capacity() <= 64) {
        paragraph.Pictures.clear();
        m_spare.push_back(std::move(paragraph));
    }
}

void SessionDocument::SetLastParagraphAction(const QByteArray &action)
{
    if (m_paragraphs.size() >= 2)
        m_actions.insert(m_paragraphs[m_paragraphs.size() - 2].Id, action);
}

void SessionDocument::Clear()
{
    m_paragraphs.clear();
    m_actions.clear();
    m_closedRows = 0;
    StartParagraph();
    Touch();
}

qsizetype SessionDocument::RowCount()
{
    Measure(m_paragraphs.back());
    return m_closedRows + m_paragraphs.back().Rows;
}

void SessionDocument::DeleteFirstRows(qsizetype rows)
{
    while (rows > 0) {
        Paragraph &first = m_paragraphs.front();
        Measure(first);
        const bool isLast = m_paragraphs.size() == 1;
        if (first.Rows <= rows && !isLast) {
            rows -= first.Rows;
            m_closedRows -= first.Rows;
            Recycle(std::move(first));
            m_paragraphs.pop_front();
            continue;
        }
        // Cut the first rows off the paragraph; what remains wraps into the rows it had after them.
        const int cutRows = static_cast<int>(std::min<qsizetype>(rows, first.Rows));
        const qsizetype cut = cutRows >= first.Rows ? first.Text.size() : m_layouter->RowStartByte(first, cutRows);
        const int oldRows = first.Rows;
        const int oldHeight = first.Height;
        const auto oldSize = static_cast<qint32>(first.Text.size());
        first.Text.remove(0, cut);
        std::vector<StyleRun> runs;
        for (size_t r = 0; r < first.Runs.size() && !first.Text.isEmpty(); ++r) {
            const qint32 end = r + 1 < first.Runs.size() ? first.Runs[r + 1].Start : oldSize;
            if (end > cut)
                runs.push_back(
                    {std::max<qint32>(0, first.Runs[r].Start - static_cast<qint32>(cut)), first.Runs[r].Style});
        }
        first.Runs = std::move(runs);
        std::erase_if(first.Pictures, [&](const InlinePicture &picture) { return picture.Offset < cut; });
        for (InlinePicture &picture : first.Pictures)
            picture.Offset -= static_cast<qint32>(cut);
        ++first.Version;
        first.Measured = false;
        Measure(first);
        first.Top += oldHeight - first.Height;
        if (!isLast)
            m_closedRows += first.Rows - oldRows;
        break;
    }
    if (!m_actions.isEmpty()) {
        const quint64 firstKept = m_paragraphs.front().Id;
        m_actions.removeIf([firstKept](const auto &entry) { return entry.key() < firstKept; });
    }
    Touch();
}

bool SessionDocument::TrimToLimit(int maxLines)
{
    // Counting rows means measuring the last paragraph, which grows with every write. Every row holds at
    // least one byte of its paragraph (a character, a tab, a picture), and appending leaves the rows before
    // the last one as they were, so the bytes added since the paragraph was last counted add at most that
    // many rows. While that bound stays under the limit there is nothing to count. (A bound in pixels per
    // byte does not hold: a tab in a narrow view takes a row of its own.)
    const qsizetype limit = static_cast<qsizetype>(maxLines) + 50;
    const Paragraph &last = m_paragraphs.back();
    const qsizetype lastRows = last.Measured ? last.Rows : m_lastRows + (last.Text.size() - m_lastBytes) + 1;
    if (m_closedRows + lastRows <= limit)
        return false;
    const qsizetype count = RowCount();
    m_lastRows = m_paragraphs.back().Rows;
    m_lastBytes = m_paragraphs.back().Text.size();
    if (count <= limit)
        return false;
    DeleteFirstRows(count - maxLines + 1);
    m_lastRows = m_paragraphs.back().Rows;
    m_lastBytes = m_paragraphs.back().Text.size();
    return true;
}

void SessionDocument::SetBackground(Colour colour)
{
    if (colour == m_background)
        return;
    m_background = colour;
    m_layouter->SetViewBackground(colour);
    ++m_revision;
    emit BackgroundChanged();
}

void SessionDocument::SetPlainBackground(Colour colour)
{
    if (colour == m_plainBackground)
        return;
    m_plainBackground = colour;
    m_layouter->SetPlainBackground(colour);
    ++m_revision;
    emit BackgroundChanged();
}

void SessionDocument::RequestScrollToEnd()
{
    ++m_scrollRequests;
    Touch();
}

void SessionDocument::SetWidth(int pixels)
{
    if (pixels == m_layouter->Width())
        return;
    m_layouter->SetWidth(pixels);
    RemeasureAll();
}

void SessionDocument::SetZoom(int points)
{
    if (points == m_layouter->Zoom())
        return;
    m_layouter->SetZoom(points);
    m_layouter->ForgetMetrics();
    RemeasureAll();
    emit BackgroundChanged(); // views lay out again what they show
}

int SessionDocument::Zoom() const
{
    return m_layouter->Zoom();
}

void SessionDocument::SetBaseAttributes(const TextAttributes &attributes)
{
    Attributes = attributes;
    if (m_paragraphs.size() == 1 && m_paragraphs.front().Text.isEmpty()) {
        m_paragraphs.front().EmptyStyle = CurrentStyle();
        m_paragraphs.front().Measured = false;
    }
}

void SessionDocument::RemeasureAll()
{
    qint64 top = m_paragraphs.front().Top;
    m_closedRows = 0;
    for (size_t i = 0; i < m_paragraphs.size(); ++i) {
        Paragraph &p = m_paragraphs[i];
        p.Measured = false;
        p.Top = top;
        Measure(p);
        top += p.Height;
        if (i + 1 < m_paragraphs.size())
            m_closedRows += p.Rows;
    }
    Touch();
}

qint64 SessionDocument::Bottom()
{
    Paragraph &last = m_paragraphs.back();
    Measure(last);
    return last.Top + last.Height;
}

size_t SessionDocument::ParagraphAt(qint64 y)
{
    Measure(m_paragraphs.back());
    auto it = std::upper_bound(m_paragraphs.begin(), m_paragraphs.end(), y,
                               [](qint64 value, const Paragraph &p) { return value < p.Top; });
    if (it == m_paragraphs.begin())
        return 0;
    return static_cast<size_t>(it - m_paragraphs.begin()) - 1;
}

QString SessionDocument::PlainText() const
{
    QString text;
    for (size_t i = 0; i < m_paragraphs.size(); ++i) {
        if (i)
            text.append(QLatin1Char('\n'));
        // A picture's byte is not text.
        QByteArray bytes = m_paragraphs[i].Text;
        for (auto it = m_paragraphs[i].Pictures.rbegin(); it != m_paragraphs[i].Pictures.rend(); ++it)
            bytes.remove(it->Offset, 1);
        text.append(DecodeBytes(bytes));
    }
    return text;
}

void SessionDocument::CompactStyles()
{
    std::vector<bool> used(m_styles.Size(), false);
    used[CurrentStyle()] = true;
    for (const Paragraph &p : m_paragraphs) {
        used[p.EmptyStyle] = true;
        for (const StyleRun &run : p.Runs)
            used[run.Style] = true;
    }
    const std::vector<quint32> remap = m_styles.Compact(used);
    for (Paragraph &p : m_paragraphs) {
        p.EmptyStyle = remap[p.EmptyStyle];
        for (StyleRun &run : p.Runs)
            run.Style = remap[run.Style];
        ++p.Version;
    }
    for (RecentStyle &recent : m_recentStyles)
        recent = RecentStyle();
    m_recentTags.fill(0);
    m_recentNext.fill(0);
    m_lastStyle = nullptr;
    m_layouter->ForgetMetrics();
    m_styleLimit = std::max(StyleTableLimit, 2 * m_styles.Size());
}

} // namespace wren
