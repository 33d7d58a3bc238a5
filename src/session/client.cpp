// SPDX-License-Identifier: GPL-3.0-or-later
// The session object: one world's connection, view, options and automations, wired together.
#include "session/client.h"

#include "base/byte_decoder.h"
#include "base/text_helpers.h"
#include "commands/tab_completion.h"
#include "config/app_settings.h"
#include "config/logging.h"
#include "config/program_folder.h"
#include "session/socket_errors.h"
#include "session/status_lines.h"

#include <QDir>

namespace wren {

TClient::TClient(TGlobals &globals, QObject *parent)
    : QObject(parent)
    , m_globals(globals)
{
    m_markup.AttachText(m_incoming);
    m_connection.SetProtocolSink(&m_gameData);
    m_gameData.AttachTelnet(m_connection.Telnet());
    m_sender.SetGameData(&m_gameData.Data());
    m_gameData.SetRoomListener(&m_map);
    m_incoming.SetLineWatcher(&m_scripts);
    m_sender.SetSentListener([this](const QByteArray &command) { m_map.CommandSent(command); });
    AddCommands();
    Socket = m_connection.Socket();
    WireConnection();
    DisconnectTimer.setSingleShot(true);
    DisconnectTimer.setTimerType(Qt::PreciseTimer); // a coarse timer may fire up to 5 % early
    connect(&DisconnectTimer, &QTimer::timeout, this, &TClient::OnDisconnectTimer);
    Options.SetDefaults();
    m_log.SetBaseFolder(QDir(ProgramFolder()).filePath(QStringLiteral("logs")));
    m_log.SetFailureReport([this](const QString &message) { emit Notice(message); });
    AddSystemItems();
    ZelDetectCount = m_globals.GlobalZel ? 3 : 0;
    ScrolledBack = false;
    ApplyViewOptions();
}

TClient::~TClient() = default;

// The connection reports to the session's named operations; the text it receives goes straight to the
// incoming pipeline, which it was made with.
void TClient::WireConnection()
{
    connect(&m_connection, &Connection::Established, this, [this] { OnConnected(0); });
    connect(&m_connection, &Connection::Failed, this, &TClient::OnConnected);
    connect(&m_connection, &Connection::HostNotFound, this, &TClient::OnSocketError);
    connect(&m_connection, &Connection::Closed, this, &TClient::OnClosed);
    connect(&m_connection, &Connection::Status, this, &TClient::WriteStatus);
    connect(&m_connection, &Connection::TypingHiddenChanged, this, &TClient::TypingHiddenChanged);
    connect(&m_connection, &Connection::ReconnectDue, this, [this] {
        const Busy busy(m_lifetime);
        Redial();
    });
    m_connection.TrustPrompt = [this](const QString &question) {
        // The question may wait in a nested event loop: the session stays alive until it returns.
        const Busy busy(m_lifetime);
        return TrustPrompt && TrustPrompt(question);
    };
}

// The four telnet sequences the classic client stripped, and the system variables every session has.
void TClient::AddSystemItems()
{
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
}

void TClient::Open(const QByteArray &name, const QByteArray &host, int port)
{
    Options.WorldName = name.left(40);
    Options.Host = TrimBlanks(host).left(50);
    Options.Port = QByteArray::number(port).left(5);
    Addr = host;
    const QString base = QDir(ProgramFolder())
                             .filePath(QString::fromLocal8Bit(TrimBlanks(Options.Host)) + QLatin1Char('.')
                                       + QString::fromLocal8Bit(TrimBlanks(Options.Port)));
    OptionsFile = base + QStringLiteral(".wno");
    AdvancedFile = base + QStringLiteral(".wn2");
    LoadOptions();
    LoadAdvanced();
    LoadFeatures();
    m_map.Open(TrimBlanks(Options.Host), TrimBlanks(Options.Port));
    m_scripts.Open(TrimBlanks(Options.Host), TrimBlanks(Options.Port));
}

// The switches are read afresh whenever a connection starts: another session of the world may have
// changed them.
void TClient::LoadFeatures()
{
    Features = WorldFeatures::Load(AppSettings(), TrimBlanks(Options.Host), TrimBlanks(Options.Port));
}

void TClient::SetFeature(const QString &key, bool on)
{
    AppSettings settings;
    Features.SaveSwitch(settings, TrimBlanks(Options.Host), TrimBlanks(Options.Port), key, on);
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

// ---- Connection -------------------------------------------------------------------------------------

void TClient::ConnectTo(const QByteArray &host, int port)
{
    Addr = host;
    m_gameData.Start(GameDataSettings::Load(AppSettings(), TrimBlanks(Options.Host), TrimBlanks(Options.Port)));
    m_map.ForgetMoves();
    m_connection.Open({host, port, TrimBlanks(Options.Host), TrimBlanks(Options.Port), Features});
}

void TClient::Connect()
{
    const Busy busy(m_lifetime);
    m_connection.StopReconnecting();
    Redial();
}

// Closes what is open and dials the world again (Connect, Reconnect, and automatic reconnecting, which
// keeps its back-off).
void TClient::Redial()
{
    Options.ZelEnabled = false;
    ZelDetectCount = m_globals.GlobalZel ? 3 : 0;
    m_connection.SetClosedOnPurpose();
    m_connection.CloseBriefly();
    if (m_closing)
        return; // closed while the old connection went
    // Options.Host keeps 50 characters; a longer name the session was opened with is still used whole.
    if (Addr.left(50) != Options.Host)
        Addr = Options.Host;
    LoadFeatures();
    ConnectTo(Addr, LeadingNumber(Options.Port));
}

void TClient::Disconnect()
{
    const Busy busy(m_lifetime);
    m_connection.SetClosedOnPurpose();
    m_connection.StopReconnecting();
    m_connection.CloseAndWait();
}

void TClient::OnConnected(quint16 error)
{
    const Busy busy(m_lifetime);
    qCDebug(lcSession) << "connect to" << Addr << "ended with" << error;
    ConnectError = error;
    if (error != 0) {
        WriteText("Connection failed.  Either the host is not responding or you are not able to access the host.\r\n");
    } else {
        WriteText("Connected...\r\n" + Addr + " resolved to IP " + m_connection.PeerAddress() + "\r\n");
        m_globals.LocalAddress = "0.0.0.0";
        RunEvent("On Connect");
    }
    ScrollToEnd();
}

void TClient::OnClosed(quint16 error)
{
    const Busy busy(m_lifetime);
    qCDebug(lcSession) << "connection to" << Addr << "closed with" << error;
    if (ConnectError != 0)
        return;
    SetColor("RED", 0);
    if (error != 0)
        WriteText("\r\nDisconnected with error #" + QByteArray::number(error) + "\r\n");
    else
        WriteText("\r\nDisconnected from server\r\n");
    EndFont();
    if (!m_closing)
        m_connection.OfferReconnect();
    ScrollToEnd();
    DisconnectTag = 1;
    DisconnectTimer.start(500);
}

void TClient::OnDisconnectTimer()
{
    DisconnectTimer.stop();
    if (DisconnectTag == 1 && !IsConnected())
        RunEvent("On Disconnect");
    DisconnectTag = 0;
}

void TClient::OnSocketError(int error)
{
    const Busy busy(m_lifetime);
    WriteText("Error #" + QByteArray::number(error) + " with winsock.\r\nSee " + SocketErrorListAddress
              + " for more information.\r\n");
    m_connection.CloseAndWait();
    if (!m_closing)
        ScrollToEnd();
}

void TClient::RunAction(const QByteArray &action)
{
    if (action == "reconnect" && !m_closing && !IsConnected() && !m_connection.IsConnecting())
        Connect();
}

void TClient::WriteStatus(const QByteArray &text, const QByteArray &action)
{
    WriteStatusLine(Display, Options, text, action);
    ScrollToEnd();
}

void TClient::BeginClose()
{
    if (m_closing)
        return;
    qCDebug(lcSession) << "closing session" << Index << Options.WorldName;
    m_closing = true;
    // The close is reported as any close is (its line reaches the log); the "On Disconnect" it schedules
    // is dropped with the session.
    m_connection.Drop();
    m_map.Close();
    m_scripts.Shutdown();
    DisconnectTimer.stop();
    DisconnectTag = 0;
}

// ---- Commands and events ----------------------------------------------------------------------------

void TClient::ProcessCommand(const QByteArray &text)
{
    const Busy busy(m_lifetime);
    m_pipeline.ProcessCommand(text);
}

void TClient::RunEvent(const QByteArray &name)
{
    RunEvents(name, Qt::CaseSensitive);
}

// Game data events are named by what the server sends, in any case: they compare without case.
void TClient::RunEvents(const QByteArray &name, Qt::CaseSensitivity cs)
{
    const Busy busy(m_lifetime);
    emit EventRaised(name);
    // The walk follows the live list, as the trigger walk does: a command may switch or remove events.
    // Serials grow along the list, so the next event to run is the first enabled one after the last run.
    quint64 after = 0;
    while (!m_closing) {
        const QList<TAdvancedItem> &events = Automation.Events();
        const auto next = std::find_if(events.begin(), events.end(), [&](const TAdvancedItem &event) {
            return event.Serial > after && event.Enabled && event.Name.compare(name, cs) == 0;
        });
        if (next == events.end())
            break;
        after = next->Serial;
        ProcessCommand(ReplaceAll("\r\n", Options.ExprSeparator, next->Command));
    }
    if (!m_closing)
        m_scripts.RaiseEvent(name);
}

// The client commands beyond the classic ones, each handed to the part that does the work.
void TClient::AddCommands()
{
    m_extensions.Add("GMCP", [this](const QByteArray &arguments) { m_gameData.GmcpCommand(arguments); });
    m_extensions.Add("WALK", [this](const QByteArray &arguments) { m_map.Walk(arguments); });
    m_extensions.Add("WHERE", [this](const QByteArray &) { m_map.Where(); });
    m_extensions.Add("MAP", [this](const QByteArray &arguments) { m_map.MapCommand(arguments); });
    m_extensions.Add("LUA", [this](const QByteArray &arguments) { m_scripts.LuaCommand(arguments); });
    m_extensions.Add("RELOAD", [this](const QByteArray &) { m_scripts.ReloadCommand(); });
}

void TClient::SendSecret(const QByteArray &line)
{
    if (IsConnected())
        m_sender.SendLine(line);
}

void TClient::Echo(const QByteArray &text)
{
    WriteEchoLine(Display, Options, text);
    ScrollToEnd();
}

QByteArray TClient::TabComplete(const QByteArray &prefix) const
{
    return CompleteWord(Automation.TabWords(), prefix);
}

QByteArray TClient::EncodeTyped(const QString &text) const
{
    return EncodeLine(text, m_incoming.SawUtf8 || m_connection.AgreedUtf8());
}

WorkspaceHost &TClient::Desk()
{
    return m_globals.Workspace ? *m_globals.Workspace : m_lone;
}

void TClient::SaveAll()
{
    SaveOptions();
    SaveAdvanced();
}

void TClient::FileLine(const QByteArray &text)
{
    WriteText(text);
    ScrollToEnd();
}

} // namespace wren
