// SPDX-License-Identifier: GPL-3.0-or-later
// The received-block pipeline: decoding check, markup detection, splitting, replace triggers, the display
// writer, line triggers and prompts.
#pragma once

#include "automation/trigger_engine.h"
#include "markup/chunk_splitter.h"
#include "session/connection.h"
#include "session/display_writer.h"
#include "session/session_lifetime.h"
#include "session/shown_lines.h"

#include <QByteArray>

#include <functional>

namespace wren {

class AutomationStore;
class SessionDocument;
class SessionLog;
class MarkupSide;
struct TGlobals;
struct TSessionOptions;
struct WorldFeatures;

/// What the pipeline asks of its session.
class IncomingHost
{
public:
    virtual ~IncomingHost() = default;
    /// Bytes to the world (the markup answer).
    virtual void Send(QByteArrayView bytes) = 0;
    /// Runs the commands of every enabled event of that name.
    virtual void RunEvent(const QByteArray &name) = 0;
    /// A trigger's command, through the command pipeline.
    virtual void ProcessCommand(const QByteArray &text) = 0;
    /// The session is being closed: nothing more of the block runs.
    virtual bool Closing() const = 0;
    /// New text arrived while the program is in the background.
    virtual void NewTextInBackground() = 0;
};

/// The session state the pipeline reads and changes: what the session keeps, lent for the session's life.
struct IncomingState {
    TSessionOptions &Options;
    SessionDocument &Display;
    AutomationStore &Automation;
    const TGlobals &Globals;
    const WorldFeatures &Features;
    SessionLog &Log;
    SessionLifetime &Lifetime;
    MarkupSide &Markup;
    const bool &ScrolledBack;
    QByteArray &AnsiBuffer;
    QByteArray &TagBuffer;
    QByteArray &LineBuffer;
    int &WriteCount;
    int &ZelDetectCount;
};

/// Hears each line after the classic triggers have (the session's script triggers).
class LineWatcher
{
public:
    virtual ~LineWatcher() = default;
    /// Whether any line is wanted now (none: the execute pass may be skipped).
    virtual bool WantsLines() const = 0;
    virtual void Line(const QByteArray &line) = 0;
};

/// Takes a read's text from the connection to the view. Every piece of shown text passes its writer.
class IncomingText : public TextSink, private ChunkHost
{
public:
    IncomingText(IncomingHost &host, const IncomingState &state);

    /// One read: each prompt-ended segment through the pipeline, then the end-of-block steps.
    void Receive(TelnetFilter::Output &out) override;
    /// Text handled as if the world had sent it in one block (a fetched page).
    void HandleText(QByteArray text);
    /// The one way text reaches the view: logged, line triggers, appended, trimmed, kept scrolled.
    void WriteText(QByteArrayView text) { m_writer.WriteText(text); }
    /// A line of the client's own about automation problems, in silver, leaving the text colour as it was.
    void WriteNotice(const QByteArray &text);
    /// A picture at the end of the text, in line with it; false when the view holds too many already.
    bool InsertPicture(const QImage &picture, const QByteArray &name = {})
    {
        return m_writer.InsertPicture(picture, name);
    }
    /// Shows the last line, unless the user holds the view.
    void ScrollToEnd();
    /// Mode 0: the replace pass over a chunk (returned). Mode 1: the execute pass over a line.
    QByteArray MatchTriggers(QByteArrayView text, int mode);
    /// Runs the execute triggers on one line (server text always; text trigger commands write, a few levels deep).
    void RunExecuteTriggers(const QByteArray &line);

    /// The world's text has held valid multi-byte UTF-8, or the world agreed to UTF-8.
    bool SawUtf8 = false;
    /// Plain coloured text goes through the splitter's fast lane. Off, every chunk takes the general path:
    /// the two give the same result, which the tests compare.
    bool FastLane = true;
    /// Sees every line the execute pass runs on, before the triggers do (for tests and tools).
    std::function<void(const QByteArray &line)> OnTriggerLine;
    /// Where each line goes after the classic triggers; none by default.
    void SetLineWatcher(LineWatcher *watcher) { m_watcher = watcher; }
    /// Text written while trigger commands run passes the execute pass only this many levels deep.
    static constexpr int MaxTriggerDepth = 3;
    /// Whether triggers find their candidates with one database scan per line or a literal search per
    /// pattern; the results are the same.
    void UsePatternDatabase(bool on)
    {
        m_replacePass.UseDatabase(on);
        m_executePass.UseDatabase(on);
    }
    /// Prepares the line triggers now and waits up to @p ms for their pattern database, which is otherwise
    /// built in the background while a literal search serves (benchmarks and tests).
    bool PrepareTriggers(int ms)
    {
        m_executePass.Any(m_state.Automation);
        return m_executePass.WaitForDatabase(ms);
    }

    /// Hands every complete shown line to @p sink too, while it wants them (null: none).
    void SetShownLineSink(ShownLineSink *sink) { m_lineSink = sink; }

    /// Copies text to the log alone (the session's or the common file, as the options say).
    void LogText(QByteArrayView text);

private:
    friend class DisplayWriter<IncomingText>;
    // What the display writer needs.
    bool WantsLines() { return (m_lineSink && m_lineSink->Wanted()) || ExecutePassWanted(); }
    void LineDone(const QByteArray &line)
    {
        if (m_lineSink && m_lineSink->Wanted())
            m_lineSink->LineShown(line);
        if (ExecutePassWanted())
            RunExecuteTriggers(line);
    }
    /// Asked for every piece of text written (inline: it is on the text path).
    bool ExecutePassWanted()
    {
        return m_state.Options.EnableTriggers
               && (OnTriggerLine || m_executePass.Any(m_state.Automation) || (m_watcher && m_watcher->WantsLines()));
    }
    // ChunkHost
    void ApplyAnsiSequence(QByteArrayView sequence) override;
    void InterpretTag(const QByteArray &tag) override;

    void DetectZel(QByteArrayView block);
    bool ZelDetectionLive() const;
    void SplitAndWrite(QByteArray text);
    void EndOfBlock() { m_writer.EndLine(); }

    IncomingHost &m_host;
    IncomingState m_state;
    ReplacePass m_replacePass;
    ExecutePass m_executePass;
    DisplayWriter<IncomingText> m_writer;
    int m_triggerDepth = 0;
    LineWatcher *m_watcher = nullptr;
    ShownLineSink *m_lineSink = nullptr;
};

} // namespace wren
