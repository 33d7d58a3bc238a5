// SPDX-License-Identifier: GPL-3.0-or-later
// The work one command may cause, however it fans out through aliases, paths, repeats and other sessions.
#pragma once

namespace wren {

/// One budget for the program: a command typed, run by a trigger, an event or a macro starts it afresh,
/// and everything that command leads to (expansions, repeats, ALL in every session, trigger commands on
/// the text it writes) spends from it. Once it is used up, the rest of that command is not run.
class CommandBudget
{
public:
    /// Single commands one top-level command may cause.
    static constexpr int Limit = 10000;

    /// Held while a command is processed; the outermost one starts a fresh budget.
    class Scope
    {
    public:
        explicit Scope(CommandBudget &budget)
            : m_budget(budget)
        {
            if (m_budget.m_depth++ == 0) {
                m_budget.m_left = Limit;
                m_budget.m_stopped = false;
            }
        }
        ~Scope() { --m_budget.m_depth; }
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        CommandBudget &m_budget;
    };

    /// Takes one unit of work. False when the budget is used up: the caller stops. The first refusal
    /// sets @p report, so exactly one line tells the user.
    bool Spend(bool *report)
    {
        if (m_stopped)
            return false;
        if (m_left > 0) {
            --m_left;
            return true;
        }
        m_stopped = true;
        *report = true;
        return false;
    }
    /// Stops the rest of the current command for another reason (it already told the user).
    void Stop() { m_stopped = m_depth > 0; }
    /// Whether the command being processed has been stopped.
    bool Stopped() const { return m_stopped && m_depth > 0; }

private:
    int m_depth = 0;
    int m_left = Limit;
    bool m_stopped = false;
};

} // namespace wren
