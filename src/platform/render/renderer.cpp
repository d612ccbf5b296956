#include "platform/render/renderer.h"

#include "core/errors.h"
#include "platform/render/gl_entry_points.h"
#include "platform/render/matrix.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

namespace qm {

namespace {

const char* vertexSource = R"(#version 330 core
layout(location = 0) in vec2 aPos;
layout(location = 1) in vec2 aUV;
layout(location = 2) in vec4 aColor;
layout(location = 3) in vec4 aP;
layout(location = 4) in vec4 aQ;
uniform mat4 uProj;
out vec2 vPos;
out vec2 vUV;
out vec4 vColor;
flat out vec4 vP;
flat out vec4 vQ;
void main()
{
    gl_Position = uProj * vec4(aPos, 0.0, 1.0);
    vPos = aPos;
    vUV = aUV;
    vColor = aColor;
    vP = aP;
    vQ = aQ;
}
)";

const char* fragmentSource = R"(#version 330 core
in vec2 vPos;
in vec2 vUV;
in vec4 vColor;
flat in vec4 vP;
flat in vec4 vQ;
uniform sampler2D uTex;
out vec4 fragColor;

float rrect(vec2 p, vec2 hs, float r)
{
    vec2 q = abs(p) - hs + vec2(r, r);
    return min(max(q.x, q.y), 0.0) + length(max(q, 0.0)) - r;
}

float seg(vec2 p, vec2 a, vec2 b)
{
    vec2 ba = b - a;
    float h = clamp(dot(p - a, ba) / max(dot(ba, ba), 0.000001), 0.0, 1.0);
    return length(p - a - ba * h);
}

void main()
{
    int mode = int(vQ.z + 0.5);
    vec4 col = vColor;
    if (mode == 1) {
        fragColor = vec4(col.rgb, col.a * texture(uTex, vUV).r);
    } else if (mode == 2) {
        float d = rrect(vPos - vP.xy, vP.zw, vQ.x);
        fragColor = vec4(col.rgb, col.a * (1.0 - smoothstep(-0.5, 0.5, d)));
    } else if (mode == 3) {
        float d = rrect(vPos - vP.xy, vP.zw, vQ.x);
        float hw = vQ.y / 2.0;
        fragColor = vec4(col.rgb, col.a * (1.0 - smoothstep(hw - 0.5, hw + 0.5, abs(d + hw))));
    } else if (mode == 4) {
        fragColor = texture(uTex, vUV) * col;
    } else if (mode == 5) {
        float d = seg(vPos, vP.xy, vP.zw) - vQ.x;
        fragColor = vec4(col.rgb, col.a * (1.0 - smoothstep(-0.5, 0.5, d)));
    } else if (mode == 6) {
        float d = rrect(vPos - vP.xy, vP.zw, vQ.x);
        float blur = max(vQ.y, 0.0001);
        float a = 1.0 - smoothstep(-blur, blur, d);
        fragColor = vec4(col.rgb, col.a * a * a);
    } else if (mode == 7) {
        float d = abs(length(vPos - vP.xy) - vP.z) - vQ.y / 2.0;
        fragColor = vec4(col.rgb, col.a * (1.0 - smoothstep(-0.5, 0.5, d)));
    } else {
        fragColor = col;
    }
}
)";

