#include "app/kit_bridge.h"

#include "app/budget_io.h"

namespace qm {

KitApp kitApp(AppState& state)
{
    KitApp app;
    app.ui = state.ui.get();
    app.fonts = &state.fonts;
    app.todayDate = state.todayDate;
    app.compact = state.compact;
    app.budget = state.store ? state.store->budget.get() : nullptr;
    app.sessionEmail = state.session.email;
    app.showError = [&state](const std::string& text) { showError(state, text); };
    return app;
}

}  // namespace qm
