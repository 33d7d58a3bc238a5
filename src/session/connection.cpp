// SPDX-License-Identifier: GPL-3.0-or-later
// A session's connection to its world: the socket, TLS and its trust question, the connect time limit,
// reconnecting with back-off, the telnet layer and the window size.
#include "session/connection.h"

#include "base/text_helpers.h"
#include "config/app_settings.h"
#include "config/logging.h"
#include "session/socket_errors.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QEventLoop>
#include <QSslCertificate>
#include <QSslSocket>

namespace wren {

namespace {
// Received data is read in pieces of at most this size; the kernel holds the rest, so a fast server is
// slowed down by TCP instead of filling memory.
constexpr qint64 ReadBufferSize = qint64(256) * 1024;
// After the trust question the handshake gets at least this long to finish.
constexpr int AfterQuestionMs = 10000;

QByteArray ProtocolName(QSsl::SslProtocol protocol)
{
    switch (protocol) {
    case QSsl::TlsV1_2: return "TLS 1.2";
    case QSsl::TlsV1_3: return "TLS 1.3";
    default: return "TLS";
    }
}
} // namespace

TelnetFilter::Allowed TelnetAllowed(const WorldFeatures &features)
{
    TelnetFilter::Allowed allowed;
    allowed.Echo = features.Echo;
    allowed.WindowSize = features.WindowSize;
    allowed.Compression = features.Compression;
    allowed.Charset = features.Charset;
    allowed.TerminalType = features.TerminalType;
    allowed.EndOfRecord = features.EndOfRecord;
    allowed.ModernColours = features.ModernColours;
    allowed.Gmcp = features.Gmcp;
    allowed.Msdp = features.Msdp;
    allowed.Mssp = features.Mssp;
    return allowed;
}

Connection::Connection(TextSink &sink, QObject *parent)
    : QObject(parent)
    , m_sink(sink)
{
    CreateSocket();
    m_connectTimeout.setSingleShot(true);
    m_reconnectTimer.setSingleShot(true);
    connect(&m_connectTimeout, &QTimer::timeout, this, &Connection::OnConnectTimeout);
    connect(&m_reconnectTimer, &QTimer::timeout, this, [this] {
        if (!m_dropped && !IsConnected() && !m_connecting)
            emit ReconnectDue();
    });
}

Connection::~Connection()
{
    m_socket->disconnect(this);
    m_socket->abort();
}

void Connection::CreateSocket()
{
    m_socket = new QSslSocket(this);
    m_socket->setReadBufferSize(ReadBufferSize);
    connect(m_socket, &QSslSocket::encrypted, this, &Connection::OnEncrypted);
    connect(m_socket, &QSslSocket::sslErrors, this, &Connection::OnSslErrors);
    connect(m_socket, &QTcpSocket::connected, this, &Connection::OnConnected);
    connect(m_socket, &QTcpSocket::disconnected, this, &Connection::OnDisconnected);
    connect(m_socket, &QTcpSocket::readyRead, this, [this] { Receive(m_socket->readAll()); });
    connect(m_socket, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) { OnError(static_cast<int>(error)); });
}

void Connection::Open(const Target &target)
{
    m_target = target;
    m_telnet.Reset();
    m_telnet.SetAllowed(TelnetAllowed(target.Features));
    m_telnet.SetSecure(target.Features.Secure);
    SetTypingHidden(false);
    m_closedOnPurpose = false;
    m_reconnectTimer.stop();
    m_connecting = true;
    m_established = false;
    m_connectTimeout.start(ConnectTimeout);
    const QString name = QString::fromLocal8Bit(target.Host);
    const auto port = static_cast<quint16>(std::clamp(target.Port, 0, 65535));
    if (target.Features.Secure)
        m_socket->connectToHostEncrypted(name, port);
    else
        m_socket->connectToHost(name, port);
}

void Connection::Close()
{
    m_connecting = false;
    m_connectTimeout.stop();
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->disconnectFromHost();
    else
        m_socket->abort();
}

void Connection::CloseAndWait()
{
    Close();
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        return;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(m_socket, &QTcpSocket::stateChanged, &loop, [&](QAbstractSocket::SocketState state) {
        if (state == QAbstractSocket::UnconnectedState)
            loop.quit();
    });
    limit.start(CloseTimeoutMs);
    loop.exec();
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
}

void Connection::CloseBriefly()
{
    while (IsOpen()) {
        Close();
        QCoreApplication::processEvents();
        if (IsOpen())
            m_socket->abort();
    }
}

void Connection::Drop()
{
    // Set first: flushing a socket in its handshake may report certificate errors again, and nobody is
    // to be asked about a connection that is going away.
    m_dropped = true;
    m_connecting = false;
    m_connectTimeout.stop();
    m_reconnectTimer.stop();
    // What the session's last commands sent is handed to the system first: a "quit" before the close
    // still reaches the world. The close is reported as any close is.
    m_socket->flush();
    m_socket->abort();
}

