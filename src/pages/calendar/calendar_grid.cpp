// The weekday header, the grid of day tiles, the transaction lines on them
// and dragging a line to another day. Everything is drawn from the day rows
// the page computed this frame; between frames only the calendar state and
// the DragState remain.
#include "pages/calendar/calendar_grid.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "app/app_text.h"
#include "app/display_elements.h"
#include "app/icon_picker.h"
#include "app/icon_textures.h"
#include "app/navigation.h"
#include "app/theme_apply.h"
#include "core/ascii.h"
#include "core/unicode.h"
#include "model/builtins.h"
#include "model/money.h"
#include "model/recurrence.h"
#include "pages/calendar/calendar_page_internal.h"
#include "pages/calendar/calendar_state.h"
#include "pages/calendar/occurrence_actions.h"
#include "pages/editing/txform.h"
#include "platform/cursor.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/input.h"
#include "ui/layout.h"
#include "ui/menu.h"
#include "ui/tooltip.h"
#include "ui/widget_id.h"

namespace qm {

namespace {

constexpr std::array<const char*, 7> kWeekdayNames = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr double kLineDp = 20;
constexpr double kLineGapDp = 1;
constexpr double kDragStartDp = 6;

Color faded(Color c, double factor) { return withAlpha(c, c.a * factor); }

void openDayView(AppState& state, Date day)
{
    state.view = viewDay;
    selectDate(state, day.year, day.month, day.day);
    selectDay(state, day.year, day.month, day.day);
}

bool isSelected(const AppState& state, const LedgerEntry& e)
{
    const OccurrenceRef& s = state.selectedOccurrence;
    return s.valid && s.transactionId == e.transaction->id && s.date == e.date;
}

bool isCut(AppState& state, const LedgerEntry& e)
{
    if (!state.calendarPage)
        return false;
    const CalendarPageState& c = *state.calendarPage;
    return c.clipboardMode == clipCut && c.clipboard.transaction.id == e.transaction->id && c.clipboard.date == e.date;
}

void disarm(AppState& state, DragState& d)
{
    d.item = {};
    d.armed = false;
    d.active = false;
    d.hasTarget = false;
    state.dragInProgress = false;
}

// The dragged line under the pointer, on a layer above the grid.
void drawGhost(AppState& state, const DragState& d, double columnWidth)
{
    std::optional<LedgerEntry> found = findSelectedOccurrence(state, d.item);
    if (!found)
        return;
    UiContext& ui = *state.ui;
    Renderer& r = *state.renderer;
    const Theme& t = ui.theme;
    double off = dp(*state.ui, 8), radius = dp(*state.ui, 6);
    Rect ghost{ui.pointerX + off, ui.pointerY + off, std::min(dp(*state.ui, 220), columnWidth - dp(*state.ui, 6)),
        dp(*state.ui, kLineDp)};
    int32_t previous = beginOverlay(ui, ghost);
    drawShadowRect(r, ghost, radius, dp(*state.ui, 10), t.base[slotShadow]);
    fillRoundRect(r, ghost, radius, t.base[slotRaised]);
    strokeRoundRect(r, ghost, radius, std::max(1.0, dp(*state.ui, 1)), t.base[slotShadeStrong]);
    drawTransactionLine(state, *found, ghost, kGhostLine);
    endOverlay(ui, previous);
}

// Arms, starts, targets and drops: after the tiles, which set the target.
void handleDrag(AppState& state, DragState& d, double columnWidth)
{
    UiContext& ui = *state.ui;
    d.handledFrame = ui.frame;
    if (!d.armed)
        return;
    if (ui.buttonsDown[1]) {
        if (!d.active && std::hypot(ui.pointerX - d.startX, ui.pointerY - d.startY) > dp(*state.ui, kDragStartDp))
            d.active = true;
        if (d.active) {
            state.redrawRequested = true;
            state.dragInProgress = true;
            ui.cursorShape = curSizeAll;
            drawGhost(state, d, columnWidth);
        }
        return;
    }
    if (d.active && d.hasTarget && d.targetDate != d.item.date)
        moveOccurrence(state, d.item, d.targetDate);
    disarm(state, d);
}

}  // namespace

TileLines tileLines(double clipHeightDp, size_t entries)
{
    TileLines out;
    out.fit = std::max(0, int32_t(std::floor((clipHeightDp + kLineGapDp) / (kLineDp + kLineGapDp))));
    size_t fit = size_t(out.fit);
    if (entries <= fit) {
        out.drawn = int32_t(entries);
    } else {
        out.drawn = std::max(out.fit - 1, 0);
        out.moreRow = true;
    }
    return out;
}

bool matchesGridSearch(const std::string& description, const std::string& searchText)
{
    std::string_view needle = trimAsciiBlanks(searchText);
    return lowerCaseUtf8(description).find(lowerCaseUtf8(needle)) != std::string::npos;
}

std::string transactionLineTooltip(const LedgerEntry& e, bool adjusted)
{
    const Transaction& t = *e.transaction;
    // Built by appending: GCC 12 misreads "literal" + temporary string.
    std::string text = t.description;
    auto line = [&](std::string_view head, std::string_view value) {
        text += '\n';
        text += head;
        text += value;
    };
    line("Amount: ", formatMoney(e.amount));
    if (e.isPaid)
        text += " (Paid)";
    if (adjusted)
        line("Original amount: ", formatMoney(e.baseAmount));
    if (!t.category.empty())
        line("Category: ", t.category);
    if (isTransfer(t)) {
        line("Transfer: ", t.account);
        text += " \u2192 ";
        text += t.transfer_to_account;
    } else if (!t.account.empty()) {
        line("Account: ", t.account);
    }
    if (t.is_recurring)
        line("", describeRule(t.recurring_period));
    return text;
}

void settleDrag(AppState& state)
{
    if (!state.drag)
        return;
    DragState& d = *state.drag;
    if ((d.armed || state.dragInProgress) && d.handledFrame != state.ui->frame)
        disarm(state, d);
}

void drawWeekdayHeader(AppState& state, const Rect& rect, bool fullNames)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    fillRect(*state.renderer, rect, tintColor(t, 3));
    double line = std::max(1.0, dp(*state.ui, 1));
    fillRect(*state.renderer, {rect.x, rect.y + rect.h - line, rect.w, line}, t.base[slotShadeStrong]);
    double column = rect.w / 7;
    for (size_t i = 0; i < kWeekdayNames.size(); ++i) {
        std::string_view name = kWeekdayNames[i];
        sectionCaption(state, fullNames ? name : name.substr(0, 3),
            {rect.x + double(i) * column + dp(*state.ui, 11), rect.y, column, rect.h}, 0);
    }
}

