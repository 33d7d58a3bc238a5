// SPDX-License-Identifier: GPL-3.0-or-later
// Draws one area of a world's map, the rooms in view only, and lets the player zoom, pan, pick and walk to rooms.
#pragma once

#include "mapper/map_model.h"

#include <QHash>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <vector>

class QAccessibleInterface;

namespace wren {

/// The drawing surface of the map panel. It shows one level of one area: rooms as small squares coloured by
/// terrain, exits as lines (one-way exits dashed with a dot near the room they lead to, exits to unknown rooms or
/// other areas as short stubs), up and down exits as triangles on the room, the player's room and the selected room
/// outlined.
///
/// Painting asks the model only for the rooms of the cells in view (its buckets per area). Below RasterCellSize
/// pixels per cell, rooms and their exits (as half lines in their direction; none below ExitCellSize) are
/// written straight into an image, so a paint costs about the same at any zoom and map size.
///
/// Keys: arrows pan, Shift+arrows move the selection to the next room that way, + and - zoom, Page Up and
/// Page Down change the level shown, Home shows the player's room, Enter walks to the selected room.
/// Mouse: drag pans, the wheel zooms, a click selects, a double-click walks; hovering shows the room's name.
///
/// For screen readers the canvas is a list whose items are the player's room, the rooms its exits lead to, and
/// the selected room, each named "Room name, area, exits: north, east".
class MapCanvas : public QWidget
{
    Q_OBJECT
public:
    static constexpr double MinCellSize = 1.0;
    static constexpr double MaxCellSize = 64.0;
    static constexpr double DefaultCellSize = 20.0;
    static constexpr double RasterCellSize = 12.0;
    static constexpr double ExitCellSize = 6.0;
    static constexpr double ZoomStep = 1.25;

    explicit MapCanvas(QWidget *parent = nullptr);
    ~MapCanvas() override;

    void SetModel(MapModel *model);
    MapModel *Model() const { return m_model; }

    /// The model changed: follows the player when they moved, and repaints once.
    void ModelUpdated();

    double CellSize() const { return m_cellSize; }
    void SetCellSize(double pixels);
    void ZoomIn() { SetCellSize(m_cellSize * ZoomStep); }
    void ZoomOut() { SetCellSize(m_cellSize / ZoomStep); }
    /// The cell at the middle of the view.
    QPointF Centre() const { return m_centre; }
    void Pan(double cellsX, double cellsY);
    quint32 ShownArea() const { return m_area; }
    int ShownLevel() const { return m_level; }
    void SetShownLevel(int level);

    /// Shows the room's area and level, centred on it, and selects it.
    bool ShowRoom(const QByteArray &roomId);
    /// Shows the player's room.
    void ShowPlayer();
    QByteArray SelectedRoom() const { return m_selected; }
    void SelectRoom(const QByteArray &roomId);

    /// Where the room's square is drawn, in the canvas's coordinates; empty when it is not in view.
    QRect RoomRect(const QByteArray &roomId) const;
    /// The room drawn at @p pos, or empty.
    QByteArray RoomAt(const QPoint &pos) const;

    /// The rooms offered to screen readers: the player's room, where its exits lead, the selected room.
    const std::vector<QByteArray> &AccessibleRooms() const { return m_accessibleRooms; }
    QAccessibleInterface *AccessibleRoom(int index) const;
    int AccessibleIndex(const QByteArray &roomId) const;

    quint64 PaintCount() const { return m_paintCount; }
    QSize sizeHint() const override { return {300, 300}; }

signals:
    void WalkRequested(const QByteArray &roomId);
    void SelectionChanged(const QByteArray &roomId);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool event(QEvent *event) override;

private:
    QPointF ToScreen(double x, double y) const;
    QPoint ToCell(const QPointF &pos) const;
    QRect VisibleCells() const;
    void PaintRaster(QPainter &painter);
    struct ExitLines;
    void PaintExits(QPainter &painter);
    void AddExitLine(quint32 node, const MapModel::Exit &exit, const QRect &cells, ExitLines &lines) const;
    void PaintRooms(QPainter &painter);
    void PaintOutlines(QPainter &painter);
    void PaintCaption(QPainter &painter);
    void MoveSelection(int dx, int dy);
    void UpdateAccessibleRooms();
    void ClearAccessibleRooms();

    QPointer<MapModel> m_model;
    QPointF m_centre;
    double m_cellSize = DefaultCellSize;
    quint32 m_area = 0;
    int m_level = 0;
    QByteArray m_selected;
    QByteArray m_followed; ///< the player's room when the view last followed them
    QPoint m_dragStart;
    QPointF m_dragCentre;
    bool m_dragging = false;
    std::vector<quint32> m_visible;
    QImage m_raster;
    std::vector<QByteArray> m_accessibleRooms;
    mutable QHash<QByteArray, unsigned> m_accessibleIds;
    quint64 m_paintCount = 0;
};

} // namespace wren
