// Whole frames of the program on the calendar page, headless (the
// driverless GL table, real fonts, a fake window): the shell's drawFrame
// over the heavy budget, today pinned to its reference day, in the month
// and the day view at 1x and 16x. Beside them, the same shell frame with no
// page drawn, and the figures a calendar frame reads from the projection
// (as qm/calendar_frame in bench/model.cpp): the page's own cost is the
// difference between its frame and the frame without it. The manager
// dialogs open over the month frame add their own cost to it. The search page
// is timed the same way, in frames that search again and in frames that
// only draw, and the header bar with its month figures open beside a frame
// with neither the header nor a page. The toolbar's search popover for "a"
// is timed over the month frame in the frame that searches (its hits
// forgotten before each) and in the steady frames that reuse them. The day view
// is drawn on the busiest day of today's month, where its table is longest.
// The narrow layout is timed at 390 x 844 with the phone switch (the month
// grid over the day sheet, the week strip over it, and its frame without the
// page), and a tour step over the month frame. The day view and the phone's
// month over the day sheet are timed for "All accounts" too, where a day
// holds the most entries.
//
// With --one-frame it draws warm-up frames, then exactly one month-view frame
// at 1x between callgrind's start and stop requests, for
//   valgrind --tool=callgrind --instr-atstart=no bench_calendar_page --one-frame
// (bench/calendar_page_callgrind.py compares the count with a committed
// baseline).
#include "../tests/platform/render/mock_gl.h"
#include "heavy_budget.h"

#include "app/frame.h"
#include "app/navigation.h"
#include "app/page_table.h"
#include "app/stand_in_pages.h"
#include "app/today.h"
#include "model/balances.h"
#include "model/projection.h"
#include "model/store.h"
#include "pages/calendar/calendar_state.h"
#include "pages/calendar/calendar_toolbar.h"
#include "pages/editing/editing.h"
#include "pages/page_entries.h"
#include "pages/search/search_page.h"
#include "platform/app_window.h"
#include "platform/platform_window_internal.h"
#include "ui/hit_test.h"
#include "ui/widget_id.h"

#include <benchmark/benchmark.h>
#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace {

using namespace qm;

// A configuration folder of its own, removed at exit.
struct ScratchConfig {
    std::string path;

    ScratchConfig()
    {
        char pattern[] = "/tmp/qm-bench-calendar-XXXXXX";
        path = mkdtemp(pattern);
        setenv("HOME", path.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (path + "/config").c_str(), 1);
        setenv("QUENMRK_SPLASH", "0", 1);
        unsetenv("QUENMRK_PHONE");
    }
    ~ScratchConfig() { std::filesystem::remove_all(path); }
};

struct Scene {
    AppWindowRef window;
    AppStateRef state;

    explicit Scene(int scale, bool phone = false)
    {
        static ScratchConfig config;
        if (phone)
            setenv("QUENMRK_PHONE", "1", 1);
        mockgl::install();
        mockgl::state.recording = false;
        setTodaySource([] { return bench::heavyToday(); });
        PageTable table = standInPageTable();
        fillCalendarPageTable(table);
        setPageTable(std::move(table));
        PlatformWindowRef platform = newFakePlatformWindow();
        platform->fake->width = phone ? 390 : 1280;
        platform->fake->height = phone ? 844 : 820;
        window = newAppWindowOn(platform, "bench");
        state = newAppState(window);
        // Never written: the benchmark only draws.
        state->store->folder.clear();
        *state->store->budget = bench::heavyBudget(scale);
        // The first account, as the peer reads it.
        state->store->budget->user.selected_account_id = 1;
        markDirty(*state->store);
        showPage(*state, pageCalendar);
        goToToday(*state);
        for (int i = 0; i < 3; ++i)
            frame();  // the projection made, glyphs cached
        unsetenv("QUENMRK_PHONE");
    }

    void frame() { drawFrame(*state, 1.0 / 60); }
};

Scene& sceneAt(int scale)
{
    static std::map<int, std::unique_ptr<Scene>> scenes;
    std::unique_ptr<Scene>& s = scenes[scale];
    if (!s)
        s = std::make_unique<Scene>(scale);
    return *s;
}

