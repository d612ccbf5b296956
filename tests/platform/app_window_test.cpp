#include "platform/app_window.h"

#include "core/errors.h"
#include "platform/desktop_query.h"
#include "platform/keys.h"
#include "platform/platform_window_internal.h"
#include "platform/x11/x11_window.h"
#include "platform/x11/x11_window_internal.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>

namespace qm {
namespace {

WindowEvent event(uint8_t kind, double x = 0, double y = 0)
{
    WindowEvent e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    return e;
}

FakePlatformWindow& fakeOf(const AppWindow& w) { return *w.platform->fake; }

TEST(AppWindow, ModalWindowTakesTheInput)
{
    AppWindowRef owner = newAppWindowOn(newFakePlatformWindow(), "owner");
    AppWindowRef modal = newAppWindowOn(newFakePlatformWindow(), "modal");
    owner->modal = modal;
    WindowEvent resize = event(weResize);
    resize.width = 900;
    resize.height = 700;
    fakeOf(*owner).pending = {event(weMouseMove, 5, 6), event(weMouseDown, 5, 6), event(weMouseUp, 5, 6), resize,
        event(weKeyDown), event(weText), event(weFocusOut), event(weClose)};
    fakeOf(*owner).closeRequested = true;
    std::vector<WindowEvent> got = pollEvents(*owner);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].kind, weResize);
    EXPECT_EQ(got[1].kind, weFocusOut);
    EXPECT_EQ(fakeOf(*modal).activations, 1) << "activated once however many clicks";
    EXPECT_EQ(owner->width, 900);
    EXPECT_EQ(owner->pointerX, 0) << "filtered motion does not move the pointer";
    EXPECT_EQ(owner->focused, 0);
    EXPECT_EQ(owner->closeRequested, 1) << "the platform's close flag still counts";
    EXPECT_FALSE(fakeOf(*owner).closeRequested);

    // Without a modal window everything passes and updates the state.
    owner->modal.reset();
    fakeOf(*owner).pending = {event(weMouseMove, 5, 6), event(weFocusIn)};
    EXPECT_EQ(pollEvents(*owner).size(), 2u);
    EXPECT_EQ(owner->pointerY, 6);
    EXPECT_EQ(owner->focused, 1);
    EXPECT_EQ(fakeOf(*modal).activations, 1);
}

TEST(AppWindow, CursorSizeClipboardAndColour)
{
    AppWindowRef w = newAppWindowOn(newFakePlatformWindow(), "main");
    setCursor(*w, curArrow);  // already the current shape
    setCursor(*w, curHand);
    setCursor(*w, curHand);
    EXPECT_EQ(fakeOf(*w).cursors, std::vector<CursorKind>{curHand});

    WindowEvent resize = event(weResize);
    resize.width = 1;
    resize.height = 800;
    fakeOf(*w).pending = {resize};
    pollEvents(*w);
    EXPECT_TRUE(isMinimised(*w));
    EXPECT_EQ(framebufferWidth(*w), 1);
    EXPECT_EQ(bottomInset(*w), 0);

    AppWindowRef secondary = newAppWindowOn(newFakePlatformWindow(), "second");
    secondary->owner = w;
    setClipboardText(*secondary, "shared");
    EXPECT_EQ(fakeOf(*w).clipboard, "shared");
    EXPECT_EQ(fakeOf(*secondary).clipboard, "");
    EXPECT_EQ(getClipboardText(*secondary), "shared");

    EXPECT_FALSE(updateIfChanged(*w, 0.1, 0.2, 0.3));
    EXPECT_TRUE(updateIfChanged(*w, 0.1, 0.2, 0.3));
    EXPECT_FALSE(updateIfChanged(*w, 0.1, 0.2, 0.4));
    EXPECT_EQ(w->backgroundColor[2], 0.4);

    w->redrawCounter = std::numeric_limits<int32_t>::max() - 1;
    requestRedrawIf(*w, false);
    requestRedraw(*w);
    EXPECT_THROW(requestRedraw(*w), ValueError);
    EXPECT_FALSE(hasNativeFileDialog());
    EXPECT_EQ(runNativeFileDialog(), "");
}