// A scissor edge that no int32 can hold is clamped instead of wrapping.
GLint saturate(double v)
{
    if (std::isnan(v))
        return 0;
    if (v <= double(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    if (v >= double(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return GLint(v);
}

}  // namespace

const std::vector<std::string>& rendererGlFunctions()
{
    static const std::vector<std::string> names = {
        "glGetIntegerv",
        "glEnable",
        "glDisable",
        "glViewport",
        "glScissor",
        "glBlendFuncSeparate",
        "glPixelStorei",
        "glCreateShader",
        "glShaderSource",
        "glCompileShader",
        "glGetShaderiv",
        "glGetShaderInfoLog",
        "glDeleteShader",
        "glCreateProgram",
        "glAttachShader",
        "glBindFragDataLocation",
        "glLinkProgram",
        "glGetProgramiv",
        "glGetProgramInfoLog",
        "glUseProgram",
        "glGetUniformLocation",
        "glUniform1i",
        "glUniformMatrix4fv",
        "glGenBuffers",
        "glBindBuffer",
        "glBufferData",
        "glGenVertexArrays",
        "glBindVertexArray",
        "glEnableVertexAttribArray",
        "glVertexAttribPointer",
        "glDrawArrays",
        "glGenTextures",
        "glBindTexture",
        "glTexImage2D",
        "glTexSubImage2D",
        "glTexParameteri",
        "glDeleteTextures",
        "glActiveTexture",
        "glClearColor",
        "glClear",
    };
    return names;
}

RendererRef newRenderer()
{
    std::string missing = firstMissingGlFunction(rendererGlFunctions());
    if (!missing.empty())
        throw ValueError("OpenGL function not available: " + missing);
    auto r = std::make_shared<Renderer>();
    r->shader = newShader(vertexSource, fragmentSource, "");
    GLuint vao = 0, vbo = 0;
    glGenVertexArrays(1, &vao);
    glGenBuffers(1, &vbo);
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    constexpr GLsizei stride = sizeof(Vertex);
    struct Attribute {
        GLint size;
        GLenum type;
        GLboolean normalized;
        size_t offset;
    };
    const Attribute attributes[] = {
        {2, GL_FLOAT, GL_FALSE, offsetof(Vertex, pos)},
        {2, GL_FLOAT, GL_FALSE, offsetof(Vertex, uv)},
        {4, GL_UNSIGNED_BYTE, GL_TRUE, offsetof(Vertex, color)},
        {4, GL_FLOAT, GL_FALSE, offsetof(Vertex, p)},
        {4, GL_FLOAT, GL_FALSE, offsetof(Vertex, q)},
    };
    for (GLuint i = 0; i < 5; ++i) {
        const Attribute& a = attributes[i];
        glEnableVertexAttribArray(i);
        glVertexAttribPointer(i, a.size, a.type, a.normalized, stride, reinterpret_cast<const void*>(a.offset));
    }
    glBindVertexArray(0);
    const uint8_t white[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    r->whiteTexture = newTexture(1, 1, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, white, true, true);
    r->whiteTextureName = r->whiteTexture->name;
    r->vertexArray = vao;
    r->vertexBuffer = vbo;
    return r;
}

void beginRendererFrame(Renderer& r, int32_t width, int32_t height)
{
    r.viewportWidth = width;
    r.viewportHeight = height;
    r.vertices.clear();
    r.layers.assign(1, {});
    r.clipStacks.assign(1, {});
    r.layer = 0;
    r.layers[0].push_back({0, 0, r.whiteTextureName, Rect{}, false});
}

void setLayer(Renderer& r, int32_t layer)
{
    if (layer < 0)
        throw IndexError("layer out of range");
    while (size_t(layer) >= r.layers.size()) {
        r.layers.emplace_back();
        r.clipStacks.emplace_back();
    }
    r.layer = layer;
}

int32_t currentLayer(const Renderer& r) { return r.layer; }

void pushClip(Renderer& r, const Rect& clip)
{
    if (r.clipStacks.empty())
        setLayer(r, 0);
    std::vector<Rect>& stack = r.clipStacks[size_t(r.layer)];
    stack.push_back(stack.empty() ? clip : intersectRect(clip, stack.back()));
}

void popClip(Renderer& r)
{
    if (size_t(r.layer) < r.clipStacks.size() && !r.clipStacks[size_t(r.layer)].empty())
        r.clipStacks[size_t(r.layer)].pop_back();
}

Rect currentClip(const Renderer& r)
{
    if (size_t(r.layer) < r.clipStacks.size() && !r.clipStacks[size_t(r.layer)].empty())
        return r.clipStacks[size_t(r.layer)].back();
    return {0, 0, double(r.viewportWidth), double(r.viewportHeight)};
}

void setDrawState(Renderer& r, uint32_t texture)
{
    if (size_t(r.layer) >= r.layers.size())
        setLayer(r, r.layer);
    const std::vector<Rect>& stack = r.clipStacks[size_t(r.layer)];
    bool clipped = !stack.empty();
    Rect clip = clipped ? stack.back() : Rect{};
    std::vector<DrawCommand>& commands = r.layers[size_t(r.layer)];
    int32_t count = int32_t(r.vertices.size());
    if (!commands.empty()) {
        DrawCommand& c = commands.back();
        if (c.first + c.count == count && c.texture == texture && c.clipped == clipped && (!clipped || c.clip == clip))
            return;
        if (c.count == 0) {
            c = {count, 0, texture, clip, clipped};
            return;
        }
    }
    commands.push_back({count, 0, texture, clip, clipped});
}

void pushVertex(Renderer& r, double x, double y, double u, double v, Color color, const std::array<double, 4>& p,
    double qx, double qy, float mode)
{
    Vertex& vx = r.vertices.emplace_back();
    vx.pos[0] = float(x);
    vx.pos[1] = float(y);
    vx.uv[0] = float(u);
    vx.uv[1] = float(v);
    vx.color[0] = colorByte(color.r);
    vx.color[1] = colorByte(color.g);
    vx.color[2] = colorByte(color.b);
    vx.color[3] = colorByte(color.a);
    for (int i = 0; i < 4; ++i)
        vx.p[i] = float(p[size_t(i)]);
    vx.q[0] = float(qx);
    vx.q[1] = float(qy);
    vx.q[2] = mode;
    vx.q[3] = 0;
    if (size_t(r.layer) >= r.layers.size() || r.layers[size_t(r.layer)].empty())
        setDrawState(r, r.whiteTextureName);
    r.layers[size_t(r.layer)].back().count += 1;
}

void pushQuad(Renderer& r, double x0, double y0, double x1, double y1, Color color, const std::array<double, 4>& p,
    double qx, double qy, float mode, uint32_t texture, double u0, double v0, double u1, double v1)
{
    setDrawState(r, texture);
    pushVertex(r, x0, y0, u0, v0, color, p, qx, qy, mode);
    pushVertex(r, x1, y0, u1, v0, color, p, qx, qy, mode);
    pushVertex(r, x1, y1, u1, v1, color, p, qx, qy, mode);
    pushVertex(r, x0, y0, u0, v0, color, p, qx, qy, mode);
    pushVertex(r, x1, y1, u1, v1, color, p, qx, qy, mode);
    pushVertex(r, x0, y1, u0, v1, color, p, qx, qy, mode);
}

namespace {

bool sameAsShown(const Renderer& r)
{
    const Renderer::ShownFrame& s = r.shown;
    return s.valid && s.width == r.viewportWidth && s.height == r.viewportHeight && s.clears == r.clears
        && (!r.clears || s.clearColor == r.clearColor) && s.textureChanges == textureChanges()
        && s.vertices.size() == r.vertices.size()
        && (r.vertices.empty()
            || std::memcmp(s.vertices.data(), r.vertices.data(), r.vertices.size() * sizeof(Vertex)) == 0)
        && s.layers == r.layers;
}

void retireAtlasTextures(Renderer& r)
{
    for (const GlyphAtlasRef& atlas : r.frameAtlases)
        deleteRetiredTextures(*atlas);
    r.frameAtlases.clear();
}

}  // namespace

void flushRenderer(Renderer& r)
{
    r.lastFrameKept = r.keepUnchanged && sameAsShown(r);
    if (r.lastFrameKept) {
        retireAtlasTextures(r);
        return;
    }
    if (r.keepUnchanged) {
        Renderer::ShownFrame& s = r.shown;
        s.valid = true;
        s.vertices.assign(r.vertices.begin(), r.vertices.end());
        s.layers = r.layers;
        s.width = r.viewportWidth;
        s.height = r.viewportHeight;
        s.clears = r.clears;
        s.clearColor = r.clearColor;
    } else {
        r.shown.valid = false;
    }
    if (r.clears) {
        glViewport(0, 0, r.viewportWidth, r.viewportHeight);
        glDisable(GL_SCISSOR_TEST);
        glClearColor(r.clearColor.r, r.clearColor.g, r.clearColor.b, r.clearColor.a);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    // Taken after the atlases' uploads of this frame, which come before
    // the flush.
    r.shown.textureChanges = textureChanges();
    if (r.vertices.empty())
        return;
    glBindVertexArray(r.vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, r.vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(r.vertices.size() * sizeof(Vertex)), r.vertices.data(), GL_STREAM_DRAW);
    useShader(*r.shader);
    setUniformMat4(*r.shader, "uProj", orthoMatrix(0, r.viewportWidth, r.viewportHeight, 0, -1, 1));
    setUniformInt(*r.shader, "uTex", 0);
    glViewport(0, 0, r.viewportWidth, r.viewportHeight);
    glEnable(GL_BLEND);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glActiveTexture(GL_TEXTURE0);
    int32_t calls = 0;
    for (const std::vector<DrawCommand>& commands : r.layers) {
        for (const DrawCommand& c : commands) {
            if (c.count <= 0)
                continue;
            if (c.clipped) {
                const Rect& k = c.clip;
                double left = std::floor(k.x), top = std::floor(k.y);
                double right = std::ceil(k.x + k.w), bottom = std::ceil(k.y + k.h);
                glEnable(GL_SCISSOR_TEST);
                glScissor(saturate(left), saturate(double(r.viewportHeight) - bottom),
                    saturate(std::max(right - left, 0.0)), saturate(std::max(bottom - top, 0.0)));
            } else {
                glDisable(GL_SCISSOR_TEST);
            }
            glBindTexture(GL_TEXTURE_2D, c.texture);
            glDrawArrays(GL_TRIANGLES, c.first, c.count);
            ++calls;
        }
    }
    glDisable(GL_SCISSOR_TEST);
    glBindVertexArray(0);
    r.lastVertexCount = int32_t(r.vertices.size());
    r.lastDrawCalls = calls;
    retireAtlasTextures(r);
}

}  // namespace qm
