// SPDX-License-Identifier: GPL-3.0-or-later
// The session's text as a screen reader reads it, kept in step with the document one frame at a time.
#pragma once

#include <QString>

#include <deque>
#include <utility>
#include <vector>

namespace wren {

class SessionDocument;
struct Paragraph;

/// One change of the text a screen reader has been told of, at a character offset of the whole text.
struct AccessibleTextChange {
    enum class Kind { Removed, Inserted, Updated };
    Kind Type = Kind::Inserted;
    int Position = 0;
    QString Text; ///< what was inserted or removed; for Updated the new text
    QString OldText; ///< for Updated only: what the new text replaced
    friend bool operator==(const AccessibleTextChange &, const AccessibleTextChange &) = default;
};

/// A copy of the document's text as shown (paragraphs decoded for display, joined by '\n', a picture
/// written as its name), brought up to date by Sync once a frame. Screen readers are served from this copy,
/// so what they are asked about always matches the changes they were told of. It is made only while
/// accessibility is active: without a screen reader the view keeps none.
///
/// The document only appends at its end, trims at its start, and now and then changes a paragraph in
/// place (a picture arriving, a held place filled); Sync finds each of these and reports, in order, one
/// removal at the start, in-place updates, and one insertion at the end for everything new.
class AccessibleTextMirror
{
public:
    explicit AccessibleTextMirror(SessionDocument &document);

    /// What Sync looks at: everything, or only the text dropped at the start (the view is held and new
    /// text is announced only at its end). Held, the copy keeps the text it had, less what was trimmed.
    enum class Scope { Everything, TrimOnly };
    /// Brings the copy up to the document and returns the changes; empty when nothing changed.
    std::vector<AccessibleTextChange> Sync(Scope scope = Scope::Everything);

    int Length() const { return m_length; }
    /// The characters in [start, end), clamped to the text.
    QString Text(int start, int end) const;
    QString Text() const { return Text(0, m_length); }
    int ParagraphCount() const { return static_cast<int>(m_entries.size()); }
    /// The paragraph holding @p offset (the '\n' after a paragraph belongs to it); the last for the end.
    int ParagraphAt(int offset) const;
    int ParagraphStart(int index) const;
    const QString &ParagraphText(int index) const { return m_entries[static_cast<size_t>(index)].Text; }
    quint64 ParagraphId(int index) const { return m_entries[static_cast<size_t>(index)].Id; }

    /// The offset of a character of the view's (a character index in a paragraph as the view lays it out,
    /// where a picture is one character); clamped to the paragraph, or to the text when the paragraph is
    /// not in the copy.
    int OffsetOf(quint64 paragraphId, int viewChar) const;
    /// The view's paragraph and character at @p offset.
    std::pair<quint64, int> PositionAt(int offset) const;

    /// A paragraph as a screen reader reads it: decoded for display, each picture as "[Picture name]".
    static QString ShownText(const Paragraph &paragraph);

private:
    struct Entry {
        quint64 Id = 0;
        quint32 Version = 0;
        QString Text;
        /// For each picture the view character it stands on and how many characters its name adds.
        std::vector<std::pair<int, int>> Pictures;
    };
    static Entry MakeEntry(const Paragraph &paragraph);
    void Reset();
    void TrimFront(std::vector<AccessibleTextChange> &changes, bool trimOnly);
    void UpdateKept(std::vector<AccessibleTextChange> &changes, QString &tail);
    void AppendNew(QString &tail);
    int IndexOf(quint64 id) const;
    void Recount();
    void EnsureStarts() const;

    SessionDocument &m_document;
    std::deque<Entry> m_entries;
    int m_length = 0;
    mutable std::vector<int> m_starts;
    mutable bool m_startsValid = false;
};

} // namespace wren
