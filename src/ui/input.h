#pragma once
// Window events into the context: feeding only records edges, sums and
// typed text; widgets read them in the next drawn frame.
#include <cstdint>

#include "platform/events.h"
#include "ui/context.h"

namespace qm {

void feedEvent(UiContext& ctx, const WindowEvent& event);

// A press of this key this frame; exact asks for exactly these modifier bits,
// otherwise at least these.
bool keyPressed(const UiContext& ctx, uint8_t key, uint8_t modifiers, bool exact);
void consumeKey(UiContext& ctx, uint8_t key);
bool ctrlDown(const UiContext& ctx);
bool shiftDown(const UiContext& ctx);

// Whether an uncovered scrollable area of the last frame lies under (x, y):
// the window's question before it turns a touch pan into scrolling.
bool pointerWantsUi(const UiContext& ctx, double x, double y);

bool rectContains(const Rect& r, double x, double y);

}  // namespace qm
