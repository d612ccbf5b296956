#include "app/splash.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/app_text.h"
#include "app/theme_apply.h"
#include "platform/render/glyph_atlas.h"
#include "platform/render/primitives.h"

namespace qm {

bool splashWanted(const SplashEnv& env)
{
    auto read = [&](const char* name) -> std::string {
        if (env)
            return env(name).value_or("");
        const char* v = std::getenv(name);
        return v ? v : "";
    };
    std::string choice = read("QUENMRK_SPLASH");
    if (choice == "1")
        return true;
    if (choice == "0")
        return false;
    // Injected input would be dropped while the splash shows.
    for (const char* name : {"QUENMRK_SHOT", "QUENMRK_EXPORT", "QUENMRK_TEST_FRAMES", "QUENMRK_TEST_AUTH",
             "QUENMRK_TEST_CLICK", "QUENMRK_TEST_WHEEL"})
        if (!read(name).empty())
            return false;
    return true;
}

void splashEnabled(AppState& state)
{
    state.splashActive = splashWanted();
    state.splashStart = -1.0;
}

double easeOutQuart(double t) { return 1 - std::pow(1 - std::clamp(t, 0.0, 1.0), 4); }

void drawSplash(AppState& state)
{
    if (!state.splashActive)
        return;
    UiContext& ui = *state.ui;
    if (state.splashStart < 0)
        state.splashStart = ui.time;
    double t = ui.time - state.splashStart;
    if (t >= kSplashSeconds) {
        state.splashActive = false;
        state.redrawRequested = true;
        return;
    }
    ui.layoutChanged = true;
    Renderer& r = *state.renderer;
    int32_t previousLayer = currentLayer(r);
    setLayer(r, std::max(previousLayer, 0) + 30);

    const Theme& theme = ui.theme;
    double a = t <= 1.8 ? 1.0 : std::max(0.0, 1 + (t - 1.8) / -0.45);
    fillRect(r, {0, 0, ui.viewWidth, ui.windowHeight}, withAlpha(theme.base[slotBackground], a));

    double logo = dp(*state.ui, 112), gap = dp(*state.ui, 14), titleSize = dp(*state.ui, 21.5);
    double titleLine = lineHeight(*atlasForWeight(state, 700), titleSize);
    double top = (ui.viewHeight - (logo + gap + titleLine)) * 0.5;

    double p = t / 0.75;
    double offset = 0;
    if (p < 0.6) {
        double k = easeOutQuart(p / 0.6);
        offset = k * dp(*state.ui, 8) + (1 - k) * (-1.1 * ui.viewWidth);
    } else if (p < 1) {
        double g = std::clamp((p - 0.6) / 0.4, 0.0, 1.0);
        offset = std::pow(1 - g, 4) * dp(*state.ui, 8);
    }
    Rect logoRect{(ui.viewWidth - logo) * 0.5 + offset, top, logo, logo};
    double logoAlpha = std::clamp(p / 0.6, 0.0, 1.0) * a;
    if (state.windowIcon)
        drawTextureRect(r, *state.windowIcon, logoRect, withAlpha(colorWhite, logoAlpha), 0, 0, 1, 1);
    else
        fillRoundRect(r, logoRect, dp(*state.ui, 22), withAlpha(theme.base[slotAccent], logoAlpha));

    double m = std::clamp((t - 0.35) / 0.4, 0.0, 1.0);
    double titleAlpha = a * m;
    if (titleAlpha > 0) {
        Rect titleRect{offset, top + logo + gap + (1 - m) * dp(*state.ui, 6), ui.viewWidth, titleLine};
        drawText(state, "Quenmark", titleRect, titleSize, withAlpha(theme.base[slotText], titleAlpha), 0.5, 700);
    }
    setLayer(r, previousLayer);
}

}  // namespace qm
