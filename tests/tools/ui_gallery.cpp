// Shows every widget of the UI toolkit in a real window, page by page, for
// screenshots and input scripts under Xvfb.
//   ui_gallery PAGE      PAGE: labels, icons, forms or dialogs
// It honours the shell's automation switches (read through the toolkit's
// switch reader): QUENMRK_WINDOW, QUENMRK_THEME, QUENMRK_SHOT,
// QUENMRK_TEST_FRAMES, QUENMRK_TEST_CLICK, QUENMRK_TEST_WHEEL, and the
// window's QUENMRK_SCALE. Standard output: one JSON object a line for every
// action the page reports ({"action": ...}, {"commit": ...}), then the
// widgets of the last frame ({"widgets": [{"label", "rect"}...]}) and
// {"frames": N} at the end.
#include "codecs/font/builtin_fonts.h"
#include "codecs/image/png.h"
#include "core/json.h"
#include "platform/app_window.h"
#include "platform/keys.h"
#include "platform/render/gl_entry_points.h"
#include "platform/render/primitives.h"
#include "platform/x11/x11_start.h"
#include "ui/button.h"
#include "ui/checkbox.h"
#include "ui/combo_box.h"
#include "ui/context.h"
#include "ui/env_switches.h"
#include "ui/hit_test.h"
#include "ui/icons.h"
#include "ui/input.h"
#include "ui/label.h"
#include "ui/layout.h"
#include "ui/menu.h"
#include "ui/scroll_area.h"
#include "ui/text.h"
#include "ui/text_input.h"
#include "ui/tooltip.h"
#include "ui/trail.h"
#include "ui/widget_id.h"
#include "ui/widget_state.h"
#include "ui/window.h"
#include "ui/wrap.h"
#include "window_capture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace qm;

