// SPDX-License-Identifier: GPL-3.0-or-later
// The open sessions, which one is selected, and the actions on them: what the main window shows as tabs.
#include "session/workspace.h"

#include "base/byte_decoder.h"
#include "config/app_settings.h"
#include "session/client.h"
#include "session/session_speech.h"
#include "session/view_zoom.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QUrl>

namespace wren {

bool SessionSounds::SoundsEnabled() const
{
    const TClient *session = m_session();
    return !session || session->Options.EnableSounds;
}

void SessionSounds::RunSoundEvent(const QByteArray &name)
{
    if (TClient *session = m_session())
        session->RunEvent(name);
}

Workspace::Workspace(TGlobals &globals, QObject *parent)
    : QObject(parent)
    , m_globals(globals)
{
    m_globals.Workspace = this;
}

QByteArray Workspace::Speak(const QByteArray &text)
{
    return Speech.Speak(DecodeBytes(text));
}

Workspace::~Workspace()
{
    const QList<TClient *> sessions = m_globals.Sessions;
    m_globals.Sessions.clear();
    m_globals.CurrentSession = -1;
    for (TClient *session : sessions) {
        session->BeginClose();
        delete session;
    }
    if (m_globals.Workspace == this)
        m_globals.Workspace = nullptr;
}

TClient *Workspace::At(int index) const
{
    return index >= 0 && index < Count() ? m_globals.Sessions[index] : nullptr;
}

CommandFace *Workspace::CurrentFace() const
{
    return Current();
}

void Workspace::SetCurrent(int index)
{
    if (index < -1 || index >= Count())
        index = -1;
    m_globals.CurrentSession = index;
    emit CurrentChanged(index);
}

TClient *Workspace::NewSession(const QByteArray &name, const QByteArray &host, int port, bool connect)
{
    auto *session = new TClient(m_globals);
    session->Index = Count();
    m_globals.Sessions.append(session);
    m_globals.CurrentSession = session->Index;
    QObject::connect(session, &TClient::TypingHiddenChanged, this, &Workspace::TypingHiddenChanged);
    new SessionSpeech(*session, Speech);
    emit SessionAdded(session, name);
    emit CurrentChanged(session->Index);
    session->Open(name, host, port);
    ApplyStoredZoom(*session);
    if (connect)
        session->ConnectTo(host, port);
    return session;
}

void Workspace::CloseSession(int index)
{
    TClient *session = At(index);
    if (!session)
        return;
    session->BeginClose();
    m_globals.Sessions.removeAt(index);
    for (int i = index; i < Count(); ++i)
        m_globals.Sessions[i]->Index = i;
    emit SessionRemoved(index, session);
    session->DeleteWhenIdle();
    SetCurrent(Count() > 0 ? 0 : -1);
}

void Workspace::ProcessInAllSessions(const QByteArray &text)
{
    // A command may close sessions, this one included, while the loop is on.
    QList<QPointer<TClient>> sessions;
    for (TClient *session : m_globals.Sessions)
        sessions.append(session);
    for (const QPointer<TClient> &session : sessions) {
        if (m_globals.Budget.Stopped())
            break;
        if (session && !session->IsClosing())
            session->ProcessCommand(text);
    }
}

void Workspace::ConnectCurrent()
{
    if (TClient *session = Current())
        session->Connect();
}

void Workspace::DisconnectCurrent()
{
    if (TClient *session = Current())
        session->Disconnect();
}

void Workspace::CloseCurrent()
{
    CloseSession(m_globals.CurrentSession);
}

void Workspace::PlaySound(const QByteArray &fileName)
{
    Music.PlaySound(QFile::decodeName(fileName));
}

std::optional<QByteArray> Workspace::SelectedSongLine() const
{
    const int line = Music.Selected();
    if (line < 0 || line >= Music.Lines().size())
        return std::nullopt;
    return Music.Lines()[line].toUtf8();
}

void Workspace::AddSong(const QByteArray &file)
{
    const QString path = QFile::decodeName(file);
    Music.AddSong(MusicPlayer::FilePart(path), path);
}

QByteArray Workspace::PortalDataAddress(const QByteArray &name, const QByteArray &value) const
{
    const QByteArray host = AppSettings().MakerHost();
    if (host.isEmpty())
        return {};
    // Concatenated as the portal expects it, nothing escaped.
    return "http://" + host + "/data.php?action=set&wpuser=" + m_globals.WPLogin + "&wppass=" + m_globals.WPPass
           + "&DataName=" + name + "&DataValue=" + value;
}

void Workspace::Run(const QByteArray &target)
{
    const QString text = QString::fromLocal8Bit(target).trimmed();
    if (text.isEmpty())
        return;
    if (Opener) {
        Opener(text);
        return;
    }
    // A program is started; a document or an address goes to the handler the user chose for it.
    const QFileInfo file(text);
    if (file.isFile() && file.isExecutable()) {
        QProcess::startDetached(file.absoluteFilePath(), {}, file.absolutePath());
        return;
    }
    QDesktopServices::openUrl(QUrl::fromUserInput(text, QDir::currentPath(), QUrl::AssumeLocalFile));
}

} // namespace wren