void drawCalendarGrid(AppState& state, const Rect& rect, const LedgerWeeks& rows, bool weekMode)
{
    UiContext& ui = *state.ui;
    DragState& d = dragState(state);
    // A drag the grid lost sight of since the last frame is stale.
    if (d.armed && d.handledFrame != ui.frame - 1)
        disarm(state, d);
    fillRect(*state.renderer, rect, ui.theme.base[slotShadeStrong]);
    double gap = dp(*state.ui, 1);
    double columnWidth = (rect.w - 6 * gap) / 7;
    size_t count = rows.count();
    double rowHeight = count == 0 ? 0 : (rect.h - double(count - 1) * gap) / double(count);
    auto tileRect = [&](size_t r, size_t c) {
        return Rect{
            rect.x + double(c) * (columnWidth + gap), rect.y + double(r) * (rowHeight + gap), columnWidth, rowHeight};
    };
    if (d.active) {
        // Found before the tiles are drawn, so that the tile under the
        // pointer shows itself as the drop target in the same frame.
        d.hasTarget = false;
        for (size_t r = 0; r < count; ++r)
            for (size_t c = 0; c < 7; ++c)
                if (mouseIn(ui, tileRect(r, c))) {
                    d.targetDate = rows.week(r)[c].date;
                    d.hasTarget = true;
                }
    }
    for (size_t r = 0; r < count; ++r)
        for (size_t c = 0; c < 7; ++c) {
            const DayRow& day = rows.week(r)[c];
            drawDayTile(state, day, tileRect(r, c), !weekMode && !rows.inMonth(day));
        }
    // Under a modal window the grid takes no drags; the stale check above
    // then drops the one under way.
    if (ui.modalWindowIdLast == 0)
        handleDrag(state, d, columnWidth);
}

