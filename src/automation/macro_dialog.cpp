// SPDX-License-Identifier: GPL-3.0-or-later
// The key-capture dialog: the next key pressed becomes the selected session's macro key.
#include "automation/macro_dialog.h"

#include "automation/key_names.h"

#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace wren {

TfrmMacro::TfrmMacro(std::function<AutomationFace *()> current, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_session(std::move(current))
{
    setWindowTitle(QStringLiteral("Define a macro ..."));
    setFixedSize(193, 89);
    auto *label = new QLabel(QStringLiteral("Press a key combination to define a macro"), this);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(21);
    font.setBold(true);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: navy;"));
    label->setFocusPolicy(Qt::NoFocus);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    setFocusPolicy(Qt::StrongFocus);
}

bool TfrmMacro::event(QEvent *event)
{
    // Every key is the dialog's, Tab and Escape included.
    if (event->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent *>(event));
        return true;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    return QDialog::event(event);
}

void TfrmMacro::keyPressEvent(QKeyEvent *event)
{
    const int code = VirtualKeyFromQt(event->key(), event->modifiers(), event->nativeVirtualKey());
    m_session.Run([&](AutomationFace &session) {
        MacroCapture &capture = session.CapturedMacro();
        capture.Name = KeyName(code);
        capture.Key = code;
        capture.Shift = MacroShift(event->modifiers());
    });
    if (code != 16 && code != 17 && code != 18)
        accept();
}

} // namespace wren
