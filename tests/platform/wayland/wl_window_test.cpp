// The Wayland back end against recording fakes of the client library, EGL
// and wayland-cursor: what no headless compositor offers on demand.
#include "wl_fake.h"

#include "core/errors.h"
#include "core/ui_wake.h"
#include "platform/wayland/wl_protocols.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <thread>

namespace qm::test {
namespace {

std::vector<FakeGlobal> standardGlobals()
{
    return {{"wl_compositor", 4}, {"wl_subcompositor", 1}, {"wl_shm", 1}, {"xdg_wm_base", 6}, {"wl_seat", 5},
        {"wl_output", 2}, {"wl_data_device_manager", 3}};
}

struct WaylandFixture : ::testing::Test {
    FakeWayland f;
    WaylandFixture() { f.globals = standardGlobals(); }

    WlWindowRef open(int32_t w = 800, int32_t h = 600)
    {
        WlWindowRef win = createWlWindow("Demo", w, h, false);
        f.clearRequests();
        return win;
    }
    std::vector<WindowEvent> kinds(WlWindow& w, uint8_t kind)
    {
        std::vector<WindowEvent> out;
        for (const WindowEvent& e : w.events)
            if (e.kind == kind)
                out.push_back(e);
        return out;
    }
};

std::string loadFailure(const std::function<void(FakeWayland&)>& setup)
{
    FakeWayland f;
    setup(f);
    EXPECT_FALSE(loadWaylandLibraries());
    return wl.loadError;
}

TEST(WaylandLoading, reportsTheFirstMissingPiece)
{
    EXPECT_EQ(loadFailure([](FakeWayland& f) { f.missingLibraries = {"libwayland-client.so.0"}; }),
        "libwayland-client.so.0 not found");
    EXPECT_EQ(loadFailure([](FakeWayland& f) { f.missingSymbols = {"wl_data_offer_interface"}; }),
        "missing wl_data_offer_interface");
    EXPECT_EQ(
        loadFailure([](FakeWayland& f) { f.missingSymbols = {"eglGetProcAddress"}; }), "missing eglGetProcAddress");
    EXPECT_EQ(
        loadFailure([](FakeWayland& f) { f.missingLibraries = {"libxkbcommon.so.0"}; }), "libxkbcommon.so.0 not found");
}

TEST(WaylandLoading, optionalPartsMayBeMissing)
{
    FakeWayland f;
    f.missingSymbols = {"xkb_compose_state_feed"};
    f.missingLibraries = {"libwayland-cursor.so.0"};
    ASSERT_TRUE(loadWaylandLibraries());
    EXPECT_FALSE(wl.hasCompose());
    EXPECT_FALSE(wl.hasCursorLibrary());
    EXPECT_NE(wlp.xdg_toplevel, nullptr);
}

TEST(WaylandLoading, aFailureIsKeptAndRaisedByWindowCreation)
{
    FakeWayland f;
    f.missingLibraries = {"libwayland-client.so.0"};
    EXPECT_FALSE(loadWaylandLibraries());
    f.missingLibraries.clear();
    EXPECT_FALSE(loadWaylandLibraries());  // not retried
    EXPECT_EQ(wl.loadError, "libwayland-client.so.0 not found");
    try {
        createWlWindow("x", 10, 10, false);
        FAIL();
    } catch (const OSError& e) {
        EXPECT_STREQ(e.what(), "libwayland-client.so.0 not found");
    }
}

TEST(WaylandConnecting, failuresAndTheirMessages)
{
    struct Case {
        std::function<void(FakeWayland&)> setup;
        const char* message;
    } cases[] = {
        {[](FakeWayland& f) { f.connectFails = true; }, "cannot connect to the Wayland compositor"},
        {[](FakeWayland& f) { std::erase_if(f.globals, [](auto& g) { return g.iface == "xdg_wm_base"; }); },
            "the compositor has no xdg-shell"},
        {[](FakeWayland& f) { std::erase_if(f.globals, [](auto& g) { return g.iface == "wl_shm"; }); },
            "the compositor has no xdg-shell"},
        {[](FakeWayland& f) { f.eglConfigs.clear(); }, "no suitable EGL config"},
        {[](FakeWayland& f) { f.autoConfigure = false; }, "The Wayland compositor did not configure the window"},
    };
    for (const Case& c : cases) {
        FakeWayland f;
        f.globals = standardGlobals();
        c.setup(f);
        try {
            createWlWindow("x", 100, 100, false);
            ADD_FAILURE() << c.message;
        } catch (const OSError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        // Nothing stays open for the fall-back.
        EXPECT_EQ(wls.display, nullptr) << c.message;
        EXPECT_TRUE(wls.windows.empty());
        if (!f.connectFails) {
            EXPECT_EQ(std::count(f.calls.begin(), f.calls.end(), "wl_display_disconnect"), 1) << c.message;
            for (auto& p : f.proxies) {
                if (p->iface && p->id != 1) {
                    EXPECT_TRUE(p->destroyed) << c.message << " " << p->name();
                }
            }
        }
        if (!f.autoConfigure) {
            EXPECT_EQ(f.roundtrips, 2 + 50);
        }
    }
}

TEST(WaylandConnecting, prefersAnExactEightBitConfig)
{
    EXPECT_EQ(pickEglConfig({{10, 10, 10, 2}, {10, 10, 10, 0}, {8, 8, 8, 8}, {8, 8, 8, 0}}), 3u);
    EXPECT_EQ(pickEglConfig({{10, 10, 10, 2}, {10, 10, 10, 0}, {8, 8, 8, 8}}), 1u);
    EXPECT_EQ(pickEglConfig({{8, 8, 8, 8}, {10, 10, 10, 2}}), 0u);
}

TEST_F(WaylandFixture, createsAToplevelWithItsRequests)
{
    f.configureWidth = 800;
    f.configureHeight = 634;
    WlWindowRef w = createWlWindow("Demo", 640, 400, true);
    EXPECT_EQ(f.requestsNamed("xdg_toplevel", "set_title")[0].args[0].s, "Demo");
    EXPECT_EQ(f.requestsNamed("xdg_toplevel", "set_app_id")[0].args[0].s, "quenmrk");
    EXPECT_EQ(f.requestsNamed("xdg_toplevel", "set_min_size")[0].args[0].i, 360);
    EXPECT_EQ(f.requestsNamed("xdg_toplevel", "set_maximized").size(), 1u);
    EXPECT_TRUE(w->clientDecorations);
    EXPECT_EQ(w->width, 800);
    EXPECT_EQ(w->height, 600);  // 634 less the title bar
    auto geometry = f.requestsNamed("xdg_surface", "set_window_geometry").back().args;
    EXPECT_EQ(geometry[1].i, -34);
    EXPECT_EQ(geometry[3].i, 634);
    EXPECT_TRUE(w->events.empty());
    EXPECT_EQ(f.requestsNamed("wl_subcompositor", "get_subsurface").size(), 5u);
    EXPECT_EQ(f.requestsNamed("wl_data_device_manager", "get_data_device").size(), 1u);
    EXPECT_EQ(f.calls[std::find(f.calls.begin(), f.calls.end(), "eglCreateContext 1") - f.calls.begin()],
        "eglCreateContext 1");
}

TEST_F(WaylandFixture, zeroConfigureIsLimitedByTheBounds)
{
    f.boundsWidth = 1000;
    f.boundsHeight = 700;
    WlWindowRef w = open(1200, 800);
    EXPECT_EQ(w->width, 1000);
    EXPECT_EQ(w->height, 666);
    EXPECT_EQ(f.eglWindowSizes.front(), (std::pair<int32_t, int32_t>{1000, 666}));
}

TEST_F(WaylandFixture, serverSideDecorationsDrawNothing)
{
    f.globals.push_back({"zxdg_decoration_manager_v1", 1});
    f.decorationMode = 2;
    WlWindowRef w = createWlWindow("Demo", 640, 400, false);
    EXPECT_FALSE(w->clientDecorations);
    EXPECT_EQ(f.requestsNamed("zxdg_toplevel_decoration_v1", "set_mode")[0].args[0].u, 2u);
    EXPECT_TRUE(f.requestsNamed("wl_subcompositor", "get_subsurface").empty());
    EXPECT_EQ(w->height, 400);
    // The compositor changes its mind: the frame comes, the content keeps its size.
    f.event(w->decoration, 0, {argUint(1)});
    EXPECT_TRUE(w->clientDecorations);
    EXPECT_EQ(f.requestsNamed("wl_subcompositor", "get_subsurface").size(), 5u);
}

TEST_F(WaylandFixture, suspendAndResumeResize)
{
    WlWindowRef w = open(640, 400);
    f.configure(*w, 0, 0, {9});
    auto r = kinds(*w, weResize);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].width, 0);
    EXPECT_EQ(r[0].height, 0);
    w->events.clear();
    f.configure(*w, 0, 0, {4});
    r = kinds(*w, weResize);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].width, 640);
    EXPECT_EQ(r[0].height, 400);
    EXPECT_EQ(f.requestsNamed("xdg_surface", "ack_configure").size(), 2u);
}

