// SPDX-License-Identifier: GPL-3.0-or-later
// The session view's content: paragraphs of bytes with style runs, kept below a limit of wrapped lines.
#pragma once

#include "base/text_attributes.h"
#include "base/text_helpers.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QImage>
#include <QObject>

#include <array>
#include <deque>
#include <memory>
#include <vector>

namespace wren {

class ParagraphLayouter;

/// A run starts at a byte offset of its paragraph and lasts to the next run. Styles are shared through the
/// document's style table. Inline pictures will be runs of their own kind.
struct StyleRun {
    qint32 Start = 0;
    quint32 Style = 0;
};

/// A picture in the text: it stands on one byte of its paragraph (a NUL, which text never shows).
struct InlinePicture {
    qint32 Offset = 0;
    QImage Image; ///< null while the picture's place is held for it
    quint64 Slot = 0; ///< non-zero for a held place, until it is filled
    QByteArray Name; ///< the file or address it came from, which a screen reader reads in its place
};

struct Paragraph {
    QByteArray Text;
    std::vector<StyleRun> Runs; ///< sorted by Start; empty only while Text is empty
    std::vector<InlinePicture> Pictures; ///< sorted by Offset; usually empty
    quint32 EmptyStyle = 0; ///< the style an empty paragraph is measured with
    Alignment Align = Alignment::Left;
    quint64 Id = 0; ///< unique within the document, for caches
    quint32 Version = 0; ///< bumped on every change of Text or Runs
    // Measured at the document's width:
    qint32 Rows = 1;
    qint32 Height = 0;
    qint64 Top = 0; ///< y of the paragraph; grows down the document and never moves for a kept paragraph
    bool Measured = false;
};

/// The distinct attribute sets in use, each with a number.
class StyleTable
{
public:
    quint32 Intern(const TextAttributes &attributes);
    const TextAttributes &At(quint32 id) const { return m_styles[id]; }
    size_t Size() const { return m_styles.size(); }
    /// Bumped when numbers are reassigned (a compaction), so caches keyed by style number can be dropped.
    quint64 Generation() const { return m_generation; }
    /// Keeps only the styles @p used marks, renumbering them; returns the old-to-new map.
    std::vector<quint32> Compact(const std::vector<bool> &used);

private:
    std::vector<TextAttributes> m_styles;
    QHash<TextAttributes, quint32> m_index;
    quint64 m_generation = 0;
};

size_t qHash(const TextAttributes &attributes, size_t seed = 0);

/// Holds what the view shows and the attributes that text appended next is written with. Everything here
/// runs on the UI thread; the widget that paints it learns of changes through Changed(), at most once
/// until it calls Acknowledge().
class SessionDocument : public QObject
{
    Q_OBJECT
public:
    explicit SessionDocument(QObject *parent = nullptr);
    ~SessionDocument() override;

    TextAttributes Attributes; ///< applied to text appended next
    Alignment CurrentAlignment = Alignment::Left;

    /// Appends bytes with the current attributes; '\n' ends a paragraph and CR is not shown.
    void Append(QByteArrayView text);
    /// Appends text that holds no '\n', then ends the paragraph when asked.
    void AppendPiece(QByteArrayView piece, bool endParagraph);
    /// Appends text that holds neither '\n' nor CR: the writer's common case, without searching the text.
    void AppendPlain(QByteArrayView piece)
    {
        if (piece.isEmpty())
            return;
        Paragraph &last = m_paragraphs.back();
        const quint32 style = CurrentStyle();
        const qsizetype before = last.Text.size();
        AppendBytes(last.Text, piece);
        MarkChanged(last, before, style);
        CompactStylesIfNeeded();
        Touch();
    }
    /// Ends the last paragraph.
    void EndParagraph() { AppendPiece({}, true); }
    /// Puts a picture into the text at the end, in line with it, in the current attributes. False, with
    /// nothing added, when the pictures the view holds would pass PictureBudget bytes.
    bool AppendPicture(const QImage &image, const QByteArray &name = {});
    static constexpr qint64 PictureBudget = qint64(256) * 1024 * 1024;
    qint64 PictureBytes() const;
    /// Holds a place at the end of the text for a picture that is still on its way; returns its slot.
    quint64 HoldPicturePlace(const QByteArray &name = {});
    /// Puts the picture into its held place; false when the place is gone (trimmed, cleared) or the picture
    /// would pass the budget. Text after it moves down as the picture needs.
    bool FillPicturePlace(quint64 slot, const QImage &image);
    /// Puts @p text where a picture was held (one that could not be had), in the place's attributes.
    bool ReplacePicturePlace(quint64 slot, QByteArrayView text);
    /// Makes the last ended paragraph a line the user can click to run @p action (a client line such as
    /// "Reconnect").
    void SetLastParagraphAction(const QByteArray &action);
    /// The action of the paragraph @p id; empty for text.
    QByteArray ActionOf(quint64 id) const { return m_actions.value(id); }
    /// Paragraph alignment from now on, for the paragraph being written too.
    void SetAlignment(Alignment alignment);
    void Clear();

    /// Lines as shown: every paragraph counts its wrapped rows.
    qsizetype RowCount();
    /// Deletes @p rows wrapped rows from the top.
    void DeleteFirstRows(qsizetype rows);
    /// With more than @p maxLines + 50 rows, trims to @p maxLines - 1 rows.
    bool TrimToLimit(int maxLines);

