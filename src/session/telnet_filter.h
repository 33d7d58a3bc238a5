// SPDX-License-Identifier: GPL-3.0-or-later
// The telnet layer between the socket and the text pipeline: consumes IAC commands, negotiates the options
// the client supports (echo, window size, compression, character set, terminal type, game data) and refuses
// the rest.
#pragma once

#include <QByteArray>
#include <QList>

#include <bitset>
#include <memory>

namespace wren {

/// Consumes every telnet command in the received bytes, keeping its state across reads.
///
/// Two-byte commands are dropped; WILL/WONT/DO/DONT take their option byte; SB ... IAC SE is read (a
/// subnegotiation longer than MaxSubnegotiation bytes is given up, and the rest of it up to its IAC SE is
/// dropped, never shown); IAC IAC gives one byte 255. IAC GA and IAC EOR end a prompt: the text is cut
/// there into segments. A compressed stream that cannot be read (broken, or expanding like a compression
/// bomb) is abandoned: nothing after it is shown, and the caller ends the connection.
///
/// Options the world's settings allow are agreed to: the server's ECHO (it hides what is typed), EOR and
/// MCCP2 compression (86), and our NAWS, TTYPE and CHARSET. Every other option is refused. An answer is sent
/// only when the state changes, and refusals are never answered, so no negotiation loop can start.
class TelnetFilter
{
public:
    static constexpr int MaxSubnegotiation = 65536;
    /// GMCP and MSDP messages may be larger (a whole inventory or map area): up to 1 MB of payload is kept,
    /// and a longer one arrives cut at one byte more, for the game data side to refuse with a reason.
    static constexpr int MaxGameDataSubnegotiation = 1048576 + 2;
    /// Most bytes one Feed decompresses to; the rest of the read waits for the next Feed (MorePending).
    static constexpr qint64 MaxInflatedPerRead = qint64(8) * 1024 * 1024;
    /// A compressed stream that has given BombFloor bytes at more than MaxExpansion times its compressed
    /// size is a compression bomb, not text: it is ended. Real text compresses ten or twenty times.
    static constexpr qint64 BombFloor = qint64(16) * 1024 * 1024;
    static constexpr qint64 MaxExpansion = 500;

    /// Which options the world may use (each can be switched off per world).
    struct Allowed {
        bool Echo = true;
        bool WindowSize = true;
        bool Compression = true;
        bool Charset = true;
        bool TerminalType = true;
        /// What the terminal type reports: 256 and true colours.
        bool ModernColours = true;
        /// The server marks prompt ends with IAC EOR.
        bool EndOfRecord = true;
        /// Game data beside the text: GMCP (201), MSDP (69) and MSSP (70). Off unless the world allows them.
        bool Gmcp = false;
        bool Msdp = false;
        bool Mssp = false;
    };

    /// A subnegotiation of an agreed game data option, as received (IAC IAC undone). Payload is what came
    /// between the option byte and IAC SE; Cut says it was longer than the limit and only its start is here.
    struct GameMessage {
        unsigned char Option = 0;
        QByteArray Payload;
        bool Cut = false;
    };

    /// One negotiation, for the protocol inspector: WILL, WONT, DO or DONT and the option, received or sent,
    /// or SB with its payload (subnegotiations that are not game data).
    struct Negotiation {
        bool Sent = false;
        unsigned char Verb = 0;
        unsigned char Option = 0;
        QByteArray Payload;
    };

    struct Output {
        /// The text, cut after each prompt end. Always holds at least one (possibly empty) segment.
        QList<QByteArray> Segments;
        /// Bytes to send back to the server, in order.
        QByteArray Replies;
        /// Lines for the user about the connection itself (compression ended by an error).
        QList<QByteArray> Notices;
        /// The window size was just agreed on: the caller sends it now.
        bool WindowSizeWanted = false;
        /// Compressed bytes wait to be read: call Feed again (with nothing new, or the next read) soon.
        bool MorePending = false;
        /// The world agreed to UTF-8 through CHARSET (now or earlier).
        bool AgreedUtf8 = false;
        /// The stream cannot be read any further: the caller ends the connection. Feed gives no more text
        /// until Reset.
        bool Abandon = false;
        /// Game data messages, in the order received. Only options agreed to are passed on.
        QList<GameMessage> GameMessages;
        /// Game data options the server just offered and we agreed to (the caller greets it now).
        QList<unsigned char> GameDataStarted;
        /// Every negotiation in this read and every answer to it, in order.
        QList<Negotiation> Negotiations;
    };

