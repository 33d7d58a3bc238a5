// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary server blocks through the telnet layer, the splitter, the ANSI parser and the line store.
#include "config/program_folder.h"
#include "markup/chunk_splitter.h"
#include "session/client.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstdio>

namespace {

QGuiApplication *App = nullptr;
QTemporaryDir *Folder = nullptr;

void Check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// Same paragraphs, bytes and run attributes (style numbers may differ between documents).
bool SameContent(const wren::SessionDocument &a, const wren::SessionDocument &b)
{
    const auto &pa = a.Paragraphs();
    const auto &pb = b.Paragraphs();
    if (pa.size() != pb.size())
        return false;
    for (size_t i = 0; i < pa.size(); ++i) {
        if (pa[i].Text != pb[i].Text || pa[i].Runs.size() != pb[i].Runs.size())
            return false;
        for (size_t r = 0; r < pa[i].Runs.size(); ++r) {
            if (pa[i].Runs[r].Start != pb[i].Runs[r].Start
                || !(a.Styles().At(pa[i].Runs[r].Style) == b.Styles().At(pb[i].Runs[r].Style)))
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    App = new QGuiApplication(*argc, *argv);
    Folder = new QTemporaryDir;
    wren::SetProgramFolder(Folder->path());
    return 0;
}

// The first byte chooses the session's switches; the rest is cut into blocks at every 0x00 0x00 pair,
// so the fuzzer also explores escapes, tags, telnet commands and characters split between reads.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    wren::TGlobals globals;
    const uint8_t flags = data[0];
    globals.GlobalZel = flags & 1;
    // The same blocks go through the splitter's fast lane and through its general path alone.
    wren::TClient client(globals);
    wren::TClient general(globals);
    general.Incoming().FastLane = false;
    for (wren::TClient *c : {&client, &general}) {
        c->Options.ZelEnabled = flags & 2;
        c->Options.AnsiColor = !(flags & 4);
        c->Options.UseBrightColors = flags & 8;
        c->Options.LineEnd = (flags & 16) ? "\r" : "\n";
        c->Options.MaxLines = (flags & 32) ? 5 : 50;
        c->Options.EnableTriggers = !(flags & 64);
        if (flags & 128)
            c->Display.SetWidth(40);
    }
    const QByteArray input(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));
    qsizetype from = 0;
    while (from <= input.size()) {
        qsizetype at = input.indexOf(QByteArray("\0\0", 2), from);
        if (at < 0)
            at = input.size();
        client.ReceiveBytes(input.mid(from, at - from));
        general.ReceiveBytes(input.mid(from, at - from));
        Check(client.AnsiBuffer.size() <= wren::MaxEscapeLength, "escape buffer limit");
        Check(client.TagBuffer.size() <= wren::MaxTagLength, "tag buffer limit");
        Check(client.LineBuffer.isEmpty(), "the line buffer is emptied at the end of every block");
        Check(client.Display.RowCount() <= client.Options.EffectiveMaxLines() + 50, "line limit");
        Check(client.AnsiBuffer == general.AnsiBuffer && client.TagBuffer == general.TagBuffer
                  && client.Options.InAnsi == general.Options.InAnsi && client.Options.InTag == general.Options.InTag,
              "the fast lane leaves the splitter's state as the general path does");
        from = at + 2;
    }
    Check(SameContent(client.Display, general.Display), "the fast lane shows what the general path shows");
    return 0;
}
