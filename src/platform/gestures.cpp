#include "platform/gestures.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qm {

namespace {

constexpr double tapSlop = 12;  // pixels a finger may wander and still tap
constexpr double doubleTapDistance = 30;
constexpr double doubleTapInterval = 0.35;
constexpr double longPressDelay = 0.55;
constexpr double flingStartSpeed = 150;  // pixels per second
constexpr double flingStopSpeed = 20;
constexpr double flingCatchSpeed = 75;
constexpr double flingDecay = 0.4;                // seconds
constexpr double rotateThreshold = 0.2;           // radians
constexpr double zoomStep = 0.13976194237515863;  // ln(1.15): one step per 15 % of finger distance

WindowEvent pointerEvent(uint8_t kind, double x, double y, uint8_t button = 0)
{
    WindowEvent e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.button = button;
    e.fromTouch = 1;
    return e;
}

WindowEvent gestureEvent(uint8_t kind, double x, double y, double dx, double dy, uint8_t repeat)
{
    WindowEvent e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.dx = dx;
    e.dy = dy;
    e.repeat = repeat;
    return e;
}

TouchPoint* findTouch(GestureRecognizer& g, int32_t id)
{
    for (TouchPoint& t : g.touches) {
        if (t.id == id)
            return &t;
    }
    return nullptr;
}

struct Centroid {
    double x = 0, y = 0, distance = 0;
};

// Centre and distance (at least 1) of the first two fingers down.
Centroid touchCentroid(const GestureRecognizer& g)
{
    if (g.touches.size() < 2)
        return {};
    const TouchPoint& a = g.touches[0];
    const TouchPoint& b = g.touches[1];
    double distance = std::max(std::hypot(b.x - a.x, b.y - a.y), 1.0);
    return {(a.x + b.x) / 2, (a.y + b.y) / 2, distance};
}

double touchAngle(const GestureRecognizer& g)
{
    auto [ax, ay] = touchPosition(g, g.fingerA);
    auto [bx, by] = touchPosition(g, g.fingerB);
    return std::atan2(by - ay, bx - ax);
}

void updateScrollVelocity(GestureRecognizer& g, double diff, double time)
{
    double dt = time - g.lastScrollTime;
    if (dt > 0.0001) {
        double v = diff / dt;
        g.scrollVelocity = g.scrollVelocity == 0 ? v : 0.4 * g.scrollVelocity + 0.6 * v;
        g.lastScrollTime = time;
    }
}

void scrollUpdate(GestureRecognizer& g, double y, double time)
{
    double diff = y - g.lastScrollY;
    if (diff == 0)
        return;
    g.lastScrollY = y;
    g.queue.push_back(gestureEvent(weTouchScroll, g.anchorX, g.anchorY, 0, diff, 1));
    updateScrollVelocity(g, diff, time);
}

void leavePendingTap(GestureRecognizer& g, double x, double y, double time)
{
    double threshold = tapSlop * g.scale;
    if (std::hypot(x - g.startX, y - g.startY) <= threshold)
        return;
    if (std::fabs(y - g.startY) >= std::fabs(x - g.startX) && g.hitTest && g.hitTest(g.startX, g.startY)) {
        g.state = gestureScrolling;
        g.anchorX = g.startX;
        g.anchorY = g.startY;
        // The distance that broke the tap does not scroll.
        g.lastScrollY = y > g.startY ? g.startY + threshold : g.startY - threshold;
        g.scrollFingers = 1;
        g.scrollVelocity = 0;
        g.lastScrollTime = time;
        g.queue.push_back(gestureEvent(weTouchScroll, g.anchorX, g.anchorY, 0, 0, 0));
        scrollUpdate(g, y, time);
        return;
    }
    g.state = gestureDragging;
    g.pendingLeave = 2;
    g.queue.push_back(pointerEvent(weMouseMove, g.startX, g.startY));
    g.queue.push_back(pointerEvent(weMouseDown, g.startX, g.startY, 1));
    g.downThisPoll = 1;
    // The press must reach the UI a poll before the pointer moves away.
    g.deferred.push_back(pointerEvent(weMouseMove, x, y));
}

void evaluateTwoFinger(GestureRecognizer& g)
{
    Centroid c = touchCentroid(g);
    if (c.distance <= 0)
        return;
    g.queue.push_back(pointerEvent(weMouseMove, c.x, c.y));
    double ratio = c.distance / g.lastDistance;
    if (std::fabs(ratio - 1) > 0.01) {
        g.queue.push_back(gestureEvent(weScroll, c.x, c.y, 0, std::log(ratio) / zoomStep, 0));
        g.lastDistance = c.distance;
    }
    g.centroidX = c.x;
    g.centroidY = c.y;

    double angle = touchAngle(g);
    double delta = angle - g.lastAngle;
    if (delta > std::numbers::pi)
        delta -= 2 * std::numbers::pi;
    else if (delta < -std::numbers::pi)
        delta += 2 * std::numbers::pi;
    g.lastAngle = angle;
    if (g.rotating) {
        if (delta != 0)
            g.queue.push_back(gestureEvent(weRotate, c.x, c.y, delta, 0, 1));
        return;
    }
    g.rotationSum += delta;
    if (std::fabs(g.rotationSum) > rotateThreshold) {
        g.rotating = 1;
        double beyond = g.rotationSum > 0 ? g.rotationSum - rotateThreshold : g.rotationSum + rotateThreshold;
        g.queue.push_back(gestureEvent(weRotate, c.x, c.y, beyond, 0, 0));
    }
}

}  // namespace

