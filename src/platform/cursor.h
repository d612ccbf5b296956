#pragma once
// Pointer shapes the UI asks for; each back end maps them onto its own cursors.
#include <cstdint>
#include <string>

namespace qm {

enum CursorKind : uint8_t {
    curArrow = 0,
    curIBeam = 1,
    curCrosshair = 2,
    curHand = 3,
    curSizeWE = 4,
    curSizeNS = 5,
    curSizeAll = 6,
    curSizeNWSE = 7,
    curSizeNESW = 8,
    curWait = 9,
    curNone = 10,
};

// The kind's name ("curArrow" ...), "" for values past the last kind.
std::string cursorKindName(uint8_t kind);

}  // namespace qm