bool Connection::IsConnected() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

bool Connection::IsOpen() const
{
    return m_socket->state() != QAbstractSocket::UnconnectedState;
}

void Connection::Send(QByteArrayView bytes)
{
    if (IsConnected())
        m_socket->write(bytes.data(), bytes.size());
}

QByteArray Connection::PeerAddress() const
{
    return m_socket->peerAddress().toString().toLatin1();
}

void Connection::Receive(const QByteArray &bytes)
{
    if ((bytes.isEmpty() && !m_telnet.HasPending()) || m_dropped)
        return;
    TelnetFilter::Output out = m_telnet.Feed(bytes);
    HandleTelnet(out);
    if (m_protocol && (!out.Negotiations.isEmpty() || !out.GameMessages.isEmpty() || !out.GameDataStarted.isEmpty())) {
        m_protocol->Receive(out);
        if (m_dropped)
            return; // an event closed the session
    }
    if (out.MorePending && !m_readMoreQueued) {
        // A read that inflates to a lot of text is shown a step at a time, with the event loop in between.
        m_readMoreQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_readMoreQueued = false;
            Receive({});
        });
    }
    m_sink.Receive(out);
}

void Connection::HandleTelnet(TelnetFilter::Output &out)
{
    if (!out.Replies.isEmpty())
        Send(out.Replies);
    if (out.WindowSizeWanted)
        Send(TelnetFilter::WindowSizeMessage(m_windowColumns, m_windowRows));
    for (const QByteArray &notice : out.Notices)
        emit Status(TrimBlanks(notice), {});
    SetTypingHidden(m_telnet.ServerEchoes());
    if (out.Abandon) {
        // The server's stream cannot be read any more (a compression bomb or a broken compressed stream):
        // nothing more of it is shown, and the connection ends.
        qCWarning(lcSession) << "stream abandoned; closing the connection to" << m_target.Host;
        m_socket->abort();
    }
}

void Connection::SetTypingHidden(bool hidden)
{
    if (hidden == m_typingHidden)
        return;
    m_typingHidden = hidden;
    emit TypingHiddenChanged(hidden);
}

void Connection::SetWindowSize(int columns, int rows)
{
    columns = std::clamp(columns, 1, 65535);
    rows = std::clamp(rows, 1, 65535);
    if (columns == m_windowColumns && rows == m_windowRows)
        return;
    m_windowColumns = columns;
    m_windowRows = rows;
    if (IsConnected() && m_telnet.ReportsWindowSize())
        Send(TelnetFilter::WindowSizeMessage(columns, rows));
}

// ---- Connecting and closing -------------------------------------------------------------------------

void Connection::OnConnected()
{
    if (m_socket->mode() == QSslSocket::UnencryptedMode)
        MarkEstablished(); // a secure connection is made when its handshake is done
}

void Connection::MarkEstablished()
{
    m_connecting = false;
    m_established = true;
    m_closeError = 0;
    m_connectTimeout.stop();
    m_connectedFor.start();
    emit Established();
}

void Connection::OnConnectTimeout()
{
    if (!m_connecting)
        return;
    m_connecting = false;
    m_socket->abort();
    emit Failed(static_cast<quint16>(WinsockErrorNumber(QAbstractSocket::SocketTimeoutError)));
    if (m_reconnectAttempts > 0)
        ScheduleReconnect();
}

void Connection::OnError(int socketError)
{
    const auto error = static_cast<QAbstractSocket::SocketError>(socketError);
    const int number = WinsockErrorNumber(error);
    if (m_connecting) {
        m_connecting = false;
        m_connectTimeout.stop();
        // A name that does not resolve is a socket error; a host that does not answer is a failed connect.
        if (error == QAbstractSocket::HostNotFoundError) {
            emit HostNotFound(number);
            return;
        }
        if (m_socket->mode() != QSslSocket::UnencryptedMode)
            emit Status("Secure connection failed: " + m_socket->errorString().toUtf8(), {});
        emit Failed(static_cast<quint16>(number));
        if (m_reconnectAttempts > 0)
            ScheduleReconnect();
    } else if (m_established) {
        m_closeError = error == QAbstractSocket::RemoteHostClosedError ? 0 : static_cast<quint16>(number);
    }
}

void Connection::OnDisconnected()
{
    if (!m_established)
        return;
    // Text still waiting to be inflated comes before the line that says the connection ended.
    while (m_telnet.HasPending() && !m_dropped)
        Receive({});
    m_established = false;
    emit Closed(m_closeError);
}

// ---- Reconnecting -----------------------------------------------------------------------------------

