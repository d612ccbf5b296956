// Waiting for and polling events, the clipboard, file drops, the pointer
// shape, activation and the release of shared-memory buffers.
#include "core/ascii.h"
#include "core/ui_wake.h"
#include "core/utf8.h"
#include "platform/desktop_query.h"
#include "platform/urilist.h"
#include "platform/wayland/wl_input.h"
#include "platform/wayland/wl_protocols.h"
#include "platform/wayland/wl_window_internal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace qm {

namespace {

const char* const kTextTypes[5] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "TEXT", "STRING"};
constexpr const char* kUriList = "text/uri-list";

bool offerHas(wl_proxy* offer, const std::string& type)
{
    auto it = wls.offers.find(offer);
    if (it == wls.offers.end())
        return false;
    for (const std::string& t : it->second)
        if (t == type)
            return true;
    return false;
}

void destroyOffer(wl_proxy* offer)
{
    if (!offer)
        return;
    wls.offers.erase(offer);
    sendDestructorRequest(offer, 2);
}

bool windowOpen(const WlWindowRef& w)
{
    for (const WlWindowRef& x : wls.windows)
        if (x == w)
            return true;
    return false;
}

void handleDrop()
{
    wl_proxy* offer = wls.dragOffer;
    if (!offer)
        return;
    wls.dragOffer = nullptr;
    WlWindowRef w = wls.dropWindow;
    if (w && windowOpen(w) && offerHas(offer, kUriList)) {
        std::string bytes = receiveOffer(offer, kUriList);
        for (const std::string& path : parseUriList(bytes)) {
            WindowEvent e;
            e.kind = weFileDrop;
            e.text = path;
            e.x = wls.dropX * w->scale;
            e.y = wls.dropY * w->scale;
            w->events.push_back(e);
        }
        if (wls.dataDeviceManagerVersion >= 3)
            sendRequest(offer, 3);
    }
    if (offer != wls.selectionOffer)
        destroyOffer(offer);
}

void handleDataDevice(uint32_t opcode, const wl_argument* a)
{
    switch (opcode) {
    case 0: {  // data_offer
        wl_proxy* offer = reinterpret_cast<wl_proxy*>(a[0].o);
        if (!offer)
            return;
        wls.offers[offer] = {};
        setProxyKind(offer, okDataOffer);
        break;
    }
    case 1: {  // enter
        wl_proxy* offer = reinterpret_cast<wl_proxy*>(a[4].o);
        wls.dragOffer = offer;
        wls.dropWindow = windowOfSurface(reinterpret_cast<wl_proxy*>(a[1].o));
        wls.dragSerial = a[0].u;
        wls.dropX = fixedToDouble(a[2].f);
        wls.dropY = fixedToDouble(a[3].f);
        if (!offer)
            return;
        if (offerHas(offer, kUriList) && wls.dropWindow) {
            sendRequest(offer, 0, {argUint(wls.dragSerial), argString(kUriList)});
            if (wls.dataDeviceManagerVersion >= 3)
                sendRequest(offer, 4, {argUint(1), argUint(1)});
        } else {
            sendRequest(offer, 0, {argUint(wls.dragSerial), argString(nullptr)});
        }
        break;
    }
    case 2:  // leave
        if (wls.dragOffer && wls.dragOffer != wls.selectionOffer)
            destroyOffer(wls.dragOffer);
        wls.dragOffer = nullptr;
        break;
    case 3:  // motion
        wls.dropX = fixedToDouble(a[1].f);
        wls.dropY = fixedToDouble(a[2].f);
        break;
    case 4:
        handleDrop();
        break;
    case 5: {  // selection
        wl_proxy* offer = reinterpret_cast<wl_proxy*>(a[0].o);
        if (wls.selectionOffer && wls.selectionOffer != offer && wls.selectionOffer != wls.dragOffer)
            destroyOffer(wls.selectionOffer);
        wls.selectionOffer = offer;
        break;
    }
    default:
        break;
    }
}

void handleDataSource(wl_proxy* source, uint32_t opcode, const wl_argument* a)
{
    if (opcode == 1) {  // send
        int fd = a[1].h;
        if (source == wls.ownSource)
            writeAllToFd(fd, wls.ownText);
        ::close(fd);
    } else if (opcode == 2) {  // cancelled
        if (source == wls.ownSource)
            wls.ownSource = nullptr;
        wl.wl_proxy_destroy(source);
    }
}

