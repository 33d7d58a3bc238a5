// SPDX-License-Identifier: GPL-3.0-or-later
// One logging category per subsystem, for developers' diagnostics (QT_LOGGING_RULES="wren.*=true").
#include "config/logging.h"

// Off by default: the program's own messages to the user never go through these.
Q_LOGGING_CATEGORY(lcSession, "wren.session", QtWarningMsg)
Q_LOGGING_CATEGORY(lcCommands, "wren.commands", QtWarningMsg)
Q_LOGGING_CATEGORY(lcAutomation, "wren.automation", QtWarningMsg)
Q_LOGGING_CATEGORY(lcMarkup, "wren.markup", QtWarningMsg)
Q_LOGGING_CATEGORY(lcOptions, "wren.options", QtWarningMsg)
Q_LOGGING_CATEGORY(lcUi, "wren.ui", QtWarningMsg)
Q_LOGGING_CATEGORY(lcMedia, "wren.media", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLogging, "wren.logging", QtWarningMsg)
Q_LOGGING_CATEGORY(lcConfig, "wren.config", QtWarningMsg)
Q_LOGGING_CATEGORY(lcGameData, "wren.gamedata", QtWarningMsg)
Q_LOGGING_CATEGORY(lcMapper, "wren.mapper", QtWarningMsg)
Q_LOGGING_CATEGORY(lcScripting, "wren.scripting", QtWarningMsg)
