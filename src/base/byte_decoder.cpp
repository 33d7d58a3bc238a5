// SPDX-License-Identifier: GPL-3.0-or-later
// Turns the session's 8-bit text into characters for showing and editing.
#include "base/byte_decoder.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

namespace wren {

namespace {

// Windows-1252 for bytes 0x80..0x9F; the five bytes it leaves undefined map to the C1 control of that value.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t Cp1252(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? Cp1252High[byte - 0x80] : char16_t(byte);
}

// Length of the valid UTF-8 sequence at @p p (2 to 4), 0 when it is not one, -1 when it may still become one
// but the data ends first.
int Utf8Sequence(const unsigned char *p, qsizetype available, char32_t *codePoint)
{
    const unsigned char lead = p[0];
    int length;
    char32_t value;
    char32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    for (int k = 1; k < length; ++k) {
        if (k >= available)
            return -1;
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (p[k] & 0x3F);
        // Reject overlong forms, surrogates and values past U+10FFFF as soon as the second byte tells.
        if (k == 1
            && ((length == 3 && lead == 0xE0 && p[1] < 0xA0) || (length == 3 && lead == 0xED && p[1] >= 0xA0)
                || (length == 4 && lead == 0xF0 && p[1] < 0x90) || (length == 4 && lead == 0xF4 && p[1] >= 0x90)))
            return 0;
    }
    if (value < minimum)
        return 0;
    *codePoint = value;
    return length;
}

template <typename Sink>
qsizetype DecodeInto(QByteArrayView bytes, bool streaming, Sink &&sink)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            sink(char32_t(c), i);
            ++i;
            continue;
        }
        char32_t cp = 0;
        const int length = Utf8Sequence(p + i, n - i, &cp);
        if (length == -1 && streaming)
            return i; // keep the unfinished character for the next piece
        if (length > 0) {
            sink(cp, i);
            i += length;
        } else {
            sink(char32_t(Cp1252(c)), i);
            ++i;
        }
    }
    return n;
}

void Append(QString &out, char32_t cp)
{
    if (cp < 0x10000) {
        out.append(QChar(char16_t(cp)));
    } else {
        out.append(QChar(QChar::highSurrogate(cp)));
        out.append(QChar(QChar::lowSurrogate(cp)));
    }
}

} // namespace

QString DecodeBytes(QByteArrayView bytes)
{
    QString out;
    out.reserve(bytes.size());
    DecodeInto(bytes, false, [&](char32_t cp, qsizetype) { Append(out, cp); });
    return out;
}

QString DecodeForDisplay(QByteArrayView bytes, std::vector<int> *charToByte, const std::vector<qint32> *objects)
{
    QString out;
    out.reserve(bytes.size());
    if (charToByte) {
        charToByte->clear();
        charToByte->reserve(static_cast<size_t>(bytes.size()) + 1);
    }
    DecodeInto(bytes, false, [&](char32_t cp, qsizetype at) {
        const qsizetype before = out.size();
        if (cp == '\t') {
            do
                out.append(QLatin1Char(' '));
            while (out.size() % 8 != 0);
        } else if (cp == 0 && objects
                   && std::binary_search(objects->begin(), objects->end(), static_cast<qint32>(at))) {
            out.append(QChar(QChar::ObjectReplacementCharacter));
        } else if (cp < 0x20 || cp == 0x7F) {
            return;
        } else if (cp == QChar::ObjectReplacementCharacter) {
            out.append(QChar(QChar::ReplacementCharacter)); // only pictures stand as objects in the text
        } else {
            Append(out, cp);
        }
        if (charToByte)
            charToByte->insert(charToByte->end(), static_cast<size_t>(out.size() - before), static_cast<int>(at));
    });
    if (charToByte)
        charToByte->push_back(static_cast<int>(bytes.size()));
    return out;
}

QByteArray EncodeLine(const QString &text, bool utf8)
{
    if (utf8)
        return text.toUtf8();
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.append(static_cast<char>(u));
            continue;
        }
        int cp1252 = -1;
        for (int k = 0; k < 32; ++k) {
            // The five bytes Windows-1252 leaves undefined decode to C1 controls; those are not typed.
            if (Cp1252High[k] == u && !(u >= 0x80 && u < 0xA0))
                cp1252 = 0x80 + k;
        }
        if (cp1252 < 0 && QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i; // one character, one "?"
        out.append(cp1252 >= 0 ? static_cast<char>(cp1252) : '?');
    }
    return out;
}

bool HoldsUtf8Sequence(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        // Eight bytes at a time while none has its top bit set: what most text is.
        while (i + 8 <= n) {
            quint64 word;
            std::memcpy(&word, p + i, sizeof word);
            if (word & 0x8080808080808080ULL)
                break;
            i += 8;
        }
        while (i < n && p[i] < 0x80)
            ++i;
        if (i >= n)
            return false;
        char32_t cp = 0;
        const int length = Utf8Sequence(p + i, n - i, &cp);
        if (length > 0)
            return true;
        ++i;
    }
    return false;
}

QString StreamDecoder::Decode(QByteArrayView bytes)
{
    QByteArray data = m_pending;
    data.append(bytes);
    QString out;
    const qsizetype used = DecodeInto(QByteArrayView(data), true, [&](char32_t cp, qsizetype) { Append(out, cp); });
    m_pending = data.mid(used);
    return out;
}

QString StreamDecoder::Flush()
{
    QString out;
    for (char c : m_pending)
        out.append(QChar(Cp1252(static_cast<unsigned char>(c))));
    m_pending.clear();
    return out;
}

} // namespace wren
