// SPDX-License-Identifier: GPL-3.0-or-later
// wren-demo-world: runs the bundled demo world on 127.0.0.1 until it is killed.
#include "demo/demo_world.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("wren-demo-world"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A small MUD server on 127.0.0.1 for trying out Wren Client."));
    parser.addHelpOption();
    const QCommandLineOption portOption({QStringLiteral("p"), QStringLiteral("port")},
                                        QStringLiteral("Listen on port <N> (default 4000, 0 picks a free one)."),
                                        QStringLiteral("N"), QStringLiteral("4000"));
    parser.addOption(portOption);
    const QCommandLineOption securePortOption(
        {QStringLiteral("s"), QStringLiteral("secure-port")},
        QStringLiteral("Listen for TLS on port <N> (default 4443, 0 picks a free one, \"off\" for none)."),
        QStringLiteral("N"), QStringLiteral("4443"));
    parser.addOption(securePortOption);
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);

    bool ok = false;
    const uint port = parser.value(portOption).toUInt(&ok);
    if (!ok || port > 65535) {
        err << "wren-demo-world: not a port number: " << parser.value(portOption) << Qt::endl;
        return 2;
    }

    wren::demo::DemoWorld world;
    if (!world.listen(QHostAddress::LocalHost, static_cast<quint16>(port))) {
        err << "wren-demo-world: cannot listen on 127.0.0.1:" << port << ": " << world.errorString() << Qt::endl;
        return 1;
    }
    out << "Demo world listening on 127.0.0.1:" << world.port() << Qt::endl;
    if (parser.value(securePortOption) != QStringLiteral("off")) {
        const uint securePort = parser.value(securePortOption).toUInt(&ok);
        if (!ok || securePort > 65535) {
            err << "wren-demo-world: not a port number: " << parser.value(securePortOption) << Qt::endl;
            return 2;
        }
        if (world.listenSecure(QHostAddress::LocalHost, static_cast<quint16>(securePort)))
            out << "Secure (TLS, self-signed) on 127.0.0.1:" << world.securePort() << " - telnets://127.0.0.1:"
                << world.securePort() << Qt::endl;
        else
            err << "wren-demo-world: no TLS port (cannot listen, or no TLS backend)" << Qt::endl;
    }

    return QCoreApplication::exec();
}
