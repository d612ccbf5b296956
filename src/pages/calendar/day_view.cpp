// The day view: the selected day's figures on four cards and its entries
// in a table with the balance after each. Only the rows inside the scroll
// area's visible part are drawn; the running balance still walks them all.
#include <algorithm>
#include <cmath>

#include "app/app_text.h"
#include "app/display_elements.h"
#include "app/icon_picker.h"
#include "app/navigation.h"
#include "app/popover.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "model/builtins.h"
#include "model/money.h"
#include "model/projection.h"
#include "model/recurrence.h"
#include "pages/calendar/calendar_grid.h"
#include "pages/calendar/calendar_page.h"
#include "pages/calendar/calendar_page_internal.h"
#include "pages/calendar/calendar_state.h"
#include "pages/calendar/occurrence_actions.h"
#include "pages/editing/txform.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/layout.h"
#include "ui/menu.h"
#include "ui/scroll_area.h"
#include "ui/spacing.h"
#include "ui/widget_id.h"

namespace qm {

namespace {

constexpr double kRowDp = 54;
constexpr double kHeaderDp = 34;
constexpr double kColumnDp = 110;
constexpr const char* kWeekdays[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

Color faded(Color c, double factor) { return withAlpha(c, c.a * factor); }

}  // namespace

std::string transactionSubtitle(const Transaction& t, bool transferWord)
{
    std::string text;
    if (t.is_adjustment) {
        text = "Adjustment";
    } else if (isTransfer(t)) {
        text = transferWord ? "Transfer \u00b7 " : "";
        text += t.account;
        text += " \u2192 ";
        text += t.transfer_to_account;
    } else {
        text = t.category.empty() ? std::string("Uncategorized") : t.category;
    }
    if (t.is_recurring) {
        text += " \u00b7 ";
        text += describeRule(t.recurring_period);
    }
    return text;
}

double dayViewContentWidth(double widthDp) { return std::min(widthDp - 40, 980.0); }

void drawDayView(AppState& state, const Rect& rect)
{
    UiContext& ui = *state.ui;
    Renderer& r = *state.renderer;
    const Theme& t = ui.theme;
    const Date day = state.selectedDate;
    const std::shared_ptr<const Ledger> kept = calendarDay(state, day);
    const DayRow& row = kept->days.front();
    Rect visible = beginScrollArea(ui, "dayview", rect, colorTransparent, false);
    double scale = ui.scale > 0 ? ui.scale : 1.0;
    double cw = dp(*state.ui, dayViewContentWidth(rect.w / scale));
    double x0 = rect.x + (rect.w - cw) / 2;
    double y = currentLayout(ui).y + dp(*state.ui, 24);

    // Heading and the add button.
    sectionCaption(state, kWeekdays[weekday(day)], {x0, y, cw, dp(*state.ui, 16)}, 0);
    drawText(state, longDate(day), {x0, y + dp(*state.ui, 18), cw, dp(*state.ui, 34)}, dp(*state.ui, 26),
        t.base[slotText], 0, 700);
    double addWidth = measureText(state, "Add transaction", dp(*state.ui, 13), 600) + dp(*state.ui, 44);
    if (button(state, "dv-add", "Add transaction",
            {x0 + cw - addWidth, y + dp(*state.ui, 12), addWidth, dp(*state.ui, 34)},
            {.style = buttonPrimary, .icon = "add"}))
        openAddTransaction(state, 0, day);

    // The four figure cards.
    y += dp(*state.ui, 66);
    double gap = dp(*state.ui, kSpaceLarge);
    double cardWidth = (cw - 3 * gap) / 4, cardHeight = dp(*state.ui, 64);
    auto card = [&](int i) { return Rect{x0 + i * (cardWidth + gap), y, cardWidth, cardHeight}; };
    infoCard(state, card(0), "Opening", formatMoney(row.startBalance), amountColor(state, row.startBalance, 0));
    // Appended: GCC 12 misreads a short literal + a temporary string.
    std::string income(1, '+'), expense = "\u2212";
    income += formatMoney(row.income);
    expense += formatMoney(row.expense);
    infoCard(state, card(1), "Income", income, t.base[slotSuccess]);
    infoCard(state, card(2), "Expenses", expense, t.base[slotDanger]);
    std::string closing = formatMoney(row.balance);
    infoCard(state, card(3), "Closing balance", row.anchored ? "*" + closing : closing,
        amountColor(state, row.balance, 0), {.highlighted = true});

    // The table.
    y += dp(*state.ui, 80);
    size_t n = row.entries.size();
    double rowH = dp(*state.ui, kRowDp), headerH = dp(*state.ui, kHeaderDp);
    double empty = n == 0 ? dp(*state.ui, 44) : 0;
    Rect frame{x0, y, cw, double(n + 1) * rowH + headerH + empty + dp(*state.ui, 8)};
    double radius = dp(*state.ui, 14);
    fillRoundRect(r, frame, radius, t.base[slotSurface]);
    strokeRoundRect(r, frame, radius, std::max(1.0, dp(*state.ui, 1)), t.base[slotShadeStrong]);
    double column = dp(*state.ui, kColumnDp);
    sectionCaption(state, "Transaction", {x0 + dp(*state.ui, 14), y, cw, headerH}, 0);
    sectionCaption(state, "Amount", {x0 + cw - dp(*state.ui, 230), y, column, headerH}, 1);
    sectionCaption(state, "Balance", {x0 + cw - dp(*state.ui, 124), y, column, headerH}, 1);
    drawDivider(state, x0, x0 + cw, y + headerH, t.base[slotShadeStrong]);

    double rowTop = y + headerH + dp(*state.ui, 4);
    drawText(state, "Opening balance (carried from the previous day)",
        {x0 + dp(*state.ui, 14), rowTop, cw - dp(*state.ui, 8), rowH}, dp(*state.ui, 12.5), t.base[slotTextSecondary],
        0, 400);
    drawTextWith(state, formatMoney(row.startBalance),
        {x0 + cw - dp(*state.ui, 4) - column, rowTop, dp(*state.ui, 96), rowH}, dp(*state.ui, 13),
        amountColor(state, row.startBalance, 0), 1, 0);
    rowTop += rowH;

    double running = row.startBalance;
    double inset = dp(*state.ui, kSpaceLarge);
    for (size_t i = 0; i < n; ++i, rowTop += rowH) {
        const LedgerEntry& e = row.entries[i];
        running = roundCents(running + e.signedAmount);
        if (rowTop + rowH < visible.y || rowTop > visible.y + visible.h)
            continue;
        drawDivider(state, x0 + inset, x0 + cw - inset, rowTop, t.base[slotShadeStrong]);
        drawDayViewRow(
            state, e, {x0 + dp(*state.ui, 4), rowTop, cw - dp(*state.ui, 8), rowH}, running, int32_t(i), true);
    }
    if (n == 0) {
        drawDivider(state, x0 + inset, x0 + cw - inset, rowTop, t.base[slotShadeStrong]);
        bool pasteReady = state.calendarPage && state.calendarPage->clipboardMode != clipEmpty;
        drawText(state,
            pasteReady ? "Nothing on this day yet."
                       : "Nothing on this day yet. Add a transaction, or copy one from another day and paste it here.",
            {x0 + dp(*state.ui, 14), rowTop + dp(*state.ui, 10), cw - dp(*state.ui, 28 + 150), dp(*state.ui, 28)},
            dp(*state.ui, 12), t.base[slotTextTertiary], 0, 400);
        if (pasteReady
            && button(state, "dv-paste", "Paste " + state.calendarPage->clipboard.transaction.description,
                {x0 + cw - dp(*state.ui, 14 + 200), rowTop + dp(*state.ui, 10), dp(*state.ui, 200), dp(*state.ui, 28)},
                {.style = buttonLink, .icon = "paste"}))
            pasteOnDay(state, day);
    }
    if (ui.buttonsPressed[3] && ui.popupId == 0 && hitTest(ui, frame, ui.pointerX, ui.pointerY)) {
        calendarState(state).dayMenuDay = day;
        openContextMenu(ui, "day", ui.pointerX, ui.pointerY);
    }
    extendLayout(ui, frame.y + frame.h + dp(*state.ui, 40));
    endScrollArea(ui, "dayview");
}

bool drawDayViewRow(
    AppState& state, const LedgerEntry& e, const Rect& rect, double balanceAfter, int32_t index, bool showBalance)
{
    UiContext& ui = *state.ui;
    Renderer& r = *state.renderer;
    const Theme& t = ui.theme;
    const Transaction& tx = *e.transaction;
    int64_t id = widgetIdIndexed(ui, "dayrow-" + std::to_string(tx.id) + "-" + formatIso(e.date), index);
    InteractResult in = interact(ui, id, rect, 1);
    const OccurrenceRef& s = state.selectedOccurrence;
    double radius = dp(*state.ui, 8);
    if (s.valid && s.transactionId == tx.id && s.date == e.date)
        fillRoundRect(r, rect, radius, t.base[slotAccentBackground]);
    else if (in.hovered)
        fillRoundRect(r, rect, radius, t.base[slotHover]);
    double opacity = e.isPaid ? 0.6 : 1.0;

    double badge = dp(*state.ui, 32);
    iconBadge(state, tx.icon_id, transactionIconKey(*state.store->budget, tx),
        faded(transactionColor(state, e), opacity),
        {rect.x + dp(*state.ui, 10), rect.y + (rect.h - badge) / 2, badge, badge});

    double column = dp(*state.ui, kColumnDp);
    double balanceColumn = showBalance ? column : 0;
    double nameX = rect.x + dp(*state.ui, 52);
    double nameWidth = std::max(0.0, rect.x + rect.w - balanceColumn - column - nameX - dp(*state.ui, 10));
    double titleSize = dp(*state.ui, 13.5);
    drawText(state, elideText(state, tx.description, nameWidth, titleSize, 600),
        {nameX, rect.y + dp(*state.ui, 8), nameWidth, dp(*state.ui, 18)}, titleSize,
        faded(tx.is_adjustment ? t.base[slotChart10] : t.base[slotText], opacity), 0, 600);
    double subSize = dp(*state.ui, 11.5);
    std::string subtitle =
        elideText(state, transactionSubtitle(tx, true), std::max(0.0, nameWidth - dp(*state.ui, 120)), subSize, 400);
    Rect sub{nameX, rect.y + dp(*state.ui, 28), nameWidth, dp(*state.ui, 16)};
    drawText(state, subtitle, sub, subSize, faded(t.base[slotTextSecondary], opacity), 0, 400);
    double pillX = nameX + measureText(state, subtitle, subSize, 400) + dp(*state.ui, 8);
    if (e.isPaid)
        pillX += statusPill(state, "\u2713 Paid", "paid", {pillX, sub.y, 0, sub.h}) + dp(*state.ui, 6);
    if (std::fabs(e.amount - e.baseAmount) > 0.004)
        statusPill(state, "Adjusted", "adjusted", {pillX, sub.y, 0, sub.h});

    Rect amountBox{rect.x + rect.w - balanceColumn - column, rect.y, dp(*state.ui, 100), rect.h};
    double size = dp(*state.ui, 13);
    if (showsAccountBadge(state, tx))
        drawTextWith(state, "\u21c4 " + formatMoney(std::fabs(e.amount)), amountBox, size,
            faded(t.base[slotTextTertiary], opacity), 1, 1);
    else
        drawTextWith(state, formatMoneySigned(e.amount), amountBox, size,
            faded(e.amount > 0 ? t.base[slotSuccess] : t.base[slotDanger], opacity), 1, 1);
    if (showBalance)
        drawTextWith(state, formatMoney(balanceAfter), {rect.x + rect.w - column, rect.y, dp(*state.ui, 96), rect.h},
            size, amountColor(state, balanceAfter, 0), 1, 0);

    if (in.hovered && ui.buttonsPressed[3]) {
        selectOccurrence(state, e);
        calendarState(state).menuTarget = occurrenceKey(e);
        openContextMenu(ui, "tx", ui.pointerX, ui.pointerY);
    }
    if (in.pressed && ui.doubleClicked[1]) {
        ui.activeId = 0;
        selectOccurrence(state, e);
        openEditTransaction(state, e);
        return false;
    }
    if (in.clicked) {
        selectOccurrence(state, e);
        return true;
    }
    return false;
}

}  // namespace qm