    TelnetFilter();
    ~TelnetFilter();

    Output Feed(const QByteArray &bytes);
    /// A new connection: every option off, nothing pending.
    void Reset();
    void SetAllowed(const Allowed &allowed) { m_allowed = allowed; }
    const Allowed &GetAllowed() const { return m_allowed; }

    /// The server echoes (WILL ECHO agreed): what the user types is a secret such as a password.
    bool ServerEchoes() const { return m_remote[Echo]; }
    /// We report the window size (DO NAWS agreed).
    bool ReportsWindowSize() const { return m_local[Naws]; }
    /// The text is compressed now.
    bool Compressing() const { return m_inflater != nullptr; }
    /// Received bytes (or inflated text) wait for the next Feed.
    bool HasPending() const { return !m_pending.isEmpty() || m_capped; }
    /// The world agreed to UTF-8 through CHARSET.
    bool AgreedUtf8() const { return m_utf8; }
    /// The subnegotiation that reports @p columns by @p rows (each held to 1..65535, byte 255 doubled).
    static QByteArray WindowSizeMessage(int columns, int rows);
    /// Whether the text is TLS-protected, for the MTTS flags.
    void SetSecure(bool secure) { m_secure = secure; }

    /// Whether the server agreed to send @p option (GMCP, MSDP, ...).
    bool RemoteAgreed(unsigned char option) const { return m_remote[option]; }
    /// Bytes that send @p payload as a subnegotiation of @p option (byte 255 doubled).
    static QByteArray SubnegotiationMessage(unsigned char option, QByteArrayView payload);

    enum Option : unsigned char {
        Echo = 1,
        Ttype = 24,
        Eor = 25,
        Naws = 31,
        Charset = 42,
        Msdp = 69,
        Mssp = 70,
        Mccp2 = 86,
        Gmcp = 201
    };

private:
    enum class State { Data, Iac, Will, Wont, Do, Dont, Sub, SubIac };

    // One function per state of the parser, each taking the bytes from @p at on and returning where it
    // stopped; see Parse.
    qsizetype InData(const unsigned char *data, qsizetype size, qsizetype at, QByteArray &text);
    void InIac(unsigned char c, QByteArray &text, Output &out);
    void InVerb(unsigned char option, Output &out);
    qsizetype InSub(const unsigned char *data, qsizetype size, qsizetype at);
    void KeepSubBytes(const char *bytes, qsizetype count);
    static bool IsGameData(unsigned char option);
    /// True when compression starts right after this byte.
    bool InSubIac(unsigned char c, qsizetype &at, Output &out);
    void Abandon(Output &out, const QByteArray &notice);

    struct Inflater;
    /// Parses @p data; returns where compression started (the rest is compressed), or data.size().
    qsizetype Parse(const unsigned char *data, qsizetype size, QByteArray &text, Output &out);
    /// Inflates from @p data on; returns the bytes used (the rest follows the compressed stream's end).
    qsizetype Inflate(const char *data, qsizetype size, QByteArray &text, Output &out, qint64 &inflated);
    void Verb(Output &out, unsigned char verb, unsigned char option);
    void Agreed(Output &out, bool remote, unsigned char option);
    void Ended(unsigned char option);
    static void Answer(Output &out, unsigned char verb, unsigned char option);
    static void Subnegotiate(QByteArray &replies, unsigned char option, QByteArrayView payload);
    bool WantRemote(unsigned char option) const;
    bool WantLocal(unsigned char option) const;
    /// A complete subnegotiation; true when compression starts right after it.
    bool Subnegotiation(Output &out);
    QByteArray TerminalType();

    Allowed m_allowed;
    State m_state = State::Data;
    QByteArray m_sub;
    bool m_subOverflow = false;
    qsizetype m_subLimit = MaxSubnegotiation; ///< the limit for the subnegotiation being read
    std::bitset<256> m_remote; ///< options the server performs, agreed
    std::bitset<256> m_local; ///< options we perform, agreed
    std::bitset<256> m_refusedWill; ///< we have sent DONT for the option since the server last changed it
    std::bitset<256> m_refusedDo; ///< we have sent WONT for the option since the server last changed it
    bool m_utf8 = false;
    bool m_secure = false;
    int m_ttypeRequests = 0;
    std::unique_ptr<Inflater> m_inflater;
    QByteArray m_pending; ///< received bytes not read yet, because one step gave enough text
    bool m_capped = false; ///< the inflater stopped at the step's limit and may hold more output
    bool m_abandoned = false; ///< the stream could not be read: nothing more is taken
};

} // namespace wren
