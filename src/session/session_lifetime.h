// SPDX-License-Identifier: GPL-3.0-or-later
// When a closed session may be deleted: not while any of its own code is still running.
#pragma once

#include <QObject>

namespace wren {

/// A session may be closed by its own command (a trigger running /CLOSE), or while one of its commands
/// waits in a dialog or a nested event loop. Code of the session holds a Busy while it runs; the session
/// asked to go away is deleted once none is held, from the event loop (never while a caller is on the stack).
class SessionLifetime
{
public:
    explicit SessionLifetime(QObject &session)
        : m_session(session)
    {
    }
    SessionLifetime(const SessionLifetime &) = delete;
    SessionLifetime &operator=(const SessionLifetime &) = delete;

    class Busy
    {
    public:
        explicit Busy(SessionLifetime &lifetime)
            : m_lifetime(lifetime)
        {
            ++m_lifetime.m_busy;
        }
        ~Busy()
        {
            if (--m_lifetime.m_busy == 0 && m_lifetime.m_deleteWhenIdle)
                m_lifetime.m_session.deleteLater();
        }
        Busy(const Busy &) = delete;
        Busy &operator=(const Busy &) = delete;

    private:
        SessionLifetime &m_lifetime;
    };

    /// Deletes the session once no Busy is held.
    void DeleteWhenIdle()
    {
        m_deleteWhenIdle = true;
        if (m_busy == 0)
            m_session.deleteLater();
    }

private:
    QObject &m_session;
    int m_busy = 0;
    bool m_deleteWhenIdle = false;
};

} // namespace wren
