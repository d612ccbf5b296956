#pragma once
// The start-up splash over the first frames: the logo slides in from the
// left, the name fades in under it, then the whole fades out.
#include <functional>
#include <optional>
#include <string>

#include "app/app_state.h"

namespace qm {

inline constexpr double kSplashSeconds = 2.45;

using SplashEnv = std::function<std::optional<std::string>(const char* name)>;

// QUENMRK_SPLASH "1" shows it and "0" hides it; otherwise it shows only
// when no automation switch (shot, export, test frames, test auth, injected
// clicks or wheel) is set. Reads the process environment without a reader.
bool splashWanted(const SplashEnv& env = {});
// Once, while the state is built.
void splashEnabled(AppState& state);
void drawSplash(AppState& state);
double easeOutQuart(double t);

}  // namespace qm
