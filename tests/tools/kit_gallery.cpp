// Draws every widget of the application's kit in a real window for review:
//   kit_gallery LAYOUT [OPEN]   LAYOUT: wide or compact; OPEN: date, select
//                               or icons (that popover open), dialog (a
//                               dialog with a footer note), ofx (the OFX
//                               export section alone, in a card) or none
// It honours QUENMRK_WINDOW, QUENMRK_THEME, QUENMRK_SHOT, QUENMRK_TEST_FRAMES
// and the window's QUENMRK_SCALE. Standard output: the widgets of the last
// frame as one JSON line ({"widgets": [{"label", "rect"}...]}).
#include "app/app_state.h"
#include "app/app_text.h"
#include "app/date_field.h"
#include "app/display_elements.h"
#include "app/fonts.h"
#include "app/form_layout.h"
#include "app/icon_picker.h"
#include "app/icon_textures.h"
#include "app/money_field.h"
#include "app/popover.h"
#include "app/select_field.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "codecs/image/png.h"
#include "core/ascii.h"
#include "core/json.h"
#include "pages/account/ofx_export_section.h"
#include "platform/app_window.h"
#include "platform/render/gl_entry_points.h"
#include "platform/render/primitives.h"
#include "platform/x11/x11_start.h"
#include "ui/context.h"
#include "ui/env_switches.h"
#include "ui/hit_test.h"
#include "ui/input.h"
#include "ui/layout.h"
#include "ui/tooltip.h"
#include "ui/widget_id.h"
#include "ui/window.h"
#include "window_capture.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

using namespace qm;

struct Gallery {
    int32_t view = 0;
    Date start = date(2025, 3, 12);
    Date end = date(2025, 6, 30);
    bool hasEnd = true;
    Date noEnd = date(2025, 3, 1);
    bool hasNoEnd = false;
    int32_t account = 1;
    int64_t icon = 11;
    std::string amount = "1,250.00";
    bool repeat = true;
    WindowState dialog;
};

Budget galleryBudget()
{
    Budget b;
    b.categories = {{1, "Groceries", "#378450"}, {2, "Rent", "#4378ad"}, {3, "Fun", "#a55d96"}};
    const char* names[] = {"home", "cart", "food", "plane", "savings", "heart", "school"};
    int64_t id = 10;
    for (const char* n : names)
        b.icons.push_back({id++, n, std::string("builtin:") + n});
    b.icons.push_back({id++, "Custom", "https://example.invalid/pic.png"});
    b.user.first_name = "Quinn";
    b.user.last_name = "Marsh";
    return b;
}

std::vector<SelectOption> accountOptions()
{
    return {{"Checking", "Main account", hexColor(0x4378ad, 1), "", 0, 1},
        {"Savings", "", hexColor(0x378450, 1), "", 0, 2}, {"Credit card", "Due on the 5th", {}, "", 0, 3},
        {"Groceries", "", hexColor(0x378450, 1), "cart", 11, 4}};
}