void handleTokenDone(wl_proxy* token, const char* text)
{
    auto it = wls.activationTokens.find(token);
    WlWindowRef w;
    if (it != wls.activationTokens.end()) {
        w = it->second;
        wls.activationTokens.erase(it);
    }
    if (w && windowOpen(w))
        sendRequest(wls.activation, 2, {argString(text ? text : ""), argObject(w->surface)});
    sendDestructorRequest(token, 4);
}

void reportLostConnection()
{
    wls.connectionLost = true;
    std::fprintf(stderr, "Quenmark: the connection to the Wayland compositor was lost (error %d)\n",
        wl.wl_display_get_error(wls.display));
    std::fflush(stderr);
    for (const WlWindowRef& w : wls.windows)
        w->closeRequested = true;
}

}  // namespace

void handleDataEvent(uint8_t kind, wl_proxy* proxy, uint32_t opcode, const wl_argument* a)
{
    switch (kind) {
    case okActivationToken:
        if (opcode == 0)
            handleTokenDone(proxy, a[0].s);
        break;
    case okDataDevice:
        handleDataDevice(opcode, a);
        break;
    case okDataOffer:
        if (opcode == 0) {
            auto it = wls.offers.find(proxy);
            if (it != wls.offers.end() && a[0].s)
                it->second.push_back(a[0].s);
        }
        break;
    case okDataSource:
        handleDataSource(proxy, opcode, a);
        break;
    case okShmBuffer:
        if (opcode == 0) {
            auto it = wls.mappedBuffers.find(proxy);
            if (it != wls.mappedBuffers.end()) {
                munmap(it->second.address, it->second.size);
                wls.mappedBuffers.erase(it);
            }
            sendDestructorRequest(proxy, 0);
        }
        break;
    default:
        break;
    }
}

bool waitWaylandEvents(int32_t timeoutMs, const WlWindow* window)
{
    if (!wls.display || wls.connectionLost)
        return false;
    wl_display* d = wls.display;
    while (wl.wl_display_prepare_read(d) != 0) {
        if (wl.wl_display_dispatch_pending(d) < 0)
            break;
        rethrowPendingWaylandError();
    }
    wl.wl_display_flush(d);
    // Events the dispatch above gave the window are the loop's to take now.
    if (window && !window->events.empty())
        timeoutMs = 0;
    // Without the window, a wake is left for the loop's own wait to take.
    const int fd = wl.wl_display_get_fd(d);
    WakeWait got;
    if (window) {
        got = waitReadableOrWoken(fd, timeoutMs);
    } else {
        pollfd p{fd, POLLIN, 0};
        got.readable = poll(&p, 1, timeoutMs) > 0;
    }
    if (got.readable)
        wl.wl_display_read_events(d);
    else
        wl.wl_display_cancel_read(d);
    int result = wl.wl_display_dispatch_pending(d);
    rethrowPendingWaylandError();
    if (result < 0 || wl.wl_display_get_error(d) != 0)
        reportLostConnection();
    return got.woken;
}

bool waitWlEvents(WlWindow& w, int32_t timeoutMs)
{
    if (!w.events.empty())
        return false;
    if (gestureNeedsPolls(w.gestures))
        timeoutMs = std::min(timeoutMs, kPromptPollMs);
    if (wls.repeatKey && wls.keyboardWindow && wls.repeatRate > 0) {
        const double untilRepeat = std::ceil((wls.nextRepeat - monotonicSeconds()) * 1000);
        timeoutMs = int32_t(std::clamp(untilRepeat, 0.0, double(timeoutMs)));
    }
    return waitWaylandEvents(timeoutMs, &w);
}

std::vector<WindowEvent> pollWlEvents(WlWindow& w)
{
    waitWaylandEvents(0);
    double now = monotonicSeconds();
    w.gestures.scale = w.scale;
    reevaluateTouch(w.gestures, now);
    for (WindowEvent& e : gestureTick(w.gestures, now))
        w.events.push_back(std::move(e));
    runKeyRepeat(now);
    std::vector<WindowEvent> out;
    out.swap(w.events);
    return out;
}

