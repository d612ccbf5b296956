#include "pages/import/import_page.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "app/app_text.h"
#include "app/budget_io.h"
#include "app/file_dialog.h"
#include "app/form_layout.h"
#include "app/icon_picker.h"
#include "app/navigation.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "pages/account/ofx_export_section.h"
#include "pages/import/import_page_internal.h"
#include "pages/import/import_wizard.h"
#include "platform/app_window.h"
#include "platform/render/primitives.h"
#include "platform/render/renderer.h"
#include "ui/label.h"
#include "ui/layout.h"
#include "ui/scroll_area.h"
#include "ui/spacing.h"
#include "ui/widget_id.h"
#include "ui/window.h"

namespace qm {

namespace {

using Wiz = ImportWizardFrame;

void drawIcon(Wiz& z, std::string_view name, const Rect& r, Color tint) { drawIconRef(z.state, 0, name, r, tint); }

void wrappedText(Wiz& z, std::string_view text)
{
    UiContext& ui = *z.state.ui;
    beginLayoutInRect(z.state, {z.x, z.y, z.width, 0});
    wrappedLabel(ui, text, 1, 0);
    z.y = layoutCursor(ui);
    popLayout(ui);
}

void dashedOutline(Wiz& z, const Rect& zone)
{
    Renderer& r = *z.state.renderer;
    const double lw = dp(*z.state.ui, 1.5), dash = dp(*z.state.ui, 6), gap = dp(*z.state.ui, kSpaceTight),
                 in = dp(*z.state.ui, 1);
    const Color c = z.slot(slotBorder);
    const double left = zone.x + in, right = zone.x + zone.w - in - lw;
    const double top = zone.y + in, bottom = zone.y + zone.h - in - lw;
    for (double x = left; x < right; x += dash + gap) {
        double len = std::min(dash, right - x);
        fillRect(r, {x, top, len, lw}, c);
        fillRect(r, {x, bottom, len, lw}, c);
    }
    for (double y = top; y < bottom; y += dash + gap) {
        double len = std::min(dash, bottom - y);
        fillRect(r, {left, y, lw, len}, c);
        fillRect(r, {right, y, lw, len}, c);
    }
}

void chooseFileStep(Wiz& z)
{
    AppState& s = z.state;
    drawText(s, "Import from OFX / QFX", {z.x, z.y, z.width, dp(*z.state.ui, 26)}, dp(*z.state.ui, 18),
        z.slot(slotText), 0, 700);
    z.y += dp(*z.state.ui, 26) + dp(*z.state.ui, 4);
    wrappedText(z, "Open a bank or financial export file to preview and selectively import transactions.");
    z.y += dp(*z.state.ui, 14);
    Rect zone{z.x, z.y, z.width, dp(*z.state.ui, 180)};
    fillRoundRect(*s.renderer, zone, dp(*z.state.ui, 12), withAlpha(z.slot(slotBackgroundAlt), 0.5));
    dashedOutline(z, zone);
    const double cx = zone.x + zone.w / 2;
    drawIcon(z, "upload",
        {cx - dp(*z.state.ui, 18), zone.y + dp(*z.state.ui, 22), dp(*z.state.ui, 36), dp(*z.state.ui, 36)},
        z.slot(slotAccent));
    drawText(s, hasAsyncFileDialog() ? "Pick a file from your device" : "Drop a file on the window, or",
        {zone.x, zone.y + dp(*z.state.ui, 64), zone.w, dp(*z.state.ui, 22)}, dp(*z.state.ui, 13.5), z.slot(slotText),
        0.5, 600);
    const double bw = dp(*z.state.ui, 140);
    if (button(s, "ie-choose", "Choose File", {cx - bw / 2, zone.y + dp(*z.state.ui, 96), bw, rowHeight(*s.ui)},
            {.style = buttonPrimary}))
        openFileDialog(s, statementImport(), {".ofx", ".qfx"}, "");
    drawText(s, "Supports: .ofx, .qfx  (Quicken, most banks)",
        {zone.x, zone.y + dp(*z.state.ui, 140), zone.w, dp(*z.state.ui, 18)}, dp(*z.state.ui, 11.5),
        z.slot(slotTextTertiary), 0.5, 400);
    z.y += zone.h;
    if (!z.w.importError.empty()) {
        z.y += dp(*z.state.ui, 10);
        drawText(s, z.w.importError, {z.x, z.y, z.width, dp(*z.state.ui, 22)}, dp(*z.state.ui, 12.5),
            z.slot(slotDanger), 0, 500);
        z.y += dp(*z.state.ui, 22);
    }
    z.y += dp(*z.state.ui, 20);
}

// While a statement is read: what is being read, a bar that moves, and a
// way out.
void readingStep(Wiz& z, const std::string& name)
{
    AppState& s = z.state;
    drawText(
        s, "Reading " + name, {z.x, z.y, z.width, dp(*z.state.ui, 26)}, dp(*z.state.ui, 18), z.slot(slotText), 0, 700);
    z.y += dp(*z.state.ui, 26) + dp(*z.state.ui, 4);
    wrappedText(z,
        "The statement is being read and checked against your budget for duplicates and recurring "
        "payments. You can keep using the program meanwhile.");
    z.y += dp(*z.state.ui, 14);
    const Rect track{z.x, z.y, z.width, dp(*z.state.ui, 6)};
    fillRoundRect(*s.renderer, track, track.h / 2, withAlpha(z.slot(slotBackgroundAlt), 0.8));
    const double band = track.w / 4;
    const double phase = std::fmod(uiClock(s) / 1.6, 1.0);
    const double left = track.x + (track.w + band) * phase - band;
    const double from = std::max(track.x, left), to = std::min(track.x + track.w, left + band);
    if (to > from)
        fillRoundRect(*s.renderer, {from, track.y, to - from, track.h}, track.h / 2, z.slot(slotAccent));
    z.y += track.h + dp(*z.state.ui, 18);
    const double bw = dp(*z.state.ui, 120);
    if (button(s, "ie-cancel-load", "Cancel", {z.x, z.y, bw, rowHeight(*s.ui)})) {
        dropImportLoad(z.w);
        requestAppRedraw(s);
    }
    z.y += rowHeight(*s.ui) + dp(*z.state.ui, 20);
}

void completeStep(Wiz& z)
{
    AppState& s = z.state;
    const double cx = z.x + z.width / 2;
    drawIcon(z, "check_circle", {cx - dp(*z.state.ui, 28), z.y, dp(*z.state.ui, 56), dp(*z.state.ui, 56)},
        z.slot(slotSuccess));
    z.y += dp(*z.state.ui, 56) + dp(*z.state.ui, 10);
    drawText(s, "Import Complete", {z.x, z.y, z.width, dp(*z.state.ui, 30)}, dp(*z.state.ui, 20), z.slot(slotText), 0.5,
        700);
    z.y += dp(*z.state.ui, 30) + dp(*z.state.ui, 4);
    drawText(s, z.w.importSummary, {z.x, z.y, z.width, dp(*z.state.ui, 22)}, dp(*z.state.ui, 13),
        z.slot(slotTextSecondary), 0.5, 400);
    z.y += dp(*z.state.ui, 22) + dp(*z.state.ui, 16);
    const double h = rowHeight(*s.ui), pair = dp(*z.state.ui, 150 + 10 + 190);
    double x = cx - pair / 2;
    if (button(s, "ie-viewcal", "View Calendar", {x, z.y, dp(*z.state.ui, 150), h}, {.style = buttonPrimary}))
        showPage(s, pageCalendar);
    if (button(s, "ie-another", "Import Another File", {x + dp(*z.state.ui, 160), z.y, dp(*z.state.ui, 190), h}))
        restartImportWizard(s);
    z.y += h + dp(*z.state.ui, 28);
}

}  // namespace

double importChipWidth(const AppState& state, std::string_view label)
{
    return measureText(state, label, dp(*state.ui, 11.5), 600) + dp(*state.ui, 20);
}

bool drawImportChip(AppState& state, std::string_view id, std::string_view label, const Rect& rect, Color color,
    bool selected, bool dimmed)
{
    UiContext& ui = *state.ui;
    Rect r{rect.x, rect.y, importChipWidth(state, label), rect.h};
    InteractResult res = interact(ui, widgetId(ui, id), r, 1);
    const double factor = dimmed ? 0.4 : 1.0, radius = r.h / 2;
    fillRoundRect(*state.renderer, r, radius, selected ? color : withAlpha(color, 0.14 * factor));
    if (res.hovered && !selected)
        strokeRoundRect(*state.renderer, r, radius, 1, withAlpha(color, factor));
    drawText(state, label, r, dp(*state.ui, 11.5),
        selected ? ui.theme.base[slotContrastLight] : withAlpha(color, factor), 0.5, 600);
    return res.clicked;
}

void importFilterChip(AppState& state, double& x, std::string_view id, std::string_view label, std::string_view key,
    Color color, const Rect& row)
{
    ImportWizardState& w = importWizardState(state);
    const bool selected = key == w.importFilter;
    const bool dimmed = !key.empty() && !selected && !w.importFilter.empty();
    if (drawImportChip(state, id, label, {x, row.y, 0, row.h}, color, selected, dimmed)) {
        w.importFilter = selected ? std::string() : std::string(key);
        requestAppRedraw(state);
    }
    x += importChipWidth(state, label) + dp(*state.ui, 8);
}

void drawImportWizard(AppState& state)
{
    UiContext& ui = *state.ui;
    ImportWizardState& w = importWizardState(state);
    const LayoutFrame f = currentLayout(ui);
    Wiz z{state, w, ui.theme, {}, 0, 0, layoutCursor(ui)};
    // Rows outside the clip (the scroll area's band) are not drawn.
    z.view = currentClip(*state.renderer);
    const double inset = dp(ui, 20);
    z.x = f.x + inset;
    z.width = std::max(0.0, f.w - 2 * inset);
    const double top = z.y;
    const int32_t step = w.importStep;
    // A file that fails while a review is shown leaves that review up; its
    // step has no place for the reason, so a toast gives it.
    if (step == importReview && !w.importError.empty()) {
        showError(state, w.importError);
        w.importError.clear();
    }
    const std::string reading = importLoadingName(w);
    z.y += dp(ui, step == importComplete && reading.empty() ? 28 : 18);
    if (!reading.empty())
        readingStep(z, reading);
    else if (step == importReview)
        drawImportReview(z);
    else if (step == importComplete)
        completeStep(z);
    else
        chooseFileStep(z);
    strokeRoundRect(*state.renderer, {f.x, top, f.w, z.y - top}, dp(ui, 14), 1, z.slot(slotShadeStrong));
    setLayoutCursor(ui, z.y);
    extendLayout(ui, z.y);
}

void drawImportPage(AppState& state, const Rect& rect)
{
    pollImportLoad(state);
    UiContext& ui = *state.ui;
    const bool compact = state.compact;
    const double m = dp(*state.ui, compact ? 12 : 28);
    const double w = std::max(0.0, std::min(dp(*state.ui, 1180), rect.w - 2 * m));
    if (isPageActive(state, pageImport))
        resetScroll(ui, "iepage");
    beginScrollArea(ui, "iepage", rect, colorTransparent, false);
    const double x0 = rect.x + (rect.w - w) / 2;
    double y = layoutCursor(ui) + dp(*state.ui, compact ? 14 : 24);
    const Theme& t = ui.theme;

    const double backW = measureText(state, "Account Settings", dp(*state.ui, 13), 500) + dp(*state.ui, 30);
    Rect back{x0 - dp(*state.ui, 6), y, backW, dp(*state.ui, 28)};
    InteractResult res = interact(ui, widgetId(ui, "ie-back"), back, 1);
    if (res.hovered)
        fillRoundRect(*state.renderer, back, dp(*state.ui, 6), t.base[slotHover]);
    drawIconRef(state, 0, "chevron_left",
        {back.x + dp(*state.ui, 4), back.y + dp(*state.ui, 5), dp(*state.ui, 18), dp(*state.ui, 18)},
        t.base[slotTextSecondary]);
    drawText(state, "Account Settings", {back.x + dp(*state.ui, 24), back.y, backW, back.h}, dp(*state.ui, 13),
        t.base[slotTextSecondary], 0, 500);
    if (res.clicked)
        showPage(state, pageAccount);
    y += back.h;

    const double titleH = dp(*state.ui, compact ? 30 : 36);
    drawText(
        state, "Import Transactions", {x0, y, w, titleH}, dp(*state.ui, compact ? 20 : 24), t.base[slotText], 0, 700);
    y += titleH + dp(*state.ui, compact ? 6 : 10);

    pushLayout(ui, {x0, y, w, 0});
    drawImportWizard(state);
    y = layoutCursor(ui) + dp(*state.ui, 40);
    popLayout(ui);
    setLayoutCursor(ui, y);
    extendLayout(ui, y);
    endScrollArea(ui, "iepage");
}

void fillImportPageTable(PageTable& table)
{
    table.drawImportPage = drawImportPage;
    table.loadImportFile = loadImportFile;
    table.exportOfxFile = exportOfxFile;
    table.setOfxRange = setOfxRange;
}

}  // namespace qm
