#include "ui/input.h"

#include "platform/keys.h"
#include "ui/hit_test.h"
#include "ui/input_internal.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace qm {

namespace {

constexpr double kPointerGone = -1000000;
constexpr double kDoubleClickSeconds = 0.35;

bool validButton(uint8_t b) { return b < 6; }

bool validKey(uint8_t k) { return k < 98; }

void notePress(UiContext& ctx, uint8_t b)
{
    double dx = ctx.pointerX - ctx.lastPressX, dy = ctx.pointerY - ctx.lastPressY;
    if (ctx.time - ctx.lastPressTime[b] < kDoubleClickSeconds && std::hypot(dx, dy) < dp(ctx, 4)) {
        ctx.doubleClicked[b] = true;
        ctx.lastPressTime[b] = 0;  // a third press starts a new pair
    } else {
        ctx.lastPressTime[b] = ctx.time;
    }
    ctx.lastPressX = ctx.pointerX;
    ctx.lastPressY = ctx.pointerY;
}

bool modifierKey(uint8_t k) { return k >= keyShift && k <= keyCapsLock; }

// A key that puts its character into a field, rather than one that moves,
// ends or commands.
bool typingKey(const WindowEvent& e)
{
    if (e.modifiers & (modControl | modAlt | modSuper))
        return false;
    uint8_t k = e.key;
    return k == keyUnknown || (k >= keyA && k <= key9) || k == keySpace || (k >= keyMinus && k <= keySlash)
        || (k >= keyKp0 && k <= keyKpDecimal);
}

}  // namespace

size_t eventsForOneFrame(std::span<const WindowEvent> events, bool typingInField)
{
    bool button = false, pressed = false, keys = false, scrolled = false, moved = false, onlyTyping = true;
    double buttonX = 0, buttonY = 0;
    const WindowEvent* lastKey = nullptr;
    for (size_t i = 0; i < events.size(); ++i) {
        const WindowEvent& e = events[i];
        switch (e.kind) {
        case weMouseMove:
            if (button && (e.x != buttonX || e.y != buttonY))
                return i;
            moved = true;
            break;
        case weMouseDown:
        case weMouseUp:
        case weDoubleClick:
            // A press and its release at one spot are one click; a second
            // press is a click of its own. A click after the wheel is aimed
            // at what the wheel scrolled into view. A drag shows held where
            // it went before it is let go there.
            if (keys || scrolled || (button && (e.x != buttonX || e.y != buttonY)) || (pressed && e.kind == weMouseDown)
                || (moved && e.kind == weMouseUp))
                return i;
            moved = false;
            button = true;
            pressed = pressed || e.kind == weMouseDown;
            buttonX = e.x;
            buttonY = e.y;
            break;
        case weKeyDown: {
            if (modifierKey(e.key))
                break;
            if (button)
                return i;
            bool repeat = lastKey && e.repeat && e.key == lastKey->key && e.modifiers == lastKey->modifiers;
            bool typing = typingKey(e);
            if (keys && !repeat && !(typingInField && typing && onlyTyping))
                return i;
            keys = true;
            onlyTyping = onlyTyping && typing;
            lastKey = &e;
            break;
        }
        case weText:
            if (button)
                return i;
            break;
        case weScroll:
            scrolled = true;
            break;
        default:
            break;
        }
    }
    return events.size();
}

bool eventActs(const WindowEvent& e)
{
    switch (e.kind) {
    case weMouseDown:
    case weMouseUp:
    case weDoubleClick:
    case weScroll:
    case weText:
        return true;
    case weKeyDown:
        return !modifierKey(e.key);
    default:
        return false;
    }
}

std::vector<WindowEvent> takeFrameInput(InputQueue& queue, bool typingInField)
{
    std::vector<WindowEvent> share;
    if (queue.settling) {
        queue.settling = false;
        return share;
    }
    size_t n = eventsForOneFrame(queue.waiting, typingInField);
    share.assign(
        std::make_move_iterator(queue.waiting.begin()), std::make_move_iterator(queue.waiting.begin() + ptrdiff_t(n)));
    queue.waiting.erase(queue.waiting.begin(), queue.waiting.begin() + ptrdiff_t(n));
    queue.settling = std::any_of(share.begin(), share.end(), eventActs);
    return share;
}

bool rectContains(const Rect& r, double x, double y) { return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h; }

