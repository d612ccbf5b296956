#include "pages/tour.h"

#include <algorithm>

#include "app/app_text.h"
#include "app/budget_io.h"
#include "app/demo_data.h"
#include "app/display_elements.h"
#include "app/navigation.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "model/record_edits.h"
#include "model/transaction_edits.h"
#include "platform/keys.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/input.h"
#include "ui/layout.h"
#include "ui/spacing.h"
#include "ui/wrap.h"

namespace qm {

namespace {

constexpr int32_t kStepCount = 11;
constexpr double kLineDp = 19;

void loadTourData(AppState& state)
{
    const Date today = state.todayDate;
    loadDemoData(*state.store, today.year, today.month, today.day);
    saveBudget(state);
    goToToday(state);
    selectDay(state, today.year, today.month, today.day);
}

void dimAround(AppState& state, const std::optional<Rect>& hole, Color dim)
{
    Renderer& r = *state.renderer;
    const UiContext& ui = *state.ui;
    double w = ui.viewWidth, h = ui.viewHeight;
    if (!hole) {
        fillRect(r, {0, 0, w, h}, dim);
        return;
    }
    const Rect& a = *hole;
    fillRect(r, {0, 0, w, std::max(0.0, a.y)}, dim);
    fillRect(r, {0, a.y + a.h, w, std::max(0.0, h - a.y - a.h)}, dim);
    fillRect(r, {0, a.y, std::max(0.0, a.x), a.h}, dim);
    fillRect(r, {a.x + a.w, a.y, std::max(0.0, w - a.x - a.w), a.h}, dim);
}

}  // namespace

const std::vector<TourStep>& tourSteps()
{
    static const std::vector<TourStep> steps = {
        {"", "Welcome to Quenmark",
            "This tour uses demo transactions (they are removed when it ends). A calendar-first budget puts income "
            "and bills on the days they happen, so every day shows the balance you are headed for."},
        {"today", "Every day shows a balance",
            "The figure at the top right of a day is its projected end-of-day balance: everything on and before "
            "that day, added up. Red means it is projected to be overdrawn; a * marks a day whose balance you set "
            "yourself."},
        {"tile", "Transactions",
            "Each line is a transaction on that day: its icon, name and amount. Click one to select it, "
            "double-click to edit, right-click for everything you can do with it: mark it paid, adjust this one "
            "occurrence, move it, cut, copy, delete\u2026"},
        {"add", "Add a transaction",
            "Add opens the form: expense, income or a transfer between accounts, a category, an icon, and how it "
            "repeats (every N weeks, a day of the month, the last Friday\u2026). Double-clicking an empty day does "
            "the same."},
        {"running", "Anchor to reality",
            "Right-click a day and choose Set running balance\u2026 to tell the calendar what your bank says. The "
            "balance re-anchors from that day on, marked with a *."},
        {"summary", "The month at a glance",
            "The strip sums the month: the opening balance, income, expenses, the net, and the balance the month "
            "is projected to end on."},
        {"account", "Accounts",
            "Switch between All accounts and each account here. Transfers move money between accounts; Manage "
            "accounts\u2026 sets each one's balance today."},
        {"views", "Month, week, day",
            "Week shows one week with taller days; Day lists a day's transactions with the balance after every "
            "line. The \u2039 \u203a arrows step by what is shown, Today jumps back."},
        {"search", "Find anything",
            "Type to search descriptions; the Search page adds dates, categories, accounts, amounts and more. "
            "Reports draws the forecast and the category and account analysis, with PDF and spreadsheet exports."},
        {"balance", "This month's figures",
            "Click the balance at the top for the month's opening, closing, minimum and maximum balances, income, "
            "expenses and disposable income, with a chart."},
        {"sync", "Yours everywhere",
            "With a free account your budget syncs to the website and your other devices, and keeps working "
            "offline in between. That is the tour: drag transactions between days, press ? on the Help page for "
            "the keyboard shortcuts, and enjoy."},
    };
    return steps;
}

double tourCardWidth(const AppState& state)
{
    return std::min(dp(*state.ui, 420), state.ui->viewWidth - dp(*state.ui, 24));
}

TourCardLayout tourCardLayout(const AppState& state, const std::optional<Rect>& anchor, size_t lines)
{
    const UiContext& ui = *state.ui;
    TourCardLayout at;
    double w = tourCardWidth(state);
    double h = double(lines) * dp(*state.ui, kLineDp) + dp(*state.ui, 70 + 56);
    double margin = dp(*state.ui, kSpaceLarge);
    if (!anchor) {
        at.card = {(ui.viewWidth - w) / 2, (ui.viewHeight - h) / 2, w, h};
    } else {
        const Rect& a = *anchor;
        double grow = dp(*state.ui, 6);
        at.hole = Rect{a.x - grow, a.y - grow, a.w + 2 * grow, a.h + 2 * grow};
        double x = std::clamp(a.x + a.w / 2 - w / 2, margin, std::max(margin, ui.viewWidth - w - margin));
        double y = a.y + a.h + dp(*state.ui, 16);
        at.card = {x, y, w, h};
    }
    if (at.card.y + h > ui.viewHeight - margin)
        at.card.y = std::max(margin, (anchor ? anchor->y : at.card.y) - h - dp(*state.ui, 16));
    return at;
}

void endTour(AppState& state)
{
    state.tourStep = -1;
    if (hasDemoData(*state.store)) {
        removeDemoData(*state.store);
        saveBudget(state);
    }
    setTourCompleted(*state.store, true);
    saveBudget(state);
    state.redrawRequested = true;
}

void drawTour(AppState& state)
{
    if (state.tourStep < 0)
        return;
    if (state.tourStep == 0 && !hasDemoData(*state.store))
        loadTourData(state);
    if (state.tourStep >= kStepCount) {
        endTour(state);
        return;
    }
    if (state.compact) {
        endTour(state);
        showToast(state, "The tour is for wider screens; the Help page explains everything.", toastInfo, 4);
        return;
    }
    if (state.page != pageCalendar)
        return;  // paused until the calendar shows again

    UiContext& ui = *state.ui;
    Renderer& r = *state.renderer;
    const Theme& t = ui.theme;
    const int32_t s = state.tourStep;
    const TourStep& step = tourSteps()[size_t(s)];
    std::optional<Rect> anchor;
    if (!step.anchor.empty())
        if (auto it = state.tourAnchors.find(step.anchor); it != state.tourAnchors.end())
            anchor = it->second;

    int32_t previous = beginOverlay(ui, {0, 0, ui.viewWidth, ui.viewHeight});
    double w = tourCardWidth(state);
    double textSize = dp(*state.ui, 13);
    std::vector<std::string> lines = wrapText(ui, step.text, w - dp(*state.ui, 40), textSize);
    TourCardLayout at = tourCardLayout(state, anchor, lines.size());
    dimAround(state, at.hole, withAlpha(t.base[slotShadow], 0.45));
    if (at.hole)
        strokeRoundRect(r, *at.hole, dp(*state.ui, 8), dp(*state.ui, 2), t.base[slotAccent]);

    const Rect& card = at.card;
    double radius = dp(*state.ui, 14);
    drawShadowRect(r, card, radius, dp(*state.ui, 24), t.base[slotShadowSoft]);
    fillRoundRect(r, card, radius, t.base[slotRaised]);
    strokeRoundRect(r, card, radius, std::max(1.0, dp(*state.ui, 1)), t.base[slotShadeStrong]);
    addOverlayRect(ui, card);
    double x = card.x + dp(*state.ui, 20), textW = card.w - dp(*state.ui, 40);
    sectionCaption(state, "Step " + std::to_string(s + 1) + " of " + std::to_string(kStepCount),
        {x, card.y + dp(*state.ui, 14), textW, dp(*state.ui, 14)}, 0);
    drawText(state, step.title, {x, card.y + dp(*state.ui, 30), textW, dp(*state.ui, 26)}, dp(*state.ui, 16),
        t.base[slotText], 0, 700);
    double lineY = card.y + dp(*state.ui, 64);
    for (const std::string& line : lines) {
        drawText(state, line, {x, lineY, textW, dp(*state.ui, kLineDp)}, textSize, t.base[slotTextSecondary], 0, 400);
        lineY += dp(*state.ui, kLineDp);
    }

    double by = card.y + card.h - dp(*state.ui, 46), bh = dp(*state.ui, 32), label = dp(*state.ui, 12.5);
    bool end = button(
        state, "tour-skip", "Skip tour", {x, by, dp(*state.ui, 100), bh}, {.style = buttonQuiet, .fontSize = label});
    Rect next{card.x + card.w - dp(*state.ui, 20 + 90), by, dp(*state.ui, 90), bh};
    int32_t to = s;
    if (button(state, "tour-next", s == kStepCount - 1 ? "Finish" : "Next", next,
            {.style = buttonPrimary, .fontSize = label}))
        to = s + 1;
    if (s >= 1
        && button(
            state, "tour-back", "Back", {next.x - dp(*state.ui, 80), by, dp(*state.ui, 72), bh}, {.fontSize = label}))
        to = s - 1;

    // The keyboard is the tour's while a step shows: no field of the page
    // keeps the focus to take keys before the tour sees them.
    ui.focusId = 0;
    ui.pendingFocus = 0;
    if (keyPressed(ui, keyEscape, 0, false)) {
        consumeKey(ui, keyEscape);
        end = true;
    } else {
        bool right = keyPressed(ui, keyRight, 0, false), enter = keyPressed(ui, keyEnter, 0, false);
        if (right)
            consumeKey(ui, keyRight);
        if (enter)
            consumeKey(ui, keyEnter);
        if ((right || enter) && to == s)
            to = s + 1;
    }
    endOverlay(ui, previous);
    if (end) {
        endTour(state);
    } else if (to != s) {
        state.tourStep = to;
        state.redrawRequested = true;
    }
}

}  // namespace qm
