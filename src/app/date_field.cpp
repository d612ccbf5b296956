#include "app/date_field.h"

#include "app/app_text.h"
#include "app/budget_io.h"
#include "app/theme_apply.h"
#include "core/ascii.h"

#include "app/popover.h"
#include "app/styled_buttons.h"
#include "model/ledger.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/text_edit.h"
#include "ui/widget_id.h"
#include "ui/widget_state.h"

#include <array>
#include <cctype>
#include <optional>

namespace qm {

namespace {

constexpr std::string_view kDatePlaceholder = "YYYY-MM-DD";
constexpr std::string_view kDateError = "Dates are written as YYYY-MM-DD";

std::string named(std::string_view prefix, std::string_view name)
{
    std::string s(prefix);
    s += name;
    return s;
}

int32_t monthIndex(Date d) { return d.year * 12 + d.month - 1; }

// The calendar button: opens the grid on the date's month, or closes it.
void calendarButton(AppState& state, std::string_view name, const Date& date, const Rect& rect, bool disabled)
{
    UiContext& ui = *state.ui;
    if (!iconOnlyButton(state, named("datebtn", name), "today", rect, {.tooltip = "Pick a date", .disabled = disabled}))
        return;
    int64_t popup = widgetId(ui, named("calpop", name));
    if (isPopupOpen(ui, popup)) {
        closePopup(ui);
        return;
    }
    openPopup(ui, popup, rect);
    popupState(ui, popup)->shownMonth = monthIndex(date);
}

// Covers the idle box with the friendly form of the date, or a placeholder.
void drawIdleDate(AppState& state, const Rect& box, std::string_view text, bool placeholder, bool disabled)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    double in = dp(*state.ui, 2);
    fillRoundRect(*ui.renderer, {box.x + in, box.y + in, box.w - 2 * in, box.h - 2 * in}, dp(*state.ui, 6),
        disabled ? t.derived[derivedBackground] : t.derived[derivedSurface]);
    Color ink = disabled || placeholder ? t.base[slotTextTertiary] : t.base[slotText];
    drawText(state, text, {box.x + dp(*state.ui, 8), box.y, box.w - dp(*state.ui, 12), box.h}, dp(*state.ui, 13), ink,
        0, 400);
}

bool boxIdle(UiContext& ui, int64_t id) { return !textEditState(ui, id)->editing && !isFocused(ui, id); }

}  // namespace

bool dateField(AppState& state, std::string_view name, Date& date, const Rect& rect, bool disabled)
{
    UiContext& ui = *state.ui;
    Rect box{rect.x, rect.y, rect.w - dp(*state.ui, 36), rect.h};
    int64_t textId = widgetId(ui, named("datetext", name));
    // The bound text is the stored date: the edit buffer differs from it
    // exactly when the user typed something, which is what gets committed.
    std::string text = formatIso(date);
    TextEditResult res = textEdit(ui, textId, text, box, {.placeholder = kDatePlaceholder, .disabled = disabled});
    bool changed = false;
    if (res == editFocusLost || res == editEnter) {
        if (std::optional<Date> parsed = tryParseIso(text)) {
            changed = !sameDate(*parsed, date);
            date = *parsed;
        } else {
            showError(state, std::string(kDateError));
        }
    }
    calendarButton(state, name, date, {box.x + box.w + dp(*state.ui, 4), rect.y, dp(*state.ui, 32), rect.h}, disabled);
    if (datePickerMonth(state, name, date, rect))
        changed = true;
    if (boxIdle(ui, textId))
        drawIdleDate(state, box, shortDate(date), false, disabled);
    return changed;
}

bool optionalDateField(AppState& state, std::string_view name, Date& date, bool& hasDate, const Rect& rect,
    std::string_view placeholder, bool disabled)
{
    UiContext& ui = *state.ui;
    Rect box{rect.x, rect.y, rect.w - dp(*state.ui, 36) - (hasDate ? dp(*state.ui, 28) : 0), rect.h};
    int64_t textId = widgetId(ui, named("datetext", name));
    std::string text = hasDate ? formatIso(date) : std::string();
    TextEditResult res = textEdit(ui, textId, text, box, {.placeholder = kDatePlaceholder, .disabled = disabled});
    bool changed = false;
    if (res == editFocusLost || res == editEnter) {
        std::optional<Date> parsed;
        if (trimAsciiBlanks(text).empty()) {
            changed = hasDate;
            hasDate = false;
        } else if ((parsed = tryParseIso(text))) {
            changed = !hasDate || !sameDate(*parsed, date);
            date = *parsed;
            hasDate = true;
        } else {
            showError(state, std::string(kDateError));
        }
    }
    if (hasDate
        && iconOnlyButton(state, named("dateclr", name), "close",
            {box.x + box.w + dp(*state.ui, 2), rect.y, dp(*state.ui, 26), rect.h},
            {.tooltip = "Clear the date", .disabled = disabled})) {
        hasDate = false;
        changed = true;
    }
    calendarButton(
        state, name, date, {rect.x + rect.w - dp(*state.ui, 32), rect.y, dp(*state.ui, 32), rect.h}, disabled);
    if (datePickerMonth(state, name, date, rect)) {
        hasDate = true;
        changed = true;
    }
    if (boxIdle(ui, textId)) {
        if (hasDate)
            drawIdleDate(state, box, shortDate(date), false, disabled);
        else
            drawIdleDate(state, box, placeholder, true, disabled);
    }
    return changed;
}