    Colour Background() const { return m_background; }
    void SetBackground(Colour colour);
    /// The session's default background (what an ANSI reset returns to): text in it has no background of
    /// its own, so it stays unmarked when markup colours the whole view.
    Colour PlainBackground() const { return m_plainBackground; }
    /// Asks views to lay out again what they show (a setting that changes how text is drawn changed).
    void Restyle() { emit BackgroundChanged(); }
    void SetPlainBackground(Colour colour);

    /// Asks the view to show the last line (unless the user scrolled back).
    void RequestScrollToEnd();
    quint64 ScrollToEndRequests() const { return m_scrollRequests; }

    // For the view and the tests.
    const std::deque<Paragraph> &Paragraphs() const { return m_paragraphs; }
    const StyleTable &Styles() const { return m_styles; }
    ParagraphLayouter &Layouter() { return *m_layouter; }
    /// Width in pixels that paragraphs wrap at; remeasures everything when it changes.
    void SetWidth(int pixels);
    /// Shows every font @p points larger (negative: smaller) than its size; the text is measured again.
    void SetZoom(int points);
    int Zoom() const;
    /// Font the empty document and unstyled paragraphs are measured with.
    void SetBaseAttributes(const TextAttributes &attributes);
    /// Makes every paragraph measured; returns the y just below the last one.
    qint64 Bottom();
    qint64 TopOfFirst() const { return m_paragraphs.front().Top; }
    /// Index of the paragraph that holds @p y (clamped to the paragraphs).
    size_t ParagraphAt(qint64 y);
    /// Text of the whole document as decoded characters, paragraphs separated by '\n'.
    QString PlainText() const;

    void Acknowledge() { m_notified = false; }
    quint64 Revision() const { return m_revision; }

signals:
    void Changed();
    void BackgroundChanged();

private:
    void Touch()
    {
        ++m_revision;
        if (!m_notified)
            Notify();
    }
    void Notify();
    /// The current attributes as two words and the font name's bytes.
    struct StyleKey {
        quint64 Colours;
        quint64 Rest;
        const char *Font;
        bool operator==(const StyleKey &) const = default;
    };
    StyleKey CurrentKey() const
    {
        return {static_cast<quint32>(Attributes.Fore) | quint64(static_cast<quint32>(Attributes.Back)) << 32,
                static_cast<quint32>(Attributes.FontSize) | quint64(Attributes.Style) << 32,
                Attributes.FontName.constData()};
    }
    quint32 CurrentStyle()
    {
        const StyleKey key = CurrentKey();
        if (m_lastStyle && m_lastStyle->Key == key)
            return m_lastStyle->Id;
        return LookUpStyle(key);
    }
    quint32 LookUpStyle(const StyleKey &key);
    void MarkChanged(Paragraph &paragraph, qsizetype before, quint32 style)
    {
        if (paragraph.Runs.empty() || paragraph.Runs.back().Style != style)
            paragraph.Runs.push_back({static_cast<qint32>(before), style});
        paragraph.Align = CurrentAlignment;
        ++paragraph.Version;
        paragraph.Measured = false;
    }
    void Measure(Paragraph &paragraph);
    void StartParagraph();
    void RemeasureAll();
    void CompactStylesIfNeeded()
    {
        if (m_styles.Size() > m_styleLimit)
            CompactStyles();
    }
    void CompactStyles();
    void Recycle(Paragraph &&paragraph);
    /// The paragraph and picture of a held place, searched from the end; false when it is gone.
    bool FindPlace(quint64 slot, size_t *paragraph, size_t *picture);
    /// Measures a changed paragraph again and moves the ones below it by what its height changed.
    void Remeasure(size_t index);

    std::deque<Paragraph> m_paragraphs;
    QHash<quint64, QByteArray> m_actions; ///< by paragraph id; a handful at most
    StyleTable m_styles;
    std::unique_ptr<ParagraphLayouter> m_layouter;
    // A font name's bytes are told by their address: each entry holds the name, so while the entry lives
    // those bytes can neither be freed nor changed in place (a change would copy them elsewhere first).
    struct RecentStyle {
        StyleKey Key {0, ~quint64(0), nullptr}; ///< no attributes give this Rest: an empty entry
        QByteArray FontHolder;
        quint32 Id = 0;
    };
    // Four ways of sixteen sets: a handful of colours never push each other out.
    static constexpr size_t RecentStyleWays = 4;
    static constexpr size_t RecentStyleSlots = 64;
    std::array<RecentStyle, RecentStyleSlots> m_recentStyles;
    alignas(16) std::array<quint32, RecentStyleSlots> m_recentTags {}; ///< per entry, 0 while it is empty
    std::array<quint8, RecentStyleSlots / RecentStyleWays> m_recentNext {}; ///< the way each set replaces next
    std::vector<Paragraph> m_spare; ///< trimmed paragraphs whose buffers new ones reuse
    const RecentStyle *m_lastStyle = nullptr;
    qsizetype m_lastRows = 1; ///< rows of the last paragraph when it was last counted
    qsizetype m_lastBytes = 0; ///< and its size then
    quint64 m_nextId = 1;
    quint64 m_nextSlot = 1;
    qint64 m_closedRows = 0; ///< rows of every paragraph but the last
    Colour m_background = Rgb(0, 0, 64);
    Colour m_plainBackground = Rgb(0, 0, 64);
    quint64 m_scrollRequests = 0;
    quint64 m_revision = 0;
    bool m_notified = false;
    size_t m_styleLimit = 4096;
};

} // namespace wren
