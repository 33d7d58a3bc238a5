// SPDX-License-Identifier: GPL-3.0-or-later
// The client's own commands, typed after the command character.
#pragma once

#include "config/http_client.h"

#include <QByteArray>

#include <optional>

namespace wren {

/// What a slash command does to the session whose command it is: its view, options, automations and socket.
class SessionHost
{
public:
    virtual ~SessionHost() = default;
    virtual void ProcessCommand(const QByteArray &text) = 0;
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
    /// The command being processed has been stopped (its work budget is used up) or the session is closing:
    /// loops that run commands over and over end.
    virtual bool WorkStopped() const = 0;
    /// Ends what is left of the command being processed (after a failure the user has been told of).
    virtual void StopCommand() = 0;
    /// A blocking GET with the session's HTTP client.
    virtual HttpResult HttpGet(const QByteArray &url) = 0;
    /// Text fetched from the web, handled as if the world had sent it.
    virtual void HandleFetchedText(const QByteArray &text) = 0;
    /// A sound named by PLAY: found locally or downloaded, then played.
    virtual void PlayZelAudio(const QByteArray &source) = 0;
    /// A failure for a message box.
    virtual void ReportFailure(const QString &text) = 0;
    /// SPEAK: says @p text aloud where the world lets it speak (empty stops the speech). Returns a line for
    /// the view when speech is missing, the first time only.
    virtual QByteArray Speak(const QByteArray &text)
    {
        Q_UNUSED(text);
        return {};
    }
};

/// What a slash command does to the program around its session: the other sessions, the selected one, the
/// window and the system.
class WorkspaceHost
{
public:
    virtual ~WorkspaceHost() = default;
    /// ProcessCommand in every open session, in session order, each with its own separators and aliases.
    virtual void ProcessInAllSessions(const QByteArray &text) = 0;
    /// The Connect action on the selected session (Reconnect is the same).
    virtual void ConnectCurrent() = 0;
    /// The Disconnect action on the selected session.
    virtual void DisconnectCurrent() = 0;
    /// The Close action on the selected session.
    virtual void CloseCurrent() = 0;
    /// No session is selected any more.
    virtual void ClearCurrent() = 0;
    /// Ends the program.
    virtual void Quit() = 0;
    /// SETTINGS: the options dialog, modal.
    virtual void OpenSettings() = 0;
    /// NEW: the connection manager, modal.
    virtual void OpenConnectionManager() = 0;
    /// Has the system open a program, a document or a web address.
    virtual void Run(const QByteArray &target) = 0;
    /// Plays a sound file through the program's player; an empty name plays the playlist's current song.
    virtual void PlaySound(const QByteArray &fileName) = 0;
    /// The selected playlist line, if one is selected.
    virtual std::optional<QByteArray> SelectedSongLine() const = 0;
    /// ADD: a file joins the playlist.
    virtual void AddSong(const QByteArray &file) = 0;
    virtual void RandomSong() = 0;
    virtual void NextSong() = 0;
    virtual void PreviousSong() = 0;
    /// STOP: stops a playing song and runs "On Sound End" in the selected session; false when none played.
    virtual bool StopSong() = 0;
    /// The maker's data address for WPHIT, with the portal login; empty when no maker's web server is set.
    virtual QByteArray PortalDataAddress(const QByteArray &name, const QByteArray &value) const = 0;
    /// Says @p text through the program's voice (empty stops it); returns the notice when speech is missing,
    /// the first time only. A program without a voice says nothing.
    virtual QByteArray Speak(const QByteArray &text)
    {
        Q_UNUSED(text);
        return {};
    }
};

/// Runs @p text (what followed the command character). Returns false when it names no command and is not a
/// positive number: the caller then sends it to the world as typed.
bool DispatchSlashCommand(SessionHost &session, WorkspaceHost &workspace, const QByteArray &text);

/// Whether @p name (upper case, without the command character) is one of the client's own commands.
bool IsSlashCommand(const QByteArray &name);

/// The number at the start of a word: an optional sign, then decimal digits, or hexadecimal ones after
/// "$", "x", "X", "0x" or "0X"; reading stops at the first character that does not fit.
long long LeadingInteger(const QByteArray &word);

} // namespace wren
