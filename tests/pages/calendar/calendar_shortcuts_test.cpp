// The calendar's keys: every row of the table acts on the state, the form,
// the dialogs and the budget on disk; a key never falls into another row's
// action, and nothing acts while something else has the keyboard.
#include <gtest/gtest.h>

#include <functional>

#include "app/navigation.h"
#include "model/store.h"
#include "pages/calendar/calendar_state.h"
#include "pages/calendar/occurrence_actions.h"
#include "pages/dialog_driving.h"
#include "pages/editing/editing.h"
#include "pages/editing/txform.h"
#include "pages/page_harness.h"
#include "pages/sample_budget.h"
#include "platform/keys.h"
#include "ui/hit_test.h"
#include "ui/widget_id.h"

namespace qm {
namespace {

using testing::PageHarness;
using testing::SampleBudget;

constexpr Date d12{2025, 3, 12}, d14{2025, 3, 14};

uint8_t letter(char c) { return uint8_t(keyA + (c - 'a')); }

void press(PageHarness& h, uint8_t key, uint8_t mods = 0)
{
    testing::pressKey(h, key, mods);
    h.frame();
}

// What a key may change, to tell "nothing happened".
struct Snapshot {
    uint8_t view;
    Date selected, focused;
    YearMonth shown;
    OccurrenceRef selection;
    uint8_t clipboard;
    int32_t changes;
    bool form, dialog;
    int64_t focus;

    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(PageHarness& h)
{
    AppState& s = *h;
    bool dialog = s.confirm.window->open || s.balanceWindow->open || s.deleteRecurringWindow->open;
    return {s.view, s.selectedDate, s.focusedDay, s.shownMonth, s.selectedOccurrence, calendarState(s).clipboardMode,
        s.store->change_count, s.txFormWindow->open, dialog, s.ui->focusId};
}

struct Shortcuts {
    PageHarness h;
    SampleBudget s = testing::addSampleBudget(*h);
    Shortcuts() { h.frames(2); }  // the first frame focuses today

