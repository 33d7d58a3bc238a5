// SPDX-License-Identifier: GPL-3.0-or-later
// The map panel a window docks: the map of the world's current area, a search for rooms by name, and a walk button.
#include "ui/map_panel.h"

#include "mapper/map_model.h"
#include "ui/map_canvas.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace wren {

namespace {

constexpr int RoomIdRole = Qt::UserRole;

} // namespace

MapPanel::MapPanel(QWidget *parent)
    : QWidget(parent)
    , m_canvas(new MapCanvas(this))
    , m_search(new QLineEdit(this))
    , m_matches(new QListWidget(this))
    , m_walk(new QPushButton(tr("&Walk there"), this))
{
    setObjectName(QStringLiteral("mapPanel"));
    m_search->setPlaceholderText(tr("Find a room by name"));
    m_search->setAccessibleName(tr("Find a room by name"));
    m_search->setClearButtonEnabled(true);
    m_search->installEventFilter(this);
    m_matches->setAccessibleName(tr("Rooms found"));
    m_matches->setMaximumHeight(120);
    m_matches->hide();
    m_walk->setEnabled(false);
    m_walk->setAccessibleDescription(tr("Walks to the selected room"));

    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(m_search, 1);
    searchRow->addWidget(m_walk);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(searchRow);
    layout->addWidget(m_matches);
    layout->addWidget(m_canvas, 1);
    setFocusProxy(m_canvas);

    m_refresh.setSingleShot(true);
    m_refresh.setInterval(RefreshIntervalMs);
    connect(&m_refresh, &QTimer::timeout, this, &MapPanel::Refresh);
    connect(m_search, &QLineEdit::textChanged, this, &MapPanel::Search);
    connect(m_search, &QLineEdit::returnPressed, this, [this] {
        QListWidgetItem *item = m_matches->currentItem() ? m_matches->currentItem() : m_matches->item(0);
        ShowMatch(item);
    });
    connect(m_matches, &QListWidget::itemActivated, this, &MapPanel::ShowMatch);
    connect(m_walk, &QPushButton::clicked, this, &MapPanel::WalkToSelected);
    connect(m_canvas, &MapCanvas::WalkRequested, this, &MapPanel::WalkRequested);
    connect(m_canvas, &MapCanvas::SelectionChanged, this,
            [this](const QByteArray &room) { m_walk->setEnabled(!room.isEmpty()); });
}

MapPanel::~MapPanel() = default;

void MapPanel::SetModel(MapModel *model)
{
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    if (model)
        connect(model, &MapModel::Changed, this, &MapPanel::ScheduleRefresh);
    m_canvas->SetModel(model);
    m_search->clear();
    Refresh();
}

void MapPanel::ScheduleRefresh()
{
    if (!m_refresh.isActive())
        m_refresh.start();
}

void MapPanel::Refresh()
{
    m_refresh.stop();
    m_canvas->ModelUpdated();
    const bool hasRooms = m_model && m_model->RoomCount() > 0;
    if (hasRooms != m_hasRoomData) {
        m_hasRoomData = hasRooms;
        emit HasRoomDataChanged(hasRooms);
    }
}

void MapPanel::Search(const QString &text)
{
    m_matches->clear();
    const QByteArray needle = text.trimmed().toUtf8();
    if (!m_model || needle.isEmpty()) {
        m_matches->hide();
        return;
    }
    for (const QByteArray &id : m_model->FindRooms(needle, MaxMatches)) {
        auto *item = new QListWidgetItem(m_model->Summary(id), m_matches);
        item->setData(RoomIdRole, id);
    }
    if (m_matches->count() == 0)
        new QListWidgetItem(tr("No room has that in its name."), m_matches);
    m_matches->setCurrentRow(0);
    m_matches->show();
}

void MapPanel::ShowMatch(QListWidgetItem *item)
{
    if (!item)
        return;
    const QByteArray id = item->data(RoomIdRole).toByteArray();
    if (!id.isEmpty())
        m_canvas->ShowRoom(id);
}

void MapPanel::WalkToSelected()
{
    if (!m_canvas->SelectedRoom().isEmpty())
        emit WalkRequested(m_canvas->SelectedRoom());
}

/// In the search box, Up and Down move through the rooms found, Ctrl+Enter walks to the selected one and Escape
/// closes the list.
bool MapPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_search || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    const int row = m_matches->currentRow();
    switch (key->key()) {
    case Qt::Key_Down: m_matches->setCurrentRow(std::min(row + 1, m_matches->count() - 1)); return true;
    case Qt::Key_Up: m_matches->setCurrentRow(std::max(row - 1, 0)); return true;
    case Qt::Key_Escape:
        m_search->clear();
        m_canvas->setFocus();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (key->modifiers() & Qt::ControlModifier) {
            ShowMatch(m_matches->currentItem());
            WalkToSelected();
            return true;
        }
        return false;
    default: return false;
    }
}

} // namespace wren
