// SPDX-License-Identifier: GPL-3.0-or-later
// Program-wide state that every session reads: the markup switch, focus, addresses and the user's identity.
#pragma once

#include "base/command_budget.h"

#include <QByteArray>
#include <QList>

namespace wren {

class TClient;
class WorkspaceHost;

struct TGlobals {
    QList<TClient *> Sessions; ///< the open sessions in tab order
    bool GlobalZel = true; ///< the Edit menu's global markup switch
    bool AppActive = true; ///< the program has the focus
    int CurrentSession = -1;
    QByteArray LocalAddress;
    QByteArray CommonLogFile; ///< the shared log file; kept in memory only
    // From the global settings file; copied into each new session's system variables.
    QByteArray ScreenName;
    QByteArray UID;
    QByteArray WPLogin;
    QByteArray WPPass;
    bool PortalValid = false; ///< the portal accepted the login at the last check
    QByteArray LatestVersion;
    QByteArray Version = "2.13";
    /// The work budget of the command being processed, whichever session it runs in.
    CommandBudget Budget;
    /// The sessions' surroundings (the main window's workspace); none for a session on its own.
    WorkspaceHost *Workspace = nullptr;
};

} // namespace wren
