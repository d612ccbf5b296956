// Creates a UI context over a fake window and a driverless GL table, draws
// frames of widgets while dialogs, lists and menus open and close, and
// destroys everything: run under valgrind --leak-check=full to show the
// toolkit leaks nothing.
//   ui_lifecycle [frames]
#include "../platform/render/mock_gl.h"

#include "codecs/font/builtin_fonts.h"
#include "platform/app_window.h"
#include "platform/platform_window_internal.h"
#include "ui/button.h"
#include "ui/combo_box.h"
#include "ui/context.h"
#include "ui/hit_test.h"
#include "ui/input.h"
#include "ui/layout.h"
#include "ui/menu.h"
#include "ui/text.h"
#include "ui/text_input.h"
#include "ui/tooltip.h"
#include "ui/widget_id.h"
#include "ui/widget_state.h"
#include "ui/window.h"

#include <cstdio>
#include <cstdlib>

using namespace qm;

namespace {

struct Page {
    WindowState dialog;
    std::string name = "Groceries", amount = "12.50";
    int32_t repeat = 1;
};

void drawFrame(UiContext& ctx, int f, Page& page)
{
    beginFrame(ctx, 1.0 / 60);
    int64_t id = widgetId(ctx, "Save");
    interact(ctx, id, {10, 10, 100, 30}, 1);
    addFocusable(ctx, id);
    setTooltip(ctx, "Save the budget");
    scrollState(ctx, widgetId(ctx, "scrollmain"))->offset = f;
    textEditState(ctx, widgetId(ctx, "field"))->buffer = "text " + std::to_string(f);
    if (f % 10 == 0)
        openPopup(ctx, widgetId(ctx, "menu"), {0, 0, 10, 10});
    wheelScroll(ctx, widgetId(ctx, "scrollmain"), {0, 0, 300, 300}, 40, 8);
    uiDrawText(ctx, "Hello", {0, 0, 100, 20}, 0, ctx.theme.base[slotText], 0, 0);
    page.dialog.open = (f / 10) % 2 == 0;
    if (f % 20 == 0)
        page.dialog.focusOnOpen = "Name";
    if (beginWindow(ctx, "dlg", "Dialog", page.dialog, 400, 300)) {
        textInput(ctx, "Name", page.name);
        textInput(ctx, "Amount", page.amount, {.masked = true});
        std::vector<std::string> items = {"Once", "Weekly", "Monthly"};
        comboBox(ctx, widgetId(ctx, "Repeat"), page.repeat, items, nextLayoutRect(ctx, 32, 0), false);
        windowFooter(ctx, 0);
        iconButton(ctx, "Save", {.style = buttonPrimary});
        endWindow(ctx);
    }
    if (f % 15 == 0)
        openContextMenu(ctx, "page", 50, 50);
    if (contextMenu(ctx, "page", 0)) {
        menuEntry(ctx, "Rename", "F2", true, icText);
        menuEntry(ctx, "Delete", "Del", f % 2 == 0, icDelete);
        endMenu(ctx);
    }
    drawTooltip(ctx);
    endFrame(ctx);
}

}  // namespace

int main(int argc, char** argv)
{
    int frames = argc > 1 ? std::atoi(argv[1]) : 200;
    mockgl::install();
    mockgl::state.recording = false;
    {
        PlatformWindowRef platform = newFakePlatformWindow();
        AppWindowRef window = newAppWindowOn(platform, "lifecycle");
        RendererRef renderer = newRenderer();
        auto atlas = [](BuiltinFont f) { return newGlyphAtlas(parseTrueType(builtinFontFile(f)), 1024); };
        UiContextRef ctx =
            newUiContext(window, renderer, atlas(BuiltinFont::sansRegular), atlas(BuiltinFont::sansBold));
        Page page;
        for (int f = 0; f < frames; ++f) {
            WindowEvent e;
            e.kind = weMouseMove;
            e.x = 20 + f % 50;
            e.y = 20;
            feedEvent(*ctx, e);
            if (f % 7 == 0) {
                e.kind = weMouseDown;
                e.button = 1;
                feedEvent(*ctx, e);
                e.kind = weMouseUp;
                feedEvent(*ctx, e);
            }
            if (f % 5 == 1) {
                e.kind = weText;
                e.codepoint = 'a' + f % 26;
                feedEvent(*ctx, e);
            }
            drawFrame(*ctx, f, page);
        }
        if (!platform->fake->hitTest) {
            std::fprintf(stderr, "no pointer query installed\n");
            return 1;
        }
        ctx.reset();
        if (platform->fake->hitTest) {
            std::fprintf(stderr, "the pointer query outlived the context\n");
            return 1;
        }
    }
    std::printf("ok %d frames\n", frames);
    return 0;
}
