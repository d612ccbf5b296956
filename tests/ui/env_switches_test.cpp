#include "ui/env_switches.h"

#include <gtest/gtest.h>

#include <map>

namespace qm {
namespace {

AutomationSwitches read(std::map<std::string, std::string> vars)
{
    return readAutomationSwitches([&](const char* name) -> std::optional<std::string> {
        auto it = vars.find(name);
        return it == vars.end() ? std::nullopt : std::optional<std::string>(it->second);
    });
}

TEST(EnvSwitches, WindowSize)
{
    struct Case {
        const char* value;
        int32_t w, h;
        bool maximised;
    } cases[] = {{"1024x768", 1024, 768, false}, {"1024", 1280, 820, true}, {"x", 1280, 820, true},
        {"1024xabc", 1024, 820, true}, {"800x600x5", 800, 600, false}, {"", 1280, 820, true},
        {"0x600", 1280, 820, true}, {"-5x600", 1280, 820, true}, {"900x0", 900, 820, true},
        {"99999x20000", 16384, 16384, false}, {"2147483647x2147483647", 16384, 16384, false}};
    for (const Case& c : cases) {
        AutomationSwitches s = read({{"QUENMRK_WINDOW", c.value}});
        EXPECT_EQ(s.windowWidth, c.w) << c.value;
        EXPECT_EQ(s.windowHeight, c.h) << c.value;
        EXPECT_EQ(s.windowMaximised, c.maximised) << c.value;
    }
}

TEST(EnvSwitches, FramesShotWheelClicksAndScale)
{
    AutomationSwitches s =
        read({{"QUENMRK_TEST_FRAMES", "12"}, {"QUENMRK_SHOT", "/tmp/a.png"}, {"QUENMRK_TEST_WHEEL", " 3 @ 10.5, 20"},
            {"QUENMRK_TEST_CLICK", "10,20;bad;30,40"}, {"QUENMRK_THEME", "dark"}, {"QUENMRK_SCALE", "2"}});
    EXPECT_EQ(s.testFrames, 12);
    EXPECT_EQ(s.shotFrames, 12);
    EXPECT_EQ(s.shotPath, "/tmp/a.png");
    EXPECT_EQ(s.theme, "dark");
    EXPECT_EQ(s.wheelSteps, 3);
    EXPECT_EQ(s.wheelPoint, (std::pair<double, double>{10.5, 20}));
    ASSERT_EQ(s.clickPoints.size(), 2u);
    EXPECT_EQ(s.scale, 2.0);

    AutomationSwitches bad = read({{"QUENMRK_TEST_FRAMES", "12a"}, {"QUENMRK_TEST_WHEEL", "x@1,2,3"}});
    EXPECT_EQ(bad.testFrames, -1);
    EXPECT_EQ(bad.shotFrames, 3);
    EXPECT_EQ(bad.wheelSteps, 0);
    EXPECT_EQ(bad.wheelPoint, (std::pair<double, double>{-1, -1}));
    EXPECT_FALSE(bad.scale);
}

TEST(EnvSwitches, ScaleCountsOnlyAsAWholeNumberWithinHalfToEight)
{
    const std::pair<const char*, std::optional<double>> cases[] = {{"2", 2.0}, {"1.5", 1.5}, {"0.5", 0.5}, {"8", 8.0},
        {"2x", std::nullopt}, {"2 ", std::nullopt}, {" 2", std::nullopt}, {"0.49", std::nullopt},
        {"8.01", std::nullopt}, {"1e300", std::nullopt}, {"1e0", std::nullopt}, {"inf", std::nullopt},
        {"nan", std::nullopt}, {"-2", std::nullopt}, {"+2", std::nullopt}, {"", std::nullopt}, {"0", std::nullopt}};
    for (const auto& [text, want] : cases)
        EXPECT_EQ(read({{"QUENMRK_SCALE", text}}).scale, want) << text;
}

TEST(EnvSwitches, InjectedClicksTakeTwoFramesEightApart)
{
    AutomationSwitches s = read({{"QUENMRK_TEST_CLICK", "10,20;bad;30,40"}, {"QUENMRK_TEST_WHEEL", "1"}});
    std::vector<std::pair<int, uint8_t>> seen;  // frame, kind of the click events
    for (int f = 0; f < 20; ++f)
        for (const WindowEvent& e : automationEvents(s, f, 800, 600))
            if (e.kind == weMouseDown || e.kind == weMouseUp || e.kind == weScroll)
                seen.push_back({f, e.kind});
    std::vector<std::pair<int, uint8_t>> want = {
        {5, weScroll}, {5, weMouseDown}, {6, weMouseUp}, {13, weMouseDown}, {14, weMouseUp}};
    EXPECT_EQ(seen, want);
    EXPECT_TRUE(s.clickPoints.empty());
}

}  // namespace
}  // namespace qm
