// SPDX-License-Identifier: GPL-3.0-or-later
// Macro key names: naming a key code, reading an imported name back, and Qt key events as key codes.
#include "automation/key_names.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <climits>

using namespace wren;
using wren::test::B;

namespace {

struct NamedCode {
    int code;
    const char *name;
};

struct NameCase {
    QByteArray name;
    int code;
};

struct QtKeyCase {
    const char *what;
    int qtKey;
    Qt::KeyboardModifiers modifiers;
    int code;
};

bool IsDecimal(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

} // namespace

TEST(KeyName, NamesCodesAsTheCaptureDialogDoes)
{
    const NamedCode cases[] = {
        // The words.
        {27, "ESC"}, {33, "PGUP"}, {34, "PGDN"}, {35, "END"}, {36, "HOME"}, {37, "LEFT"}, {38, "UP"},
        {39, "RIGHT"}, {40, "DOWN"}, {45, "INS"}, {46, "DEL"}, {106, "MULT"}, {107, "ADD"}, {109, "SUB"},
        {110, "DEC"}, {111, "DIV"},
        // Ranges, at both ends and just outside.
        {47, "47"}, {48, "0"}, {55, "7"}, {57, "9"}, {58, "58"},
        {64, "64"}, {65, "A"}, {81, "Q"}, {90, "Z"}, {91, "91"},
        {95, "95"}, {96, "KEY0"}, {103, "KEY7"}, {105, "KEY9"},
        {108, "108"}, {112, "F1"}, {116, "F5"}, {121, "F10"}, {123, "F12"}, {124, "124"}, {135, "135"},
        // Backspace, Tab and Enter share a name.
        {8, "###"}, {9, "###"}, {13, "###"},
        // Everything else is its number: modifiers, gaps between the named keys, punctuation, out of range.
        {0, "0"}, {7, "7"}, {10, "10"}, {12, "12"}, {14, "14"}, {16, "16"}, {17, "17"}, {18, "18"},
        {26, "26"}, {28, "28"}, {32, "32"}, {41, "41"}, {44, "44"}, {186, "186"}, {222, "222"}, {255, "255"},
        {256, "256"}, {1000, "1000"}, {-1, "-1"},
    };
    for (const NamedCode &c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(KeyName(c.code), QByteArray(c.name));
    }
}

TEST(KeyNameToCode, AppliesTheRulesInOrder)
{
    const NameCase cases[] = {
        // Fixed names.
        {"ESC", 27}, {"PGUP", 33}, {"PGDN", 34}, {"END", 35}, {"HOME", 36}, {"LEFT", 37}, {"UP", 38},
        {"RIGHT", 39}, {"DOWN", 40}, {"INS", 45}, {"DEL", 46}, {"MULT", 106}, {"ADD", 107}, {"SUB", 109},
        {"DEC", 110}, {"DIV", 111},
        // Function keys: any number after the F, not only 1 to 12.
        {"F1", 112}, {"F5", 116}, {"F10", 121}, {"F12", 123}, {"F13", 124}, {"F24", 135}, {"F0", 111},
        {"F007", 118}, {"F2147483536", INT_MAX},
        // Keypad digits, and whatever number follows KEY.
        {"KEY0", 96}, {"KEY5", 101}, {"KEY7", 103}, {"KEY9", 105}, {"KEY10", 106}, {"KEY01", 97},
        // A capital letter first: the letter, whatever follows. A lone F is the letter F.
        {"Q", 81}, {"A", 65}, {"Z", 90}, {"F", 70}, {"K", 75}, {"KE", 75}, {"KE5", 75}, {"Quit", 81},
        {"ESCAPE", 69}, {"Esc", 69}, {"PgUp", 80}, {"DELETE", 68}, {"ESC ", 69}, {B("ESC\0"), 69},
        {"UPPER", 85}, {"X1", 88},
        // Otherwise 48 plus the number the name is: the digits, and names that are a key code.
        {"0", 48}, {"7", 55}, {"9", 57}, {"00", 48}, {"007", 55}, {"186", 234}, {"255", 303},
        {"2147483599", INT_MAX},
    };
    for (const NameCase &c : cases) {
        SCOPED_TRACE(test::Escaped(c.name));
        EXPECT_EQ(KeyNameToCode(c.name), c.code);
    }
}

// Names no rule gives a code: 0, which no key has, so a macro imported with one never fires.
TEST(KeyNameToCode, GivesZeroForNamesWithoutACode)
{
    const QByteArray names[] = {
        // Lower case or mixed case that does not start with a capital letter.
        "esc", "pgup", "q", "f10", "key5", "kEY5", "up",
        // F followed by something that is not a number.
        "FOO", "F1X", "FX1", "F-1", "F+1", "F 1", "F1 ", "F1.5", "F\xb9",
        // KEY followed by nothing or something that is not a number.
        "KEY", "KEYX", "KEYPAD", "KEY-1", "KEY 1", "KEY1A",
        // Neither a capital letter first nor a plain decimal number.
        "", "###", "-5", "+5", " 5", "5 ", "1.5", "0x10", "1e3", "\xb9", B("5\0"), "_A", "[",
        // Numbers too large for a key code to be made from them.
        "2147483600", "99999999999999999999", "F2147483537", "F99999999999", "KEY2147483552",
    };
    for (const QByteArray &name : names) {
        SCOPED_TRACE(test::Escaped(name));
        EXPECT_EQ(KeyNameToCode(name), 0);
    }
}

// Which names come back as the code they were made from, for every code a key can have:
// - the words, the digits, the letters, KEY0-KEY9 and F1-F12 come back as their codes;
// - "###" (Backspace 8, Tab 9, Enter 13) is no number, so it gives 0;
// - every other code is named by its decimal digits and comes back as 48 plus the code ("186" gives 234).
//   Codes 0 to 9 among them have the names of the digit keys and so come back as the digit keys 48 to 57;
//   F13 and up (124 and more) are named by number too and do not come back as function keys.
TEST(KeyNameToCode, ReadsBackTheNamesOfTheCaptureDialog)
{
    const auto namedByTable = [](int code) {
        switch (code) {
        case 27: case 33: case 34: case 35: case 36: case 37: case 38: case 39: case 40: case 45: case 46:
        case 106: case 107: case 109: case 110: case 111:
            return true;
        default:
            return (code >= 48 && code <= 57) || (code >= 65 && code <= 90) || (code >= 96 && code <= 105)
                || (code >= 112 && code <= 123);
        }
    };
    for (int code = 0; code <= 255; ++code) {
        const QByteArray name = KeyName(code);
        SCOPED_TRACE(code);
        SCOPED_TRACE(name.constData());
        if (namedByTable(code)) {
            EXPECT_EQ(KeyNameToCode(name), code);
        } else if (code == 8 || code == 9 || code == 13) {
            EXPECT_EQ(KeyNameToCode(name), 0);
        } else {
            EXPECT_TRUE(IsDecimal(name));
            EXPECT_EQ(KeyNameToCode(name), 48 + code);
        }
    }
}

TEST(VirtualKeyFromQt, GivesTheWindowsCodeOfAUsKeyboard)
{
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const Qt::KeyboardModifiers keypad = Qt::KeypadModifier;
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const QtKeyCase cases[] = {
        {"A", Qt::Key_A, none, 65}, {"Z", Qt::Key_Z, none, 90}, {"Shift+A", Qt::Key_A, shift, 65},
        {"Ctrl+Q", Qt::Key_Q, ctrl, 81},
        {"0", Qt::Key_0, none, 48}, {"9", Qt::Key_9, none, 57}, {"Ctrl+7", Qt::Key_7, ctrl, 55},
        {"keypad 0", Qt::Key_0, keypad, 96}, {"keypad 9", Qt::Key_9, keypad, 105},
        {"F1", Qt::Key_F1, none, 112}, {"F12", Qt::Key_F12, none, 123}, {"F13", Qt::Key_F13, none, 124},
        {"F24", Qt::Key_F24, none, 135}, {"F25", Qt::Key_F25, none, 0},
        // The keypad operators, and the same characters typed on the main keyboard.
        {"keypad *", Qt::Key_Asterisk, keypad, 106}, {"Shift+8", Qt::Key_Asterisk, shift, 56},
        {"keypad +", Qt::Key_Plus, keypad, 107}, {"Shift+=", Qt::Key_Plus, shift, 187},
        {"keypad -", Qt::Key_Minus, keypad, 109}, {"-", Qt::Key_Minus, none, 189},
        {"keypad .", Qt::Key_Period, keypad, 110}, {"keypad , (decimal comma)", Qt::Key_Comma, keypad, 110},
        {".", Qt::Key_Period, none, 190}, {"keypad /", Qt::Key_Slash, keypad, 111}, {"/", Qt::Key_Slash, none, 191},
        {"keypad Enter", Qt::Key_Enter, keypad, 13}, {"Return", Qt::Key_Return, none, 13},
        // Keypad keys with Num Lock off, as on Windows.
        {"keypad 7, Num Lock off", Qt::Key_Home, keypad, 36},
        {"keypad 3, Num Lock off", Qt::Key_PageDown, keypad, 34},
        {"keypad 5, Num Lock off", Qt::Key_Clear, keypad, 12},
        // Editing and navigation keys.
        {"Backspace", Qt::Key_Backspace, none, 8}, {"Tab", Qt::Key_Tab, none, 9},
        {"Shift+Tab", Qt::Key_Backtab, shift, 9}, {"Escape", Qt::Key_Escape, none, 27},
        {"Space", Qt::Key_Space, none, 32}, {"PgUp", Qt::Key_PageUp, none, 33},
        {"PgDn", Qt::Key_PageDown, none, 34}, {"End", Qt::Key_End, none, 35}, {"Home", Qt::Key_Home, none, 36},
        {"Left", Qt::Key_Left, none, 37}, {"Up", Qt::Key_Up, none, 38}, {"Right", Qt::Key_Right, none, 39},
        {"Down", Qt::Key_Down, none, 40}, {"Insert", Qt::Key_Insert, none, 45}, {"Delete", Qt::Key_Delete, none, 46},
        // The modifier keys themselves (the capture dialog waits on them).
        {"Shift", Qt::Key_Shift, shift, 16}, {"Ctrl", Qt::Key_Control, ctrl, 17},
        {"Alt", Qt::Key_Alt, Qt::AltModifier, 18},
        // Punctuation, plain and shifted.
        {";", Qt::Key_Semicolon, none, 186}, {":", Qt::Key_Colon, shift, 186}, {"=", Qt::Key_Equal, none, 187},
        {",", Qt::Key_Comma, none, 188}, {"<", Qt::Key_Less, shift, 188}, {"_", Qt::Key_Underscore, shift, 189},
        {">", Qt::Key_Greater, shift, 190}, {"?", Qt::Key_Question, shift, 191}, {"`", Qt::Key_QuoteLeft, none, 192},
        {"~", Qt::Key_AsciiTilde, shift, 192}, {"[", Qt::Key_BracketLeft, none, 219},
        {"{", Qt::Key_BraceLeft, shift, 219}, {"\\", Qt::Key_Backslash, none, 220}, {"|", Qt::Key_Bar, shift, 220},
        {"]", Qt::Key_BracketRight, none, 221}, {"}", Qt::Key_BraceRight, shift, 221},
        {"'", Qt::Key_Apostrophe, none, 222}, {"\"", Qt::Key_QuoteDbl, shift, 222},
        // Shifted digits are the digit keys.
        {"!", Qt::Key_Exclam, shift, 49}, {"@", Qt::Key_At, shift, 50}, {"(", Qt::Key_ParenLeft, shift, 57},
        {")", Qt::Key_ParenRight, shift, 48},
        // Keys with no code here, including Latin-1 letters whose Qt values fall among the key codes.
        {"A grave", Qt::Key_Agrave, none, 0}, {"A umlaut", Qt::Key_Adiaeresis, none, 0},
        {"y umlaut", Qt::Key_ydiaeresis, none, 0}, {"dead acute", Qt::Key_Dead_Acute, none, 0},
        {"volume up", Qt::Key_VolumeUp, none, 0}, {"unknown", Qt::Key_unknown, none, 0},
    };
    for (const QtKeyCase &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(VirtualKeyFromQt(c.qtKey, c.modifiers, 0), c.code);
    }
}

// Only Windows reports virtual-key codes as the native key; elsewhere (an X keysym, say) it must not leak through:
// the keysym of 'a' is 97, which as a key code would be keypad 1.
TEST(VirtualKeyFromQt, TrustsTheNativeKeyOnlyOnWindows)
{
#ifdef Q_OS_WIN
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Semicolon, Qt::NoModifier, 186), 186);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Odiaeresis, Qt::NoModifier, 192), 192); // a German keyboard's key
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Home, Qt::KeypadModifier, 0xff50), 36);  // not a Windows code
#else
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_A, Qt::NoModifier, 0x61), 65);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Semicolon, Qt::NoModifier, 0x3b), 186);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Home, Qt::KeypadModifier, 0xff95), 36);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Odiaeresis, Qt::NoModifier, 0xf6), 0);
#endif
}

// What the capture dialog shows for a key event: the Qt key becomes the code, the code its name.
TEST(KeyName, NamesQtKeyEventsThroughTheirCodes)
{
    const struct {
        const char *what;
        int qtKey;
        Qt::KeyboardModifiers modifiers;
        int code;
        const char *name;
    } cases[] = {
        {"Ctrl+F5", Qt::Key_F5, Qt::ControlModifier, 116, "F5"},
        {"Ctrl alone", Qt::Key_Control, Qt::ControlModifier, 17, "17"},
        {"Enter", Qt::Key_Return, Qt::NoModifier, 13, "###"},
        {"keypad 7", Qt::Key_7, Qt::KeypadModifier, 103, "KEY7"},
        {"7 above the letters", Qt::Key_7, Qt::NoModifier, 55, "7"},
        {"semicolon", Qt::Key_Semicolon, Qt::NoModifier, 186, "186"},
        {"keypad /", Qt::Key_Slash, Qt::KeypadModifier, 111, "DIV"},
        {"Page Up", Qt::Key_PageUp, Qt::NoModifier, 33, "PGUP"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const int code = VirtualKeyFromQt(c.qtKey, c.modifiers, 0);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(KeyName(code), QByteArray(c.name));
    }
}
