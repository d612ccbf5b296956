#pragma once
// How a toast kind looks: the theme slot of its stripe and icon, and the
// icon's name. Kinds other than success and error look like info.
#include <cstdint>

namespace qm {

struct ToastStyle {
    uint8_t slot;
    const char* icon;
};

ToastStyle toastStyle(uint8_t kind);

}  // namespace qm
