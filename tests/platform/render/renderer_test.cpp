#include "platform/render/renderer.h"

#include "core/errors.h"
#include "platform/render/matrix.h"
#include "platform/render/primitives.h"
#include "platform/render/shader.h"
#include "render_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace qm {
namespace {

using testing::quadAt;
using testing::QuadShape;

const Color red{1, 0, 0, 1};

class RendererTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        mockgl::install();
        r = newRenderer();
        beginRendererFrame(*r, 800, 600);
        mockgl::state.calls.clear();
    }

    int drawCalls()
    {
        flushRenderer(*r);
        return int(mockgl::callsNamed("glDrawArrays").size());
    }

    RendererRef r;
};

TEST_F(RendererTest, CommandsJoinWhileTextureAndClipStay)
{
    fillRect(*r, {0, 0, 10, 10}, red);
    fillRect(*r, {20, 0, 10, 10}, red);
    EXPECT_EQ(drawCalls(), 1);
    EXPECT_EQ(r->lastDrawCalls, 1);
    EXPECT_EQ(r->lastVertexCount, 12);

    auto atlas = newGlyphAtlas(testing::dejaVuSans(), 256);
    beginRendererFrame(*r, 800, 600);
    mockgl::state.calls.clear();
    fillRect(*r, {0, 0, 10, 10}, red);
    renderText(*r, atlas, "Hi", 10, 50, 16, colorWhite);
    fillRect(*r, {20, 0, 10, 10}, red);
    EXPECT_EQ(drawCalls(), 3);
}

TEST_F(RendererTest, FlushUploadsOnceAndDrawsLayersInOrder)
{
    setLayer(*r, 1);
    fillRect(*r, {0, 0, 10, 10}, red);
    setLayer(*r, 0);
    fillRect(*r, {5, 5, 10, 10}, colorBlack);
    flushRenderer(*r);
    auto uploads = mockgl::callsNamed("glBufferData");
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].args[1], 12 * 52);
    EXPECT_EQ(mockgl::state.lastBuffer.size(), 12u * 52u);
    auto draws = mockgl::callsNamed("glDrawArrays");
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].args[1], 6) << "layer 0 (second shape) first";
    EXPECT_EQ(draws[1].args[1], 0);

    // An empty frame changes nothing, not even the statistics.
    beginRendererFrame(*r, 800, 600);
    mockgl::state.calls.clear();
    flushRenderer(*r);
    EXPECT_TRUE(mockgl::state.calls.empty());
    EXPECT_EQ(r->lastDrawCalls, 2);
    EXPECT_EQ(r->lastVertexCount, 12);
}

