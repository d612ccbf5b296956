#include "platform/keys.h"

namespace qm {

KeyCode keysymToKeyCode(uint32_t keysym)
{
    auto offset = [](uint32_t base, uint32_t first, uint32_t value) {
        return static_cast<KeyCode>(base + (value - first));
    };
    if (keysym >= 0x61 && keysym <= 0x7A)
        return offset(keyA, 0x61, keysym);
    if (keysym >= 0x41 && keysym <= 0x5A)
        return offset(keyA, 0x41, keysym);
    if (keysym >= 0x30 && keysym <= 0x39)
        return offset(key0, 0x30, keysym);
    if (keysym >= 0xFFBE && keysym <= 0xFFC9)
        return offset(keyF1, 0xFFBE, keysym);
    if (keysym >= 0xFFB0 && keysym <= 0xFFB9)
        return offset(keyKp0, 0xFFB0, keysym);
    switch (keysym) {
    case 0xFF1B:
        return keyEscape;
    case 0xFF0D:
        return keyEnter;
    case 0xFF09:
    case 0xFE20:
        return keyTab;
    case 0xFF08:
        return keyBackspace;
    case 0xFFFF:
        return keyDelete;
    case 0xFF63:
    case 0xFF9E:
        return keyInsert;
    case 0xFF50:
        return keyHome;
    case 0xFF57:
        return keyEnd;
    case 0xFF55:
        return keyPageUp;
    case 0xFF56:
        return keyPageDown;
    case 0xFF51:
        return keyLeft;
    case 0xFF53:
        return keyRight;
    case 0xFF52:
        return keyUp;
    case 0xFF54:
        return keyDown;
    case 0x20:
        return keySpace;
    case 0xFFE1:
    case 0xFFE2:
        return keyShift;
    case 0xFFE3:
    case 0xFFE4:
        return keyControl;
    case 0xFFE9:
    case 0xFFEA:
        return keyAlt;
    case 0xFFEB:
    case 0xFFEC:
        return keySuper;
    case 0xFFE5:
        return keyCapsLock;
    case 0xFF61:
        return keyPrintScreen;
    case 0xFF13:
        return keyPause;
    case 0x2D:
        return keyMinus;
    case 0x3D:
        return keyEqual;
    case 0x5B:
        return keyLeftBracket;
    case 0x5D:
        return keyRightBracket;
    case 0x5C:
        return keyBackslash;
    case 0x3B:
        return keySemicolon;
    case 0x27:
        return keyApostrophe;
    case 0x60:
        return keyGrave;
    case 0x2C:
        return keyComma;
    case 0x2E:
        return keyPeriod;
    case 0x2F:
        return keySlash;
    case 0xFFAB:
        return keyKpAdd;
    case 0xFFAD:
        return keyKpSubtract;
    case 0xFFAA:
        return keyKpMultiply;
    case 0xFFAF:
        return keyKpDivide;
    case 0xFFAE:
    case 0xFFAC:
        return keyKpDecimal;
    case 0xFF8D:
        return keyKpEnter;
    default:
        return keyUnknown;
    }
}

uint8_t modifiersFromX11State(uint32_t state)
{
    constexpr uint32_t shiftMask = 1u << 0, controlMask = 1u << 2, mod1Mask = 1u << 3, mod4Mask = 1u << 6;
    uint8_t bits = 0;
    if (state & shiftMask)
        bits |= modShift;
    if (state & controlMask)
        bits |= modControl;
    if (state & mod1Mask)
        bits |= modAlt;
    if (state & mod4Mask)
        bits |= modSuper;
    return bits;
}

bool isTextCodepoint(int32_t codepoint)
{
    if (codepoint < 32 || codepoint == 127 || codepoint > 0x10FFFF)
        return false;
    return codepoint < 0xD800 || codepoint > 0xDFFF;
}

}  // namespace qm
