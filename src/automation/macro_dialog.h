// SPDX-License-Identifier: GPL-3.0-or-later
// The key-capture dialog: the next key pressed becomes the selected session's macro key.
#pragma once

#include "automation/automation_face.h"
#include "base/live.h"

#include <QDialog>

#include <functional>

namespace wren {

/// TfrmMacro, "Define a macro ...": every key-down names the key and stores it, its code and its modifier
/// set in the selected session; Shift, Ctrl and Alt alone keep it open so a combination can be completed.
class TfrmMacro : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmMacro(std::function<AutomationFace *()> current, QWidget *parent = nullptr);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    Live<AutomationFace> m_session;
};

} // namespace wren