TEST_F(WaylandFixture, closeEventQueuesAClose)
{
    WlWindowRef w = open();
    f.event(w->toplevel, 1, {});
    EXPECT_TRUE(w->closeRequested);
    ASSERT_EQ(w->events.size(), 1u);
    EXPECT_EQ(w->events[0].kind, weClose);
}

TEST_F(WaylandFixture, fractionalScaleUsesTheViewport)
{
    f.globals.push_back({"wp_viewporter", 1});
    f.globals.push_back({"wp_fractional_scale_manager_v1", 1});
    WlWindowRef w = open(641, 401);
    ASSERT_NE(w->fractionalScale, nullptr);
    f.event(w->fractionalScale, 0, {argUint(180)});
    EXPECT_EQ(w->scale, 1.5);
    auto scale = kinds(*w, weScaleChanged);
    ASSERT_EQ(scale.size(), 1u);
    EXPECT_EQ(scale[0].scale, 1.5);
    auto resize = kinds(*w, weResize);
    ASSERT_EQ(resize.size(), 1u);
    EXPECT_EQ(resize[0].width, 962);   // round(961.5)
    EXPECT_EQ(resize[0].height, 602);  // round(601.5)
    EXPECT_EQ(f.eglWindowSizes.back(), (std::pair<int32_t, int32_t>{962, 602}));
    auto dest = f.requestsNamed("wp_viewport", "set_destination").back().args;
    EXPECT_EQ(dest[0].i, 641);
    EXPECT_EQ(dest[1].i, 401);
    EXPECT_TRUE(f.requestsNamed("wl_surface", "set_buffer_scale").size() <= 5u);  // decorations only
    EXPECT_EQ(w->decorationScale, 2);
}

