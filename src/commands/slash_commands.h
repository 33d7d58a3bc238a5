// SPDX-License-Identifier: GPL-3.0-or-later
// The client's own commands, typed after the command character.
#pragma once

#include <QByteArray>

namespace wren {

/// What the slash commands act on.
class SlashHost
{
public:
    virtual ~SlashHost() = default;
    virtual void ProcessCommand(const QByteArray &text) = 0;
    /// ProcessCommand in every open session, this one included, in session order.
    virtual void ProcessInAllSessions(const QByteArray &text) = 0;
    virtual void WriteText(QByteArrayView text) = 0;
    virtual void Echo(const QByteArray &text) = 0;
    virtual void SetColor(const QByteArray &name, int target) = 0;
    virtual void EndFont() = 0;
    virtual void ScrollToEnd() = 0;
    virtual void TogglePause() = 0;
    virtual void SetVariable(const QByteArray &name, const QByteArray &value) = 0;
    virtual void SetClassState(bool enable, const QByteArray &name, bool toggle, const QByteArray &itemClass) = 0;
    virtual void SaveAll() = 0;
    /// Inverts local echo; returns the new state.
    virtual bool ToggleLocalEcho() = 0;
    virtual void ClearText() = 0;
};

/// Counts of the repeat form (/3 kill rat) above this run nothing but a message.
constexpr long long MaxRepeatCount = 1000;

/// Runs @p text (what followed the command character). Returns false when it names no command and is not a
/// positive number: the caller then sends it to the world as typed.
bool DispatchSlashCommand(SlashHost &host, const QByteArray &text);

/// The number at the start of a word: an optional sign, then decimal digits, or hexadecimal ones after
/// "$", "x", "X", "0x" or "0X"; reading stops at the first character that does not fit.
long long LeadingInteger(const QByteArray &word);

} // namespace wren
