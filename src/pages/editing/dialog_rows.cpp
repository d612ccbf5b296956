#include "pages/editing/dialog_rows.h"

#include "app/form_layout.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "ui/layout.h"
#include "ui/text_edit.h"
#include "ui/widget_id.h"

namespace qm {

bool addByNameRow(AppState& state, std::string_view label, std::string_view fieldId, std::string& name,
    std::string_view placeholder, std::string_view buttonId)
{
    UiContext& ui = *state.ui;
    double h = rowHeight(ui);
    fieldLabel(state, label);
    beginRow(ui, h, {-1, dp(*state.ui, 70)});
    Rect field = nextLayoutRect(ui, h, 0);
    bool enter = textEdit(ui, widgetId(ui, fieldId), name, field, {.placeholder = placeholder}) == editEnter;
    bool add = flowButton(state, buttonId, "Add", {.style = buttonPrimary});
    endRow(ui);
    return enter || add;
}

}  // namespace qm
