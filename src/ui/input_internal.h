#pragma once
// The steps of handing window events to frames, for the tests.
#include <cstddef>
#include <span>

#include "platform/events.h"

namespace qm {

// How many of the waiting events, from the front, one frame may take: a
// click and a move away, a key and a click, or two commands in a row go to
// frames of their own. Plain typing into a field that had the keys last
// frame joins up, as do the repeats of a held key, so that a slow frame does
// not make typing fall behind.
size_t eventsForOneFrame(std::span<const WindowEvent> events, bool typingInField);

// Whether the event clicks, scrolls or presses a key (a modifier alone does
// not): what may change the screen under the next click.
bool eventActs(const WindowEvent& e);

}  // namespace qm
