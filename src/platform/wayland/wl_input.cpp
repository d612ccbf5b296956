// Seat input: pointer, keyboard and touch (filled in with the input work).
#include "platform/wayland/wl_input.h"

#include "platform/wayland/wl_protocols.h"
#include "platform/wayland/wl_window_internal.h"

namespace qm {

void handleInputEvent(uint8_t, wl_proxy*, uint32_t, const wl_argument*)
{
}

void releaseInputState()
{
}

void runKeyRepeat(double)
{
}

}  // namespace qm