TEST_F(WaylandFixture, noViewporterNoFractionalObject)
{
    f.globals.push_back({"wp_fractional_scale_manager_v1", 1});
    WlWindowRef w = open();
    EXPECT_EQ(w->fractionalScale, nullptr);
    EXPECT_TRUE(f.all("wp_fractional_scale_v1").empty());
}

TEST_F(WaylandFixture, outputScales)
{
    f.globals.push_back({"wl_output", 2});
    WlWindowRef w = open();
    ASSERT_EQ(wls.outputs.size(), 2u);
    f.event(wls.outputs[0].proxy, 3, {argInt(2)});
    f.event(wls.outputs[1].proxy, 3, {argInt(3)});
    EXPECT_EQ(w->scale, 3);  // on no known output: the largest
    f.event(w->surface, 0, {argObject(wls.outputs[0].proxy)});
    EXPECT_EQ(w->scale, 2);
    EXPECT_EQ(f.requestsNamed("wl_surface", "set_buffer_scale").back().args[0].i, 2);
    // The output goes away: the window is on none, and none is left.
    f.event(wls.registry, 1, {argUint(6)});
    f.event(wls.registry, 1, {argUint(8)});
    EXPECT_TRUE(wls.outputs.empty());
    EXPECT_EQ(w->scale, 1);
}

