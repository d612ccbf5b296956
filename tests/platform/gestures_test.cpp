#include "platform/gestures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace qm {
namespace {

using Events = std::vector<std::string>;

std::string num(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4g", std::fabs(v) < 1e-9 ? 0.0 : v);
    return buf;
}

// Compact form of an event so whole poll results compare in one line.
std::string describe(const WindowEvent& e)
{
    std::string at = "(" + num(e.x) + "," + num(e.y) + ")";
    std::string touch = e.fromTouch ? "" : "!";
    switch (e.kind) {
    case weMouseMove:
        return touch + "move" + at;
    case weMouseDown:
        return touch + "down" + std::to_string(e.button) + at;
    case weMouseUp:
        return touch + "up" + std::to_string(e.button) + at;
    case weDoubleClick:
        return touch + "double" + std::to_string(e.button) + at;
    case weMouseLeave:
        return "leave";
    case weScroll:
        return "zoom" + at + num(e.dy);
    case weTouchScroll:
        return "pan" + at + num(e.dy) + (e.repeat ? "" : " first");
    case weRotate:
        return "rotate" + at + num(e.dx) + (e.repeat ? "" : " first");
    default:
        return "kind" + std::to_string(e.kind);
    }
}

// Drives a recogniser the way a back end does, on a clock the test sets.
struct Touchscreen {
    GestureRecognizer g;
    double now = 0;