bool datePickerMonth(AppState& state, std::string_view name, Date& date, const Rect& anchor)
{
    UiContext& ui = *state.ui;
    int64_t popup = widgetId(ui, named("calpop", name));
    if (!isPopupOpen(ui, popup))
        return false;
    Renderer& r = *ui.renderer;
    const Theme& t = ui.theme;
    std::shared_ptr<PopupState> st = popupState(ui, popup);
    if (st->shownMonth <= 0)
        st->shownMonth = monthIndex(date);
    int32_t year = st->shownMonth / 12, month = st->shownMonth - 12 * year + 1;

    double c = dp(*state.ui, 32);
    Rect panel = placePopover(state, anchor, dp(*state.ui, 16) + 7 * c, 7 * c + dp(*state.ui, 50));
    int32_t previous = beginPopover(state, panel);

    Rect header{panel.x + dp(*state.ui, 8), panel.y + dp(*state.ui, 8), panel.w - dp(*state.ui, 16), dp(*state.ui, 28)};
    double arrow = dp(*state.ui, 28);
    Date first = firstOfMonth(year, month);
    if (iconOnlyButton(state, named("cp-prev", name), "chevron_left", {header.x, header.y, arrow, arrow}))
        st->shownMonth = monthIndex(addMonths(first, -1));
    if (iconOnlyButton(
            state, named("cp-next", name), "chevron_right", {header.x + header.w - arrow, header.y, arrow, arrow}))
        st->shownMonth = monthIndex(addMonths(first, 1));
    drawText(
        state, monthName(month) + " " + std::to_string(year), header, dp(*state.ui, 13), t.base[slotText], 0.5, 600);

    static constexpr std::array<std::string_view, 7> kHeads = {"S", "M", "T", "W", "T", "F", "S"};
    double headY = header.y + header.h + dp(*state.ui, 4);
    double x0 = panel.x + dp(*state.ui, 8);
    for (size_t k = 0; k < kHeads.size(); ++k)
        drawText(state, kHeads[k], {x0 + double(k) * c, headY, c, dp(*state.ui, 18)}, dp(*state.ui, 10.5),
            t.base[slotTextTertiary], 0.5, 600);

    double top = headY + dp(*state.ui, 20);
    MonthGrid grid = monthGrid(year, month);
    std::string cellId = named("cpd", name);
    bool picked = false;
    for (int32_t w = 0; w < grid.weeks; ++w) {
        for (int32_t k = 0; k < 7; ++k) {
            Rect cell{x0 + k * c, top + w * c, c, c};
            Date day = addDays(grid.start, 7 * w + k);
            InteractResult res = interact(ui, widgetIdIndexed(ui, cellId, dayNumber(day)), cell, 1);
            double cx = cell.x + c / 2, cy = cell.y + c / 2, radius = 0.42 * c;
            bool chosen = sameDate(day, date);
            bool isToday = sameDate(day, state.todayDate);
            if (chosen)
                fillCircle(r, cx, cy, radius, t.base[slotAccent]);
            else if (res.hovered)
                fillCircle(r, cx, cy, radius, t.base[slotHover]);
            else if (isToday)
                strokeCircle(r, cx, cy, radius, 1, t.base[slotAccent]);
            Color ink = chosen ? colorWhite : day.month == month ? t.base[slotText] : t.base[slotTextTertiary];
            drawText(state, std::to_string(day.day), cell, dp(*state.ui, 12), ink, 0.5, isToday ? 600 : 400);
            if (res.clicked) {
                date = day;
                closePopup(ui);
                picked = true;
            }
        }
    }
    endPopover(state, previous);
    return picked;
}

}  // namespace qm
