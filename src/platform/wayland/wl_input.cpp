// Seat input: pointer (content and drawn decorations), keyboard through
// xkbcommon with compose and client-side repeat, and touch fed to each
// window's gesture recogniser.
#include "platform/wayland/wl_input.h"

#include "platform/keys.h"
#include "platform/wayland/wl_protocols.h"
#include "platform/wayland/wl_window_internal.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace qm {

namespace {

WindowEvent pointerEvent(uint8_t kind, const WlWindow& w)
{
    WindowEvent e;
    e.kind = kind;
    e.x = wls.pointerX * w.scale;
    e.y = wls.pointerY * w.scale;
    e.modifiers = wls.modifiers;
    return e;
}

void releaseDevice(wl_proxy*& device, uint32_t releaseOpcode)
{
    if (!device)
        return;
    if (wls.seatVersion < 3)
        wl.wl_proxy_destroy(device);
    else
        sendDestructorRequest(device, releaseOpcode);
    device = nullptr;
}

void handleCapabilities(uint32_t caps)
{
    bool pointer = caps & 1, keyboard = caps & 2, touch = caps & 4;
    if (pointer && !wls.pointer) {
        wls.pointer = sendConstructorRequest(wls.seat, 0, {argNewId()}, wl.wl_pointer_interface);
        setProxyKind(wls.pointer, okPointer);
        if (wls.cursorShapeManager)
            wls.cursorShapeDevice = sendConstructorRequest(
                wls.cursorShapeManager, 1, {argNewId(), argObject(wls.pointer)}, wlp.wp_cursor_shape_device_v1);
    } else if (!pointer && wls.pointer) {
        sendDestructorRequest(wls.cursorShapeDevice, 0);
        wls.cursorShapeDevice = nullptr;
        releaseDevice(wls.pointer, 1);
        wls.pointerWindow.reset();
        wls.pointerPart = partContent;
        wls.hasPointerEnterSerial = false;
    }
    if (keyboard && !wls.keyboard) {
        wls.keyboard = sendConstructorRequest(wls.seat, 1, {argNewId()}, wl.wl_keyboard_interface);
        setProxyKind(wls.keyboard, okKeyboard);
    } else if (!keyboard && wls.keyboard) {
        releaseDevice(wls.keyboard, 0);
        // Nothing can repeat or keep focus once the keyboard is gone.
        wls.keyboardWindow.reset();
        wls.repeatKey = 0;
    }
    if (touch && !wls.touch) {
        wls.touch = sendConstructorRequest(wls.seat, 2, {argNewId()}, wl.wl_touch_interface);
        setProxyKind(wls.touch, okTouch);
    } else if (!touch && wls.touch) {
        releaseDevice(wls.touch, 0);
        resetTouches();
    }
}

void toggleMaximise(WlWindow& w) { sendRequest(w.toplevel, w.maximised ? 10 : 9); }

void updateDecorationHover(WlWindow& w)
{
    if (wls.pointerPart != partTitleBar) {
        applyPointerCursor(edgeCursor(resizeEdgesAt(w, wls.pointerPart, wls.pointerX, wls.pointerY)));
        return;
    }
    uint8_t hovered = titleButtonAt(w, wls.pointerX, wls.pointerY);
    if (hovered != w.hoveredButton) {
        w.hoveredButton = hovered;
        redrawDecorations(w);
    }
    applyPointerCursor(curArrow);
}

void pressDecoration(WlWindow& w, uint32_t button, uint32_t serial)
{
    if (button == 272) {
        uint8_t over = titleButtonAt(w, wls.pointerX, wls.pointerY);
        if (over != buttonNone) {
            w.pressedButton = over;
            redrawDecorations(w);
            return;
        }
        double now = monotonicSeconds();
        if (now - w.lastTitleClick < 0.4) {
            w.lastTitleClick = 0;
            toggleMaximise(w);
        } else {
            w.lastTitleClick = now;
            sendRequest(w.toplevel, 5, {argObject(wls.seat), argUint(serial)});
        }
    } else if (button == 273) {
        sendRequest(w.toplevel, 4,
            {argObject(wls.seat), argUint(serial), argInt(int32_t(std::trunc(wls.pointerX))),
                argInt(int32_t(std::trunc(wls.pointerY + titleBarHeight(w))))});
    }
}

void releaseDecoration(WlWindow& w)
{
    if (w.pressedButton != buttonNone) {
        uint8_t pressed = w.pressedButton;
        w.pressedButton = buttonNone;
        if (titleButtonAt(w, wls.pointerX, wls.pointerY) == pressed) {
            if (pressed == buttonMinimise) {
                sendRequest(w.toplevel, 13);
            } else if (pressed == buttonMaximise) {
                toggleMaximise(w);
            } else {
                w.closeRequested = true;
                WindowEvent e;
                e.kind = weClose;
                w.events.push_back(e);
            }
        }
    }
    redrawDecorations(w);
}

void setPointerPosition(double x, double y)
{
    wls.pointerX = x;
    wls.pointerY = y;
    if (wls.pointerWindow && wls.pointerPart != partContent) {
        const DecorationPart& p = wls.pointerWindow->parts[wls.pointerPart];
        wls.pointerX += p.x;
        wls.pointerY += p.y;
    }
}

void handlePointer(uint32_t opcode, const wl_argument* a)
{
    switch (opcode) {
    case 0: {  // enter
        wls.pointerEnterSerial = a[0].u;
        wls.hasPointerEnterSerial = true;
        int32_t part = partContent;
        wls.pointerWindow = windowOfSurface(reinterpret_cast<wl_proxy*>(a[1].o), &part);
        wls.pointerPart = part;
        setPointerPosition(fixedToDouble(a[2].f), fixedToDouble(a[3].f));
        if (!wls.pointerWindow)
            return;
        if (part == partContent) {
            applyPointerCursor(wls.pointerWindow->cursor);
            wls.pointerWindow->events.push_back(pointerEvent(weMouseMove, *wls.pointerWindow));
        } else {
            updateDecorationHover(*wls.pointerWindow);
        }
        break;
    }
    case 1: {  // leave
        WlWindowRef w = wls.pointerWindow;
        wls.pointerWindow.reset();
        if (w && wls.pointerPart == partContent) {
            WindowEvent e;
            e.kind = weMouseLeave;
            w->events.push_back(e);
        } else if (w && (w->hoveredButton || w->pressedButton)) {
            w->hoveredButton = w->pressedButton = buttonNone;
            redrawDecorations(*w);
        }
        wls.pointerPart = partContent;
        break;
    }
    case 2:  // motion
        setPointerPosition(fixedToDouble(a[1].f), fixedToDouble(a[2].f));
        if (!wls.pointerWindow)
            return;
        if (wls.pointerPart == partContent)
            wls.pointerWindow->events.push_back(pointerEvent(weMouseMove, *wls.pointerWindow));
        else
            updateDecorationHover(*wls.pointerWindow);
        break;
    case 3: {  // button
        wls.lastInputSerial = a[0].u;
        wls.hasInputSerial = true;
        WlWindowRef w = wls.pointerWindow;
        if (!w)
            return;
        uint32_t button = a[2].u;
        bool pressed = a[3].u == 1;
        if (wls.pointerPart == partContent) {
            static const uint8_t numbers[7] = {1, 3, 2, 4, 5, 5, 4};
            if (button < 272 || button > 278)
                return;
            WindowEvent e = pointerEvent(pressed ? weMouseDown : weMouseUp, *w);
            e.button = numbers[button - 272];
            w->events.push_back(e);
        } else if (wls.pointerPart == partTitleBar) {
            if (pressed)
                pressDecoration(*w, button, a[0].u);
            else
                releaseDecoration(*w);
        } else if (pressed && button == 272) {
            sendRequest(w->toplevel, 6,
                {argObject(wls.seat), argUint(a[0].u),
                    argUint(resizeEdgesAt(*w, wls.pointerPart, wls.pointerX, wls.pointerY))});
        }
        break;
    }
    case 4: {  // axis
        uint32_t axis = a[1].u;
        if (axis > 1)
            return;
        double amount = wls.discreteSteps[axis] != 0 ? wls.discreteSteps[axis] : fixedToDouble(a[2].f) / 10;
        wls.discreteSteps[axis] = 0;
        WlWindowRef w = wls.pointerWindow;
        if (!w || wls.pointerPart != partContent)
            return;
        WindowEvent e = pointerEvent(weScroll, *w);
        if (axis == 0)
            e.dy = -amount;
        else
            e.dx = amount;
        w->events.push_back(e);
        break;
    }
    case 8:  // axis_discrete
        if (a[0].u <= 1)
            wls.discreteSteps[a[0].u] = a[1].i;
        break;
    default:
        break;
    }
}

void updateModifiers()
{
    wls.modifiers = 0;
    if (!wls.xkbState)
        return;
    const std::pair<const char*, uint8_t> names[] = {
        {"Shift", modShift}, {"Control", modControl}, {"Mod1", modAlt}, {"Mod4", modSuper}};
    for (auto [name, bit] : names)
        if (wl.xkb_state_mod_name_is_active(wls.xkbState, name, XKB_STATE_MODS_EFFECTIVE) > 0)
            wls.modifiers |= bit;
}

uint8_t keyCodeForKey(uint32_t key)
{
    if (!wls.keymap)
        return keyUnknown;
    const xkb_keysym_t* syms = nullptr;
    int n = wl.xkb_keymap_key_get_syms_by_level(wls.keymap, key, 0, 0, &syms);
    if (n <= 0 || !syms)
        return keyUnknown;
    return keysymToKeyCode(syms[0]);
}

int32_t keyCodepoint(uint32_t key)
{
    if (!wls.xkbState)
        return 0;
    xkb_keysym_t sym = wl.xkb_state_key_get_one_sym(wls.xkbState, key);
    xkb_compose_state* compose = wlProcess.composeState;
    if (!compose)
        return int32_t(wl.xkb_state_key_get_utf32(wls.xkbState, key));
    if (wl.xkb_compose_state_feed(compose, sym) != XKB_COMPOSE_FEED_ACCEPTED)
        return int32_t(wl.xkb_state_key_get_utf32(wls.xkbState, key));
    switch (wl.xkb_compose_state_get_status(compose)) {
    case XKB_COMPOSE_COMPOSING:
        return 0;
    case XKB_COMPOSE_CANCELLED:
        wl.xkb_compose_state_reset(compose);
        return 0;
    case XKB_COMPOSE_COMPOSED: {
        xkb_keysym_t composed = wl.xkb_compose_state_get_one_sym(compose);
        wl.xkb_compose_state_reset(compose);
        return int32_t(wl.xkb_keysym_to_utf32(composed));
    }
    default:
        return int32_t(wl.xkb_state_key_get_utf32(wls.xkbState, key));
    }
}

void handleKeyboard(uint32_t opcode, const wl_argument* a)
{
    switch (opcode) {
    case 0:  // keymap
        if (a[0].u != XKB_KEYMAP_FORMAT_TEXT_V1)
            ::close(a[1].h);
        else
            loadKeymap(a[1].h, a[2].u);
        break;
    case 1: {  // enter
        wls.lastInputSerial = a[0].u;
        wls.hasInputSerial = true;
        WlWindowRef w = windowOfSurface(reinterpret_cast<wl_proxy*>(a[1].o));
        wls.keyboardWindow = w;
        if (w) {
            WindowEvent e;
            e.kind = weFocusIn;
            w->events.push_back(e);
        }
        break;
    }
    case 2: {  // leave
        WlWindowRef w = windowOfSurface(reinterpret_cast<wl_proxy*>(a[1].o));
        if (w) {
            WindowEvent e;
            e.kind = weFocusOut;
            w->events.push_back(e);
            if (w == wls.keyboardWindow)
                wls.keyboardWindow.reset();
        }
        wls.repeatKey = 0;
        break;
    }
    case 3: {  // key
        wls.lastInputSerial = a[0].u;
        wls.hasInputSerial = true;
        WlWindowRef w = wls.keyboardWindow;
        if (!w)
            return;
        uint32_t key = a[2].u + 8;
        if (a[3].u == 1) {
            emitKeyPress(*w, key, false);
            if (wls.repeatRate > 0 && wls.keymap && wl.xkb_keymap_key_repeats(wls.keymap, key)) {
                wls.repeatKey = key;
                wls.nextRepeat = monotonicSeconds() + wls.repeatDelay;
            }
        } else {
            WindowEvent e;
            e.kind = weKeyUp;
            e.key = keyCodeForKey(key);
            e.modifiers = wls.modifiers;
            w->events.push_back(e);
            if (key == wls.repeatKey)
                wls.repeatKey = 0;
        }
        break;
    }
    case 4:  // modifiers
        if (wls.xkbState) {
            wl.xkb_state_update_mask(wls.xkbState, a[1].u, a[2].u, a[3].u, 0, 0, a[4].u);
            updateModifiers();
        }
        break;
    case 5:  // repeat_info
        wls.repeatRate = a[0].i;
        wls.repeatDelay = a[1].i / 1000.0;
        break;
    default:
        break;
    }
}

void handleTouch(uint32_t opcode, const wl_argument* a)
{
    switch (opcode) {
    case 0: {  // down
        wls.lastInputSerial = a[0].u;
        wls.hasInputSerial = true;
        int32_t part = partContent;
        WlWindowRef w = windowOfSurface(reinterpret_cast<wl_proxy*>(a[2].o), &part);
        if (!w || part != partContent)
            return;
        int32_t id = a[3].i;
        wls.touchMap[id] = w;
        w->gestures.scale = w->scale;
        touchDown(
            w->gestures, id, fixedToDouble(a[4].f) * w->scale, fixedToDouble(a[5].f) * w->scale, monotonicSeconds());
        break;
    }
    case 1: {  // up
        auto it = wls.touchMap.find(a[2].i);
        if (it == wls.touchMap.end())
            return;
        WlWindowRef w = it->second;
        wls.touchMap.erase(it);
        auto [x, y] = touchPosition(w->gestures, a[2].i);
        touchUp(w->gestures, a[2].i, x, y, monotonicSeconds());
        break;
    }
    case 2: {  // motion
        auto it = wls.touchMap.find(a[1].i);
        if (it == wls.touchMap.end())
            return;
        WlWindow& w = *it->second;
        touchMotion(w.gestures, a[1].i, fixedToDouble(a[2].f) * w.scale, fixedToDouble(a[3].f) * w.scale, false,
            monotonicSeconds());
        break;
    }
    case 4:  // cancel
        resetTouches();
        break;
    default:
        break;
    }
}

}  // namespace

