// Random input into the text field, its menu and a dialog around it: every
// byte pair is an event (keys with modifiers, typed text, clicks, wheel,
// clipboard contents), frames run in between, and the field's offsets must
// stay inside its buffer whatever arrives.
#include "../tests/platform/render/mock_gl.h"

#include "codecs/font/builtin_fonts.h"
#include "platform/app_window.h"
#include "platform/platform_window_internal.h"
#include "ui/input.h"
#include "ui/text_input.h"
#include "ui/tooltip.h"
#include "ui/widget_id.h"
#include "ui/window.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace qm;

namespace {

struct Fixture {
    PlatformWindowRef platform;
    AppWindowRef window;
    RendererRef renderer;
    UiContextRef ctx;
    Fixture()
    {
        mockgl::install();
        mockgl::state.recording = false;
        platform = newFakePlatformWindow();
        window = newAppWindowOn(platform, "fuzz");
        renderer = newRenderer();
        auto atlas = [](BuiltinFont f) { return newGlyphAtlas(parseTrueType(builtinFontFile(f)), 1024); };
        ctx = newUiContext(window, renderer, atlas(BuiltinFont::sansRegular), atlas(BuiltinFont::sansBold));
    }
};

void check(const TextEditState& st)
{
    int32_t n = int32_t(st.buffer.size());
    if (st.caret < 0 || st.caret > n || st.anchor < 0 || st.anchor > n)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Fixture f;
    UiContext& ctx = *f.ctx;
    WindowState dialog;
    dialog.open = true;
    std::string plain = "pay 12.50", secret = "p\xC3\xA4ss";
    auto frame = [&] {
        beginFrame(ctx, 1.0 / 60);
        if (beginWindow(ctx, "fz", "Fuzz", dialog, 400, 300, {.modal = size % 2 == 0})) {
            textInput(ctx, "plain", plain);
            textInput(ctx, "secret", secret, {.masked = true});
            endWindow(ctx);
        }
        drawTooltip(ctx);
        endFrame(ctx);
        check(*textEditState(ctx, widgetId(ctx, "plain")));
    };
    for (size_t i = 0; i + 1 < size; i += 2) {
        uint8_t op = data[i], arg = data[i + 1];
        WindowEvent e;
        e.x = 200 + (arg % 64) * 6;
        e.y = 150 + (arg / 64) * 40;
        switch (op % 8) {
        case 0:
            e.kind = weKeyDown;
            e.key = uint8_t(arg % 100);
            e.modifiers = uint8_t(op >> 4);
            break;
        case 1:
            e.kind = weText;
            e.codepoint = int32_t(arg) | (op & 0x80 ? 0x100 : 0);
            e.modifiers = uint8_t((op >> 4) & 8);
            break;
        case 2:
            e.kind = weMouseDown;
            e.button = uint8_t(1 + (op >> 6) % 3);
            break;
        case 3:
            e.kind = weMouseUp;
            e.button = uint8_t(1 + (op >> 6) % 3);
            break;
        case 4:
            e.kind = weMouseMove;
            break;
        case 5:
            e.kind = weScroll;
            e.dy = (arg % 5) - 2;
            break;
        case 6:
            f.platform->fake->clipboard =
                std::string(reinterpret_cast<const char*>(data + i), std::min<size_t>(arg % 8, size - i));
            continue;
        default:
            frame();
            dialog.open = dialog.open || (arg & 1);
            continue;
        }
        feedEvent(ctx, e);
    }
    frame();
    frame();
    return 0;
}
