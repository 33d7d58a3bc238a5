// SPDX-License-Identifier: GPL-3.0-or-later
// Draws one area of a world's map, the rooms in view only, and lets the player zoom, pan, pick and walk to rooms.
#include "ui/map_canvas.h"

#include "mapper/directions.h"
#include "mapper/map_model.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QWindow>

#include <array>
#include <cmath>

namespace wren {

namespace {

constexpr quint32 NoRoom = MapModel::NoRoom;
const QColor Background(0x1c, 0x1f, 0x24);
const QColor TwoWayColour(0x9a, 0xa0, 0xa8);
const QColor OneWayColour(0xe0, 0x8a, 0x3c);
const QColor StubColour(0x60, 0x66, 0x70);
const QColor CurrentColour(0xff, 0xe0, 0x40);
const QColor SelectedColour(0x40, 0xd0, 0xff);
const QColor LockedColour(0xe0, 0x40, 0x40);
const QColor AvoidedColour(0xe0, 0x90, 0x30);
const QColor CaptionColour(0xc8, 0xcc, 0xd0);

/// Rooms are coloured by terrain, one of these per terrain name (the first for rooms without one).
const std::array<QColor, 8> TerrainColours
    = {QColor(0xb8, 0xbc, 0xc4), QColor(0x7c, 0xb3, 0x6a), QColor(0x5a, 0x8f, 0xd0), QColor(0xc9, 0xa8, 0x6a),
       QColor(0x9b, 0x7c, 0xc9), QColor(0x6a, 0xc4, 0xb8), QColor(0xd0, 0x7c, 0x8c), QColor(0x8c, 0x8c, 0x70)};

const QColor &TerrainColour(quint32 terrain)
{
    return TerrainColours[terrain % TerrainColours.size()];
}

bool IsUpOrDown(quint16 direction)
{
    return direction == static_cast<quint16>(Direction::Up) || direction == static_cast<quint16>(Direction::Down);
}

// ---- Accessibility ----

/// One room of the canvas for screen readers.
class MapRoomAccessible : public QAccessibleInterface
{
public:
    MapRoomAccessible(MapCanvas *canvas, const QByteArray &roomId)
        : m_canvas(canvas)
        , m_roomId(roomId)
    {
    }

    bool isValid() const override
    {
        return m_canvas && m_canvas->Model() && m_canvas->Model()->IndexOf(m_roomId) != NoRoom;
    }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_canvas ? m_canvas->window()->windowHandle() : nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_canvas.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    void setText(QAccessible::Text, const QString &) override {}
    QAccessible::Role role() const override { return QAccessible::ListItem; }

    QString text(QAccessible::Text kind) const override
    {
        if (!isValid())
            return {};
        const MapModel &model = *m_canvas->Model();
        if (kind == QAccessible::Name)
            return model.Summary(m_roomId);
        if (kind == QAccessible::Description)
            return Description(model);
        return {};
    }

    QRect rect() const override
    {
        if (!m_canvas)
            return {};
        const QRect local = m_canvas->RoomRect(m_roomId);
        return local.isEmpty() ? QRect() : QRect(m_canvas->mapToGlobal(local.topLeft()), local.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.focusable = true;
        state.selectable = true;
        if (!m_canvas)
            return state;
        state.selected = m_canvas->SelectedRoom() == m_roomId;
        state.focused = state.selected && m_canvas->hasFocus();
        state.invisible = m_canvas->RoomRect(m_roomId).isEmpty();
        state.offscreen = state.invisible;
        return state;
    }

    QByteArray RoomId() const { return m_roomId; }

private:
    QString Description(const MapModel &model) const
    {
        const quint32 current = model.CurrentIndex();
        if (current == NoRoom)
            return {};
        if (model.At(current).Id == m_roomId)
            return QStringLiteral("your room");
        for (const MapModel::Exit &exit : model.At(current).Exits) {
            if (exit.Target != NoRoom && model.At(exit.Target).Id == m_roomId)
                return QString::fromUtf8(LongName(model.DirectionName(exit.Direction)))
                       + QStringLiteral(" of your room");
        }
        return m_canvas->SelectedRoom() == m_roomId ? QStringLiteral("selected") : QString();
    }

    QPointer<MapCanvas> m_canvas;
    QByteArray m_roomId;
};

/// The canvas for screen readers: a list of the rooms around the player.
class MapCanvasAccessible : public QAccessibleWidget
{
public:
    explicit MapCanvasAccessible(MapCanvas *canvas)
        : QAccessibleWidget(canvas, QAccessible::List)
    {
    }

