// SPDX-License-Identifier: GPL-3.0-or-later
// The session object: one world's connection, view, options and automations.
#include "session/client.h"

#include "automation/advanced_file.h"
#include "automation/settings_exchange.h"
#include "config/app_settings.h"
#include "config/save_file.h"
#include "config/logging.h"
#include "config/program_folder.h"
#include "markup/picture_loader.h"
#include "markup/zel_colors.h"
#include "markup/zel_media.h"
#include "markup/zel_detect.h"
#include "options/options_file.h"
#include "session/ansi_parser.h"
#include "session/byte_decoder.h"
#include "session/socket_errors.h"
#include "base/text_helpers.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QSslCertificate>
#include <QSslSocket>

#include <cstring>

namespace wren {

namespace {
// Received data is read in pieces of at most this size; the kernel holds the rest, so a fast server is
// slowed down by TCP instead of filling memory.
constexpr qint64 ReadBufferSize = 256 * 1024;
// The system has no connect timeout of its own worth waiting for.
constexpr int ConnectTimeoutMs = 30000;
// Closing waits this long for the server to finish before the connection is dropped.
constexpr int CloseTimeoutMs = 3000;
} // namespace

TClient::TClient(TGlobals &globals, QObject *parent)
    : QObject(parent)
    , m_globals(globals)
{
    CreateSocket();
    DisconnectTimer.setSingleShot(true);
    DisconnectTimer.setTimerType(Qt::PreciseTimer); // a coarse timer may fire up to 5 % early
    connect(&DisconnectTimer, &QTimer::timeout, this, &TClient::OnDisconnectTimer);
    m_connectTimeout.setSingleShot(true);
    m_reconnectTimer.setSingleShot(true);
    connect(&m_reconnectTimer, &QTimer::timeout, this, [this] {
        if (m_closing || IsConnected() || m_connecting)
            return;
        const int attempts = m_reconnectAttempts;
        Connect();
        m_reconnectAttempts = attempts;
    });
    connect(&m_connectTimeout, &QTimer::timeout, this, [this] {
        if (!m_connecting)
            return;
        m_connecting = false;
        Socket->abort();
        OnConnected(static_cast<quint16>(WinsockErrorNumber(QAbstractSocket::SocketTimeoutError)));
    });

    Options.SetDefaults();
    m_log.SetBaseFolder(QDir(ProgramFolder()).filePath(QStringLiteral("logs")));
    m_log.SetFailureReport([this](const QString &message) { emit Notice(message); });

    const QByteArray telnet[] = {QByteArray("\xff\xfb\x01", 3), QByteArray("\xff\xfc\x01", 3),
                                 QByteArray("\xff\xfb\x5b", 3), QByteArray("\xff\xf9", 2)};
    for (const QByteArray &pattern : telnet)
        Automation.AddTrigger(pattern, QByteArray(), "System", 0);
    Automation.AddVariable("$sname", m_globals.ScreenName, "System", 0);
    Automation.AddVariable("$UID", m_globals.UID, "System", 0);
    Automation.AddVariable("$wpuser", m_globals.WPLogin, "System", 0);
    QByteArray version = m_globals.LatestVersion;
    RemoveByte(version, '.');
    Automation.AddVariable("$version", version, "System", 0);

    ZelDetectCount = m_globals.GlobalZel ? 3 : 0;
    ScrolledBack = false;
    ApplyViewOptions();
}

TClient::~TClient()
{
    if (Socket) {
        Socket->disconnect(this);
        Socket->abort();
    }
}

void TClient::CreateSocket()
{
    Socket = new QSslSocket(this);
    Socket->setReadBufferSize(ReadBufferSize);
    connect(Socket, &QSslSocket::encrypted, this, &TClient::OnEncrypted);
    connect(Socket, &QSslSocket::sslErrors, this, &TClient::OnSslErrors);
    connect(Socket, &QTcpSocket::connected, this, [this] {
        if (Socket->mode() == QSslSocket::UnencryptedMode)
            Established(); // a secure connection is made when its handshake is done
    });
    connect(Socket, &QTcpSocket::disconnected, this, [this] {
        if (!m_established)
            return;
        // Text still waiting to be inflated comes before the line that says the connection ended.
        while (m_telnet.HasPending() && !m_closing)
            ReceiveBytes({});
        m_established = false;
        OnClosed(m_closeError);
    });
    connect(Socket, &QTcpSocket::readyRead, this, &TClient::OnDataAvailable);
    connect(Socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        const int number = WinsockErrorNumber(error);
        if (m_connecting) {
            m_connecting = false;
            m_connectTimeout.stop();
            // A name that does not resolve is a socket error; a host that does not answer is a failed connect.
            if (error == QAbstractSocket::HostNotFoundError) {
                OnSocketError(number);
            } else {
                if (Socket->mode() != QSslSocket::UnencryptedMode)
                    WriteStatus("Secure connection failed: " + Socket->errorString().toUtf8());
                OnConnected(static_cast<quint16>(number));
            }
        } else if (m_established) {
            m_closeError = error == QAbstractSocket::RemoteHostClosedError ? 0 : static_cast<quint16>(number);
        }
    });
}

