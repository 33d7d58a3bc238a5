// SPDX-License-Identifier: GPL-3.0-or-later
// The protocol inspector: a window listing a session's telnet negotiations and GMCP, MSDP and MSSP messages.
#include "ui/protocol_inspector.h"

#include "base/byte_decoder.h"

#include <QApplication>
#include <QBrush>
#include <QClipboard>
#include <QColor>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace wren {

namespace {

constexpr int RefreshDelayMs = 16;

} // namespace

ProtocolLogModel::ProtocolLogModel(ProtocolLog *log, QObject *parent)
    : QAbstractTableModel(parent)
    , m_log(log)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(RefreshDelayMs);
    connect(&m_timer, &QTimer::timeout, this, &ProtocolLogModel::Sync);
    if (log) {
        m_first = log->FirstSerial();
        const auto schedule = [this] {
            if (!m_timer.isActive())
                m_timer.start();
        };
        connect(log, &ProtocolLog::Appended, this, schedule);
        connect(log, &ProtocolLog::Cleared, this, schedule);
        connect(log, &QObject::destroyed, this, schedule);
    }
    Sync();
}

void ProtocolLogModel::Sync()
{
    m_timer.stop();
    const quint64 first = m_log ? m_log->FirstSerial() : m_first + m_count;
    const quint64 end = m_log ? m_log->EndSerial() : first;
    // The rows whose entries the log dropped (the oldest, or all after Clear).
    if (first > m_first && m_count > 0) {
        const int dropped = static_cast<int>(std::min<quint64>(first - m_first, quint64(m_count)));
        beginRemoveRows({}, 0, dropped - 1);
        m_first += dropped;
        m_count -= dropped;
        endRemoveRows();
    }
    if (m_count == 0)
        m_first = first;
    const quint64 shownEnd = m_first + quint64(m_count);
    if (end > shownEnd) {
        const int added = static_cast<int>(end - shownEnd);
        beginInsertRows({}, m_count, m_count + added - 1);
        m_count += added;
        endInsertRows();
        emit RowsAppended();
    }
}

int ProtocolLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_count;
}

int ProtocolLogModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const ProtocolLog::Entry *ProtocolLogModel::EntryAt(int row) const
{
    if (!m_log || row < 0 || row >= m_count)
        return nullptr;
    return m_log->At(m_first + quint64(row));
}

QVariant ProtocolLogModel::data(const QModelIndex &index, int role) const
{
    const ProtocolLog::Entry *entry = EntryAt(index.row());
    if (!entry)
        return {};
    if (role == Qt::ForegroundRole && !entry->Error.isEmpty())
        return QBrush(QColor(0xb2, 0x22, 0x22));
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole)
        return {};
    switch (index.column()) {
    case TimeColumn: return QString::fromLatin1(ProtocolLog::FormatTime(entry->TimeMs));
    case DirectionColumn: return QString::fromLatin1(ProtocolLog::DirectionName(entry->Dir));
    case KindColumn: return QString::fromLatin1(ProtocolLog::KindName(entry->Type));
    case MessageColumn: return DecodeBytes(entry->Text);
    case ErrorColumn: return DecodeBytes(entry->Error);
    default: return {};
    }
}

QVariant ProtocolLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const std::array<QString, ColumnCount> Titles
        = {QStringLiteral("Time"), QStringLiteral("Way"), QStringLiteral("Kind"), QStringLiteral("Message"),
           QStringLiteral("Error")};
    return section >= 0 && section < ColumnCount ? QVariant(Titles[static_cast<size_t>(section)]) : QVariant();
}

ProtocolInspector::ProtocolInspector(ProtocolLog *log, QWidget *parent)
    : QDialog(parent)
    , m_log(log)
{
    setWindowTitle(QStringLiteral("Protocol Inspector"));
    resize(760, 420);
    m_model = new ProtocolLogModel(log, this);
    m_view = new QTableView(this);
    m_view->setModel(m_model);
    m_view->setAccessibleName(QStringLiteral("Protocol messages"));
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setWordWrap(false);
    m_view->setTabKeyNavigation(false); // Tab goes on to the buttons
    m_view->verticalHeader()->hide();
    // Rows of one height: the view then lays out thousands of them without measuring each.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    QHeaderView *header = m_view->horizontalHeader();
    for (const int column :
         {ProtocolLogModel::TimeColumn, ProtocolLogModel::DirectionColumn, ProtocolLogModel::KindColumn})
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(ProtocolLogModel::MessageColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(ProtocolLogModel::ErrorColumn, QHeaderView::Interactive);

    // The table's own Ctrl+C copies one cell; here it copies the selected rows whole.
    m_view->installEventFilter(this);

    // Keep the newest row in view while the view is at the end; leave it alone while the user reads back.
    connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int value) { m_following = value >= m_view->verticalScrollBar()->maximum(); });
    connect(m_model, &ProtocolLogModel::RowsAppended, this, [this] {
        if (m_following)
            m_view->scrollToBottom();
    });

    m_copy = new QPushButton(QStringLiteral("&Copy"), this);
    m_clear = new QPushButton(QStringLiteral("C&lear"), this);
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    connect(m_copy, &QPushButton::clicked, this, &ProtocolInspector::Copy);
    connect(m_clear, &QPushButton::clicked, this, [this] {
        if (m_log)
            m_log->Clear();
        m_model->Sync();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_copy);
    buttons->addWidget(m_clear);
    buttons->addStretch();
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_view);
    layout->addLayout(buttons);
    m_view->setFocus();
    m_view->scrollToBottom();
}

QString ProtocolInspector::CopyText() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_view->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    if (rows.isEmpty()) {
        for (int row = 0; row < m_model->rowCount(); ++row)
            rows.append(row);
    }
    QByteArray text;
    for (const int row : rows) {
        if (const ProtocolLog::Entry *entry = m_model->EntryAt(row))
            text += ProtocolLog::FormatEntry(*entry) + '\n';
    }
    return DecodeBytes(text);
}

bool ProtocolInspector::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy)) {
        Copy();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ProtocolInspector::Copy()
{
    QApplication::clipboard()->setText(CopyText());
}

} // namespace wren
