#include "pages/calendar/calendar_toolbar.h"

#include <algorithm>

#include "app/app_text.h"
#include "app/display_elements.h"
#include "app/icon_picker.h"
#include "app/icon_textures.h"
#include "app/navigation.h"
#include "app/popover.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "core/ascii.h"
#include "model/builtins.h"
#include "model/money.h"
#include "model/projection.h"
#include "model/recurrence.h"
#include "pages/calendar/calendar_page_internal.h"
#include "pages/calendar/calendar_state.h"
#include "pages/calendar/month_figures.h"
#include "pages/calendar/toolbar_pieces.h"
#include "pages/editing/txform.h"
#include "pages/header_bar.h"
#include "pages/search/search_page.h"
#include "platform/cursor.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/spacing.h"
#include "ui/text_edit.h"
#include "ui/tooltip.h"
#include "ui/widget_id.h"

namespace qm {

namespace {

constexpr double kSideDp = 16;
constexpr double kControlDp = 34;
constexpr double kGapDp = 11;
constexpr double kViewSwitchDp = 200;
constexpr double kFirstRowDp = 58;
constexpr double kSecondRowDp = 46;
constexpr double kSearchMaxDp = 240;
constexpr double kSearchRowMaxDp = 360;
constexpr double kFieldIconDp = 28;  // kept free at the field's right end for its icon or clear button
constexpr double kRowDp = 50;
constexpr double kBarDp = 210;

bool isBlank(std::string_view text) { return trimAsciiBlanks(text).empty(); }

// The narrowest search field that shows its whole hint beside its icon.
double searchFieldLeast(const AppState& state)
{
    const UiContext& ui = *state.ui;
    return measureText(state, kSearchPlaceholder, fontSize(ui), 400) + dp(ui, 12) + dp(*state.ui, kFieldIconDp + 2);
}

std::string shortCalendarTitle(const AppState& state)
{
    if (state.view == viewDay)
        return shortDate(state.selectedDate);
    if (state.view == viewWeek)
        return weekTitle(state.selectedDate);
    return shortMonthName(state.shownMonth.month) + " " + std::to_string(state.shownMonth.year);
}

SearchPopoverCache& popoverCache(AppState& state)
{
    std::shared_ptr<SearchPopoverCache>& kept = calendarState(state).searchPopover;
    if (!kept)
        kept = std::make_shared<SearchPopoverCache>();
    return *kept;
}

void drawAccountSwitcherButton(AppState& state, const ToolbarLayout& at)
{
    UiContext& ui = *state.ui;
    Renderer& r = *state.renderer;
    const Theme& t = ui.theme;
    const Rect& box = at.switcher;
    InteractResult res = interact(ui, widgetId(ui, "account-switcher"), box, 1);
    double radius = dp(*state.ui, 9);
    fillRoundRect(r, box, radius, res.hovered ? t.base[slotHover] : t.base[slotBackground]);
    strokeRoundRect(r, box, radius, std::max(1.0, dp(*state.ui, 1)), t.base[slotShadeStrong]);
    double textW = box.w - dp(*state.ui, 11 + 30);
    drawText(state, at.switcherLabel, {box.x + dp(*state.ui, 11), box.y + dp(*state.ui, 5), textW, dp(*state.ui, 16)},
        dp(*state.ui, 13), t.base[slotText], 0, 600);
    drawTextWith(state, at.switcherFigure,
        {box.x + dp(*state.ui, 11), box.y + dp(*state.ui, 21), textW, dp(*state.ui, 14)}, dp(*state.ui, 11.5),
        amountColor(state, at.switcherAmount, 0), 0, 1);
    double icon = dp(*state.ui, 14);
    drawAppIcon(r, "chevron_down", {box.x + box.w - dp(*state.ui, 24), box.y + dp(*state.ui, 13), icon, icon},
        t.base[slotTextTertiary]);
    if (res.hovered)
        ui.cursorShape = curHand;
    registerTourAnchor(state, "account", box);
    if (res.clicked)
        togglePopup(state, "accountpop", box);
    drawAccountSwitcher(state, box);
}

void drawPeriodNavigation(AppState& state, const ToolbarLayout& at)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    if (iconOnlyButton(state, "tb-prev", "chevron_left", at.prev, {.tooltip = "Previous"}))
        shiftCalendar(state, -1);
    InteractResult res = interact(ui, widgetId(ui, "tb-month"), at.title, 1);
    if (res.hovered) {
        fillRoundRect(*state.renderer, at.title, dp(*state.ui, 8), t.base[slotHover]);
        ui.cursorShape = curHand;
        setTooltip(ui, "Jump to month");
    }
    drawText(state, at.titleText, at.title, dp(*state.ui, 17), t.base[slotText], 0.5, 700);
    if (res.clicked) {
        if (isPopupOpen(ui, widgetId(ui, "monthpicker")))
            closePopup(ui);
        else
            openMonthPicker(state, at.title);
    }
    drawMonthPicker(state, at.title);
    if (iconOnlyButton(state, "tb-next", "chevron_right", at.next, {.tooltip = "Next"}))
        shiftCalendar(state, 1);
    if (button(state, "tb-today", "Today", at.today, {.fontSize = dp(*state.ui, 12.5)})) {
        goToToday(state);
        selectDay(state, state.todayDate.year, state.todayDate.month, state.todayDate.day);
    }
}

void setSearchPopup(AppState& state, const std::string& text, const Rect& field)
{
    UiContext& ui = *state.ui;
    int64_t id = widgetId(ui, "searchpop");
    if (isBlank(text)) {
        if (isPopupOpen(ui, id))
            closePopup(ui);
    } else if (!isPopupOpen(ui, id)) {
        openPopup(ui, id, field);
    }
    state.redrawRequested = true;
}

void drawSearchField(AppState& state, const Rect& field)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    Renderer& r = *state.renderer;
    CalendarPageState& cal = calendarState(state);
    std::string& text = cal.searchText;
    int64_t fieldId = widgetId(ui, "tb-search");
    int64_t popId = widgetId(ui, "searchpop");
    std::shared_ptr<TextEditState> edit = textEditState(ui, fieldId);