TEST_F(WaylandFixture, aFailingHandlerLeavesTheConnectionUsable)
{
    WlWindowRef w = open();
    int calls = 0;
    wlTestSeams.beforeEvent = [&](uint8_t kind, uint32_t) {
        if (kind == okOutput && calls++ == 0)
            throw ValueError("broken");
    };
    f.event(wls.outputs[0].proxy, 3, {argInt(2)});
    EXPECT_EQ(w->scale, 1);
    f.event(wls.outputs[0].proxy, 3, {argInt(2)});
    EXPECT_EQ(w->scale, 2);
    // An internal error waits until the library's call has returned.
    wlTestSeams.beforeEvent = [](uint8_t kind, uint32_t) {
        if (kind == okOutput)
            throw std::logic_error("internal");
    };
    f.queued.push_back([&] { f.event(wls.outputs[0].proxy, 3, {argInt(3)}); });
    f.queued.push_back([&] { wlTestSeams.beforeEvent = {}; });
    EXPECT_THROW(waitWaylandEvents(0), std::logic_error);
    f.queued.push_back([&] { f.event(wls.outputs[0].proxy, 3, {argInt(3)}); });
    waitWaylandEvents(0);
    EXPECT_EQ(w->scale, 3);
}

TEST_F(WaylandFixture, aLostConnectionIsReportedOnce)
{
    WlWindowRef w = open();
    f.displayError = 32;
    ::testing::internal::CaptureStderr();
    waitWaylandEvents(0);
    waitWaylandEvents(0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
        "Quenmark: the connection to the Wayland compositor was lost (error 32)\n");
    EXPECT_TRUE(w->closeRequested);
    f.displayError = 0;
    closeWlWindow(*w);
    EXPECT_EQ(wls.display, nullptr);
    EXPECT_FALSE(wls.connectionLost);
    // A new connection starts clean.
    WlWindowRef again = open();
    EXPECT_FALSE(again->closeRequested);
    EXPECT_EQ(wls.windows.size(), 1u);
}

TEST_F(WaylandFixture, closingReleasesEverything)
{
    WlWindowRef w = open();
    swapWlBuffers(*w);
    ASSERT_NE(w->frameCallback, nullptr);
    closeWlWindow(*w);
    for (auto& p : f.proxies) {
        if (p->iface && p->id != 1 && p->name() != "wl_buffer") {
            EXPECT_TRUE(p->destroyed) << p->name();
        }
    }
    EXPECT_EQ(std::count(f.calls.begin(), f.calls.end(), "eglTerminate"), 1);
    EXPECT_EQ(wls.display, nullptr);
    EXPECT_TRUE(wls.mappedBuffers.empty());
}

TEST_F(WaylandFixture, framesArePacedByCallbacks)
{
    WlWindowRef w = open();
    swapWlBuffers(*w);
    wl_proxy* first = w->frameCallback;
    ASSERT_NE(first, nullptr);
    f.queued.push_back([&] { f.event(first, 0, {argUint(0)}); });
    swapWlBuffers(*w);
    EXPECT_NE(w->frameCallback, first);
    EXPECT_TRUE(reinterpret_cast<FakeProxy*>(first)->destroyed);
    // No callback arrives: the wait gives up and asks for no second one.
    auto start = std::chrono::steady_clock::now();
    wl_proxy* second = w->frameCallback;
    swapWlBuffers(*w);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(45));
    EXPECT_EQ(w->frameCallback, second);
    EXPECT_EQ(std::count(f.calls.begin(), f.calls.end(), "eglSwapBuffers"), 3);
}

