// SPDX-License-Identifier: GPL-3.0-or-later
// Program entry: the window, its session and the command line's telnet://host:port.
#include "session/client.h"
#include "ui/minimal_window.h"
#include "ui/startup_args.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wren Client"));

    wren::TGlobals globals;
    wren::TClient client(globals);
    wren::MinimalWindow window(client);

    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    if (const auto address = wren::ParseTelnetArgument(arguments)) {
        client.Open(address->Host, address->Host, address->Port);
        client.ConnectTo(address->Host, address->Port);
    } else {
        client.Open("Welcome!", "Welcome", 50000);
        client.WriteText("Welcome to Wren Client v" + globals.Version + "!\r\n"
                         "Start the program with telnet://host:port to play on a world.\r\n");
    }
    window.show();
    return app.exec();
}