    MapCanvas *Canvas() const { return static_cast<MapCanvas *>(widget()); }
    int childCount() const override { return static_cast<int>(Canvas()->AccessibleRooms().size()); }
    QAccessibleInterface *child(int index) const override { return Canvas()->AccessibleRoom(index); }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const auto *room = dynamic_cast<const MapRoomAccessible *>(child);
        return room ? Canvas()->AccessibleIndex(room->RoomId()) : -1;
    }

    QAccessibleInterface *childAt(int x, int y) const override
    {
        const int index = Canvas()->AccessibleIndex(Canvas()->RoomAt(Canvas()->mapFromGlobal(QPoint(x, y))));
        return index < 0 ? nullptr : child(index);
    }

    QAccessibleInterface *focusChild() const override
    {
        const int index = Canvas()->AccessibleIndex(Canvas()->SelectedRoom());
        return index < 0 ? nullptr : child(index);
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind != QAccessible::Name)
            return QAccessibleWidget::text(kind);
        const MapModel *model = Canvas()->Model();
        if (!model || model->CurrentIndex() == NoRoom)
            return QStringLiteral("Map");
        return QStringLiteral("Map: ") + model->Summary(model->CurrentIndex());
    }
};

QAccessibleInterface *MapAccessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("wren::MapCanvas") && object && object->isWidgetType())
        return new MapCanvasAccessible(static_cast<MapCanvas *>(object));
    return nullptr;
}

} // namespace

MapCanvas::MapCanvas(QWidget *parent)
    : QWidget(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(MapAccessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Map"));
}

MapCanvas::~MapCanvas()
{
    ClearAccessibleRooms();
}

void MapCanvas::SetModel(MapModel *model)
{
    m_model = model;
    m_selected.clear();
    m_followed.clear();
    ModelUpdated();
}

void MapCanvas::ModelUpdated()
{
    if (m_model && m_model->CurrentRoom() != m_followed) {
        m_followed = m_model->CurrentRoom();
        if (m_model->CurrentIndex() != NoRoom) {
            const MapModel::Node &here = m_model->At(m_model->CurrentIndex());
            m_area = here.Area;
            m_level = here.Z;
            m_centre = QPointF(here.X, here.Y);
        }
        if (QAccessible::isActive()) {
            QAccessibleEvent event(this, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&event);
        }
    }
    UpdateAccessibleRooms();
    update();
}

void MapCanvas::SetCellSize(double pixels)
{
    m_cellSize = std::clamp(pixels, MinCellSize, MaxCellSize);
    update();
}

void MapCanvas::Pan(double cellsX, double cellsY)
{
    m_centre += QPointF(cellsX, cellsY);
    update();
}

void MapCanvas::SetShownLevel(int level)
{
    m_level = std::clamp(level, -MaxGridLevel, MaxGridLevel);
    update();
}

bool MapCanvas::ShowRoom(const QByteArray &roomId)
{
    const quint32 node = m_model ? m_model->IndexOf(roomId) : NoRoom;
    if (node == NoRoom || !m_model->At(node).Placed)
        return false;
    const MapModel::Node &room = m_model->At(node);
    m_area = room.Area;
    m_level = room.Z;
    m_centre = QPointF(room.X, room.Y);
    SelectRoom(roomId);
    update();
    return true;
}

void MapCanvas::ShowPlayer()
{
    if (m_model && m_model->CurrentIndex() != NoRoom)
        ShowRoom(m_model->CurrentRoom());
}

void MapCanvas::SelectRoom(const QByteArray &roomId)
{
    if (m_selected == roomId)
        return;
    m_selected = roomId;
    UpdateAccessibleRooms();
    update();
    emit SelectionChanged(roomId);
    const int index = AccessibleIndex(roomId);
    if (index >= 0 && QAccessible::isActive()) {
        QAccessibleEvent event(this, hasFocus() ? QAccessible::Focus : QAccessible::Selection);
        event.setChild(index);
        QAccessible::updateAccessibility(&event);
    }
}

// ---- Geometry ----

QPointF MapCanvas::ToScreen(double x, double y) const
{
    return {width() / 2.0 + (x - m_centre.x()) * m_cellSize, height() / 2.0 - (y - m_centre.y()) * m_cellSize};
}

QPoint MapCanvas::ToCell(const QPointF &pos) const
{
    return {static_cast<int>(std::lround(m_centre.x() + (pos.x() - width() / 2.0) / m_cellSize)),
            static_cast<int>(std::lround(m_centre.y() - (pos.y() - height() / 2.0) / m_cellSize))};
}

QRect MapCanvas::VisibleCells() const
{
    const double halfWidth = width() / 2.0 / m_cellSize + 1;
    const double halfHeight = height() / 2.0 / m_cellSize + 1;
    const auto bound = [](double value) { return static_cast<int>(std::clamp(value, -4.0e6, 4.0e6)); };
    return QRect(QPoint(bound(std::floor(m_centre.x() - halfWidth)), bound(std::floor(m_centre.y() - halfHeight))),
                 QPoint(bound(std::ceil(m_centre.x() + halfWidth)), bound(std::ceil(m_centre.y() + halfHeight))));
}

QRect MapCanvas::RoomRect(const QByteArray &roomId) const
{
    const quint32 node = m_model ? m_model->IndexOf(roomId) : NoRoom;
    if (node == NoRoom)
        return {};
    const MapModel::Node &room = m_model->At(node);
    if (!room.Placed || room.Area != m_area || room.Z != m_level)
        return {};
    const double side = std::max(2.0, m_cellSize * 0.6);
    const QPointF centre = ToScreen(room.X, room.Y);
    const QRect square = QRectF(centre.x() - side / 2, centre.y() - side / 2, side, side).toAlignedRect();
    return square.intersects(rect()) ? square : QRect();
}

QByteArray MapCanvas::RoomAt(const QPoint &pos) const
{
    if (!m_model)
        return {};
    const QPoint cell = ToCell(pos);
    const quint32 node = m_model->RoomAtCell(m_area, cell.x(), cell.y(), m_level);
    return node == NoRoom ? QByteArray() : m_model->At(node).Id;
}

// ---- Painting ----

void MapCanvas::paintEvent(QPaintEvent *)
{
    ++m_paintCount;
    QPainter painter(this);
    if (!m_model || m_model->RoomCount() == 0) {
        painter.fillRect(rect(), Background);
        painter.setPen(CaptionColour);
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("No map yet: the world has sent no rooms."));
        return;
    }
    m_visible.clear();
    m_model->RoomsInRect(m_area, m_level, VisibleCells(), m_visible);
    if (m_cellSize < RasterCellSize) {
        PaintRaster(painter);
    } else {
        painter.fillRect(rect(), Background);
        PaintExits(painter);
        PaintRooms(painter);
    }
    PaintOutlines(painter);
    PaintCaption(painter);
}

