// SPDX-License-Identifier: GPL-3.0-or-later
// The one way shown text reaches a session's view: logged, collected into lines for the triggers, appended
// with the current attributes, kept under the line limit and scrolled.
#pragma once

#include "options/session_options.h"
#include "session/session_document.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstring>

namespace wren {

/// Every piece of text a session shows passes Write: the splitter's pieces, the client's own messages
/// (through WriteText) and the markup's text.
///
/// What the writer needs from its session besides the document and the options is the @p Host, whose calls
/// are made directly (a piece is about ten bytes; a call through a table per piece is felt):
///   void LogText(QByteArrayView text);         text exactly as written, called only while a log mode is set
///   bool WantsLines();                          whether completed lines are looked at (only then collected)
///   void LineDone(const QByteArray &line);      a completed line, never empty; it may write text itself
///   void ScrollToEnd();
template <typename Host>
class DisplayWriter
{
public:
    /// What a piece may hold: any byte but LF, or (the pieces the splitter cuts from a block, at every line
    /// end) no CR either, which spares a search.
    enum class Bytes { Any, NoCr };

    DisplayWriter(SessionDocument &document, TSessionOptions &options, QByteArray &lineBuffer, int &writeCount,
                  Host &host)
        : m_document(document)
        , m_options(options)
        , m_lineBuffer(lineBuffer)
        , m_writeCount(writeCount)
        , m_host(host)
    {
    }

    /// Writes one piece holding no LF, then ends the line when @p lineEnd is set: it is logged (a line end
    /// as LF), collected into the line buffer, and appended with the current font, size and text colour
    /// (CR is never shown). At a line end a non-empty line goes to the line triggers before the line ends in
    /// the view, and the line limit is kept.
    [[gnu::always_inline]] void Write(QByteArrayView piece, bool lineEnd, Bytes bytes = Bytes::Any)
    {
        if (Logging()) {
            if (!piece.isEmpty())
                m_host.LogText(piece);
            if (lineEnd)
                m_host.LogText("\n");
        }
        Put(piece, lineEnd, bytes);
    }
    /// Any text: logged as given, then written piece by piece, cut at each LF; the line limit is kept and
    /// the text counts as one write.
    void WriteText(QByteArrayView text)
    {
        if (Logging())
            m_host.LogText(text);
        const char *p = text.data();
        const char *end = p + text.size();
        // An empty view may carry no pointer at all; memchr must not see it.
        while (p < end) {
            const char *newline = static_cast<const char *>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            if (!newline)
                break;
            Put(QByteArrayView(p, newline - p), true, Bytes::Any);
            p = newline + 1;
        }
        if (p < end)
            Put(QByteArrayView(p, end - p), false, Bytes::Any);
        KeepLimit();
        CountWrite();
    }
    /// One more write; every twentieth scrolls the view to its end.
    void CountWrite()
    {
        if (++m_writeCount % 20 == 0)
            m_host.ScrollToEnd();
    }
    /// A non-empty line buffer goes to the line triggers and is emptied (the end of a block, a prompt).
    void EndLine()
    {
        if (m_lineBuffer.isEmpty())
            return;
        if (!m_host.WantsLines()) {
            m_lineBuffer.resize(0); // keeps the buffer's capacity for the next line
            return;
        }
        // Trigger commands may write text, which starts the next line: the triggers see the line taken out.
        QByteArray line;
        line.swap(m_lineBuffer);
        m_host.LineDone(line);
        if (m_lineBuffer.isEmpty() && line.isDetached()) {
            // Nothing was written meanwhile: the next line reuses this one's buffer.
            line.resize(0);
            m_lineBuffer.swap(line);
        }
    }
    /// Puts a picture into the view at the end of the text, in line with it, with the current attributes.
    /// It is neither logged nor part of the line the triggers see. False when the view holds too many
    /// pictures already.
    bool InsertPicture(const QImage &picture, const QByteArray &name = {})
    {
        SyncAttributes();
        const bool inserted = m_document.AppendPicture(picture, name);
        KeepLimit();
        return inserted;
    }
    /// Trims the view when it holds more than the line limit and its margin.
    void KeepLimit() { m_document.TrimToLimit(m_options.EffectiveMaxLines()); }

private:
    bool Logging() const { return m_options.LogMode == 1 || m_options.LogMode == 2; }
    // Inlined where it is called, so the splitter's calls drop the branches their constant arguments decide.
    [[gnu::always_inline]] void Put(QByteArrayView piece, bool lineEnd, Bytes bytes)
    {
        SyncAttributes();
        if (!piece.isEmpty()) {
            // The line is collected only while something looks at it.
            if (m_host.WantsLines())
                AppendBytes(m_lineBuffer, piece.data(), piece.size());
            if (bytes == Bytes::NoCr)
                m_document.AppendPlain(piece);
            else
                m_document.AppendPiece(piece, false);
        }
        if (lineEnd) {
            EndLine();
            m_document.EndParagraph();
            KeepLimit();
        }
    }
    /// Gives the view's attributes the current font and text colour, as every write does.
    void SyncAttributes()
    {
        if (m_options.CurFontName.constData() != m_fontNameSource.constData()
            || m_document.Attributes.FontName.constData() != m_fontName.constData())
            TakeFontName();
        m_document.Attributes.FontSize = m_options.CurFontSize;
        m_document.Attributes.Fore = m_options.CurTextColor;
    }
    void TakeFontName()
    {
        if (m_options.CurFontName != m_fontNameSource) {
            m_fontNameSource = m_options.CurFontName;
            m_fontName = TrimTrailingBlanks(m_options.CurFontName);
        } else {
            m_fontNameSource = m_options.CurFontName; // equal bytes elsewhere: compare pointers from now on
        }
        m_document.Attributes.FontName = m_fontName;
    }

    SessionDocument &m_document;
    TSessionOptions &m_options;
    QByteArray &m_lineBuffer;
    int &m_writeCount;
    Host &m_host;
    QByteArray m_fontNameSource; ///< CurFontName the trimmed name below was made from
    QByteArray m_fontName;
};

} // namespace wren