void TClient::Open(const QByteArray &name, const QByteArray &host, int port)
{
    Options.WorldName = name.left(40);
    Options.Host = TrimBlanks(host).left(50);
    Options.Port = QByteArray::number(port).left(5);
    Addr = host;
    const QString base = QDir(ProgramFolder()).filePath(QString::fromLocal8Bit(TrimBlanks(Options.Host)) + QLatin1Char('.')
                                                        + QString::fromLocal8Bit(TrimBlanks(Options.Port)));
    OptionsFile = base + QStringLiteral(".wno");
    AdvancedFile = base + QStringLiteral(".wn2");
    LoadOptions();
    LoadAdvanced();
    LoadFeatures();
}

void TClient::LoadFeatures()
{
    const QByteArray host = TrimBlanks(Options.Host);
    const QByteArray port = TrimBlanks(Options.Port);
    const QByteArray key = host + ':' + port;
    if (key == m_featuresFor)
        return;
    m_featuresFor = key;
    Features = WorldFeatures::Load(AppSettings(), host, port);
}

void TClient::ApplyViewOptions()
{
    Options.CurBackColor = Options.BackColor;
    Options.DefaultBackColor = Options.BackColor;
    Display.SetBackground(Options.BackColor);
    Display.SetPlainBackground(Options.DefaultBackColor);
    TextAttributes base;
    base.FontName = TrimTrailingBlanks(Options.CurFontName);
    base.FontSize = Options.CurFontSize;
    base.Fore = Options.CurTextColor;
    base.Back = Options.BackColor;
    base.Style = Display.Attributes.Style;
    Display.SetBaseAttributes(base);
}

bool TClient::LoadOptions()
{
    QString error;
    const OptionsLoad result = wren::LoadOptions(OptionsFile, Options, &error);
    if (result == OptionsLoad::Upgraded)
        emit Notice(QString::fromLatin1(OptionsUpgradeNotice));
    if (!error.isEmpty())
        ReportFileError(OptionsFile, error);
    ApplyViewOptions();
    return result == OptionsLoad::Loaded || result == OptionsLoad::Upgraded;
}

bool TClient::SaveOptions()
{
    QString error;
    if (wren::SaveOptions(OptionsFile, Options, &error))
        return true;
    ReportFileError(OptionsFile, error);
    return false;
}

// ---- Connection -------------------------------------------------------------------------------------

void TClient::ConnectTo(const QByteArray &host, int port)
{
    Addr = host;
    m_telnet.Reset();
    m_telnet.SetAllowed(Features.Telnet());
    m_telnet.SetSecure(Features.Secure);
    SetTypingHidden(false);
    m_closedOnPurpose = false;
    m_reconnectTimer.stop();
    m_connecting = true;
    m_established = false;
    m_connectTimeout.start(ConnectTimeoutMs);
    const QString name = QString::fromLocal8Bit(host);
    const auto number = static_cast<quint16>(std::clamp(port, 0, 65535));
    if (Features.Secure)
        Socket->connectToHostEncrypted(name, number);
    else
        Socket->connectToHost(name, number);
}