// The main loop's wait blocks on the connection only while nothing else is
// due: each case must end a wait of 20 s at once (the bound is generous;
// without the case's cause it would run the whole 20 s).
TEST_F(WaylandFixture, theLoopsWaitEndsForWhatIsDue)
{
    WlWindowRef w = open();
    uiWakeFd();
    struct Case {
        const char* name;
        std::function<void()> arrange;
        bool woken;
    };
    std::thread waker;
    const Case cases[] = {
        {"events the window holds", [&] { w->events.push_back(WindowEvent{}); }, false},
        {"a held key's next repeat",
            [&] {
                wls.keyboardWindow = w;
                wls.repeatKey = 38;
                wls.repeatRate = 25;
                wls.nextRepeat = monotonicSeconds() + 0.01;
            },
            false},
        {"a finger down", [&] { touchDown(w->gestures, 1, 10, 10, monotonicSeconds()); }, false},
        {"a wake from another thread", [&] { waker = std::thread([] { wakeUiThread(); }); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(waitWlEvents(*w, 20'000), c.woken);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        if (waker.joinable())
            waker.join();
        w->events.clear();
        wls.keyboardWindow.reset();
        wls.repeatKey = 0;
        touchCancel(w->gestures);
        w->gestures = {};
    }
    // The wake was taken: a wait after it blocks again, up to its timeout.
    EXPECT_FALSE(waitWlEvents(*w, 1));
}

struct CursorFixture : WaylandFixture {
    WlWindowRef w;
    void SetUp() override
    {
        w = open();
        wls.pointer =
            reinterpret_cast<wl_proxy*>(f.newProxy(static_cast<const wl_interface*>(wl.wl_pointer_interface), 5));
        wls.pointerEnterSerial = 7;
        wls.hasPointerEnterSerial = true;
        wls.pointerWindow = w;
        setenv("XCURSOR_THEME", "test", 1);
        setenv("XCURSOR_SIZE", "24", 1);
    }
    void TearDown() override
    {
        unsetenv("XCURSOR_THEME");
        unsetenv("XCURSOR_SIZE");
        wls.pointer = nullptr;
    }
};

TEST_F(CursorFixture, shapesWithCursorShape)
{
    wls.cursorShapeDevice = reinterpret_cast<wl_proxy*>(f.newProxy(wlp.wp_cursor_shape_device_v1, 1));
    const std::pair<CursorKind, uint32_t> table[] = {{curArrow, 1}, {curIBeam, 9}, {curCrosshair, 8}, {curHand, 4},
        {curSizeWE, 26}, {curSizeNS, 27}, {curSizeAll, 13}, {curSizeNWSE, 29}, {curSizeNESW, 28}, {curWait, 6}};
    for (auto [kind, shape] : table) {
        f.clearRequests();
        applyPointerCursor(kind);
        auto r = f.requestsNamed("wp_cursor_shape_device_v1", "set_shape");
        ASSERT_EQ(r.size(), 1u) << int(kind);
        EXPECT_EQ(r[0].args[0].u, 7u);
        EXPECT_EQ(r[0].args[1].u, shape) << int(kind);
    }
    f.clearRequests();
    applyPointerCursor(curNone);
    EXPECT_TRUE(f.requestsNamed("wp_cursor_shape_device_v1", "set_shape").empty());
    auto hide = f.requestsNamed("wl_pointer", "set_cursor");
    ASSERT_EQ(hide.size(), 1u);
    EXPECT_TRUE(hide[0].args[1].null);
    wls.cursorShapeDevice = nullptr;
}

TEST_F(CursorFixture, themedCursorFollowsTheScale)
{
    w->scale = 1.5;
    applyPointerCursor(curIBeam);
    ASSERT_EQ(f.themeSizes, std::vector<int32_t>{48});
    EXPECT_EQ(f.requestsNamed("wl_surface", "set_buffer_scale").back().args[0].i, 2);
    auto damage = f.requestsNamed("wl_surface", "damage").back().args;
    EXPECT_EQ(damage[2].i, 12);
    auto set = f.requestsNamed("wl_pointer", "set_cursor").back().args;
    EXPECT_EQ(set[2].i, 2);  // hotspot 4 / 2
    // The same scale keeps the theme; an odd-sized image is not scaled.
    f.clearRequests();
    f.cursorImageSize = 25;
    applyPointerCursor(curArrow);
    EXPECT_EQ(f.themeSizes.size(), 1u);
    EXPECT_EQ(f.requestsNamed("wl_surface", "set_buffer_scale").back().args[0].i, 1);
    EXPECT_EQ(f.requestsNamed("wl_surface", "damage").back().args[2].i, 25);
    w->scale = 1;
    applyPointerCursor(curArrow);
    EXPECT_EQ(f.themeSizes, (std::vector<int32_t>{48, 24}));
}

TEST_F(CursorFixture, settingsFromTheEnvironment)
{
    unsetenv("XCURSOR_SIZE");
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", "/nonexistent", 1);
    CursorSettings s = readCursorSettings();
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(s.theme, "test");
    EXPECT_EQ(s.size, 24);
}

TEST_F(WaylandFixture, ownClipboardNeedsNoPipe)
{
    open();
    wls.lastInputSerial = 55;
    setWlClipboardText("hello");
    auto offers = f.requestsNamed("wl_data_source", "offer");
    ASSERT_EQ(offers.size(), 5u);
    EXPECT_EQ(offers[0].args[0].s, "text/plain;charset=utf-8");
    EXPECT_EQ(offers[4].args[0].s, "STRING");
    auto sel = f.requestsNamed("wl_data_device", "set_selection");
    ASSERT_EQ(sel.size(), 1u);
    EXPECT_EQ(sel[0].args[1].u, 55u);
    EXPECT_EQ(getWlClipboardText(), "hello");
    EXPECT_TRUE(f.requestsNamed("wl_data_offer", "receive").empty());
    // Another client asks for it.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    f.event(wls.ownSource, 1, {argString("STRING"), argFd(fds[1])});
    char buffer[16] = {};
    EXPECT_EQ(read(fds[0], buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer), "hello");
    close(fds[0]);
    // Cancelled: the next read goes to the selection (none here).
    f.event(wls.ownSource, 2, {});
    EXPECT_EQ(wls.ownSource, nullptr);
    EXPECT_EQ(getWlClipboardText(), "");
}

TEST_F(WaylandFixture, pasteFromAnotherClient)
{
    open();
    f.offerPayloads = {{"text/plain;charset=utf-8", "utf8"}, {"STRING", "latin"}};
    FakeProxy* o = f.offer({"STRING", "text/plain;charset=utf-8"});
    f.event(wls.dataDevice, 5, {arg(o)});
    EXPECT_EQ(getWlClipboardText(), "utf8");
    FakeProxy* image = f.offer({"image/png"});
    f.event(wls.dataDevice, 5, {arg(image)});
    EXPECT_TRUE(o->destroyed);
    f.clearRequests();
    EXPECT_EQ(getWlClipboardText(), "");
    EXPECT_TRUE(f.requestsNamed("wl_data_offer", "receive").empty());
    std::string big(3 * 1024 * 1024, 'x');
    for (size_t i = 0; i < big.size(); i += 997)
        big[i] = char('a' + i % 26);
    f.offerPayloads = {{"text/plain", big}};
    FakeProxy* large = f.offer({"text/plain"});
    f.event(wls.dataDevice, 5, {arg(large)});
    EXPECT_EQ(getWlClipboardText(), big);
}

TEST(WaylandPipes, aReaderThatNeverReadsStopsTheWrite)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    auto start = std::chrono::steady_clock::now();
    writeAllToFd(fds[1], std::string(3 * 1024 * 1024, 'x'));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(1900));
    EXPECT_LT(took, std::chrono::seconds(10));
    close(fds[0]);
    close(fds[1]);
}

TEST_F(WaylandFixture, dropsOfFiles)
{
    WlWindowRef w = open();
    w->scale = 2;
    f.offerPayloads = {{"text/uri-list", "file:///tmp/a.ofx\r\nfile:///tmp/b%20c.qfx\r\n"}};
    FakeProxy* o = f.offer({"text/uri-list", "text/plain"});
    f.event(wls.dataDevice, 1, {argUint(9), argObject(w->surface), argFixed(10), argFixed(20), arg(o)});
    auto accept = f.requestsNamed("wl_data_offer", "accept");
    ASSERT_EQ(accept.size(), 1u);
    EXPECT_EQ(accept[0].args[0].u, 9u);
    EXPECT_EQ(accept[0].args[1].s, "text/uri-list");
    EXPECT_EQ(f.requestsNamed("wl_data_offer", "set_actions").size(), 1u);
    f.event(wls.dataDevice, 3, {argUint(0), argFixed(12.5), argFixed(30)});
    f.event(wls.dataDevice, 4, {});
    auto drops = kinds(*w, weFileDrop);
    ASSERT_EQ(drops.size(), 2u);
    EXPECT_EQ(drops[0].text, "/tmp/a.ofx");
    EXPECT_EQ(drops[1].text, "/tmp/b c.qfx");
    for (const WindowEvent& e : drops) {
        EXPECT_EQ(e.x, 25);
        EXPECT_EQ(e.y, 60);
    }
    EXPECT_EQ(f.requestsNamed("wl_data_offer", "finish").size(), 1u);
    EXPECT_TRUE(o->destroyed);

    f.clearRequests();
    w->events.clear();
    FakeProxy* text = f.offer({"text/plain"});
    f.event(wls.dataDevice, 1, {argUint(10), argObject(w->surface), argFixed(1), argFixed(1), arg(text)});
    accept = f.requestsNamed("wl_data_offer", "accept");
    ASSERT_EQ(accept.size(), 1u);
    EXPECT_TRUE(accept[0].args[1].null);
    f.event(wls.dataDevice, 4, {});
    EXPECT_TRUE(w->events.empty());
    EXPECT_TRUE(text->destroyed);
}

TEST_F(WaylandFixture, activationGoesThroughAToken)
{
    f.globals.push_back({"xdg_activation_v1", 1});
    WlWindowRef w = open();
    wls.lastInputSerial = 3;
    wls.hasInputSerial = true;
    activateWlWindow(*w);
    FakeProxy* token = f.last("xdg_activation_token_v1");
    ASSERT_NE(token, nullptr);
    EXPECT_EQ(f.requestsNamed("xdg_activation_token_v1", "set_serial")[0].args[0].u, 3u);
    EXPECT_EQ(f.requestsNamed("xdg_activation_token_v1", "commit").size(), 1u);
    f.event(token, 0, {argString("tok")});
    auto act = f.requestsNamed("xdg_activation_v1", "activate");
    ASSERT_EQ(act.size(), 1u);
    EXPECT_EQ(act[0].args[0].s, "tok");
    EXPECT_TRUE(token->destroyed);
    EXPECT_TRUE(wls.activationTokens.empty());
}

TEST_F(WaylandFixture, releasedBuffersAreUnmapped)
{
    WlWindowRef w = open();
    size_t before = wls.mappedBuffers.size();
    ASSERT_EQ(before, 5u);  // title bar and four borders
    wl_proxy* b = wls.mappedBuffers.begin()->first;
    f.event(b, 0, {});
    EXPECT_EQ(wls.mappedBuffers.size(), before - 1);
    EXPECT_TRUE(reinterpret_cast<FakeProxy*>(b)->destroyed);
    // A maximised window hides its borders: no new buffer for them.
    f.clearRequests();
    f.configure(*w, 900, 700, {1});
    EXPECT_EQ(f.requestsNamed("wl_shm_pool", "create_buffer").size(), 1u);
    EXPECT_EQ(f.requestsNamed("wl_surface", "attach").size(), 5u);
}

}  // namespace
}  // namespace qm::test