    // The clear button lies inside the field, which takes every press in its
    // rectangle that no widget asked for first: so the button asks first.
    bool hasText = !text.empty() || (edit->editing && !edit->buffer.empty());
    Rect clear{field.x + field.w - dp(ui, 28), field.y + dp(ui, 5), dp(ui, 24), dp(ui, 24)};
    InteractResult cleared;
    if (hasText)
        cleared = interact(ui, widgetId(ui, "tb-clear"), clear, 1);
    if (cleared.clicked) {
        text.clear();
        edit->buffer.clear();
        edit->caret = edit->anchor = 0;
        if (isPopupOpen(ui, popId))
            closePopup(ui);
        state.redrawRequested = true;
    }
    // A press drops the focus before any widget runs; the edit still open
    // tells that the field had it.
    bool wasFocused = edit->editing;
    bool pressedHere = ui.buttonsPressed[1] && mouseIn(ui, field) && !cleared.hovered;
    double trailing = dp(ui, kFieldIconDp);
    std::string hint = elideText(state, kSearchPlaceholder, field.w - dp(ui, 12) - trailing, fontSize(ui), 400);
    TextEditResult res = textEdit(ui, fieldId, text, field, {.placeholder = hint, .trailing = trailing});
    if (res == editFocusLost) {
        setSearchPopup(state, text, field);
    } else if (res == editEscape) {
        text.clear();
        if (isPopupOpen(ui, popId))
            closePopup(ui);
    } else if (res == editEnter) {
        if (!isBlank(text)) {
            // The search page takes a new text on its first frame, which
            // has passed by the end of this one: hand it over here.
            switchPage(state, pageSearch);
            searchState(state).query = text;
            runSearch(state);
        }
    } else if (wasFocused && pressedHere && edit->editing && !isBlank(edit->buffer) && !isPopupOpen(ui, popId)) {
        setSearchPopup(state, edit->buffer, field);
    }