void setWlClipboardText(const std::string& text)
{
    wls.ownText = text;
    if (!wls.dataDeviceManager || !wls.dataDevice)
        return;
    wl_proxy* source = sendConstructorRequest(wls.dataDeviceManager, 0, {argNewId()}, wl.wl_data_source_interface);
    if (!source)
        return;
    setProxyKind(source, okDataSource);
    for (const char* type : kTextTypes)
        sendRequest(source, 0, {argString(type)});
    sendRequest(wls.dataDevice, 1, {argObject(source), argUint(wls.lastInputSerial)});
    sendDestructorRequest(wls.ownSource, 1);
    wls.ownSource = source;
    wl.wl_display_flush(wls.display);
}

std::string getWlClipboardText()
{
    if (wls.ownSource)
        return wls.ownText;
    if (!wls.selectionOffer)
        return "";
    for (const char* type : kTextTypes)
        if (offerHas(wls.selectionOffer, type))
            return receiveOffer(wls.selectionOffer, type);
    return "";
}

std::string receiveOffer(wl_proxy* offer, const char* mimeType)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return "";
    sendRequest(offer, 1, {argString(mimeType), argFd(fds[1])});
    ::close(fds[1]);
    wl.wl_display_flush(wls.display);
    std::string bytes = readPipeToEnd(fds[0]);
    ::close(fds[0]);
    return bytes;
}

std::string readPipeToEnd(int fd)
{
    std::string out;
    int silent = 0;
    std::vector<char> chunk(65536);
    while (silent < 20) {
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, 100);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (ready == 0) {
            ++silent;
            continue;
        }
        ssize_t n = read(fd, chunk.data(), chunk.size());
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            break;
        }
        out.append(chunk.data(), size_t(n));
        silent = 0;
    }
    return out;
}

void writeAllToFd(int fd, const std::string& bytes)
{
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    size_t done = 0;
    int silent = 0;
    while (done < bytes.size() && silent < 20) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
            silent = 0;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return;
        pollfd p{fd, POLLOUT, 0};
        int ready = poll(&p, 1, 100);
        if (ready == 0)
            ++silent;
        else if (ready < 0 && errno != EINTR)
            return;
        else if (ready > 0 && (p.revents & (POLLERR | POLLHUP)))
            return;
    }
}

CursorNames cursorNamesFor(CursorKind kind)
{
    switch (kind) {
    case curArrow:
        return {1, {"default", "left_ptr"}};
    case curIBeam:
        return {9, {"text", "xterm"}};
    case curCrosshair:
        return {8, {"crosshair", "cross"}};
    case curHand:
        return {4, {"pointer", "hand2", "hand1"}};
    case curSizeWE:
        return {26, {"ew-resize", "sb_h_double_arrow", "h_double_arrow"}};
    case curSizeNS:
        return {27, {"ns-resize", "sb_v_double_arrow", "v_double_arrow"}};
    case curSizeAll:
        return {13, {"move", "fleur"}};
    case curSizeNWSE:
        return {29, {"nwse-resize", "bottom_right_corner", "size_fdiag"}};
    case curSizeNESW:
        return {28, {"nesw-resize", "bottom_left_corner", "size_bdiag"}};
    case curWait:
        return {6, {"wait", "watch"}};
    default:
        return {0, {}};
    }
}

namespace {

std::optional<int32_t> parseInt(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != 0)
        return std::nullopt;
    return int32_t(v);
}

}  // namespace

CursorSettings readCursorSettings()
{
    CursorSettings s;
    const char* theme = std::getenv("XCURSOR_THEME");
    const char* size = std::getenv("XCURSOR_SIZE");
    s.theme = theme ? theme : "";
    s.size = size ? parseInt(size).value_or(0) : 0;
    if ((s.theme.empty() || s.size == 0) && onSearchPath("gsettings")) {
        const int64_t deadline = monotonicMilliseconds() + 1000;
        std::string out;
        if (s.theme.empty()
            && runCapture({"gsettings", "get", "org.gnome.desktop.interface", "cursor-theme"}, out, deadline) == 0) {
            std::string t(trimAsciiBlanks(out));
            if (!t.empty() && t.front() == '\'')
                t.erase(0, 1);
            if (!t.empty() && t.back() == '\'')
                t.pop_back();
            s.theme = t;
        }
        out.clear();
        if (s.size == 0
            && runCapture({"gsettings", "get", "org.gnome.desktop.interface", "cursor-size"}, out, deadline) == 0)
            s.size = parseInt(std::string(trimAsciiBlanks(out))).value_or(0);
    }
    if (s.size <= 0)
        s.size = 24;
    return s;
}

