#pragma once
// The editing commands a right click in a text field offers.
#include <cstdint>

#include "ui/context.h"

namespace qm {

enum TextMenuChoice : uint8_t {
    textMenuNothing = 0,
    textMenuCut = 3,
    textMenuCopy = 4,
    textMenuPaste = 5,
    textMenuDelete = 6,
    textMenuSelectAll = 7,
};

int64_t textMenuId(UiContext& ctx, int64_t fieldId);
// Opens at the pointer, notes whether the clipboard holds text, and hides
// the right press from widgets drawn later.
void openTextMenu(UiContext& ctx, int64_t fieldId);
uint8_t textContextMenu(
    UiContext& ctx, int64_t fieldId, bool hasSelection, bool hasText, bool editable, bool copyAllowed);

}  // namespace qm
