// SPDX-License-Identifier: GPL-3.0-or-later
// Program entry: the main window, the welcome session and the command line's telnet://host:port.
#include "config/globals.h"
#include "ui/main_window.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wren Client"));

    wren::TGlobals globals;
    wren::TfrmMain window(globals);
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    window.Start(arguments);
    window.show();
    return app.exec();
}
