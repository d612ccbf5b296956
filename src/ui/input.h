#pragma once
// Window events into the context: feeding only records edges, sums and
// typed text; widgets read them in the next drawn frame.
#include <cstdint>
#include <vector>

#include "platform/events.h"
#include "ui/context.h"

namespace qm {

void feedEvent(UiContext& ctx, const WindowEvent& event);

// Window events wait here for the frames that take them. A frame reads the
// pointer where its last event left it, each widget looks at the frame's
// keys once, and hit tests see what the frame before drew; so events that
// came together between two frames are handed out a frame's share at a time,
// in order, as if each action had come in a frame of its own.
struct InputQueue {
    std::vector<WindowEvent> waiting;
    bool settling = false;  // the last share clicked or pressed a key
};

// The next frame's share of the waiting events. Right after a share that
// clicked, scrolled or pressed a key, one frame takes none: it draws what
// that input changed (a dialog closed, a menu measured) before the next
// click is aimed at the screen. Plain typing into a field that had the keys
// last frame (typingInField) stays in one share.
std::vector<WindowEvent> takeFrameInput(InputQueue& queue, bool typingInField);

// A press of this key this frame; exact asks for exactly these modifier bits,
// otherwise at least these.
bool keyPressed(const UiContext& ctx, uint8_t key, uint8_t modifiers, bool exact);
void consumeKey(UiContext& ctx, uint8_t key);
// A key that acted as a command: its press and the character it typed. A
// frame that is not typing into a field takes one key at a time, so every
// character of such a frame came with that key; left in place, it would be
// typed into the field the command opens.
void consumeCommandKey(UiContext& ctx, uint8_t key);
bool ctrlDown(const UiContext& ctx);
bool shiftDown(const UiContext& ctx);

// Whether an uncovered scrollable area of the last frame lies under (x, y):
// the window's question before it turns a touch pan into scrolling.
bool pointerWantsUi(const UiContext& ctx, double x, double y);

bool rectContains(const Rect& r, double x, double y);

}  // namespace qm
