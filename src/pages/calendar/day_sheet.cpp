// The narrow calendar's day sheet: the day's heading and buttons, its three
// figure cards, one agenda row per entry with the balance after it, and the
// bottom sheet of actions on one occurrence. Only the rows inside the
// scroll area's visible part are drawn; the running balance walks them all.
#include <algorithm>
#include <array>
#include <cmath>

#include "app/app_text.h"
#include "app/display_elements.h"
#include "app/icon_picker.h"
#include "app/icon_textures.h"
#include "app/navigation.h"
#include "app/popover.h"
#include "app/theme_apply.h"
#include "core/ascii.h"
#include "model/builtins.h"
#include "model/money.h"
#include "model/projection.h"
#include "model/recurrence.h"
#include "pages/calendar/calendar_grid.h"
#include "pages/calendar/calendar_page.h"
#include "pages/calendar/calendar_state.h"
#include "pages/calendar/occurrence_actions.h"
#include "pages/calendar/phone_calendar.h"
#include "pages/calendar/toolbar_pieces.h"
#include "pages/editing/editing.h"
#include "pages/editing/txform.h"
#include "platform/cursor.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/layout.h"
#include "ui/menu.h"
#include "ui/scroll_area.h"
#include "ui/widget_id.h"

namespace qm {

namespace {

constexpr double kRowDp = 66;
constexpr double kRowGapDp = 8;
constexpr double kItemDp = 46;
constexpr int32_t kEntries = 8;
constexpr const char* kWeekdays[] = {"MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY", "SUNDAY"};

Color faded(Color c, double factor) { return withAlpha(c, c.a * factor); }

struct SheetEntry {
    std::string label;
    const char* icon;
};

std::array<SheetEntry, kEntries> sheetEntries(bool paid)
{
    return {{{"Edit transaction", "edit"}, {paid ? "Mark as unpaid" : "Mark as paid", "check_circle"},
        {"Adjust amount\u2026", "edit"}, {"Move to date\u2026", "calendar"}, {"Duplicate", "copy"}, {"Cut", "swap"},
        {"Copy", "copy"}, {"Delete transaction", "delete"}}};
}

void runSheetEntry(AppState& state, int32_t index, const LedgerEntry& found, const OccurrenceRef& target)
{
    switch (index) {
    case 0:
        openEditTransaction(state, found);
        break;
    case 1:
        togglePaid(state, target);
        break;
    case 2:
        openAdjustAmount(state, target);
        break;
    case 3:
        openMoveTransaction(state, target);
        break;
    case 4:
        duplicateOccurrence(state, target, found.date);
        break;
    case 5:
        cutOccurrence(state, target);
        break;
    case 6:
        copyOccurrence(state, target);
        break;
    case 7:
        confirmDeleteTransaction(state, target);
        break;
    default:
        break;
    }
}

void drawActionSheet(AppState& state, int64_t popup)
{
    UiContext& ui = *state.ui;
    if (!isPopupOpen(ui, popup))
        return;
    const OccurrenceRef target = calendarState(state).menuTarget;
    if (!target.valid)
        return;
    // Found again every frame: an edit elsewhere may have moved or removed it.
    std::optional<LedgerEntry> found = findSelectedOccurrence(state, target);
    if (!found)
        return;
    const Theme& t = ui.theme;
    const Transaction& tx = *found->transaction;
    ActionSheetLayout at = actionSheetLayout(state);
    const Rect& sheet = at.sheet;
    int32_t layer = beginPopover(state, sheet);
    double x = sheet.x + dp(*state.ui, 14);
    double textW = std::max(0.0, sheet.w - dp(*state.ui, 28));
    drawText(state, elideText(state, tx.description, textW, dp(*state.ui, 14), 700),
        {x, sheet.y + dp(*state.ui, 10), textW, dp(*state.ui, 20)}, dp(*state.ui, 14), t.base[slotText], 0, 700);
    std::string subtitle = formatMoney(found->amount);
    subtitle += " \u00b7 ";
    subtitle += shortDate(found->date);
    drawText(state, subtitle, {x, sheet.y + dp(*state.ui, 30), textW, dp(*state.ui, 18)}, dp(*state.ui, 12),
        t.base[slotTextSecondary], 0, 400);

    std::array<SheetEntry, kEntries> entries = sheetEntries(found->isPaid);
    // A quick tap presses and releases "more" in one frame: that release
    // must not also pick the entry that opens under the finger.
    const bool justOpened = ui.popupOpenedFrame == ui.frame;
    int32_t chosen = -1;
    for (int32_t i = 0; i < kEntries; ++i) {
        bool danger = i == kEntries - 1;
        const char* icon = entries[size_t(i)].icon;
        auto leading = [&state, icon, danger, &t](const Rect& box) {
            double s = dp(*state.ui, 18);
            drawAppIcon(*state.renderer, icon, {box.x, box.y + (box.h - s) / 2, s, s},
                danger ? t.base[slotDanger] : t.base[slotTextSecondary]);
        };
        if (menuItem(state, "sheet-" + std::to_string(i), entries[size_t(i)].label, actionSheetEntry(state, at, i),
                false, {}, leading, danger)
            && !justOpened)
            chosen = i;
    }
    endPopover(state, layer);
    if (chosen >= 0) {
        closePopup(ui);
        runSheetEntry(state, chosen, *found, target);
        state.redrawRequested = true;
    }
}

}  // namespace

ActionSheetLayout actionSheetLayout(const AppState& state)
{
    const UiContext& ui = *state.ui;
    ActionSheetLayout at;
    at.item = dp(*state.ui, kItemDp);
    if (kEntries * at.item + dp(*state.ui, 76) > ui.viewHeight - dp(*state.ui, 16)) {
        at.columns = 2;
        at.rows = 4;
    }
    double h = at.rows * at.item + dp(*state.ui, 60 + 16);
    double w = std::min(ui.viewWidth - dp(*state.ui, 16), dp(*state.ui, at.columns == 1 ? 440 : 560));
    double y = std::max(dp(*state.ui, 8), ui.viewHeight - h - dp(*state.ui, 8));
    at.sheet = {std::round((ui.viewWidth - w) / 2), std::round(y), std::round(w), std::round(h)};
    return at;
}

Rect actionSheetEntry(const AppState& state, const ActionSheetLayout& at, int32_t index)
{
    double w = (at.sheet.w - dp(*state.ui, 12)) / at.columns;
    int32_t column = index / at.rows, row = index % at.rows;
    return {at.sheet.x + dp(*state.ui, 6) + column * w, at.sheet.y + dp(*state.ui, 56) + row * at.item, w, at.item};
}

void drawDaySheet(AppState& state, const Rect& rect, Date day)
{
    UiContext& ui = *state.ui;
    Renderer& r = *state.renderer;
    const Theme& t = ui.theme;
    double pad = dp(*state.ui, state.phoneLandscape ? 12 : 14);
    const std::shared_ptr<const Ledger> kept = calendarDay(state, day);
    const DayRow& row = kept->days.front();
    // Named outside the scroll area, whose ids are its own.
    int64_t sheetPopup = widgetId(ui, "txsheet");
    Rect visible = beginScrollArea(ui, "agenda", rect, colorTransparent, false);
    double x0 = rect.x + pad, width = std::max(0.0, rect.w - 2 * pad);
    double y = currentLayout(ui).y + pad;

    // Header buttons from the right.
    double b = dp(*state.ui, 36), gap = dp(*state.ui, 7);
    Rect button{x0 + width - b, y + dp(*state.ui, 6), b, b};
    bool dayMenu = drawIconButton(state, "ph-daymore", "more", button, false);
    double menuX = button.x, menuY = y + dp(*state.ui, 44);
    button.x -= b + gap;
    if (drawIconButton(state, "ph-dayadd", "add", button, false))
        openAddTransaction(state, txExpense, day);
    if (calendarState(state).clipboardMode != clipEmpty) {
        button.x -= b + gap;
        if (drawIconButton(state, "ph-paste", "paste", button, true))
            pasteOnDay(state, day);
    }

    // Title block.
    double titleW = std::max(0.0, button.x - dp(*state.ui, 4) - x0);
    drawText(state, kWeekdays[weekday(day)], {x0, y, titleW, dp(*state.ui, 14)}, dp(*state.ui, 11), t.base[slotLink], 0,
        600);
    double dateSize = dp(*state.ui, 19);
    drawText(state, elideText(state, longDate(day), titleW, dateSize, 700),
        {x0, y + dp(*state.ui, 15), titleW, dp(*state.ui, 26)}, dateSize, t.base[slotText], 0, 700);
    y += dp(*state.ui, 52);

    // The three cards.
    double cardGap = dp(*state.ui, 8), cardH = dp(*state.ui, 62);
    double cardW = std::max(0.0, (rect.w - 2 * pad - 2 * cardGap) / 3);
    auto card = [&](int i) { return Rect{x0 + i * (cardW + cardGap), y, cardW, cardH}; };
    infoCard(state, card(0), "Opening", formatMoney(row.startBalance), amountColor(state, row.startBalance, 0));
    Color netInk = row.net > 0 ? t.base[slotSuccess] : row.net < 0 ? t.base[slotDanger] : t.base[slotText];
    infoCard(state, card(1), "Net", formatMoneySigned(row.net), netInk);
    std::string closing = formatMoney(row.balance);
    infoCard(state, card(2), "Closing", row.anchored ? "*" + closing : closing, amountColor(state, row.balance, 0),
        {.highlighted = true});
    y += cardH + pad;

    if (row.entries.empty()) {
        Rect box{x0, y, width, dp(*state.ui, 56)};
        double radius = dp(*state.ui, 14);
        fillRoundRect(r, box, radius, t.base[slotSurface]);
        strokeRoundRect(r, box, radius, std::max(1.0, dp(*state.ui, 1)), t.base[slotShadeStrong]);
        drawText(state, "Nothing on this day yet. Tap + to add a transaction.", box, dp(*state.ui, 12.5),
            t.base[slotTextTertiary], 0.5, 400);
        y += box.h + dp(*state.ui, 8);
    } else {
        double rowH = dp(*state.ui, kRowDp), step = rowH + dp(*state.ui, kRowGapDp);
        double running = row.startBalance;
        for (size_t i = 0; i < row.entries.size(); ++i, y += step) {
            const LedgerEntry& e = row.entries[i];
            // Signed, as the day view adds: a transfer seen from all
            // accounts changes nothing, so the last row meets Closing.
            running = roundCents(running + e.signedAmount);
            if (y + rowH < visible.y || y > visible.y + visible.h)
                continue;
            drawAgendaRow(state, e, {x0, y, width, rowH}, running, int32_t(i), sheetPopup);
        }
        y -= dp(*state.ui, kRowGapDp);
    }
    extendLayout(ui, y + dp(*state.ui, state.phoneLandscape ? 30 : 40));
    endScrollArea(ui, "agenda");
    if (dayMenu) {
        calendarState(state).dayMenuDay = day;
        openContextMenu(ui, "day", menuX, menuY);
    }
    drawActionSheet(state, sheetPopup);
}

void drawAgendaRow(
    AppState& state, const LedgerEntry& e, const Rect& rect, double balanceAfter, int32_t index, int64_t sheetPopupId)
{
    UiContext& ui = *state.ui;
    Renderer& r = *state.renderer;
    const Theme& t = ui.theme;
    const Transaction& tx = *e.transaction;
    std::string key = std::to_string(tx.id) + "-" + formatIso(e.date);
    double moreW = dp(*state.ui, 40);
    Rect area{rect.x, rect.y, std::max(0.0, rect.w - moreW), rect.h};
    InteractResult in = interact(ui, widgetIdIndexed(ui, "ptx-" + key, index), area, 1);
    double radius = dp(*state.ui, 14);
    fillRoundRect(r, rect, radius, in.hovered || in.held ? t.base[slotHover] : t.base[slotSurface]);
    strokeRoundRect(r, rect, radius, std::max(1.0, dp(*state.ui, 1)), t.base[slotShadeStrong]);
    double opacity = e.isPaid ? 0.65 : 1.0;

    double badge = dp(*state.ui, 40);
    iconBadge(state, tx.icon_id, transactionIconKey(*state.store->budget, tx),
        faded(transactionColor(state, e), opacity),
        {rect.x + dp(*state.ui, 12), rect.y + (rect.h - badge) / 2, badge, badge});

    double amountCol = dp(*state.ui, 96);
    double amountX = rect.x + rect.w - moreW - amountCol;
    double textX = rect.x + dp(*state.ui, 12) + badge + dp(*state.ui, 12);
    double textW = std::max(0.0, amountX - dp(*state.ui, 6) - textX);
    double titleSize = dp(*state.ui, 14.5);
    drawText(state, elideText(state, tx.description, textW, titleSize, 600),
        {textX, rect.y + dp(*state.ui, 13), textW, dp(*state.ui, 20)}, titleSize,
        faded(tx.is_adjustment ? t.base[slotChart10] : t.base[slotText], opacity), 0, 600);
    double subSize = dp(*state.ui, 11.5);
    std::string sub = elideText(state, transactionSubtitle(tx, false), textW, subSize, 400);
    Rect subRect{textX, rect.y + dp(*state.ui, 34), textW, dp(*state.ui, 16)};
    drawText(state, sub, subRect, subSize, faded(t.base[slotTextTertiary], opacity), 0, 400);
    // Pills only where they fit: in a narrow row they drop out rather than
    // run over the amount.
    double pillX = textX + measureText(state, sub, subSize, 400) + dp(*state.ui, 6);
    double end = textX + textW;
    if (e.isPaid && end - pillX >= dp(*state.ui, 50))
        pillX += statusPill(state, "\u2713 Paid", "paid", {pillX, subRect.y, 0, subRect.h}) + dp(*state.ui, 4);
    if (std::fabs(e.amount - e.baseAmount) > 0.004 && end - pillX >= dp(*state.ui, 60))
        statusPill(state, "Adjusted", "adjusted", {pillX, subRect.y, 0, subRect.h});

    Rect amountBox{amountX, rect.y + dp(*state.ui, 13), amountCol, dp(*state.ui, 18)};
    if (showsAccountBadge(state, tx))
        drawTextWith(state, "\u21c4 " + formatMoney(std::fabs(e.amount)), amountBox, dp(*state.ui, 14),
            faded(t.base[slotTextTertiary], opacity), 1, 1);
    else
        drawTextWith(state, formatMoneySigned(e.amount), amountBox, dp(*state.ui, 14),
            faded(e.amount > 0 ? t.base[slotSuccess] : t.base[slotDanger], opacity), 1, 1);
    drawTextWith(state, formatMoney(balanceAfter), {amountX, rect.y + dp(*state.ui, 34), amountCol, dp(*state.ui, 14)},
        dp(*state.ui, 10.5), t.base[slotTextTertiary], 1, 1);

    Rect moreRect{rect.x + rect.w - moreW, rect.y, moreW, rect.h};
    InteractResult more = interact(ui, widgetIdIndexed(ui, "ptxm-" + key, index), moreRect, 1);
    double s = dp(*state.ui, 20);
    drawAppIcon(r, "more", {moreRect.x + (moreW - s) / 2, moreRect.y + (rect.h - s) / 2, s, s},
        more.hovered ? t.base[slotText] : t.base[slotTextTertiary]);
    if (more.hovered || in.hovered)
        ui.cursorShape = curHand;
    if (more.clicked) {
        selectOccurrence(state, e);
        calendarState(state).menuTarget = occurrenceKey(e);
        if (state.deleteRecurringWindow && state.deleteRecurringWindow->open)
            state.deleteRecurringWindow->open = false;
        openPopup(ui, sheetPopupId, rect);
        state.redrawRequested = true;
    } else if (in.clicked) {
        selectOccurrence(state, e);
        openEditTransaction(state, e);
    }
}

}  // namespace qm
