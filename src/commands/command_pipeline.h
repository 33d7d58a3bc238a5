// SPDX-License-Identifier: GPL-3.0-or-later
// Turns command text into single commands: separators, aliases with their arguments, and speed-walk paths.
#pragma once

#include "automation/advanced_item.h"
#include "base/command_budget.h"

#include <QByteArray>
#include <QList>

namespace wren {

/// What the pipeline needs from its session.
class CommandHost
{
public:
    virtual ~CommandHost() = default;
    virtual QByteArray ExprSeparator() const = 0; ///< as stored
    virtual QByteArray PathChar() const = 0;
    virtual bool ExpandPaths() const = 0;
    virtual const QList<TAdvancedItem> &Aliases() const = 0;
    /// Carries out one plain single command (variables, slash command, or echo and send).
    virtual void ExecuteCommand(const QByteArray &command) = 0;
    /// A line for the user about the pipeline itself (a command stopped).
    virtual void ReportPipeline(const QByteArray &message) = 0;
    /// The work budget the command being processed spends from.
    virtual CommandBudget &Budget() = 0;
    /// The session is closing: nothing more runs in it.
    virtual bool Closing() const = 0;
    /// A single command before the aliases: true when a part of the session (a script's alias) took it.
    virtual bool TakeCommand(const QByteArray &command)
    {
        Q_UNUSED(command);
        return false;
    }
};

/// Blanks and control characters removed; ";" when nothing is left.
QByteArray EffectiveSeparator(const QByteArray &stored);

/// The expansion by the first enabled alias whose trimmed name equals the command's first word (ASCII
/// letters compared without case), or empty when none does. %1, %2, ... and %rest take the command's words.
QByteArray AliasExpand(const QList<TAdvancedItem> &aliases, const QList<QByteArray> &words, const QByteArray &command,
                       const QByteArray &joiner);

/// A speed-walk: after the path character, each character is a step, repeated by a digit 1-9 before it.
/// Returns the command unchanged when it does not start with the path character.
QByteArray PathExpand(const QByteArray &command, const QByteArray &joiner, const QByteArray &pathChar);

/// ProcessCommand's loop: cuts at the separator, expands and feeds expansions back in. Every single command
/// it cuts spends one unit of the host's budget. An expansion that leads back to itself (MaxDepth nested
/// expansions), or a command that fans out past the budget, is stopped whole with one line to the user; so
/// is everything left of a command once its session is closing.
class CommandPipeline
{
public:
    static constexpr int MaxDepth = 64;
    static constexpr char Sentinel[] = "~~~~~~~~~~";

    explicit CommandPipeline(CommandHost &host)
        : m_host(host)
    {
    }
    void ProcessCommand(QByteArray text) { Process(std::move(text), false); }
    /// Words of the single command now being expanded.
    const QList<QByteArray> &CommandWords() const { return m_words; }

private:
    void Process(QByteArray text, bool pathSteps);
    void RunPiece(const QByteArray &piece, const QByteArray &joiner, bool pathSteps);

    CommandHost &m_host;
    QList<QByteArray> m_words;
    int m_depth = 0;
};

} // namespace wren