void TClient::Connect()
{
    const Busy busy(*this);
    Options.ZelEnabled = false;
    ZelDetectCount = m_globals.GlobalZel ? 3 : 0;
    m_closedOnPurpose = true;
    m_reconnectAttempts = 0;
    m_reconnectTimer.stop();
    while (Socket->state() != QAbstractSocket::UnconnectedState) {
        Close();
        QCoreApplication::processEvents();
        if (Socket->state() != QAbstractSocket::UnconnectedState)
            Socket->abort();
    }
    if (m_closing)
        return; // closed while the old connection went
    // Options.Host keeps 50 characters; a longer name the session was opened with is still used whole.
    if (Addr.left(50) != Options.Host)
        Addr = Options.Host;
    LoadFeatures();
    ConnectTo(Addr, LeadingNumber(Options.Port));
}

void TClient::Close()
{
    m_connecting = false;
    m_connectTimeout.stop();
    if (Socket->state() == QAbstractSocket::ConnectedState)
        Socket->disconnectFromHost();
    else
        Socket->abort();
}

void TClient::WaitUntilClosed()
{
    if (Socket->state() == QAbstractSocket::UnconnectedState)
        return;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(Socket, &QTcpSocket::stateChanged, &loop, [&](QAbstractSocket::SocketState state) {
        if (state == QAbstractSocket::UnconnectedState)
            loop.quit();
    });
    limit.start(CloseTimeoutMs);
    loop.exec();
    if (Socket->state() != QAbstractSocket::UnconnectedState)
        Socket->abort();
}

void TClient::Disconnect()
{
    const Busy busy(*this);
    m_closedOnPurpose = true;
    m_reconnectAttempts = 0;
    m_reconnectTimer.stop();
    Close();
    WaitUntilClosed();
}

void TClient::Send(QByteArrayView text)
{
    if (Socket->state() == QAbstractSocket::ConnectedState)
        Socket->write(text.data(), text.size());
}

bool TClient::IsConnected() const
{
    return Socket && Socket->state() == QAbstractSocket::ConnectedState;
}

void TClient::OnConnected(quint16 error)
{
    const Busy busy(*this);
    qCDebug(lcSession) << "connect to" << Addr << "ended with" << error;
    ConnectError = error;
    if (error != 0) {
        WriteText("Connection failed.  Either the host is not responding or you are not able to access the host.\r\n");
        if (m_reconnectAttempts > 0)
            ScheduleReconnect();
    } else {
        m_connectedFor.start();
        WriteText("Connected...\r\n" + Addr + " resolved to IP " + Socket->peerAddress().toString().toLatin1()
                  + "\r\n");
        m_globals.LocalAddress = "0.0.0.0";
        RunEvent("On Connect");
    }
    ScrollToEnd();
}

void TClient::OnClosed(quint16 error)
{
    const Busy busy(*this);
    qCDebug(lcSession) << "connection to" << Addr << "closed with" << error;
    if (ConnectError != 0)
        return;
    SetColor("RED", 0);
    if (error != 0)
        WriteText("\r\nDisconnected with error #" + QByteArray::number(error) + "\r\n");
    else
        WriteText("\r\nDisconnected from server\r\n");
    EndFont();
    SetTypingHidden(false);
    if (!m_closedOnPurpose && !m_closing) {
        // The server or the network ended it: one click connects again.
        WriteStatus("Reconnect", "reconnect");
        if (Features.AutoReconnect) {
            if (m_connectedFor.isValid() && m_connectedFor.elapsed() >= 60000)
                m_reconnectAttempts = 0; // a connection that lasted starts the back-off over
            ScheduleReconnect();
        }
    }
    ScrollToEnd();
    DisconnectTag = 1;
    DisconnectTimer.start(500);
}

int TClient::ReconnectDelayMs(int attempt)
{
    return std::min(2000 << std::clamp(attempt, 0, 5), 60000);
}

