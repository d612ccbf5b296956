#pragma once
// For automation (QUENMRK_TEST_WIDGETS): after every drawn frame, the
// widgets that reached interact and the windows of that frame, each by its
// id text, rectangle and draw layer, written as JSON so that a test can
// click a widget by id instead of by coordinates; also the id of the widget
// that holds the keyboard focus ("focused"), when one does, and the length
// in bytes of the text a focused text field holds ("focusedTextBytes").
#include <string>

#include "core/json.h"
#include "ui/context.h"

namespace qm {

Json widgetListJson(const UiContext& ui, int32_t framesOnPage);
// Atomic, so a reader never sees half a list; failures are dropped.
void writeWidgetList(const std::string& path, const UiContext& ui, int32_t framesOnPage);
// From now on each written list also holds, under "texts", every text drawn
// since the list before (its words and box), so that a test can read what a
// status line or a toast says. Opt-in: a busy page draws thousands a frame.
void listDrawnTexts();

}  // namespace qm