std::pair<double, double> touchPosition(const GestureRecognizer& g, int32_t id)
{
    for (const TouchPoint& t : g.touches) {
        if (t.id == id)
            return {t.x, t.y};
    }
    return {0.0, 0.0};
}

void touchDown(GestureRecognizer& g, int32_t id, double x, double y, double time)
{
    if (TouchPoint* t = findTouch(g, id)) {
        t->x = x;
        t->y = y;
    } else {
        g.touches.push_back({id, x, y});
    }

    if (g.touches.size() == 1) {
        g.caughtFling = std::fabs(g.flingVelocity) > flingCatchSpeed * g.scale;
        g.flingVelocity = 0;
        g.leaveCountdown = g.pendingLeave = 0;
        g.primary = id;
        g.state = gesturePendingTap;
        g.startX = x;
        g.startY = y;
        g.startTime = time;
        g.queue.push_back(pointerEvent(weMouseMove, x, y));
        return;
    }
    if (g.touches.size() != 2)
        return;  // further fingers are tracked but change nothing

    Centroid c = touchCentroid(g);
    if (g.state == gesturePendingTap && g.hitTest && g.hitTest(c.x, c.y)) {
        g.state = gestureScrolling;
        g.anchorX = c.x;
        g.anchorY = c.y;
        g.lastScrollY = c.y;
        g.scrollFingers = 2;
        g.lastScrollTime = time;
        g.scrollVelocity = 0;
        g.queue.push_back(gestureEvent(weTouchScroll, c.x, c.y, 0, 0, 0));
        return;
    }
    if (g.state != gesturePendingTap && g.state != gestureDragging)
        return;
    if (g.state == gestureDragging) {
        auto [px, py] = touchPosition(g, g.primary);
        g.queue.push_back(pointerEvent(weMouseUp, px, py, 1));
    }
    g.state = gestureTwoFinger;
    g.pendingLeave = 2;
    g.centroidX = c.x;
    g.centroidY = c.y;
    g.lastDistance = c.distance;
    g.fingerA = g.primary;
    g.fingerB = id;
    g.lastAngle = touchAngle(g);
    g.rotationSum = 0;
    g.rotating = 0;
    g.queue.push_back(pointerEvent(weMouseMove, c.x, c.y));
    g.queue.push_back(pointerEvent(weMouseDown, c.x, c.y, 2));
}

void touchMotion(GestureRecognizer& g, int32_t id, double x, double y, bool atPoll, double time)
{
    TouchPoint* t = findTouch(g, id);
    if (!t)
        return;
    t->x = x;
    t->y = y;
    if (time < 0)
        time = g.lastScrollTime;
    g.lastMovedId = id;
    g.pendingReevaluation = !atPoll;
    bool twoFingerScroll = g.state == gestureScrolling && g.scrollFingers == 2;
    if (!atPoll && (g.state == gestureTwoFinger || twoFingerScroll))
        return;  // judged at the poll, on where the fingers are by then

    switch (g.state) {
    case gesturePendingTap:
        if (id == g.primary)
            leavePendingTap(g, x, y, time);
        break;
    case gestureDragging:
        if (id == g.primary)
            (g.downThisPoll ? g.deferred : g.queue).push_back(pointerEvent(weMouseMove, x, y));
        break;
    case gestureScrolling:
        if (twoFingerScroll) {
            double cy = touchCentroid(g).y;
            if (cy != g.lastScrollY) {
                double diff = cy - g.lastScrollY;
                g.queue.push_back(gestureEvent(weTouchScroll, g.anchorX, g.anchorY, 0, diff, 1));
                g.lastScrollY = cy;
                updateScrollVelocity(g, diff, time);
            }
        } else if (id == g.primary) {
            scrollUpdate(g, y, time);
        }
        break;
    case gestureTwoFinger:
        evaluateTwoFinger(g);
        break;
    default:
        break;
    }
}

