#pragma once
// Key codes and modifier bits shared by both back ends; X keysyms (which xkb
// also yields on Wayland) are mapped onto them.
#include <cstdint>

namespace qm {

enum KeyCode : uint8_t {
    keyUnknown = 0,
    keyA = 1,  // letters run keyA..keyZ = 1..26
    keyZ = 26,
    key0 = 27,  // digits run key0..key9 = 27..36
    key9 = 36,
    keyF1 = 37,  // F1..F12 = 37..48
    keyF12 = 48,
    keyEscape = 49,
    keyEnter = 50,
    keyTab = 51,
    keyBackspace = 52,
    keyDelete = 53,
    keyInsert = 54,
    keyHome = 55,
    keyEnd = 56,
    keyPageUp = 57,
    keyPageDown = 58,
    keyLeft = 59,
    keyRight = 60,
    keyUp = 61,
    keyDown = 62,
    keySpace = 63,
    keyShift = 64,
    keyControl = 65,
    keyAlt = 66,
    keySuper = 67,
    keyCapsLock = 68,
    keyPrintScreen = 69,
    keyPause = 70,
    keyMinus = 71,
    keyEqual = 72,
    keyLeftBracket = 73,
    keyRightBracket = 74,
    keyBackslash = 75,
    keySemicolon = 76,
    keyApostrophe = 77,
    keyGrave = 78,
    keyComma = 79,
    keyPeriod = 80,
    keySlash = 81,
    keyKp0 = 82,  // keypad digits 82..91
    keyKp9 = 91,
    keyKpAdd = 92,
    keyKpSubtract = 93,
    keyKpMultiply = 94,
    keyKpDivide = 95,
    keyKpDecimal = 96,
    keyKpEnter = 97,
};

enum KeyModifiers : uint8_t {
    modShift = 1,
    modControl = 2,
    modAlt = 4,
    modSuper = 8,
};

// Every keysym without an entry of its own is keyUnknown; letters fold case.
KeyCode keysymToKeyCode(uint32_t keysym);

// Modifier bits of an X key, button or motion state (Shift, Control, Mod1,
// Mod4); the other state bits carry nothing the UI uses.
uint8_t modifiersFromX11State(uint32_t state);

// Whether a typed code point becomes a text event; control characters reach
// the UI only as key presses.
bool isTextCodepoint(int32_t codepoint);

}  // namespace qm
