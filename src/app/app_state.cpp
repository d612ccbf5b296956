#include "app/app_state.h"

#include "app/budget_io.h"
#include "app/page_table.h"
#include "app/paths.h"
#include "app/splash.h"
#include "app/theme_apply.h"
#include "app/today.h"
#include "app/window_icon.h"
#include "core/files.h"

namespace qm {

void requestAppRedraw(AppState& state) { state.redrawRequested = true; }

double uiClock(const AppState& state) { return state.ui ? state.ui->time : 0.0; }

AppStateRef newAppStateWithoutBudget(AppWindowRef window)
{
    auto state = std::make_shared<AppState>();
    state->window = window;
    state->tourStep = -1;
    state->renderer = newRenderer();
    state->fonts = loadBuiltinFonts();
    state->ui = newUiContext(window, state->renderer, state->fonts.sans400, state->fonts.sans600);
    setDecorationFont(*window, state->fonts.sansSemiBold);
    state->windowIcon = loadWindowIcon(*window);
    state->settings = loadSettings();
    state->session = loadSession();
    state->ui->zoom = state->settings.uiScale;
    state->ui->scale = window->scale * state->ui->zoom;
    applyTheme(*state, true);
    state->todayDate = shellToday();

    for (auto* slot : {&state->message.window, &state->confirm.window, &state->txFormWindow, &state->balanceWindow,
             &state->adjustWindow, &state->moveWindow, &state->deleteRecurringWindow, &state->merge.window,
             &state->categoriesWindow, &state->accountsWindow, &state->fileDialogWindow})
        *slot = std::make_shared<WindowState>();

    const PageTable& pages = pageTable();
    if (pages.initNetwork)
        pages.initNetwork(*state);
    state->online = true;
    // Nothing is written while the folder is empty; the budget replaces it.
    state->store = newLocalStore("");
    splashEnabled(*state);
    return state;
}

std::string startBudgetFolder(const AppState& state)
{
    return budgetFolder(state.session.token.empty() ? "local" : std::to_string(state.session.user_id));
}

void finishAppState(AppState& state, BudgetRead read)
{
    bool signedIn = !state.session.token.empty();
    installBudget(state, signedIn ? std::to_string(state.session.user_id) : "local", std::move(read));

    const std::string& view = state.settings.view;
    state.view = view == "day" ? viewDay : view == "week" ? viewWeek : viewMonth;

    state.page = pageCalendar;
    if (!signedIn && !isRegularFile(joinPath(budgetFolder("local"), "data.json")))
        state.page = pageWelcome;

    const PageTable& pages = pageTable();
    if (pages.decideLegalPage)
        pages.decideLegalPage(state);
    saveBudget(state);
    if (pages.initSyncSchedule)
        pages.initSyncSchedule(state);
}

AppStateRef newAppState(AppWindowRef window)
{
    AppStateRef state = newAppStateWithoutBudget(window);
    finishAppState(*state, readBudget(startBudgetFolder(*state)));
    return state;
}

}  // namespace qm