// A frame equal to the one on screen is not drawn again; any change a
// viewer could see (shape, colour, clip, layer, size, clear colour, a
// texture's pixels) draws it.
TEST_F(RendererTest, OnlyAChangedFrameIsDrawnAgain)
{
    auto atlas = newGlyphAtlas(testing::dejaVuSans(), 256);
    struct Case {
        const char* name;
        std::function<void(Renderer&)> change;  // before the second frame's shapes
        bool kept;
        bool keptAgain;  // the same change once more
    };
    const Case cases[] = {
        {"nothing", [](Renderer&) {}, true, true},
        {"a colour",
            [](Renderer& rr) {
                fillRect(rr, {0, 0, 1, 1}, colorBlack);
            },
            false, true},
        {"a clip",
            [](Renderer& rr) {
                pushClip(rr, {0, 0, 400, 300});
            },
            false, true},
        {"a layer", [](Renderer& rr) { setLayer(rr, 1); }, false, true},
        {"the size", [](Renderer& rr) { beginRendererFrame(rr, 801, 600); }, false, true},
        {"the clear colour", [](Renderer& rr) { rr.clearColor = colorBlack; }, false, true},
        {"no clear", [](Renderer& rr) { rr.clears = false; }, false, true},
        {"a texture's pixels",
            [](Renderer& rr) {
                const uint8_t pixel[4] = {1, 2, 3, 4};
                updateTexture(*rr.whiteTexture, 0, 0, 1, 1, pixel, GL_UNSIGNED_BYTE);
            },
            false, false},
        {"keeping not asked", [](Renderer& rr) { rr.keepUnchanged = false; }, false, false},
    };
    auto frame = [&](const std::function<void(Renderer&)>& change) {
        beginRendererFrame(*r, 800, 600);
        r->clears = true;
        r->clearColor = red;
        r->keepUnchanged = true;
        change(*r);
        fillRect(*r, {10, 20, 30, 40}, red);
        renderText(*r, atlas, "Hi", 10, 50, 16, colorWhite);
        mockgl::state.calls.clear();
        flushRenderer(*r);
    };
    for (const Case& c : cases) {
        frame([](Renderer&) {});
        frame([](Renderer&) {});
        ASSERT_TRUE(r->lastFrameKept) << c.name;
        frame(c.change);
        EXPECT_EQ(r->lastFrameKept, c.kept) << c.name;
        EXPECT_EQ(mockgl::callsNamed("glClear").size(), c.kept || c.name == std::string("no clear") ? 0u : 1u)
            << c.name;
        EXPECT_EQ(mockgl::callsNamed("glDrawArrays").empty(), c.kept) << c.name;
        // What was drawn is what the next frame is held to.
        frame(c.change);
        EXPECT_EQ(r->lastFrameKept, c.keptAgain) << c.name;
    }
}

TEST_F(RendererTest, ClipsBelongToTheirLayer)
{
    setLayer(*r, 2);
    pushClip(*r, {10.5, 20.2, 30, 40});
    fillRect(*r, {0, 0, 100, 100}, red);
    setLayer(*r, 0);
    fillRect(*r, {0, 0, 100, 100}, red);
    popClip(*r);  // layer 0's stack is empty: nothing happens
    popClip(*r);
    EXPECT_EQ(currentClip(*r), (Rect{0, 0, 800, 600}));
    flushRenderer(*r);

    std::vector<std::string> sequence;
    for (const auto& c : mockgl::state.calls)
        if (c.name == "glScissor" || c.name == "glDrawArrays"
            || ((c.name == "glEnable" || c.name == "glDisable") && c.args[0] == GL_SCISSOR_TEST))
            sequence.push_back(c.name);
    EXPECT_EQ(sequence,
        (std::vector<std::string>{"glDisable", "glDrawArrays", "glEnable", "glScissor", "glDrawArrays", "glDisable"}));
    auto scissor = mockgl::callsNamed("glScissor");
    ASSERT_EQ(scissor.size(), 1u);
    EXPECT_EQ(scissor[0].args, (std::vector<double>{10, 539, 31, 41}));

    // Nested clips intersect; scissor values that no int32 holds saturate.
    setLayer(*r, 2);
    EXPECT_EQ(currentClip(*r), (Rect{10.5, 20.2, 30, 40}));
    pushClip(*r, {0, 0, 20, 1e300});
    EXPECT_EQ(currentClip(*r).w, 9.5);
    pushClip(*r, {-1e300, 0, 2e300, 10});
    beginRendererFrame(*r, 800, 600);
    pushClip(*r, {-1e300, 0, 2e300, 10});
    fillRect(*r, {0, 0, 1, 1}, red);
    mockgl::state.calls.clear();
    flushRenderer(*r);
    scissor = mockgl::callsNamed("glScissor");
    ASSERT_EQ(scissor.size(), 1u);
    EXPECT_EQ(scissor[0].args[0], std::numeric_limits<int32_t>::min());
    EXPECT_EQ(scissor[0].args[2], std::numeric_limits<int32_t>::max());

    EXPECT_THROW(setLayer(*r, -1), IndexError);
}

