// SPDX-License-Identifier: GPL-3.0-or-later
// The find bar: searches what the selected session's view holds, marks every hit and moves between them.
#include "ui/search_bar.h"

#include "session/session_document.h"
#include "ui/session_view.h"

#include <QAccessible>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace wren {

namespace {

bool Before(const SearchHit &a, const SearchHit &b)
{
    return a.Paragraph < b.Paragraph || (a.Paragraph == b.Paragraph && a.Start < b.Start);
}

} // namespace

SearchBar::SearchBar(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("searchBar"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    auto *findLabel = new QLabel(QStringLiteral("&Find:"), this);
    layout->addWidget(findLabel);
    m_query = new QLineEdit(this);
    m_query->setObjectName(QStringLiteral("searchText"));
    findLabel->setBuddy(m_query);
    m_query->setAccessibleName(QStringLiteral("Find"));
    m_query->setAccessibleDescription(
        QStringLiteral("Text to find in the session; Enter goes to older hits, Shift+Enter to newer, Escape closes"));
    m_query->setClearButtonEnabled(true);
    m_query->installEventFilter(this);
    layout->addWidget(m_query, 1);
    const auto button = [this, layout](const QString &text, const QString &tip, void (SearchBar::*slot)()) {
        auto *b = new QToolButton(this);
        b->setText(text);
        b->setToolTip(tip);
        b->setAccessibleName(tip.section(QLatin1Char(':'), 0, 0));
        b->setAutoRaise(true);
        connect(b, &QToolButton::clicked, this, slot);
        layout->addWidget(b);
        return b;
    };
    button(QStringLiteral("\u25b2"), QStringLiteral("Previous (older) hit: Enter"), &SearchBar::Previous);
    button(QStringLiteral("\u25bc"), QStringLiteral("Next (newer) hit: Shift+Enter"), &SearchBar::Next);
    m_case = new QCheckBox(QStringLiteral("Match case"), this);
    m_regex = new QCheckBox(QStringLiteral("Regular expression"), this);
    layout->addWidget(m_case);
    layout->addWidget(m_regex);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("searchStatus"));
    m_status->setMinimumWidth(120);
    layout->addWidget(m_status);
    button(QStringLiteral("\u2715"), QStringLiteral("Close: Escape"), &SearchBar::Close);
    connect(m_query, &QLineEdit::textChanged, this, [this] { Search(false); });
    connect(m_case, &QCheckBox::toggled, this, [this] { Search(false); });
    connect(m_regex, &QCheckBox::toggled, this, [this] { Search(false); });
    hide();
}

void SearchBar::Open()
{
    show();
    m_query->setFocus();
    m_query->selectAll();
    Refresh();
}

void SearchBar::Close()
{
    ClearMarks();
    m_hits.clear();
    m_current = -1;
    hide();
    emit Closed();
}

void SearchBar::Refresh()
{
    if (!isVisible())
        return;
    ClearMarks();
    m_view = CurrentView ? CurrentView() : nullptr;
    Search(false);
}

void SearchBar::ClearMarks()
{
    if (m_view)
        m_view->SetHighlights({}, -1);
}

bool SearchBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_query && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape) {
            Close();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ShiftModifier)
                Next();
            else
                Previous();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// A new query starts at the newest hit; a search again (new text came) keeps the hit being looked at.
void SearchBar::Search(bool keepPlace)
{
    if (!m_view)
        m_view = CurrentView ? CurrentView() : nullptr;
    const std::optional<SearchHit> place = keepPlace && m_current >= 0 && m_current < static_cast<int>(m_hits.size())
                                               ? std::optional(m_hits[m_current])
                                               : std::nullopt;
    m_hits.clear();
    m_current = -1;
    m_error.clear();
    m_stopped = false;
    if (m_view) {
        SessionDocument &doc = m_view->Document();
        m_revision = doc.Revision();
        m_hits
            = FindInDocument(doc, {m_query->text(), m_case->isChecked(), m_regex->isChecked()}, &m_error, &m_stopped);
    }
    if (!m_hits.empty()) {
        if (place) {
            const auto at = std::lower_bound(m_hits.begin(), m_hits.end(), *place, Before);
            m_current
                = static_cast<int>(std::min<qsizetype>(at - m_hits.begin(), static_cast<qsizetype>(m_hits.size()) - 1));
        } else {
            m_current = static_cast<int>(m_hits.size()) - 1;
        }
    }
    Show();
}

void SearchBar::Move(int step)
{
    if (m_view && m_view->Document().Revision() != m_revision)
        Search(true);
    if (m_hits.empty())
        return;
    const int count = static_cast<int>(m_hits.size());
    m_current = ((m_current + step) % count + count) % count;
    Show();
}

void SearchBar::Previous()
{
    Move(-1);
}

void SearchBar::Next()
{
    Move(1);
}

void SearchBar::Show()
{
    if (m_view) {
        m_view->SetHighlights(m_hits, m_current);
        if (m_current >= 0)
            m_view->ShowHit(m_hits[static_cast<size_t>(m_current)]);
    }
    const QString status = Status();
    if (status != m_status->text()) {
        m_status->setText(status);
        // The count of hits is told as it changes, as a status is.
        QAccessibleEvent event(m_status, QAccessible::Alert);
        QAccessible::updateAccessibility(&event);
    }
}

QString SearchBar::Status() const
{
    if (!m_error.isEmpty())
        return QStringLiteral("Bad pattern: %1").arg(m_error);
    if (m_query->text().isEmpty())
        return {};
    // A pattern that backtracks without end is stopped, and the bar says so with what it found until then.
    const QString stopped = m_stopped ? QStringLiteral(" (search stopped: the pattern takes too long)") : QString();
    if (m_hits.empty())
        return QStringLiteral("No matches") + stopped;
    const QString more = m_hits.size() >= MaxSearchHits || m_stopped ? QStringLiteral("+") : QString();
    return QStringLiteral("%1 of %2%3").arg(m_current + 1).arg(m_hits.size()).arg(more) + stopped;
}

} // namespace wren
