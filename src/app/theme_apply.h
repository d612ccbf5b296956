#pragma once
// The light, dark or desktop-following theme turned into the toolkit's
// palette and the window's title bar.
#include <functional>

#include "app/app_state.h"

namespace qm {

enum ThemeMode : int32_t {
    themeLight = 0,
    themeDark = 1,
    themeSystem = 2,
};

// Resolves the themeMode setting (clamped to 0..2) and installs the palette.
// Without force an unchanged result changes nothing and asks for no redraw.
void applyTheme(AppState& state, bool force);

// The themeMode setting from the open budget's user profile ("dark",
// "light", anything else follows the desktop), then applyTheme unforced.
void applyProfileTheme(AppState& state);

void saveSettings(AppState& state);

// Whether the desktop prefers a dark theme: the platform's answer, which
// gives up on a hung gsettings after about a second. Tests replace it; an empty function restores the default.
using DesktopThemeQuery = std::function<bool()>;
void setDesktopThemeQuery(DesktopThemeQuery query);
bool desktopPrefersDark();

}  // namespace qm
