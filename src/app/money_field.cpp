#include "app/money_field.h"

#include "ui/widget_id.h"

namespace qm {

TextEditResult amountField(
    KitApp& app, std::string_view id, std::string& text, const Rect& rect, std::string_view placeholder, bool disabled)
{
    UiContext& ui = kitUi(app);
    int64_t wid = widgetId(ui, id);
    double prefix = scaled(app, 18);  // the "$" takes 22 dp, overlapping the box's padding by 4
    TextEditResult res =
        textEdit(ui, wid, text, {rect.x + prefix, rect.y, rect.w - prefix, rect.h}, placeholder, disabled, true, false);
    drawTextWith(app, "$", {rect.x + scaled(app, 8), rect.y, scaled(app, 22), rect.h}, scaled(app, 13),
        ui.theme.base[slotTextSecondary], 0, 0);
    return res;
}

}  // namespace qm