void MapCanvas::resizeEvent(QResizeEvent *event)
{
    m_raster = QImage();
    QWidget::resizeEvent(event);
}

namespace {

/// Pixels of an image written directly: far cheaper than QPainter for thousands of small squares and lines.
class PixelCanvas
{
public:
    explicit PixelCanvas(QImage &image)
        : m_bits(reinterpret_cast<QRgb *>(image.bits()))
        , m_stride(image.bytesPerLine() / 4)
        , m_width(image.width())
        , m_height(image.height())
    {
    }

    void Square(int left, int top, int side, QRgb colour)
    {
        const int x0 = std::max(0, left);
        const int x1 = std::min(m_width, left + side);
        if (x0 >= x1)
            return;
        for (int y = std::max(0, top); y < std::min(m_height, top + side); ++y)
            std::fill(m_bits + y * m_stride + x0, m_bits + y * m_stride + x1, colour);
    }

    /// @p length pixels from (x, y) in steps of (dx, dy), each -1, 0 or 1; pixels outside the image are skipped.
    void Ray(int x, int y, int dx, int dy, int length, QRgb colour)
    {
        for (int i = 0; i <= length; ++i, x += dx, y += dy) {
            if (static_cast<unsigned>(x) < static_cast<unsigned>(m_width)
                && static_cast<unsigned>(y) < static_cast<unsigned>(m_height))
                m_bits[y * m_stride + x] = colour;
        }
    }

private:
    QRgb *m_bits;
    qsizetype m_stride;
    int m_width, m_height;
};

} // namespace