    if (!hasText) {
        double s = dp(ui, 16);
        drawAppIcon(r, "search", {field.x + field.w - dp(ui, 26), field.y + dp(ui, 9), s, s}, t.base[slotTextTertiary]);
    } else {
        if (cleared.hovered) {
            fillRoundRect(r, clear, dp(ui, 8), t.base[slotHover]);
            ui.cursorShape = curHand;
            setTooltip(ui, "Clear search");
        }
        double side = 0.55 * clear.w;
        drawAppIcon(r, "close", {clear.x + (clear.w - side) / 2, clear.y + (clear.h - side) / 2, side, side},
            t.base[slotTextSecondary]);
    }
    drawSearchPopover(state, field);
    registerTourAnchor(state, "search", field);
}

struct SummaryItem {
    const char* caption;
    double value;
    Color color;
    const char* tip;
};

// The figures side by side with a rule after each. Where they do not fit
// the rules close in, then the longest captions take an ellipsis; the
// figures themselves are always whole.
double drawSummaryItems(AppState& state, const Rect& strip, const std::vector<SummaryItem>& items)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    std::vector<double> captionW, valueW;
    std::vector<std::string> values;
    double natural = 0, figures = 0;
    for (const SummaryItem& item : items) {
        values.push_back(formatMoney(item.value));
        captionW.push_back(measureText(state, asciiUpper(item.caption), dp(ui, 10.5), 600));
        valueW.push_back(measureTextWith(state, values.back(), dp(ui, 14.5), 1));
        natural += std::max(captionW.back(), valueW.back());
        figures += valueW.back();
    }
    double n = double(items.size());
    double room = strip.w - dp(ui, 20) - dp(ui, 8);
    double step = std::clamp((room - natural) / n, dp(ui, 13), dp(ui, 45));
    double fit = room - step * n;
    // The widest caption width c at which every item still fits.
    double cap = 0;
    for (double w : captionW)
        cap = std::max(cap, w);
    auto total = [&](double c) {
        double sum = 0;
        for (size_t i = 0; i < items.size(); ++i)
            sum += std::max(valueW[i], std::min(captionW[i], c));
        return sum;
    };
    if (total(cap) > fit) {
        double lo = 0, hi = cap;
        for (int32_t i = 0; i < 30; ++i) {
            double mid = (lo + hi) / 2;
            (total(mid) <= fit ? lo : hi) = mid;
        }
        cap = lo;
    }
    double x = strip.x + dp(ui, 20);
    for (size_t i = 0; i < items.size(); ++i) {
        const SummaryItem& item = items[i];
        double w = std::max(valueW[i], std::min(captionW[i], cap));
        Rect box{x, strip.y + (strip.h - dp(ui, 36)) / 2, w, dp(ui, 36)};
        std::string caption = asciiUpper(item.caption);
        if (captionW[i] > w)
            caption = elideText(state, caption, w, dp(ui, 10.5), 600);
        captionValue(state, box, caption, values[i], item.color);
        if (mouseIn(ui, box))
            tooltip(ui,
                caption == asciiUpper(item.caption) ? std::string(item.tip)
                                                    : std::string(item.caption) + ": " + item.tip,
                box);
        x += w + step / 2;
        fillRect(*state.renderer, {x, strip.y + (strip.h - dp(ui, 30)) / 2, std::max(1.0, dp(ui, 1)), dp(ui, 30)},
            t.base[slotShadeStrong]);
        x += step / 2;
    }
    return x;
}

}  // namespace

void showCalendarView(AppState& state, uint8_t view)
{
    state.view = view;
    state.settings.view = calendarViewName(state.view);
    if (state.focusedDayValid)
        selectDate(state, state.focusedDay.year, state.focusedDay.month, state.focusedDay.day);
    state.redrawRequested = true;
}

