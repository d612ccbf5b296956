#include "ui/text_menu.h"

#include "ui/hit_test.h"
#include "ui/menu.h"
#include "ui/widget_id.h"

namespace qm {

int64_t textMenuId(UiContext& ctx, int64_t fieldId)
{
    return widgetIdIndexed(ctx, "textmenu", int64_t(uint64_t(fieldId) & 0x7FFFFFFFu));
}

void openTextMenu(UiContext& ctx, int64_t fieldId)
{
    int64_t id = textMenuId(ctx, fieldId);
    openPopup(ctx, id, {ctx.pointerX, ctx.pointerY, 1, 1});
    popupState(ctx, id)->clipboardHasText = !getClipboardText(*ctx.window).empty();
    ctx.buttonsPressed[3] = false;
}

uint8_t textContextMenu(
    UiContext& ctx, int64_t fieldId, bool hasSelection, bool hasText, bool editable, bool copyAllowed)
{
    int64_t id = textMenuId(ctx, fieldId);
    if (!beginMenu(ctx, id, dp(ctx, 190), "textmenuitems"))
        return textMenuNothing;
    bool clipboard = popupState(ctx, id)->clipboardHasText != 0;
    uint8_t result = textMenuNothing;
    if (menuEntry(ctx, "Cut", "Ctrl+X", editable && copyAllowed && hasSelection, icCut))
        result = textMenuCut;
    if (menuEntry(ctx, "Copy", "Ctrl+C", copyAllowed && hasSelection, icCopy))
        result = textMenuCopy;
    if (menuEntry(ctx, "Paste", "Ctrl+V", editable && clipboard, icPaste))
        result = textMenuPaste;
    if (menuEntry(ctx, "Delete", "Del", editable && hasSelection, icDelete))
        result = textMenuDelete;
    menuSeparator(ctx);
    if (menuEntry(ctx, "Select All", "Ctrl+A", hasText, icNone))
        result = textMenuSelectAll;
    endPopup(ctx);
    return result;
}

}  // namespace qm
