// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the program's icon, a wren on a branch, as PNG in the desktop's sizes and as SVG from one list of
// shapes, so every size is the same picture: bash scripts/make_icon.sh
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <vector>

namespace {

// One shape in a 256-unit square.
struct Shape {
    enum Kind { RoundRect, Ellipse, Polygon, Line } What;
    std::vector<QPointF> Points; ///< corners of the box (two) for RoundRect and Ellipse; the points otherwise
    QColor Colour;
    qreal Width = 0; ///< lines only
};

std::vector<Shape> Icon()
{
    const QColor brown(150, 100, 55), darkBrown(110, 72, 38), branch(90, 60, 30);
    return {
        {Shape::RoundRect, {{8, 8}, {248, 248}}, QColor(20, 40, 110)},
        {Shape::Ellipse, {{40, 40}, {216, 216}}, QColor(35, 70, 160)},
        {Shape::Line, {{28, 206}, {228, 186}}, branch, 14},
        {Shape::Polygon, {{86, 140}, {36, 62}, {62, 52}, {110, 124}}, darkBrown}, // tail, raised
        {Shape::Ellipse, {{64, 92}, {182, 184}}, brown}, // body
        {Shape::Ellipse, {{146, 66}, {206, 126}}, brown}, // head
        {Shape::Polygon, {{200, 88}, {238, 98}, {200, 108}}, QColor(240, 195, 80)}, // beak
        {Shape::Ellipse, {{178, 80}, {194, 96}}, QColor(255, 255, 255)}, // eye
        {Shape::Ellipse, {{183, 84}, {192, 93}}, QColor(10, 10, 20)},
        {Shape::Line, {{110, 182}, {104, 200}}, branch, 6}, // legs
        {Shape::Line, {{136, 182}, {142, 198}}, branch, 6},
    };
}

QImage Draw(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    for (const Shape &s : Icon()) {
        p.setPen(Qt::NoPen);
        p.setBrush(s.Colour);
        switch (s.What) {
        case Shape::RoundRect:
            p.drawRoundedRect(QRectF(s.Points[0], s.Points[1]), 48, 48);
            break;
        case Shape::Ellipse:
            p.drawEllipse(QRectF(s.Points[0], s.Points[1]));
            break;
        case Shape::Polygon:
            p.drawPolygon(s.Points.data(), static_cast<int>(s.Points.size()));
            break;
        case Shape::Line:
            p.setPen(QPen(s.Colour, s.Width, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(s.Points[0], s.Points[1]);
            break;
        }
    }
    return image;
}

QByteArray Svg()
{
    const auto n = [](qreal v) { return QByteArray::number(v, 'g', 6); };
    QByteArray svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\"\n"
                     "     viewBox=\"0 0 256 256\">\n";
    for (const Shape &s : Icon()) {
        const QByteArray colour = s.Colour.name().toLatin1();
        const QPointF &a = s.Points[0];
        const QPointF &b = s.Points.size() > 1 ? s.Points[1] : a;
        switch (s.What) {
        case Shape::RoundRect:
            svg += "  <rect x=\"" + n(a.x()) + "\" y=\"" + n(a.y()) + "\" width=\"" + n(b.x() - a.x()) + "\" height=\""
                + n(b.y() - a.y()) + "\" rx=\"48\" fill=\"" + colour + "\"/>\n";
            break;
        case Shape::Ellipse:
            svg += "  <ellipse cx=\"" + n((a.x() + b.x()) / 2) + "\" cy=\"" + n((a.y() + b.y()) / 2) + "\" rx=\""
                + n((b.x() - a.x()) / 2) + "\" ry=\"" + n((b.y() - a.y()) / 2) + "\" fill=\"" + colour + "\"/>\n";
            break;
        case Shape::Polygon: {
            QByteArray points;
            for (const QPointF &point : s.Points)
                points += (points.isEmpty() ? "" : " ") + n(point.x()) + "," + n(point.y());
            svg += "  <polygon points=\"" + points + "\" fill=\"" + colour + "\"/>\n";
            break;
        }
        case Shape::Line:
            svg += "  <line x1=\"" + n(a.x()) + "\" y1=\"" + n(a.y()) + "\" x2=\"" + n(b.x()) + "\" y2=\"" + n(b.y())
                + "\" stroke=\"" + colour + "\" stroke-width=\"" + n(s.Width) + "\" stroke-linecap=\"round\"/>\n";
            break;
        }
    }
    return svg + "</svg>\n";
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon folder\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString name = QStringLiteral("%1/%2x%2.png").arg(folder).arg(size);
        if (!Draw(size).save(name)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            return 1;
        }
    }
    QFile svg(folder + QStringLiteral("/scalable.svg"));
    if (!svg.open(QIODevice::WriteOnly) || svg.write(Svg()) < 0)
        return 1;
    return 0;
}