std::string weekTitle(Date day)
{
    Date first = startOfWeek(day);
    Date last = addDays(first, 6);
    std::string s = shortMonthName(first.month);
    s += ' ';
    s += std::to_string(first.day);
    s += " \u2013 ";
    if (first.month != last.month) {
        s += shortMonthName(last.month);
        s += ' ';
    }
    s += std::to_string(last.day);
    s += ", ";
    s += std::to_string(last.year);
    return s;
}

std::string calendarTitle(const AppState& state)
{
    if (state.view == viewDay)
        return longDate(state.selectedDate);
    if (state.view == viewWeek)
        return weekTitle(state.selectedDate);
    return monthTitle(state);
}

ToolbarLayout toolbarLayout(const AppState& state, const Rect& rect)
{
    ToolbarLayout at;
    double cy = rect.y + (dp(*state.ui, kFirstRowDp) - dp(*state.ui, kControlDp)) / 2;
    double side = dp(*state.ui, kSideDp), gap = dp(*state.ui, kGapDp);
    at.switcherLabel = accountFilterLabel(state, selectedAccountId(state));
    at.switcherAmount = headerBalance(state);
    at.switcherFigure = formatMoney(at.switcherAmount);
    double switcherNeed = std::max(measureText(state, at.switcherLabel, dp(*state.ui, 13), 600),
                              measureTextWith(state, at.switcherFigure, dp(*state.ui, 11.5), 1))
        + dp(*state.ui, 44);
    double addW = measureText(state, "Add", dp(*state.ui, 13), 600) + dp(*state.ui, 40);
    double todayW = measureText(state, "Today", dp(*state.ui, 12.5), 600) + dp(*state.ui, 24);
    // Arrows, gaps and Today around a title of width w.
    auto navWidth = [&](double w) { return dp(*state.ui, 32 + 7) + w + dp(*state.ui, 16 + 7 + 32 + 7) + todayW; };
    auto titleWidth = [&](const std::string& t) { return measureText(state, t, dp(*state.ui, 17), 700); };
    double searchLeast = searchFieldLeast(state);

    // One row when it holds the longest of the three views' titles, so that
    // switching views never moves the bands.
    double longest = std::max({titleWidth(monthTitle(state)), titleWidth(weekTitle(state.selectedDate)),
        titleWidth(longDate(state.selectedDate))});
    double oneRow = side + switcherNeed + dp(*state.ui, 14) + navWidth(longest) + dp(*state.ui, 8) + searchLeast + gap
        + dp(*state.ui, kViewSwitchDp) + gap + addW + side;
    at.twoRows = rect.w < oneRow;
    at.height = dp(*state.ui, kFirstRowDp) + (at.twoRows ? dp(*state.ui, kSecondRowDp) : 0);

    double sw = switcherNeed;
    if (at.twoRows)
        sw = std::min(sw, std::max(dp(*state.ui, 120), rect.w * 0.3));
    at.switcher = {rect.x + side, rect.y + (dp(*state.ui, kFirstRowDp) - dp(*state.ui, 40)) / 2, sw, dp(*state.ui, 40)};
    if (sw < switcherNeed)
        at.switcherLabel = elideText(state, at.switcherLabel, sw - dp(*state.ui, 11 + 30), dp(*state.ui, 13), 600);
    at.add = {rect.x + rect.w - side - addW, cy, addW, dp(*state.ui, kControlDp)};
    double switcherRight = at.switcher.x + at.switcher.w;
    double least = switcherRight + dp(*state.ui, 14);

    // The nav group sits in the middle of the room between the switcher and
    // whatever follows it on the first row.
    double rowEnd;
    if (at.twoRows) {
        double y2 = rect.y + dp(*state.ui, kFirstRowDp);
        at.views = {rect.x + side, y2, dp(*state.ui, kViewSwitchDp), dp(*state.ui, kControlDp)};
        double searchW =
            std::clamp(rect.w - 2 * side - dp(*state.ui, kViewSwitchDp) - gap, 0.0, dp(*state.ui, kSearchRowMaxDp));
        at.search = {rect.x + rect.w - side - searchW, y2, searchW, dp(*state.ui, kControlDp)};
        rowEnd = at.add.x - dp(*state.ui, 8);
    } else {
        at.views = {
            at.add.x - gap - dp(*state.ui, kViewSwitchDp), cy, dp(*state.ui, kViewSwitchDp), dp(*state.ui, kControlDp)};
        double room = at.views.x - gap - least - navWidth(longest) - dp(*state.ui, 8);
        double searchW = std::clamp(room, searchLeast, std::max(searchLeast, dp(*state.ui, kSearchMaxDp)));
        at.search = {at.views.x - gap - searchW, cy, searchW, dp(*state.ui, kControlDp)};
        rowEnd = at.search.x - dp(*state.ui, 8);
    }

    // The title takes its full form, else a short one, else an ellipsis.
    std::string full = calendarTitle(state);
    double titleRoom = std::max(0.0, rowEnd - least - navWidth(0));
    double titleW = titleWidth(full);
    at.titleText = full;
    if (titleW > titleRoom) {
        at.titleText = shortCalendarTitle(state);
        titleW = titleWidth(at.titleText);
        if (titleW > titleRoom) {
            at.titleText = elideText(state, at.titleText, titleRoom, dp(*state.ui, 17), 700);
            titleW = titleRoom;
        }
    }
    titleW += dp(*state.ui, 16);
    double m = navWidth(titleW - dp(*state.ui, 16));
    double gx = std::max((switcherRight + rowEnd + dp(*state.ui, 8)) / 2 - m / 2, least);
    if (gx + m > rowEnd)
        gx = std::max(rowEnd - m, least);
    at.prev = {gx, cy + dp(*state.ui, 1), dp(*state.ui, 32), dp(*state.ui, 32)};
    at.title = {gx + dp(*state.ui, 39), cy, titleW, dp(*state.ui, kControlDp)};
    at.next = {at.title.x + at.title.w + dp(*state.ui, 7), cy + dp(*state.ui, 1), dp(*state.ui, 32), dp(*state.ui, 32)};
    at.today = {at.next.x + at.next.w + dp(*state.ui, 7), cy + dp(*state.ui, 3), todayW, dp(*state.ui, 28)};
    return at;
}

