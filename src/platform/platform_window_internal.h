#pragma once
// A platform window without a display, for tests of what sits above it: it
// hands out queued events and records what it was asked to do.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform_window.h"

namespace qm {

struct FakePlatformWindow {
    int32_t width = 800;
    int32_t height = 600;
    double scale = 1.0;
    bool closeRequested = false;
    std::vector<WindowEvent> pending;  // returned by the next poll
    std::vector<CursorKind> cursors;   // every setCursor
    std::string clipboard;
    int32_t activations = 0;
    int32_t swaps = 0;
    bool contentLost = false;
    bool closed = false;
    bool dark = false;
    ScrollHitTest hitTest;  // the query the UI installed
};

PlatformWindowRef newFakePlatformWindow();

}  // namespace qm