void TClient::ScheduleReconnect()
{
    if (m_closing)
        return;
    if (m_reconnectAttempts >= MaxReconnectAttempts) {
        WriteStatus("No reconnect after " + QByteArray::number(MaxReconnectAttempts) + " attempts.");
        m_reconnectAttempts = 0;
        return;
    }
    const int delay = ReconnectDelayMs(m_reconnectAttempts++);
    WriteStatus("Reconnecting in " + QByteArray::number(delay / 1000) + " seconds.");
    m_reconnectTimer.start(delay);
}

void TClient::RunAction(const QByteArray &action)
{
    if (action == "reconnect" && !m_closing && !IsConnected() && !m_connecting)
        Connect();
}

void TClient::Established()
{
    m_connecting = false;
    m_established = true;
    m_closeError = 0;
    m_connectTimeout.stop();
    OnConnected(0);
}

void TClient::OnEncrypted()
{
    const Busy busy(*this);
    Established();
    if (m_closing)
        return;
    const auto protocol = [](QSsl::SslProtocol p) -> QByteArray {
        switch (p) {
        case QSsl::TlsV1_2: return "TLS 1.2";
        case QSsl::TlsV1_3: return "TLS 1.3";
        default: return "TLS";
        }
    };
    const QSslCertificate certificate = Socket->peerCertificate();
    QByteArray issuer = certificate.issuerDisplayName().toUtf8();
    if (issuer.isEmpty())
        issuer = "an unnamed issuer";
    WriteStatus("Secure connection (" + protocol(Socket->sessionProtocol()) + "), certificate issued by " + issuer
                + (Features.TrustedCertificate.isEmpty() ? QByteArray(".") : QByteArray(" (trusted by you).")));
}

void TClient::OnSslErrors(const QList<QSslError> &errors)
{
    const Busy busy(*this);
    const QSslCertificate certificate = Socket->peerCertificate();
    const QByteArray digest = certificate.isNull() ? QByteArray()
                                                   : certificate.digest(QCryptographicHash::Sha256).toHex();
    if (!digest.isEmpty() && digest == Features.TrustedCertificate) {
        Socket->ignoreSslErrors(errors);
        return;
    }
    if (digest.isEmpty() || digest == m_refusedCertificate)
        return; // the handshake fails and the connection with it
    QStringList reasons;
    for (const QSslError &error : errors)
        reasons.append(error.errorString());
    const QString question
        = QStringLiteral("The certificate of %1 could not be verified:\n%2\n\nIssued to: %3\nIssued by: %4\n"
                         "SHA-256: %5\n\nTrust this certificate for this world from now on?")
              .arg(QString::fromLocal8Bit(Addr), reasons.join(QLatin1Char('\n')),
                   certificate.subjectDisplayName(), certificate.issuerDisplayName(), QString::fromLatin1(digest));
    const bool trusted = TrustPrompt && TrustPrompt(question);
    if (m_closing || Socket->state() == QAbstractSocket::UnconnectedState)
        return;
    if (!trusted) {
        m_refusedCertificate = digest;
        WriteStatus("The server's certificate was not trusted.");
        return;
    }
    Features.TrustedCertificate = digest;
    AppSettings().SetWorldValue(TrimBlanks(Options.Host), TrimBlanks(Options.Port), QStringLiteral("TrustedCertificate"),
                                QString::fromLatin1(digest));
    Socket->ignoreSslErrors(errors);
}

void TClient::OnDisconnectTimer()
{
    DisconnectTimer.stop();
    if (DisconnectTag == 1 && Socket && Socket->state() != QAbstractSocket::ConnectedState)
        RunEvent("On Disconnect");
    DisconnectTag = 0;
}

void TClient::OnSocketError(int error)
{
    const Busy busy(*this);
    WriteText("Error #" + QByteArray::number(error) + " with winsock.\r\nSee " + SocketErrorListAddress
              + " for more information.\r\n");
    Close();
    WaitUntilClosed();
    ScrollToEnd();
}

// ---- Incoming text ----------------------------------------------------------------------------------

void TClient::OnDataAvailable()
{
    ReceiveBytes(Socket->readAll());
}

