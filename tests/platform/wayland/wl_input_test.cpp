// Seat input and the drawn decorations' pointer handling, against the fakes.
#include "wl_fake.h"

#include "platform/keys.h"
#include "platform/wayland/wl_protocols.h"

#include <gtest/gtest.h>

namespace qm::test {
namespace {

struct InputFixture : ::testing::Test {
    FakeWayland f;
    WlWindowRef w;
    double clock = 1000;

    void SetUp() override
    {
        f.globals = {{"wl_compositor", 4}, {"wl_subcompositor", 1}, {"wl_shm", 1}, {"xdg_wm_base", 6}, {"wl_seat", 5},
            {"wl_output", 2}, {"wl_data_device_manager", 3}};
        w = createWlWindow("Demo", 400, 300, false);
        wlTestSeams.clock = [this] { return clock; };
        f.event(wls.seat, 0, {argUint(7)});
        f.clearRequests();
        w->events.clear();
    }
    void enter(int32_t part, double x, double y)
    {
        wl_proxy* surface = part == partContent ? w->surface : w->parts[part].surface;
        f.event(wls.pointer, 0, {argUint(f.serial++), argObject(surface), argFixed(x), argFixed(y)});
    }
    void button(uint32_t code, bool pressed)
    {
        f.event(wls.pointer, 3, {argUint(f.serial++), argUint(0), argUint(code), argUint(pressed ? 1 : 0)});
    }
    std::vector<WindowEvent> take()
    {
        std::vector<WindowEvent> out;
        out.swap(w->events);
        return out;
    }
};

TEST_F(InputFixture, hitTests)
{
    // Title bar at W = 400: y is content-relative, so the button line is y = 17 - 34.
    struct {
        double x, y;
        uint8_t button;
    } buttons[] = {{382, -17, buttonClose}, {350, -17, buttonMaximise}, {318, -17, buttonMinimise},
        {394, -17, buttonClose}, {395, -17, buttonNone}, {382, -5, buttonClose}, {382, -4, buttonNone},
        {382, -29, buttonClose}, {382, -30, buttonNone}, {200, -17, buttonNone}};
    for (auto c : buttons)
        EXPECT_EQ(titleButtonAt(*w, c.x, c.y), c.button) << c.x << "," << c.y;
    struct {
        int32_t part;
        double x, y;
    } edges[] = {{partTop, 10 - 8, -42}, {partTop, 200, -42}, {partTop, 390, -42}, {partBottom, 5, 304},
        {partBottom, 200, 304}, {partBottom, 395, 304}, {partLeft, -4, -30}, {partLeft, -4, 100}, {partLeft, -4, 290},
        {partRight, 404, -30}, {partRight, 404, 100}, {partRight, 404, 290}};
    const uint32_t expected[] = {5, 1, 9, 6, 2, 10, 5, 4, 6, 9, 8, 10};
    for (size_t i = 0; i < std::size(edges); ++i)
        EXPECT_EQ(resizeEdgesAt(*w, edges[i].part, edges[i].x, edges[i].y), expected[i]) << i;
    const std::pair<uint32_t, CursorKind> cursors[] = {{1, curSizeNS}, {2, curSizeNS}, {4, curSizeWE}, {8, curSizeWE},
        {5, curSizeNWSE}, {10, curSizeNWSE}, {6, curSizeNESW}, {9, curSizeNESW}, {0, curArrow}};
    for (auto [e, kind] : cursors)
        EXPECT_EQ(edgeCursor(e), kind) << e;
}

TEST_F(InputFixture, topBorderNearItsLeftEndResizesTopLeft)
{
    wls.cursorShapeDevice = reinterpret_cast<wl_proxy*>(f.newProxy(wlp.wp_cursor_shape_device_v1, 1));
    // 10 logical pixels from the border's left end.
    enter(partTop, 10, 4);
    auto shape = f.requestsNamed("wp_cursor_shape_device_v1", "set_shape");
    ASSERT_EQ(shape.size(), 1u);
    EXPECT_EQ(shape[0].args[1].u, 29u);  // nwse_resize
    button(272, true);
    auto resize = f.requestsNamed("xdg_toplevel", "resize");
    ASSERT_EQ(resize.size(), 1u);
    EXPECT_EQ(resize[0].args[0].o, reinterpret_cast<FakeProxy*>(wls.seat));
    EXPECT_EQ(resize[0].args[1].u, wls.lastInputSerial);
    EXPECT_EQ(resize[0].args[2].u, 5u);
    sendDestructorRequest(wls.cursorShapeDevice, 0);
    wls.cursorShapeDevice = nullptr;
}

TEST_F(InputFixture, titleButtons)
{
    enter(partTitleBar, 382, 17);
    EXPECT_EQ(w->hoveredButton, buttonClose);
    button(272, true);
    EXPECT_EQ(w->pressedButton, buttonClose);
    button(272, false);
    auto events = take();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, weClose);
    EXPECT_TRUE(w->closeRequested);
    // Released off the button: only a redraw.
    w->closeRequested = false;
    button(272, true);
    f.event(wls.pointer, 2, {argUint(0), argFixed(200), argFixed(17)});
    f.clearRequests();
    button(272, false);
    EXPECT_TRUE(take().empty());
    EXPECT_FALSE(w->closeRequested);
    EXPECT_GE(f.requestsNamed("wl_shm_pool", "create_buffer").size(), 1u);  // redrawn
    // Minimise and maximise.
    f.event(wls.pointer, 2, {argUint(0), argFixed(318), argFixed(17)});
    button(272, true);
    button(272, false);
    EXPECT_EQ(f.requestsNamed("xdg_toplevel", "set_minimized").size(), 1u);
    f.event(wls.pointer, 2, {argUint(0), argFixed(350), argFixed(17)});
    button(272, true);
    button(272, false);
    EXPECT_EQ(f.requestsNamed("xdg_toplevel", "set_maximized").size(), 1u);
}

TEST_F(InputFixture, titleDoubleClickMoveAndMenu)
{
    enter(partTitleBar, 100.7, 20.6);
    button(272, true);
    button(272, false);
    auto move = f.requestsNamed("xdg_toplevel", "move");
    ASSERT_EQ(move.size(), 1u);
    clock += 0.3;
    button(272, true);
    EXPECT_EQ(f.requestsNamed("xdg_toplevel", "set_maximized").size(), 1u);
    f.configure(*w, 900, 700, {1});
    clock += 0.3;
    button(272, true);
    clock += 0.3;
    button(272, true);
    EXPECT_EQ(f.requestsNamed("xdg_toplevel", "unset_maximized").size(), 1u);
    // Slower than 0.4 s: two moves, no toggle.
    clock += 1;
    button(272, true);
    clock += 0.5;
    button(272, true);
    EXPECT_EQ(f.requestsNamed("xdg_toplevel", "unset_maximized").size(), 1u);
    button(273, true);
    auto menu = f.requestsNamed("xdg_toplevel", "show_window_menu");
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_EQ(menu[0].args[2].i, 100);
    EXPECT_EQ(menu[0].args[3].i, 20);  // trunc(20.6 - 34 + 34)
}

TEST_F(InputFixture, pointerOnTheContent)
{
    w->scale = 2;
    enter(partContent, 10, 20);
    button(272, true);
    button(273, true);
    button(274, false);
    button(275, true);
    button(276, true);
    button(280, true);
    f.event(wls.pointer, 8, {argUint(0), argInt(1)});
    f.event(wls.pointer, 4, {argUint(0), argUint(0), argFixed(10)});
    f.event(wls.pointer, 4, {argUint(0), argUint(0), argFixed(15)});
    f.event(wls.pointer, 4, {argUint(0), argUint(1), argFixed(5)});
    f.event(wls.pointer, 1, {argUint(0), argObject(w->surface)});
    auto e = take();
    ASSERT_EQ(e.size(), 10u);
    EXPECT_EQ(e[0].kind, weMouseMove);
    EXPECT_EQ(e[0].x, 20);
    EXPECT_EQ(e[0].y, 40);
    const std::pair<uint8_t, uint8_t> buttons[] = {
        {weMouseDown, 1}, {weMouseDown, 3}, {weMouseUp, 2}, {weMouseDown, 4}, {weMouseDown, 5}};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(e[1 + i].kind, buttons[i].first);
        EXPECT_EQ(e[1 + i].button, buttons[i].second);
    }
    EXPECT_EQ(e[6].dy, -1);
    EXPECT_EQ(e[7].dy, -1.5);
    EXPECT_GT(e[8].dx, 0);
    EXPECT_EQ(e[9].kind, weMouseLeave);
}