void touchUp(GestureRecognizer& g, int32_t id, double x, double y, double time)
{
    TouchPoint* t = findTouch(g, id);
    if (!t)
        return;
    t->x = x;
    t->y = y;
    bool firstTwo = g.touches.size() >= 2 && (g.touches[0].id == id || g.touches[1].id == id);

    switch (g.state) {
    case gesturePendingTap:
        if (id != g.primary)
            break;
        if (g.caughtFling) {
            g.pendingLeave = 1;
        } else {
            g.queue.push_back(pointerEvent(weMouseMove, g.startX, g.startY));
            g.queue.push_back(pointerEvent(weMouseDown, g.startX, g.startY, 1));
            bool quick = time >= 0 && g.lastTapTime >= 0 && time - g.lastTapTime < doubleTapInterval;
            bool near = std::hypot(g.startX - g.lastTapX, g.startY - g.lastTapY) < doubleTapDistance * g.scale;
            if (quick && near) {
                g.queue.push_back(pointerEvent(weDoubleClick, g.startX, g.startY, 1));
                g.lastTapTime = -1;
            } else {
                g.lastTapTime = time;
                g.lastTapX = g.startX;
                g.lastTapY = g.startY;
            }
            // The release waits for the next poll, so the press lasts a frame.
            g.deferred.push_back(pointerEvent(weMouseUp, g.startX, g.startY, 1));
            g.pendingLeave = 3;
        }
        g.state = gestureEnded;
        break;
    case gestureDragging:
        if (id != g.primary)
            break;
        if (g.downThisPoll) {
            g.deferred.push_back(pointerEvent(weMouseMove, x, y));
            g.deferred.push_back(pointerEvent(weMouseUp, x, y, 1));
            g.pendingLeave = 3;
        } else {
            g.queue.push_back(pointerEvent(weMouseMove, x, y));
            g.queue.push_back(pointerEvent(weMouseUp, x, y, 1));
        }
        g.state = gestureEnded;
        break;
    case gestureScrolling:
        if (id != g.primary && !(g.scrollFingers == 2 && firstTwo))
            break;
        if (time >= 0 && time - g.lastScrollTime < 0.1 && std::fabs(g.scrollVelocity) >= flingStartSpeed * g.scale) {
            g.flingVelocity = g.scrollVelocity;
            g.flingTime = g.lastScrollTime;
        }
        g.state = gestureEnded;
        break;
    case gestureTwoFinger:
        if (id != g.fingerA && id != g.fingerB)
            break;  // a third finger changes nothing
        g.queue.push_back(pointerEvent(weMouseUp, g.centroidX, g.centroidY, 2));
        g.state = gestureEnded;
        break;
    default:
        break;
    }

    std::erase_if(g.touches, [id](const TouchPoint& p) { return p.id == id; });
    if (g.touches.empty()) {
        g.state = gestureIdle;
        g.primary = -1;
        if (g.pendingLeave > 0) {
            g.leaveCountdown = g.pendingLeave;
            g.pendingLeave = 0;
        }
    }
}

void touchCancel(GestureRecognizer& g)
{
    if (g.state == gestureTwoFinger) {
        g.queue.push_back(pointerEvent(weMouseUp, g.centroidX, g.centroidY, 2));
    } else if (g.state == gestureDragging) {
        auto [x, y] = findTouch(g, g.primary) ? touchPosition(g, g.primary) : std::pair{g.startX, g.startY};
        g.queue.push_back(pointerEvent(weMouseUp, x, y, 1));
    }
    g.flingVelocity = 0;
    g.touches.clear();
    g.state = gestureIdle;
    g.primary = -1;
}

void reevaluateTouch(GestureRecognizer& g, double time)
{
    if (!g.pendingReevaluation)
        return;
    g.pendingReevaluation = 0;
    if (TouchPoint* t = findTouch(g, g.lastMovedId))
        touchMotion(g, t->id, t->x, t->y, true, time);
}

std::vector<WindowEvent> gestureTick(GestureRecognizer& g, double time)
{
    if (g.flingVelocity != 0) {
        double dt = std::clamp(time - g.flingTime, 0.0, 0.05);
        g.flingTime = time;
        if (dt > 0) {
            double v = g.flingVelocity;
            g.flingVelocity = v * std::exp(-dt / flingDecay);
            if (std::fabs(g.flingVelocity) < flingStopSpeed * g.scale)
                g.flingVelocity = 0;
            g.queue.push_back(gestureEvent(weTouchScroll, g.anchorX, g.anchorY, 0, v * dt, 1));
        }
    }
    if (g.state == gesturePendingTap && time - g.startTime > longPressDelay && !g.caughtFling) {
        g.queue.push_back(pointerEvent(weMouseMove, g.startX, g.startY));
        g.queue.push_back(pointerEvent(weMouseDown, g.startX, g.startY, 3));
        g.deferred.push_back(pointerEvent(weMouseUp, g.startX, g.startY, 3));
        g.state = gestureEnded;
        g.pendingLeave = 2;
    }
    if (g.leaveCountdown > 0) {
        if (--g.leaveCountdown == 0) {
            WindowEvent leave;
            leave.kind = weMouseLeave;
            g.queue.push_back(leave);
        }
    }
    std::vector<WindowEvent> out = std::move(g.queue);
    g.queue = std::move(g.deferred);
    g.deferred.clear();
    g.downThisPoll = 0;
    return out;
}

bool gestureNeedsPolls(const GestureRecognizer& g)
{
    return !g.touches.empty() || g.flingVelocity != 0 || g.leaveCountdown > 0 || !g.queue.empty()
        || !g.deferred.empty();
}

}  // namespace qm
