// SPDX-License-Identifier: GPL-3.0-or-later
// The received-block pipeline: decoding check, markup detection, splitting, replace triggers, the display
// writer, line triggers and prompts.
#include "session/incoming_text.h"

#include "automation/automation_store.h"
#include "base/byte_decoder.h"
#include "base/text_helpers.h"
#include "config/globals.h"
#include "config/world_features.h"
#include "logging/session_log.h"
#include "markup/zel_colors.h"
#include "markup/zel_detect.h"
#include "options/session_options.h"
#include "session/ansi_parser.h"
#include "session/markup_side.h"
#include "session/session_document.h"

namespace wren {

IncomingText::IncomingText(IncomingHost &host, const IncomingState &state)
    : m_host(host)
    , m_state(state)
    , m_writer(state.Display, state.Options, state.LineBuffer, state.WriteCount, *this)
{
}

void IncomingText::Receive(TelnetFilter::Output &out)
{
    if (m_host.Closing())
        return;
    const SessionLifetime::Busy busy(m_state.Lifetime);
    m_state.Markup.StartBlock();
    if (!SawUtf8) {
        // The world agreed to UTF-8, or its text holds it: typed lines go out as UTF-8 from now on.
        SawUtf8 = out.AgreedUtf8;
        for (const QByteArray &segment : out.Segments)
            SawUtf8 = SawUtf8 || HoldsUtf8Sequence(segment);
    }
    if (out.Segments.size() == 1) {
        HandleText(std::move(out.Segments.front()));
        EndOfBlock();
    } else {
        // A read that holds prompt ends is one block for markup detection; each prompt closes a trigger line.
        const char lineEnd = m_state.Options.LineEndByte();
        if (ZelDetectionLive()) {
            QByteArray whole = out.Segments.join();
            RemoveByte(whole, lineEnd);
            DetectZel(whole);
        }
        for (QByteArray &segment : out.Segments) {
            RemoveByte(segment, lineEnd);
            SplitAndWrite(std::move(segment));
            EndOfBlock();
            if (m_host.Closing())
                return;
        }
    }
    if (m_host.Closing())
        return;
    if (m_state.Options.ToggleIcon && !m_state.Globals.AppActive)
        m_host.NewTextInBackground();
    ScrollToEnd();
}

void IncomingText::HandleText(QByteArray text)
{
    RemoveByte(text, m_state.Options.LineEndByte());
    DetectZel(text);
    SplitAndWrite(std::move(text));
}

bool IncomingText::ZelDetectionLive() const
{
    return m_state.Options.AutodetectZel && m_state.ZelDetectCount > 0;
}

void IncomingText::DetectZel(QByteArrayView block)
{
    if (!ZelDetectionLive())
        return;
    if (IsZelBanner(block)) {
        m_state.Options.ZelEnabled = true;
        m_state.ZelDetectCount = 0;
        m_host.Send(QByteArrayView(ZelAnswer));
        m_host.RunEvent("ZEL Detected");
    }
    --m_state.ZelDetectCount;
}

// A line end at the very end of a block is written like any other, so a block gives the same lines whether
// it arrives whole or cut (a following block starts on a new line).
//
// Pieces cut from the block itself hold no line end (the splitter cuts at every CR and LF), so they go
// through the plain writer; replaced text and text the splitter put together from earlier blocks may hold
// anything and go through WriteText. The line limit is kept at every line end and when the block is done.
// The text path's chunk loop, kept in one piece.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
void IncomingText::SplitAndWrite(QByteArray text)
{
    using Writer = DisplayWriter<IncomingText>;
    TSessionOptions &options = m_state.Options;
    AutomationStore &automation = m_state.Automation;
    ChunkCursor cursor(std::move(text));
    ChunkState state {options, m_state.Globals.GlobalZel, m_state.AnsiBuffer, m_state.TagBuffer};
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
        const quint64 generation = automation.TriggerGeneration();
        if (!checked || generation != checkedGeneration) {
            checked = true;
            checkedGeneration = generation;
            blockMayChange = m_replacePass.MayChange(automation, block);
        }
        return blockMayChange;
    };
    // The fast lane's writer: its pieces are cut from the block and hold no line end.
    struct LaneSink {
        IncomingText &Text;
        void Plain(QByteArrayView text)
        {
            Text.m_writer.Write(text, false, Writer::Bytes::NoCr);
            Text.m_writer.CountWrite();
        }
        void Escape(QByteArrayView sequence) { Text.IncomingText::ApplyAnsiSequence(sequence); }
        void LineEnd()
        {
            Text.m_writer.Write({}, true);
            Text.m_writer.CountWrite();
        }
    } sink {*this};
    for (;;) {
        // A trigger's command may have closed the session: the rest of the block is dropped with it.
        if (m_host.Closing())
            return;
        // The lane is looked at again after every line end: trigger commands may have changed the state.
        if (FastLane && FastLaneOpen(state) && !(options.EnableTriggers && replaceMayChange())) {
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
            if (options.EnableTriggers && (!fromBlock || replaceMayChange()))
                shown = m_replacePass.Apply(automation, piece, replaced);
            if (fromBlock && shown.data() == piece.data()) {
                m_writer.Write(shown, false, Writer::Bytes::NoCr);
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

void IncomingText::ApplyAnsiSequence(QByteArrayView sequence)
{
    ApplyAnsiCodes(sequence, m_state.Display.Attributes, m_state.Options, m_state.Features.ModernColours);
}

void IncomingText::InterpretTag(const QByteArray &tag)
{
    m_state.Markup.Interpret(tag);
}

void IncomingText::ScrollToEnd()
{
    if (!m_state.ScrolledBack)
        m_state.Display.RequestScrollToEnd();
}

void IncomingText::LogText(QByteArrayView text)
{
    m_state.Log.WriteLog(m_state.Options.LogMode, m_state.Options.LogFile, m_state.Globals.CommonLogFile, text);
}

void IncomingText::WriteNotice(const QByteArray &text)
{
    const Colour saved = m_state.Options.CurTextColor;
    m_state.Options.CurTextColor = ZelColorValue("SILVER");
    WriteText(text);
    m_state.Options.CurTextColor = saved;
}

void IncomingText::RunExecuteTriggers(const QByteArray &line)
{
    if (!m_state.Options.EnableTriggers)
        return;
    if (OnTriggerLine)
        OnTriggerLine(line);
    // A trigger whose command writes text matching itself would run without end: text written by trigger
    // commands takes part only a few levels deep. Server text always takes part.
    if (m_triggerDepth > MaxTriggerDepth)
        return;
    AutomationStore &automation = m_state.Automation;
    m_executePass.Run(
        automation, line,
        [&](const TAdvancedItem &trigger, const QByteArray &captures) {
            if (m_host.Closing())
                return;
            const QList<QByteArray> pieces = SplitText(captures, ',');
            for (qsizetype i = 1; i < pieces.size(); ++i)
                automation.AddVariable("$" + QByteArray::number(i), pieces[i], "System", 0);
            ++m_triggerDepth;
            m_host.ProcessCommand(ReplaceAll("\r\n", m_state.Options.ExprSeparator, trigger.Command));
            --m_triggerDepth;
        },
        [this](const QByteArray &pattern, const QByteArray &message) {
            WriteNotice("The trigger " + pattern + " has a regular expression error: " + message
                        + "; it is skipped.\r\n");
        });
    if (m_watcher && m_watcher->WantsLines() && !m_host.Closing()) {
        ++m_triggerDepth;
        m_watcher->Line(line);
        --m_triggerDepth;
    }
}

QByteArray IncomingText::MatchTriggers(QByteArrayView text, int mode)
{
    if (mode == 1)
        RunExecuteTriggers(text.toByteArray());
    if (mode != 0 || !m_state.Options.EnableTriggers)
        return text.toByteArray();
    QByteArray storage;
    return m_replacePass.Apply(m_state.Automation, text, storage).toByteArray();
}

} // namespace wren
