// The calendar's keys. A row without a modifier matches only while Control,
// Alt and Super are up (Shift may be down: Shift+= is the "+" the menus
// show), and a Control row only with Control alone, so that Ctrl+D never
// falls into the plain D row nor Ctrl+A into adding.
#include "app/navigation.h"
#include "pages/calendar/calendar_page_internal.h"
#include "pages/calendar/calendar_state.h"
#include "pages/calendar/occurrence_actions.h"
#include "pages/editing/editing.h"
#include "pages/editing/txform.h"
#include "platform/keys.h"
#include "ui/input.h"
#include "ui/widget_id.h"

namespace qm {

namespace {

bool windowOpen(const std::shared_ptr<WindowState>& w) { return w && w->open; }

// A modal window, a popup, the form, a field being typed in or a tour step
// takes the keys from the calendar.
bool keysTaken(const AppState& state)
{
    const UiContext& ui = *state.ui;
    if (ui.textEditing || ui.textEditingLast || ui.popupId != 0 || ui.modalActive || ui.modalWindowIdLast != 0)
        return true;
    if (state.tourStep >= 0)
        return true;
    for (const std::shared_ptr<WindowState>* w : {&state.txFormWindow, &state.message.window, &state.confirm.window,
             &state.balanceWindow, &state.adjustWindow, &state.moveWindow, &state.deleteRecurringWindow,
             &state.merge.window, &state.categoriesWindow, &state.accountsWindow, &state.fileDialogWindow})
        if (windowOpen(*w))
            return true;
    return false;
}

void moveFocusBy(AppState& state, Date base, int32_t n)
{
    Date day = addDays(base, n);
    selectDay(state, day.year, day.month, day.day);
    if (state.view == viewWeek || state.view == viewDay)
        selectDate(state, day.year, day.month, day.day);
    else if (day.year != state.shownMonth.year || day.month != state.shownMonth.month)
        showMonth(state, day.year, day.month);
}

void today(AppState& state)
{
    goToToday(state);
    selectDay(state, state.todayDate.year, state.todayDate.month, state.todayDate.day);
}

}  // namespace

void handleCalendarShortcuts(AppState& state)
{
    if (keysTaken(state))
        return;
    UiContext& ui = *state.ui;
    // The key last asked about: the one that acted when a row below runs.
    uint8_t asked = keyUnknown;
    auto plain = [&](uint8_t key) {
        asked = key;
        return keyPressed(ui, key, 0, true) || keyPressed(ui, key, modShift, true);
    };
    auto control = [&](uint8_t key) {
        asked = key;
        return keyPressed(ui, key, modControl, true);
    };
    Date base = state.focusedDayValid ? state.focusedDay : state.selectedDate;
    const OccurrenceRef selected = state.selectedOccurrence;
    bool hasSelection = selected.valid;
    bool dayFocused = state.focusedDayValid;

    if (plain(keyLeft)) {
        moveFocusBy(state, base, -1);
    } else if (plain(keyRight)) {
        moveFocusBy(state, base, 1);
    } else if (plain(keyUp)) {
        moveFocusBy(state, base, -7);
    } else if (plain(keyDown)) {
        moveFocusBy(state, base, 7);
    } else if (plain(keyPageUp)) {
        shiftCalendar(state, -1);
    } else if (plain(keyPageDown)) {
        shiftCalendar(state, 1);
    } else if (plain(keyHome) || plain(keyA + ('t' - 'a'))) {
        today(state);
    } else if (plain(keyEscape)) {
        state.selectedOccurrence = {};
        calendarState(state).clipboardMode = clipEmpty;
        state.redrawRequested = true;
    } else if ((plain(keyEnter) || plain(keyKpEnter)) && hasSelection) {
        if (std::optional<LedgerEntry> e = findSelectedOccurrence(state, selected))
            openEditTransaction(state, *e);
    } else if ((plain(keyEnter) || plain(keyKpEnter)) && dayFocused) {
        state.view = viewDay;
        selectDate(state, state.focusedDay.year, state.focusedDay.month, state.focusedDay.day);
    } else if ((plain(keyDelete) || plain(keyBackspace)) && hasSelection) {
        confirmDeleteTransaction(state, selected);
    } else if (plain(keyEqual) || plain(keyKpAdd) || plain(keyA + ('n' - 'a')) || plain(keyA)) {
        openAddTransaction(state, txExpense, base);
    } else if (plain(keyA + ('p' - 'a')) && hasSelection) {
        togglePaid(state, selected);
    } else if (plain(keyA + ('m' - 'a'))) {
        showCalendarView(state, viewMonth);
    } else if (plain(keyA + ('w' - 'a'))) {
        showCalendarView(state, viewWeek);
    } else if (plain(keyA + ('d' - 'a'))) {
        showCalendarView(state, viewDay);
    } else if (control(keyA + ('d' - 'a')) && hasSelection) {
        duplicateOccurrence(state, selected, selected.date);
    } else if (control(keyA + ('x' - 'a')) && hasSelection) {
        cutOccurrence(state, selected);
    } else if (control(keyA + ('c' - 'a')) && hasSelection) {
        copyOccurrence(state, selected);
    } else if (control(keyA + ('v' - 'a')) && dayFocused) {
        pasteOnDay(state, state.focusedDay);
    } else if (control(keyA + ('f' - 'a'))) {
        setFocus(ui, widgetId(ui, "tb-search"));
        state.redrawRequested = true;
    } else if (control(keyA + ('b' - 'a')) && dayFocused) {
        openSetRunningBalance(state, state.focusedDay.year, state.focusedDay.month, state.focusedDay.day);
    } else {
        return;
    }
    consumeCommandKey(ui, asked);
}

}  // namespace qm
