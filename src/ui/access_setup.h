// SPDX-License-Identifier: GPL-3.0-or-later
// The main window for a screen reader and for low vision: names on its parts, announced status, the speech
// and zoom keys and the speech settings.
#pragma once

#include <functional>

class QAbstractItemView;
class QDialog;
class QWidget;

namespace wren {

class SpeechOutput;
class TfrmMain;

/// Names the command box, tabs, playlist and status; adds to the Window menu the zoom keys (Ctrl+plus,
/// Ctrl+minus, Ctrl+0), Stop speech (Ctrl+Shift+S), Repeat last line (Ctrl+Shift+R) and Speech settings;
/// lets typing silence the voice; announces the selected world, its connection and the Reconnect offer
/// in a status line; and lets Enter play the playlist's selected song.
void InstallAccessibility(TfrmMain &window);

/// Enter (or Return) on @p view runs @p action, as a double click does: grids work from the keyboard.
void OnEnter(QAbstractItemView *view, std::function<void()> action);

/// The speech settings (rate and voice, the program's): a small dialog kept in the program's settings file.
QDialog *CreateSpeechSettingsDialog(SpeechOutput &speech, QWidget *parent);

} // namespace wren
