#pragma once
// Handlers the dispatcher hands seat, device and data events to.
#include "platform/wayland/wl_libs.h"

#include <cstdint>

namespace qm {

// Seat, pointer, keyboard and touch events.
void handleInputEvent(uint8_t kind, wl_proxy* proxy, uint32_t opcode, const wl_argument* args);
// Data device, offers, sources, activation tokens and buffer releases.
void handleDataEvent(uint8_t kind, wl_proxy* proxy, uint32_t opcode, const wl_argument* args);
// Destroys the seat's devices and forgets the keymap; part of ending a connection.
void releaseInputState();

}  // namespace qm
