// SPDX-License-Identifier: GPL-3.0-or-later
// Small byte-string routines shared by the parsers, the command pipeline and the automation store.
#include "base/text_helpers.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace wren {

QByteArray ReplaceAll(const QByteArray &find, const QByteArray &replacement, const QByteArray &text)
{
    if (find.isEmpty() || text.isEmpty())
        return text;
    qsizetype at = text.indexOf(find);
    if (at < 0)
        return text;
    QByteArray result;
    result.reserve(text.size());
    qsizetype from = 0;
    while (at >= 0) {
        result.append(text.constData() + from, at - from);
        result.append(replacement);
        from = at + find.size();
        at = text.indexOf(find, from);
    }
    result.append(text.constData() + from, text.size() - from);
    return result;
}

QList<QByteArray> SplitText(const QByteArray &text, char separator)
{
    QList<QByteArray> pieces;
    if (text.isEmpty())
        return pieces;
    qsizetype end = text.size();
    if (text.back() == separator)
        --end;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(separator, from);
        if (at < 0 || at >= end) {
            pieces.append(text.mid(from, end - from));
            break;
        }
        pieces.append(text.mid(from, at - from));
        from = at + 1;
    }
    return pieces;
}

QByteArray FirstToken(const QByteArray &text, const QByteArray &delimiter)
{
    QByteArray result = text;
    const qsizetype at = delimiter.isEmpty() ? -1 : text.indexOf(delimiter);
    if (at >= 1)
        result.truncate(at);
    if (result.size() > 2 && result.endsWith("\r\n"))
        result.chop(2);
    return result;
}

QByteArray TrimBlanks(const QByteArray &text)
{
    return TrimBlanks(QByteArrayView(text)).toByteArray();
}

QByteArray TrimLeadingBlanks(const QByteArray &text)
{
    qsizetype begin = 0;
    while (begin < text.size() && static_cast<unsigned char>(text[begin]) <= 32)
        ++begin;
    return text.mid(begin);
}

QByteArrayView TrimBlanks(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32)
        --end;
    return text.sliced(begin, end - begin);
}

QByteArray TrimTrailingBlanks(const QByteArray &text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == ' ')
        --end;
    return text.left(end);
}

int LeadingNumber(QByteArrayView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(value);
}

void AppendBytesSlow(QByteArray &to, const char *data, qsizetype length)
{
    if (length <= 0)
        return;
    if (data >= to.constData() && data < to.constData() + to.size()) {
        // The array's own bytes: growing it may move them, so they are copied out first.
        const QByteArray copy(data, length);
        AppendBytesSlow(to, copy.constData(), length);
        return;
    }
    const qsizetype size = to.size();
    if (to.capacity() < size + length)
        to.reserve(std::max<qsizetype>(size + length, 2 * to.capacity()));
    to.resize(size + length);
    std::memcpy(to.data() + size, data, static_cast<size_t>(length));
}

void RemoveByte(QByteArray &text, char byte)
{
    const char *data = text.constData();
    const qsizetype size = text.size();
    const char *first = static_cast<const char *>(std::memchr(data, byte, static_cast<size_t>(size)));
    if (!first)
        return;
    qsizetype write = first - data; // before data(), which may detach and move the bytes
    char *out = text.data();
    qsizetype read = write + 1;
    while (read < size) {
        const char *next = static_cast<const char *>(std::memchr(out + read, byte, static_cast<size_t>(size - read)));
        const qsizetype end = next ? next - out : size;
        std::memmove(out + write, out + read, static_cast<size_t>(end - read));
        write += end - read;
        read = end + 1;
    }
    text.truncate(write);
}

} // namespace wren