void resetTouches()
{
    for (const WlWindowRef& w : wls.windows)
        touchCancel(w->gestures);
    wls.touchMap.clear();
}

uint8_t titleButtonAt(const WlWindow& w, double x, double y)
{
    double T = titleBarHeight(w), W = w.width;
    if (std::abs(y + T - 17) > 12)
        return buttonNone;
    if (std::abs(x - (W - 18)) <= 12)
        return buttonClose;
    if (std::abs(x - (W - 50)) <= 12)
        return buttonMaximise;
    if (std::abs(x - (W - 82)) <= 12)
        return buttonMinimise;
    return buttonNone;
}

uint32_t resizeEdgesAt(const WlWindow& w, int32_t part, double x, double y)
{
    double T = titleBarHeight(w), W = w.width, H = w.height;
    uint32_t edges = 0;
    if (part == partTop || part == partBottom) {
        edges = part == partTop ? 1 : 2;
        if (x < 18)
            edges += 4;
        else if (x > W - 18)
            edges += 8;
    } else if (part == partLeft || part == partRight) {
        edges = part == partLeft ? 4 : 8;
        if (y < 18 - T)
            edges += 1;
        else if (y > H - 18)
            edges += 2;
    }
    return edges;
}

CursorKind edgeCursor(uint32_t edges)
{
    switch (edges) {
    case 1:
    case 2:
        return curSizeNS;
    case 4:
    case 8:
        return curSizeWE;
    case 5:
    case 10:
        return curSizeNWSE;
    case 6:
    case 9:
        return curSizeNESW;
    default:
        return curArrow;
    }
}

