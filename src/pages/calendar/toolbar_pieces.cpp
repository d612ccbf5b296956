#include "pages/calendar/toolbar_pieces.h"

#include <algorithm>
#include <vector>

#include "app/app_text.h"
#include "app/budget_io.h"
#include "app/display_elements.h"
#include "app/icon_textures.h"
#include "app/navigation.h"
#include "app/popover.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "core/ascii.h"
#include "core/utf8.h"
#include "model/balances.h"
#include "model/money.h"
#include "model/projection.h"
#include "model/record_edits.h"
#include "pages/editing/editing.h"
#include "platform/cursor.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/widget_id.h"

namespace qm {

namespace {

constexpr double kRowDp = 46;

// What every row of one account switcher draws with, made per call.
struct SwitcherDraw {
    Rect panel;
    double cursor = 0;  // the next row's top, in pixels
    const Theme* theme = nullptr;
};

struct SwitcherRow {
    std::string key;
    std::string name;
    std::string secondary;
    double balance = 0;
    bool selected = false;
    std::string badge;
    bool noBalance = false;
};

bool drawAccountSwitcherRow(AppState& state, const SwitcherRow& row, SwitcherDraw& d)
{
    UiContext& ui = *state.ui;
    Renderer& r = *state.renderer;
    const Theme& t = *d.theme;
    Rect rect{d.panel.x + dp(*state.ui, 6), d.cursor, d.panel.w - dp(*state.ui, 12), dp(*state.ui, kRowDp)};
    InteractResult res = interact(ui, widgetId(ui, "acc-row-" + row.key), rect, 1);
    if (row.selected)
        fillRoundRect(r, rect, dp(*state.ui, 8), t.base[slotAccentBackground]);
    else if (res.hovered)
        fillRoundRect(r, rect, dp(*state.ui, 8), t.base[slotHover]);
    if (res.hovered)
        ui.cursorShape = curHand;
    double radius = dp(*state.ui, 14);
    double cx = rect.x + dp(*state.ui, 8) + radius, cy = rect.y + rect.h / 2;
    fillCircle(r, cx, cy, radius, row.selected ? t.base[slotAccent] : t.base[slotBackgroundDeep]);
    drawText(state, row.badge, {cx - radius, cy - radius, 2 * radius, 2 * radius}, dp(*state.ui, 12),
        row.selected ? t.base[slotContrastLight] : t.base[slotTextSecondary], 0.5, 700);
    double textX = rect.x + dp(*state.ui, 46), textW = std::max(0.0, rect.w - dp(*state.ui, 140));
    drawText(state, elideText(state, row.name, textW, dp(*state.ui, 13), 600),
        {textX, rect.y + dp(*state.ui, 6), textW, dp(*state.ui, 18)}, dp(*state.ui, 13), t.base[slotText], 0, 600);
    if (!row.secondary.empty())
        drawText(state, elideText(state, row.secondary, textW, dp(*state.ui, 11), 400),
            {textX, rect.y + dp(*state.ui, 24), textW, dp(*state.ui, 14)}, dp(*state.ui, 11), t.base[slotTextTertiary],
            0, 400);
    Rect money{rect.x + rect.w - dp(*state.ui, 120), rect.y, dp(*state.ui, 110), rect.h};
    if (row.noBalance)
        drawTextWith(state, "Set balance", money, dp(*state.ui, 12.5), t.base[slotTextTertiary], 1, 1);
    else
        drawTextWith(
            state, formatMoney(row.balance), money, dp(*state.ui, 12.5), amountColor(state, row.balance, 0), 1, 1);
    d.cursor += rect.h;
    return res.clicked;
}

std::string badgeLetter(const std::string& name)
{
    if (name.empty())
        return {};
    Utf8Step step = decodeUtf8(name, 0);
    size_t n = step.length > 0 ? size_t(step.length) : 1;
    return asciiUpper(std::string_view(name).substr(0, n));
}

void chooseAccount(AppState& state, int64_t id)
{
    setSelectedAccount(*state.store, id);
    saveBudget(state);
    closePopup(*state.ui);
    state.redrawRequested = true;
}

}  // namespace

void togglePopup(AppState& state, std::string_view name, const Rect& anchor)
{
    UiContext& ui = *state.ui;
    int64_t id = widgetId(ui, name);
    if (isPopupOpen(ui, id))
        closePopup(ui);
    else
        openPopup(ui, id, anchor);
    state.redrawRequested = true;
}

bool drawIconButton(AppState& state, std::string_view id, std::string_view icon, const Rect& rect, bool active)
{
    UiContext& ui = *state.ui;
    Renderer& r = *state.renderer;
    const Theme& t = ui.theme;
    InteractResult res = interact(ui, widgetId(ui, id), rect, 1);
    double radius = dp(*state.ui, 11);
    Color fill = active             ? t.base[slotAccentBackground]
        : (res.hovered || res.held) ? t.base[slotHover]
                                    : t.base[slotSurface];
    fillRoundRect(r, rect, radius, fill);
    strokeRoundRect(r, rect, radius, std::max(1.0, dp(*state.ui, 1)), active ? t.base[slotAccent] : t.base[slotBorder]);
    double s = dp(*state.ui, 18);
    drawAppIcon(r, icon, {rect.x + (rect.w - s) / 2, rect.y + (rect.h - s) / 2, s, s},
        active ? t.base[slotLink] : t.base[slotText]);
    if (res.hovered)
        ui.cursorShape = curHand;
    return res.clicked;
}

std::string accountCountText(size_t count) { return std::to_string(count) + (count == 1 ? " account" : " accounts"); }

void drawAccountSwitcher(AppState& state, const Rect& anchor)
{
    UiContext& ui = *state.ui;
    if (!isPopupOpen(ui, widgetId(ui, "accountpop")))
        return;
    const BudgetProjection& p = storeProjection(*state.store);
    std::vector<AccountSummary> accounts = accountSummaries(p, state.todayDate);
    SwitcherDraw d;
    d.theme = &ui.theme;
    double height = double(accounts.size() + 1) * kRowDp + 30 + 44;
    d.panel = placePopover(state, anchor, dp(*state.ui, 300), dp(*state.ui, height));
    int32_t layer = beginPopover(state, d.panel);
    double x = d.panel.x;
    sectionCaption(
        state, "Accounts", {x + dp(*state.ui, 14), d.panel.y + dp(*state.ui, 8), d.panel.w, dp(*state.ui, 16)}, 0);
    d.cursor = d.panel.y + dp(*state.ui, 8 + 22);
    int64_t filter = selectedAccountId(state);

    SwitcherRow all{"all", "All accounts", accountCountText(accounts.size()),
        monthEndBalances(p, 0, state.todayDate).balance, filter == 0, "\u2211", false};
    if (drawAccountSwitcherRow(state, all, d))
        chooseAccount(state, 0);
    for (const AccountSummary& s : accounts) {
        std::string secondary = s.account.account_type;
        if (s.isDefault)
            secondary += secondary.empty() ? "Default" : " \u00b7 Default";
        SwitcherRow row{std::to_string(s.account.id), s.account.name, secondary, s.balance, filter == s.account.id,
            badgeLetter(s.account.name), s.noAnchor};
        if (drawAccountSwitcherRow(state, row, d))
            chooseAccount(state, s.account.id);
    }

    double y = d.cursor + dp(*state.ui, 4);
    drawDivider(state, d.panel.x, d.panel.x + d.panel.w, y, d.theme->base[slotBorder]);
    y += dp(*state.ui, 8);
    if (button(state, "acc-manage", "Manage accounts\u2026",
            {x + dp(*state.ui, 10), y, dp(*state.ui, 160), dp(*state.ui, 30)}, {.style = buttonLink})) {
        closePopup(ui);
        openManageAccounts(state);
    }
    endPopover(state, layer);
}

void openMonthPicker(AppState& state, const Rect& anchor)
{
    UiContext& ui = *state.ui;
    int64_t id = widgetId(ui, "monthpicker");
    openPopup(ui, id, anchor);
    // The toolkit keeps a popup's state across openings: 0 starts again at
    // the shown year.
    popupState(ui, id)->shownMonth = 0;
    state.redrawRequested = true;
}

int32_t monthPickerYear(AppState& state)
{
    UiContext& ui = *state.ui;
    int32_t index = popupState(ui, widgetId(ui, "monthpicker"))->shownMonth;
    return index > 0 ? index / 12 : state.shownMonth.year;
}

void drawMonthPicker(AppState& state, const Rect& anchor)
{
    UiContext& ui = *state.ui;
    int64_t popup = widgetId(ui, "monthpicker");
    if (!isPopupOpen(ui, popup))
        return;
    Renderer& r = *state.renderer;
    const Theme& t = ui.theme;
    std::shared_ptr<PopupState> kept = popupState(ui, popup);
    int32_t year = monthPickerYear(state);
    auto keepYear = [&](int32_t y) {
        kept->shownMonth = std::max(1, y * 12 + state.shownMonth.month - 1);
        year = y;
        state.redrawRequested = true;
    };

    Rect panel = placePopover(state, anchor, dp(*state.ui, 280), dp(*state.ui, 174));
    int32_t layer = beginPopover(state, panel);
    double x = panel.x + dp(*state.ui, 12), w = panel.w - dp(*state.ui, 24), y = panel.y + dp(*state.ui, 12);
    double b = dp(*state.ui, 28);
    if (iconOnlyButton(state, "mp-prev", "chevron_left", {x, y, b, b}, {.tooltip = "Previous year"}))
        keepYear(year - 1);
    if (iconOnlyButton(state, "mp-next", "chevron_right", {x + w - b, y, b, b}, {.tooltip = "Next year"}))
        keepYear(year + 1);
    drawText(state, std::to_string(year), {x + b, y, w - 2 * b, b}, dp(*state.ui, 14), t.base[slotText], 0.5, 700);

    double column = w / 4, top = y + b + dp(*state.ui, 8);
    for (int32_t m = 0; m < 12; ++m) {
        Rect cell{x + double(m % 4) * column + dp(*state.ui, 2), top + double(m / 4) * dp(*state.ui, 38),
            column - dp(*state.ui, 4), dp(*state.ui, 34)};
        InteractResult res = interact(ui, widgetId(ui, "mp-m" + std::to_string(m)), cell, 1);
        bool shown = year == state.shownMonth.year && m + 1 == state.shownMonth.month;
        bool current = year == state.todayDate.year && m + 1 == state.todayDate.month;
        double radius = dp(*state.ui, 8);
        if (shown)
            fillRoundRect(r, cell, radius, t.base[slotAccent]);
        else if (res.hovered)
            fillRoundRect(r, cell, radius, t.base[slotHover]);
        else if (current)
            fillRoundRect(r, cell, radius, t.base[slotAccentBackground]);
        if (res.hovered)
            ui.cursorShape = curHand;
        drawText(state, shortMonthName(m + 1), cell, dp(*state.ui, 13),
            shown ? t.base[slotContrastLight] : t.base[slotText], 0.5, 500);
        if (res.clicked) {
            showMonth(state, year, m + 1);
            closePopup(ui);
        }
    }
    endPopover(state, layer);
}

void stepCalendar(AppState& state, Date reference, uint8_t view, int32_t n)
{
    if (view == viewDay || view == viewWeek) {
        Date day = addDays(reference, view == viewWeek ? 7 * int64_t(n) : n);
        selectDay(state, day.year, day.month, day.day);
        showMonth(state, day.year, day.month);
        return;
    }
    Date first = addMonths(firstOfMonth(state.shownMonth.year, state.shownMonth.month), n);
    showMonth(state, first.year, first.month);
}

}  // namespace qm