// The narrow layout at 390 x 844 with the phone switch on while it draws.
Scene& phoneSceneAt(int scale)
{
    static std::map<int, std::unique_ptr<Scene>> scenes;
    std::unique_ptr<Scene>& s = scenes[scale];
    if (!s)
        s = std::make_unique<Scene>(scale, true);
    return *s;
}

// The day of today's month with the most entries under the account.
Date busiestDay(const AppState& state, int64_t account)
{
    const Date today = bench::heavyToday();
    Date best = today;
    size_t most = 0;
    for (const auto& week : monthLedger(storeProjection(*state.store), today.year, today.month, account, today))
        for (const DayRow& day : week)
            if (day.inMonth && day.entries.size() > most) {
                most = day.entries.size();
                best = day.date;
            }
    return best;
}

void showView(AppState& state, uint8_t view, int64_t account)
{
    state.view = view;
    state.store->budget->user.selected_account_id = account;
    Date day = view == viewDay ? busiestDay(state, account) : bench::heavyToday();
    selectDate(state, day.year, day.month, day.day);
}

// Times the scene's frames, with the calendar page or without it.
void timeFrames(benchmark::State& st, Scene& scene, bool withPage)
{
    PageTable table = pageTable();
    PageTable without = table;
    if (!withPage)
        without.drawCalendarPage = {};
    setPageTable(without);
    scene.frame();
    for (auto _ : st)
        scene.frame();
    setPageTable(std::move(table));
}

void pageFrame(benchmark::State& st, uint8_t view, bool withPage, int64_t account = 1)
{
    Scene& scene = sceneAt(int(st.range(0)));
    showView(*scene.state, view, account);
    timeFrames(st, scene, withPage);
    st.counters["transactions"] = double(scene.state->store->budget->transactions.size());
    if (view == viewDay)
        st.counters["day_entries"] = double(
            dayLedger(storeProjection(*scene.state->store), scene.state->selectedDate, account, bench::heavyToday())
                .entries.size());
}

// The phone calendar: the month grid over the day sheet, or the week strip
// over it, on today; without the page for the difference.
void phoneFrame(benchmark::State& st, uint8_t view, bool withPage, int64_t account = 1)
{
    Scene& scene = phoneSceneAt(int(st.range(0)));
    AppState& s = *scene.state;
    setenv("QUENMRK_PHONE", "1", 1);
    s.view = view;
    s.store->budget->user.selected_account_id = account;
    Date today = bench::heavyToday();
    selectDay(s, today.year, today.month, today.day);
    timeFrames(st, scene, withPage);
    unsetenv("QUENMRK_PHONE");
    st.counters["compact"] = s.compact ? 1 : 0;
    st.counters["day_entries"] = double(dayLedger(storeProjection(*s.store), today, account, today).entries.size());
    s.store->budget->user.selected_account_id = 1;
}

void phoneMonth(benchmark::State& st) { phoneFrame(st, viewMonth, true); }
void phoneWeek(benchmark::State& st) { phoneFrame(st, viewWeek, true); }
void phoneWithoutPage(benchmark::State& st) { phoneFrame(st, viewMonth, false); }
void phoneMonthAllAccounts(benchmark::State& st) { phoneFrame(st, viewMonth, true, 0); }

// The desktop month frame with a tour step over it (its anchor the Add
// button), to set against calendar_page/month_frame.
void tourStep(benchmark::State& st)
{
    Scene& scene = sceneAt(int(st.range(0)));
    AppState& s = *scene.state;
    showView(s, viewMonth, 1);
    s.tourStep = 3;
    scene.frame();
    for (auto _ : st)
        scene.frame();
    s.tourStep = -1;
    scene.frame();
}

void monthView(benchmark::State& st) { pageFrame(st, viewMonth, true); }
void dayView(benchmark::State& st) { pageFrame(st, viewDay, true); }
void withoutPage(benchmark::State& st) { pageFrame(st, viewMonth, false); }
void monthViewAllAccounts(benchmark::State& st) { pageFrame(st, viewMonth, true, 0); }
void dayViewAllAccounts(benchmark::State& st) { pageFrame(st, viewDay, true, 0); }

