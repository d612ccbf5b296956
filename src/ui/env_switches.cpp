#include "ui/env_switches.h"

#include "core/ascii.h"
#include "platform/ui_scale.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace qm {

namespace {

std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t at = s.find(sep, start);
        out.push_back(s.substr(start, at - start));
        if (at == std::string::npos)
            return out;
        start = at + 1;
    }
}

std::optional<double> parseFloat(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    double v = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return v;
}

}  // namespace

std::optional<int32_t> parseWholeNumber(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    size_t at = text[0] == '+' ? 1 : 0;
    int32_t v = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data() + at, end, v);
    if (ec != std::errc() || ptr != end || at == text.size())
        return std::nullopt;
    return v;
}

void parseWindowSwitch(AutomationSwitches& s, const std::string& value)
{
    if (value.find('x') == std::string::npos)
        return;
    std::vector<std::string> pieces = split(value, 'x');
    auto side = [](const std::string& piece) -> std::optional<int32_t> {
        std::optional<int32_t> n = parseWholeNumber(piece);
        if (!n || *n <= 0)
            return std::nullopt;
        return std::min(*n, kMaxWindowSide);
    };
    std::optional<int32_t> w = side(pieces[0]);
    if (!w)
        return;
    s.windowWidth = *w;
    std::optional<int32_t> h = side(pieces[1]);
    if (!h)
        return;
    s.windowHeight = *h;
    s.windowMaximised = false;
}

void parseWheelSwitch(AutomationSwitches& s, const std::string& value)
{
    std::vector<std::string> pieces = split(value, '@');
    s.wheelSteps = parseWholeNumber(std::string(trimAsciiBlanks(pieces[0]))).value_or(0);
    if (pieces.size() < 2)
        return;
    std::vector<std::string> xy = split(pieces[1], ',');
    if (xy.size() != 2)
        return;
    std::optional<double> x = parseFloat(std::string(trimAsciiBlanks(xy[0]))),
                          y = parseFloat(std::string(trimAsciiBlanks(xy[1])));
    if (x && y)
        s.wheelPoint = {*x, *y};
}

void parseClickSwitch(AutomationSwitches& s, const std::string& value)
{
    for (const std::string& piece : split(value, ';')) {
        std::vector<std::string> xy = split(piece, ',');
        if (xy.size() != 2)
            continue;
        std::optional<double> x = parseFloat(std::string(trimAsciiBlanks(xy[0]))),
                              y = parseFloat(std::string(trimAsciiBlanks(xy[1])));
        if (x && y)
            s.clickPoints.push_back({*x, *y});
    }
}

std::optional<std::string> processEnv(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::optional<std::string>(v) : std::nullopt;
}

AutomationSwitches readAutomationSwitches(const EnvReader& reader)
{
    const EnvReader& env = reader ? reader : EnvReader(processEnv);
    auto get = [&](const char* name) { return env(name).value_or(""); };
    AutomationSwitches s;
    parseWindowSwitch(s, get("QUENMRK_WINDOW"));
    s.theme = get("QUENMRK_THEME");
    s.shotPath = get("QUENMRK_SHOT");
    s.testFrames = parseWholeNumber(get("QUENMRK_TEST_FRAMES")).value_or(-1);
    if (s.testFrames > 0)
        s.shotFrames = s.testFrames;
    s.frameDelayMs = std::clamp(parseWholeNumber(get("QUENMRK_TEST_FRAME_DELAY")).value_or(0), 0, 5000);
    parseWheelSwitch(s, get("QUENMRK_TEST_WHEEL"));
    parseClickSwitch(s, get("QUENMRK_TEST_CLICK"));
    s.scale = parseUiScale(get("QUENMRK_SCALE"));
    return s;
}

std::vector<WindowEvent> automationEvents(
    AutomationSwitches& s, int32_t framesOnPage, double viewWidth, double viewHeight)
{
    std::vector<WindowEvent> out;
    if (s.wheelSteps > 0 && framesOnPage >= 5) {
        WindowEvent e;
        e.kind = weMouseMove;
        bool centre = s.wheelPoint.first < 0;
        e.x = centre ? viewWidth / 2 : s.wheelPoint.first;
        e.y = centre ? viewHeight / 2 : s.wheelPoint.second;
        out.push_back(e);
        e.kind = weScroll;
        e.dy = -1.0;
        out.push_back(e);
        --s.wheelSteps;
    }
    int32_t phase = framesOnPage % 8;
    if (!s.clickPoints.empty() && framesOnPage >= 5 && (phase == 5 || phase == 6)) {
        WindowEvent e;
        e.kind = weMouseMove;
        e.x = s.clickPoints.front().first;
        e.y = s.clickPoints.front().second;
        out.push_back(e);
        e.button = 1;
        e.kind = phase == 5 ? weMouseDown : weMouseUp;
        out.push_back(e);
        if (phase == 6)
            s.clickPoints.erase(s.clickPoints.begin());
    }
    return out;
}

}  // namespace qm