void drawCalendarToolbar(AppState& state, const Rect& rect)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    Renderer& r = *state.renderer;
    fillRect(r, rect, tintColor(t, 1));
    double line = std::max(1.0, dp(*state.ui, 1));
    fillRect(r, {rect.x, rect.y + rect.h - line, rect.w, line}, t.base[slotShadeStrong]);
    ToolbarLayout at = toolbarLayout(state, rect);

    if (button(state, "tb-add", "Add", at.add, {.style = buttonPrimary, .icon = "add"})) {
        Date day = state.focusedDayValid ? state.focusedDay : state.todayDate;
        openAddTransaction(state, txExpense, day);
    }
    registerTourAnchor(state, "add", at.add);

    int32_t view = state.view;
    if (segmentedControl(state, "tb-view", view, {"Month", "Week", "Day"}, at.views)) {
        showCalendarView(state, uint8_t(std::clamp(view, 0, 2)));
        at = toolbarLayout(state, rect);  // the new view's title
    }
    registerTourAnchor(state, "views", at.views);

    drawSearchField(state, at.search);
    drawPeriodNavigation(state, at);
    drawAccountSwitcherButton(state, at);
}

std::string searchPopoverText(AppState& state)
{
    UiContext& ui = *state.ui;
    std::shared_ptr<TextEditState> edit = textEditState(ui, widgetId(ui, "tb-search"));
    if (edit->editing)
        return edit->buffer;
    return calendarState(state).searchText;
}