void TClient::ReceiveBytes(const QByteArray &bytes)
{
    if ((bytes.isEmpty() && !m_telnet.HasPending()) || m_closing)
        return;
    const Busy busy(*this);
    TelnetFilter::Output out = m_telnet.Feed(bytes);
    HandleTelnetOutput(out);
    if (out.MorePending && !m_readMoreQueued) {
        // A read that inflates to a lot of text is shown a step at a time, with the event loop in between.
        m_readMoreQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_readMoreQueued = false;
            ReceiveBytes({});
        });
    }
    if (!SawUtf8) {
        for (const QByteArray &segment : out.Segments)
            SawUtf8 = SawUtf8 || HoldsUtf8Sequence(segment);
    }
    if (out.Segments.size() == 1) {
        HandleIncomingText(std::move(out.Segments.front()));
        EndOfBlock();
    } else {
        // A read that holds prompt ends is one block for markup detection; each prompt closes a trigger line.
        const char lineEnd = Options.LineEndByte();
        if (ZelDetectionLive()) {
            QByteArray whole = out.Segments.join();
            RemoveByte(whole, lineEnd);
            DetectZel(whole);
        }
        for (QByteArray &segment : out.Segments) {
            RemoveByte(segment, lineEnd);
            SplitAndWrite(std::move(segment));
            EndOfBlock();
            if (m_closing)
                return;
        }
    }
    if (m_closing)
        return;
    if (Options.ToggleIcon && !m_globals.AppActive)
        emit AlertIconWanted();
    ScrollToEnd();
}

void TClient::HandleTelnetOutput(const TelnetFilter::Output &out)
{
    if (!out.Replies.isEmpty())
        Send(out.Replies);
    if (out.WindowSizeWanted)
        Send(TelnetFilter::WindowSizeMessage(m_windowColumns, m_windowRows));
    for (const QByteArray &notice : out.Notices)
        WriteStatus(TrimBlanks(notice));
    // The world agreed to UTF-8: typed lines go out as UTF-8 from now on.
    if (m_telnet.AgreedUtf8())
        SawUtf8 = true;
    SetTypingHidden(m_telnet.ServerEchoes());
}

void TClient::SetTypingHidden(bool hidden)
{
    if (hidden == m_typingHidden)
        return;
    m_typingHidden = hidden;
    emit TypingHiddenChanged(hidden);
}

void TClient::SendSecret(const QByteArray &line)
{
    if (IsConnected())
        SendLine(line);
}

void TClient::SetWindowSize(int columns, int rows)
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

void TClient::WriteStatus(const QByteArray &text, const QByteArray &action)
{
    const TextAttributes saved = Display.Attributes;
    if (!Display.Paragraphs().back().Text.isEmpty())
        Display.EndParagraph();
    Display.Attributes.FontName = TrimTrailingBlanks(Options.CurFontName);
    Display.Attributes.FontSize = Options.CurFontSize;
    Display.Attributes.Fore = action.isEmpty() ? Rgb(192, 192, 192) : Rgb(0, 255, 255);
    Display.Attributes.Back = Options.DefaultBackColor;
    Display.Attributes.Style = action.isEmpty() ? 0 : Underline;
    Display.Append(text + "\n");
    if (!action.isEmpty())
        Display.SetLastParagraphAction(action);
    Display.Attributes = saved;
    Display.TrimToLimit(Options.EffectiveMaxLines());
    ScrollToEnd();
}

void TClient::RunExecuteTriggers(const QByteArray &line)
{
    if (!Options.EnableTriggers)
        return;
    if (OnTriggerLine)
        OnTriggerLine(line);
    // A trigger whose command writes text matching itself would run without end: text written by trigger
    // commands takes part only a few levels deep. Server text always takes part.
    if (m_triggerDepth > MaxTriggerDepth)
        return;
    m_executePass.Run(
        Automation, line,
        [this](const TAdvancedItem &trigger, const QByteArray &captures) {
            if (m_closing)
                return;
            const QList<QByteArray> pieces = SplitText(captures, ',');
            for (qsizetype i = 1; i < pieces.size(); ++i)
                Automation.AddVariable("$" + QByteArray::number(i), pieces[i], "System", 0);
            ++m_triggerDepth;
            ProcessCommand(ReplaceAll("\r\n", Options.ExprSeparator, trigger.Command));
            --m_triggerDepth;
        },
        [this](const QByteArray &pattern, const QByteArray &message) {
            WriteNotice("The trigger " + pattern + " has a regular expression error: " + message
                        + "; it is skipped.\r\n");
        });
}

