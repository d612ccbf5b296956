#pragma once
// Steps of the Wayland back end that tests reach directly.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "codecs/font/font.h"
#include "platform/render/rasterizer.h"
#include "platform/wayland/wl_window.h"

namespace qm {

struct WaylandTestSeams {
    // Runs before each event's handler; may throw to stand for a failing one.
    std::function<void(uint8_t kind, uint32_t opcode)> beforeEvent;
    // Replaces the monotonic clock when set.
    std::function<double()> clock;
};

extern WaylandTestSeams wlTestSeams;

// The window owning a surface (its content or a decoration part), with the
// part (partContent for the content); none for an unknown surface.
WlWindowRef windowOfSurface(wl_proxy* surface, int32_t* part = nullptr);

// EGL configs as (red, green, blue, alpha): the index of the first that is
// exactly 8, 8, 8, 0; else the first without alpha; else 0.
size_t pickEglConfig(const std::vector<std::array<int32_t, 4>>& sizes);

// Frame update and decorations.
void frameUpdate(WlWindow& w);
// The integer scale of decoration buffers for a window scale.
int32_t decorationBufferScale(double scale);
void syncDecorationSurfaces(WlWindow& w);
void updateDecorationPart(WlWindow& w, int32_t index);

struct ShmBuffer {
    wl_proxy* buffer = nullptr;
    uint32_t* pixels = nullptr;
};
// Raises ValueError when the byte size does not fit 32 bits; no buffer when
// the file cannot be made.
ShmBuffer createShmBuffer(int32_t width, int32_t height);

struct PixelTarget {
    int32_t width = 0;
    int32_t height = 0;
    uint32_t* pixels = nullptr;  // 0xAARRGGBB, premultiplied
};
struct PointF {
    double x = 0, y = 0;
};
using Polygon = std::vector<PointF>;

void fillPixels(PixelTarget t, uint32_t colour);
void blendPixel(PixelTarget t, int32_t x, int32_t y, uint32_t colour, int32_t coverage);
void blitMask(PixelTarget t, const Rasterizer& r, int32_t x, int32_t y, uint32_t colour);
void fillPolygons(PixelTarget t, double scale, const std::vector<Polygon>& polygons, uint32_t colour);
std::vector<Polygon> rectOutlinePolygons(double x0, double y0, double x1, double y1);
double decorationTextWidth(Font& font, std::string_view text, double size);
void drawDecorationTitle(
    PixelTarget t, double scale, Font& font, std::string_view text, double size, double x, double y, uint32_t colour);
// The longest prefix, in whole code points, that fits maxWidth with "…"
// appended, then "…"; the text itself when it fits.
std::string shortenTitle(Font& font, const std::string& title, double size, double maxWidth);
void drawTitleBar(const WlWindow& w, int32_t width, int32_t height, uint32_t* pixels, double scale);

// Events, clipboard and cursors.
struct CursorNames {
    uint32_t shape = 0;
    std::vector<const char*> names;
};
CursorNames cursorNamesFor(CursorKind kind);
struct CursorSettings {
    std::string theme;
    int32_t size = 24;
};
CursorSettings readCursorSettings();
std::string receiveOffer(wl_proxy* offer, const char* mimeType);
std::string readPipeToEnd(int fd);
// Non-blocking writes; gives up when the reader takes nothing for 20 polls
// of 100 ms, or on an error.
void writeAllToFd(int fd, const std::string& bytes);

// Input.
uint8_t titleButtonAt(const WlWindow& w, double x, double y);
uint32_t resizeEdgesAt(const WlWindow& w, int32_t part, double x, double y);
CursorKind edgeCursor(uint32_t edges);
void emitKeyPress(WlWindow& w, uint32_t key, bool repeat);
void runKeyRepeat(double now);
void loadKeymap(int fd, uint32_t size);
void resetTouches();

}  // namespace qm
