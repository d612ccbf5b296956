// One full dialog frame of the UI toolkit, headless (the driverless GL
// table, real fonts): a modal window with 30 text inputs (one editing), 20
// buttons, 10 check boxes, 3 combo boxes (one open) and 10 wrapped
// paragraphs of 60 words, over a page of 100 label rows in a scroll area.
// The budget is a median of 2 ms, an eighth of a 60 Hz frame. Counters give
// the vertices and draw calls of the frame.
//
// With --one-frame it draws warm-up frames, then exactly one frame between
// callgrind's start and stop requests, for
//   valgrind --tool=callgrind --instr-atstart=no bench_ui_dialog --one-frame
// (bench/ui_dialog_callgrind.py compares the count with a committed baseline).
#include "../tests/platform/render/mock_gl.h"

#include "codecs/font/builtin_fonts.h"
#include "platform/app_window.h"
#include "platform/platform_window_internal.h"
#include "ui/button.h"
#include "ui/checkbox.h"
#include "ui/combo_box.h"
#include "ui/hit_test.h"
#include "ui/input.h"
#include "ui/label.h"
#include "ui/layout.h"
#include "ui/scroll_area.h"
#include "ui/text_input.h"
#include "ui/tooltip.h"
#include "ui/widget_id.h"
#include "ui/window.h"

#include <benchmark/benchmark.h>
#include <valgrind/callgrind.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace qm;

struct Scene {
    AppWindowRef window;
    RendererRef renderer;
    UiContextRef ctx;
    WindowState dialog;
    std::vector<std::string> fields = std::vector<std::string>(30, "Some text in a field");
    std::vector<bool> boxes = std::vector<bool>(10, true);
    std::vector<int32_t> combos = {1, 3, 5};
    std::vector<std::string> items;
    std::string paragraph;
    int frames = 0;

    Scene()
    {
        mockgl::install();
        mockgl::state.recording = false;
        PlatformWindowRef platform = newFakePlatformWindow();
        platform->fake->width = 1280;
        platform->fake->height = 820;
        window = newAppWindowOn(platform, "bench");
        renderer = newRenderer();
        auto atlas = [](BuiltinFont f) { return newGlyphAtlas(parseTrueType(builtinFontFile(f)), 1024); };
        ctx = newUiContext(window, renderer, atlas(BuiltinFont::sansRegular), atlas(BuiltinFont::sansSemiBold));
        dialog.open = true;
        dialog.focusOnOpen = "field0";
        for (int i = 0; i < 20; ++i)
            items.push_back("Item number " + std::to_string(i));
        static const char* words[] = {"the", "budget", "shows", "every", "planned", "payment", "on", "its", "day",
            "and", "carries", "balances", "forward"};
        for (int i = 0; i < 60; ++i) {
            if (i)
                paragraph += ' ';
            paragraph += words[(i * 5 + 1) % 13];
        }
    }

    void frame()
    {
        UiContext& c = *ctx;
        beginFrame(c, 1.0 / 60);
        if (frames == 2)
            openPopup(c, widgetId(c, "combo0"), {});
        beginScrollArea(c, "page", {0, 0, c.viewWidth, c.viewHeight}, c.theme.base[slotBackground], false);
        for (int i = 0; i < 100; ++i)
            textBlock(c, "Page row " + std::to_string(i) + ": a label of the page under the dialog", 0, 0, i % 3, 0);
        endScrollArea(c, "page");
        if (beginWindow(c, "bench", "A large dialog", dialog, 900, 760)) {
            for (int i = 0; i < 10; ++i)
                wrappedLabel(c, paragraph, 1, 0);
            for (int i = 0; i < 30; ++i)
                textInput(c, "field" + std::to_string(i), fields[size_t(i)],
                    {.placeholder = "placeholder", .masked = i % 7 == 3});
            for (int i = 0; i < 10; ++i) {
                bool v = boxes[size_t(i)];
                checkbox(c, "Option " + std::to_string(i), v, {.disabled = i == 9, .wrapInRow = true});
                boxes[size_t(i)] = v;
            }
            for (int i = 0; i < 3; ++i)
                comboBox(c, widgetId(c, "combo" + std::to_string(i)), combos[size_t(i)], items,
                    nextLayoutRect(c, rowHeight(c), 0), false);
            windowFooter(c, 0);
            for (int row = 0; row < 4; ++row) {
                beginRow(c, rowHeight(c), {-1, -1, -1, -1, -1});
                for (int i = 0; i < 5; ++i)
                    iconButton(c, "Button " + std::to_string(row * 5 + i),
                        {.style = ButtonStyle(i % 4), .icon = i == 2 ? icSave : icNone});
                endRow(c);
            }
            endWindow(c);
        }
        drawTooltip(c);
        endFrame(c);
        ++frames;
    }
};

void dialogFrame(benchmark::State& state)
{
    Scene scene;
    for (int i = 0; i < 5; ++i)
        scene.frame();  // placement, measurement, the list opened, glyphs cached
    for (auto _ : state)
        scene.frame();
    state.counters["vertices"] = double(scene.renderer->lastVertexCount);
    state.counters["drawCalls"] = double(scene.renderer->lastDrawCalls);
}

BENCHMARK(dialogFrame)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--one-frame") == 0) {
        Scene scene;
        for (int i = 0; i < 5; ++i)
            scene.frame();
        CALLGRIND_START_INSTRUMENTATION;
        scene.frame();
        CALLGRIND_STOP_INSTRUMENTATION;
        std::printf("vertices %d draw calls %d\n", scene.renderer->lastVertexCount, scene.renderer->lastDrawCalls);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