void TClient::HandleIncomingText(QByteArray text)
{
    RemoveByte(text, Options.LineEndByte());
    DetectZel(text);
    SplitAndWrite(std::move(text));
}

void TClient::DetectZel(QByteArrayView block)
{
    if (!ZelDetectionLive())
        return;
    if (IsZelBanner(block)) {
        Options.ZelEnabled = true;
        ZelDetectCount = 0;
        Send(QByteArrayView(ZelAnswer));
        RunEvent("ZEL Detected");
    }
    --ZelDetectCount;
}

// A line end at the very end of a block is written like any other, so a block gives the same lines whether
// it arrives whole or cut (a following block starts on a new line).
//
// Pieces cut from the block itself hold no line end (the splitter cuts at every CR and LF), so they go
// through the plain writer; replaced text and text the splitter put together from earlier blocks may hold
// anything and go through WriteText. The line limit is kept at every line end and when the block is done.
void TClient::SplitAndWrite(QByteArray text)
{
    ChunkCursor cursor(std::move(text));
    ChunkState state {Options, m_globals.GlobalZel, AnsiBuffer, TagBuffer};
    QByteArrayView piece;
    char delimiter = 0;
    QByteArray replaced;
    // One look at the whole block tells whether the replace pass can change any piece of it.
    const QByteArrayView block = cursor.Text();
    const char *blockEnd = block.data() + block.size();
    quint64 checkedGeneration = 0;
    bool checked = false;
    bool blockMayChange = true;
    const auto replaceMayChange = [&] {
        const quint64 generation = Automation.TriggerGeneration();
        if (!checked || generation != checkedGeneration) {
            checked = true;
            checkedGeneration = generation;
            blockMayChange = m_replacePass.MayChange(Automation, block);
        }
        return blockMayChange;
    };
    // The fast lane's writer: its pieces are cut from the block and hold no line end.
    struct LaneSink {
        TClient &Client;
        void Plain(QByteArrayView text)
        {
            Client.m_writer.Write(text, false, DisplayWriter<TClient>::Bytes::NoCr);
            Client.m_writer.CountWrite();
        }
        void Escape(QByteArrayView sequence) { Client.TClient::ApplyAnsiSequence(sequence); }
        void LineEnd()
        {
            Client.m_writer.Write({}, true);
            Client.m_writer.CountWrite();
        }
    } sink {*this};
    for (;;) {
        // A trigger's command may have closed the session: the rest of the block is dropped with it.
        if (m_closing)
            return;
        // The lane is looked at again after every line end: trigger commands may have changed the state.
        if (FastLane && FastLaneOpen(state) && !(Options.EnableTriggers && replaceMayChange())) {
            const LaneStop stop = SplitCommonText(cursor, state, sink);
            if (stop == LaneStop::End)
                break;
            if (stop == LaneStop::LineEnd)
                continue;
        }
        if (!NextChunk(cursor, state, *this, piece, delimiter))
            break;
        if (!piece.isEmpty()) {
            const bool fromBlock = piece.data() >= block.data() && piece.data() + piece.size() <= blockEnd;
            QByteArrayView shown = piece;
            if (Options.EnableTriggers && (!fromBlock || replaceMayChange()))
                shown = m_replacePass.Apply(Automation, piece, replaced);
            if (fromBlock && shown.data() == piece.data()) {
                m_writer.Write(shown, false, DisplayWriter<TClient>::Bytes::NoCr);
                m_writer.CountWrite();
            } else {
                m_writer.WriteText(shown);
            }
        }
        if (delimiter == '\n' || delimiter == '\r') {
            m_writer.Write({}, true);
            m_writer.CountWrite();
        }
    }
    m_writer.KeepLimit();
}

void TClient::ApplyAnsiSequence(QByteArrayView sequence)
{
    ApplyAnsiCodes(sequence, Display.Attributes, Options, Features.ModernColours);
}

// ---- Writer -----------------------------------------------------------------------------------------