void emit(const Json& j)
{
    std::string line = j.dump(-1, ' ', false, Json::error_handler_t::replace);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

struct Gallery {
    std::string description;
    std::string password = "p\xC3\xA4ssword";
    std::string disabled = "Read only";
    std::string amount = "12.50";
    bool remember = true;
    bool notify = false;
    bool disabledOn = true;
    bool disabledOff = false;
    bool wrapInRow = false;
    int clicks = 0;
    // Dialogs page.
    WindowState form, message, resizable;
    std::string formDescription = "Groceries";
    std::string formAmount = "42.00";
    int32_t repeat = 2, theme = -1, category = 5, bottom = 0;
    bool formReminder = true;
    int64_t formFieldId = 0;
};

void heading(UiContext& ctx, const char* text) { textBlock(ctx, text, 0, 0, 1, 1); }

void labelsPage(UiContext& ctx, Gallery& g)
{
    Rect view{0, 0, ctx.viewWidth, ctx.viewHeight};
    double pad = dp(ctx, 16);
    pushLayout(ctx, {pad, pad, view.w - 2 * pad, view.h - 2 * pad});
    heading(ctx, "Labels and links");
    textBlock(ctx, "A plain label in the body text colour.", 0, 0, 0, 0);
    textBlock(ctx, "A secondary label, and a tertiary one below.", 0, 0, 1, 0);
    textBlock(ctx, "Tertiary text.", 0, 0, 2, 0);
    std::string link = textBlock(ctx, "Read the user guide or visit the web site.", 0, 0, 0, 0,
        {{"user guide", "#guide"}, {"web site", "https://example.org"}});
    if (!link.empty())
        emit(Json{{"link", link}});
    link = wrappedLabel(ctx,
        "A paragraph that wraps to the width of the page. Plans made today show on the calendar "
        "tomorrow; the help pages explain how balances are carried from one month to the next.",
        0, 0, {{"help pages", "#help"}});
    if (!link.empty())
        emit(Json{{"link", link}});

    heading(ctx, "Check boxes");
    beginRow(ctx, smallRowHeight(ctx), {-1, -1, -1, -1});
    checkbox(ctx, "Remember me", g.remember, {.wrapInRow = true});
    checkbox(ctx, "Notify", g.notify, {.wrapInRow = true});
    checkbox(ctx, "Disabled on", g.disabledOn, {.disabled = true, .wrapInRow = true});
    checkbox(ctx, "Disabled off", g.disabledOff, {.disabled = true, .wrapInRow = true});
    endRow(ctx);

    heading(ctx, "Buttons");
    const char* styles[] = {"Normal", "Primary", "Quiet", "Danger"};
    for (uint8_t style = 0; style < 4; ++style) {
        beginRow(ctx, rowHeight(ctx), {-1, -1, -1, -1});
        std::string name = styles[style];
        if (iconButton(ctx, name, {.style = ButtonStyle(style)}))
            ++g.clicks;
        iconButton(ctx, name + " icon", {.style = ButtonStyle(style), .icon = icSave});
        iconButton(ctx, name + " disabled", {.style = ButtonStyle(style), .disabled = true});
        Rect r = nextLayoutRect(ctx, 0, 0);
        drawButton(ctx, widgetId(ctx, name + " active"), name + " active", r,
            {.style = ButtonStyle(style), .icon = icCheck, .active = true});
        endRow(ctx);
    }
    beginRow(ctx, rowHeight(ctx), {rowHeight(ctx), rowHeight(ctx), -1});
    plainIconButton(ctx, widgetId(ctx, "close"), nextLayoutRect(ctx, 0, 0), "Close", {.icon = icClose});
    plainIconButton(
        ctx, widgetId(ctx, "settings"), nextLayoutRect(ctx, 0, 0), "Settings", {.icon = icSettings, .active = true});
    textBlock(ctx, "Icon-only buttons with tooltips", 0, 0, 1, 0);
    endRow(ctx);
    popLayout(ctx);
}

void iconsPage(UiContext& ctx)
{
    double pad = dp(ctx, 16), cell = dp(ctx, 80), icon = dp(ctx, 28);
    int columns = std::max(1, int((ctx.viewWidth - 2 * pad) / cell));
    Color ink = ctx.theme.base[slotText];
    for (int k = 1; k < kIconKinds; ++k) {
        int i = k - 1;
        double x = pad + (i % columns) * cell, y = pad + (i / columns) * dp(ctx, 58);
        drawIcon(*ctx.renderer, IconKind(k), {x + (cell - icon) / 2, y, icon, icon}, ink, 1.0);
        uiDrawText(ctx, std::string(iconName(IconKind(k))).substr(2), {x, y + icon + dp(ctx, 2), cell, dp(ctx, 16)},
            smallFontSize(ctx) - dp(ctx, 2), ctx.theme.base[slotTextSecondary], 0.5, 0);
    }
}

void commit(const char* field, TextEditResult r, const std::string& text)
{
    if (r != editNone)
        emit(Json{{"commit", field}, {"text", text}, {"result", int(r)}});
}

void formsPage(UiContext& ctx, Gallery& g)
{
    double pad = dp(ctx, 16);
    double half = (ctx.viewWidth - 3 * pad) / 2;
    pushLayout(ctx, {pad, pad, half, ctx.viewHeight - 2 * pad});
    heading(ctx, "Text fields");
    commit(
        "Description", textInput(ctx, "Description", g.description, {.placeholder = "What is it for?"}), g.description);
    commit("Password", textInput(ctx, "Password", g.password, {.placeholder = "Password", .masked = true}), g.password);
    commit("Disabled", textInput(ctx, "Disabled", g.disabled, {.disabled = true}), g.disabled);
    Rect amountRect = nextLayoutRect(ctx, rowHeight(ctx), dp(ctx, 160));
    commit("Amount",
        textEdit(ctx, widgetId(ctx, "Amount"), g.amount, amountRect, {.placeholder = "0.00", .selectAllOnClick = true}),
        g.amount);
    heading(ctx, "Progress");
    progressBar(ctx, 0.3, "Uploading 3 of 10");
    progressBar(ctx, 1.0, "Done");
    progressBar(ctx, -1, "");
    heading(ctx, "Context menu");
    Rect target = nextLayoutRect(ctx, dp(ctx, 60), 0);
    fillRoundRect(*ctx.renderer, target, cornerRadius(ctx), ctx.theme.base[slotBackgroundDeep]);
    uiDrawText(ctx, "Right-click here", target, 0, ctx.theme.base[slotTextSecondary], 0.5, 0);
    if (ctx.buttonsPressed[3] && ctx.popupId == 0 && rectContains(target, ctx.pointerX, ctx.pointerY))
        openContextMenu(ctx, "gallery", ctx.pointerX, ctx.pointerY);
    if (contextMenu(ctx, "gallery", 0)) {
        if (menuEntry(ctx, "Rename", "F2", true, icText))
            emit(Json{{"menu", "Rename"}});
        if (menuEntry(ctx, "Duplicate", "Ctrl+D", true, icCopy))
            emit(Json{{"menu", "Duplicate"}});
        menuSeparator(ctx);
        menuEntry(ctx, "Delete", "Del", false, icDelete);
        endMenu(ctx);
    }
    popLayout(ctx);

    Rect outer{2 * pad + half, pad, half, ctx.viewHeight - 2 * pad};
    beginScrollArea(ctx, "outer", outer, ctx.theme.base[slotSurface], true);
    indent(ctx, dp(ctx, 8));
    for (int i = 0; i < 6; ++i)
        textBlock(ctx, "Outer row " + std::to_string(i + 1), 0, 0, 0, 0);
    Rect innerRect = nextLayoutRect(ctx, dp(ctx, 160), availableWidth(ctx) - dp(ctx, 8));
    beginScrollArea(ctx, "inner", innerRect, ctx.theme.base[slotBackgroundAlt], true);
    indent(ctx, dp(ctx, 8));
    for (int i = 0; i < 20; ++i)
        textBlock(ctx, "Inner row " + std::to_string(i + 1), 0, 0, 1, 0);
    endScrollArea(ctx, "inner");
    for (int i = 6; i < 30; ++i)
        textBlock(ctx, "Outer row " + std::to_string(i + 1), 0, 0, 0, 0);
    endScrollArea(ctx, "outer");
}

const std::vector<std::string> kRepeats = {
    "Once", "Every day", "Every week", "Every two weeks", "Every month", "Every year"};
const std::vector<std::string> kThemes = {"Light", "Dark", "Follow the system"};

std::vector<std::string> categories()
{
    std::vector<std::string> out;
    for (const char* c : {"Groceries", "Rent", "Utilities", "Transport", "Insurance", "Eating out", "Health",
             "Clothing", "Gifts", "Holidays", "Savings", "Salary", "Interest", "Fees", "Other"})
        out.push_back(c);
    return out;
}

void openForm(UiContext& ctx, Gallery& g)
{
    (void)ctx;
    g.form.open = true;
    g.form.focusOnOpen = "Description";
}

void dialogsPage(UiContext& ctx, Gallery& g)
{
    double pad = dp(ctx, 16);
    pushLayout(ctx, {pad, pad, ctx.viewWidth - 2 * pad, ctx.viewHeight - 2 * pad});
    heading(ctx, "Windows and dialogs");
    beginRow(ctx, rowHeight(ctx), {-1, -1, -1});
    if (iconButton(ctx, "Open form", {.style = buttonPrimary, .icon = icNew}))
        openForm(ctx, g);
    if (iconButton(ctx, "Message", {.icon = icInfo}))
        g.message.open = true;
    if (iconButton(ctx, "Resizable", {.icon = icPanelFloat}))
        g.resizable.open = true;
    endRow(ctx);
    heading(ctx, "Combo boxes");
    beginRow(ctx, rowHeight(ctx), {-1, -1, -1});
    Rect a = nextLayoutRect(ctx, 0, 0);
    if (comboBox(ctx, widgetId(ctx, "Theme"), g.theme, kThemes, a, false))
        emit(Json{{"combo", "Theme"}, {"index", g.theme}});
    Rect b = nextLayoutRect(ctx, 0, 0);
    static const std::vector<std::string> cats = categories();
    if (comboBox(ctx, widgetId(ctx, "Category"), g.category, cats, b, false))
        emit(Json{{"combo", "Category"}, {"index", g.category}});
    Rect c = nextLayoutRect(ctx, 0, 0);
    comboBox(ctx, widgetId(ctx, "Locked"), g.repeat, kRepeats, c, true);
    endRow(ctx);
    textBlock(ctx, "A list near the bottom of the view opens above its bar:", 0, 0, 1, 0);
    Rect low{pad, ctx.viewHeight - pad - rowHeight(ctx), dp(ctx, 220), rowHeight(ctx)};
    comboBox(ctx, widgetId(ctx, "Bottom"), g.bottom, kRepeats, low, false);
    popLayout(ctx);

    if (beginWindow(ctx, "resizable", "Resizable window", g.resizable, dp(ctx, 360), dp(ctx, 260),
            {.modal = false, .resizable = true, .dimBackdrop = false})) {
        wrappedLabel(ctx, "Drag the title to move this window and the grip at its bottom right to resize it.", 1, 0);
        endWindow(ctx);
    }
    double fh = fitWindowHeight(ctx, g.form, dp(ctx, 520));
    if (beginWindow(ctx, "form", "New transaction", g.form, dp(ctx, 460), fh)) {
        textBlock(ctx, "Description", 0, 0, 1, 0);
        TextEditResult r = textInput(ctx, "Description", g.formDescription, {.placeholder = "What is it for?"});
        g.formFieldId = ctx.lastWidgetId;
        commit("Description", r, g.formDescription);
        textBlock(ctx, "Amount", 0, 0, 1, 0);
        commit("Amount", textInput(ctx, "Amount", g.formAmount, {.placeholder = "0.00"}), g.formAmount);
        textBlock(ctx, "Repeat", 0, 0, 1, 0);
        Rect combo = nextLayoutRect(ctx, rowHeight(ctx), 0);
        comboBox(ctx, widgetId(ctx, "Repeat"), g.repeat, kRepeats, combo, false);
        checkbox(ctx, "Remind me the day before", g.formReminder, {.wrapInRow = true});
        windowFooter(ctx, 0);
        beginRow(ctx, rowHeight(ctx), {-1, dp(ctx, 100), dp(ctx, 100)});
        skipRowCell(ctx);
        if (iconButton(ctx, "Cancel"))
            g.form.open = false;
        if (iconButton(ctx, "Save", {.style = buttonPrimary})) {
            g.form.open = false;
            emit(Json{{"saved", g.formDescription}});
        }
        endRow(ctx);
        endWindow(ctx);
    }
    if (beginWindow(ctx, "message", "Delete transaction", g.message, dp(ctx, 380),
            fitWindowHeight(ctx, g.message, dp(ctx, 300)))) {
        wrappedLabel(ctx, "Delete \"Groceries\" and every later occurrence? This cannot be undone.", 0, 0);
        windowFooter(ctx, 0);
        beginRow(ctx, rowHeight(ctx), {-1, dp(ctx, 100), dp(ctx, 100)});
        skipRowCell(ctx);
        if (iconButton(ctx, "Keep"))
            g.message.open = false;
        if (iconButton(ctx, "Delete", {.style = buttonDanger, .icon = icDelete}))
            g.message.open = false;
        endRow(ctx);
        endWindow(ctx);
    }
}

double scrollOffset(UiContext& ctx, const std::vector<const char*>& path)
{
    std::vector<int64_t> saved = ctx.idStack;
    ctx.idStack.clear();
    for (size_t i = 0; i + 1 < path.size(); ++i)
        pushId(ctx, std::string("scroll") + path[i]);
    double offset = scrollState(ctx, widgetId(ctx, std::string("scroll") + path.back()))->offset;
    ctx.idStack = saved;
    return offset;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string page = argc > 1 ? argv[1] : "labels";
    AutomationSwitches sw = readAutomationSwitches();
    startPlatform();
    AppWindowRef window;
    try {
        window = newAppWindow("ui gallery", sw.windowWidth, sw.windowHeight, false);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ui_gallery: %s\n", e.what());
        return 1;
    }
    auto atlas = [](BuiltinFont f) { return newGlyphAtlas(parseTrueType(builtinFontFile(f)), 1024); };
    RendererRef renderer = newRenderer();
    UiContextRef ctx =
        newUiContext(window, renderer, atlas(BuiltinFont::sansRegular), atlas(BuiltinFont::sansSemiBold));
    if (sw.theme == "dark")
        fillDarkTheme(ctx->theme);
    ctx->recorder = std::make_unique<WidgetRecorder>();
    Gallery g;
    // QUENMRK_OPEN opens a dialog or a list as if the user had asked.
    const char* openSwitch = std::getenv("QUENMRK_OPEN");
    std::string opening = openSwitch ? openSwitch : "";
    if (opening == "form")
        openForm(*ctx, g);
    g.message.open = opening == "message";
    g.resizable.open = opening == "resizable";
    int32_t actionsSeen = trailVersion();
    int frames = 0;
    for (;;) {
        std::vector<WindowEvent> events = pollEvents(*window);
        std::vector<WindowEvent> injected = automationEvents(sw, frames, ctx->viewWidth, ctx->viewHeight);
        events.insert(events.end(), injected.begin(), injected.end());
        for (const WindowEvent& e : events)
            feedEvent(*ctx, e);
        if (window->closeRequested)
            break;
        Color bg = ctx->theme.base[slotBackground];
        qm::glViewport(0, 0, window->width, window->height);
        qm::glClearColor(bg.r, bg.g, bg.b, 1);
        qm::glClear(GL_COLOR_BUFFER_BIT);
        beginFrame(*ctx, 1.0 / 60);
        if (opening == "list" && frames == 1)
            openPopup(*ctx, widgetId(*ctx, "Category"), {});
        if (keyPressed(*ctx, uint8_t(keyA + ('q' - 'a')), modControl, true))
            break;
        if (page == "icons")
            iconsPage(*ctx);
        else if (page == "forms")
            formsPage(*ctx, g);
        else if (page == "dialogs")
            dialogsPage(*ctx, g);
        else
            labelsPage(*ctx, g);
        drawTooltip(*ctx);
        endFrame(*ctx);
        ++frames;
        if (frames == 3) {
            Json widgets = Json::array();
            for (const WidgetRecord& w : ctx->recorder->records)
                widgets.push_back(Json{{"label", w.label}, {"rect", {w.rect.x, w.rect.y, w.rect.w, w.rect.h}}});
            emit(Json{{"layout", widgets}});
        }
        if (trailVersion() != actionsSeen) {
            actionsSeen = trailVersion();
            emit(Json{{"action", actionTrail().back()}});
        }
        if (!sw.shotPath.empty() && frames >= sw.shotFrames) {
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
    emit(Json{{"widgets", widgets}});
    if (page == "dialogs") {
        std::shared_ptr<TextEditState> field = textEditState(*ctx, g.formFieldId);
        emit(Json{{"formField",
            {{"bound", g.formDescription}, {"buffer", field->buffer}, {"editing", field->editing},
                {"open", g.form.open}}}});
    }
    if (page == "forms")
        emit(Json{
            {"scroll", {{"outer", scrollOffset(*ctx, {"outer"})}, {"inner", scrollOffset(*ctx, {"outer", "inner"})}}}});
    emit(Json{{"frames", frames}});
    closeWindow(*window);
    return 0;
}
