// SPDX-License-Identifier: GPL-3.0-or-later
// The session object: one world's connection, view, options and automations.
#pragma once

#include "automation/automation_store.h"
#include "automation/trigger_engine.h"
#include "commands/command_pipeline.h"
#include "commands/slash_commands.h"
#include "config/globals.h"
#include "logging/session_log.h"
#include "config/http_client.h"
#include "markup/chunk_splitter.h"
#include "markup/zel_interpreter.h"
#include "options/session_options.h"
#include "session/command_history.h"
#include "session/display_writer.h"
#include "session/session_document.h"
#include "session/telnet_filter.h"
#include "session/view_model.h"
#include "session/world_features.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSslError>
#include <QTimer>

#include <functional>

class QSslSocket;

namespace wren {

/// A session owns its socket, its view's content and its settings; each operation hands the real work to a
/// collaborator (telnet filter, chunk splitter, ANSI parser, document, log, automation store).
class TClient : public QObject,
                private ChunkHost,
                private CommandHost,
                private SessionHost,
                private ViewModel,
                private TagHost
{
    Q_OBJECT
public:
    explicit TClient(TGlobals &globals, QObject *parent = nullptr);
    ~TClient() override;

    int Index = 0;
    QByteArray AnsiBuffer;
    QByteArray TagBuffer;
    /// Plain unless the world is secure; a TLS socket either way.
    QSslSocket *Socket = nullptr;
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
    /// The world's text has held valid multi-byte UTF-8: typed lines go out as UTF-8 from then on.
    bool SawUtf8 = false;
    /// What this world may use beyond the classic client, from the program's own settings file.
    WorldFeatures Features;
    /// Asks the user whether to trust a certificate that does not verify; nothing set refuses it.
    std::function<bool(const QString &question)> TrustPrompt;
    /// Plain coloured text goes through the splitter's fast lane. Off, every chunk takes the general path:
    /// the two give the same result, which the tests compare.
    bool FastLane = true;

    /// Names the world, points the session at its options file and loads it.
    void Open(const QByteArray &name, const QByteArray &host, int port);
    /// The options that take effect when they are loaded or changed: the view's background and fonts.
    void ApplyViewOptions();
    bool LoadOptions();
    bool SaveOptions();

    /// The Connect and Reconnect commands: closes what is open, then connects to Options.Host and Port.
    void Connect();
    /// The first connection of a new session: only host and port are set before connecting.
    void ConnectTo(const QByteArray &host, int port);
    void Disconnect();
    void Send(QByteArrayView text);
    bool IsConnected() const;
    /// The server echoes what is typed (a password prompt): the command box hides it, and Enter sends it
    /// with SendSecret.
    bool HidesTyping() const { return m_typingHidden; }
    /// A typed line the server hides: sent as it is, never echoed, logged, recorded or expanded.
    void SendSecret(const QByteArray &line);
    /// The view's size in characters, reported to the server when it asks for it.
    void SetWindowSize(int columns, int rows);
    /// A line of the client's own about the connection, straight into the view (not logged, no triggers).
    /// With @p action the line can be clicked, which runs RunAction(action).
    void WriteStatus(const QByteArray &text, const QByteArray &action = {});
    /// What a clicked status line asks for ("reconnect").
    void RunAction(const QByteArray &action);
    static constexpr int MaxReconnectAttempts = 10;
    /// The wait before automatic reconnect attempt @p attempt (0 first): doubling from 2 s, at most 60 s.
    static int ReconnectDelayMs(int attempt);
    /// Whether triggers find their candidates with one database scan per line (the default where the
    /// machine allows) or a literal search per pattern; the results are the same. For comparisons.
    void UsePatternDatabase(bool on)
    {
        m_replacePass.UseDatabase(on);
        m_executePass.UseDatabase(on);
    }
    bool ReconnectPending() const { return m_reconnectTimer.isActive(); }

    /// What the socket's data notification does with the bytes it read: the telnet layer, then the text
    /// pipeline for each prompt-ended segment, then the end-of-block steps.
    void ReceiveBytes(const QByteArray &bytes);
    /// Runs received bytes (or a fetched page) through line-end removal, markup detection, splitting,
    /// replace triggers and the writer.
    void HandleIncomingText(QByteArray text);
    /// The one way text reaches the view: logged, line triggers, appended, trimmed, kept scrolled.
    void WriteText(QByteArrayView text) override;
    void ScrollToEnd() override;
    /// Mode 0: the replace pass over a chunk (returned). Mode 1: the execute pass over a line.
    QByteArray MatchTriggers(QByteArrayView text, int mode);
    /// Runs the commands of every enabled event of that name, in list order.
    void RunEvent(const QByteArray &name);

    /// Everything typed, and every command an automation runs, enters here.
    void ProcessCommand(const QByteArray &text) override;
    /// The session is being closed: its socket is dropped, its pending "On Disconnect" with it, and nothing
    /// more runs in it (the rest of a block being processed, the rest of a command). The object itself is
    /// deleted once the event loop is reached again, so a command of its own may close it.
    void BeginClose();
    bool IsClosing() const { return m_closing; }
    /// Deletes the session once none of its own code is running any more (a command of its own may be
    /// waiting in a dialog or a nested event loop while it is closed).
    void DeleteWhenIdle();
    /// One plain single command: variables substituted, then a slash command, or echoed and sent.
    void ExecuteCommand(const QByteArray &command) override;
    /// Writes a command into the view in yellow, straight (not logged, no triggers).
    void Echo(const QByteArray &text) override;
    /// The first tab-completion word longer than @p prefix that begins with it (ASCII letters compared
    /// without case); @p prefix itself when there is none.
    QByteArray TabComplete(const QByteArray &prefix) const;
    /// A line typed in the command box as the world gets it (see EncodeLine).
    QByteArray EncodeTyped(const QString &text) const;
    bool LoadAdvanced();
    bool SaveAdvanced();
    /// The import and export menu commands: each reports success with its line in the view; a file that
    /// cannot be written or read is reported in a message box.
    void ExportAdvanced(const QString &path);
    void ImportAdvanced(const QString &path);
    void ExportText(const QString &path);
    void ImportZMud(const QString &path);
    void ImportWns(const QString &path);
    /// Text written while trigger commands run passes the execute pass only this many levels deep.
    static constexpr int MaxTriggerDepth = 3;

    void SetColor(const QByteArray &name, int target) override;
    /// Runs one markup tag (the text between "<" and ">").
    void InterpretTag(const QByteArray &tag) override;
    /// Returns the font, size and colour of new text to the session's defaults.
    void EndFont() override;
    /// A picture named by markup: found locally or downloaded, put into the view in line with the text, or
    /// "ZEL Image Load Error : " + the source written; "On Image" runs either way.
    void LoadZelImage(const QByteArray &source) override;
    /// A sound named by markup or PLAY: found locally or downloaded, then handed to the player.
    void PlayZelAudio(const QByteArray &source) override;
    /// The session's HTTP client (markup media, GET, HIT, WPHIT).
    const HttpClient &Http() const { return m_http; }

    /// Sees every line the execute pass runs on, before the triggers do (for tests and tools).
    std::function<void(const QByteArray &line)> OnTriggerLine;

    /// What the session's view shows and reads.
    ViewModel &Model() { return *this; }

    const TGlobals &Globals() const { return m_globals; }
    TGlobals &Globals() { return m_globals; }
    SessionLog &Log() { return m_log; }

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
    void ApplyAnsiSequence(QByteArrayView sequence) override;
    // ViewModel
    SessionDocument &Document() override { return Display; }
    bool IsScrolledBack() const override { return ScrolledBack; }
    bool HighlightLinks() const override { return Options.AutoHighlightLinks; }
    bool AutoCopy() const override { return Options.AutoCopy; }
    bool SplitWhenHeld() const override { return Features.SplitView; }
    // TagHost
    TSessionOptions &TagOptions() override { return Options; }
    void SetStyle(std::uint8_t bits, bool on) override
    {
        Display.Attributes.Style = on ? (Display.Attributes.Style | bits) : (Display.Attributes.Style & ~bits);
    }
    void SetAlignment(Alignment alignment) override { Display.SetAlignment(alignment); }
    void RestoreBackground() override { Display.SetBackground(Options.DefaultBackColor); }
    void ClearView() override { Display.Clear(); }
    QByteArray LocalAddress() const override { return m_globals.LocalAddress; }
    QByteArray &LinkTarget() override { return ZelLinkTarget; }
    QByteArray &BaseUrl() override { return ZelBaseUrl; }
    // CommandHost
    QByteArray ExprSeparator() const override { return Options.ExprSeparator; }
    QByteArray PathChar() const override { return Options.PathChar; }
    bool ExpandPaths() const override { return Options.ExpandPaths; }
    const QList<TAdvancedItem> &Aliases() const override { return Automation.Aliases(); }
    void ReportPipeline(const QByteArray &message) override { WriteNotice(message); }
    CommandBudget &Budget() override { return m_globals.Budget; }
    bool Closing() const override { return m_closing; }
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
    /// The workspace slash commands act on: the program's, or this session alone.
    WorkspaceHost &Desk();
    /// A line of the client's own about automation problems, in silver, leaving the text colour as it was.
    void WriteNotice(const QByteArray &text);
    void ReportFileError(const QString &path, const QString &error);
    void OnConnected(quint16 error);
    void OnClosed(quint16 error);
    void OnSocketError(int error);
    void OnEncrypted();
    void OnSslErrors(const QList<QSslError> &errors);
    void HandleTelnetOutput(const TelnetFilter::Output &out);
    void SetTypingHidden(bool hidden);
    void ScheduleReconnect();
    /// The connection is up (after the TLS handshake, for a secure one).
    void Established();
    /// Sends a typed line: byte 255 doubled, CR LF after it.
    void SendLine(QByteArray line);
    void LoadFeatures();
    void OnDataAvailable();
    void OnDisconnectTimer();
    void Close();
    void WaitUntilClosed();
    void DetectZel(QByteArrayView block);
    bool ZelDetectionLive() const { return Options.AutodetectZel && ZelDetectCount > 0; }
    void SplitAndWrite(QByteArray text);
    void EndOfBlock() { m_writer.EndLine(); }
    // What the display writer needs of its session.
    friend class DisplayWriter<TClient>;
    void LogText(QByteArrayView text) { m_log.WriteLog(Options.LogMode, Options.LogFile, m_globals.CommonLogFile, text); }
    bool WantsLines() { return ExecutePassWanted(); }
    void LineDone(const QByteArray &line) { RunExecuteTriggers(line); }
    bool ExecutePassWanted()
    {
        return Options.EnableTriggers
            && (OnTriggerLine || m_executePass.Any(Automation));
    }
    void RunExecuteTriggers(const QByteArray &line);
    void CreateSocket();

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

    /// Held while the session's own code runs (a command, a read, a close): it is not deleted meanwhile.
    class Busy
    {
    public:
        explicit Busy(TClient &session)
            : m_session(session)
        {
            ++m_session.m_busy;
        }
        ~Busy()
        {
            if (--m_session.m_busy == 0 && m_session.m_deleteWhenIdle)
                m_session.deleteLater();
        }
        Busy(const Busy &) = delete;
        Busy &operator=(const Busy &) = delete;

    private:
        TClient &m_session;
    };

    TGlobals &m_globals;
    LoneWorkspace m_lone {*this};
    bool m_closing = false;
    int m_busy = 0;
    bool m_deleteWhenIdle = false;
    TelnetFilter m_telnet;
    ReplacePass m_replacePass;
    ExecutePass m_executePass;
    CommandPipeline m_pipeline {*this};
    int m_triggerDepth = 0;
    SessionLog m_log;
    DisplayWriter<TClient> m_writer {Display, Options, LineBuffer, WriteCount, *this};
    HttpClient m_http;
    QTimer m_connectTimeout;
    bool m_connecting = false;
    bool m_established = false;
    quint16 m_closeError = 0;
    /// The user (or a command) closed the connection: no reconnect is offered.
    bool m_closedOnPurpose = false;
    bool m_typingHidden = false;
    bool m_readMoreQueued = false;
    int m_windowColumns = 80;
    int m_windowRows = 24;
    QTimer m_reconnectTimer;
    int m_reconnectAttempts = 0;
    QElapsedTimer m_connectedFor;
    /// The certificate the user refused in this session: not asked about again.
    QByteArray m_refusedCertificate;
    QByteArray m_featuresFor;
};

} // namespace wren
