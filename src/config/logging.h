// SPDX-License-Identifier: GPL-3.0-or-later
// One logging category per subsystem, for developers' diagnostics (QT_LOGGING_RULES="wren.*=true").
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcSession)
Q_DECLARE_LOGGING_CATEGORY(lcCommands)
Q_DECLARE_LOGGING_CATEGORY(lcAutomation)
Q_DECLARE_LOGGING_CATEGORY(lcMarkup)
Q_DECLARE_LOGGING_CATEGORY(lcOptions)
Q_DECLARE_LOGGING_CATEGORY(lcUi)
Q_DECLARE_LOGGING_CATEGORY(lcMedia)
Q_DECLARE_LOGGING_CATEGORY(lcLogging)
Q_DECLARE_LOGGING_CATEGORY(lcConfig)
Q_DECLARE_LOGGING_CATEGORY(lcGameData)
Q_DECLARE_LOGGING_CATEGORY(lcMapper)
Q_DECLARE_LOGGING_CATEGORY(lcScripting)
