// SPDX-License-Identifier: GPL-3.0-or-later
// Names of macro keys, the conversion of imported key names back to key codes, and Qt keys as key codes.
#include "automation/key_names.h"

#include <climits>
#include <optional>

namespace wren {

namespace {

struct NamedKey {
    const char *name;
    int code;
};

// The keys with a word for a name, both ways.
constexpr NamedKey NamedKeys[] = {
    {"ESC", 27},  {"PGUP", 33}, {"PGDN", 34}, {"END", 35},   {"HOME", 36}, {"LEFT", 37}, {"UP", 38},   {"RIGHT", 39},
    {"DOWN", 40}, {"INS", 45},  {"DEL", 46},  {"MULT", 106}, {"ADD", 107}, {"SUB", 109}, {"DEC", 110}, {"DIV", 111},
};

// Backspace, Tab and Enter share one name that does not lead back to any of them.
constexpr char UnnamedKey[] = "###";

// @p offset plus @p digits read as a decimal number: one or more ASCII digits and nothing else, leading zeros
// allowed, with a sum that fits in an int.
std::optional<int> OffsetNumber(QByteArrayView digits, int offset)
{
    if (digits.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > INT_MAX - offset)
            return std::nullopt;
    }
    return static_cast<int>(value + offset);
}

} // namespace

QByteArray KeyName(int code)
{
    for (const NamedKey &key : NamedKeys) {
        if (key.code == code)
            return key.name;
    }
    if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z'))
        return QByteArray(1, static_cast<char>(code));
    if (code >= 96 && code <= 105)
        return "KEY" + QByteArray::number(code - 96);
    if (code >= 112 && code <= 123)
        return "F" + QByteArray::number(code - 111);
    if (code == 8 || code == 9 || code == 13)
        return UnnamedKey;
    return QByteArray::number(code);
}

int KeyNameToCode(const QByteArray &name)
{
    for (const NamedKey &key : NamedKeys) {
        if (name == key.name)
            return key.code;
    }
    const QByteArrayView view(name);
    if (view.size() >= 2 && view.front() == 'F')
        return OffsetNumber(view.sliced(1), 111).value_or(0);
    if (view.startsWith("KEY"))
        return OffsetNumber(view.sliced(3), 96).value_or(0);
    if (!view.isEmpty() && view.front() >= 'A' && view.front() <= 'Z')
        return view.front();
    return OffsetNumber(view, 48).value_or(0);
}

// A key table written as one switch, read row by row.
// NOLINTNEXTLINE(readability-function-size)
int VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers, quint32 nativeVirtualKey)
{
#ifdef Q_OS_WIN
    // Here the native value is the code Windows reported for the key, layout and Num Lock state included.
    if (nativeVirtualKey >= 1 && nativeVirtualKey <= 254)
        return static_cast<int>(nativeVirtualKey);
#else
    Q_UNUSED(nativeVirtualKey);
#endif

    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return qtKey; // Qt's letter keys are the capital letters, as are the Windows codes
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 112 + (qtKey - Qt::Key_F1);

    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return keypad ? 96 + (qtKey - Qt::Key_0) : qtKey;
    if (keypad) {
        switch (qtKey) {
        case Qt::Key_Asterisk: return 106;
        case Qt::Key_Plus: return 107;
        case Qt::Key_Minus: return 109;
        case Qt::Key_Period:
        case Qt::Key_Comma: return 110; // the keypad's decimal key, whichever mark the layout puts on it
        case Qt::Key_Slash: return 111;
        default: break;
        }
    }

    switch (qtKey) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 9;
    case Qt::Key_Clear: return 12; // keypad 5 with Num Lock off
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Print: return 44;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Meta: return 91;
    case Qt::Key_Menu: return 93;
    case Qt::Key_NumLock: return 144;
    case Qt::Key_ScrollLock: return 145;

    // Shifted digits on a US keyboard.
    case Qt::Key_ParenRight: return '0';
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_Asterisk: return '8';
    case Qt::Key_ParenLeft: return '9';

    // The punctuation keys of a US keyboard, plain and shifted.
    case Qt::Key_Semicolon:
    case Qt::Key_Colon: return 186;
    case Qt::Key_Equal:
    case Qt::Key_Plus: return 187;
    case Qt::Key_Comma:
    case Qt::Key_Less: return 188;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return 189;
    case Qt::Key_Period:
    case Qt::Key_Greater: return 190;
    case Qt::Key_Slash:
    case Qt::Key_Question: return 191;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde: return 192;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return 219;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return 220;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return 221;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl: return 222;
    default: return 0;
    }
}

std::uint8_t MacroShift(Qt::KeyboardModifiers modifiers)
{
    std::uint8_t shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= 1;
    if (modifiers & Qt::AltModifier)
        shift |= 2;
    if (modifiers & Qt::ControlModifier)
        shift |= 4;
    return shift;
}

} // namespace wren
