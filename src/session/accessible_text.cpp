// SPDX-License-Identifier: GPL-3.0-or-later
// The session's text as a screen reader reads it, kept in step with the document one frame at a time.
#include "session/accessible_text.h"

#include "base/byte_decoder.h"
#include "session/session_document.h"

#include <algorithm>

namespace wren {

AccessibleTextMirror::AccessibleTextMirror(SessionDocument &document)
    : m_document(document)
{
    Reset();
}

QString AccessibleTextMirror::ShownText(const Paragraph &paragraph)
{
    return MakeEntry(paragraph).Text;
}

AccessibleTextMirror::Entry AccessibleTextMirror::MakeEntry(const Paragraph &paragraph)
{
    Entry entry;
    entry.Id = paragraph.Id;
    entry.Version = paragraph.Version;
    if (paragraph.Pictures.empty()) {
        entry.Text = DecodeForDisplay(paragraph.Text);
        return entry;
    }
    std::vector<qint32> offsets;
    for (const InlinePicture &picture : paragraph.Pictures)
        offsets.push_back(picture.Offset);
    std::vector<int> charToByte;
    const QString shown = DecodeForDisplay(paragraph.Text, &charToByte, &offsets);
    // A picture stands on one character of the view; here it is its name, so a listener knows it is there.
    size_t next = 0;
    for (int i = 0; i < shown.size(); ++i) {
        while (next < offsets.size() && offsets[next] < charToByte[static_cast<size_t>(i)])
            ++next;
        if (next < offsets.size() && offsets[next] == charToByte[static_cast<size_t>(i)]
            && shown[i] == QChar(QChar::ObjectReplacementCharacter)) {
            const QByteArray &name = paragraph.Pictures[next].Name;
            const QString words
                = name.isEmpty() ? QStringLiteral("[Picture]") : QStringLiteral("[Picture %1]").arg(DecodeBytes(name));
            entry.Pictures.emplace_back(i, static_cast<int>(words.size()) - 1);
            entry.Text.append(words);
            ++next;
            continue;
        }
        entry.Text.append(shown[i]);
    }
    return entry;
}

void AccessibleTextMirror::Reset()
{
    m_entries.clear();
    for (const Paragraph &paragraph : m_document.Paragraphs())
        m_entries.push_back(MakeEntry(paragraph));
    Recount();
}

void AccessibleTextMirror::Recount()
{
    m_length = 0;
    for (const Entry &entry : m_entries)
        m_length += static_cast<int>(entry.Text.size());
    if (!m_entries.empty())
        m_length += static_cast<int>(m_entries.size()) - 1;
    m_startsValid = false;
}

std::vector<AccessibleTextChange> AccessibleTextMirror::Sync(Scope scope)
{
    std::vector<AccessibleTextChange> changes;
    TrimFront(changes, scope == Scope::TrimOnly);
    if (scope == Scope::Everything) {
        QString tail;
        UpdateKept(changes, tail);
        AppendNew(tail);
        if (!tail.isEmpty())
            changes.push_back(
                {AccessibleTextChange::Kind::Inserted, m_length - static_cast<int>(tail.size()), tail, {}});
    }
    if (!changes.empty())
        m_startsValid = false;
    return changes;
}

// Trimming at the line limit drops whole paragraphs from the start, and may cut the first kept one at a row;
// Clear drops everything (the paragraphs that follow are all new).
void AccessibleTextMirror::TrimFront(std::vector<AccessibleTextChange> &changes, bool trimOnly)
{
    const Paragraph &first = m_document.Paragraphs().front();
    size_t dropped = 0;
    while (dropped < m_entries.size() && m_entries[dropped].Id < first.Id)
        ++dropped;
    QString removed;
    if (dropped == m_entries.size() && dropped > 0) {
        removed = Text();
        m_entries.clear();
    } else if (dropped > 0) {
        removed = Text(0, ParagraphStart(static_cast<int>(dropped)));
        m_entries.erase(m_entries.begin(), m_entries.begin() + static_cast<qsizetype>(dropped));
        Recount();
    }
    if (!m_entries.empty() && m_entries.front().Id == first.Id && m_entries.front().Version != first.Version) {
        Entry now = MakeEntry(first);
        const QString &old = m_entries.front().Text;
        if (now.Text.size() < old.size() && old.endsWith(now.Text)) {
            removed += old.left(old.size() - now.Text.size());
            m_entries.front() = std::move(now);
        } else if (trimOnly && now.Text.size() < old.size()) {
            // Cut and changed while held: the copy starts again from the document.
            removed += Text();
            Reset();
            changes.push_back({AccessibleTextChange::Kind::Removed, 0, removed, {}});
            changes.push_back({AccessibleTextChange::Kind::Inserted, 0, Text(), {}});
            return;
        }
    }
    if (removed.isEmpty())
        return;
    changes.push_back({AccessibleTextChange::Kind::Removed, 0, removed, {}});
    Recount();
}

void AccessibleTextMirror::UpdateKept(std::vector<AccessibleTextChange> &changes, QString &tail)
{
    const std::deque<Paragraph> &paragraphs = m_document.Paragraphs();
    if (m_entries.empty())
        return;
    if (m_entries.front().Id != paragraphs.front().Id || m_entries.size() > paragraphs.size()) {
        // Not a start of the document any more (it cannot happen as the document works today): start again.
        changes.push_back({AccessibleTextChange::Kind::Removed, 0, Text(), {}});
        m_entries.clear();
        m_length = 0;
        return;
    }
    int start = 0;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        Entry &entry = m_entries[i];
        const Paragraph &paragraph = paragraphs[i];
        if (paragraph.Version != entry.Version) {
            Entry now = MakeEntry(paragraph);
            if (now.Text != entry.Text) {
                if (i + 1 == m_entries.size() && now.Text.startsWith(entry.Text))
                    tail = now.Text.mid(entry.Text.size()); // the common case: the last line grew
                else
                    changes.push_back({AccessibleTextChange::Kind::Updated, start, now.Text, entry.Text});
                m_length += static_cast<int>(now.Text.size() - entry.Text.size());
            }
            entry = std::move(now);
        }
        start += static_cast<int>(entry.Text.size()) + 1;
    }
}