// What qm/calendar_frame measures, on this program's store.
void calendarFigures(benchmark::State& st)
{
    Scene& scene = sceneAt(int(st.range(0)));
    const LocalStore& store = *scene.state->store;
    const Date today = bench::heavyToday();
    for (auto _ : st) {
        const BudgetProjection& p = storeProjection(store);
        benchmark::DoNotOptimize(monthWeeks(p, today.year, today.month, 1, today));
        benchmark::DoNotOptimize(monthEndBalances(p, 1, today));
        benchmark::DoNotOptimize(accountSummaries(p, today));
    }
}

// A manager dialog open over the month frame above; the budget gets 200
// categories for the time of the run.
void dialogOverMonth(benchmark::State& st, void (*open)(AppState&), std::shared_ptr<WindowState> AppState::*window)
{
    Scene& scene = sceneAt(int(st.range(0)));
    AppState& state = *scene.state;
    Budget& b = *state.store->budget;
    state.view = viewMonth;
    b.user.selected_account_id = 1;
    std::vector<Category> kept = b.categories;
    b.categories.clear();
    for (int i = 1; i <= 200; ++i) {
        Category c;
        c.id = 100000 + i;
        c.name = "Category " + std::to_string(i);
        b.categories.push_back(c);
    }
    markDirty(*state.store);
    open(state);
    for (int i = 0; i < 3; ++i)
        scene.frame();
    for (auto _ : st)
        scene.frame();
    (state.*window)->open = false;
    b.categories = kept;
    markDirty(*state.store);
    scene.frame();
    st.counters["transactions"] = double(b.transactions.size());
}

void manageCategories(benchmark::State& st) { dialogOverMonth(st, openManageCategories, &AppState::categoriesWindow); }
void manageAccounts(benchmark::State& st) { dialogOverMonth(st, openManageAccounts, &AppState::accountsWindow); }

// The search page for "a" over all accounts, sorted by a column, drawing
// its first page of rows; rerun searches again in every frame.
void searchFrame(benchmark::State& st, int32_t column, bool rerun)
{
    Scene& scene = sceneAt(int(st.range(0)));
    AppState& s = *scene.state;
    showPage(s, pageSearch);
    SearchPageState& search = searchState(s);
    search = SearchPageState{};
    search.query = "a";
    search.sortColumn = column;
    scene.frame();
    scene.frame();
    for (auto _ : st) {
        if (rerun)
            s.searchDirty = true;
        scene.frame();
    }
    st.counters["hits"] = double(search.results.size());
    showPage(s, pageCalendar);
    scene.frame();
}

void searchDefault(benchmark::State& st) { searchFrame(st, searchByDate, false); }
void searchByAmountSorted(benchmark::State& st) { searchFrame(st, searchByAmount, false); }
void searchDefaultRerun(benchmark::State& st) { searchFrame(st, searchByDate, true); }
void searchByAmountRerun(benchmark::State& st) { searchFrame(st, searchByAmount, true); }

// Frames without a page: with the header bar and its month figures open,
// or with no header at all.
void headerFrame(benchmark::State& st, bool withHeader)
{
    Scene& scene = sceneAt(int(st.range(0)));
    AppState& s = *scene.state;
    PageTable table = pageTable();
    PageTable bare = table;
    bare.drawCalendarPage = {};
    if (!withHeader)
        bare.drawHeaderBar = {};
    setPageTable(bare);
    scene.frame();
    UiContext& ui = *s.ui;
    int64_t panel = widgetId(ui, "balancepanel");
    openPopup(ui, panel, {900, 15, 140, 30});
    popupState(ui, panel)->shownMonth = 0;
    scene.frame();
    for (auto _ : st)
        scene.frame();
    closePopup(ui);
    setPageTable(std::move(table));
}

void headerWithFigures(benchmark::State& st) { headerFrame(st, true); }
void withoutHeader(benchmark::State& st) { headerFrame(st, false); }

