// SPDX-License-Identifier: GPL-3.0-or-later
// What the automation editor and the key-capture dialog see of a session.
#pragma once

#include "automation/automation_store.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace wren {

/// The last key combination the key-capture dialog took, kept by the session for the editor.
struct MacroCapture {
    int &Key;
    QByteArray &Name;
    std::uint8_t &Shift;
};

/// The editor edits one session's automations through this face; it never sees the session itself.
class AutomationFace
{
public:
    virtual ~AutomationFace() = default;
    virtual AutomationStore &Automations() = 0;
    /// The world's automation file, shown in the editor's title.
    virtual QString AutomationFile() const = 0;
    virtual bool SaveAdvanced() = 0;
    virtual MacroCapture &CapturedMacro() = 0;
};

} // namespace wren