void drawDayTile(AppState& state, const DayRow& day, const Rect& rect, bool dimmed)
{
    UiContext& ui = *state.ui;
    Renderer& r = *state.renderer;
    const Theme& t = ui.theme;
    DragState& d = dragState(state);
    std::string iso = formatIso(day.date);
    bool dropTarget = d.active && d.hasTarget && d.targetDate == day.date;
    fillRect(r, rect,
        dropTarget   ? t.base[slotAccentBackground]
            : dimmed ? t.base[slotBackground]
                     : t.base[slotSurface]);

    // The day number opens the day view.
    std::string number = std::to_string(day.dayOfMonth);
    double numberSize = dp(*state.ui, 12);
    double boxWidth = std::max(measureText(state, number, numberSize, 600) + dp(*state.ui, 10), dp(*state.ui, 22));
    Rect box{rect.x + dp(*state.ui, 6), rect.y + dp(*state.ui, 5), boxWidth, dp(*state.ui, 20)};
    InteractResult num = interact(ui, widgetId(ui, "daynum-" + iso), box, 1);
    double round = dp(*state.ui, 7);
    if (day.isReference)
        fillRoundRect(r, box, round, t.base[slotAccent]);
    else if (num.hovered)
        fillRoundRect(r, box, round, t.base[slotHover]);
    Color numberInk = day.isReference ? t.base[slotContrastLight]
        : dimmed                      ? t.base[slotTextTertiary]
                                      : t.base[slotText];
    drawText(state, number, box, numberSize, numberInk, 0.5, 600);
    if (num.hovered)
        setTooltip(ui, "Open day view");
    if (num.clicked)
        openDayView(state, day.date);

    // The lines below the number, and whether a tile too short for even one
    // of them counts its lines beside the number instead.
    double top = box.y + box.h + dp(*state.ui, 3);
    Rect clip{rect.x + dp(*state.ui, 3), top, rect.w - dp(*state.ui, 6),
        std::max(0.0, rect.y + rect.h - dp(*state.ui, 3) - top)};
    double scale = ui.scale > 0 ? ui.scale : 1.0;
    TileLines lines = tileLines(clip.h / scale, day.entries.size());
    bool countBesideNumber = lines.moreRow && lines.fit == 0;
    double headerX = box.x + box.w + dp(*state.ui, 4);
    if (countBesideNumber) {
        // Kept tight, so that the short balance still fits beside it.
        std::string count(1, '+');
        count += std::to_string(day.entries.size());
        double w = measureText(state, count, dp(*state.ui, 10.5), 600) + dp(*state.ui, 4);
        Rect more{headerX - dp(*state.ui, 1), box.y + dp(*state.ui, 2), w, box.h - dp(*state.ui, 4)};
        InteractResult m = interact(ui, widgetId(ui, "more-" + iso), more, 1);
        fillRoundRect(r, more, dp(*state.ui, 5), m.hovered ? t.base[slotHover] : t.base[slotBackgroundDeep]);
        drawText(state, count, more, dp(*state.ui, 10.5), t.base[slotTextSecondary], 0.5, 600);
        if (m.hovered)
            setTooltip(ui, std::to_string(day.entries.size()) + (day.entries.size() == 1 ? " line" : " lines"));
        if (m.clicked)
            openDayView(state, day.date);
        headerX += w + dp(*state.ui, 2);
    }

    // The end-of-day balance, in its short form where the whole one does
    // not fit beside the number, and left to the tooltip where neither does:
    // a cut figure would read as another amount.
    Rect balance{headerX, box.y, std::max(0.0, rect.x + rect.w - dp(*state.ui, 6) - headerX), box.h};
    std::string money = formatMoney(day.balance);
    std::string shown = day.anchored ? "*" + money : money;
    double balanceSize = dp(*state.ui, 11);
    if (measureTextWith(state, shown, balanceSize, 1) > balance.w) {
        std::string compact = formatMoneyCompact(day.balance);
        shown = day.anchored ? std::string(1, '*').append(compact) : compact;
        balanceSize = dp(*state.ui, 10);
        if (measureTextWith(state, shown, balanceSize, 1) > balance.w)
            shown.clear();
    }
    Color balanceInk = day.balance < -0.004 ? t.base[slotDanger]
        : day.anchored                      ? t.base[slotChart10]
                                            : lerpColor(t.base[slotSuccess], t.base[slotTextSecondary], 0.4);
    drawTextWith(state, shown, balance, balanceSize, balanceInk, 1, 1);
    if (mouseIn(ui, balance))
        tooltip(ui,
            day.anchored ? "End-of-day balance (manually set; would be " + formatMoney(day.computedBalance) + ")"
                         : std::string("End-of-day balance"),
            balance);

    if (state.tourStep >= 0 && day.isReference) {
        registerTourAnchor(state, "today", rect);
        registerTourAnchor(state, "running", balance);
        registerTourAnchor(state, "daynumber", box);
    }

    // The lines that fit, then "+N more".
    double step = dp(*state.ui, kLineDp + kLineGapDp), lineHeight = dp(*state.ui, kLineDp);
    bool overLine = false;
    pushClip(r, clip);
    for (int32_t i = 0; i < lines.drawn; ++i) {
        Rect line{clip.x, top + i * step, clip.w, lineHeight};
        const LedgerEntry& e = day.entries[size_t(i)];
        if (i == 0 && state.tourStep >= 0 && e.transaction->is_demo && !state.tourAnchors.count("tile"))
            registerTourAnchor(state, "tile", line);
        overLine = drawTransactionLine(state, e, line, i) || overLine;
    }
    if (lines.moreRow && !countBesideNumber) {
        Rect more{clip.x, top + lines.drawn * step, clip.w, lineHeight};
        InteractResult m = interact(ui, widgetId(ui, "more-" + iso), more, 1);
        if (m.hovered) {
            fillRoundRect(r, more, dp(*state.ui, 6), t.base[slotHover]);
            overLine = true;
        }
        size_t hidden = day.entries.size() - size_t(lines.drawn);
        Rect label{more.x + dp(*state.ui, 6), more.y, std::max(0.0, more.w - dp(*state.ui, 6)), more.h};
        std::string text(1, '+');
        text += std::to_string(hidden);
        text += " more";
        drawText(state, text, label, dp(*state.ui, 11), t.base[slotTextTertiary], 0, 500);
        if (m.clicked)
            openDayView(state, day.date);
    }
    popClip(r);

    // The tile itself: a double click adds an expense, a click picks the day,
    // the right button opens the day's menu.
    InteractResult cell = interact(ui, widgetId(ui, "cell-" + iso), rect, 1);
    if (cell.pressed && !rectContains(rect, ui.pressX, ui.pressY)) {
        // Pressed elsewhere (a line of a later tile, say) and moved here
        // before this frame: the press belongs there.
        ui.activeId = 0;
        cell = {};
    }
    if (cell.pressed && !overLine && !num.hovered && ui.doubleClicked[1]) {
        // Acted on at the press, where the toolkit reports the double
        // click; the release that follows ends nothing.
        ui.activeId = 0;
        openAddTransaction(state, 0, day.date);
    } else if (cell.clicked && !overLine && !num.hovered) {
        selectDay(state, day.date.year, day.date.month, day.date.day);
    }
    if (ui.buttonsPressed[3] && !overLine && hitTest(ui, rect, ui.pointerX, ui.pointerY)) {
        selectDay(state, day.date.year, day.date.month, day.date.day);
        calendarState(state).dayMenuDay = day.date;
        openContextMenu(ui, "day", ui.pointerX, ui.pointerY);
    }

    bool focused = state.focusedDayValid && state.focusedDay == day.date;
    if (focused || dropTarget) {
        Color ring = t.base[slotAccent];
        if (!dropTarget && state.selectedOccurrence.valid)
            ring = faded(ring, 0.78);
        double inset = dp(*state.ui, 1);
        strokeRoundRect(r, {rect.x + inset, rect.y + inset, rect.w - 2 * inset, rect.h - 2 * inset}, dp(*state.ui, 2),
            dp(*state.ui, 2), ring);
    }
}

