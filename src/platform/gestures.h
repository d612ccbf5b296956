#pragma once
// A touch recogniser, so the toolkit never deals with fingers: it translates
// them into the mouse-style events it already handles. Short touches click
// with the left button and held ones with the right; two short touches close
// together double-click; a moving finger drags with the left button, except
// that an up-or-down swipe where something scrolls becomes weTouchScroll
// events that coast on after release. With two fingers down the middle
// button drags, spreading or closing them zooms by weScroll steps and
// turning them emits weRotate.
// Every window embeds one recogniser; its back end feeds it touches with a
// monotonic time in seconds and collects its events once per poll.
#include "platform/events.h"

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace qm {

// Tells the recogniser whether the UI can scroll under (x, y), where an
// up-or-down swipe began or between two fingers. Installed by the UI toolkit.
using ScrollHitTest = std::function<bool(double x, double y)>;

enum GestureState : uint8_t {
    gestureIdle = 0,
    gesturePendingTap = 1,
    gestureDragging = 2,
    gestureScrolling = 3,
    gestureTwoFinger = 4,
    gestureEnded = 5,  // waiting for every finger to lift
};

struct TouchPoint {
    int32_t id = 0;
    double x = 0;
    double y = 0;
};

struct GestureRecognizer {
    double scale = 1.0;               // the window's UI scale; multiplies every distance threshold
    std::vector<TouchPoint> touches;  // fingers that are down, in the order they went down
    int32_t primary = -1;             // first finger of the current gesture
    uint8_t state = gestureIdle;
    double startX = 0, startY = 0, startTime = 0;

    // Two-finger gesture.
    double centroidX = 0, centroidY = 0;
    double lastDistance = 0;  // finger distance at the last zoom step
    int32_t fingerA = -1, fingerB = -1;
    double lastAngle = 0;
    double rotationSum = 0;  // rotation gathered before rotating starts
    uint8_t rotating = 0;

    std::vector<WindowEvent> queue;     // handed over at the next poll
    std::vector<WindowEvent> deferred;  // handed over one poll later
    ScrollHitTest hitTest;

    // Scrolling and inertia.
    double anchorX = 0, anchorY = 0;  // reported with every weTouchScroll of the gesture
    double lastScrollY = 0;
    int32_t scrollFingers = 0;
    double lastScrollTime = 0;
    double scrollVelocity = 0;  // smoothed, pixels per second
    double flingVelocity = 0;   // remaining inertia; 0 = none
    double flingTime = 0;
    uint8_t caughtFling = 0;  // this touch stopped inertia and never clicks

    int32_t lastMovedId = 0;
    uint8_t pendingReevaluation = 0;
    double lastTapTime = -1;  // -1: no single tap to pair with
    double lastTapX = 0, lastTapY = 0;
    int32_t leaveCountdown = 0;  // polls until weMouseLeave
    int32_t pendingLeave = 0;    // countdown that starts when the last finger lifts
    uint8_t downThisPoll = 0;    // a drag's press was queued since the last poll
};

void touchDown(GestureRecognizer& g, int32_t id, double x, double y, double time);
// Back ends pass atPoll = false; a negative time stands for lastScrollTime.
void touchMotion(GestureRecognizer& g, int32_t id, double x, double y, bool atPoll, double time);
void touchUp(GestureRecognizer& g, int32_t id, double x, double y, double time);
// Every touch was taken away (cancelled, or the touch device went away): a
// running drag or two-finger press gets its release.
void touchCancel(GestureRecognizer& g);
// The finger's last position, (0, 0) when it is not down.
std::pair<double, double> touchPosition(const GestureRecognizer& g, int32_t id);
// At the start of every poll: two-finger gestures follow only the latest positions.
void reevaluateTouch(GestureRecognizer& g, double time);
// After reevaluateTouch: advances inertia, long press and leave, and returns
// the events of this poll.
std::vector<WindowEvent> gestureTick(GestureRecognizer& g, double time);
// Whether a poll soon would hand over something that no new input brings:
// fingers down (a long press), inertia, a leave counting down, events kept
// for the next poll.
bool gestureNeedsPolls(const GestureRecognizer& g);
// How long a wait for events lasts at most while they do.
inline constexpr int32_t kPromptPollMs = 4;

}  // namespace qm
