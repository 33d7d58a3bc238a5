// SPDX-License-Identifier: GPL-3.0-or-later
// Saves a picture of the whole screen of the display it runs on (for the README's screenshot under Xvfb).
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: grab_screen out.png\n");
        return 2;
    }
    const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(0);
    return picture.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
