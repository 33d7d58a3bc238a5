// SPDX-License-Identifier: GPL-3.0-or-later
// Turns the session's 8-bit text into characters for showing and editing.
#pragma once

#include <QByteArrayView>
#include <QString>

#include <vector>

namespace wren {

/// Decodes bytes as UTF-8 where they form valid UTF-8 and byte by byte as Windows-1252 elsewhere.
QString DecodeBytes(QByteArrayView bytes);

/// Decodes one paragraph for display: as DecodeBytes, with tabs expanded to the next multiple of eight
/// columns and other control characters left out, except the NUL bytes at @p objects (sorted byte offsets
/// of inline pictures), each of which becomes U+FFFC. @p charToByte, when given, receives for every
/// character the byte offset it came from, plus one final entry with the byte length.
QString DecodeForDisplay(QByteArrayView bytes, std::vector<int> *charToByte = nullptr,
                         const std::vector<qint32> *objects = nullptr);

/// A typed line as the world gets it, by one rule for the whole line: UTF-8 when @p utf8 (the world's text
/// has been UTF-8), otherwise Windows-1252, each character it cannot hold sent as "?".
QByteArray EncodeLine(const QString &text, bool utf8);

/// Whether @p bytes hold at least one valid multi-byte UTF-8 sequence.
bool HoldsUtf8Sequence(QByteArrayView bytes);

/// Decodes a stream that arrives in pieces: a character cut between two pieces is kept until it completes.
class StreamDecoder
{
public:
    QString Decode(QByteArrayView bytes);
    /// Whatever is held back (an unfinished character) decoded as Windows-1252.
    QString Flush();

private:
    QByteArray m_pending;
};

} // namespace wren
