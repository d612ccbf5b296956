#pragma once
// The one record both window back ends use to report what happens to a
// window. Consumers switch on kind and read only the fields that kind sets;
// everything else stays zero.
#include <cstdint>
#include <string>

namespace qm {

enum WindowEventKind : uint8_t {
    weClose = 1,
    weResize = 2,
    weMouseMove = 3,
    weMouseDown = 4,
    weMouseUp = 5,
    weDoubleClick = 6,  // touch double tap only; mouse double clicks are found by the consumer
    weScroll = 7,       // wheel steps, or pinch zoom steps in dy
    weKeyDown = 8,
    weKeyUp = 9,
    weText = 10,
    weFocusIn = 11,
    weFocusOut = 12,
    weMouseLeave = 13,
    weFileDrop = 14,
    weScaleChanged = 15,
    // Kinds the application shell reacts to but no window back end
    // produces; they are reserved here so that nothing else takes the values.
    weFileOpen = 16,
    weDialogResult = 17,
    weSaveRequest = 18,
    weTouchScroll = 20,  // touch pan over a scrollable area, inertia included
    weRotate = 21,
};

struct WindowEvent {
    uint8_t kind = 0;
    double x = 0;
    double y = 0;
    uint8_t button = 0;  // 1 left, 2 middle, 3 right, 4 back, 5 forward
    double dx = 0;       // wheel steps; radians (clockwise on screen) for weRotate
    double dy = 0;       // wheel steps (away from the user > 0); pixels for weTouchScroll
    uint8_t key = 0;     // KeyCode
    uint8_t modifiers = 0;
    uint8_t repeat = 0;  // auto-repeated key; 1 after the first event of a gesture
    int32_t codepoint = 0;
    int32_t width = 0;
    int32_t height = 0;
    double scale = 0;
    std::string text;  // path of a dropped file
    uint8_t fromTouch = 0;

    bool operator==(const WindowEvent&) const = default;
};

}  // namespace qm