    Events poll(double dt = 0.016)
    {
        now += dt;
        reevaluateTouch(g, now);
        Events out;
        for (const WindowEvent& e : gestureTick(g, now))
            out.push_back(describe(e));
        return out;
    }
    // Polls until a weMouseLeave comes; returns how many polls that took (0: none within 10).
    int pollsUntilLeave()
    {
        for (int i = 1; i <= 10; ++i) {
            Events e = poll();
            if (!e.empty() && e.back() == "leave")
                return i;
        }
        return 0;
    }
    void down(int id, double x, double y, double dt = 0) { touchDown(g, id, x, y, now += dt); }
    void move(int id, double x, double y, double dt = 0) { touchMotion(g, id, x, y, false, now += dt); }
    void up(int id, double x, double y, double dt = 0) { touchUp(g, id, x, y, now += dt); }
    void tap(double x, double y)
    {
        down(1, x, y);
        up(1, x, y, 0.05);
    }
};

TEST(Gestures, TapHoldsTheButtonForOnePollAndLeavesThreePollsLater)
{
    Touchscreen t;
    t.down(1, 10, 20);
    EXPECT_EQ(t.poll(), (Events{"move(10,20)"}));
    t.move(1, 15, 25);  // within the slop
    t.up(1, 16, 26, 0.05);
    EXPECT_EQ(t.poll(), (Events{"move(10,20)", "down1(10,20)"}));
    EXPECT_EQ(t.poll(), (Events{"up1(10,20)"}));
    EXPECT_EQ(t.pollsUntilLeave(), 1);  // third poll after the lift
    EXPECT_EQ(t.g.state, gestureIdle);
    EXPECT_EQ(t.g.primary, -1);
}

TEST(Gestures, DoubleTapThenAThirdTapStartsOver)
{
    Touchscreen t;
    t.g.scale = 2;  // thresholds scale: 20 px apart is within 30 x 2
    t.tap(100, 100);
    t.poll();
    t.poll();
    t.now += 0.2;
    t.tap(120, 100);
    EXPECT_EQ(t.poll(), (Events{"move(120,100)", "move(120,100)", "down1(120,100)", "double1(120,100)"}));
    EXPECT_EQ(t.poll(), (Events{"up1(120,100)"}));
    t.tap(120, 100);
    EXPECT_EQ(t.poll(), (Events{"move(120,100)", "move(120,100)", "down1(120,100)"}));

    // Too slow, or too far apart, is two single taps.
    Touchscreen slow;
    slow.tap(100, 100);
    slow.now += 0.4;
    slow.tap(100, 100);
    EXPECT_EQ(slow.poll(),
        (Events{
            "move(100,100)", "move(100,100)", "down1(100,100)", "move(100,100)", "move(100,100)", "down1(100,100)"}));
    Touchscreen far;
    far.tap(100, 100);
    far.tap(100, 131);
    EXPECT_EQ(far.poll(),
        (Events{
            "move(100,100)", "move(100,100)", "down1(100,100)", "move(100,131)", "move(100,131)", "down1(100,131)"}));
}

TEST(Gestures, FirstTapNearTheOriginIsNotADoubleTap)
{
    Touchscreen t;
    t.tap(1, 1);
    EXPECT_EQ(t.poll(), (Events{"move(1,1)", "move(1,1)", "down1(1,1)"}));
}

TEST(Gestures, LongPressIsARightClickAndTheLiftClicksNothing)
{
    Touchscreen t;
    t.down(1, 30, 40);
    EXPECT_EQ(t.poll(0.5), (Events{"move(30,40)"}));
    EXPECT_EQ(t.poll(0.06), (Events{"move(30,40)", "down3(30,40)"}));
    EXPECT_EQ(t.poll(), (Events{"up3(30,40)"}));
    t.up(1, 30, 40, 0.3);
    EXPECT_EQ(t.pollsUntilLeave(), 2);
}

TEST(Gestures, DragStartsAtTheTouchDownPoint)
{
    struct Case {
        const char* name;
        double toX, toY;
        bool scrollable;
    };
    const Case cases[] = {
        {"horizontal pan over a scroll area", 40, 12, true},
        {"vertical pan the hit test refuses", 12, 40, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Touchscreen t;
        t.g.hitTest = [&](double, double) { return c.scrollable; };
        t.down(1, 10, 10);
        t.move(1, c.toX, c.toY, 0.05);
        t.move(1, c.toX + 1, c.toY + 1, 0.01);
        // The press goes out alone; the motion waits one poll.
        EXPECT_EQ(t.poll(), (Events{"move(10,10)", "move(10,10)", "down1(10,10)"}));
        t.move(1, 60, 60);
        // The poll repeats the last raw motion from the stored position.
        std::string second = "move(" + num(c.toX + 1) + "," + num(c.toY + 1) + ")";
        EXPECT_EQ(t.poll(),
            (Events{"move(" + num(c.toX) + "," + num(c.toY) + ")", second, second, "move(60,60)", "move(60,60)"}));
        t.up(1, 70, 70);
        EXPECT_EQ(t.poll(), (Events{"move(70,70)", "up1(70,70)"}));
        EXPECT_EQ(t.pollsUntilLeave(), 1);
    }
}

TEST(Gestures, QuickDragReleasesAfterThePress)
{
    Touchscreen t;
    t.down(1, 0, 0);
    t.move(1, 50, 0);
    t.up(1, 60, 0);
    EXPECT_EQ(t.poll(), (Events{"move(0,0)", "move(0,0)", "down1(0,0)"}));
    EXPECT_EQ(t.poll(), (Events{"move(50,0)", "move(60,0)", "up1(60,0)"}));
    EXPECT_EQ(t.pollsUntilLeave(), 1);  // three polls after the lift
}

TEST(Gestures, VerticalPanScrollsWithInertiaAndATouchCatchesIt)
{
    Touchscreen t;
    std::vector<std::pair<double, double>> asked;
    t.g.hitTest = [&](double x, double y) {
        asked.push_back({x, y});
        return true;
    };
    t.down(1, 50, 100);
    t.move(1, 50, 130, 0.1);  // the first 12 px only break the tap
    t.move(1, 50, 160, 0.02);
    EXPECT_EQ(asked, (std::vector<std::pair<double, double>>{{50, 100}}));
    EXPECT_EQ(t.poll(0.005), (Events{"move(50,100)", "pan(50,100)0 first", "pan(50,100)18", "pan(50,100)30"}));
    EXPECT_DOUBLE_EQ(t.g.scrollVelocity, 1500);
    t.up(1, 50, 160, 0.005);
    EXPECT_DOUBLE_EQ(t.g.flingVelocity, 1500);

    // Inertia: dy = v x dt with dt capped at 50 ms, v decaying by e^(-dt/0.4).
    EXPECT_EQ(t.poll(0.01), (Events{"pan(50,100)30"}));  // dt since the last scroll step: 0.02
    double v = 1500 * std::exp(-0.02 / 0.4);
    EXPECT_DOUBLE_EQ(t.g.flingVelocity, v);
    EXPECT_EQ(t.poll(0.2), (Events{"pan(50,100)" + [&] {
        char b[32];
        std::snprintf(b, sizeof b, "%.4g", v * 0.05);
        return std::string(b);
    }()}));

    t.down(2, 10, 10);
    EXPECT_TRUE(t.g.caughtFling);
    EXPECT_EQ(t.g.flingVelocity, 0);
    t.up(2, 10, 10, 0.05);
    EXPECT_EQ(t.poll(), (Events{"move(10,10)", "leave"}));  // no click, leave one poll later
}

TEST(Gestures, PanEndsWithoutFlingWhenSlowOrStale)
{
    for (double pause : {0.0, 0.2}) {
        Touchscreen t;
        t.g.hitTest = [](double, double) { return true; };
        t.down(1, 0, 0);
        t.move(1, 0, -20, 0.1);
        t.move(1, 0, pause ? -60 : -21, 0.1);
        t.up(1, 0, pause ? -60 : -21, pause);
        EXPECT_EQ(t.g.flingVelocity, 0) << pause;
        t.poll();
        EXPECT_EQ(t.pollsUntilLeave(), 0);  // a scroll sends no leave
    }
}

TEST(Gestures, PinchGivesZoomStepsAndTheMiddleButton)
{
    for (double factor : {1.15, 1 / 1.15}) {
        Touchscreen t;
        t.down(1, 100, 100);
        t.down(2, 200, 100);
        EXPECT_EQ(t.poll(), (Events{"move(100,100)", "move(150,100)", "down2(150,100)"}));
        double bx = 100 + 100 * factor;
        t.move(2, 150, 100);
        t.move(2, bx, 100);  // only the latest position counts, once per poll
        Events e = t.poll();
        ASSERT_EQ(e.size(), 2u);
        EXPECT_EQ(e[1].substr(e[1].find(')') + 1), factor > 1 ? "1" : "-1");
        EXPECT_DOUBLE_EQ(t.g.lastDistance, 100 * factor);
        // Less than 1 % more distance is no step.
        t.move(2, bx + 0.5, 100);
        EXPECT_EQ(t.poll().size(), 1u);
        t.up(1, 100, 100);
        EXPECT_EQ(t.poll(), (Events{"up2(" + num((100 + bx + 0.5) / 2) + ",100)"}));
        t.up(2, bx, 100);
        EXPECT_EQ(t.pollsUntilLeave(), 2);
    }
}

TEST(Gestures, TwistRotatesBeyondTheThreshold)
{
    Touchscreen t;
    t.down(1, 100, 100);
    t.down(2, 200, 100);
    t.poll();
    auto turnTo = [&](double angle) {
        t.move(2, 100 + 100 * std::cos(angle), 100 + 100 * std::sin(angle));
        Events out;
        for (const std::string& s : t.poll())
            if (s.rfind("rotate", 0) == 0)
                out.push_back(s.substr(s.find(')') + 1));
        return out;
    };
    EXPECT_EQ(turnTo(0.15), Events{});
    EXPECT_EQ(turnTo(0.3), Events{"0.1 first"});
    EXPECT_EQ(turnTo(0.25), Events{"-0.05"});
    EXPECT_EQ(turnTo(0.25), Events{});  // no turn, no event
    // Across the -pi/pi seam the step stays small.
    t.move(1, 200, 100);
    t.move(2, 100, 100.0001);
    t.poll();
    t.move(2, 100, 99.9999);
    Events e = t.poll();
    ASSERT_EQ(e.size(), 2u);
    EXPECT_NEAR(std::stod(e[1].substr(e[1].find(')') + 1)), 0.000002, 1e-6);
}

TEST(Gestures, TwoFingersOverAScrollAreaPan)
{
    Touchscreen t;
    t.g.hitTest = [](double, double y) { return y > 50; };
    t.down(1, 100, 100);
    t.down(2, 140, 100);
    t.move(1, 100, 90);
    t.move(2, 140, 80);
    EXPECT_EQ(t.poll(0.1), (Events{"move(100,100)", "pan(120,100)0 first", "pan(120,100)-15"}));
    EXPECT_DOUBLE_EQ(t.g.scrollVelocity, -15 / 0.1);
    t.up(2, 140, 80);  // either finger ends it; -150 px/s at once is a fling
    EXPECT_DOUBLE_EQ(t.g.flingVelocity, -150);
    t.up(1, 100, 90);
    EXPECT_EQ(t.poll(0.05), (Events{"pan(120,100)-7.5"}));
}

TEST(Gestures, SecondFingerEndsADragAndAThirdChangesNothing)
{
    Touchscreen t;
    t.down(1, 0, 0);
    t.move(1, 40, 0);
    t.poll();
    t.poll();
    t.down(2, 40, 40);
    EXPECT_EQ(t.poll(), (Events{"up1(40,0)", "move(40,20)", "down2(40,20)"}));
    t.down(3, 500, 500);
    t.move(3, 600, 600);
    EXPECT_EQ(t.poll(), (Events{"move(40,20)"}));
    t.up(3, 600, 600);
    EXPECT_EQ(t.g.state, gestureTwoFinger);
    EXPECT_EQ(t.poll(), Events{});
    t.up(2, 40, 40);
    EXPECT_EQ(t.poll(), (Events{"up2(40,20)"}));
}

TEST(Gestures, CancelReleasesWhatIsHeld)
{
    Touchscreen drag;
    drag.down(1, 0, 0);
    drag.move(1, 30, 0);
    drag.poll();
    drag.move(1, 35, 5);
    touchCancel(drag.g);
    EXPECT_EQ(drag.poll(), (Events{"move(30,0)", "move(30,0)", "move(35,5)", "up1(35,5)"}));
    EXPECT_EQ(drag.g.state, gestureIdle);
    EXPECT_TRUE(drag.g.touches.empty());
    drag.move(1, 50, 50);  // forgotten fingers are ignored
    drag.up(1, 50, 50);
    EXPECT_EQ(drag.poll(), Events{});

    Touchscreen pinch;
    pinch.down(1, 0, 0);
    pinch.down(2, 10, 0);
    pinch.poll();
    touchCancel(pinch.g);
    EXPECT_EQ(pinch.poll(), (Events{"up2(5,0)"}));

    Touchscreen fling;
    fling.g.flingVelocity = 500;
    touchCancel(fling.g);
    EXPECT_EQ(fling.poll(), Events{});
}

TEST(Gestures, TouchPositionAndUnknownIds)
{
    GestureRecognizer g;
    touchDown(g, 7, 3, 4, 0);
    EXPECT_EQ(touchPosition(g, 7), (std::pair{3.0, 4.0}));
    EXPECT_EQ(touchPosition(g, 8), (std::pair{0.0, 0.0}));
    touchMotion(g, 8, 50, 50, false, 0.1);
    touchUp(g, 8, 50, 50, 0.1);
    EXPECT_EQ(g.state, gesturePendingTap);
    EXPECT_EQ(g.touches.size(), 1u);
}

}  // namespace
}  // namespace qm
