#include "app/select_field.h"

#include "app/app_text.h"
#include "app/theme_apply.h"

#include "app/icon_picker.h"
#include "app/icon_textures.h"
#include "app/popover.h"
#include "app/styled_buttons.h"
#include "model/builtins.h"
#include "model/reports.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/layout.h"
#include "ui/scroll_area.h"
#include "ui/spacing.h"
#include "ui/text_edit.h"
#include "ui/widget_id.h"

#include <algorithm>

namespace qm {

namespace {

std::string named(std::string_view prefix, std::string_view name)
{
    std::string s(prefix);
    s += name;
    return s;
}

}  // namespace

std::vector<SelectOption> categorySelectOptions(const Budget& b, std::string_view keepHidden, Color fallback)
{
    std::vector<SelectOption> out;
    for (const Category& c : categoriesByName(b)) {
        if (c.hidden && (keepHidden.empty() || c.name != keepHidden))
            continue;
        SelectOption o;
        o.label = c.name;
        o.color = parseHexColor(categoryNameColor(b, c.name), fallback);
        o.icon = guessIconKey(c.name);
        o.iconId = c.icon_id;
        o.value = c.id;
        out.push_back(std::move(o));
    }
    return out;
}

SelectResult selectField(AppState& state, std::string_view name, std::string_view currentLabel,
    const std::vector<SelectOption>& options, int32_t selected, const Rect& rect, std::string_view noneLabel,
    std::string_view actionLabel, Color dot, bool disabled)
{
    UiContext& ui = *state.ui;
    Renderer& r = *ui.renderer;
    const Theme& t = ui.theme;
    SelectResult result{false, selected, false};
    int64_t id = widgetId(ui, named("picker", name));
    InteractResult res;
    if (!disabled)
        res = interact(ui, id, rect, 1);
    bool open = isPopupOpen(ui, id);
    drawFieldFrame(ui, rect, {.hovered = res.hovered, .focused = open, .disabled = disabled});
    double x = rect.x + dp(*state.ui, 10), cy = rect.y + rect.h / 2;
    if (dot.a > 0) {
        fillCircle(r, x + dp(*state.ui, 5), cy, dp(*state.ui, 5), dot);
        x += dp(*state.ui, 16);
    }
    double size = dp(*state.ui, 13);
    double room = rect.x + rect.w - x - dp(*state.ui, 28);
    drawText(state, elideText(state, currentLabel, room, size, 400), {x, rect.y, room, rect.h}, size,
        disabled ? t.base[slotTextTertiary] : t.base[slotText], 0, 400);
    double chevron = dp(*state.ui, 16);
    drawAppIcon(r, "chevron_down", {rect.x + rect.w - dp(*state.ui, 8) - chevron, cy - chevron / 2, chevron, chevron},
        t.base[slotTextTertiary]);
    if (res.clicked && !disabled) {
        if (open)
            closePopup(ui);
        else
            openPopup(ui, id, rect);
    }
    if (disabled || !isPopupOpen(ui, id))
        return result;

    double e = dp(*state.ui, 34), foot = actionLabel.empty() ? 0 : dp(*state.ui, 38), pad = dp(*state.ui, kSpaceBase);
    bool hasNone = !noneLabel.empty();
    size_t n = options.size() + (hasNone ? 1 : 0);
    double height = double(std::min<size_t>(n, 8)) * e + dp(*state.ui, 16) + foot;
    Rect panel = placePopover(state, rect, std::max(dp(*state.ui, 240), rect.w), height);
    int32_t previous = beginPopover(state, panel);

    std::string area = named("pick", name);
    beginScrollArea(
        ui, area, {panel.x + pad, panel.y + pad, panel.w - 2 * pad, panel.h - 2 * pad - foot}, colorTransparent, false);
    const LayoutFrame& content = currentLayout(ui);
    double y = content.cursorY, w = content.w - dp(*state.ui, 4);
    if (hasNone) {
        if (menuItem(state, named("pn", name), noneLabel, {content.x, y, w, e}, selected < 0)) {
            result = {true, -1, false};
            closePopup(ui);
        }
        y += e;
    }
    std::string entryPrefix = named("pi", name);
    for (size_t i = 0; i < options.size(); ++i, y += e) {
        const SelectOption& o = options[i];
        LeadingDrawing leading;
        if (!o.icon.empty()) {
            leading = [&state, &o](const Rect& box) {
                double side = dp(*state.ui, 22);
                iconBadge(state, o.iconId, o.icon, o.color, {box.x, box.y + (box.h - side) / 2, side, side});
            };
        } else if (o.color.a > 0) {
            leading = [&state, &o](const Rect& box) {
                fillCircle(*state.ui->renderer, box.x + dp(*state.ui, 6), box.y + box.h / 2, dp(*state.ui, 5), o.color);
            };
        }
        if (menuItem(state, entryPrefix + std::to_string(i), o.label, {content.x, y, w, e}, int32_t(i) == selected,
                o.detail, leading)) {
            result = {true, int32_t(i), false};
            closePopup(ui);
        }
    }
    extendLayout(ui, y);
    endScrollArea(ui, area);
    // Scroll areas leave the wheel alone while a popup is open, and this list
    // is the popup: it takes the wheel itself, as the toolkit's combo box does.
    std::shared_ptr<ScrollState> scroll = scrollState(ui, widgetId(ui, "scroll" + area));
    double overflow = scroll->contentHeight - scroll->rect.h;
    if (overflow > 0) {
        double d = wheelScroll(ui, id, scroll->rect, dp(*state.ui, 40), dp(ui, t.metrics[metricScrollbarWidth]));
        scroll->offset = std::clamp(scroll->offset - d, 0.0, overflow);
    }

    if (!actionLabel.empty()) {
        double bottom = panel.y + panel.h;
        drawDivider(state, panel.x + pad, panel.x + panel.w - pad, bottom - foot, t.base[slotShadeStrong]);
        if (button(state, named("pm", name), actionLabel,
                {panel.x + pad, bottom - dp(*state.ui, 34), panel.w - 2 * pad, dp(*state.ui, 28)},
                {.style = buttonLink})) {
            result = {true, selected, true};
            closePopup(ui);
        }
    }
    endPopover(state, previous);
    return result;
}

}  // namespace qm