    void selectCoffee() { h->selectedOccurrence = {s.coffee, 0, d12, true}; }
    void selectLunch() { h->selectedOccurrence = {s.lunch, 0, d12, true}; }
    LocalStorePtr disk() { return openStore(h.store().folder); }
    size_t transactionsOnDisk() { return disk()->budget->transactions.size(); }
};

TEST(Shortcuts, EveryRowOfTheTable)
{
    struct Case {
        const char* name;
        uint8_t key, mods;
        std::function<void(Shortcuts&)> setup;
        std::function<void(Shortcuts&)> check;
    };
    auto focused = [](Date d) {
        return [d](Shortcuts& t) {
            EXPECT_TRUE(t.h->focusedDayValid);
            EXPECT_EQ(t.h->focusedDay, d);
        };
    };
    auto shown = [](int32_t y, int32_t m) {
        return [y, m](Shortcuts& t) { EXPECT_EQ(t.h->shownMonth, (YearMonth{y, m})); };
    };
    auto addsOn = [](Date d) {
        return [d](Shortcuts& t) {
            ASSERT_TRUE(t.h->txFormWindow->open);
            EXPECT_FALSE(txFormState(*t.h).editing);
            EXPECT_EQ(txFormState(*t.h).kind, txExpense);
            EXPECT_EQ(txFormState(*t.h).date, d);
        };
    };
    auto view = [](uint8_t v) { return [v](Shortcuts& t) { EXPECT_EQ(t.h->view, v); }; };
    auto none = [](Shortcuts&) {};
    auto elsewhere = [](Shortcuts& t) {
        showMonth(*t.h, 2025, 5);
        selectDay(*t.h, 2025, 5, 20);
    };
    auto focus14 = [](Shortcuts& t) { selectDay(*t.h, 2025, 3, 14); };
    const Case cases[] = {
        {"Left", keyLeft, 0, none, focused({2025, 3, 11})},
        {"Right", keyRight, 0, none, focused({2025, 3, 13})},
        {"Up", keyUp, 0, none, focused({2025, 3, 5})},
        {"Down", keyDown, 0, none, focused({2025, 3, 19})},
        {"Page Up", keyPageUp, 0, none, shown(2025, 2)},
        {"Page Down", keyPageDown, 0, none, shown(2025, 4)},
        {"Home", keyHome, 0, elsewhere,
            [&](Shortcuts& t) {
                focused(d12)(t);
                shown(2025, 3)(t);
                EXPECT_EQ(t.h->selectedDate, d12);
            }},
        {"T", letter('t'), 0, elsewhere, focused(d12)},
        {"Escape", keyEscape, 0,
            [](Shortcuts& t) {
                t.selectCoffee();
                calendarState(*t.h).clipboardMode = clipCopy;
            },
            [](Shortcuts& t) {
                EXPECT_FALSE(t.h->selectedOccurrence.valid);
                EXPECT_EQ(calendarState(*t.h).clipboardMode, clipEmpty);
            }},
        {"Enter on a selection", keyEnter, 0, [](Shortcuts& t) { t.selectCoffee(); },
            [](Shortcuts& t) {
                ASSERT_TRUE(t.h->txFormWindow->open);
                EXPECT_TRUE(txFormState(*t.h).editing);
                EXPECT_EQ(txFormState(*t.h).editedId, t.s.coffee);
            }},
        {"Enter on a focused day", keyEnter, 0, focus14,
            [](Shortcuts& t) {
                EXPECT_EQ(t.h->view, viewDay);
                EXPECT_EQ(t.h->selectedDate, d14);
                EXPECT_FALSE(t.h->txFormWindow->open);
            }},
        {"Delete a one-off", keyDelete, 0, [](Shortcuts& t) { t.selectCoffee(); },
            [](Shortcuts& t) {
                EXPECT_TRUE(t.h->confirm.window->open);
                EXPECT_EQ(t.h->confirm.action, "delete-tx");
            }},
        {"Backspace on a series", keyBackspace, 0, [](Shortcuts& t) { t.selectLunch(); },
            [](Shortcuts& t) { EXPECT_TRUE(t.h->deleteRecurringWindow->open); }},
        {"=", keyEqual, 0, focus14, addsOn(d14)},
        {"Shift+=", keyEqual, modShift, focus14, addsOn(d14)},
        {"keypad +", keyKpAdd, 0, focus14, addsOn(d14)},
        {"N", letter('n'), 0, none, addsOn(d12)},
        {"A", letter('a'), 0, none, addsOn(d12)},
        {"P", letter('p'), 0, [](Shortcuts& t) { t.selectCoffee(); },
            [](Shortcuts& t) {
                LocalStorePtr d = t.disk();
                ASSERT_EQ(testing::occurrencesOn(*d->budget, t.s.coffee, d12).size(), 1u);
                EXPECT_TRUE(testing::occurrencesOn(*d->budget, t.s.coffee, d12)[0].paid);
            }},
        {"M", letter('m'), 0, [](Shortcuts& t) { t.h->view = viewDay; }, view(viewMonth)},
        {"W", letter('w'), 0, none, view(viewWeek)},
        {"D", letter('d'), 0, [](Shortcuts& t) { t.selectCoffee(); },
            [](Shortcuts& t) {
                EXPECT_EQ(t.h->view, viewDay);
                EXPECT_EQ(t.transactionsOnDisk(), 4u);
            }},
        {"Ctrl+D", letter('d'), modControl, [](Shortcuts& t) { t.selectCoffee(); },
            [](Shortcuts& t) {
                EXPECT_EQ(t.h->view, viewMonth);
                EXPECT_EQ(t.transactionsOnDisk(), 5u);
            }},
        {"Ctrl+X", letter('x'), modControl, [](Shortcuts& t) { t.selectCoffee(); },
            [](Shortcuts& t) { EXPECT_EQ(calendarState(*t.h).clipboardMode, clipCut); }},
        {"Ctrl+C", letter('c'), modControl, [](Shortcuts& t) { t.selectCoffee(); },
            [](Shortcuts& t) { EXPECT_EQ(calendarState(*t.h).clipboardMode, clipCopy); }},
        {"Ctrl+V", letter('v'), modControl,
            [](Shortcuts& t) {
                copyOccurrence(*t.h, {t.s.coffee, 0, d12, true});
                selectDay(*t.h, 2025, 3, 14);
            },
            [](Shortcuts& t) {
                LocalStorePtr d = t.disk();
                EXPECT_EQ(d->budget->transactions.size(), 5u);
                EXPECT_EQ(d->budget->transactions.back().start_date, d14);
            }},
        {"Ctrl+F", letter('f'), modControl, none,
            [](Shortcuts& t) { EXPECT_EQ(t.h->ui->focusId, widgetId(*t.h->ui, "tb-search")); }},
        {"Ctrl+B", letter('b'), modControl, focus14, [](Shortcuts& t) { EXPECT_TRUE(t.h->balanceWindow->open); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Shortcuts t;
        c.setup(t);
        t.h.frame();
        press(t.h, c.key, c.mods);
        c.check(t);
    }
}

// The window sends a letter's press and its character together: a key that
// opens the form must leave its character out of the description.
TEST(Shortcuts, AnAddKeyTypesNothingIntoTheForm)
{
    for (auto [key, typed] :
        {std::pair{letter('n'), 'n'}, std::pair{letter('a'), 'a'}, std::pair{uint8_t(keyEqual), '='}}) {
        SCOPED_TRACE(typed);
        Shortcuts t;
        WindowEvent e;
        e.kind = weKeyDown;
        e.key = key;
        t.h.app.feed(e);
        WindowEvent c;
        c.kind = weText;
        c.codepoint = typed;
        t.h.app.feed(c);
        e.kind = weKeyUp;
        t.h.app.feed(e);
        t.h.frames(3);
        ASSERT_TRUE(t.h->txFormWindow->open);
        testing::typeText(t.h, "Rent");
        t.h.key(keyTab);
        t.h.frames(2);
        EXPECT_EQ(txFormState(*t.h).description, "Rent");
    }
}

// M, W and D show the focused day, wherever the shown period had gone.
TEST(Shortcuts, ViewKeysShowTheFocusedDay)
{
    constexpr Date d26{2025, 3, 26};
    for (auto [typed, view] : {std::pair{'m', viewMonth}, std::pair{'w', viewWeek}, std::pair{'d', viewDay}}) {
        SCOPED_TRACE(typed);
        Shortcuts t;
        t.h->view = typed == 'm' ? viewDay : viewMonth;
        selectDate(*t.h, 2025, 5, 20);
        selectDay(*t.h, 2025, 3, 26);
        t.h.frame();
        press(t.h, letter(typed));
        EXPECT_EQ(t.h->view, view);
        EXPECT_EQ(t.h->selectedDate, d26);
        EXPECT_EQ(t.h->shownMonth, (YearMonth{2025, 3}));
        EXPECT_EQ(t.h->settings.view, calendarViewName(view));
    }
}

TEST(Shortcuts, KeysMeantForOneRowNeverTriggerAnother)
{
    struct Case {
        const char* name;
        uint8_t key, mods;
        bool selection, focus;
    };
    const Case cases[] = {
        {"Ctrl+A", letter('a'), modControl, true, true},
        {"Ctrl+N", letter('n'), modControl, true, true},
        {"Ctrl+P", letter('p'), modControl, true, true},
        {"Alt+D", letter('d'), modAlt, true, true},
        {"Ctrl+Shift+D", letter('d'), modControl | modShift, true, true},
        {"Ctrl+D without a selection", letter('d'), modControl, false, true},
        {"Ctrl+V with an empty clipboard", letter('v'), modControl, false, true},
        {"Enter with neither", keyEnter, 0, false, false},
        {"P without a selection", letter('p'), 0, false, true},
        {"Delete without a selection", keyDelete, 0, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Shortcuts t;
        if (c.selection)
            t.selectCoffee();
        t.h->focusedDayValid = c.focus;
        t.h.frame();
        Snapshot before = snapshot(t.h);
        press(t.h, c.key, c.mods);
        EXPECT_TRUE(snapshot(t.h) == before);
        EXPECT_EQ(t.transactionsOnDisk(), 4u);
    }
}

TEST(Shortcuts, ArrowsCrossMonthsAndFollowTheView)
{
    Shortcuts t;
    PageHarness& h = t.h;
    // The last day of the shown month: Right shows the next month.
    selectDay(*h, 2025, 3, 31);
    press(h, keyRight);
    EXPECT_EQ(h->focusedDay, (Date{2025, 4, 1}));
    EXPECT_EQ(h->shownMonth, (YearMonth{2025, 4}));

    // The week view: the selected date and so the grid follow.
    h->view = viewWeek;
    selectDate(*h, 2025, 3, 12);
    selectDay(*h, 2025, 3, 12);
    press(h, keyDown);
    EXPECT_EQ(h->focusedDay, (Date{2025, 3, 19}));
    EXPECT_EQ(h->selectedDate, (Date{2025, 3, 19}));

    // Without a focused day the arrows start from the selected date.
    h->view = viewMonth;
    selectDate(*h, 2025, 6, 10);
    h->focusedDayValid = false;
    press(h, keyLeft);
    EXPECT_EQ(h->focusedDay, (Date{2025, 6, 9}));
    EXPECT_EQ(h->shownMonth, (YearMonth{2025, 6}));
}

TEST(Shortcuts, NothingWhileSomethingElseHasTheKeyboard)
{
    struct Case {
        const char* name;
        std::function<void(Shortcuts&)> setup;
    };
    const Case cases[] = {
        {"typing in the search field",
            [](Shortcuts& t) {
                setFocus(*t.h->ui, widgetId(*t.h->ui, "tb-search"));
                t.h.frame();
                testing::typeText(t.h, "d");
            }},
        {"a modal window", [](Shortcuts& t) { openSetRunningBalance(*t.h, 2025, 3, 14); }},
        {"a popup",
            [](Shortcuts& t) {
                openPopup(*t.h->ui, widgetId(*t.h->ui, "accountpop"), {10, 10, 10, 10});
            }},
        {"the form", [](Shortcuts& t) { openAddTransaction(*t.h, txExpense, d14); }},
        {"a tour step", [](Shortcuts& t) { t.h->tourStep = 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Shortcuts t;
        c.setup(t);
        t.h.frame();
        uint8_t view = t.h->view;
        Date focused = t.h->focusedDay;
        press(t.h, letter('d'));
        press(t.h, keyRight);
        press(t.h, keyEnter);
        EXPECT_EQ(t.h->view, view);
        EXPECT_EQ(t.h->focusedDay, focused);
    }
}

}  // namespace
}  // namespace qm