TEST_F(RendererTest, ColoursPackClampedAndTruncated)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    fillConvexPolygon(*r, {{0, 0}, {1, 0}, {1, 1}}, Color{1.5f, -0.2f, 0.5f, nan});
    const Vertex& v = r->vertices.at(0);
    EXPECT_EQ(v.color[0], 255);
    EXPECT_EQ(v.color[1], 0);
    EXPECT_EQ(v.color[2], 127);
    EXPECT_EQ(v.color[3], 0);
    EXPECT_EQ(hexColor(0x336699, 1), (Color{0.2f, 0.4f, 0.6f, 1.0f}));
}

TEST_F(RendererTest, EachPrimitiveMakesItsQuad)
{
    struct Case {
        const char* name;
        std::function<void(Renderer&)> draw;
        QuadShape quad;
    };
    const Texture image{77, 4, 4, GL_RGBA};
    const Case cases[] = {
        {"fillRect",
            [](Renderer& rr) {
                fillRect(rr, {10, 20, 30, 40}, red);
            },
            {10, 20, 40, 60, {0, 0, 0, 0}, 0, 0, 0}},
        {"fillRoundRect 0.5",
            [](Renderer& rr) {
                fillRoundRect(rr, {10, 20, 30, 40}, 0.5, red);
            },
            {10, 20, 40, 60, {0, 0, 0, 0}, 0, 0, 0}},
        {"fillRoundRect 0.6",
            [](Renderer& rr) {
                fillRoundRect(rr, {10, 20, 30, 40}, 0.6, red);
            },
            {9, 19, 41, 61, {25, 40, 15, 20}, double(0.6f), 0, 2}},
        {"fillRoundRect pill",
            [](Renderer& rr) {
                fillRoundRect(rr, {10, 20, 30, 40}, 99, red);
            },
            {9, 19, 41, 61, {25, 40, 15, 20}, 15, 0, 2}},
        {"strokeRoundRect",
            [](Renderer& rr) {
                strokeRoundRect(rr, {10, 20, 30, 40}, 99, 2, red);
            },
            {9, 19, 41, 61, {25, 40, 15, 20}, 15, 2, 3}},
        {"strokeRect",
            [](Renderer& rr) {
                strokeRect(rr, {10, 20, 30, 40}, 3, red);
            },
            {9, 19, 41, 61, {25, 40, 15, 20}, 0, 3, 3}},
        {"drawShadowRect",
            [](Renderer& rr) {
                drawShadowRect(rr, {10, 20, 30, 40}, 99, 8, red);
            },
            {2, 12, 48, 68, {25, 40, 15, 20}, 99, 8, 6}},
        {"fillCircle", [](Renderer& rr) { fillCircle(rr, 50, 50, 10, red); },
            {39, 39, 61, 61, {50, 50, 10, 10}, 10, 0, 2}},
        {"fillCircle tiny", [](Renderer& rr) { fillCircle(rr, 50, 50, 0.5, red); },
            {49.5, 49.5, 50.5, 50.5, {0, 0, 0, 0}, 0, 0, 0}},
        {"strokeCircle", [](Renderer& rr) { strokeCircle(rr, 50, 50, 10, 2, red); },
            {37, 37, 63, 63, {50, 50, 10, 0}, 0, 2, 7}},
        {"drawLine", [](Renderer& rr) { drawLine(rr, 30, 10, 10, 20, 4, red); },
            {7, 7, 33, 23, {30, 10, 10, 20}, 2, 0, 5}},
        {"drawTextureRect alpha 0",
            [&](Renderer& rr) {
                drawTextureRect(rr, image, {1, 2, 3, 4}, colorTransparent, 0.25, 0, 1, 0.5);
            },
            {1, 2, 4, 6, {0, 0, 0, 0}, 0, 0, 4}},
    };
    for (const Case& c : cases) {
        beginRendererFrame(*r, 800, 600);
        c.draw(*r);
        ASSERT_EQ(r->vertices.size(), 6u) << c.name;
        EXPECT_EQ(quadAt(*r, 0), c.quad) << c.name;
    }
    // Texture coordinates and binding of a texture blit.
    EXPECT_EQ(r->vertices[2].uv[0], 1.0f);
    EXPECT_EQ(r->vertices[2].uv[1], 0.5f);
    EXPECT_EQ(r->vertices[0].uv[0], 0.25f);
    EXPECT_EQ(r->layers[0].back().texture, 77u);

    // Transparent shapes add nothing; a polygon is not alpha-tested.
    beginRendererFrame(*r, 800, 600);
    fillRect(*r, {0, 0, 5, 5}, colorTransparent);
    drawLine(*r, 0, 0, 5, 5, 1, colorTransparent);
    drawPolyline(*r, {{0, 0}, {1, 1}, {2, 0}}, 1, colorTransparent, true);
    EXPECT_TRUE(r->vertices.empty());
    fillConvexPolygon(*r, {{0, 0}, {4, 0}, {4, 4}, {0, 4}}, colorTransparent);
    EXPECT_EQ(r->vertices.size(), 6u);
}

