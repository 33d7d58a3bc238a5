// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers the tests share: readable bytes in failure messages, waiting on the event loop, fixtures.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <ostream>

QT_BEGIN_NAMESPACE
void PrintTo(const QByteArray &bytes, std::ostream *os);
void PrintTo(const QString &text, std::ostream *os);
QT_END_NAMESPACE

namespace wren {
class SessionDocument;
}

namespace wren::test {

/// A byte string from a literal, embedded NUL bytes included.
template<size_t N>
QByteArray B(const char (&literal)[N])
{
    return QByteArray(literal, static_cast<qsizetype>(N - 1));
}

/// Bytes written with C escapes, for messages.
std::string Escaped(const QByteArray &bytes);

/// Runs the event loop until @p done holds or @p timeoutMs passes; returns whether it held.
bool WaitFor(const std::function<bool()> &done, int timeoutMs = 5000);

/// Runs the event loop for @p ms milliseconds.
void Pump(int ms);

QByteArray ReadFixture(const QString &name);

/// A zlib stream of @p text (as MCCP2 sends it); with @p finish false it is flushed but left open, as a
/// server that goes on compressing leaves it.
QByteArray Deflate(const QByteArray &text, bool finish = true);

/// The document as text: paragraphs joined by "|", each run as "[rrggbb(/background)( font size)(BIUSR)]" (R: inverse) +
/// its bytes, a picture as "{picture WxH}", a centred or right-aligned paragraph led by "(center)" or
/// "(right)". The background shows only where it differs from the view's, the font where it is not the
/// default Courier New 9.
std::string Render(const SessionDocument &document);
std::string Hex(int colour);

} // namespace wren::test
