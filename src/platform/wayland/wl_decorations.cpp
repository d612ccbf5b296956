// The title bar and borders a window draws itself when the compositor
// leaves decorations to the client: software drawing into shared-memory
// buffers shown on five subsurfaces, and the per-frame step that resizes or
// rescales the surface, its EGL window and the decorations together.
#include "codecs/font/cmap.h"
#include "codecs/font/glyph_outline.h"
#include "core/errors.h"
#include "core/utf8.h"
#include "platform/render/glyph_atlas_internal.h"
#include "platform/wayland/wl_protocols.h"
#include "platform/wayland/wl_window_internal.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>

namespace qm {

namespace {

constexpr int32_t kTitleBar = 34;

struct TitleColours {
    uint32_t background, glyph, hover, pressed, separator;
};

TitleColours titleColours(bool dark, bool activated)
{
    if (dark)
        return {activated ? 0xFF303030u : 0xFF242424u, activated ? 0xFFFFFFFFu : 0xFF8C8C8Cu, 0xFF474747u, 0xFF575757u,
            0xFF1A1A1Au};
    return {activated ? 0xFFEBEBEBu : 0xFFF6F6F6u, activated ? 0xFF2E2E2Eu : 0xFF919191u, 0xFFD4D4D4u, 0xFFC4C4C4u,
        0xFFCFCFCFu};
}

Polygon stroke(PointF a, PointF b)
{
    double dx = b.x - a.x, dy = b.y - a.y;
    double len = std::max(std::sqrt(dx * dx + dy * dy), 0.000001);
    double nx = -dy / len * 0.7, ny = dx / len * 0.7;
    return {{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}};
}

Polygon circle(double cx, double cy, double r)
{
    Polygon p;
    for (int k = 0; k < 32; ++k) {
        double a = k * 2 * std::numbers::pi / 32;
        p.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return p;
}

std::vector<Polygon> buttonGlyph(uint8_t button, double cx, bool maximised)
{
    if (button == buttonClose)
        return {stroke({cx - 4.5, 12.5}, {cx + 4.5, 21.5}), stroke({cx + 4.5, 12.5}, {cx - 4.5, 21.5})};
    if (button == buttonMinimise)
        return {stroke({cx - 4.5, 21}, {cx + 4.5, 21})};
    if (!maximised)
        return rectOutlinePolygons(cx - 4.5, 12.5, cx + 4.5, 21.5);
    std::vector<Polygon> out = rectOutlinePolygons(cx - 2.5, 12.5, cx + 4.5, 19.5);
    for (Polygon& p : rectOutlinePolygons(cx - 4.5, 14.5, cx + 2.5, 21.5))
        out.push_back(std::move(p));
    return out;
}

}  // namespace

ShmBuffer createShmBuffer(int32_t width, int32_t height)
{
    int64_t bytes = int64_t(width) * int64_t(height) * 4;
    if (width < 0 || height < 0 || bytes > std::numeric_limits<int32_t>::max())
        throw ValueError("shared-memory buffer size overflow");
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    std::string path = std::string(dir ? dir : "/tmp") + "/quenmrk-shm-XXXXXX";
    int fd = mkstemp(path.data());
    if (fd < 0)
        return {};
    unlink(path.c_str());
    if (ftruncate(fd, bytes) != 0) {
        ::close(fd);
        return {};
    }
    void* address = mmap(nullptr, size_t(bytes), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (address == MAP_FAILED) {
        ::close(fd);
        return {};
    }
    wl_proxy* pool =
        sendConstructorRequest(wls.shm, 0, {argNewId(), argFd(fd), argInt(int32_t(bytes))}, wl.wl_shm_pool_interface);
    ::close(fd);
    wl_proxy* buffer = sendConstructorRequest(pool, 0,
        {argNewId(), argInt(0), argInt(width), argInt(height), argInt(width * 4), argUint(0)}, wl.wl_buffer_interface);
    sendDestructorRequest(pool, 1);
    if (!buffer) {
        munmap(address, size_t(bytes));
        return {};
    }
    setProxyKind(buffer, okShmBuffer);
    wls.mappedBuffers[buffer] = {address, size_t(bytes)};
    return {buffer, static_cast<uint32_t*>(address)};
}

void fillPixels(PixelTarget t, uint32_t colour)
{
    std::fill(t.pixels, t.pixels + size_t(t.width) * size_t(t.height), colour);
}

void blendPixel(PixelTarget t, int32_t x, int32_t y, uint32_t colour, int32_t c)
{
    if (c <= 0 || x < 0 || y < 0 || x >= t.width || y >= t.height)
        return;
    uint32_t& p = t.pixels[size_t(y) * size_t(t.width) + size_t(x)];
    uint32_t alpha = colour >> 24;
    uint32_t inv = 255 - (alpha * uint32_t(c)) / 255;
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t src = (colour >> shift) & 0xFF, old = (p >> shift) & 0xFF;
        uint32_t v = std::min<uint32_t>(255, (src * uint32_t(c)) / 255 + (old * inv) / 255);
        out |= v << shift;
    }
    p = out;
}

void blitMask(PixelTarget t, const Rasterizer& r, int32_t x, int32_t y, uint32_t colour)
{
    std::vector<uint8_t> mask = coverageToAlphaGamma(r, 1.0);
    for (int32_t row = 0; row < r.height; ++row)
        for (int32_t col = 0; col < r.width; ++col)
            blendPixel(t, x + col, y + row, colour, mask[size_t(row) * size_t(r.width) + size_t(col)]);
}

void fillPolygons(PixelTarget t, double scale, const std::vector<Polygon>& polygons, uint32_t colour)
{
    // Only the shapes' bounding box is rasterised. It is clipped to the
    // target and moved by whole pixels, so the coverage is what a mask as
    // large as the target would give.
    double minX = std::numeric_limits<double>::infinity(), minY = minX, maxX = -minX, maxY = -minX;
    for (const Polygon& p : polygons)
        for (const PointF& q : p) {
            minX = std::min(minX, q.x * scale);
            maxX = std::max(maxX, q.x * scale);
            minY = std::min(minY, q.y * scale);
            maxY = std::max(maxY, q.y * scale);
        }
    if (!(minX <= maxX && minY <= maxY))
        return;
    int32_t x0 = int32_t(std::clamp(std::floor(minX), 0.0, double(t.width)));
    int32_t y0 = int32_t(std::clamp(std::floor(minY), 0.0, double(t.height)));
    int32_t x1 = int32_t(std::clamp(std::ceil(maxX) + 1, 0.0, double(t.width)));
    int32_t y1 = int32_t(std::clamp(std::ceil(maxY) + 1, 0.0, double(t.height)));
    if (x1 <= x0 || y1 <= y0)
        return;
    Rasterizer r = newRasterizer(x1 - x0, y1 - y0);
    for (const Polygon& p : polygons) {
        for (size_t i = 0; i < p.size(); ++i) {
            const PointF& a = p[i];
            const PointF& b = p[(i + 1) % p.size()];
            addLine(r, a.x * scale - x0, a.y * scale - y0, b.x * scale - x0, b.y * scale - y0);
        }
    }
    blitMask(t, r, x0, y0, colour);
}

std::vector<Polygon> rectOutlinePolygons(double x0, double y0, double x1, double y1)
{
    return {
        stroke({x0, y0}, {x1, y0}), stroke({x1, y0}, {x1, y1}), stroke({x1, y1}, {x0, y1}), stroke({x0, y1}, {x0, y0})};
}

double decorationTextWidth(Font& font, std::string_view text, double size)
{
    double total = 0;
    for (size_t at = 0; at < text.size();) {
        Utf8Step step = decodeUtf8(text, at);
        at += step.length;
        total += advanceWidth(font, glyphIndex(font, int32_t(step.codePoint)));
    }
    return total * size / font.unitsPerEm;
}

void drawDecorationTitle(
    PixelTarget t, double scale, Font& font, std::string_view text, double size, double x, double y, uint32_t colour)
{
    double s = size * scale / font.unitsPerEm;
    double w = std::ceil(decorationTextWidth(font, text, size * scale));
    double h = std::ceil((font.ascent - font.descent) * s);
    if (w <= 0 || h <= 0 || w > 65536 || h > 65536)
        return;
    Rasterizer r = newRasterizer(int32_t(w) + 4, int32_t(h) + 4);
    double pen = 2, baseline = font.ascent * s + 2;
    for (size_t at = 0; at < text.size();) {
        Utf8Step step = decodeUtf8(text, at);
        at += step.length;
        int32_t glyph = glyphIndex(font, int32_t(step.codePoint));
        try {
            addGlyphContours(r, glyphOutline(font, glyph), s, -pen, -baseline);
        } catch (const ValueError&) {
            // A damaged glyph leaves a gap, not a missing title.
        }
        pen += advanceWidth(font, glyph) * s;
    }
    blitMask(
        t, r, int32_t(std::lround(x * scale)) - 2, int32_t(std::lround(y * scale - (font.ascent * s + 2))), colour);
}

std::string shortenTitle(Font& font, const std::string& title, double size, double maxWidth)
{
    if (decorationTextWidth(font, title, size) <= maxWidth)
        return title;
    const std::string ellipsis = "\xE2\x80\xA6";
    double ellipsisWidth = decorationTextWidth(font, ellipsis, size);
    // Widths only grow with the prefix, so the last prefix that fits is the longest.
    size_t fits = 0;
    double width = 0;
    for (size_t at = 0; at < title.size();) {
        Utf8Step step = decodeUtf8(title, at);
        width += decorationTextWidth(font, title.substr(at, step.length), size);
        at += step.length;
        if (width + ellipsisWidth > maxWidth)
            break;
        fits = at;
    }
    return title.substr(0, fits) + ellipsis;
}

void drawTitleBar(const WlWindow& w, int32_t width, int32_t height, uint32_t* pixels, double scale)
{
    PixelTarget t{width, height, pixels};
    TitleColours c = titleColours(w.darkTitleBar, w.activated);
    double W = w.width;
    fillPixels(t, c.background);
    fillPolygons(t, scale, {{{0, 33}, {W, 33}, {W, 34}, {0, 34}}}, c.separator);
    const uint8_t buttons[3] = {buttonClose, buttonMaximise, buttonMinimise};
    const double offsets[3] = {18, 50, 82};
    for (int i = 0; i < 3; ++i) {
        double cx = W - offsets[i];
        if (w.hoveredButton == buttons[i])
            fillPolygons(t, scale, {circle(cx, 17, 12)}, w.pressedButton == buttons[i] ? c.pressed : c.hover);
        fillPolygons(t, scale, buttonGlyph(buttons[i], cx, w.maximised), c.glyph);
    }
    Font* font = wlProcess.decorationFont.get();
    if (!font || w.title.empty())
        return;
    std::string text = shortenTitle(*font, w.title, 13, W - 118);
    double H = decorationTextWidth(*font, text, 13);
    double x = (W - H) / 2;
    if ((W - H) / 2 + H > W - 106)
        x = 12;
    double baseline = 17 + (font->ascent + font->descent) / 2 * 13 / font->unitsPerEm;
    drawDecorationTitle(t, scale, *font, text, 13, x, baseline, c.glyph);
}

void updateDecorationPart(WlWindow& w, int32_t index)
{
    DecorationPart& p = w.parts[index];
    if (!p.surface)
        return;
    if (p.shown && p.width > 0 && p.height > 0) {
        int32_t k = w.decorationScale;
        ShmBuffer b = createShmBuffer(p.width * k, p.height * k);
        if (!b.buffer)
            return;
        if (index == partTitleBar)
            drawTitleBar(w, p.width * k, p.height * k, b.pixels, k);
        else
            fillPixels({p.width * k, p.height * k, b.pixels}, 0);
        sendRequest(p.subsurface, 1, {argInt(p.x), argInt(p.y)});
        if (wls.compositorVersion > 2)
            sendRequest(p.surface, 8, {argInt(k)});
        sendRequest(p.surface, 1, {argObject(b.buffer), argInt(0), argInt(0)});
        sendRequest(p.surface, 2, {argInt(0), argInt(0), argInt(p.width), argInt(p.height)});
        sendRequest(p.surface, 6);
    } else {
        sendRequest(p.surface, 1, {argObject(nullptr), argInt(0), argInt(0)});
        sendRequest(p.surface, 6);
    }
}

void syncDecorationSurfaces(WlWindow& w)
{
    if (w.clientDecorations && !w.parts[0].surface && wls.subcompositor) {
        for (DecorationPart& p : w.parts) {
            p.surface = sendConstructorRequest(wls.compositor, 0, {argNewId()}, wl.wl_surface_interface);
            setProxyKind(p.surface, okSurface);
            p.subsurface = sendConstructorRequest(wls.subcompositor, 1,
                {argNewId(), argObject(p.surface), argObject(w.surface)}, wl.wl_subsurface_interface);
        }
    } else if (!w.clientDecorations && w.parts[0].surface) {
        for (DecorationPart& p : w.parts) {
            sendDestructorRequest(p.subsurface, 0);
            sendDestructorRequest(p.surface, 0);
            p = DecorationPart{};
        }
    }
    if (!w.clientDecorations)
        return;
    w.decorationScale = decorationBufferScale(w.scale);
    layoutDecorationParts(w);
    for (int32_t i = 0; i < 5; ++i)
        updateDecorationPart(w, i);
}

int32_t decorationBufferScale(double scale) { return std::max(1, int32_t(std::ceil(scale - 0.01))); }

void frameUpdate(WlWindow& w)
{
    double newScale = windowScale(w);
    int32_t bw = std::max(1, int32_t(std::lround(w.width * newScale)));
    int32_t bh = std::max(1, int32_t(std::lround(w.height * newScale)));
    int32_t T = titleBarHeight(w);
    if (w.applied && w.width == w.appliedWidth && w.height == w.appliedHeight && T == w.appliedTitleBar
        && newScale == w.appliedScale && w.eglWindow) {
        syncDecorationSurfaces(w);
        if (!w.commitPending && w.eglSurface)
            sendRequest(w.surface, 6);
        return;
    }
    w.applied = true;
    w.appliedWidth = w.width;
    w.appliedHeight = w.height;
    w.appliedTitleBar = T;
    w.appliedScale = newScale;
    bool sizeChanged = bw != w.announcedWidth || bh != w.announcedHeight;
    if (w.eglWindow && sizeChanged)
        wl.wl_egl_window_resize(w.eglWindow, bw, bh, 0, 0);
    double previousScale = w.scale;
    w.scale = newScale;
    w.gestures.scale = newScale;
    w.bufferWidth = bw;
    w.bufferHeight = bh;
    if (w.viewport)
        sendRequest(w.viewport, 2, {argInt(w.width), argInt(w.height)});
    else if (wls.compositorVersion >= 3)
        sendRequest(w.surface, 8, {argInt(int32_t(newScale))});
    sendRequest(w.xdgSurface, 3, {argInt(0), argInt(-T), argInt(w.width), argInt(w.height + T)});
    syncDecorationSurfaces(w);
    w.commitPending = true;
    if (newScale != previousScale) {
        WindowEvent e;
        e.kind = weScaleChanged;
        e.scale = newScale;
        w.events.push_back(e);
    }
    if (sizeChanged) {
        w.announcedWidth = bw;
        w.announcedHeight = bh;
        WindowEvent e;
        e.kind = weResize;
        e.width = bw;
        e.height = bh;
        w.events.push_back(e);
    }
}

void rescaleWindows()
{
    for (const WlWindowRef& w : std::vector<WlWindowRef>(wls.windows))
        if (w->configured && windowScale(*w) != w->scale)
            frameUpdate(*w);
}

}  // namespace qm
