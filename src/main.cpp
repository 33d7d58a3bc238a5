// SPDX-License-Identifier: GPL-3.0-or-later
// Program entry: the command line (--help, --version, telnet://host:port), the main window and the welcome session.
#include "config/globals.h"
#include "ui/main_window.h"
#include "ui/startup_args.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The command line is read before the application exists: --help, --version and a bad argument need
    // no display and open no window.
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    const wren::CommandLine commandLine = wren::ParseCommandLine(arguments);
    switch (commandLine.What) {
    case wren::CommandLine::Action::Help: std::fputs(wren::UsageText().constData(), stdout); return 0;
    case wren::CommandLine::Action::Version:
        std::fputs(wren::VersionText(wren::TGlobals().Version).constData(), stdout);
        return 0;
    case wren::CommandLine::Action::Invalid:
        std::fprintf(stderr, "wren: %s\n\n%s", commandLine.Problem.constData(), wren::UsageText().constData());
        return 2;
    case wren::CommandLine::Action::Run: break;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wren Client"));
    // Ties the window to the installed desktop entry (its icon and name on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral(WREN_APP_ID));

    wren::TGlobals globals;
    wren::TfrmMain window(globals);
    window.Start(commandLine.StartArguments);
    window.show();
    return app.exec();
}
