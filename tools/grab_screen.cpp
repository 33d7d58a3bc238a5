// SPDX-License-Identifier: GPL-3.0-or-later
// Saves a picture of the whole screen of the display it runs on, or of one window (for the README's
// screenshot and the manual's pictures under Xvfb).
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: grab_screen out.png [window-id]\n");
        return 2;
    }
    const WId window = argc == 3 ? QByteArray(argv[2]).toULongLong() : 0;
    const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(window);
    return !picture.isNull() && picture.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