TEST_F(RendererTest, PolylinesAndDashes)
{
    auto segments = [&](const std::function<void()>& draw) {
        beginRendererFrame(*r, 800, 600);
        draw();
        std::vector<std::array<double, 4>> out;
        for (size_t i = 0; i < r->vertices.size(); i += 6)
            out.push_back(quadAt(*r, i).p);
        return out;
    };
    using Segs = std::vector<std::array<double, 4>>;
    EXPECT_EQ(segments([&] { drawDashedLine(*r, 0, 0, 10, 0, 1, red, 4, 2); }), (Segs{{0, 0, 4, 0}, {6, 0, 10, 0}}));
    EXPECT_EQ(segments([&] { drawDashedLine(*r, 0, 0, 0, 0, 1, red, 4, 2); }).size(), 0u);
    EXPECT_EQ(segments([&] { drawPolyline(*r, {{0, 0}, {4, 0}, {0, 3}}, 1, red, true); }).size(), 3u);
    EXPECT_EQ(segments([&] { drawPolyline(*r, {{0, 0}, {4, 0}, {0, 3}}, 1, red, false); }).size(), 2u);
    // Lengths that would never finish, or finish after millions of quads,
    // draw the segment solid.
    const double inf = std::numeric_limits<double>::infinity();
    for (auto [dash, gap] : {std::pair{0.0, 0.0}, {-1.0, 0.5}, {inf, 1.0}, {std::nan(""), 1.0}, {1e-3, 1e-3}})
        EXPECT_EQ(segments([&] { drawDashedLine(*r, 0, 0, 1000, 0, 1, red, dash, gap); }), (Segs{{0, 0, 1000, 0}}))
            << dash << " " << gap;
    // A negative gap that keeps the period positive still ends.
    EXPECT_EQ(segments([&] { drawDashedLine(*r, 0, 0, 3, 0, 1, red, 5, -1); }).size(), 2u);
}

TEST_F(RendererTest, FlushSetsUpTheShaderOnce)
{
    fillRect(*r, {0, 0, 1, 1}, red);
    flushRenderer(*r);
    flushRenderer(*r);
    auto asked = mockgl::callsNamed("glGetUniformLocation");
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].text, "uProj");
    EXPECT_EQ(asked[1].text, "uTex");
    auto proj = mockgl::callsNamed("glUniformMatrix4fv");
    ASSERT_EQ(proj.size(), 2u);
    Mat4 expected = orthoMatrix(0, 800, 600, 0, -1, 1);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(proj[0].args[size_t(3 + i)], expected[size_t(i)]);
    EXPECT_EQ(mockgl::callsNamed("glViewport")[0].args, (std::vector<double>{0, 0, 800, 600}));
}