class PrefersDark : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() / ("qm-gsettings-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        const char* theme = std::getenv("GTK_THEME");
        savedTheme = theme ? std::optional<std::string>(theme) : std::nullopt;
        unsetenv("GTK_THEME");
    }
    void TearDown() override
    {
        setenv("PATH", savedPath.c_str(), 1);
        if (savedTheme)
            setenv("GTK_THEME", savedTheme->c_str(), 1);
        else
            unsetenv("GTK_THEME");
        std::filesystem::remove_all(dir);
    }
    // A gsettings that answers the colour scheme and the theme name.
    void fakeGsettings(const std::string& scheme, const std::string& theme, int status = 0)
    {
        std::string script = dir / "gsettings";
        std::ofstream(script) << "#!/bin/sh\ncase \"$3\" in\n  color-scheme) echo \"" << scheme
                              << "\";;\n  gtk-theme) echo \"" << theme << "\";;\nesac\nexit " << status << "\n";
        chmod(script.c_str(), 0755);
        setenv("PATH", (dir.string() + ":/usr/bin:/bin").c_str(), 1);
    }
    std::filesystem::path dir;
    std::string savedPath;
    std::optional<std::string> savedTheme;
};

TEST_F(PrefersDark, AsksGsettingsThenTheEnvironment)
{
    fakeGsettings("'prefer-dark'", "'Adwaita'");
    EXPECT_TRUE(systemPrefersDark());
    fakeGsettings("'prefer-light'", "'Adwaita-dark'");
    setenv("GTK_THEME", "Adwaita:dark", 1);
    EXPECT_FALSE(systemPrefersDark());
    unsetenv("GTK_THEME");
    fakeGsettings("'default'", "'Adwaita-Dark'");
    EXPECT_TRUE(systemPrefersDark());
    fakeGsettings("'default'", "'Adwaita'");
    EXPECT_FALSE(systemPrefersDark());
    fakeGsettings("'prefer-dark'", "'Adwaita-dark'", 1);  // a failing run
    EXPECT_FALSE(systemPrefersDark());
    setenv("GTK_THEME", "Adwaita:DARK", 1);
    EXPECT_TRUE(systemPrefersDark());
    setenv("PATH", "/nonexistent", 1);  // no gsettings at all
    EXPECT_TRUE(systemPrefersDark());
}

TEST(X11Helpers, ScaleKeyTextAndExtensions)
{
    EXPECT_EQ(x11ScaleFrom("1.5", "Xft.dpi: 192\n"), 1.5);
    EXPECT_EQ(x11ScaleFrom("0", "Xft.dpi:\t144\n"), 1.5);
    EXPECT_EQ(x11ScaleFrom("abc", "Xft.dpi: 144\n"), 1.5);
    EXPECT_EQ(x11ScaleFrom(nullptr, "Xft.dpi: 30\n"), 1.0);
    EXPECT_EQ(x11ScaleFrom(nullptr, "Xft.antialias: 1\n"), 1.0);
    EXPECT_EQ(x11ScaleFrom(nullptr, nullptr), 1.0);
    EXPECT_EQ(x11ScaleFrom("-2", "Xft.dpi: 1.2.3\n"), 1.0);
    // Trailing text or a factor past 8 falls back to the resource, whose
    // own factor is capped the same way.
    EXPECT_EQ(x11ScaleFrom("2x", "Xft.dpi: 144\n"), 1.5);
    EXPECT_EQ(x11ScaleFrom("1e300", "Xft.dpi: 144\n"), 1.5);
    EXPECT_EQ(x11ScaleFrom("8", nullptr), 8.0);
    EXPECT_EQ(x11ScaleFrom(nullptr, "Xft.dpi: 9999999999\n"), 8.0);

    auto codepoints = [](std::string_view bytes, bool utf8) {
        std::vector<int32_t> out;
        for (const WindowEvent& e : keyTextEvents(bytes, utf8, modShift))
            out.push_back(e.codepoint);
        return out;
    };
    EXPECT_EQ(codepoints("\xE9", false), std::vector<int32_t>{0xE9}) << "Latin-1: each byte its own code point";
    EXPECT_EQ(codepoints("\xC3\xA9", true), std::vector<int32_t>{0xE9});
    EXPECT_EQ(codepoints("a\x7f\r\x01", false), std::vector<int32_t>{'a'});
    EXPECT_EQ(keyTextEvents("x", false, modShift)[0].modifiers, modShift);

    EXPECT_TRUE(hasGlxExtension("GLX_ARB_create_context GLX_ARB_create_context_profile GLX_EXT_swap_control",
        "GLX_ARB_create_context_profile"));
    EXPECT_FALSE(hasGlxExtension("GLX_ARB_create_context_profile_es", "GLX_ARB_create_context_profile"));
    EXPECT_FALSE(hasGlxExtension("", "GLX_EXT_swap_control"));
}

}  // namespace
}  // namespace qm
