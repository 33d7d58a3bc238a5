// SPDX-License-Identifier: GPL-3.0-or-later
// The telnet layer between the socket and the text pipeline: consumes IAC commands, negotiates the options
// the client supports and refuses the rest, and inflates a compressed stream.
#include "session/telnet_filter.h"

#include <cstring>
#include <zlib.h>

namespace wren {

namespace {
constexpr unsigned char IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, GA = 249, SE = 240,
                        EOR = 239;
// TTYPE and CHARSET subnegotiation codes.
constexpr unsigned char TtypeIs = 0, TtypeSend = 1;
constexpr unsigned char CharsetRequest = 1, CharsetAccepted = 2, CharsetRejected = 3;
// MTTS flags: what the client renders, reported in the third terminal type.
constexpr int MttsAnsi = 1, MttsUtf8 = 4, Mtts256 = 8, MttsTrueColour = 256, MttsSsl = 2048;
constexpr qsizetype InflateChunk = qsizetype(64) * 1024;

bool IsUtf8Name(QByteArrayView name)
{
    const QByteArray upper = name.trimmed().toByteArray().toUpper();
    return upper == "UTF-8" || upper == "UTF8";
}
} // namespace

struct TelnetFilter::Inflater {
    z_stream Stream {};
    bool Ready = false;
    qint64 In = 0; ///< compressed bytes taken so far
    qint64 Out = 0; ///< bytes they gave
    Inflater() { Ready = inflateInit(&Stream) == Z_OK; }
    ~Inflater()
    {
        if (Ready)
            inflateEnd(&Stream);
    }
    Inflater(const Inflater &) = delete;
    Inflater &operator=(const Inflater &) = delete;
};

TelnetFilter::TelnetFilter() = default;
TelnetFilter::~TelnetFilter() = default;

void TelnetFilter::Reset()
{
    m_state = State::Data;
    m_sub.clear();
    m_subOverflow = false;
    m_remote.reset();
    m_local.reset();
    m_refusedWill.reset();
    m_refusedDo.reset();
    m_utf8 = false;
    m_ttypeRequests = 0;
    m_inflater.reset();
    m_pending.clear();
    m_capped = false;
    m_abandoned = false;
}

void TelnetFilter::Answer(Output &out, unsigned char verb, unsigned char option)
{
    const char bytes[3] = {static_cast<char>(IAC), static_cast<char>(verb), static_cast<char>(option)};
    out.Replies.append(bytes, 3);
    out.Negotiations.append({true, verb, option, {}});
}

QByteArray TelnetFilter::SubnegotiationMessage(unsigned char option, QByteArrayView payload)
{
    QByteArray message;
    Subnegotiate(message, option, payload);
    return message;
}

void TelnetFilter::Subnegotiate(QByteArray &replies, unsigned char option, QByteArrayView payload)
{
    const char head[3] = {static_cast<char>(IAC), static_cast<char>(SB), static_cast<char>(option)};
    replies.append(head, 3);
    for (const char c : payload) {
        replies.append(c);
        if (static_cast<unsigned char>(c) == IAC)
            replies.append(c);
    }
    const char tail[2] = {static_cast<char>(IAC), static_cast<char>(SE)};
    replies.append(tail, 2);
}

QByteArray TelnetFilter::WindowSizeMessage(int columns, int rows)
{
    const auto word = [](int value) {
        const int v = std::clamp(value, 1, 65535);
        const char bytes[2] = {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
        return QByteArray(bytes, 2);
    };
    QByteArray replies;
    Subnegotiate(replies, Naws, word(columns) + word(rows));
    return replies;
}

// What the server may perform: it hides the typed text (ECHO), marks prompts (EOR), compresses (MCCP2), or
// offers a character set.
bool TelnetFilter::WantRemote(unsigned char option) const
{
    switch (option) {
    case Echo: return m_allowed.Echo;
    case Eor: return m_allowed.EndOfRecord;
    case Mccp2: return m_allowed.Compression;
    case Charset: return m_allowed.Charset;
    case Gmcp: return m_allowed.Gmcp;
    case Msdp: return m_allowed.Msdp;
    case Mssp: return m_allowed.Mssp;
    default: return false;
    }
}

// What we perform when the server asks: report the window size, the terminal type, take a character set.
bool TelnetFilter::WantLocal(unsigned char option) const
{
    switch (option) {
    case Naws: return m_allowed.WindowSize;
    case Ttype: return m_allowed.TerminalType;
    case Charset: return m_allowed.Charset;
    default: return false;
    }
}

// One WILL, WONT, DO or DONT. An agreed option is answered only when its state changes; a refusal once until
// the server changes its mind; a refusal from the server is acknowledged only for an option that was on.
void TelnetFilter::Verb(Output &out, unsigned char verb, unsigned char option)
{
    out.Negotiations.append({false, verb, option, {}});
    const bool remote = verb == WILL || verb == WONT;
    std::bitset<256> &agreed = remote ? m_remote : m_local;
    std::bitset<256> &refused = remote ? m_refusedWill : m_refusedDo;
    if (verb == WILL || verb == DO) {
        if (!(remote ? WantRemote(option) : WantLocal(option))) {
            if (!refused[option])
                Answer(out, remote ? DONT : WONT, option);
            refused[option] = true;
        } else if (!agreed[option]) {
            agreed[option] = true;
            Answer(out, remote ? DO : WILL, option);
            Agreed(out, remote, option);
        }
        return;
    }
    refused[option] = false;
    if (agreed[option]) {
        agreed[option] = false;
        Answer(out, remote ? DONT : WONT, option);
        Ended(option);
    }
}

// An option the server turned off: UTF-8 ends with the last side of CHARSET.
void TelnetFilter::Ended(unsigned char option)
{
    if (option == Charset && !m_remote[Charset] && !m_local[Charset])
        m_utf8 = false;
}

// What an option just agreed starts: game data is greeted, the window size sent, the terminal types begin.
void TelnetFilter::Agreed(Output &out, bool remote, unsigned char option)
{
    if (remote && IsGameData(option))
        out.GameDataStarted.append(option);
    else if (!remote && option == Naws)
        out.WindowSizeWanted = true;
    else if (!remote && option == Ttype)
        m_ttypeRequests = 0;
}

QByteArray TelnetFilter::TerminalType()
{
    // As MTTS asks: the client's name, then its terminal, then the flags; the last is repeated once to end
    // the list, and the request after that starts it again.
    const int step = m_ttypeRequests++;
    if (m_ttypeRequests >= 4)
        m_ttypeRequests = 0;
    if (step == 0)
        return "WREN";
    if (step == 1)
        return m_allowed.ModernColours ? "ANSI-TRUECOLOR" : "ANSI";
    int flags = MttsAnsi | MttsUtf8;
    if (m_allowed.ModernColours)
        flags |= Mtts256 | MttsTrueColour;
    if (m_secure)
        flags |= MttsSsl;
    return "MTTS " + QByteArray::number(flags);
}

bool TelnetFilter::Subnegotiation(Output &out)
{
    if (m_sub.isEmpty())
        return false;
    const auto option = static_cast<unsigned char>(m_sub[0]);
    const QByteArrayView payload = QByteArrayView(m_sub).sliced(1);
    switch (option) {
    case Gmcp:
    case Msdp:
    case Mssp:
        // Game data is passed on only once agreed: what a server sends before that is dropped.
        if (m_remote[option])
            out.GameMessages.append({option, payload.toByteArray(), false});
        return false;
    case Mccp2:
        // IAC SB 86 IAC SE: everything after it is compressed (once agreed, and not already compressing).
        return m_remote[Mccp2] && !m_inflater && payload.isEmpty();
    case Ttype:
        if (m_local[Ttype] && payload.size() == 1 && static_cast<unsigned char>(payload[0]) == TtypeSend)
            Subnegotiate(out.Replies, Ttype, QByteArray(1, static_cast<char>(TtypeIs)) + TerminalType());
        return false;
    case Charset: {
        if (!(m_local[Charset] || m_remote[Charset]) || payload.isEmpty()
            || static_cast<unsigned char>(payload[0]) != CharsetRequest)
            return false;
        QByteArrayView list = payload.sliced(1);
        // An optional translation-table marker and its version byte come before the list.
        if (list.startsWith("[TTABLE]"))
            list = list.sliced(std::min<qsizetype>(9, list.size()));
        bool utf8 = false;
        if (!list.isEmpty()) {
            const char separator = list[0];
            for (const QByteArray &name : list.sliced(1).toByteArray().split(separator))
                utf8 = utf8 || IsUtf8Name(name);
        }
        if (utf8) {
            m_utf8 = true;
            Subnegotiate(out.Replies, Charset, QByteArray(1, static_cast<char>(CharsetAccepted)) + "UTF-8");
        } else {
            Subnegotiate(out.Replies, Charset, QByteArray(1, static_cast<char>(CharsetRejected)));
        }
        return false;
    }
    default: return false;
    }
}

void TelnetFilter::Abandon(Output &out, const QByteArray &notice)
{
    m_inflater.reset();
    m_pending.clear();
    m_capped = false;
    m_abandoned = true;
    m_state = State::Data;
    out.Notices.append(notice);
    out.Abandon = true;
}

// Inflates compressed bytes and parses what they give, until the input is used up or this step has given
// MaxInflatedPerRead bytes; then it stops (m_capped) and the caller keeps the rest for the next step, so a
// large read costs bounded memory and loses nothing. A stream that expands like a compression bomb is ended.
qsizetype TelnetFilter::Inflate(const char *data, qsizetype size, QByteArray &text, Output &out, qint64 &inflated)
{
    Inflater &inflater = *m_inflater;
    z_stream &z = inflater.Stream;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
    z.avail_in = static_cast<uInt>(size);
    const qint64 inBefore = inflater.In;
    QByteArray plain;
    plain.reserve(InflateChunk);
    for (;;) {
        plain.resize(InflateChunk);
        z.next_out = reinterpret_cast<Bytef *>(plain.data());
        z.avail_out = static_cast<uInt>(InflateChunk);
        const int rc = inflate(&z, Z_NO_FLUSH);
        const qsizetype produced = InflateChunk - z.avail_out;
        const qsizetype used = size - static_cast<qsizetype>(z.avail_in);
        plain.resize(produced);
        inflated += produced;
        inflater.Out += produced;
        inflater.In = inBefore + used;
        if (inflater.Out >= BombFloor && inflater.Out > MaxExpansion * std::max<qint64>(inflater.In, 1)) {
            Abandon(out, "The server's compressed text expands more than " + QByteArray::number(MaxExpansion)
                             + " times, like a compression bomb; the rest of it is dropped and the connection is "
                               "closed.\r\n");
            return size;
        }
        Parse(reinterpret_cast<const unsigned char *>(plain.constData()), plain.size(), text, out);
        if (rc == Z_STREAM_END) {
            // The server ended compression: the bytes after the stream are plain again.
            m_inflater.reset();
            m_capped = false;
            return used;
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            // What follows is compressed too and can never be read: it is dropped, not shown as text.
            Abandon(out, "Compressed text from the server could not be read (" + QByteArray(z.msg ? z.msg : "error")
                             + "); the rest of it is dropped and the connection is closed.\r\n");
            return size;
        }
        if (z.avail_out != 0 || rc == Z_BUF_ERROR) {
            m_capped = false;
            return size; // all input taken and all output given
        }
        if (inflated >= MaxInflatedPerRead) {
            m_capped = true; // zlib may hold more output even when all input is taken
            return used;
        }
    }
}

TelnetFilter::Output TelnetFilter::Feed(const QByteArray &bytes)
{
    Output out;
    out.AgreedUtf8 = m_utf8;
    if (m_abandoned) {
        out.Segments.append(QByteArray());
        return out;
    }
    // Fast path: plain text with no command pending is passed on without a copy.
    if (m_state == State::Data && !m_inflater && m_pending.isEmpty()
        && !std::memchr(bytes.constData(), IAC, static_cast<size_t>(bytes.size()))) {
        out.Segments.append(bytes);
        return out;
    }
    QByteArray input;
    if (m_pending.isEmpty()) {
        input = bytes;
    } else {
        input = std::exchange(m_pending, QByteArray());
        input += bytes;
    }
    QByteArray text;
    text.reserve(std::min<qsizetype>(input.size(), MaxInflatedPerRead));
    qint64 inflated = 0;
    qsizetype at = 0;
    while (!m_abandoned) {
        if (m_inflater && (at < input.size() || m_capped)) {
            if (inflated >= MaxInflatedPerRead) {
                // This step has given enough: the rest waits for the next one.
                m_pending = input.mid(at);
                m_capped = true;
                out.MorePending = true;
                break;
            }
            at += Inflate(input.constData() + at, input.size() - at, text, out, inflated);
            continue;
        }
        if (at >= input.size())
            break;
        at += Parse(reinterpret_cast<const unsigned char *>(input.constData()) + at, input.size() - at, text, out);
    }
    out.Segments.append(text);
    out.AgreedUtf8 = m_utf8;
    return out;
}

// The parser's states, in the order a command's bytes come: text, IAC, the option of a verb, and a
// subnegotiation with the IAC inside it. Each state's function takes what it can and says where it stopped.
qsizetype TelnetFilter::Parse(const unsigned char *data, qsizetype size, QByteArray &text, Output &out)
{
    qsizetype i = 0;
    while (i < size) {
        switch (m_state) {
        case State::Data: i = InData(data, size, i, text); break;
        case State::Iac: InIac(data[i++], text, out); break;
        case State::Will:
        case State::Wont:
        case State::Do:
        case State::Dont: InVerb(data[i++], out); break;
        case State::Sub: i = InSub(data, size, i); break;
        case State::SubIac:
            if (InSubIac(data[i], i, out))
                return i; // the rest is compressed
            break;
        }
    }
    return i;
}

// Text up to the next IAC, in one piece.
qsizetype TelnetFilter::InData(const unsigned char *data, qsizetype size, qsizetype at, QByteArray &text)
{
    const void *iac = std::memchr(data + at, IAC, static_cast<size_t>(size - at));
    const qsizetype end = iac ? static_cast<const unsigned char *>(iac) - data : size;
    text.append(reinterpret_cast<const char *>(data + at), end - at);
    if (!iac)
        return end;
    m_state = State::Iac;
    return end + 1;
}

// The byte after IAC: an escaped 255, a verb, the start of a subnegotiation, a prompt end, or a two-byte
// command (NOP, AYT, ...) or junk, both of which are dropped.
void TelnetFilter::InIac(unsigned char c, QByteArray &text, Output &out)
{
    m_state = State::Data;
    switch (c) {
    case IAC: text.append(static_cast<char>(IAC)); break;
    case WILL: m_state = State::Will; break;
    case WONT: m_state = State::Wont; break;
    case DO: m_state = State::Do; break;
    case DONT: m_state = State::Dont; break;
    case SB:
        m_state = State::Sub;
        m_sub.clear();
        m_subOverflow = false;
        m_subLimit = MaxSubnegotiation;
        break;
    case GA:
    case EOR:
        out.Segments.append(text);
        text.clear();
        break;
    default: break;
    }
}

void TelnetFilter::InVerb(unsigned char option, Output &out)
{
    const unsigned char verb = m_state == State::Will   ? WILL
                               : m_state == State::Wont ? WONT
                               : m_state == State::Do   ? DO
                                                        : DONT;
    m_state = State::Data;
    Verb(out, verb, option);
}

// A subnegotiation's bytes up to the next IAC. Past its limit it is given up: the rest of it, up to its
// IAC SE, is dropped rather than kept or shown. A game data message keeps its start, so that it can be
// reported.
qsizetype TelnetFilter::InSub(const unsigned char *data, qsizetype size, qsizetype at)
{
    const void *iac = std::memchr(data + at, IAC, static_cast<size_t>(size - at));
    const qsizetype end = iac ? static_cast<const unsigned char *>(iac) - data : size;
    if (!m_subOverflow)
        KeepSubBytes(reinterpret_cast<const char *>(data + at), end - at);
    if (!iac)
        return end;
    m_state = State::SubIac;
    return end + 1;
}

// The byte after an IAC inside a subnegotiation: SE ends it, IAC is an escaped data byte, and any other
// command ends it and is read again as a command.
bool TelnetFilter::InSubIac(unsigned char c, qsizetype &at, Output &out)
{
    if (c == SE) {
        ++at;
        m_state = State::Data;
        if (m_subOverflow && !m_sub.isEmpty() && m_remote[static_cast<unsigned char>(m_sub[0])])
            out.GameMessages.append({static_cast<unsigned char>(m_sub[0]), m_sub.sliced(1), true});
        else if (!m_subOverflow && !m_sub.isEmpty() && !IsGameData(static_cast<unsigned char>(m_sub[0])))
            out.Negotiations.append({false, SB, static_cast<unsigned char>(m_sub[0]), m_sub.sliced(1)});
        const bool compress = !m_subOverflow && Subnegotiation(out);
        m_sub.clear();
        m_subOverflow = false;
        if (!compress)
            return false;
        m_inflater = std::make_unique<Inflater>();
        if (!m_inflater->Ready)
            Abandon(out, "Compression could not be started; the connection is closed.\r\n");
        return true;
    }
    if (c == IAC) {
        ++at;
        m_state = State::Sub;
        if (!m_subOverflow) {
            const char iac = static_cast<char>(IAC);
            KeepSubBytes(&iac, 1);
        }
        return false;
    }
    m_state = State::Iac;
    m_sub.clear();
    m_subOverflow = false;
    return false;
}

bool TelnetFilter::IsGameData(unsigned char option)
{
    return option == Gmcp || option == Msdp || option == Mssp;
}

// Appends to the subnegotiation being read, within its limit; the option byte, once known, sets the limit.
void TelnetFilter::KeepSubBytes(const char *bytes, qsizetype count)
{
    if (m_sub.isEmpty() && count > 0) {
        const auto option = static_cast<unsigned char>(bytes[0]);
        m_subLimit = option == Gmcp || option == Msdp ? MaxGameDataSubnegotiation : MaxSubnegotiation;
    }
    const qsizetype room = m_subLimit - m_sub.size();
    m_sub.append(bytes, std::min(room, count));
    if (count > room) {
        m_subOverflow = true;
        if (!IsGameData(static_cast<unsigned char>(m_sub[0])))
            m_sub.clear();
    }
}

} // namespace wren
