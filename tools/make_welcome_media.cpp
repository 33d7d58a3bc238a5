// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the welcome picture and synthesises the start sound the program ships (resources/), so neither
// comes from anywhere else: bash scripts/make_welcome_media.sh
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>

#include <cmath>
#include <cstdio>

namespace {

QImage WelcomePicture()
{
    QImage image(320, 120, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 120);
    sky.setColorAt(0, QColor(10, 20, 70));
    sky.setColorAt(1, QColor(0, 0, 20));
    p.fillRect(image.rect(), sky);
    // A branch and a wren on it, tail up.
    p.setPen(QPen(QColor(90, 60, 30), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(20, 100), QPointF(150, 92));
    QPainterPath body;
    body.addEllipse(QRectF(50, 50, 60, 42));
    body.addEllipse(QRectF(92, 38, 28, 26));
    p.fillPath(body, QColor(150, 100, 55));
    QPainterPath tail;
    tail.moveTo(56, 66);
    tail.lineTo(34, 34);
    tail.lineTo(46, 30);
    tail.lineTo(66, 58);
    p.fillPath(tail, QColor(120, 80, 40));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(235, 190, 80));
    p.drawPolygon(QPolygonF({QPointF(118, 48), QPointF(134, 52), QPointF(118, 55)}));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(109, 47), 3.5, 3.5);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(110, 47), 1.8, 1.8);
    p.setPen(QPen(QColor(90, 60, 30), 2));
    p.drawLine(QPointF(78, 90), QPointF(76, 97));
    p.drawLine(QPointF(88, 90), QPointF(90, 96));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(30);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(240, 220, 160));
    p.drawText(QRectF(150, 30, 165, 40), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Wren"));
    font.setPixelSize(18);
    font.setBold(false);
    p.setFont(font);
    p.setPen(QColor(170, 190, 240));
    p.drawText(QRectF(150, 66, 165, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("MUD client"));
    return image;
}

// Two bell-like notes, a fifth apart, 22,050 samples a second, 16-bit mono.
QByteArray StartSound()
{
    constexpr int rate = 22050;
    constexpr double seconds = 0.7;
    const int samples = static_cast<int>(rate * seconds);
    QByteArray pcm(samples * 2, '\0');
    for (int i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / rate;
        double v = 0.5 * std::sin(2 * M_PI * 880 * t) * std::exp(-6 * t);
        if (t > 0.18)
            v += 0.45 * std::sin(2 * M_PI * 1320 * (t - 0.18)) * std::exp(-7 * (t - 0.18));
        const auto sample = static_cast<qint16>(std::lround(std::clamp(v, -1.0, 1.0) * 30000));
        qToLittleEndian<qint16>(sample, pcm.data() + 2 * i);
    }
    QByteArray wav("RIFF");
    const auto put32 = [&wav](quint32 v) {
        char b[4];
        qToLittleEndian<quint32>(v, b);
        wav.append(b, 4);
    };
    const auto put16 = [&wav](quint16 v) {
        char b[2];
        qToLittleEndian<quint16>(v, b);
        wav.append(b, 2);
    };
    put32(static_cast<quint32>(36 + pcm.size()));
    wav.append("WAVEfmt ");
    put32(16);
    put16(1); // PCM
    put16(1); // mono
    put32(rate);
    put32(rate * 2);
    put16(2);
    put16(16);
    wav.append("data");
    put32(static_cast<quint32>(pcm.size()));
    return wav + pcm;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_welcome_media folder\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!WelcomePicture().save(folder + QStringLiteral("/WrenImage.jpg"), "JPG", 90))
        return 1;
    QFile sound(folder + QStringLiteral("/connect.wav"));
    if (!sound.open(QIODevice::WriteOnly) || sound.write(StartSound()) < 0)
        return 1;
    return 0;
}