int Connection::ReconnectDelayMs(int attempt)
{
    return std::min(2000 << std::clamp(attempt, 0, 5), 60000);
}

void Connection::StopReconnecting()
{
    m_reconnectAttempts = 0;
    m_reconnectTimer.stop();
}

void Connection::OfferReconnect()
{
    if (m_closedOnPurpose || m_dropped)
        return;
    // The server or the network ended it: one click connects again.
    emit Status("Reconnect", "reconnect");
    if (!m_target.Features.AutoReconnect)
        return;
    if (m_connectedFor.isValid() && m_connectedFor.elapsed() >= 60000)
        m_reconnectAttempts = 0; // a connection that lasted starts the back-off over
    ScheduleReconnect();
}

void Connection::ScheduleReconnect()
{
    if (m_dropped)
        return;
    if (m_reconnectAttempts >= MaxReconnectAttempts) {
        emit Status("No reconnect after " + QByteArray::number(MaxReconnectAttempts) + " attempts.", {});
        m_reconnectAttempts = 0;
        return;
    }
    const int delay = ReconnectDelayMs(m_reconnectAttempts++);
    emit Status("Reconnecting in " + QByteArray::number(delay / 1000) + " seconds.", {});
    m_reconnectTimer.start(delay);
}

// ---- TLS --------------------------------------------------------------------------------------------

void Connection::OnEncrypted()
{
    MarkEstablished();
    if (m_dropped)
        return;
    const QSslCertificate certificate = m_socket->peerCertificate();
    QByteArray issuer = certificate.issuerDisplayName().toUtf8();
    if (issuer.isEmpty())
        issuer = "an unnamed issuer";
    const bool trusted = !m_target.Features.TrustedCertificate.isEmpty();
    emit Status("Secure connection (" + ProtocolName(m_socket->sessionProtocol()) + "), certificate issued by " + issuer
                    + (trusted ? QByteArray(" (trusted by you).") : QByteArray(".")),
                {});
}

// The question may stay open as long as the user likes: the connect time limit waits for it, and when the
// server gives up meanwhile the answer is still kept and Reconnect offered.
void Connection::OnSslErrors(const QList<QSslError> &errors)
{
    if (m_dropped || m_asking)
        return;
    const QSslCertificate certificate = m_socket->peerCertificate();
    const QByteArray digest
        = certificate.isNull() ? QByteArray() : certificate.digest(QCryptographicHash::Sha256).toHex();
    if (!digest.isEmpty() && digest == m_target.Features.TrustedCertificate) {
        m_socket->ignoreSslErrors(errors);
        return;
    }
    if (digest.isEmpty() || digest == m_refusedCertificate)
        return; // the handshake fails and the connection with it
    const int left = m_connectTimeout.isActive() ? m_connectTimeout.remainingTime() : 0;
    m_connectTimeout.stop();
    m_asking = true;
    const bool trusted = AskTrust(errors, digest);
    m_asking = false;
    // The answer is the user's about the world, whatever became of this connection meanwhile.
    if (trusted)
        KeepTrust(digest);
    if (m_dropped)
        return; // the session was closed while it asked
    if (!trusted) {
        m_refusedCertificate = digest;
        emit Status("The server's certificate was not trusted.", {});
        if (m_connecting)
            m_connectTimeout.start(std::max(left, 1));
        return;
    }
    if (!m_connecting || m_socket->state() == QAbstractSocket::UnconnectedState) {
        emit Status("The connection ended while the certificate question was open; your answer is kept.", {});
        emit Status("Reconnect", "reconnect");
        return;
    }
    m_socket->ignoreSslErrors(errors);
    m_connectTimeout.start(std::max(left, AfterQuestionMs));
}

bool Connection::AskTrust(const QList<QSslError> &errors, const QByteArray &digest)
{
    const QSslCertificate certificate = m_socket->peerCertificate();
    QStringList reasons;
    for (const QSslError &error : errors)
        reasons.append(error.errorString());
    const QString question
        = QStringLiteral("The certificate of %1 could not be verified:\n%2\n\nIssued to: %3\nIssued by: %4\n"
                         "SHA-256: %5\n\nTrust this certificate for this world from now on?")
              .arg(QString::fromLocal8Bit(m_target.Host), reasons.join(QLatin1Char('\n')),
                   certificate.subjectDisplayName(), certificate.issuerDisplayName(), QString::fromLatin1(digest));
    return TrustPrompt && TrustPrompt(question);
}

void Connection::KeepTrust(const QByteArray &digest)
{
    m_target.Features.TrustedCertificate = digest;
    // Only this key is written: another session of the same world may have changed other switches.
    AppSettings().SetWorldValue(m_target.WorldHost, m_target.WorldPort, QStringLiteral("TrustedCertificate"),
                                QString::fromLatin1(digest));
}

} // namespace wren
