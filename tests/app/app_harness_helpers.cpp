#include "app/app_harness.h"

#include "app/frame.h"
#include "app/theme_apply.h"
#include "platform/render/mock_gl.h"
#include "ui/input.h"

#include <cstring>

namespace qm::testing {

AppHarness::AppHarness(int32_t width, int32_t height)
{
    env.set("XDG_CONFIG_HOME", dir / "config")
        .set("HOME", dir.path())
        .set("QUENMRK_SHOT", std::nullopt)
        .set("QUENMRK_EXPORT", std::nullopt)
        .set("QUENMRK_TEST_FRAMES", std::nullopt)
        .set("QUENMRK_TEST_AUTH", std::nullopt)
        .set("QUENMRK_TEST_CLICK", std::nullopt)
        .set("QUENMRK_TEST_WHEEL", std::nullopt)
        .set("QUENMRK_PHONE", std::nullopt)
        .set("QUENMRK_SPLASH", "0")
        .set("QUENMRK_SERVER", std::nullopt);
    mockgl::install();
    mockgl::state.recording = false;
    glClearColor = [](GLfloat, GLfloat, GLfloat, GLfloat) {};
    glClear = [](GLbitfield) {};
    glReadPixels = [](GLint, GLint, GLsizei w, GLsizei h, GLenum, GLenum, void* out) {
        std::memset(out, 0x7f, size_t(w) * size_t(h) * 4);
    };
    PlatformWindowRef platform = newFakePlatformWindow();
    fake = platform->fake;
    fake->width = width;
    fake->height = height;
    window = newAppWindowOn(platform, "Quenmark");
    setDesktopThemeQuery([this] {
        ++desktopQueries;
        return desktopDark;
    });
}

AppHarness::~AppHarness()
{
    state.reset();
    setDesktopThemeQuery({});
}

AppState& AppHarness::start()
{
    state = newAppState(window);
    return *state;
}

void AppHarness::feed(const WindowEvent& e) { feedEvent(*state->ui, e); }

void AppHarness::frame(double dt) { drawFrame(*state, dt); }

void AppHarness::frames(int n, double dt)
{
    for (int i = 0; i < n; ++i)
        frame(dt);
}

const WidgetRecord* AppHarness::widget(const std::string& id) const
{
    if (!state || !state->ui->recorder)
        return nullptr;
    for (const WidgetRecord& r : state->ui->recorder->records)
        if (r.label == id)
            return &r;
    return nullptr;
}

bool AppHarness::clickWidget(const std::string& id)
{
    const WidgetRecord* r = widget(id);
    if (!r)
        return false;
    click(r->rect.x + r->rect.w / 2, r->rect.y + r->rect.h / 2);
    frames(2);
    return true;
}

void AppHarness::click(double x, double y)
{
    WindowEvent e;
    e.kind = weMouseMove;
    e.x = x;
    e.y = y;
    feed(e);
    e.kind = weMouseDown;
    e.button = 1;
    feed(e);
    e.kind = weMouseUp;
    feed(e);
}

void AppHarness::key(uint8_t k)
{
    WindowEvent e;
    e.kind = weKeyDown;
    e.key = k;
    feed(e);
    e.kind = weKeyUp;
    feed(e);
}

}  // namespace qm::testing
