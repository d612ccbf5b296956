#include "app/start_switches.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/app_state.h"

namespace qm {
namespace {

StartSwitches readOne(const char* name, const char* value)
{
    return readStartSwitches([&](const char* asked) -> std::optional<std::string> {
        return std::string_view(asked) == name ? std::optional<std::string>(value) : std::nullopt;
    });
}

// Each switch alone, and the value the shell acts on.
TEST(StartSwitches, EachSwitchReachesItsOwnSetting)
{
    using S = const StartSwitches&;
    struct Case {
        const char* name;
        const char* value;
        std::function<bool(S)> holds;
    };
    const Case cases[] = {{"QUENMRK_BACKEND", "wayland", [](S s) { return s.backend == "wayland"; }},
        {"QUENMRK_PAGE", "reports", [](S s) { return s.page == pageReports; }},
        {"QUENMRK_PAGE", "sync", [](S s) { return s.page == pageAccount; }},
        {"QUENMRK_PAGE", "legal", [](S s) { return !s.page; }},
        {"QUENMRK_VIEW", "week", [](S s) { return s.view == viewWeek; }},
        {"QUENMRK_VIEW", "Week", [](S s) { return !s.view; }},
        {"QUENMRK_WELCOME", "4", [](S s) { return s.welcomeMode == 4; }},
        {"QUENMRK_WELCOME", "two", [](S s) { return s.welcomeMode == 0; }},
        {"QUENMRK_WELCOME", "", [](S s) { return !s.welcomeMode; }},
        {"QUENMRK_TOUR", "3", [](S s) { return s.tourStep == 3; }},
        {"QUENMRK_TOUR", "-2", [](S s) { return s.tourStep == 0; }},
        {"QUENMRK_TOUR", "yes", [](S s) { return s.tourStep == 0; }},
        {"QUENMRK_EXPORT", "pdf:/tmp/a:b.pdf",
            [](S s) { return s.exportFile && s.exportFile->kind == "pdf" && s.exportFile->path == "/tmp/a:b.pdf"; }},
        {"QUENMRK_EXPORT", "pdf", [](S s) { return !s.exportFile; }}, {"QUENMRK_DEMO", "1", [](S s) { return s.demo; }},
        {"QUENMRK_DEMO", "", [](S s) { return !s.demo; }},
        {"QUENMRK_TEST_AUTH", "signup", [](S s) { return s.testAuth == "signup"; }},
        {"QUENMRK_TEST_EMAIL", "a@b.example", [](S s) { return s.testEmail == "a@b.example"; }},
        {"QUENMRK_TEST_PASSWORD", "pw", [](S s) { return s.testPassword == "pw"; }},
        {"QUENMRK_TEST_AVATAR", "/tmp/me.png", [](S s) { return s.testAvatar == "/tmp/me.png"; }},
        {"QUENMRK_OPEN", "balance", [](S s) { return s.open == "balance"; }},
        {"QUENMRK_TEST_WIDGETS", "/tmp/w.json", [](S s) { return s.widgetListPath == "/tmp/w.json"; }},
        {"QUENMRK_TEST_TEXTS", "1", [](S s) { return s.listTexts; }},
        {"QUENMRK_THEME", "dark", [](S s) { return s.automation.theme == "dark"; }},
        {"QUENMRK_WINDOW", "800x600", [](S s) { return s.automation.windowWidth == 800; }},
        {"QUENMRK_SHOT", "/tmp/s.png", [](S s) { return s.automation.shotPath == "/tmp/s.png"; }}};
    for (const Case& c : cases)
        EXPECT_TRUE(c.holds(readOne(c.name, c.value))) << c.name << "=" << c.value;

    StartSwitches none = readStartSwitches([](const char*) { return std::nullopt; });
    EXPECT_TRUE(none.backend.empty() && !none.page && !none.view && !none.welcomeMode && !none.tourStep
        && !none.exportFile && !none.demo && none.testAuth.empty() && none.open.empty() && none.widgetListPath.empty()
        && !none.listTexts);
}

}  // namespace
}  // namespace qm