void TClient::WriteText(QByteArrayView text)
{
    m_writer.WriteText(text);
}

void TClient::ScrollToEnd()
{
    if (!ScrolledBack)
        Display.RequestScrollToEnd();
}

QByteArray TClient::MatchTriggers(QByteArrayView text, int mode)
{
    if (mode == 1)
        RunExecuteTriggers(text.toByteArray());
    if (mode != 0 || !Options.EnableTriggers)
        return text.toByteArray();
    QByteArray storage;
    return m_replacePass.Apply(Automation, text, storage).toByteArray();
}

void TClient::RunEvent(const QByteArray &name)
{
    const Busy busy(*this);
    emit EventRaised(name);
    // The walk follows the live list, as the trigger walk does: a command may switch or remove events.
    // Serials grow along the list, so the next event to run is the first enabled one after the last run.
    quint64 after = 0;
    while (!m_closing) {
        const QList<TAdvancedItem> &events = Automation.Events();
        const auto next = std::find_if(events.begin(), events.end(), [&](const TAdvancedItem &event) {
            return event.Serial > after && event.Enabled && event.Name == name;
        });
        if (next == events.end())
            break;
        after = next->Serial;
        ProcessCommand(ReplaceAll("\r\n", Options.ExprSeparator, next->Command));
    }
}

// ---- Commands ---------------------------------------------------------------------------------------

void TClient::ProcessCommand(const QByteArray &text)
{
    const Busy busy(*this);
    m_pipeline.ProcessCommand(text);
}

void TClient::DeleteWhenIdle()
{
    m_deleteWhenIdle = true;
    if (m_busy == 0)
        deleteLater();
}

void TClient::ExecuteCommand(const QByteArray &command)
{
    const QByteArray c = Automation.SubstituteVariables(TrimBlanks(command));
    const QByteArray cc = TrimBlanks(Options.CommandChar);
    if (c.startsWith(cc) && c.size() > cc.size() && DispatchSlashCommand(*this, Desk(), c.mid(cc.size())))
        return;
    Echo(Options.LocalEcho ? c : QByteArray());
    if (IsConnected())
        SendLine(c);
}

void TClient::SendLine(QByteArray line)
{
    // A byte 255 in a line is data, not a telnet command: it goes out doubled.
    if (line.contains('\xff'))
        line.replace("\xff", QByteArrayView("\xff\xff", 2));
    Send(line + "\r\n");
}

void TClient::Echo(const QByteArray &text)
{
    const TextAttributes saved = Display.Attributes;
    Display.Attributes.FontName = TrimTrailingBlanks(Options.CurFontName);
    Display.Attributes.FontSize = Options.CurFontSize;
    Display.Attributes.Fore = Rgb(255, 255, 0);
    Display.Append(text + "\n");
    Display.Attributes = saved;
    Display.TrimToLimit(Options.EffectiveMaxLines());
    ScrollToEnd();
}

QByteArray TClient::TabComplete(const QByteArray &prefix) const
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    for (const QByteArray &word : Automation.TabWords()) {
        if (word.size() > prefix.size()
            && std::equal(prefix.begin(), prefix.end(), word.begin(), [&](char a, char b) { return lower(a) == lower(b); }))
            return word;
    }
    return prefix;
}

QByteArray TClient::EncodeTyped(const QString &text) const
{
    return EncodeLine(text, SawUtf8);
}

WorkspaceHost &TClient::Desk()
{
    return m_globals.Workspace ? *m_globals.Workspace : m_lone;
}

void TClient::BeginClose()
{
    if (m_closing)
        return;
    qCDebug(lcSession) << "closing session" << Index << Options.WorldName;
    m_closing = true;
    m_reconnectTimer.stop();
    // The close notification runs as for any close (its line reaches the log); the "On Disconnect" it
    // schedules is dropped with the session.
    m_connecting = false;
    m_connectTimeout.stop();
    // What the session's last commands sent is handed to the system first: a "quit" before the close
    // still reaches the world.
    Socket->flush();
    Socket->abort();
    DisconnectTimer.stop();
    DisconnectTag = 0;
}

void TClient::SaveAll()
{
    SaveOptions();
    SaveAdvanced();
}