TEST_F(InputFixture, lostCapabilitiesAreReleasedBySeatVersion)
{
    FakeProxy* pointer = reinterpret_cast<FakeProxy*>(wls.pointer);
    f.event(wls.seat, 0, {argUint(0)});
    EXPECT_EQ(f.requestsNamed("wl_pointer", "release").size(), 1u);
    EXPECT_EQ(f.requestsNamed("wl_keyboard", "release").size(), 1u);
    EXPECT_EQ(f.requestsNamed("wl_touch", "release").size(), 1u);
    EXPECT_TRUE(pointer->destroyed);
    // A seat below version 3 has no release requests.
    f.event(wls.seat, 0, {argUint(7)});
    wls.seatVersion = 2;
    f.clearRequests();
    FakeProxy* keyboard = reinterpret_cast<FakeProxy*>(wls.keyboard);
    f.event(wls.seat, 0, {argUint(0)});
    EXPECT_TRUE(f.requestsNamed("wl_keyboard", "release").empty());
    EXPECT_TRUE(keyboard->destroyed);
}

TEST_F(InputFixture, touchReachesTheRecogniserInBufferPixels)
{
    w->scale = 1.5;
    f.event(wls.touch, 0, {argUint(5), argUint(0), argObject(w->surface), argInt(1), argFixed(10), argFixed(20)});
    f.event(wls.touch, 1, {argUint(6), argUint(0), argInt(1)});
    WindowEvent focus;
    focus.kind = weFocusIn;
    w->events.push_back(focus);
    clock += 0.05;
    auto e = pollWlEvents(*w);
    ASSERT_GE(e.size(), 2u);
    EXPECT_EQ(e[0].kind, weFocusIn);  // dispatched events first
    EXPECT_EQ(e[1].kind, weMouseMove);
    EXPECT_EQ(e[1].x, 15);
    EXPECT_EQ(e[1].y, 30);
    EXPECT_EQ(e[1].fromTouch, 1);
    // A drag cancelled midway gets its button release.
    f.event(wls.touch, 0, {argUint(7), argUint(0), argObject(w->surface), argInt(2), argFixed(10), argFixed(20)});
    for (int i = 1; i <= 5; ++i) {
        clock += 0.05;
        f.event(wls.touch, 2, {argUint(0), argInt(2), argFixed(10 + 20 * i), argFixed(20)});
        pollWlEvents(*w);
    }
    f.event(wls.touch, 4, {});
    EXPECT_TRUE(wls.touchMap.empty());
    clock += 0.05;
    auto after = pollWlEvents(*w);
    bool released = false;
    for (const WindowEvent& x : after)
        released |= x.kind == weMouseUp && x.button == 1;
    EXPECT_TRUE(released);
}

