#include "platform/cursor.h"

#include <array>

namespace qm {

std::string cursorKindName(uint8_t kind)
{
    static constexpr std::array<const char*, 11> names = {"curArrow", "curIBeam", "curCrosshair", "curHand",
        "curSizeWE", "curSizeNS", "curSizeAll", "curSizeNWSE", "curSizeNESW", "curWait", "curNone"};
    return kind < names.size() ? names[kind] : "";
}

}  // namespace qm