void drawPage(AppState& state, Gallery& g, bool withDialog)
{
    UiContext& ui = *state.ui;
    double s = ui.scale;
    double pad = 16 * s;
    pushLayout(ui, {pad, pad, ui.viewWidth - 2 * pad, ui.viewHeight - 2 * pad});
    const Rect page = layoutRect(ui);
    bool compact = state.compact;

    layoutCaption(state, "Buttons");
    static const char* styles[] = {"primary", "secondary", "danger", "ghost", "ghost-danger", "link"};
    static const ButtonStyle looks[] = {
        buttonPrimary, buttonNormal, buttonDanger, buttonQuiet, buttonQuietDanger, buttonLink};
    int perRow = compact ? 3 : 6;
    double bw = (page.w - (perRow - 1) * 8 * s) / perRow;
    Rect line;
    for (int i = 0; i < 6; ++i) {
        if (i % perRow == 0)
            line = nextLayoutRect(ui, 34 * s, 0);
        Rect b{page.x + (i % perRow) * (bw + 8 * s), line.y, bw, 34 * s};
        std::string label = styles[i];
        label[0] = char(label[0] - 'a' + 'A');
        button(state, std::string("kb-") + styles[i], label, b, {.style = looks[i], .icon = i == 0 ? "add" : ""});
    }
    Rect row = nextLayoutRect(ui, 34 * s, 0);
    double third = (row.w - 16 * s) / 3;
    button(state, "kb-disabled", "Disabled", {row.x, row.y, third, row.h},
        {.style = buttonPrimary, .icon = "check", .disabled = true});
    button(state, "kb-long", "A label far too long for its button", {row.x + third + 8 * s, row.y, third * 0.7, row.h},
        {.icon = "upload"});
    double ix = row.x + 2 * third + 16 * s;
    if (compact) {
        row = nextLayoutRect(ui, 34 * s, 0);
        ix = row.x;
    }
    iconOnlyButton(state, "kb-icon", "settings", {ix, row.y, 34 * s, 34 * s}, {.tooltip = "Settings"});
    iconOnlyButton(state, "kb-accent", "add", {ix + 40 * s, row.y, 34 * s, 34 * s}, {.tooltip = "Add", .accent = true});
    iconOnlyButton(state, "kb-icon-off", "delete", {ix + 80 * s, row.y, 34 * s, 34 * s}, {.disabled = true});
    iconOnlyButton(state, "kb-tint", "savings", {ix + 120 * s, row.y, 34 * s, 34 * s}, {.tint = hexColor(0xa55d96, 1)});
    Rect seg = nextLayoutRect(ui, 34 * s, std::min(page.w, 320 * s));
    segmentedControl(state, "kb-view", g.view, {"Month", "Week", "Day"}, seg);

    layoutCaption(state, "Fields");
    std::vector<Rect> cols = formColumns(state, 3, 0, 12, true);
    auto labelled = [&](const Rect& c, const char* label) {
        drawText(state, compact ? asciiUpper(label) : std::string(label), {c.x, c.y, c.w, 18 * s},
            (compact ? 11 : 12) * s, ui.theme.base[slotTextSecondary], 0, 600);
        return Rect{c.x, c.y + 22 * s, c.w, c.h - 22 * s};
    };
    dateField(state, "start", g.start, labelled(cols[0], "Start date"), false);
    optionalDateField(state, "end", g.end, g.hasEnd, labelled(cols[1], "End date"), "No end", false);
    optionalDateField(state, "noend", g.noEnd, g.hasNoEnd, labelled(cols[2], "Until"), "Forever", false);
    cols = formColumns(state, 3, 0, 12, true);
    std::vector<SelectOption> options = accountOptions();
    SelectResult sel = selectField(state, "account", options[size_t(g.account)].label, options, g.account,
        labelled(cols[0], "Account"), "No account", "Manage accounts", options[size_t(g.account)].color, false);
    if (sel.changed && sel.index >= 0)
        g.account = sel.index;
    iconPicker(state, "cat", g.icon, 1, labelled(cols[1], "Icon"));
    amountField(state, "kb-amount", g.amount, labelled(cols[2], "Amount"), "0.00", false);
    fieldLabel(state, "Disabled select");
    selectField(state, "off", "Nothing to choose", {}, -1, nextLayoutRect(ui, 32 * s, std::min(page.w, 260 * s)), "",
        "", colorTransparent, true);
    checkField(state, "Repeat every month until the end date", g.repeat, false);

    layoutCaption(state, "Display");
    Rect cards = nextLayoutRect(ui, 80 * s, 0);
    double cw = (cards.w - 16 * s) / 3;
    infoCard(state, {cards.x, cards.y, cw, cards.h}, "Balance today", "$2,480.15", colorTransparent, {.large = true});
    infoCard(state, {cards.x + cw + 8 * s, cards.y, cw, cards.h}, "Lowest", "-$120.00", ui.theme.base[slotDanger],
        {.highlighted = true});
    captionValue(
        state, {cards.x + 2 * (cw + 8 * s), cards.y + 8 * s, cw, 40 * s}, "Spent", "$812.40", colorTransparent);
    Rect pills = nextLayoutRect(ui, 24 * s, 0);
    double px = pills.x;
    px += statusPill(state, "PAID", "paid", {px, pills.y, 100 * s, pills.h}) + 8 * s;
    px += statusPill(state, "ADJUSTED", "adjusted", {px, pills.y, 100 * s, pills.h}) + 8 * s;
    px += statusPill(state, "Paid", "Paid", {px, pills.y, 100 * s, pills.h}) + 16 * s;
    drawAvatar(state, {px, pills.y - 8 * s, 40 * s, 30 * s}, 0);
    fillCircleAt(state, px + 60 * s, pills.y + 12 * s, 6 * s, ui.theme.base[slotSuccess]);
    Rect menu = nextLayoutRect(ui, 34 * s, std::min(page.w, 280 * s));
    menuItem(state, "kb-menu", "Groceries", menu, true, "", [&](const Rect& box) {
        iconBadge(state, 11, "cart", hexColor(0x378450, 1), {box.x, box.y + (box.h - 22 * s) / 2, 22 * s, 22 * s});
    });
    Rect menu2 = nextLayoutRect(ui, 40 * s, std::min(page.w, 280 * s));
    menuItem(state, "kb-menu2", "Delete account", menu2, false, "Removes every transaction", {}, true);
    drawDivider(state, menu2.x, menu2.x + menu2.w, menu2.y + menu2.h + 2 * s, ui.theme.base[slotShadeStrong]);
    popLayout(ui);

    if (!withDialog)
        return;
    DialogSize size = dialogSize(state, 380, 170);
    g.dialog.open = true;
    if (!g.dialog.positioned) {
        g.dialog.rect = {
            ui.viewWidth - size.width - 8 * s, ui.viewHeight - size.height - 8 * s, size.width, size.height};
        g.dialog.positioned = true;
    }
    if (beginWindow(ui, "kb-dialog", "Footer note", g.dialog, size.width / s, size.height / s,
            {.modal = false, .dimBackdrop = false})) {
        sectionCaption(state, "A dialog body", nextLayoutRect(ui, 16 * s, 0), 0);
        footerNote(
            state, "Changes are saved on this device and sent with the next sync.", colorTransparent, 0, 150 * s);
        beginRow(ui, 34 * s, {-1, 70 * s, 70 * s});
        skipRowCell(ui);
        flowButton(state, "kb-cancel", "Cancel");
        flowButton(state, "kb-ok", "OK", {.style = buttonPrimary});
        endRow(ui);
        endWindow(ui);
    }
}

