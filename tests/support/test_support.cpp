// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers the tests share: readable bytes in failure messages, waiting on the event loop, fixtures.
#include "support/test_support.h"

#include "session/session_document.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cstdio>
#include <zlib.h>

QT_BEGIN_NAMESPACE
void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '"' << wren::test::Escaped(bytes) << '"';
}

void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace wren::test {

std::string Escaped(const QByteArray &bytes)
{
    std::string out;
    static const char hex[] = "0123456789ABCDEF";
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (u < 32 || u >= 127) {
            out += "\\x";
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

namespace {

// One turn of the program's event loop, deferred deletions included (processEvents alone leaves those to
// the loop that runs the program).
void Turn()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QThread::msleep(1);
}

} // namespace

bool WaitFor(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        Turn();
    }
    return true;
}

void Pump(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        Turn();
}

std::string Hex(int colour)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x%02x", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    return colour < 0 ? std::string("none") : std::string(text);
}

std::string Render(const SessionDocument &document)
{
    std::string out;
    bool first = true;
    for (const Paragraph &p : document.Paragraphs()) {
        if (!first)
            out += "|";
        first = false;
        if (p.Align == Alignment::Center)
            out += "(center)";
        else if (p.Align == Alignment::Right)
            out += "(right)";
        size_t picture = 0;
        for (size_t r = 0; r < p.Runs.size(); ++r) {
            const TextAttributes &a = document.Styles().At(p.Runs[r].Style);
            out += "[" + Hex(a.Fore);
            if (a.FontName != "Courier New" || a.FontSize != 9)
                out += " " + a.FontName.toStdString() + " " + std::to_string(a.FontSize);
            if (a.Back != document.Background() && a.Back != document.PlainBackground())
                out += "/" + Hex(a.Back);
            if (a.Style & Bold)
                out += "B";
            if (a.Style & Italic)
                out += "I";
            if (a.Style & Underline)
                out += "U";
            if (a.Style & StrikeOut)
                out += "S";
            if (a.Style & Inverse)
                out += "R";
            out += "]";
            const qsizetype end = r + 1 < p.Runs.size() ? p.Runs[r + 1].Start : p.Text.size();
            for (qsizetype i = p.Runs[r].Start; i < end; ++i) {
                if (picture < p.Pictures.size() && p.Pictures[picture].Offset == i) {
                    const QImage &image = p.Pictures[picture++].Image;
                    out += "{picture " + std::to_string(image.width()) + "x" + std::to_string(image.height()) + "}";
                } else {
                    out += Escaped(p.Text.mid(i, 1));
                }
            }
        }
    }
    return out;
}

QByteArray ReadFixture(const QString &name)
{
    QFile file(QStringLiteral(WREN_FIXTURES "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray Deflate(const QByteArray &text, bool finish)
{
    z_stream z {};
    deflateInit(&z, Z_DEFAULT_COMPRESSION);
    QByteArray out(static_cast<qsizetype>(deflateBound(&z, static_cast<uLong>(text.size())) + 64), '\0');
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(text.constData()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, finish ? Z_FINISH : Z_SYNC_FLUSH);
    out.resize(static_cast<qsizetype>(z.total_out));
    deflateEnd(&z);
    return out;
}

} // namespace wren::test