bool drawTransactionLine(AppState& state, const LedgerEntry& e, const Rect& rect, int32_t index)
{
    UiContext& ui = *state.ui;
    Renderer& r = *state.renderer;
    const Theme& t = ui.theme;
    const Transaction& tx = *e.transaction;
    DragState& d = dragState(state);
    std::string iso = formatIso(e.date);
    int64_t id = widgetIdIndexed(ui, "tile-" + std::to_string(tx.id) + "-" + iso, index);
    bool ghost = index == kGhostLine;
    InteractResult in = ghost ? InteractResult{} : interact(ui, id, rect, 1);
    // A press counts where it happened: on a busy machine the pointer may
    // have moved on by the frame that sees it, which would lose a quick drag.
    if (!ghost && !in.pressed && ui.buttonsPressed[1] && ui.activeId == 0 && hitTest(ui, rect, ui.pressX, ui.pressY)) {
        setActive(ui, id);
        in.pressed = true;
    }

    bool selected = isSelected(state, e);
    bool cut = isCut(state, e);
    bool adjusted = std::fabs(e.amount - e.baseAmount) > 0.004;
    bool badge = showsAccountBadge(state, tx);
    const std::string& search = state.calendarPage ? state.calendarPage->searchText : std::string();
    bool searching = !trimAsciiBlanks(search).empty();
    bool matches = searching && matchesGridSearch(tx.description, search);
    double opacity = (searching && !matches ? 0.3 : 1.0) * (cut ? 0.5 : 1.0) * (e.isPaid ? 0.55 : 1.0);
    bool dragged = d.active && d.item.transactionId == tx.id && d.item.date == e.date;

    double radius = dp(*state.ui, 6);
    if (selected) {
        fillRoundRect(r, rect, radius, t.base[slotAccentBackground]);
        strokeRoundRect(r, rect, radius, dp(*state.ui, 2), t.base[slotAccent]);
    } else if (in.hovered || dragged) {
        fillRoundRect(r, rect, radius, t.base[slotHover]);
    } else if (matches) {
        fillRoundRect(r, rect, radius, t.base[slotAccentBackground]);
    }
    if (cut)
        drawDashedLine(r, rect.x + 1, rect.y + 1, rect.x + rect.w - 1, rect.y + 1, std::max(1.0, dp(*state.ui, 1)),
            t.base[slotTextTertiary], 6, 4);

    double icon = dp(*state.ui, 13);
    drawIconRef(state, tx.icon_id, transactionIconKey(*state.store->budget, tx),
        {rect.x + dp(*state.ui, 4), rect.y + (rect.h - icon) / 2, icon, icon},
        faded(transactionColor(state, e), opacity));

    std::string amount = badge ? "\u21c4 " + formatMoney(std::fabs(e.amount)) : formatMoney(e.amount);
    double amountSize = dp(*state.ui, 11);
    double amountWidth = measureTextWith(state, amount, amountSize, 1);
    double right = rect.x + rect.w - dp(*state.ui, 4);
    Color amountInk = adjusted ? t.base[slotWarning]
        : badge                ? t.base[slotTextTertiary]
        : e.amount > 0         ? t.base[slotSuccess]
                               : t.base[slotTextSecondary];
    amountInk = faded(amountInk, opacity);
    drawTextWith(state, amount, {right - amountWidth, rect.y, amountWidth, rect.h}, amountSize, amountInk, 1, 1);
    if (adjusted) {
        double y = rect.y + rect.h - dp(*state.ui, 3);
        drawDashedLine(
            r, right - amountWidth, y, right, y, dp(*state.ui, 1.5), amountInk, dp(*state.ui, 2), dp(*state.ui, 2));
    }

    double nameX = rect.x + dp(*state.ui, 4 + 13 + 5);
    double nameRight = right - amountWidth - dp(*state.ui, 5);
    if (tx.is_recurring) {
        double s = dp(*state.ui, 10);
        drawAppIcon(
            r, "recur", {nameRight - s, rect.y + (rect.h - s) / 2, s, s}, faded(t.base[slotTextTertiary], opacity));
        nameRight -= dp(*state.ui, 13);
    }
    if (e.isPaid) {
        double s = dp(*state.ui, 12);
        drawAppIcon(
            r, "check_circle", {nameRight - s, rect.y + (rect.h - s) / 2, s, s}, faded(t.base[slotSuccess], opacity));
        nameRight -= dp(*state.ui, 15);
    }
    double nameWidth = nameRight - nameX;
    if (nameWidth > dp(*state.ui, 10)) {
        double size = dp(*state.ui, 11.5);
        std::string name = elideText(state, tx.description, nameWidth, size, 500);
        Color ink = faded(tx.is_adjustment ? t.base[slotChart10] : t.base[slotText], opacity);
        drawText(state, name, {nameX, rect.y, nameWidth, rect.h}, size, ink, 0, 500);
        if (e.isPaid) {
            double w = measureText(state, name, size, 500);
            fillRect(r, {nameX, std::round(rect.y + rect.h / 2), w, std::max(1.0, dp(*state.ui, 1))}, ink);
        }
    }
    if (in.hovered)
        setTooltip(ui, transactionLineTooltip(e, adjusted));

    if (in.pressed) {
        if (ui.doubleClicked[1]) {
            disarm(state, d);
            ui.activeId = 0;
            selectOccurrence(state, e);
            openEditTransaction(state, e);
        } else {
            d.item = occurrenceKey(e);
            d.armed = true;
            d.active = false;
            d.hasTarget = false;
            d.startX = ui.pressX;
            d.startY = ui.pressY;
        }
    }
    if (in.clicked && !d.active && !ui.doubleClicked[1])
        selectOccurrence(state, e);
    if (in.hovered && ui.buttonsPressed[3]) {
        selectOccurrence(state, e);
        calendarState(state).menuTarget = occurrenceKey(e);
        openContextMenu(ui, "tx", ui.pointerX, ui.pointerY);
    }
    return in.hovered;
}

}  // namespace qm