void feedEvent(UiContext& ctx, const WindowEvent& e)
{
    switch (e.kind) {
    case weMouseMove:
        ctx.pointerX = e.x;
        ctx.pointerY = e.y;
        ctx.pointerFromTouch = e.fromTouch != 0;
        break;
    case weMouseDown:
        ctx.pointerX = e.x;
        ctx.pointerY = e.y;
        ctx.pointerFromTouch = e.fromTouch != 0;
        ctx.modifiers = e.modifiers;
        if (!validButton(e.button))
            break;
        ctx.buttonsDown[e.button] = true;
        ctx.buttonsPressed[e.button] = true;
        ctx.pressX = e.x;
        ctx.pressY = e.y;
        notePress(ctx, e.button);
        break;
    case weMouseUp:
        ctx.pointerX = e.x;
        ctx.pointerY = e.y;
        ctx.modifiers = e.modifiers;
        if (!validButton(e.button))
            break;
        ctx.buttonsDown[e.button] = false;
        ctx.buttonsReleased[e.button] = true;
        break;
    case weDoubleClick:
        if (validButton(e.button))
            ctx.doubleClicked[e.button] = true;
        break;
    case weScroll:
        ctx.wheelX += e.dx;
        ctx.wheelY += e.dy;
        ctx.modifiers = e.modifiers;
        break;
    case weKeyDown:
        ctx.modifiers = e.modifiers;
        if (!validKey(e.key))
            break;
        ctx.keyPresses.push_back({e.key, e.modifiers, e.repeat});
        ctx.keysHeld[e.key] = true;
        if (e.key == keyTab) {
            ctx.tabPressed = true;
            ctx.tabBackwards = (e.modifiers & modShift) != 0;
        }
        break;
    case weKeyUp:
        ctx.modifiers = e.modifiers;
        if (validKey(e.key))
            ctx.keysHeld[e.key] = false;
        break;
    case weText:
        // Super+letter is a shortcut (the text field reads Super as Control):
        // its letter must not be typed as well.
        if (e.modifiers & modSuper)
            break;
        ctx.typedRunes.push_back(e.codepoint);
        break;
    case weFocusOut:
        ctx.buttonsDown.fill(false);
        ctx.keysHeld.fill(false);
        closePopup(ctx);
        break;
    case weMouseLeave:
        ctx.pointerX = kPointerGone;
        ctx.pointerY = kPointerGone;
        break;
    case weScaleChanged:
        ctx.scale = e.scale * ctx.zoom;
        break;
    case weTouchScroll:
        ctx.gestureX = e.x;
        ctx.gestureY = e.y;
        ctx.pointerX = kPointerGone;
        ctx.pointerY = kPointerGone;
        if (e.repeat == 0)
            ctx.gestureTarget = 0;
        ctx.pinchSum += e.dy;
        break;
    case weRotate:
        ctx.pointerX = e.x;
        ctx.pointerY = e.y;
        if (e.repeat == 0)
            ctx.rotateStarted = true;
        ctx.rotateSum += e.dx;
        break;
    default:
        break;
    }
}

bool keyPressed(const UiContext& ctx, uint8_t key, uint8_t modifiers, bool exact)
{
    for (const KeyPress& k : ctx.keyPresses) {
        if (k.key != key)
            continue;
        if (exact ? k.modifiers == modifiers : (k.modifiers & modifiers) == modifiers)
            return true;
    }
    return false;
}

void consumeKey(UiContext& ctx, uint8_t key)
{
    std::erase_if(ctx.keyPresses, [key](const KeyPress& k) { return k.key == key; });
}

void consumeCommandKey(UiContext& ctx, uint8_t key)
{
    consumeKey(ctx, key);
    ctx.typedRunes.clear();
}

bool ctrlDown(const UiContext& ctx) { return (ctx.modifiers & modControl) || ctx.keysHeld[keyControl]; }

bool shiftDown(const UiContext& ctx) { return (ctx.modifiers & modShift) || ctx.keysHeld[keyShift]; }

bool pointerWantsUi(const UiContext& ctx, double x, double y)
{
    for (const ScrollRegion& region : ctx.scrollRegionsLast) {
        if (region.kind != regionScrollable || !rectContains(region.rect, x, y))
            continue;
        bool covered = false;
        for (const OverlayRect& o : ctx.overlaysShown)
            if (o.layer > region.layer && rectContains(o.rect, x, y))
                covered = true;
        for (const ScrollRegion& other : ctx.scrollRegionsLast) {
            if (&other == &region || !rectContains(other.rect, x, y))
                continue;
            if ((other.kind == regionBlocksAtLayer && other.layer >= region.layer)
                || (other.kind != regionBlocksAtLayer && other.kind != regionScrollable))
                covered = true;
        }
        if (!covered)
            return true;
    }
    return false;
}

}  // namespace qm
