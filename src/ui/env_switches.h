#pragma once
// The automation switches of the environment, read once at start-up: window
// size, theme, screenshot, frame count, injected wheel steps and clicks. The
// shell and the test programs read them through here, so both understand
// the same values the same way.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/events.h"

namespace qm {

struct AutomationSwitches {
    int32_t windowWidth = 1280;
    int32_t windowHeight = 820;
    bool windowMaximised = true;
    std::string theme;  // "dark", "light" or anything else (ignored)
    std::string shotPath;
    int32_t shotFrames = 3;    // QUENMRK_TEST_FRAMES when above 0
    int32_t testFrames = -1;   // -1 when unset or not a whole number
    int32_t frameDelayMs = 0;  // QUENMRK_TEST_FRAME_DELAY: each frame takes this much longer
    int32_t wheelSteps = 0;
    std::pair<double, double> wheelPoint{-1, -1};
    std::vector<std::pair<double, double>> clickPoints;
    std::optional<double> scale;  // QUENMRK_SCALE as parseUiScale takes it
};

// The largest window side QUENMRK_WINDOW may ask for.
inline constexpr int32_t kMaxWindowSide = 16384;

using EnvReader = std::function<std::optional<std::string>(const char* name)>;

// The process environment as an EnvReader.
std::optional<std::string> processEnv(const char* name);

// Reads the process environment unless another reader is given.
AutomationSwitches readAutomationSwitches(const EnvReader& env = {});

// Each parser leaves what it could not read as it was.
// QUENMRK_WINDOW, the one reader of it: "WxH". A piece that is not a
// positive whole number stops the reading there, keeping what was read
// before it; sides are capped at kMaxWindowSide.
void parseWindowSwitch(AutomationSwitches& s, const std::string& value);
void parseWheelSwitch(AutomationSwitches& s, const std::string& value);
void parseClickSwitch(AutomationSwitches& s, const std::string& value);
// A whole decimal number, sign allowed, nothing else around it.
std::optional<int32_t> parseWholeNumber(const std::string& text);

// The events automation adds in a turn, given the frames drawn on the page:
// one wheel step a frame from frame 5 on, and clicks that take two frames
// each, eight frames apart. Consumes what it injects.
std::vector<WindowEvent> automationEvents(
    AutomationSwitches& s, int32_t framesOnPage, double viewWidth, double viewHeight);

}  // namespace qm
