// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a world's automation file with the manual's examples (aliases, triggers, macros, events,
// variables) and a few saved and listed worlds, so the manual's pictures show what the manual explains.
#include "automation/advanced_file.h"
#include "automation/automation_store.h"
#include "config/save_file.h"
#include "ui/world_list.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_manual_world folder host.port\n");
        return 2;
    }
    wren::AutomationStore store;
    store.AddAlias("k", "kill %1", "Main");
    store.AddAlias("t", "say %1 told me: %rest", "Main");
    store.AddAlias("loop", ".2n2e;look", "Walks");
    store.AddTrigger("^(\\w+) arrives\\.$", "say Welcome, $1!", "Main", 1);
    store.AddTrigger("You are hungry", "/ECHO Time to eat: @food", "Main", 1);
    store.AddTrigger("damn", "darn", "Main", 0);
    store.AddMacro("F2", 113, "Main", "look", 0);
    store.AddMacro("F3", 114, "Main", "say Hello, everyone!", 0);
    store.AddEvent("On Connect", "/ECHO Connected: have fun!", "Main");
    store.AddVariable("@food", "bread", "Main", 0);
    store.AddVariable("@target", "rat", "Main", 0);
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QString path = folder.filePath(QString::fromLocal8Bit(argv[2]) + QStringLiteral(".wn2"));
    QString error;
    if (!wren::SaveAdvanced(path, store, &error)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(error));
        return 1;
    }
    // The connection manager's lists: your worlds, and a public list (a number, the name, host, port and web
    // site, TAB-separated).
    const QList<wren::SavedWorld> worlds = {{"Demo world", "127.0.0.1", "4000"},
                                            {"Demo world (TLS)", "127.0.0.1", "4443"},
                                            {"My MUD", "mud.example.org", "4000"}};
    const QByteArray listed = "1\tExample Realms\tmud.example.org\t4000\thttp://mud.example.org/\r\n"
                              "2\tQuiet Harbour\tharbour.example.net\t7000\thttp://harbour.example.net/\r\n"
                              "3\tOld Keep\tkeep.example.com\t23\thttp://keep.example.com/\r\n";
    if (!wren::SaveFileAtomically(folder.filePath(QStringLiteral("muds.ini")), wren::WorldListBytes(worlds), &error)
        || !wren::SaveFileAtomically(folder.filePath(QStringLiteral("mudlist.txt")), listed, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
