// SPDX-License-Identifier: GPL-3.0-or-later
// The open sessions, which one is selected, and the actions on them: what the main window shows as tabs.
#pragma once

#include "commands/slash_commands.h"
#include "config/globals.h"
#include "media/music_player.h"
#include "speech/speech_output.h"

#include <QObject>

#include <functional>

namespace wren {

class CommandFace;
class TClient;

/// The player's host for the session a lookup gives (the workspace's selected one, or a test's).
class SessionSounds : public PlayerHost
{
public:
    explicit SessionSounds(std::function<TClient *()> session)
        : m_session(std::move(session))
    {
    }
    bool SoundsEnabled() const override;
    void RunSoundEvent(const QByteArray &name) override;

private:
    std::function<TClient *()> m_session;
};

/// Owns the sessions (in TGlobals::Sessions, where each session's position is its Index) and the selected
/// one (TGlobals::CurrentSession, -1 for none). It holds no widgets: the window follows its signals.
class Workspace : public QObject, public WorkspaceHost
{
    Q_OBJECT
public:
    explicit Workspace(TGlobals &globals, QObject *parent = nullptr);
    ~Workspace() override;

    TGlobals &Globals() { return m_globals; }
    int Count() const { return static_cast<int>(m_globals.Sessions.size()); }
    TClient *At(int index) const;
    int CurrentIndex() const { return m_globals.CurrentSession; }
    TClient *Current() const { return At(m_globals.CurrentSession); }
    /// The selected session as the command box sees it; null for none.
    CommandFace *CurrentFace() const;
    /// Selects a session (-1 for none).
    void SetCurrent(int index);

    /// The session half of opening a world: a new session at the end of the list, selected, named, with
    /// its options and automations loaded from the world's files; connected when @p connect is set.
    TClient *NewSession(const QByteArray &name, const QByteArray &host, int port, bool connect);
    /// Closes the session at @p index: its connection is dropped, the later sessions move down one place,
    /// and the first session (or none) becomes the selected one. The session object is deleted once the
    /// event loop is reached again, so a command the session itself runs may close it.
    void CloseSession(int index);

    // WorkspaceHost
    void ProcessInAllSessions(const QByteArray &text) override;
    void ConnectCurrent() override;
    void DisconnectCurrent() override;
    void CloseCurrent() override;
    void ClearCurrent() override { SetCurrent(-1); }
    void Quit() override { emit QuitRequested(); }
    void OpenSettings() override { emit SettingsWanted(); }
    void OpenConnectionManager() override { emit ConnectionManagerWanted(); }
    void Run(const QByteArray &target) override;
    void PlaySound(const QByteArray &fileName) override;
    QByteArray PortalDataAddress(const QByteArray &name, const QByteArray &value) const override;
    std::optional<QByteArray> SelectedSongLine() const override;
    void AddSong(const QByteArray &file) override;
    void RandomSong() override { Music.Random(); }
    void NextSong() override { Music.Next(); }
    void PreviousSong() override { Music.Previous(); }
    bool StopSong() override { return Music.StopAndTell(); }
    QByteArray Speak(const QByteArray &text) override;

private:
    SessionSounds m_sounds {[this] { return Current(); }};

public:
    /// The program's player and playlist; sounds play for the selected session.
    MusicPlayer Music {&m_sounds};

    /// The program's voice: each session's world lines (where asked), /SPEAK and the speech keys.
    SpeechOutput Speech;

    /// Opens what RUN names; the system's handler unless a test puts its own here.
    std::function<void(const QString &target)> Opener;

signals:
    /// A session was added at the end of the list under @p name; it is the selected one. Its files are
    /// loaded right after.
    void SessionAdded(wren::TClient *session, const QByteArray &name);
    /// The session that was at @p index has been taken out of the list; it is deleted soon after.
    void SessionRemoved(int index, wren::TClient *session);
    void CurrentChanged(int index);
    /// A session's server started or stopped hiding what is typed.
    void TypingHiddenChanged();
    void QuitRequested();
    /// A command asks for the options dialog or the connection manager; the window shows it modally.
    void SettingsWanted();
    void ConnectionManagerWanted();

private:
    TGlobals &m_globals;
};

} // namespace wren
