// SPDX-License-Identifier: GPL-3.0-or-later
// The last step of a command: its variables substituted, then run as a client command, or echoed and sent.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

namespace wren {

class AutomationStore;
class GameData;
struct TSessionOptions;

/// What the last step asks of its session.
class CommandSenderHost
{
public:
    virtual ~CommandSenderHost() = default;
    /// Runs @p text (what follows the command character) as a client command; false when it names none.
    virtual bool RunSlashCommand(const QByteArray &text) = 0;
    /// Writes a command into the view in the echo colour.
    virtual void Echo(const QByteArray &text) = 0;
    virtual bool IsConnected() const = 0;
    virtual void Send(QByteArrayView bytes) = 0;
};

/// One plain single command, as the command pipeline hands it over.
class CommandSender
{
public:
    CommandSender(CommandSenderHost &host, AutomationStore &automation, TSessionOptions &options);

    /// Variables substituted; a client command when it starts with the command character and names one;
    /// otherwise echoed (when local echo is on) and sent as a line.
    void Execute(const QByteArray &command);
    /// The session's game data, for ${gmcp...}, ${msdp...} and ${mssp...} (none: they stay as typed).
    void SetGameData(const GameData *data) { m_gameData = data; }
    /// Hears every command sent to the world as a line (the map learns the way the player went).
    void SetSentListener(std::function<void(const QByteArray &command)> listener) { m_sent = std::move(listener); }
    /// Sends a typed line: byte 255 doubled (it is data, not a telnet command), CR LF after it.
    void SendLine(QByteArray line);

private:
    CommandSenderHost &m_host;
    AutomationStore &m_automation;
    TSessionOptions &m_options;
    const GameData *m_gameData = nullptr;
    std::function<void(const QByteArray &)> m_sent;
};

} // namespace wren
