// SPDX-License-Identifier: GPL-3.0-or-later
// Small byte-string routines shared by the parsers, the command pipeline and the automation store.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstring>

namespace wren {

/// Replaces every occurrence of @p find in @p text, left to right, without searching inserted text again.
/// An empty @p find or an empty @p text leaves the text unchanged.
QByteArray ReplaceAll(const QByteArray &find, const QByteArray &replacement, const QByteArray &text);

/// Cuts @p text at every @p separator. One trailing separator is dropped first; empty pieces between two
/// separators are kept; an empty text gives no pieces.
QList<QByteArray> SplitText(const QByteArray &text, char separator);

/// The text before the first @p delimiter when that stands at position 2 or later, otherwise the whole text
/// (delimiter included). A result longer than two characters that ends in CR LF loses those two characters.
QByteArray FirstToken(const QByteArray &text, const QByteArray &delimiter);

/// Removes blanks and control characters (bytes up to 32) at both ends.
QByteArray TrimBlanks(const QByteArray &text);
/// Blanks and control characters removed at the start only.
QByteArray TrimLeadingBlanks(const QByteArray &text);
QByteArrayView TrimBlanks(QByteArrayView text);

/// Removes blanks (byte 32 only) at the end.
QByteArray TrimTrailingBlanks(const QByteArray &text);

/// The decimal number at the start of @p text after leading blanks; 0 when there are no leading digits.
/// Saturates instead of overflowing.
int LeadingNumber(QByteArrayView text);

/// Appends bytes with geometric growth and one memcpy (QByteArray::append is costly for many small pieces).
/// While the array owns room enough, the bytes are copied in place without a call into Qt. Every QByteArray
/// allocation keeps a byte past its capacity for the terminating zero, which is written after the copy.
void AppendBytesSlow(QByteArray &to, const char *data, qsizetype length);
inline void AppendBytes(QByteArray &to, const char *data, qsizetype length)
{
    QByteArray::DataPointer &d = to.data_ptr();
    if (length > 0 && !d.needsDetach() && d.freeSpaceAtEnd() >= length
        && !(data >= d.data() && data < d.data() + d.size)) {
        std::memcpy(d.data() + d.size, data, static_cast<size_t>(length));
        d.size += length;
        d.data()[d.size] = '\0';
        return;
    }
    AppendBytesSlow(to, data, length);
}
inline void AppendBytes(QByteArray &to, QByteArrayView bytes)
{
    AppendBytes(to, bytes.data(), bytes.size());
}

/// Removes every occurrence of one byte, scanning with memchr.
void RemoveByte(QByteArray &text, char byte);

} // namespace wren
