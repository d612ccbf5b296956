// A fast hand on a slow frame: clicks, moves and keys that reach the window
// together between two frames, handed to the frames as the main loop does.
// Each acts as it would have with a frame of its own.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/main_loop_internal.h"
#include "pages/dialog_driving.h"
#include "pages/editing/editing.h"
#include "pages/sample_budget.h"
#include "platform/keys.h"

namespace qm {
namespace {

using testing::PageHarness;
using testing::SampleBudget;

constexpr Date d11{2025, 3, 11}, d12{2025, 3, 12};

uint8_t letter(char c) { return uint8_t(keyA + (c - 'a')); }

// What the window reports, in order.
struct Hand {
    std::vector<WindowEvent> events;

    Hand& move(double x, double y)
    {
        WindowEvent e;
        e.kind = weMouseMove;
        e.x = x;
        e.y = y;
        events.push_back(e);
        return *this;
    }
    Hand& click(const Rect& r)
    {
        move(r.x + r.w / 2, r.y + r.h / 2);
        WindowEvent e = events.back();
        e.button = 1;
        e.kind = weMouseDown;
        events.push_back(e);
        e.kind = weMouseUp;
        events.push_back(e);
        return *this;
    }
    Hand& button(uint8_t kind, double x, double y)
    {
        move(x, y);
        events.back().kind = kind;
        events.back().button = 1;
        return *this;
    }
    Hand& key(uint8_t code, uint8_t modifiers = 0, char typed = 0)
    {
        WindowEvent e;
        e.kind = weKeyDown;
        e.key = code;
        e.modifiers = modifiers;
        events.push_back(e);
        if (typed) {
            WindowEvent t;
            t.kind = weText;
            t.codepoint = typed;
            events.push_back(t);
        }
        e.kind = weKeyUp;
        events.push_back(e);
        return *this;
    }
    Hand& type(std::string_view digits)
    {
        for (char c : digits)
            key(uint8_t(key0 + (c - '0')), 0, c);
        return *this;
    }
};

// All of it waiting before the next frame; frames run until it is taken.
void deliver(PageHarness& h, const Hand& hand)
{
    InputQueue input;
    input.waiting = hand.events;
    for (int i = 0; i < 40 && dispatchOneFrame(*h, input); ++i)
        h.frame();
    h.frames(2);
}

Rect tileOf(PageHarness& h, int64_t transactionId, Date day)
{
    std::string prefix = "tile-" + std::to_string(transactionId) + "-" + formatIso(day) + "#";
    for (const WidgetRecord& w : h->ui->recorder->records)
        if (w.label.rfind(prefix, 0) == 0)
            return w.rect;
    ADD_FAILURE() << "no " << prefix;
    return {};
}

bool paidOn(PageHarness& h, int64_t transactionId, Date day)
{
    std::vector<testing::Shown> shown = testing::occurrencesOn(testing::savedBudget(h), transactionId, day);
    return shown.size() == 1 && shown[0].paid;
}

double anchorOn(PageHarness& h, Date day)
{
    for (const RunningTotalAdjustment& r : testing::savedBudget(h).running_total_adjustments)
        if (r.date == day)
            return r.amount;
    return -1;
}

TEST(FastInput, ActionsThatArriveTogetherEachAct)
{
    struct Case {
        const char* name;
        std::function<Hand(PageHarness&, const SampleBudget&)> hand;
        std::function<void(PageHarness&, const SampleBudget&)> check;
        bool dialogFirst = false;  // the balance dialog already open on the 12th
    };
    const Case cases[] = {
        {"a day to the left, then Ctrl+B",
            [](PageHarness&, const SampleBudget&) { return Hand().key(keyLeft).key(letter('b'), modControl); },
            [](PageHarness& h, const SampleBudget&) {
                EXPECT_TRUE(h->balanceWindow->open);
                EXPECT_EQ(editDialogs(*h).balance.date, d11);
            }},
        {"Ctrl+B, a balance and Enter",
            [](PageHarness&, const SampleBudget&) {
                return Hand().key(letter('b'), modControl).type("2500").key(keyEnter);
            },
            [](PageHarness& h, const SampleBudget&) {
                EXPECT_FALSE(h->balanceWindow->open);
                EXPECT_DOUBLE_EQ(anchorOn(h, d12), 2500);
            }},
        {"a click on a line, a move away and P",
            [](PageHarness& h, const SampleBudget& s) {
                return Hand().click(tileOf(h, s.coffee, d12)).move(20, 200).key(letter('p'), 0, 'p');
            },
            [](PageHarness& h, const SampleBudget& s) { EXPECT_TRUE(paidOn(h, s.coffee, d12)); }},
        {"a whole drag of a line to another day",
            [](PageHarness& h, const SampleBudget& s) {
                Rect from = tileOf(h, s.coffee, d12), to = h.rectOf("cell-2025-04-03");
                double x0 = from.x + from.w / 2, y0 = from.y + from.h / 2, x1 = to.x + to.w / 2, y1 = to.y + to.h / 2;
                return Hand()
                    .button(weMouseDown, x0, y0)
                    .move((x0 + x1) / 2, (y0 + y1) / 2)
                    .move(x1, y1)
                    .button(weMouseUp, x1, y1);
            },
            [](PageHarness& h, const SampleBudget&) {
                const AdjustmentList& moved = h.budget().transaction_adjustments;
                ASSERT_EQ(moved.size(), 1u);
                EXPECT_EQ(moved[0].new_date, (Date{2025, 4, 3}));
            }},
        {"Enter in the dialog, then a click on a line",
            [](PageHarness& h, const SampleBudget& s) { return Hand().key(keyEnter).click(tileOf(h, s.coffee, d12)); },
            [](PageHarness& h, const SampleBudget& s) {
                EXPECT_FALSE(h->balanceWindow->open);
                EXPECT_TRUE(h->selectedOccurrence.valid);
                EXPECT_EQ(h->selectedOccurrence.transactionId, s.coffee);
            },
            true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageHarness h;
        SampleBudget s = testing::addSampleBudget(*h);
        h.frames(2);  // the first frame focuses today
        if (c.dialogFirst) {
            openSetRunningBalance(*h, d12.year, d12.month, d12.day);
            h.frames(3);
        }
        deliver(h, c.hand(h, s));
        c.check(h, s);
    }
}

}  // namespace
}  // namespace qm