TEST_F(InputFixture, keyRepeatAndItsStall)
{
    wls.keymap = reinterpret_cast<xkb_keymap*>(&f);
    wls.xkbState = reinterpret_cast<xkb_state*>(&f);
    f.event(wls.keyboard, 5, {argInt(25), argInt(600)});
    f.event(wls.keyboard, 1, {argUint(1), argObject(w->surface), {}});
    f.event(wls.keyboard, 3, {argUint(2), argUint(0), argUint(30), argUint(1)});
    auto e = take();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[1].kind, weKeyDown);
    EXPECT_EQ(e[1].key, keyA);
    EXPECT_EQ(e[2].codepoint, 'a');
    clock += 0.59;
    EXPECT_TRUE(pollWlEvents(*w).empty());
    clock += 0.02;
    auto first = pollWlEvents(*w);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].repeat, 1);
    clock += 2;
    auto stalled = pollWlEvents(*w);
    EXPECT_EQ(stalled.size(), 16u);  // 8 repeats, each with its text
    clock += 0.03;
    EXPECT_EQ(pollWlEvents(*w).size(), 0u);  // the next one is a full step away
    clock += 0.02;
    EXPECT_EQ(pollWlEvents(*w).size(), 2u);
    f.event(wls.keyboard, 3, {argUint(3), argUint(0), argUint(30), argUint(0)});
    clock += 1;
    auto up = pollWlEvents(*w);
    ASSERT_EQ(up.size(), 1u);
    EXPECT_EQ(up[0].kind, weKeyUp);
    wls.keymap = nullptr;
    wls.xkbState = nullptr;
}

}  // namespace
}  // namespace qm::test
