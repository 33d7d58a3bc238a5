// SPDX-License-Identifier: GPL-3.0-or-later
// The find bar: searches what the selected session's view holds, marks every hit and moves between them.
#pragma once

#include "session/scrollback_search.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace wren {

class SessionView;
class SessionDocument;

/// Shown under the view by Ctrl+F. A new search starts at the newest hit; Enter (or Previous) moves to
/// older hits, Shift+Enter (or Next) to newer ones, both wrapping; Escape closes the bar and takes the marks
/// away. Text that arrives meanwhile is searched again on the next move.
class SearchBar : public QWidget
{
    Q_OBJECT
public:
    explicit SearchBar(QWidget *parent = nullptr);

    /// The view the bar searches (the selected session's); null for none.
    std::function<SessionView *()> CurrentView;

    void Open();
    void Close();
    void Previous();
    void Next();
    /// Searches again in the current view (the selection moved to another session).
    void Refresh();

    QLineEdit *Query() const { return m_query; }
    QCheckBox *MatchCase() const { return m_case; }
    QCheckBox *Regex() const { return m_regex; }
    QString Status() const;
    const std::vector<SearchHit> &Hits() const { return m_hits; }
    int Current() const { return m_current; }

signals:
    void Closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Search(bool keepPlace);
    void Move(int step);
    void Show();
    void ClearMarks();

    QLineEdit *m_query = nullptr;
    QCheckBox *m_case = nullptr;
    QCheckBox *m_regex = nullptr;
    QLabel *m_status = nullptr;
    QPointer<SessionView> m_view;
    quint64 m_revision = 0;
    std::vector<SearchHit> m_hits;
    int m_current = -1;
    QString m_error;
    bool m_stopped = false; ///< the last search ran out of time or into a runaway pattern
};

} // namespace wren
