// SPDX-License-Identifier: GPL-3.0-or-later
// The telnet layer between the socket and the text pipeline: consumes IAC commands and refuses options.
#include "session/telnet_filter.h"

#include <cstring>

namespace wren {

namespace {
constexpr unsigned char IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, GA = 249, SE = 240,
                        EOR = 239;
}

void TelnetFilter::Reset()
{
    m_state = State::Data;
    m_subLength = 0;
    m_refusedWill.reset();
    m_refusedDo.reset();
}

void TelnetFilter::Answer(QByteArray &replies, unsigned char verb, unsigned char option)
{
    const char bytes[3] = {static_cast<char>(IAC), static_cast<char>(verb), static_cast<char>(option)};
    replies.append(bytes, 3);
}

TelnetFilter::Output TelnetFilter::Feed(const QByteArray &bytes)
{
    Output out;
    // Fast path: plain text with no command pending is passed on without a copy.
    if (m_state == State::Data && !std::memchr(bytes.constData(), IAC, static_cast<size_t>(bytes.size()))) {
        out.Segments.append(bytes);
        return out;
    }
    QByteArray text;
    text.reserve(bytes.size());
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        switch (m_state) {
        case State::Data: {
            const void *iac = std::memchr(data + i, IAC, static_cast<size_t>(size - i));
            const qsizetype end = iac ? static_cast<const unsigned char *>(iac) - data : size;
            text.append(reinterpret_cast<const char *>(data + i), end - i);
            i = end;
            if (iac) {
                m_state = State::Iac;
                ++i;
            }
            break;
        }
        case State::Iac: {
            const unsigned char c = data[i++];
            m_state = State::Data;
            if (c == IAC)
                text.append(static_cast<char>(IAC));
            else if (c == WILL)
                m_state = State::Will;
            else if (c == WONT)
                m_state = State::Wont;
            else if (c == DO)
                m_state = State::Do;
            else if (c == DONT)
                m_state = State::Dont;
            else if (c == SB) {
                m_state = State::Sub;
                m_subLength = 0;
            } else if (c == GA || c == EOR) {
                out.Segments.append(text);
                text.clear();
            }
            // Every other byte after IAC is a two-byte command (NOP, AYT, ...) or junk; both are dropped.
            break;
        }
        case State::Will:
        case State::Do: {
            const unsigned char option = data[i++];
            std::bitset<256> &refused = m_state == State::Will ? m_refusedWill : m_refusedDo;
            if (!refused[option]) {
                refused[option] = true;
                Answer(out.Replies, m_state == State::Will ? DONT : WONT, option);
            }
            m_state = State::Data;
            break;
        }
        case State::Wont:
        case State::Dont: {
            const unsigned char option = data[i++];
            (m_state == State::Wont ? m_refusedWill : m_refusedDo)[option] = false;
            m_state = State::Data;
            break;
        }
        case State::Sub:
        case State::SubIac: {
            const unsigned char c = data[i++];
            if (m_state == State::SubIac) {
                // IAC SE ends the subnegotiation; IAC IAC is an escaped data byte inside it.
                if (c == SE) {
                    m_state = State::Data;
                } else if (c == IAC) {
                    m_state = State::Sub;
                } else {
                    // Another command inside SB ends the subnegotiation; the command itself is read again.
                    m_state = State::Iac;
                    --i;
                }
            } else if (c == IAC) {
                m_state = State::SubIac;
            } else if (++m_subLength > MaxSubnegotiation) {
                m_state = State::Data; // runaway subnegotiation: give it up
            }
            break;
        }
        }
    }
    out.Segments.append(text);
    return out;
}

} // namespace wren