void emitKeyPress(WlWindow& w, uint32_t key, bool repeat)
{
    WindowEvent down;
    down.kind = weKeyDown;
    down.key = keyCodeForKey(key);
    down.modifiers = wls.modifiers;
    down.repeat = repeat ? 1 : 0;
    w.events.push_back(down);
    int32_t cp = keyCodepoint(key);
    if ((wls.modifiers & (modControl | modAlt)) || cp < 32 || cp == 127)
        return;
    WindowEvent text;
    text.kind = weText;
    text.codepoint = cp;
    text.modifiers = wls.modifiers;
    w.events.push_back(text);
}

void runKeyRepeat(double now)
{
    if (!wls.repeatKey || !wls.keyboardWindow || wls.repeatRate <= 0 || now < wls.nextRepeat)
        return;
    double step = 1.0 / wls.repeatRate;
    for (int i = 0; i < 8 && wls.nextRepeat <= now; ++i) {
        emitKeyPress(*wls.keyboardWindow, wls.repeatKey, true);
        wls.nextRepeat += step;
    }
    if (wls.nextRepeat <= now)
        wls.nextRepeat = now + step;
}

void loadKeymap(int fd, uint32_t size)
{
    if (size == 0) {
        ::close(fd);
        return;
    }
    void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED)
        return;
    // The text ends at its first NUL or at the mapping's end, whichever comes first.
    const char* bytes = static_cast<const char*>(map);
    std::string text(bytes, strnlen(bytes, size));
    munmap(map, size);
    if (!wlProcess.xkbContext)
        wlProcess.xkbContext = wl.xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!wlProcess.xkbContext)
        return;
    xkb_keymap* keymap = wl.xkb_keymap_new_from_string(
        wlProcess.xkbContext, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap)
        return;
    if (wls.xkbState)
        wl.xkb_state_unref(wls.xkbState);
    if (wls.keymap)
        wl.xkb_keymap_unref(wls.keymap);
    wls.keymap = keymap;
    wls.xkbState = wl.xkb_state_new(keymap);
    if (!wlProcess.composeState && wl.hasCompose()) {
        const char* locale = nullptr;
        for (const char* name : {"LC_ALL", "LC_CTYPE"}) {
            const char* v = std::getenv(name);
            if (v && *v) {
                locale = v;
                break;
            }
        }
        if (!locale)
            locale = std::getenv("LANG") ? std::getenv("LANG") : "C";
        if (xkb_compose_table* table =
                wl.xkb_compose_table_new_from_locale(wlProcess.xkbContext, locale, XKB_COMPOSE_COMPILE_NO_FLAGS))
            wlProcess.composeState = wl.xkb_compose_state_new(table, XKB_COMPOSE_STATE_NO_FLAGS);
    }
}

void handleInputEvent(uint8_t kind, wl_proxy*, uint32_t opcode, const wl_argument* a)
{
    switch (kind) {
    case okSeat:
        if (opcode == 0)
            handleCapabilities(a[0].u);
        break;
    case okPointer:
        handlePointer(opcode, a);
        break;
    case okKeyboard:
        handleKeyboard(opcode, a);
        break;
    case okTouch:
        handleTouch(opcode, a);
        break;
    default:
        break;
    }
}

void releaseInputState()
{
    sendDestructorRequest(wls.cursorShapeDevice, 0);
    wls.cursorShapeDevice = nullptr;
    for (wl_proxy* p : {wls.pointer, wls.keyboard, wls.touch})
        if (p)
            wl.wl_proxy_destroy(p);
    wls.pointer = wls.keyboard = wls.touch = nullptr;
    if (wls.xkbState)
        wl.xkb_state_unref(wls.xkbState);
    if (wls.keymap)
        wl.xkb_keymap_unref(wls.keymap);
    wls.xkbState = nullptr;
    wls.keymap = nullptr;
}

}  // namespace qm