void TClient::ReportFileError(const QString &path, const QString &error)
{
    emit Notice(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), error));
}

void TClient::WriteNotice(const QByteArray &text)
{
    const Colour saved = Options.CurTextColor;
    SetColor("SILVER", 0);
    WriteText(text);
    Options.CurTextColor = saved;
}

bool TClient::LoadAdvanced()
{
    QString error;
    if (wren::LoadAdvanced(AdvancedFile, Automation, &error))
        return true;
    ReportFileError(AdvancedFile, error);
    return false;
}

void TClient::ExportAdvanced(const QString &path)
{
    QString error;
    if (!wren::SaveAdvanced(path, Automation, &error)) {
        ReportFileError(path, error);
        return;
    }
    WriteText("\nSettings exported successfully!\n");
    ScrollToEnd();
}

void TClient::ImportAdvanced(const QString &path)
{
    QString error;
    if (!wren::LoadAdvanced(path, Automation, &error)) {
        ReportFileError(path, error);
        return;
    }
    WriteText("\nSettings imported successfully!\n");
    ScrollToEnd();
}

void TClient::ExportText(const QString &path)
{
    QString error;
    if (!SaveFileAtomically(path, ExportTextBytes(Automation), &error)) {
        ReportFileError(path, error);
        return;
    }
    WriteText("\nSettings exported successfully!\n");
    ScrollToEnd();
}

namespace {

// A text file of automations to import: nothing when it is missing, its bytes (up to a sane size) otherwise.
std::optional<QByteArray> ReadImport(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    return file.read(16 * 1024 * 1024);
}

} // namespace

void TClient::ImportZMud(const QString &path)
{
    QString error;
    const auto bytes = ReadImport(path, &error);
    if (!bytes) {
        if (!error.isEmpty())
            ReportFileError(path, error);
        return;
    }
    ImportZMudBytes(*bytes, Automation, Options.PathChar);
    WriteText("\nSettings imported successfully!\n");
    ScrollToEnd();
}

void TClient::ImportWns(const QString &path)
{
    QString error;
    const auto bytes = ReadImport(path, &error);
    if (!bytes) {
        if (!error.isEmpty())
            ReportFileError(path, error);
        return;
    }
    ImportWnsBytes(*bytes, Automation);
    WriteText("\nWN settings imported successfully!\n");
    ScrollToEnd();
}

bool TClient::SaveAdvanced()
{
    QString error;
    if (wren::SaveAdvanced(AdvancedFile, Automation, &error))
        return true;
    ReportFileError(AdvancedFile, error);
    return false;
}

// ---- Styling ----------------------------------------------------------------------------------------

void TClient::SetColor(const QByteArray &name, int target)
{
    const Colour colour = ZelColorValue(name);
    if (target == 0) {
        Options.CurTextColor = colour;
    } else if (target == 1) {
        Options.BackColor = colour;
        Display.SetBackground(colour);
    }
}

void TClient::InterpretTag(const QByteArray &tag)
{
    InterpretZelTag(*this, tag);
}

void TClient::LoadZelImage(const QByteArray &source)
{
    const ZelFile file = FetchZelFile(source, ZelBaseUrl, m_http, ProgramFolder());
    QImage picture;
    if (!file.Path.isEmpty())
        picture = LoadPicture(file.Path);
    if (picture.isNull() || !m_writer.InsertPicture(picture)) {
        WriteText("ZEL Image Load Error : " + file.Shown);
        ScrollToEnd();
    }
    RunEvent("On Image");
}

void TClient::PlayZelAudio(const QByteArray &source)
{
    const ZelFile file = FetchZelFile(source, ZelBaseUrl, m_http, ProgramFolder());
    if (file.Path.isEmpty()) {
        WriteText("ZEL Audio Load Error : " + file.Shown);
        ScrollToEnd();
        return;
    }
    Desk().PlaySound(QFile::encodeName(file.Path));
}

void TClient::EndFont()
{
    Options.CurFontName = TrimBlanks(Options.FontName);
    Options.CurFontSize = Options.FontSize;
    Options.CurTextColor = Options.TextColor;
}

} // namespace wren
