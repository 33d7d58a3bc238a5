// SPDX-License-Identifier: GPL-3.0-or-later
// The telnet layer between the socket and the text pipeline: consumes IAC commands and refuses options.
#pragma once

#include <QByteArray>
#include <QList>

#include <bitset>

namespace wren {

/// Consumes every telnet command in the received bytes, keeping its state across reads.
///
/// Two-byte commands are dropped; WILL/WONT/DO/DONT take their option byte; SB ... IAC SE is skipped (a
/// subnegotiation longer than MaxSubnegotiation bytes is given up and the bytes after it are text again);
/// IAC IAC gives one byte 255. Every option is refused: DONT answers WILL and WONT answers DO, once per
/// change of state, and refusals are never answered, so no negotiation loop can start. IAC GA and IAC EOR
/// end a prompt: the text is cut there into separate segments.
class TelnetFilter
{
public:
    static constexpr int MaxSubnegotiation = 65536;

    struct Output {
        /// The text, cut after each prompt end. Always holds at least one (possibly empty) segment.
        QList<QByteArray> Segments;
        /// Bytes to send back to the server (the refusals), in order.
        QByteArray Replies;
    };

    Output Feed(const QByteArray &bytes);
    void Reset();

private:
    enum class State { Data, Iac, Will, Wont, Do, Dont, Sub, SubIac };

    void Answer(QByteArray &replies, unsigned char verb, unsigned char option);

    State m_state = State::Data;
    int m_subLength = 0;
    std::bitset<256> m_refusedWill; ///< we have sent DONT for the option since the server last changed it
    std::bitset<256> m_refusedDo; ///< we have sent WONT for the option since the server last changed it
};

} // namespace wren
