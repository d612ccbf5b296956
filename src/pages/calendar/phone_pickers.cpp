// The narrow calendar's two day pickers: the week strip and the compact
// month grid. Each day shows its number, its balance in short form and a
// dot per transaction (up to four); neither draws transaction texts.
#include <algorithm>
#include <array>

#include "app/app_text.h"
#include "app/display_elements.h"
#include "app/navigation.h"
#include "app/theme_apply.h"
#include "model/money.h"
#include "model/projection.h"
#include "pages/calendar/calendar_state.h"
#include "pages/calendar/phone_calendar.h"
#include "pages/editing/txform.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/input.h"
#include "ui/menu.h"
#include "ui/widget_id.h"

namespace qm {

namespace {

constexpr size_t kMaxDots = 4;

// A tap on a day focuses it and brings its month into view.
void pickDay(AppState& state, Date day)
{
    selectDay(state, day.year, day.month, day.day);
    if (day.year != state.shownMonth.year || day.month != state.shownMonth.month)
        showMonth(state, day.year, day.month);
}

std::string balanceText(const DayRow& day, bool starred)
{
    std::string text = formatMoneyCompact(day.balance);
    return starred && day.anchored ? "*" + text : text;
}

struct GridSizes {
    double header, circle, number, balanceLine, balanceText, inset, radius, underCircle;
};

}  // namespace

Color dayBalanceColor(const Theme& t, double balance, bool anchored)
{
    if (balance < -0.004)
        return t.base[slotDanger];
    if (anchored)
        return t.base[slotChart10];
    return lerpColor(t.base[slotSuccess], t.base[slotTextSecondary], 0.4);
}

std::string weekdayLetter(int32_t weekdayFromMonday)
{
    static constexpr std::array<char, 7> kLetters = {'M', 'T', 'W', 'T', 'F', 'S', 'S'};
    return std::string(1, kLetters[size_t(((weekdayFromMonday % 7) + 7) % 7)]);
}

Date phoneStripStart(Date day) { return startOfWeek(day); }

double phoneGridRowHeight(const AppState& state, double rowHeightDp, double space, size_t weeks)
{
    if (rowHeightDp > 0)
        return dp(*state.ui, rowHeightDp);
    double divisor = weeks < 2 ? 1.0 : double(weeks);
    return std::max(space / divisor, dp(*state.ui, 30));
}

void drawDayDots(AppState& state, const DayRow& day, const Rect& rect, double centreY)
{
    size_t n = std::min(day.entries.size(), kMaxDots);
    if (n == 0)
        return;
    double d = dp(*state.ui, 5), gap = dp(*state.ui, 3);
    double width = double(n) * d + double(n - 1) * gap;
    double x = rect.x + (rect.w - width) / 2;
    for (size_t i = 0; i < n; ++i, x += d + gap)
        fillCircle(*state.renderer, x + d / 2, centreY, d / 2, transactionColor(state, day.entries[i]));
}

double drawPhoneWeekStrip(AppState& state, const Rect& rect, Date focused)
{
    UiContext& ui = *state.ui;
    Renderer& r = *state.renderer;
    const Theme& t = ui.theme;
    Date first = phoneStripStart(focused);
    std::shared_ptr<const Ledger> week = sharedLedger(
        storeProjection(*state.store), first, addDays(first, 6), selectedAccountId(state), state.todayDate);
    Rect strip{rect.x, rect.y, rect.w, dp(*state.ui, 84)};
    fillRect(r, strip, t.base[slotSurface]);
    double pad = dp(*state.ui, 14), gap = dp(*state.ui, 5);
    double cellW = std::max(0.0, (rect.w - 2 * pad - 6 * gap) / 7);
    double cellH = dp(*state.ui, 66), top = strip.y + dp(*state.ui, 8);
    for (size_t i = 0; i < week->days.size() && i < 7; ++i) {
        const DayRow& day = week->days[i];
        Rect cell{rect.x + pad + double(i) * (cellW + gap), top, cellW, cellH};
        InteractResult res = interact(ui, widgetId(ui, "pweek-" + formatIso(day.date)), cell, 1);
        bool chosen = day.date == focused;
        double radius = dp(*state.ui, 12);
        fillRoundRect(r, cell, radius,
            chosen            ? t.base[slotAccentBackground]
                : res.hovered ? t.base[slotHover]
                              : t.base[slotSurface]);
        strokeRoundRect(
            r, cell, radius, std::max(1.0, dp(*state.ui, 1)), chosen ? t.base[slotAccent] : t.base[slotShadeStrong]);
        drawText(state, weekdayLetter(weekday(day.date)),
            {cell.x, cell.y + dp(*state.ui, 7), cell.w, dp(*state.ui, 14)}, dp(*state.ui, 10),
            day.isReference ? t.base[slotLink] : t.base[slotTextTertiary], 0.5, 600);
        drawText(state, std::to_string(day.dayOfMonth), {cell.x, cell.y + dp(*state.ui, 22), cell.w, dp(*state.ui, 20)},
            dp(*state.ui, 15), t.base[slotText], 0.5, 700);
        drawTextWith(state, formatMoneyCompact(day.balance),
            {cell.x, cell.y + dp(*state.ui, 44), cell.w, dp(*state.ui, 14)}, dp(*state.ui, 9),
            dayBalanceColor(t, day.balance, day.anchored), 0.5, 1);
        drawDayDots(state, day, cell, cell.y + cell.h - dp(*state.ui, 7));
        if (res.clicked)
            pickDay(state, day.date);
    }
    double line = std::max(1.0, dp(*state.ui, 1));
    double y = strip.y + strip.h;
    fillRect(r, {rect.x, y, rect.w, line}, t.base[slotShadeStrong]);
    return y + line;
}

double drawPhoneMonthGrid(AppState& state, const Rect& rect, double rowHeightDp, bool compact)
{
    UiContext& ui = *state.ui;
    Renderer& r = *state.renderer;
    const Theme& t = ui.theme;
    const LedgerWeeks weeks = monthWeeks(storeProjection(*state.store), state.shownMonth.year, state.shownMonth.month,
        selectedAccountId(state), state.todayDate);
    GridSizes s = compact ? GridSizes{20, 20, 12, 12, 9.5, 1, 8, 1} : GridSizes{26, 26, 15, 14, 10, 2, 10, 2};

    Rect band{rect.x, rect.y, rect.w, dp(*state.ui, s.header)};
    fillRect(r, band, tintColor(t, 3));
    double column = rect.w / 7;
    for (int32_t c = 0; c < 7; ++c)  // Sunday first
        sectionCaption(state, weekdayLetter(c + 6), {rect.x + c * column, band.y, column, band.h}, 0.5);

    double gridTop = band.y + band.h;
    double rowH = phoneGridRowHeight(state, rowHeightDp, rect.y + rect.h - gridTop, weeks.count());
    fillRect(r, {rect.x, gridTop, rect.w, double(weeks.count()) * rowH}, t.base[slotSurface]);

    double circle = dp(*state.ui, s.circle), lineH = dp(*state.ui, s.balanceLine);
    double inset = dp(*state.ui, s.inset), under = dp(*state.ui, s.underCircle);
    for (size_t w = 0; w < weeks.count(); ++w)
        for (size_t c = 0; c < 7; ++c) {
            const DayRow& day = weeks.week(w)[c];
            Rect cell{rect.x + double(c) * column, gridTop + double(w) * rowH, column, rowH};
            InteractResult res = interact(ui, widgetId(ui, "pcell-" + formatIso(day.date)), cell, 1);
            Rect inner{cell.x + dp(*state.ui, 2), cell.y + inset, std::max(0.0, cell.w - dp(*state.ui, 4)),
                std::max(0.0, cell.h - 2 * inset)};
            bool focused = state.focusedDayValid && state.focusedDay == day.date;
            if (focused) {
                fillRoundRect(r, inner, dp(*state.ui, s.radius), t.base[slotAccentBackground]);
                strokeRoundRect(r, inner, dp(*state.ui, s.radius), dp(*state.ui, 1.5), t.base[slotAccent]);
            } else if (res.hovered) {
                fillRoundRect(r, inner, dp(*state.ui, s.radius), t.base[slotHover]);
            }
            double circleTop =
                compact ? std::max(cell.y, cell.y + (cell.h - circle - under - lineH) / 2) : cell.y + dp(*state.ui, 5);
            Rect disc{cell.x + (cell.w - circle) / 2, circleTop, circle, circle};
            if (day.isReference)
                fillCircle(r, disc.x + circle / 2, disc.y + circle / 2, circle / 2, t.base[slotAccent]);
            Color numberInk = day.isReference ? t.base[slotContrastLight]
                : weeks.inMonth(day)          ? t.base[slotText]
                                              : t.base[slotTextTertiary];
            drawText(state, std::to_string(day.dayOfMonth), disc, dp(*state.ui, s.number), numberInk, 0.5,
                day.isReference ? 700 : 600);
            drawTextWith(state, balanceText(day, true), {cell.x, disc.y + circle + under, cell.w, lineH},
                dp(*state.ui, s.balanceText),
                weeks.inMonth(day) ? dayBalanceColor(t, day.balance, day.anchored) : t.base[slotTextTertiary], 0.5, 1);
            if (!compact)
                drawDayDots(state, day, cell, cell.y + cell.h - dp(*state.ui, 8));

            // The second press of a double click on the focused day adds an
            // expense there, as on the desktop tiles; the release after it
            // then ends nothing.
            if (res.pressed && focused && ui.doubleClicked[1]) {
                ui.activeId = 0;
                openAddTransaction(state, txExpense, day.date);
            } else if (res.clicked) {
                pickDay(state, day.date);
            }
            if (ui.buttonsPressed[3] && hitTest(ui, cell, ui.pointerX, ui.pointerY)) {
                selectDay(state, day.date.year, day.date.month, day.date.day);
                calendarState(state).dayMenuDay = day.date;
                openContextMenu(ui, "day", ui.pointerX, ui.pointerY);
            }
        }
    double bottom = gridTop + double(weeks.count()) * rowH;
    if (compact)
        return bottom;
    double line = std::max(1.0, dp(*state.ui, 1));
    fillRect(r, {rect.x, bottom, rect.w, line}, t.base[slotShadeStrong]);
    return bottom + line;
}

}  // namespace qm
