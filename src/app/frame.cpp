#include "app/frame.h"

#include <cmath>
#include <cstdlib>
#include <utility>

#include "app/budget_io.h"
#include "app/message_boxes.h"
#include "app/navigation.h"
#include "app/page_table.h"
#include "app/splash.h"
#include "app/toasts.h"
#include "app/today.h"
#include "core/errors.h"
#include "ui/tooltip.h"

namespace qm {

LayoutFlags layoutFlags(double logicalWidth, double logicalHeight, bool phone)
{
    LayoutFlags f;
    f.compact = phone || logicalWidth < 640;
    f.phoneLandscape = phone && 13 * logicalHeight <= 9 * logicalWidth && logicalHeight <= 620;
    return f;
}

void drawPage(AppState& state, const Rect& content)
{
    const PageTable& pages = pageTable();
    const std::function<void(AppState&, const Rect&)>* draw = &pages.drawCalendarPage;
    switch (state.page) {
    case pageSearch:
        draw = &pages.drawSearchPage;
        break;
    case pageReports:
        draw = &pages.drawReportsPage;
        break;
    case pageImport:
        draw = &pages.drawImportPage;
        break;
    case pageHelp:
        draw = &pages.drawHelpPage;
        break;
    case pageAccount:
        draw = &pages.drawAccountPage;
        break;
    case pageWelcome:
        draw = &pages.drawWelcomePage;
        break;
    default:
        break;
    }
    if (*draw)
        (*draw)(state, content);
}

void importDroppedStatement(AppState& state, const std::string& path)
{
    const PageTable& pages = pageTable();
    if (pages.loadImportFile) {
        pages.loadImportFile(state, path);
        showPage(state, pageImport);
    }
}

// A handler that raises must not end the program (and skip the shutdown
// save): the failure becomes an error toast and the frame goes on.
void handleFileDialogResult(AppState& state, const std::string& path)
{
    // Taken out first: the purpose may open the dialog again for another.
    const auto take = state.fileDialogPurpose.take;
    try {
        if (take)
            take(state, path);
    } catch (const ValueError& e) {
        showError(state, e.what());
    } catch (const IOError& e) {
        showError(state, e.what());
    }
}

void drawFrame(AppState& state, double dt, double elapsed)
{
    UiContextRef ui = state.ui;
    double zoom = state.settings.uiScale;
    if (ui->zoom != zoom || std::isnan(ui->zoom) || std::isnan(zoom))
        ui->zoom = zoom;
    beginFrame(*ui, dt);
    advanceToastClock(elapsed >= 0 ? elapsed : dt);
    state.todayDate = shellToday();
    const char* phone = std::getenv("QUENMRK_PHONE");
    double scale = ui->scale > 0 ? ui->scale : 1.0;
    LayoutFlags flags = layoutFlags(ui->viewWidth / scale, ui->viewHeight / scale, phone && *phone);
    state.compact = flags.compact;
    state.phoneLandscape = flags.phoneLandscape;
    const Color& surface = ui->theme.base[slotSurface];
    updateIfChanged(*state.window, surface.r, surface.g, surface.b);

    const PageTable& pages = pageTable();
    if (pages.pumpNetwork)
        pages.pumpNetwork(state);
    if (pages.pollUpdater)
        pages.pollUpdater(state);
    if (pages.runConfirmedAction && !state.confirm.confirmed.empty())
        pages.runConfirmedAction(state);
    state.tourAnchors.clear();

    if (state.termsDue) {
        if (pages.drawLegalPage)
            pages.drawLegalPage(state, {0, 0, ui->viewWidth, ui->viewHeight});
    } else {
        Rect content{0, 0, ui->viewWidth, ui->viewHeight};
        if (state.page != pageWelcome && pages.drawHeaderBar)
            content = pages.drawHeaderBar(state);
        drawPage(state, content);
        if (pages.drawTour)
            pages.drawTour(state);
        if (pages.drawTransactionForm)
            pages.drawTransactionForm(state);
        if (pages.drawDialogs)
            pages.drawDialogs(state);
        // Without a file dialog a path set by the loop is still handed on.
        std::string chosen =
            pages.drawFileDialog ? pages.drawFileDialog(state) : std::exchange(state.fileDialogResult, {});
        if (!chosen.empty())
            handleFileDialogResult(state, chosen);
        if (pages.drawUpdateDialog) {
            std::string answer = pages.drawUpdateDialog(state);
            if (answer == "quit" || answer == "restart")
                state.quitRequested = true;
        }
    }
    drawMessageBoxes(state);
    drawToasts(state);
    drawTooltip(*ui);
    drawSplash(state);
    endFrame(*ui);
    state.framesOnPage += 1;
}

}  // namespace qm