/// Far out, rooms are squares (a dot at the farthest) written straight into an image. Each exit in a compass
/// direction is half a line from its room that way, so two rooms joined both ways show a whole line and a one-way
/// exit half of one; nothing but the room itself is read, which keeps tens of thousands of rooms cheap.
void MapCanvas::PaintRaster(QPainter &painter)
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    if (m_raster.size() != pixels)
        m_raster = QImage(pixels, QImage::Format_RGB32);
    m_raster.fill(Background);
    PixelCanvas canvas(m_raster);
    const int half = static_cast<int>(m_cellSize * ratio * 0.5);
    const QRgb exitColour = TwoWayColour.rgb();
    const int side = std::max(1, static_cast<int>(m_cellSize * ratio * 0.6));
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 0 && m_cellSize < ExitCellSize)
            continue;
        for (quint32 node : m_visible) {
            const MapModel::Node &room = m_model->At(node);
            const QPointF centre = ToScreen(room.X, room.Y) * ratio;
            if (pass == 1) {
                canvas.Square(static_cast<int>(centre.x()) - side / 2, static_cast<int>(centre.y()) - side / 2, side,
                              TerrainColour(room.Terrain).rgb());
                continue;
            }
            for (const MapModel::Exit &exit : room.Exits) {
                if (exit.Direction >= static_cast<quint16>(Direction::Up) || exit.Target == node)
                    continue;
                const GridStep step = *StepOf(static_cast<Direction>(exit.Direction));
                canvas.Ray(static_cast<int>(centre.x()), static_cast<int>(centre.y()), step.Dx, -step.Dy, half,
                           exitColour);
            }
        }
    }
    m_raster.setDevicePixelRatio(ratio);
    painter.drawImage(0, 0, m_raster);
}

/// The exit lines of one paint, gathered to be drawn a pen at a time.
struct MapCanvas::ExitLines {
    QVector<QLineF> TwoWay, OneWay, Stubs;
    QPainterPath OneWayEnds;
};

/// Lines between rooms of this level: two-way exits once, one-way exits dashed with a dot near the room they
/// lead to, exits to rooms not known or elsewhere (another area or level) as a short stub in their direction.
void MapCanvas::PaintExits(QPainter &painter)
{
    const QRect cells = VisibleCells();
    ExitLines lines;
    for (quint32 node : m_visible) {
        for (const MapModel::Exit &exit : m_model->At(node).Exits)
            AddExitLine(node, exit, cells, lines);
    }
    painter.setPen(QPen(StubColour, 1));
    painter.drawLines(lines.Stubs);
    painter.setPen(QPen(TwoWayColour, 1));
    painter.drawLines(lines.TwoWay);
    painter.setPen(QPen(OneWayColour, 1, Qt::DashLine));
    painter.drawLines(lines.OneWay);
    painter.fillPath(lines.OneWayEnds, OneWayColour);
}

void MapCanvas::AddExitLine(quint32 node, const MapModel::Exit &exit, const QRect &cells, ExitLines &lines) const
{
    if (exit.Target == node || IsUpOrDown(exit.Direction))
        return;
    const MapModel::Node &room = m_model->At(node);
    const QPointF from = ToScreen(room.X, room.Y);
    const MapModel::Node *target = exit.Target == NoRoom ? nullptr : &m_model->At(exit.Target);
    if (target && target->Placed && target->Area == m_area && target->Z == m_level) {
        const QPointF to = ToScreen(target->X, target->Y);
        if (!m_model->HasExitTo(exit.Target, node)) {
            lines.OneWay.append(QLineF(from, to));
            const QLineF back = QLineF(to, from).unitVector();
            const double dot = std::max(1.5, m_cellSize * 0.09);
            lines.OneWayEnds.addEllipse(to + (back.p2() - back.p1()) * (m_cellSize * 0.3), dot, dot);
        } else if (node < exit.Target || !cells.contains(target->X, target->Y)) {
            lines.TwoWay.append(QLineF(from, to)); // once, from the room with the lower index while both show
        }
        return;
    }
    const std::optional<Direction> standard = StandardDirection(m_model->DirectionName(exit.Direction));
    if (const std::optional<GridStep> step = standard ? StepOf(*standard) : std::nullopt)
        lines.Stubs.append(QLineF(from, from + QPointF(step->Dx, -step->Dy) * (m_cellSize * 0.5)));
}