void AccessibleTextMirror::AppendNew(QString &tail)
{
    const std::deque<Paragraph> &paragraphs = m_document.Paragraphs();
    for (size_t i = m_entries.size(); i < paragraphs.size(); ++i) {
        Entry entry = MakeEntry(paragraphs[i]);
        if (!m_entries.empty()) {
            tail.append(QLatin1Char('\n'));
            ++m_length;
        }
        tail.append(entry.Text);
        m_length += static_cast<int>(entry.Text.size());
        m_entries.push_back(std::move(entry));
    }
}

void AccessibleTextMirror::EnsureStarts() const
{
    if (m_startsValid)
        return;
    m_starts.resize(m_entries.size());
    int start = 0;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        m_starts[i] = start;
        start += static_cast<int>(m_entries[i].Text.size()) + 1;
    }
    m_startsValid = true;
}

int AccessibleTextMirror::ParagraphStart(int index) const
{
    EnsureStarts();
    if (index <= 0 || m_starts.empty())
        return 0;
    if (static_cast<size_t>(index) >= m_starts.size())
        return m_length;
    return m_starts[static_cast<size_t>(index)];
}

int AccessibleTextMirror::ParagraphAt(int offset) const
{
    EnsureStarts();
    if (m_starts.empty())
        return -1;
    const auto it = std::upper_bound(m_starts.begin(), m_starts.end(), offset);
    return static_cast<int>(std::max<qsizetype>(0, it - m_starts.begin() - 1));
}

QString AccessibleTextMirror::Text(int start, int end) const
{
    start = std::clamp(start, 0, m_length);
    end = std::clamp(end, start, m_length);
    QString text;
    if (start == end)
        return text;
    text.reserve(end - start);
    int index = ParagraphAt(start);
    int at = ParagraphStart(index);
    while (at < end && static_cast<size_t>(index) < m_entries.size()) {
        const QString &paragraph = m_entries[static_cast<size_t>(index)].Text;
        // The paragraph and the '\n' after it, unless it is the last.
        const int own = static_cast<int>(paragraph.size());
        const int from = std::max(start - at, 0);
        const int to = std::min(end - at, own);
        if (to > from)
            text.append(QStringView(paragraph).mid(from, to - from));
        if (end > at + own && static_cast<size_t>(index) + 1 < m_entries.size() && start <= at + own)
            text.append(QLatin1Char('\n'));
        at += own + 1;
        ++index;
    }
    return text;
}

int AccessibleTextMirror::IndexOf(quint64 id) const
{
    if (m_entries.empty() || id < m_entries.front().Id)
        return -1;
    const quint64 index = id - m_entries.front().Id;
    return index < m_entries.size() ? static_cast<int>(index) : static_cast<int>(m_entries.size());
}

int AccessibleTextMirror::OffsetOf(quint64 paragraphId, int viewChar) const
{
    const int index = IndexOf(paragraphId);
    if (index < 0)
        return 0;
    if (static_cast<size_t>(index) >= m_entries.size())
        return m_length;
    const Entry &entry = m_entries[static_cast<size_t>(index)];
    int local = std::max(viewChar, 0);
    for (const auto &[at, extra] : entry.Pictures) {
        if (at < viewChar)
            local += extra;
    }
    return ParagraphStart(index) + std::min(local, static_cast<int>(entry.Text.size()));
}

std::pair<quint64, int> AccessibleTextMirror::PositionAt(int offset) const
{
    const int index = ParagraphAt(offset);
    if (index < 0)
        return {0, 0};
    const Entry &entry = m_entries[static_cast<size_t>(index)];
    int local = std::clamp(offset - ParagraphStart(index), 0, static_cast<int>(entry.Text.size()));
    int added = 0;
    for (const auto &[at, extra] : entry.Pictures) {
        const int shownAt = at + added;
        if (local <= shownAt)
            break;
        if (local <= shownAt + extra)
            return {entry.Id, at}; // inside a picture's name: the picture itself
        added += extra;
    }
    return {entry.Id, local - added};
}

} // namespace wren
