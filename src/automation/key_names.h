// SPDX-License-Identifier: GPL-3.0-or-later
// Names of macro keys, the conversion of imported key names back to key codes, and Qt keys as key codes.
#pragma once

#include <QByteArray>
#include <QtCore/qnamespace.h>

#include <cstdint>

namespace wren {

/**
 * @brief The name the key-capture dialog gives a Windows virtual-key code.
 *
 * "ESC", "PGUP", "PGDN", "END", "HOME", "LEFT", "UP", "RIGHT", "DOWN", "INS", "DEL" for 27, 33-40, 45, 46;
 * the digit for 48-57; the capital letter for 65-90; "KEY0" to "KEY9" for the keypad digits 96-105;
 * "MULT", "ADD", "SUB", "DEC", "DIV" for 106, 107, 109, 110, 111; "F1" to "F12" for 112-123; "###" for
 * Backspace, Tab and Enter (8, 9, 13). Every other code, F13 and up included, is named by its decimal digits
 * (a negative code keeps its minus sign).
 */
QByteArray KeyName(int virtualKeyCode);

/**
 * @brief The virtual-key code of a key name read from an imported macro.
 *
 * The first rule that applies decides:
 * 1. The fixed names (exact, case-sensitive): "ESC" 27, "PGUP" 33, "PGDN" 34, "END" 35, "HOME" 36, "LEFT" 37,
 *    "UP" 38, "RIGHT" 39, "DOWN" 40, "INS" 45, "DEL" 46, "MULT" 106, "ADD" 107, "SUB" 109, "DEC" 110, "DIV" 111.
 * 2. "F" and at least one more character: 111 plus the number after the "F" ("F1" 112, "F13" 124).
 * 3. "KEY" and whatever follows: 96 plus the number after "KEY" ("KEY5" 101).
 * 4. A capital letter A-Z first: that letter's code; the rest is ignored ("Q" 81, "Quit" 81).
 * 5. Otherwise 48 plus the number the whole name is ("9" 57, "186" 234).
 *
 * A number here is one or more ASCII digits and nothing else (no sign, no spaces), leading zeros allowed,
 * with a result that fits in an int. Where rule 2, 3 or 5 applies but its number is missing or malformed
 * ("FOO", "F1X", "KEY", "KEYPAD", "", "esc", "+5", " 5"), the result is 0, a code no macro key ever has,
 * so such a macro never fires. A lone "F" is the letter (70) by rule 4.
 *
 * Names "###" (Backspace, Tab, Enter) and names made of a decimal code therefore do not come back as the code
 * they were made from: "###" gives 0, "186" gives 234.
 */
int KeyNameToCode(const QByteArray &name);

/**
 * @brief The Windows virtual-key code (US layout) of a Qt key event, as macros store it.
 *
 * @param qtKey the event's key (QKeyEvent::key()).
 * @param modifiers the event's modifiers; only Qt::KeypadModifier matters, turning digits into the keypad digits
 *        96-105 and * + - . / into 106, 107, 109, 110, 111.
 * @param nativeVirtualKey QKeyEvent::nativeVirtualKey(). On Windows, a value 1-254 is the virtual-key code
 *        itself and is returned as it is; on other systems it means something else (an X keysym, a Mac key code)
 *        and is ignored.
 * @return the code, or 0 for a key with no code here (dead keys, letters outside A-Z, media keys).
 *
 * Shifted characters give the code of the key that carries them on a US keyboard: '!' is 49 (the 1 key),
 * ':' is 186, '?' is 191. Keypad keys with Num Lock off arrive as the navigation keys and get their codes
 * (Home 36, ...), as they do on Windows.
 */
int VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers, quint32 nativeVirtualKey);

/// Modifier bits as macros store them: 1 Shift, 2 Alt, 4 Ctrl.
std::uint8_t MacroShift(Qt::KeyboardModifiers modifiers);

} // namespace wren