TEST(Matrices, OrthoMapsTheViewportCorners)
{
    Mat4 m = orthoMatrix(0, 800, 600, 0, -1, 1);
    auto apply = [&](double x, double y) {
        return std::pair{m[0] * x + m[4] * y + m[12], m[1] * x + m[5] * y + m[13]};
    };
    EXPECT_EQ(apply(0, 0), (std::pair{-1.0, 1.0}));
    EXPECT_NEAR(apply(800, 600).first, 1.0, 1e-6);
    EXPECT_NEAR(apply(800, 600).second, -1.0, 1e-6);
    EXPECT_EQ(m[10], -1.0f);
    EXPECT_EQ(m[14], 0.0f);
    EXPECT_EQ(m[15], 1.0f);
    Mat4 id = identityMatrix();
    EXPECT_EQ(id[0] + id[5] + id[10] + id[15], 4.0f);
    EXPECT_EQ(id[1] + id[4] + id[12], 0.0f);
}

TEST(Rects, IntersectionNeverGoesNegative)
{
    EXPECT_EQ(intersectRect({0, 0, 10, 10}, {20, 30, 5, 5}), (Rect{20, 30, 0, 0}));
    EXPECT_EQ(intersectRect({0, 0, 10, 10}, {5, 5, 10, 10}), (Rect{5, 5, 5, 5}));
    const double nan = std::nan("");
    EXPECT_EQ(intersectRect({1, 2, 10, 10}, {nan, 5, nan, 3}), (Rect{1, 5, 10, 3}));
}

TEST(Shaders, MessagesCarryTheLogAndSource)
{
    mockgl::install();
    mockgl::state.compileStatus = 0;
    mockgl::state.failStage = GL_FRAGMENT_SHADER;
    mockgl::state.infoLog = "0:3: syntax error";
    try {
        newShader("void main() {}", "bad fragment", "");
        FAIL();
    } catch (const ValueError& e) {
        EXPECT_EQ(std::string(e.what()), "Shader compile error:\n0:3: syntax error\n--- source ---\nbad fragment");
    }
    mockgl::state.compileStatus = 1;
    mockgl::state.linkStatus = 0;
    mockgl::state.infoLog = "";
    try {
        newShader("v", "f", "");
        FAIL();
    } catch (const ValueError& e) {
        EXPECT_EQ(std::string(e.what()), "Shader link error: ");
    }
    mockgl::install();
    ShaderRef s = newShader("v", "f", "");
    EXPECT_EQ(mockgl::callsNamed("glCompileShader").size(), 2u);
    EXPECT_EQ(mockgl::callsNamed("glDeleteShader").size(), 2u);
    EXPECT_EQ(mockgl::callsNamed("glBindFragDataLocation")[0].text, "fragColor");
    newShader("v", "f", "g");
    EXPECT_EQ(mockgl::callsNamed("glCompileShader").size(), 5u);
    EXPECT_EQ(uniformLocation(*s, "uMissing"), -1);
    EXPECT_EQ(uniformLocation(*s, "uMissing"), -1);
    EXPECT_EQ(mockgl::callsNamed("glGetUniformLocation").size(), 1u);
}

TEST(Textures, ParametersAndDeletion)
{
    mockgl::install();
    EXPECT_THROW(newTexture(1, 1, -1, GL_RGBA, GL_UNSIGNED_BYTE, nullptr, true, true), ValueError);
    EXPECT_TRUE(mockgl::state.calls.empty());
    TextureRef t = newTexture(4, 2, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, nullptr, false, false);
    auto params = mockgl::callsNamed("glTexParameteri");
    ASSERT_EQ(params.size(), 4u);
    EXPECT_EQ(params[0].args[2], GL_NEAREST);
    EXPECT_EQ(params[3].args[2], GL_REPEAT);
    EXPECT_EQ(mockgl::callsNamed("glTexImage2D")[0].args[8], 0.0) << "allocated without pixels";
    deleteTexture(*t);
    deleteTexture(*t);
    EXPECT_EQ(mockgl::callsNamed("glDeleteTextures").size(), 1u);
    EXPECT_EQ(t->name, 0u);
}

}  // namespace
}  // namespace qm