/// Squares by terrain colour; locked and avoided rooms get a coloured border, up and down exits a triangle.
void MapCanvas::PaintRooms(QPainter &painter)
{
    std::array<QVector<QRectF>, TerrainColours.size()> squares;
    QVector<QRectF> locked, avoided;
    QPainterPath marks;
    const double side = std::max(2.0, m_cellSize * 0.6);
    const double half = side / 2;
    for (quint32 node : m_visible) {
        const MapModel::Node &room = m_model->At(node);
        const QPointF centre = ToScreen(room.X, room.Y);
        const QRectF square(centre.x() - half, centre.y() - half, side, side);
        squares[room.Terrain % TerrainColours.size()].append(square);
        if (room.Flags & RoomLocked)
            locked.append(square);
        else if (room.Flags & RoomAvoided)
            avoided.append(square);
        if (m_cellSize < 10)
            continue;
        for (const MapModel::Exit &exit : room.Exits) {
            if (exit.Direction == static_cast<quint16>(Direction::Up))
                marks.addPolygon(
                    QPolygonF({centre + QPointF(-half * 0.5, -half * 0.15), centre + QPointF(half * 0.5, -half * 0.15),
                               centre + QPointF(0, -half * 0.8)}));
            else if (exit.Direction == static_cast<quint16>(Direction::Down))
                marks.addPolygon(
                    QPolygonF({centre + QPointF(-half * 0.5, half * 0.15), centre + QPointF(half * 0.5, half * 0.15),
                               centre + QPointF(0, half * 0.8)}));
        }
    }
    painter.setPen(Qt::NoPen);
    for (size_t i = 0; i < squares.size(); ++i) {
        painter.setBrush(TerrainColours[i]);
        painter.drawRects(squares[i]);
    }
    painter.fillPath(marks, Background);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(LockedColour, 2));
    painter.drawRects(locked);
    painter.setPen(QPen(AvoidedColour, 2));
    painter.drawRects(avoided);
}

void MapCanvas::PaintOutlines(QPainter &painter)
{
    painter.setBrush(Qt::NoBrush);
    const QRect selected = RoomRect(m_selected);
    if (!selected.isEmpty()) {
        painter.setPen(QPen(SelectedColour, 2));
        painter.drawRect(selected.adjusted(-3, -3, 3, 3));
    }
    const QRect current = m_model->CurrentIndex() == NoRoom ? QRect() : RoomRect(m_model->CurrentRoom());
    if (!current.isEmpty()) {
        painter.setPen(QPen(CurrentColour, 2));
        painter.drawRect(current.adjusted(-2, -2, 2, 2));
        painter.fillRect(
            current.adjusted(current.width() / 4, current.height() / 4, -current.width() / 4, -current.height() / 4),
            CurrentColour);
    }
}

void MapCanvas::PaintCaption(QPainter &painter)
{
    QString caption = QString::fromUtf8(m_model->AreaName(m_area));
    if (caption.isEmpty())
        caption = QStringLiteral("(no area)");
    if (m_level != 0)
        caption += QStringLiteral(", level %1").arg(m_level);
    painter.setPen(CaptionColour);
    painter.drawText(rect().adjusted(6, 4, -6, -4), Qt::AlignLeft | Qt::AlignTop, caption);
}

// ---- Input ----

void MapCanvas::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_dragStart = event->position().toPoint();
    m_dragCentre = m_centre;
    m_dragging = false;
}

void MapCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return QWidget::mouseMoveEvent(event);
    const QPoint moved = event->position().toPoint() - m_dragStart;
    if (!m_dragging && moved.manhattanLength() < 4)
        return;
    m_dragging = true;
    m_centre = m_dragCentre + QPointF(-moved.x() / m_cellSize, moved.y() / m_cellSize);
    update();
}

void MapCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && !m_dragging) {
        const QByteArray room = RoomAt(event->position().toPoint());
        if (!room.isEmpty())
            SelectRoom(room);
    }
    m_dragging = false;
}

void MapCanvas::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QByteArray room = RoomAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && !room.isEmpty()) {
        SelectRoom(room);
        emit WalkRequested(room);
    }
}

void MapCanvas::wheelEvent(QWheelEvent *event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0)
        return;
    // The cell under the pointer stays where it is.
    const QPointF pos = event->position();
    const QPointF before(m_centre.x() + (pos.x() - width() / 2.0) / m_cellSize,
                         m_centre.y() - (pos.y() - height() / 2.0) / m_cellSize);
    SetCellSize(m_cellSize * std::pow(ZoomStep, steps));
    m_centre = QPointF(before.x() - (pos.x() - width() / 2.0) / m_cellSize,
                       before.y() + (pos.y() - height() / 2.0) / m_cellSize);
    event->accept();
}

