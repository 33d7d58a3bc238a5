// SPDX-License-Identifier: GPL-3.0-or-later
// The protocol inspector: a window listing a session's telnet negotiations and GMCP, MSDP and MSSP messages.
#pragma once

#include "gamedata/protocol_log.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QPointer>
#include <QTimer>

class QPushButton;
class QTableView;

namespace wren {

/// A ProtocolLog as table rows: time, in/out, kind, message, error. It follows the log at most once a frame:
/// appends only start a 16 ms timer, after which the rows the log dropped are removed and the new ones added.
/// A row whose entry the log has already dropped reads as empty until then.
class ProtocolLogModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { TimeColumn, DirectionColumn, KindColumn, MessageColumn, ErrorColumn, ColumnCount };

    explicit ProtocolLogModel(ProtocolLog *log, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    /// The entry a row shows, null when the log no longer has it.
    const ProtocolLog::Entry *EntryAt(int row) const;
    /// Brings the rows up to the log now.
    void Sync();

signals:
    /// New rows were added at the end.
    void RowsAppended();

private:
    QPointer<ProtocolLog> m_log;
    quint64 m_first = 0; ///< the serial of row 0
    int m_count = 0;
    QTimer m_timer;
};

/// The window: the table (arrow keys move, Ctrl+C copies the selected rows), Copy (the selected rows, or
/// all when none are selected), Clear and Close. It keeps the newest row in view while the view is at the end.
class ProtocolInspector : public QDialog
{
    Q_OBJECT

public:
    explicit ProtocolInspector(ProtocolLog *log, QWidget *parent = nullptr);

    QTableView *View() const { return m_view; }
    ProtocolLogModel *Model() const { return m_model; }
    QPushButton *CopyButton() const { return m_copy; }
    QPushButton *ClearButton() const { return m_clear; }
    /// The text Copy puts on the clipboard now.
    QString CopyText() const;
    void Copy();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<ProtocolLog> m_log;
    ProtocolLogModel *m_model = nullptr;
    QTableView *m_view = nullptr;
    QPushButton *m_copy = nullptr;
    QPushButton *m_clear = nullptr;
    /// The view shows the newest row: new rows scroll into view.
    bool m_following = true;
};

} // namespace wren
