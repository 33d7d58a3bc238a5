// SPDX-License-Identifier: GPL-3.0-or-later
// The session object: one world's connection, view, options and automations, wired together.
#pragma once

#include "automation/automation_face.h"
#include "automation/automation_store.h"
#include "commands/command_pipeline.h"
#include "commands/command_sender.h"
#include "commands/slash_commands.h"
#include "commands/slash_extensions.h"
#include "config/globals.h"
#include "config/http_client.h"
#include "config/world_features.h"
#include "logging/session_log.h"
#include "options/options_face.h"
#include "options/session_options.h"
#include "session/command_face.h"
#include "session/command_history.h"
#include "session/connection.h"
#include "session/game_data_side.h"
#include "session/incoming_text.h"
#include "session/map_side.h"
#include "session/markup_side.h"
#include "session/script_side.h"
#include "session/session_document.h"
#include "session/session_lifetime.h"
#include "session/view_model.h"
#include "session/world_files.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>

class QSslSocket;

namespace wren {

/// A session is a switchboard: it owns the state of one world (options, automations, the view's document)
/// and wires the parts that do the work to each other and to that state: the connection (socket, TLS,
/// telnet), the incoming pipeline (text to the view), the command pipeline and its last step, the markup
/// side (tags, pictures, sounds) and the world's files. Its own methods are the named operations, each a
/// few lines handing work to one of those parts.
class TClient : public QObject,
                public CommandFace,
                public OptionsFace,
                public AutomationFace,
                private CommandHost,
                private SessionHost,
                private IncomingHost,
                private CommandSenderHost,
                private MarkupSideHost,
                private WorldFilesHost,
                private GameDataHost,
                private MapSideHost,
                private ScriptSideHost,
                private ViewModel
{
    Q_OBJECT
public:
    explicit TClient(TGlobals &globals, QObject *parent = nullptr);
    ~TClient() override;

    int Index = 0;
    QByteArray AnsiBuffer;
    QByteArray TagBuffer;
    QSslSocket *Socket = nullptr; ///< the connection's socket: plain unless the world is secure
    quint16 ConnectError = 0;
    SessionDocument Display;
    QTimer DisconnectTimer;
    int DisconnectTag = 0; ///< 1 while "On Disconnect" is pending
    TSessionOptions Options;
    AutomationStore Automation;
    QString AdvancedFile;
    QString OptionsFile;
    QByteArray ZelBaseUrl;
    int ZelDetectCount = 0;
    bool ScrolledBack = false;
    QByteArray ZelLinkTarget;
    QByteArray LineBuffer;
    int WriteCount = 0;
    /// The host name the connection uses; Options.Host may hold only its first 50 characters.
    QByteArray Addr;
    /// The last key combination the macro-capture dialog took: key code, name and modifier set.
    int MacroKey = 0;
    QByteArray MacroKeyName;
    std::uint8_t MacroShift = 0;
    /// The commands typed in this session, for Up and Down in the command box.
    CommandHistory History;
    /// What this world may use beyond the classic client, from the program's own settings file.
    WorldFeatures Features;
    /// Asks the user whether to trust a certificate that does not verify; nothing set refuses it.
    std::function<bool(const QString &question)> TrustPrompt;
    /// Text written while trigger commands run passes the execute pass only this many levels deep.
    static constexpr int MaxTriggerDepth = IncomingText::MaxTriggerDepth;
    static constexpr int MaxReconnectAttempts = Connection::MaxReconnectAttempts;

    /// Names the world, points the session at its files and loads them, with the world's own switches.
    void Open(const QByteArray &name, const QByteArray &host, int port);
    /// The options that take effect when they are loaded or changed: the view's background and fonts.
    void ApplyViewOptions() override;
    bool LoadOptions() { return m_files.LoadOptions(); }
    bool SaveOptions() override { return m_files.SaveOptions(); }
    bool LoadAdvanced() { return m_files.LoadAdvanced(); }
    bool SaveAdvanced() override { return m_files.SaveAdvanced(); }
    /// The import and export menu commands (see WorldFiles).
    void ExportAdvanced(const QString &path) { m_files.ExportAdvanced(path); }
    void ImportAdvanced(const QString &path) { m_files.ImportAdvanced(path); }
    void ExportText(const QString &path) { m_files.ExportText(path); }
    void ImportZMud(const QString &path) { m_files.ImportZMud(path); }
    void ImportWns(const QString &path) { m_files.ImportWns(path); }
    WorldFiles &Files() { return m_files; }

    /// The Connect and Reconnect commands: closes what is open, then connects to Options.Host and Port.
    void Connect();
    /// The first connection of a new session: only host and port are set before connecting.
    void ConnectTo(const QByteArray &host, int port);
    void Disconnect();
    void Send(QByteArrayView text) override { m_connection.Send(text); }
    bool IsConnected() const override { return m_connection.IsConnected(); }
    /// The server echoes what is typed (a password prompt): the command box hides it.
    bool HidesTyping() const override { return m_connection.ServerEchoes(); }
    /// A typed line the server hides: sent as it is, never echoed, logged, recorded or expanded.
    void SendSecret(const QByteArray &line) override;
    /// The view's size in characters, reported to the server when it asks for it.
    void SetWindowSize(int columns, int rows) { m_connection.SetWindowSize(columns, rows); }
    /// A line of the client's own about the connection, straight into the view (not logged, no triggers).
    /// With @p action the line can be clicked, which runs RunAction(action).
    void WriteStatus(const QByteArray &text, const QByteArray &action = {});
    /// What a clicked status line asks for ("reconnect").
    void RunAction(const QByteArray &action);
    static int ReconnectDelayMs(int attempt) { return Connection::ReconnectDelayMs(attempt); }
    bool ReconnectPending() const { return m_connection.ReconnectPending(); }

    /// Received bytes as the socket gives them: the telnet layer, then the text pipeline.
    void ReceiveBytes(const QByteArray &bytes) { m_connection.Receive(bytes); }
    /// Received or fetched text through line-end removal, markup detection, splitting and the writer.
    void HandleIncomingText(QByteArray text) { m_incoming.HandleText(std::move(text)); }
    /// The one way text reaches the view: logged, line triggers, appended, trimmed, kept scrolled.
    void WriteText(QByteArrayView text) override { m_incoming.WriteText(text); }
    void ScrollToEnd() override { m_incoming.ScrollToEnd(); }
    /// Mode 0: the replace pass over a chunk (returned). Mode 1: the execute pass over a line.
    QByteArray MatchTriggers(QByteArrayView text, int mode) { return m_incoming.MatchTriggers(text, mode); }
    /// Runs the commands of every enabled event of that name, in list order.
    void RunEvent(const QByteArray &name) override;

    /// Everything typed, and every command an automation runs, enters here.
    void ProcessCommand(const QByteArray &text) override;
    /// One plain single command: variables substituted, then a slash command, or echoed and sent.
    void ExecuteCommand(const QByteArray &command) override { m_sender.Execute(command); }
    /// Writes a command into the view in yellow, straight (not logged, no triggers).
    void Echo(const QByteArray &text) override;
    /// The first tab-completion word longer than @p prefix that begins with it; @p prefix when none does.
    QByteArray TabComplete(const QByteArray &prefix) const override;
    /// A line typed in the command box as the world gets it (see EncodeLine).
    QByteArray EncodeTyped(const QString &text) const override;

    /// The session is being closed: its connection is dropped, its pending "On Disconnect" with it, and
    /// nothing more runs in it. The object is deleted once the event loop is reached again.
    void BeginClose();
    bool IsClosing() const override { return m_closing; }
    /// Deletes the session once none of its own code is running any more.
    void DeleteWhenIdle() { m_lifetime.DeleteWhenIdle(); }

    void SetColor(const QByteArray &name, int target) override { m_markup.SetColor(name, target); }
    /// Runs one markup tag (the text between "<" and ">").
    void InterpretTag(const QByteArray &tag) { m_markup.Interpret(tag); }
    /// Returns the font, size and colour of new text to the session's defaults.
    void EndFont() override { m_markup.EndFont(); }
    /// A sound named by markup or PLAY: found locally or fetched, then handed to the player.
    void PlayZelAudio(const QByteArray &source) override { m_markup.PlayZelAudio(source); }
    /// The session's HTTP client (GET, HIT, WPHIT).
    const HttpClient &Http() const { return m_http; }

    /// What the session's view shows and reads.
    ViewModel &Model() { return *this; }
    IncomingText &Incoming() { return m_incoming; }
    MarkupSide &Markup() { return m_markup; }
    Connection &Link() { return m_connection; }
    GameDataSide &GameSide() { return m_gameData; }
    MapSide &Map() { return m_map; }
    ScriptSide &Scripts() { return m_scripts; }
    /// Client commands added beyond the classic ones.
    SlashExtensions &Extensions() { return m_extensions; }

    const TGlobals &Globals() const { return m_globals; }
    TGlobals &Globals() { return m_globals; }
    SessionLog &Log() { return m_log; }

    // CommandFace: what the command box uses besides the operations above.
    CommandHistory &TypedHistory() override { return History; }
    QByteArray MacroFor(int key, std::uint8_t shift) const override { return Automation.FindMacro(key, shift); }
    bool IsHeld() const override { return ScrolledBack; }
    void SetHeld(bool held) override { ScrolledBack = held; }
    bool WrapsHistory() const override { return Options.WrapHistory; }
    bool ClearsAfterEnter() const override { return Options.AutoClearCommand; }
    // OptionsFace: what the options dialog uses besides the operations above.
    TSessionOptions &SessionOptions() override { return Options; }
    const WorldFeatures &SessionFeatures() const override { return Features; }
    void SetFeature(const QString &key, bool on) override;
    void Restyle() override { Display.Restyle(); }
    void ShowBackground(Colour colour) override { Display.SetBackground(colour); }
    // AutomationFace: what the editor uses besides the operations above.
    AutomationStore &Automations() override { return Automation; }
    QString AutomationFile() const override { return AdvancedFile; }
    MacroCapture &CapturedMacro() override { return m_capturedMacro; }

signals:
    /// An event was raised (its commands run through the command pipeline).
    void EventRaised(const QByteArray &name);
    /// Something the user should read in a message box.
    void Notice(const QString &text);
    /// The program is in the background and new text arrived.
    void AlertIconWanted();
    /// The server started or stopped hiding what is typed.
    void TypingHiddenChanged(bool hidden);

private:
    using Busy = SessionLifetime::Busy;
    void WireConnection();
    void AddSystemItems();
    void Redial();
    /// The connection attempt ended: @p error 0 when it is up.
    void OnConnected(quint16 error);
    void OnClosed(quint16 error);
    void OnSocketError(int error);
    void OnDisconnectTimer();
    void LoadFeatures();

    // ViewModel
    SessionDocument &Document() override { return Display; }
    bool IsScrolledBack() const override { return ScrolledBack; }
    bool HighlightLinks() const override { return Options.AutoHighlightLinks; }
    bool AutoCopy() const override { return Options.AutoCopy; }
    bool SplitWhenHeld() const override { return Features.SplitView; }
    QString WorldName() const override { return QString::fromLocal8Bit(TrimBlanks(Options.WorldName)); }
    bool AnnounceNewText() const override { return Features.AnnounceNewText; }
    bool AnnounceOnlyAtEnd() const override { return Features.AnnounceOnlyAtEnd; }
    // CommandHost
    QByteArray ExprSeparator() const override { return Options.ExprSeparator; }
    QByteArray PathChar() const override { return Options.PathChar; }
    bool ExpandPaths() const override { return Options.ExpandPaths; }
    const QList<TAdvancedItem> &Aliases() const override { return Automation.Aliases(); }
    void ReportPipeline(const QByteArray &message) override { m_incoming.WriteNotice(message); }
    CommandBudget &Budget() override { return m_globals.Budget; }
    bool Closing() const override { return m_closing; }
    // CommandSenderHost
    bool RunSlashCommand(const QByteArray &text) override
    {
        return DispatchSlashCommand(*this, Desk(), text) || m_extensions.Run(text) || m_scripts.RunCommand(text);
    }
    bool TakeCommand(const QByteArray &command) override { return m_scripts.TakeCommand(command); }
    // ScriptSideHost
    bool IsClientCommand(const QByteArray &name) const override
    {
        return IsSlashCommand(name) || m_extensions.Has(name);
    }
    // GameDataHost
    void SendRaw(QByteArrayView bytes) override { m_connection.Send(bytes); }
    void RunGameDataEvent(const QByteArray &name) override { RunEvents(name, Qt::CaseInsensitive); }
    void Report(const QByteArray &line) override { WriteStatus(line); }
    void RunEvents(const QByteArray &name, Qt::CaseSensitivity cs);
    void AddCommands();
    // SessionHost
    void TogglePause() override { ScrolledBack = !ScrolledBack; }
    void SetVariable(const QByteArray &name, const QByteArray &value) override
    {
        Automation.AddVariable(name, value, "Main", 0);
    }
    void SetClassState(bool enable, const QByteArray &name, bool toggle, const QByteArray &itemClass) override
    {
        Automation.SetClassState(enable, name, toggle, itemClass);
    }
    void SaveAll() override;
    bool ToggleLocalEcho() override { return Options.LocalEcho = !Options.LocalEcho; }
    void ClearText() override { Display.Clear(); }
    bool WorkStopped() const override { return m_closing || m_globals.Budget.Stopped(); }
    void StopCommand() override { m_globals.Budget.Stop(); }
    HttpResult HttpGet(const QByteArray &url) override { return m_http.Get(url); }
    void HandleFetchedText(const QByteArray &text) override { HandleIncomingText(text); }
    void ReportFailure(const QString &text) override { emit Notice(text); }
    QByteArray Speak(const QByteArray &text) override { return Features.Speech ? Desk().Speak(text) : QByteArray(); }
    // IncomingHost
    void NewTextInBackground() override { emit AlertIconWanted(); }
    // MarkupSideHost
    void PlaySound(const QByteArray &file) override { Desk().PlaySound(file); }
    // WorldFilesHost
    void FileNotice(const QString &text) override { emit Notice(text); }
    void FileLine(const QByteArray &text) override;
    void OptionsLoaded() override { ApplyViewOptions(); }
    /// The workspace slash commands act on: the program's, or this session alone.
    WorkspaceHost &Desk();

    /// The surroundings of a session that has no workspace: ALL runs in it alone, the rest does nothing.
    class LoneWorkspace : public WorkspaceHost
    {
    public:
        explicit LoneWorkspace(TClient &session)
            : m_session(session)
        {
        }
        void ProcessInAllSessions(const QByteArray &text) override { m_session.ProcessCommand(text); }
        void ConnectCurrent() override {}
        void DisconnectCurrent() override {}
        void CloseCurrent() override {}
        void ClearCurrent() override {}
        void Quit() override {}
        void OpenSettings() override {}
        void OpenConnectionManager() override {}
        void Run(const QByteArray &) override {}
        void PlaySound(const QByteArray &) override {}
        std::optional<QByteArray> SelectedSongLine() const override { return std::nullopt; }
        void AddSong(const QByteArray &) override {}
        void RandomSong() override {}
        void NextSong() override {}
        void PreviousSong() override {}
        bool StopSong() override { return false; }
        QByteArray PortalDataAddress(const QByteArray &, const QByteArray &) const override { return {}; }

    private:
        TClient &m_session;
    };

    TGlobals &m_globals;
    SessionLifetime m_lifetime {*this};
    LoneWorkspace m_lone {*this};
    bool m_closing = false;
    SessionLog m_log;
    HttpClient m_http;
    MacroCapture m_capturedMacro {MacroKey, MacroKeyName, MacroShift};
    MarkupSide m_markup {*this, {Options, Display, m_globals, ZelLinkTarget, ZelBaseUrl, m_http}, *this};
    IncomingText m_incoming {*this,
                             {Options, Display, Automation, m_globals, Features, m_log, m_lifetime, m_markup,
                              ScrolledBack, AnsiBuffer, TagBuffer, LineBuffer, WriteCount, ZelDetectCount}};
    Connection m_connection {m_incoming};
    GameDataSide m_gameData {*this, m_globals.Version};
    SlashExtensions m_extensions;
    MapSide m_map {*this};
    ScriptSide m_scripts {*this, Automation, m_gameData, m_map};
    CommandPipeline m_pipeline {*this};
    CommandSender m_sender {*this, Automation, Options};
    WorldFiles m_files {*this, Options, Automation, OptionsFile, AdvancedFile};
};

} // namespace wren