const SearchPopoverCache& searchPopoverHits(AppState& state, const std::string& text)
{
    SearchPopoverCache& c = popoverCache(state);
    const LocalStore& store = *state.store;
    int64_t account = selectedAccountId(state);
    if (c.budget == store.budget.get() && c.revision == store.change_count && c.text == text && c.accountId == account
        && c.month == state.shownMonth && c.today == state.todayDate)
        return c;
    SearchFilter f;
    f.text = text;
    f.accountId = account;
    Date first = firstOfMonth(state.shownMonth.year, state.shownMonth.month);
    f.from = addMonths(first, -12);
    f.to = addMonths(first, 13);
    const SearchHits hits = searchOccurrences(storeProjection(store), f, state.todayDate);
    c.count = hits.size();
    c.rows.assign(hits.begin(), hits.begin() + ptrdiff_t(std::min(hits.size(), kPopoverRows)));
    c.budget = store.budget.get();
    c.revision = store.change_count;
    c.text = text;
    c.accountId = account;
    c.month = state.shownMonth;
    c.today = state.todayDate;
    c.runs += 1;
    return c;
}

std::string searchPopoverFooter(size_t count)
{
    if (count > kPopoverRows)
        return std::to_string(kPopoverRows) + " of " + std::to_string(count) + " matches \u00b7 see Search for all";
    return std::to_string(count) + (count == 1 ? " match" : " matches");
}

void drawSearchPopover(AppState& state, const Rect& anchor)
{
    UiContext& ui = *state.ui;
    if (!isPopupOpen(ui, widgetId(ui, "searchpop")))
        return;
    const Theme& t = ui.theme;
    Renderer& r = *state.renderer;
    const SearchPopoverCache& hits = searchPopoverHits(state, searchPopoverText(state));
    size_t k = hits.rows.size();
    double height = double(std::max<size_t>(k, 1)) * kRowDp + 12 + 26;
    double width = std::max(dp(*state.ui, 360), anchor.w);
    Rect panel = placePopover(state, anchor, width, dp(*state.ui, height));
    int32_t layer = beginPopover(state, panel);
    keepPopupOpenOver(ui, anchor);  // a click on the field or its clear button acts
    double pad = dp(*state.ui, kSpaceBase);
    Rect content{panel.x + pad, panel.y + pad, panel.w - 2 * pad, panel.h - 2 * pad};
    double y = content.y + dp(*state.ui, 6);
    if (k == 0) {
        drawText(state, "No transactions match", {content.x + dp(*state.ui, 14), y, content.w, dp(*state.ui, kRowDp)},
            dp(*state.ui, 12.5), t.base[slotTextSecondary], 0, 400);
        y += dp(*state.ui, kRowDp);
    }
    const Budget& b = *state.store->budget;
    for (size_t i = 0; i < k; ++i) {
        const SearchHit& hit = hits.rows[i];
        const Transaction& tx = *hit.transaction;
        Rect row{content.x, y, content.w, dp(*state.ui, kRowDp)};
        InteractResult res = interact(ui, widgetId(ui, "sr-" + std::to_string(i)), row, 1);
        if (res.hovered) {
            fillRoundRect(r, row, dp(*state.ui, 8), t.base[slotHover]);
            ui.cursorShape = curHand;
        }
        Rect badge{row.x + dp(*state.ui, 8), row.y + dp(*state.ui, 9), dp(*state.ui, 32), dp(*state.ui, 32)};
        iconBadge(state, tx.icon_id, transactionIconKey(b, tx), categoryColor(state, tx.category), badge);
        double textW = std::max(0.0, row.w - dp(*state.ui, 170));
        drawText(state, elideText(state, tx.description, textW, dp(*state.ui, 13), 600),
            {row.x + dp(*state.ui, 50), row.y + dp(*state.ui, 7), textW, dp(*state.ui, 18)}, dp(*state.ui, 13),
            t.base[slotText], 0, 600);
        std::string sub = shortDate(hit.date);
        if (!tx.category.empty()) {
            sub += " \u00b7 ";
            sub += tx.category;
        }
        if (tx.is_recurring) {
            sub += " \u00b7 ";
            sub += describeRule(tx.recurring_period);
        }
        drawText(state, elideText(state, sub, textW, dp(*state.ui, 11), 400),
            {row.x + dp(*state.ui, 50), row.y + dp(*state.ui, 27), textW, dp(*state.ui, 16)}, dp(*state.ui, 11),
            t.base[slotTextTertiary], 0, 400);
        drawTextWith(state, formatMoney(hit.amount),
            {row.x + row.w - dp(*state.ui, 118), row.y, dp(*state.ui, 110), row.h}, dp(*state.ui, 12.5),
            hit.amount > 0 ? t.base[slotSuccess] : t.base[slotTextSecondary], 1, 1);
        if (res.clicked) {
            Date d = hit.date;
            selectDate(state, d.year, d.month, d.day);
            state.selectedOccurrence = {tx.id, hit.adjustmentId(), d, true};
            state.focusedDay = d;
            state.focusedDayValid = true;
            closePopup(ui);
            state.redrawRequested = true;
        }
        y += dp(*state.ui, kRowDp);
    }
    drawText(state, searchPopoverFooter(hits.count),
        {content.x + dp(*state.ui, 14), y + dp(*state.ui, 2), content.w - dp(*state.ui, 28), dp(*state.ui, 20)},
        dp(*state.ui, 11), t.base[slotTextTertiary], 0, 400);
    endPopover(state, layer);
}

