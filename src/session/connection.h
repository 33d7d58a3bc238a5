// SPDX-License-Identifier: GPL-3.0-or-later
// A session's connection to its world: the socket, TLS and its trust question, the connect time limit,
// reconnecting with back-off, the telnet layer and the window size.
#pragma once

#include "config/world_features.h"
#include "session/telnet_filter.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QSslError>
#include <QTimer>

#include <functional>

class QSslSocket;

namespace wren {

/// Where the text the telnet layer lets through goes: the session's incoming pipeline.
class TextSink
{
public:
    virtual ~TextSink() = default;
    /// One read's text, cut after each prompt end (at least one segment, possibly empty), with what the
    /// telnet layer said about it. The segments may be moved from.
    virtual void Receive(TelnetFilter::Output &out) = 0;
};

/// Where a read's negotiations and game data messages go (the session's game data side), before its text.
class ProtocolSink
{
public:
    virtual ~ProtocolSink() = default;
    virtual void Receive(const TelnetFilter::Output &out) = 0;
};

/// Which telnet options the telnet layer may agree to for a world with these switches.
TelnetFilter::Allowed TelnetAllowed(const WorldFeatures &features);

/// The connection reports what happens to it through its signals (established, closed, failed, lines for
/// the user) and hands received text to its sink. It knows nothing of views, options or automations.
class Connection : public QObject
{
    Q_OBJECT
public:
    /// The world a connection is made to; the features are read afresh for every connection.
    struct Target {
        QByteArray Host; ///< the name or address to dial
        int Port = 0;
        QByteArray WorldHost; ///< host and port as the world's settings are kept (trimmed)
        QByteArray WorldPort;
        WorldFeatures Features;
    };

    explicit Connection(TextSink &sink, QObject *parent = nullptr);
    ~Connection() override;
    /// Where negotiations and game data go; none by default.
    void SetProtocolSink(ProtocolSink *sink) { m_protocol = sink; }
    const TelnetFilter &Telnet() const { return m_telnet; }

    /// Dials @p target; what is open is dropped first without a word.
    void Open(const Target &target);
    /// Starts an orderly close (the server gets what was sent before); a connect under way is abandoned.
    void Close();
    /// Close and wait up to CloseTimeoutMs in a nested event loop; then drop what is left.
    void CloseAndWait();
    /// Close before dialling again: what does not close at once, once the event loop has had a turn, is
    /// dropped.
    void CloseBriefly();
    /// Drops the connection at once, sending what was written first, and asks no more questions: the
    /// session is going away.
    void Drop();
    bool IsConnected() const;
    bool IsConnecting() const { return m_connecting; }
    bool IsOpen() const;
    /// The user (or a command) ends the connection: no reconnect is offered when it closes.
    void SetClosedOnPurpose() { m_closedOnPurpose = true; }

    void Send(QByteArrayView bytes);
    /// Received bytes as the socket gives them: through the telnet layer to the sink.
    void Receive(const QByteArray &bytes);
    /// The view's size in characters, reported to the server when it agreed to ask for it.
    void SetWindowSize(int columns, int rows);
    /// The server echoes what is typed (a password prompt).
    bool ServerEchoes() const { return m_telnet.ServerEchoes(); }
    /// The world agreed to UTF-8 through CHARSET.
    bool AgreedUtf8() const { return m_telnet.AgreedUtf8(); }
    QByteArray PeerAddress() const;
    QSslSocket *Socket() const { return m_socket; }
    const Target &CurrentTarget() const { return m_target; }

    /// After the close of a connection the server or the network ended: the Reconnect line, and automatic
    /// reconnecting when the world has it switched on.
    void OfferReconnect();
    bool ReconnectPending() const { return m_reconnectTimer.isActive(); }
    void StopReconnecting();
    static constexpr int MaxReconnectAttempts = 10;
    /// The wait before automatic reconnect attempt @p attempt (0 first): doubling from 2 s, at most 60 s.
    static int ReconnectDelayMs(int attempt);

    /// Asks the user whether to trust a certificate that does not verify; nothing set refuses it. The
    /// connect time limit is paused while the question is open.
    std::function<bool(const QString &question)> TrustPrompt;

    static constexpr int ConnectTimeoutMs = 30000;
    /// How long a connection may take to be made (tests shorten it); the trust question does not count.
    int ConnectTimeout = ConnectTimeoutMs;
    static constexpr int CloseTimeoutMs = 3000;

signals:
    /// The connection is up (after the TLS handshake, for a secure one).
    void Established();
    /// The connection could not be made: @p error as the classic client numbers socket errors.
    void Failed(quint16 error);
    /// The name did not resolve.
    void HostNotFound(int error);
    /// The connection ended; @p error is 0 when the server closed it in order.
    void Closed(quint16 error);
    /// A line for the user about the connection; with an action the line can be clicked.
    void Status(const QByteArray &text, const QByteArray &action);
    /// Automatic reconnecting wants to dial again now.
    void ReconnectDue();
    /// The server started or stopped hiding what is typed.
    void TypingHiddenChanged(bool hidden);

private:
    void CreateSocket();
    void OnConnected();
    void OnDisconnected();
    void OnError(int socketError);
    void OnEncrypted();
    void OnSslErrors(const QList<QSslError> &errors);
    /// The trust question for a certificate that does not verify; true when the user trusts it.
    bool AskTrust(const QList<QSslError> &errors, const QByteArray &digest);
    void KeepTrust(const QByteArray &digest);
    void OnConnectTimeout();
    void MarkEstablished();
    void HandleTelnet(TelnetFilter::Output &out);
    void SetTypingHidden(bool hidden);
    void ScheduleReconnect();

    TextSink &m_sink;
    ProtocolSink *m_protocol = nullptr;
    QSslSocket *m_socket = nullptr;
    TelnetFilter m_telnet;
    Target m_target;
    QTimer m_connectTimeout;
    QTimer m_reconnectTimer;
    int m_reconnectAttempts = 0;
    QElapsedTimer m_connectedFor;
    bool m_connecting = false;
    bool m_established = false;
    bool m_dropped = false;
    bool m_asking = false;
    bool m_closedOnPurpose = false;
    bool m_typingHidden = false;
    bool m_readMoreQueued = false;
    quint16 m_closeError = 0;
    int m_windowColumns = 80;
    int m_windowRows = 24;
    /// The certificate the user refused for this session: not asked about again.
    QByteArray m_refusedCertificate;
};

} // namespace wren
