#include "app/money_field.h"

#include "app/app_text.h"
#include "app/theme_apply.h"

#include "ui/widget_id.h"

namespace qm {

TextEditResult amountField(AppState& state, std::string_view id, std::string& text, const Rect& rect,
    std::string_view placeholder, bool disabled)
{
    UiContext& ui = *state.ui;
    int64_t wid = widgetId(ui, id);
    double prefix = dp(*state.ui, 18);  // the "$" takes 22 dp, overlapping the box's padding by 4
    TextEditResult res = textEdit(ui, wid, text, {rect.x + prefix, rect.y, rect.w - prefix, rect.h},
        {.placeholder = placeholder, .disabled = disabled, .selectAllOnClick = true});
    drawTextWith(state, "$", {rect.x + dp(*state.ui, 8), rect.y, dp(*state.ui, 22), rect.h}, dp(*state.ui, 13),
        ui.theme.base[slotTextSecondary], 0, 0);
    return res;
}

}  // namespace qm