// The OFX export section in a card, as the account page hosts it.
void drawOfxCard(AppState& state)
{
    UiContext& ui = *state.ui;
    const double s = ui.scale, m = (state.compact ? 12 : 28) * s;
    Rect card{m, m, std::min(ui.viewWidth - 2 * m, 640 * s), 0};
    pushLayout(ui, {card.x + 20 * s, card.y + 18 * s, card.w - 40 * s, 0});
    sectionCaption(state, "Export to OFX", nextLayoutRect(ui, 20 * s, 0), 0);
    drawOfxExportSection(state);
    const double bottom = layoutCursor(ui) + 18 * s;
    popLayout(ui);
    strokeRoundRect(
        *state.renderer, {card.x, card.y, card.w, bottom - card.y}, 14 * s, 1, ui.theme.base[slotShadeStrong]);
}

}  // namespace

int main(int argc, char** argv)
{
    std::string layout = argc > 1 ? argv[1] : "wide";
    std::string opening = argc > 2 ? argv[2] : "none";
    AutomationSwitches sw = readAutomationSwitches();
    startPlatform();
    AppWindowRef window;
    try {
        window = newAppWindow("kit gallery", sw.windowWidth, sw.windowHeight, false);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kit_gallery: %s\n", e.what());
        return 1;
    }
    FontSet fonts = loadBuiltinFonts();
    RendererRef renderer = newRenderer();
    UiContextRef ctx = newUiContext(window, renderer, fonts.sans400, fonts.sans600);
    if (sw.theme == "dark")
        fillDarkTheme(ctx->theme);
    ctx->recorder = std::make_unique<WidgetRecorder>();
    Gallery g;
    AppState state;
    state.window = window;
    state.ui = ctx;
    state.renderer = renderer;
    state.fonts = fonts;
    state.todayDate = date(2025, 3, 12);
    state.compact = layout == "compact";
    state.store = newLocalStore("");
    *state.store->budget = galleryBudget();
    int frames = 0;
    int shotAt = sw.shotFrames > 0 ? sw.shotFrames : 3;
    for (;;) {
        for (const WindowEvent& e : pollEvents(*window))
            feedEvent(*ctx, e);
        if (window->closeRequested)
            break;
        Color bg = ctx->theme.base[slotBackground];
        qm::glViewport(0, 0, window->width, window->height);
        qm::glClearColor(bg.r, bg.g, bg.b, 1);
        qm::glClear(GL_COLOR_BUFFER_BIT);
        beginFrame(*ctx, 1.0 / 60);
        if (frames == 1) {
            if (opening == "date")
                openPopup(*ctx, widgetId(*ctx, "calpopstart"), {});
            else if (opening == "select")
                openPopup(*ctx, widgetId(*ctx, "pickeraccount"), {});
            else if (opening == "icons")
                openPopup(*ctx, widgetId(*ctx, "iconpickcat"), {});
        }
        if (opening == "ofx")
            drawOfxCard(state);
        else
            drawPage(state, g, opening == "dialog");
        drawTooltip(*ctx);
        endFrame(*ctx);
        ++frames;
        if (!sw.shotPath.empty() && frames >= shotAt) {
            savePng(*testing_capture::readWindowFramebuffer(window->width, window->height), sw.shotPath);
            break;
        }
        swapBuffers(*window);
        if (sw.shotPath.empty() && sw.testFrames > 0 && frames >= sw.testFrames)
            break;
        usleep(10000);
    }
    Json widgets = Json::array();
    for (const WidgetRecord& w : ctx->recorder->records)
        widgets.push_back(Json{{"label", w.label}, {"rect", {w.rect.x, w.rect.y, w.rect.w, w.rect.h}}});
    std::string line = Json{{"widgets", widgets}}.dump();
    std::printf("%s\n", line.c_str());
    releaseIconTextures();
    closeWindow(*window);
    return 0;
}