void setWlCursor(WlWindow& w, CursorKind kind)
{
    w.cursor = kind;
    if (wls.pointerWindow.get() == &w && wls.pointerPart == partContent)
        applyPointerCursor(kind);
}

void applyPointerCursor(CursorKind kind)
{
    if (!wls.pointer || !wls.hasPointerEnterSerial)
        return;
    uint32_t serial = wls.pointerEnterSerial;
    if (kind == curNone) {
        sendRequest(wls.pointer, 0, {argUint(serial), argObject(nullptr), argInt(0), argInt(0)});
        return;
    }
    CursorNames names = cursorNamesFor(kind);
    if (wls.cursorShapeDevice) {
        sendRequest(wls.cursorShapeDevice, 1, {argUint(serial), argUint(names.shape)});
        return;
    }
    if (!wl.hasCursorLibrary())
        return;
    double scale = wls.pointerWindow ? wls.pointerWindow->scale : 1.0;
    int32_t f = std::max(1, int32_t(std::ceil(scale - 0.01)));
    if (!wls.cursorTheme || wls.themeScale != f) {
        CursorSettings settings = readCursorSettings();
        wls.cursorTheme = wl.wl_cursor_theme_load(settings.theme.empty() ? nullptr : settings.theme.c_str(),
            settings.size * f, reinterpret_cast<wl_shm*>(wls.shm));
        wls.themeScale = f;
        if (!wls.cursorTheme)
            return;
    }
    wl_cursor* cursor = nullptr;
    for (const char* name : names.names)
        if ((cursor = wl.wl_cursor_theme_get_cursor(wls.cursorTheme, name)))
            break;
    if (!cursor || cursor->image_count == 0 || !cursor->images || !cursor->images[0])
        return;
    wl_cursor_image* image = cursor->images[0];
    wl_buffer* buffer = wl.wl_cursor_image_get_buffer(image);
    if (!buffer)
        return;
    if (!wls.cursorSurface)
        wls.cursorSurface = sendConstructorRequest(wls.compositor, 0, {argNewId()}, wl.wl_surface_interface);
    // A buffer whose size is not a multiple of its scale is a protocol error.
    int32_t bufferScale = image->width % uint32_t(f) == 0 && image->height % uint32_t(f) == 0 ? f : 1;
    if (wls.compositorVersion >= 3)
        sendRequest(wls.cursorSurface, 8, {argInt(bufferScale)});
    sendRequest(wls.cursorSurface, 1, {argObject(buffer), argInt(0), argInt(0)});
    sendRequest(wls.cursorSurface, 2,
        {argInt(0), argInt(0), argInt(int32_t(image->width) / bufferScale),
            argInt(int32_t(image->height) / bufferScale)});
    sendRequest(wls.cursorSurface, 6);
    sendRequest(wls.pointer, 0,
        {argUint(serial), argObject(wls.cursorSurface), argInt(int32_t(image->hotspot_x) / bufferScale),
            argInt(int32_t(image->hotspot_y) / bufferScale)});
}

void activateWlWindow(WlWindow& w)
{
    if (!wls.activation)
        return;
    WlWindowRef ref;
    for (const WlWindowRef& x : wls.windows)
        if (x.get() == &w)
            ref = x;
    if (!ref)
        return;
    wl_proxy* token = sendConstructorRequest(wls.activation, 1, {argNewId()}, wlp.xdg_activation_token_v1);
    if (!token)
        return;
    setProxyKind(token, okActivationToken);
    wls.activationTokens[token] = ref;
    if (wls.seat && wls.hasInputSerial)
        sendRequest(token, 0, {argUint(wls.lastInputSerial), argObject(wls.seat)});
    if (wls.keyboardWindow)
        sendRequest(token, 2, {argObject(wls.keyboardWindow->surface)});
    sendRequest(token, 1, {argString("quenmrk")});
    sendRequest(token, 3);
    wl.wl_display_flush(wls.display);
}

}  // namespace qm
