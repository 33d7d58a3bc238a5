// SPDX-License-Identifier: GPL-3.0-or-later
// The last step of a command: its variables substituted, then run as a client command, or echoed and sent.
#include "commands/command_sender.h"

#include "automation/automation_store.h"
#include "base/text_helpers.h"
#include "gamedata/game_data.h"
#include "options/session_options.h"

namespace wren {

CommandSender::CommandSender(CommandSenderHost &host, AutomationStore &automation, TSessionOptions &options)
    : m_host(host)
    , m_automation(automation)
    , m_options(options)
{
}

void CommandSender::Execute(const QByteArray &command)
{
    QByteArray c = m_automation.SubstituteVariables(TrimBlanks(command));
    // Game values come last, so what a server sends is never read as a variable; the command is already
    // split, so a separator in a value splits nothing.
    if (m_gameData && c.contains("${"))
        c = SubstituteGameData(c, *m_gameData);
    const QByteArray cc = TrimBlanks(m_options.CommandChar);
    if (c.startsWith(cc) && c.size() > cc.size() && m_host.RunSlashCommand(c.mid(cc.size())))
        return;
    m_host.Echo(m_options.LocalEcho ? c : QByteArray());
    if (!m_host.IsConnected())
        return;
    SendLine(c);
    if (m_sent)
        m_sent(c);
}

void CommandSender::SendLine(QByteArray line)
{
    if (line.contains('\xff'))
        line.replace("\xff", QByteArrayView("\xff\xff", 2));
    m_host.Send(line + "\r\n");
}

} // namespace wren