Color spendingBarColor(const Theme& theme, double ratio)
{
    return ratio > 0.9 ? theme.base[slotDanger] : theme.base[slotAccent];
}

void drawMonthSummary(AppState& state, const Rect& rect)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    Renderer& r = *state.renderer;
    registerTourAnchor(state, "summary", rect);
    fillRect(r, rect, tintColor(t, 2));
    double line = std::max(1.0, dp(*state.ui, 1));
    fillRect(r, {rect.x, rect.y + rect.h - line, rect.w, line}, t.base[slotShadeStrong]);
    Date first = firstOfMonth(state.shownMonth.year, state.shownMonth.month);
    const BalanceSummary& s = monthFigures(state, first, selectedAccountId(state)).summary;

    double itemTop = rect.y + (rect.h - dp(*state.ui, 36)) / 2;
    double x = drawSummaryItems(state, rect,
        {{"Opening balance", s.opening, amountColor(state, s.opening, 0),
             "The balance the month starts with \u2014 carried into the 1st, before that day's transactions."},
            {"Income", s.income, t.base[slotSuccess], "All income dated in this calendar month."},
            {"Expenses", s.expense, t.base[slotDanger], "All expenses dated in this calendar month."},
            {"Net this month", s.net, amountColor(state, s.net, 0), "This month's income minus expenses."},
            {"Projected end balance", s.closing, amountColor(state, s.closing, 0),
                "End-of-day balance on the last day of the month (reflects any manual balance anchors)."}});
    // x lies past the last separator, so the bar never crowds it.
    double barX = rect.x + rect.w - dp(*state.ui, 20 + kBarDp);
    if (x >= barX)
        return;
    double barW = dp(*state.ui, kBarDp);
    std::string caption = s.hasSpentShare
        ? "Spent " + formatMoney(s.expenseToDate) + " of " + formatMoney(s.expense) + " planned"
        : std::string("No expenses planned");
    drawText(state, caption, {barX, itemTop + dp(*state.ui, 2), barW, dp(*state.ui, 16)}, dp(*state.ui, 11),
        t.base[slotTextSecondary], 0, 500);
    Rect track{barX, itemTop + dp(*state.ui, 24), barW, dp(*state.ui, 7)};
    fillRoundRect(r, track, dp(*state.ui, 4), t.base[slotBackgroundDeep]);
    double ratio = s.hasSpentShare ? std::clamp(s.spentShare, 0.0, 1.0) : 0.0;
    if (ratio > 0)
        fillRoundRect(r, {track.x, track.y, barW * ratio, track.h}, dp(*state.ui, 4), spendingBarColor(t, ratio));
}

}  // namespace qm
