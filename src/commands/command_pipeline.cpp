// SPDX-License-Identifier: GPL-3.0-or-later
// Turns command text into single commands: separators, aliases with their arguments, and speed-walk paths.
#include "commands/command_pipeline.h"

#include "base/text_helpers.h"
#include "config/logging.h"

namespace wren {

QByteArray EffectiveSeparator(const QByteArray &stored)
{
    const QByteArray trimmed = TrimBlanks(stored);
    return trimmed.isEmpty() ? QByteArray(";") : trimmed;
}

QByteArray AliasExpand(const QList<TAdvancedItem> &aliases, const QList<QByteArray> &words, const QByteArray &command,
                       const QByteArray &joiner)
{
    if (words.isEmpty())
        return {};
    const QByteArray first = words.front().toUpper();
    const TAdvancedItem *match = nullptr;
    for (const TAdvancedItem &alias : aliases) {
        if (alias.Enabled && TrimBlanks(alias.Name).toUpper() == first) {
            match = &alias;
            break;
        }
    }
    if (!match)
        return {};
    const QByteArray &value = match->Command;
    QByteArray text = value;
    const qsizetype space = command.indexOf(' ');
    const QByteArray rest = space >= 0 ? command.mid(space + 1) : QByteArray();
    for (qsizetype j = 1; j < words.size(); ++j)
        text = ReplaceAll("%" + QByteArray::number(j), words[j], text);
    text = ReplaceAll("%rest", rest, text);
    const QByteArray result = text != value ? text : value + " " + rest;
    return ReplaceAll("\r\n", joiner, result);
}

QByteArray PathExpand(const QByteArray &command, const QByteArray &joiner, const QByteArray &pathChar)
{
    const QByteArray step = joiner.isEmpty() ? QByteArray(";") : joiner;
    const QByteArray pc = TrimBlanks(pathChar);
    if (!command.startsWith(pc))
        return command;
    QByteArray result;
    int count = 1;
    for (qsizetype i = pc.size(); i < command.size(); ++i) {
        const char c = command[i];
        if (c >= '1' && c <= '9') {
            count = c - '0';
            continue;
        }
        for (int k = 0; k < count; ++k)
            result += c + step;
        count = 1;
    }
    return result;
}

// The steps of a path are single commands: they are alias-expanded but not taken as paths again (with a
// blank path character every step would otherwise be a path of itself, without end).
void CommandPipeline::Process(QByteArray text, bool pathSteps)
{
    CommandBudget &budget = m_host.Budget();
    const CommandBudget::Scope scope(budget);
    if (budget.Stopped() || m_host.Closing())
        return;
    // Each piece costs one unit of work, and so does an entry that runs none (the sentinel, a lone
    // separator), so that even a repeat of nothing is bounded.
    const auto spend = [&] {
        bool report = false;
        if (budget.Spend(&report))
            return true;
        qCDebug(lcCommands) << "work budget used up; the rest of the command is dropped";
        if (report)
            m_host.ReportPipeline("Command stopped: it would have run more than "
                                  + QByteArray::number(CommandBudget::Limit) + " commands.\r\n");
        return false;
    };
    if (text == Sentinel) {
        spend();
        return;
    }
    if (m_depth >= MaxDepth) {
        // An alias or path that expands back into itself: the whole command stops, with a word to the user.
        m_host.ReportPipeline("Command stopped: aliases expanded more than " + QByteArray::number(MaxDepth)
                              + " levels deep.\r\n");
        budget.Stop();
        return;
    }
    ++m_depth;
    const QByteArray sep = EffectiveSeparator(m_host.ExprSeparator());
    const QByteArray joiner = m_host.ExprSeparator();
    if (text.isEmpty())
        text = " ";
    while (!text.isEmpty()) {
        if (!text.endsWith(sep))
            text += sep;
        const QByteArray piece = FirstToken(text, sep);
        text = TrimBlanks(text.mid(piece.size() + sep.size()));
        if (!spend())
            break;
        if (piece == sep)
            continue;
        RunPiece(piece, joiner, pathSteps);
        if (budget.Stopped() || m_host.Closing())
            break;
    }
    --m_depth;
}

// One single command: taken by a script's alias, expanded by an alias, walked as a path, or carried out.
void CommandPipeline::RunPiece(const QByteArray &piece, const QByteArray &joiner, bool pathSteps)
{
    if (m_host.TakeCommand(piece))
        return;
    m_words = SplitText(piece, ' ');
    const QByteArray expansion = AliasExpand(m_host.Aliases(), m_words, piece, joiner);
    if (!TrimBlanks(expansion).isEmpty()) {
        ProcessCommand(expansion);
        return;
    }
    if (m_host.ExpandPaths() && !pathSteps) {
        const QByteArray steps = PathExpand(piece, joiner, m_host.PathChar());
        if (steps != piece) {
            Process(steps, true);
            return;
        }
    }
    m_host.ExecuteCommand(piece);
}

} // namespace wren
