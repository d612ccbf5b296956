#include "app/theme_apply.h"

#include <algorithm>

#include "platform/desktop_query.h"
#include "ui/theme.h"

namespace qm {

namespace {

DesktopThemeQuery& themeQuery()
{
    static DesktopThemeQuery query;
    return query;
}

}  // namespace

void setDesktopThemeQuery(DesktopThemeQuery query) { themeQuery() = std::move(query); }

bool desktopPrefersDark() { return systemPrefersDark(); }

void applyTheme(AppState& state, bool force)
{
    int32_t mode = std::clamp(state.settings.themeMode, int32_t(themeLight), int32_t(themeSystem));
    bool dark = mode == themeDark;
    if (mode == themeSystem)
        dark = themeQuery() ? themeQuery()() : desktopPrefersDark();
    if (!force && dark == state.settings.darkTheme)
        return;
    state.settings.darkTheme = dark;
    Theme theme;
    if (dark)
        fillDarkTheme(theme);
    else
        fillLightTheme(theme);
    state.ui->theme = std::move(theme);
    setDarkTitleBar(*state.window, dark);
    state.redrawRequested = true;
}

void applyProfileTheme(AppState& state)
{
    const std::string& pref = state.store->budget->user.theme_preference;
    state.settings.themeMode = pref == "dark" ? themeDark : pref == "light" ? themeLight : themeSystem;
    applyTheme(state, false);
}

void saveSettings(AppState& state) { writeSettings(state.settings); }

}  // namespace qm