// The month frame with the toolbar's search popover open on "a"; first:
// every frame searches again, as the first one after the text changed.
void searchPopover(benchmark::State& st, bool first)
{
    Scene& scene = sceneAt(int(st.range(0)));
    AppState& s = *scene.state;
    showView(s, viewMonth, 1);
    CalendarPageState& cal = calendarState(s);
    cal.searchText = "a";
    UiContext& ui = *s.ui;
    int64_t popup = widgetId(ui, "searchpop");
    openPopup(ui, popup, {736, 72, 240, 34});
    scene.frame();
    for (auto _ : st) {
        if (first)
            cal.searchPopover.reset();
        scene.frame();
    }
    st.counters["hits"] = cal.searchPopover ? double(cal.searchPopover->count) : 0;
    closePopup(ui);
    cal.searchText.clear();
    scene.frame();
}

void searchPopoverFirst(benchmark::State& st) { searchPopover(st, true); }
void searchPopoverSteady(benchmark::State& st) { searchPopover(st, false); }

void popoverScales(benchmark::internal::Benchmark* b)
{
    b->Arg(1)->Arg(16)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
}

void scales(benchmark::internal::Benchmark* b)
{
    b->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
}

BENCHMARK(monthView)->Name("calendar_page/month_frame")->Apply(scales);
BENCHMARK(monthViewAllAccounts)->Name("calendar_page/month_frame_all_accounts")->Apply(scales);
BENCHMARK(dayView)->Name("calendar_page/day_frame")->Apply(scales);
BENCHMARK(dayViewAllAccounts)->Name("calendar_page/day_frame_all_accounts")->Apply(scales);
BENCHMARK(manageCategories)->Name("calendar_page/month_frame_manage_categories")->Apply(scales);
BENCHMARK(manageAccounts)->Name("calendar_page/month_frame_manage_accounts")->Apply(scales);
BENCHMARK(withoutPage)->Name("calendar_page/shell_frame_without_page")->Apply(scales);
BENCHMARK(searchDefault)->Name("calendar_page/search_frame_default_order")->Apply(scales);
BENCHMARK(searchByAmountSorted)->Name("calendar_page/search_frame_by_amount")->Apply(scales);
BENCHMARK(searchDefaultRerun)->Name("calendar_page/search_frame_rerun_default_order")->Apply(scales);
BENCHMARK(searchByAmountRerun)->Name("calendar_page/search_frame_rerun_by_amount")->Apply(scales);
BENCHMARK(headerWithFigures)->Name("calendar_page/header_with_month_figures_no_page")->Apply(scales);
BENCHMARK(withoutHeader)->Name("calendar_page/shell_frame_without_header_or_page")->Apply(scales);
BENCHMARK(searchPopoverFirst)->Name("calendar_page/month_frame_search_popover_first")->Apply(popoverScales);
BENCHMARK(searchPopoverSteady)->Name("calendar_page/month_frame_search_popover_steady")->Apply(popoverScales);
BENCHMARK(phoneMonth)->Name("calendar_page/phone_month_frame")->Apply(popoverScales);
BENCHMARK(phoneWeek)->Name("calendar_page/phone_week_frame")->Apply(popoverScales);
BENCHMARK(phoneWithoutPage)->Name("calendar_page/phone_frame_without_page")->Apply(popoverScales);
BENCHMARK(phoneMonthAllAccounts)->Name("calendar_page/phone_month_frame_all_accounts")->Apply(popoverScales);
BENCHMARK(tourStep)->Name("calendar_page/month_frame_tour_step")->Apply(popoverScales);
BENCHMARK(calendarFigures)->Name("calendar_page/calendar_figures_peer")->Apply(scales);

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--one-frame") == 0) {
        Scene& scene = sceneAt(1);
        showView(*scene.state, viewMonth, 1);
        for (int i = 0; i < 5; ++i)
            scene.frame();
        CALLGRIND_START_INSTRUMENTATION;
        scene.frame();
        CALLGRIND_STOP_INSTRUMENTATION;
        std::printf("vertices %d draw calls %d\n", scene.state->renderer->lastVertexCount,
            scene.state->renderer->lastDrawCalls);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
