// The narrow calendar's frame: the toolbar over a day picker over the day
// sheet, or the picker and the sheet side by side in phone landscape.
#include <algorithm>
#include <cmath>

#include "app/app_text.h"
#include "app/icon_textures.h"
#include "app/navigation.h"
#include "app/popover.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "model/balances.h"
#include "model/money.h"
#include "model/projection.h"
#include "pages/calendar/calendar_page_internal.h"
#include "pages/calendar/phone_calendar.h"
#include "pages/calendar/toolbar_pieces.h"
#include "platform/cursor.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/widget_id.h"

namespace qm {

namespace {

constexpr double kFullGridDp = 26 + 6 * 60;  // the weekday band and six weeks of the full look
constexpr double kSheetLeastDp = 120;        // the day sheet's heading and a line or two

// Sizes that differ between landscape and portrait, in dp.
struct ToolbarSizes {
    double row1, pad, icon, button, row2, nav, navLift, todayExtra, todayRadius, title, row3, segment, segmentDrop;
    double nameSize, balanceSize;
};

ToolbarSizes toolbarSizes(bool landscape)
{
    if (landscape)
        return {44, 12, 26, 32, 38, 32, 2, 20, 9, 17, 37, 30, 0, 13, 12.5};
    return {52, 14, 28, 36, 46, 34, 0, 24, 11, 20, 42, 34, 2, 14, 13.5};
}

void drawAccountButton(AppState& state, const Rect& row, double itemX, double buttonsLeft, const ToolbarSizes& s)
{
    UiContext& ui = *state.ui;
    Renderer& r = *state.renderer;
    const Theme& t = ui.theme;
    Rect box{itemX - dp(*state.ui, 6), row.y + dp(*state.ui, 4), 0, row.h - dp(*state.ui, 8)};
    box.w = std::max(0.0, buttonsLeft - dp(*state.ui, 8) - box.x);
    InteractResult res = interact(ui, widgetId(ui, "account-switcher"), box, 1);
    if (res.hovered) {
        fillRoundRect(r, box, dp(*state.ui, 10), t.base[slotHover]);
        ui.cursorShape = curHand;
    }
    int64_t filter = selectedAccountId(state);
    double block = dp(*state.ui, 38);
    double top = row.y + (row.h - block) / 2;
    double nameSize = dp(*state.ui, s.nameSize);
    std::string name =
        elideText(state, accountFilterLabel(state, filter), std::max(0.0, box.w - dp(*state.ui, 40)), nameSize, 600);
    double nameW = measureText(state, name, nameSize, 600);
    drawText(state, name, {itemX, top, nameW, dp(*state.ui, 20)}, nameSize, t.base[slotText], 0, 600);
    double chevron = dp(*state.ui, 14);
    drawAppIcon(r, "chevron_down", {itemX + nameW + dp(*state.ui, 4), top + dp(*state.ui, 3), chevron, chevron},
        t.base[slotTextTertiary]);
    double balance = monthEndBalances(storeProjection(*state.store), filter, state.todayDate).balance;
    drawTextWith(state, formatMoney(balance), {itemX, top + dp(*state.ui, 20), box.w, dp(*state.ui, 18)},
        dp(*state.ui, s.balanceSize), amountColor(state, balance, 0), 0, 1);
    if (res.clicked)
        togglePopup(state, "accountpop", box);
    drawAccountSwitcher(state, box);
}

void drawToolbarRow1(AppState& state, const Rect& row, bool landscape, const ToolbarSizes& s)
{
    UiContext& ui = *state.ui;
    Renderer& r = *state.renderer;
    const Theme& t = ui.theme;
    fillRect(r, row, t.base[slotSurface]);
    double pad = dp(*state.ui, s.pad), icon = dp(*state.ui, s.icon), b = dp(*state.ui, s.button);
    if (state.windowIcon)
        drawTextureRect(
            r, *state.windowIcon, {row.x + pad, row.y + (row.h - icon) / 2, icon, icon}, colorWhite, 0, 0, 1, 1);
    double itemX = row.x + pad + icon + dp(*state.ui, 10);
    double right = row.x + row.w - pad;
    Rect button{right - b, row.y + (row.h - b) / 2, b, b};
    if (landscape) {
        if (drawIconButton(state, "ph-menu-l", "menu", button, false))
            togglePopup(state, "phonemenu", button);
        button.x -= b + dp(*state.ui, 6);
    }
    if (drawIconButton(state, "ph-search", "search", button, false))
        switchPage(state, pageSearch);
    drawAccountButton(state, row, itemX, button.x, s);
}

void drawToolbarRow2(AppState& state, const Rect& row, Date day, uint8_t view, const ToolbarSizes& s)
{
    UiContext& ui = *state.ui;
    Renderer& r = *state.renderer;
    const Theme& t = ui.theme;
    fillRect(r, row, t.base[slotSurface]);
    double pad = dp(*state.ui, s.pad), nav = dp(*state.ui, s.nav);
    double y = row.y + row.h / 2 - dp(*state.ui, s.navLift) - nav / 2;
    Rect next{row.x + row.w - pad - nav, y, nav, nav};
    if (drawIconButton(state, "ph-next", "chevron_right", next, false))
        stepCalendar(state, day, view, 1);

    double textSize = dp(*state.ui, 13);
    double todayW = measureText(state, "Today", textSize, 600) + dp(*state.ui, s.todayExtra);
    Rect today{next.x - dp(*state.ui, 6) - todayW, y, todayW, nav};
    InteractResult res = interact(ui, widgetId(ui, "ph-today"), today, 1);
    double radius = dp(*state.ui, s.todayRadius);
    fillRoundRect(r, today, radius, res.hovered ? t.base[slotHover] : t.base[slotSurface]);
    strokeRoundRect(r, today, radius, std::max(1.0, dp(*state.ui, 1)), t.base[slotBorder]);
    drawText(state, "Today", today, textSize, t.base[slotText], 0.5, 600);
    if (res.hovered)
        ui.cursorShape = curHand;
    if (res.clicked) {
        goToToday(state);
        selectDay(state, state.todayDate.year, state.todayDate.month, state.todayDate.day);
    }

    Rect prev{today.x - dp(*state.ui, 6) - nav, y, nav, nav};
    if (drawIconButton(state, "ph-prev", "chevron_left", prev, false))
        stepCalendar(state, day, view, -1);

    Rect title{row.x + pad, y, std::max(0.0, prev.x - dp(*state.ui, 8) - row.x - pad), nav};
    InteractResult month = interact(ui, widgetId(ui, "tb-month"), title, 1);
    double titleSize = dp(*state.ui, s.title);
    drawText(state, elideText(state, monthTitle(state), title.w, titleSize, 700), title, titleSize, t.base[slotText], 0,
        700);
    if (month.hovered)
        ui.cursorShape = curHand;
    if (month.clicked) {
        if (isPopupOpen(ui, widgetId(ui, "monthpicker")))
            closePopup(ui);
        else
            openMonthPicker(state, title);
    }
    drawMonthPicker(state, title);
}

void drawToolbarRow3(AppState& state, const Rect& row, bool landscape, const ToolbarSizes& s)
{
    fillRect(*state.renderer, row, state.ui->theme.base[slotSurface]);
    double pad = dp(*state.ui, s.pad);
    Rect control{
        row.x + pad, row.y + dp(*state.ui, s.segmentDrop), std::max(0.0, row.w - 2 * pad), dp(*state.ui, s.segment)};
    int32_t view = state.view;
    std::vector<std::string> labels = {"Month", "Week"};
    if (!landscape)
        labels.emplace_back("Day");
    if (segmentedControl(state, "ph-view", view, labels, control)) {
        state.view = uint8_t(std::clamp(view, 0, 2));
        state.settings.view = calendarViewName(state.view);
        saveSettings(state);
        state.redrawRequested = true;
    }
}

}  // namespace

Date phoneSheetDay(const AppState& state) { return state.focusedDayValid ? state.focusedDay : state.todayDate; }

double phoneLeftPaneWidth(double width) { return std::round(width * 11 / 20); }

double drawPhoneToolbar(AppState& state, const Rect& rect, Date day, uint8_t view, bool landscape)
{
    ToolbarSizes s = toolbarSizes(landscape);
    Rect row1{rect.x, rect.y, rect.w, dp(*state.ui, s.row1)};
    Rect row2{rect.x, row1.y + row1.h, rect.w, dp(*state.ui, s.row2)};
    Rect row3{rect.x, row2.y + row2.h, rect.w, dp(*state.ui, s.row3)};
    drawToolbarRow1(state, row1, landscape, s);
    drawToolbarRow2(state, row2, day, view, s);
    drawToolbarRow3(state, row3, landscape, s);
    double line = std::max(1.0, dp(*state.ui, 1));
    double y = row3.y + row3.h;
    fillRect(*state.renderer, {rect.x, y, rect.w, line}, state.ui->theme.base[slotShadeStrong]);
    return y + line;
}

void drawPhoneCalendar(AppState& state, const Rect& rect)
{
    UiContext& ui = *state.ui;
    Date day = phoneSheetDay(state);
    double viewBottom = ui.viewHeight;
    if (!state.phoneLandscape) {
        double top = drawPhoneToolbar(state, rect, day, state.view, false);
        Rect rest{rect.x, top, rect.w, std::max(0.0, rect.y + rect.h - top)};
        if (state.view == viewMonth) {
            // A short window keeps room for the day sheet: the weeks take
            // the compact look and share what is left, rather than pushing
            // the last weeks and the sheet out of sight.
            double sheetLeast = dp(*state.ui, kSheetLeastDp);
            if (rest.h - sheetLeast >= dp(*state.ui, kFullGridDp))
                top = drawPhoneMonthGrid(state, rest, 60, false);
            else
                top = drawPhoneMonthGrid(state, {rest.x, rest.y, rest.w, std::max(0.0, rest.h - sheetLeast)}, 0, true);
        } else if (state.view == viewWeek)
            top = drawPhoneWeekStrip(state, rest, day);
        drawDaySheet(state, {rect.x, top, rect.w, std::max(0.0, viewBottom - top)}, day);
        return;
    }
    Rect left{rect.x, rect.y, phoneLeftPaneWidth(rect.w), rect.h};
    fillRect(*state.renderer, left, ui.theme.base[slotSurface]);
    double top = drawPhoneToolbar(state, left, day, state.view, true);
    Rect rest{left.x, top, left.w, std::max(0.0, left.y + left.h - top)};
    if (state.view == viewWeek)
        drawPhoneWeekStrip(state, rest, day);
    else
        drawPhoneMonthGrid(state, rest, 0, true);
    double line = std::max(1.0, dp(*state.ui, 1));
    double lineX = left.x + left.w;
    fillRect(
        *state.renderer, {lineX, rect.y, line, std::max(0.0, viewBottom - rect.y)}, ui.theme.base[slotShadeStrong]);
    double sheetX = lineX + line;
    drawDaySheet(
        state, {sheetX, rect.y, std::max(0.0, rect.x + rect.w - sheetX), std::max(0.0, viewBottom - rect.y)}, day);
}

void drawNarrowCalendar(AppState& state, const Rect& rect) { drawPhoneCalendar(state, rect); }

}  // namespace qm