void MapCanvas::keyPressEvent(QKeyEvent *event)
{
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const double step = std::max(1.0, width() / m_cellSize / 8);
    switch (event->key()) {
    case Qt::Key_Left: return shift ? MoveSelection(-1, 0) : Pan(-step, 0);
    case Qt::Key_Right: return shift ? MoveSelection(1, 0) : Pan(step, 0);
    case Qt::Key_Up: return shift ? MoveSelection(0, 1) : Pan(0, step);
    case Qt::Key_Down: return shift ? MoveSelection(0, -1) : Pan(0, -step);
    case Qt::Key_Plus:
    case Qt::Key_Equal: return ZoomIn();
    case Qt::Key_Minus: return ZoomOut();
    case Qt::Key_PageUp: return SetShownLevel(m_level + 1);
    case Qt::Key_PageDown: return SetShownLevel(m_level - 1);
    case Qt::Key_Home: return ShowPlayer();
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!m_selected.isEmpty())
            emit WalkRequested(m_selected);
        return;
    default: QWidget::keyPressEvent(event);
    }
}

/// The nearest room that way on the shown level (within 32 cells), from the selected room or the view's middle.
void MapCanvas::MoveSelection(int dx, int dy)
{
    if (!m_model)
        return;
    QPoint from = ToCell(QPointF(width() / 2.0, height() / 2.0));
    const QRect selected = RoomRect(m_selected);
    if (!selected.isEmpty())
        from = ToCell(selected.center());
    for (int distance = 1; distance <= 32; ++distance) {
        for (int side = 0; side <= distance; ++side) {
            for (int sign : {1, -1}) {
                const int x = from.x() + dx * distance + (dx == 0 ? side * sign : 0);
                const int y = from.y() + dy * distance + (dy == 0 ? side * sign : 0);
                const quint32 node = m_model->RoomAtCell(m_area, x, y, m_level);
                if (node != NoRoom) {
                    ShowRoom(m_model->At(node).Id);
                    return;
                }
            }
        }
    }
}

bool MapCanvas::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QByteArray room = RoomAt(help->pos());
        if (room.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), m_model->Summary(room), this);
        return true;
    }
    return QWidget::event(event);
}

// ---- Rooms for screen readers ----

void MapCanvas::UpdateAccessibleRooms()
{
    std::vector<QByteArray> rooms;
    const auto add = [&](const QByteArray &id) {
        if (!id.isEmpty() && std::find(rooms.begin(), rooms.end(), id) == rooms.end())
            rooms.push_back(id);
    };
    if (m_model && m_model->CurrentIndex() != NoRoom) {
        const MapModel::Node &here = m_model->At(m_model->CurrentIndex());
        add(here.Id);
        for (const MapModel::Exit &exit : here.Exits) {
            if (exit.Target != NoRoom)
                add(m_model->At(exit.Target).Id);
        }
    }
    if (m_model && m_model->IndexOf(m_selected) != NoRoom)
        add(m_selected);
    for (auto it = m_accessibleIds.begin(); it != m_accessibleIds.end();) {
        if (std::find(rooms.begin(), rooms.end(), it.key()) == rooms.end()) {
            QAccessible::deleteAccessibleInterface(it.value());
            it = m_accessibleIds.erase(it);
        } else {
            ++it;
        }
    }
    m_accessibleRooms = std::move(rooms);
}

void MapCanvas::ClearAccessibleRooms()
{
    for (unsigned id : std::as_const(m_accessibleIds))
        QAccessible::deleteAccessibleInterface(id);
    m_accessibleIds.clear();
    m_accessibleRooms.clear();
}

QAccessibleInterface *MapCanvas::AccessibleRoom(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_accessibleRooms.size()))
        return nullptr;
    const QByteArray &id = m_accessibleRooms[static_cast<size_t>(index)];
    const auto found = m_accessibleIds.constFind(id);
    if (found != m_accessibleIds.constEnd())
        return QAccessible::accessibleInterface(*found);
    auto *room = new MapRoomAccessible(const_cast<MapCanvas *>(this), id);
    m_accessibleIds.insert(id, QAccessible::registerAccessibleInterface(room));
    return room;
}

int MapCanvas::AccessibleIndex(const QByteArray &roomId) const
{
    const auto found = std::find(m_accessibleRooms.begin(), m_accessibleRooms.end(), roomId);
    return found == m_accessibleRooms.end() || roomId.isEmpty() ? -1
                                                                : static_cast<int>(found - m_accessibleRooms.begin());
}

} // namespace wren
