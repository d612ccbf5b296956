#pragma once
// The batched 2D renderer every pixel of the window goes through. Shapes are
// queued as quads into one vertex list, grouped into draw commands by
// texture and clip within numbered layers, and drawn at the end of the frame
// with one upload and one glDrawArrays per command. One shader draws every
// shape, anti-aliased by distance functions chosen per vertex by a mode.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/render/color.h"
#include "platform/render/glyph_atlas.h"
#include "platform/render/rect.h"
#include "platform/render/shader.h"
#include "platform/render/texture.h"

namespace qm {

// The vertex buffer's layout, 52 bytes.
struct Vertex {
    float pos[2];
    float uv[2];
    uint8_t color[4];
    float p[4];  // shape parameters
    float q[4];  // q[0], q[1] shape parameters, q[2] the mode, q[3] 0
};
static_assert(sizeof(Vertex) == 52);

// Fragment formulas, by the mode each vertex carries.
enum ShapeMode : uint8_t {
    modeFlat = 0,
    modeText = 1,
    modeRoundRect = 2,
    modeRoundOutline = 3,
    modeTexture = 4,
    modeLine = 5,
    modeShadow = 6,
    modeRing = 7,
};

struct DrawCommand {
    int32_t first = 0;
    int32_t count = 0;  // skipped when 0
    uint32_t texture = 0;
    Rect clip;
    bool clipped = false;

    bool operator==(const DrawCommand&) const = default;
};

struct Renderer {
    ShaderRef shader;
    uint32_t vertexArray = 0;
    uint32_t vertexBuffer = 0;
    std::vector<Vertex> vertices;
    std::vector<std::vector<DrawCommand>> layers;
    std::vector<std::vector<Rect>> clipStacks;  // parallel to layers
    int32_t layer = 0;
    uint32_t whiteTextureName = 0;
    int32_t viewportWidth = 0;
    int32_t viewportHeight = 0;
    std::array<GlyphAtlasRef, 2> atlases;  // filled by the UI toolkit
    TextureRef whiteTexture;
    int32_t lastVertexCount = 0;
    int32_t lastDrawCalls = 0;
    // Atlases text was drawn from this frame: after the flush has drawn, the
    // textures their growth replaced can go.
    std::vector<GlyphAtlasRef> frameAtlases;

    // Set by the caller before the flush. With a clear colour the flush
    // first clears the whole viewport to it. With keepUnchanged, a frame
    // equal to the last one drawn with it (shapes, clips, textures, size,
    // clear colour) is not drawn at all: the window still shows it, and on
    // a software renderer drawing it again costs a good share of a core.
    bool clears = false;
    Color clearColor;
    bool keepUnchanged = false;
    // Whether the last flush left the frame on screen as it was; the caller
    // then has nothing to swap.
    bool lastFrameKept = false;
    // The last frame drawn while keepUnchanged was set.
    struct ShownFrame {
        bool valid = false;
        std::vector<Vertex> vertices;
        std::vector<std::vector<DrawCommand>> layers;
        int32_t width = 0;
        int32_t height = 0;
        bool clears = false;
        Color clearColor;
        uint64_t textureChanges = 0;
    } shown;
};

using RendererRef = std::shared_ptr<Renderer>;

// Raises ValueError when a GL function it needs is missing or the shader
// does not build.
RendererRef newRenderer();

void beginRendererFrame(Renderer& r, int32_t width, int32_t height);
// Raises IndexError for a negative layer.
void setLayer(Renderer& r, int32_t layer);
int32_t currentLayer(const Renderer& r);
void pushClip(Renderer& r, const Rect& clip);
void popClip(Renderer& r);
Rect currentClip(const Renderer& r);
void setDrawState(Renderer& r, uint32_t texture);
void pushVertex(Renderer& r, double x, double y, double u, double v, Color color, const std::array<double, 4>& p,
    double qx, double qy, float mode);
void pushQuad(Renderer& r, double x0, double y0, double x1, double y1, Color color, const std::array<double, 4>& p,
    double qx, double qy, float mode, uint32_t texture, double u0, double v0, double u1, double v1);
// Draws the frame's shapes, or keeps the frame on screen (see keepUnchanged).
void flushRenderer(Renderer& r);

// The GL functions the renderer, its shader, textures and atlases call.
const std::vector<std::string>& rendererGlFunctions();

}  // namespace qm
