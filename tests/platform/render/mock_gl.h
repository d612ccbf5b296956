#pragma once
// A GL table without a driver: the functions the renderer uses, each logging
// its call (name and numeric arguments) when recording is on, and answering
// queries from a few settable values. Header-only so that the benchmarks can
// time the renderer's CPU work through it too.
#include "platform/render/gl_entry_points.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace qm::mockgl {

struct Call {
    std::string name;
    std::vector<double> args;
    std::string text;  // shader sources and uniform names
};

struct State {
    bool recording = true;
    std::vector<Call> calls;
    GLint maxTextureSize = 16384;
    GLint compileStatus = 1;
    GLuint failStage = 0;  // with compileStatus 0: only this stage fails (0: all)
    GLint linkStatus = 1;
    std::string infoLog;
    GLuint nextName = 1;
    std::map<GLuint, GLenum> shaderStages;
    std::vector<uint8_t> lastBuffer;  // bytes of the last glBufferData
};

inline State state;

inline void log(const char* name, std::initializer_list<double> args, std::string text = {})
{
    if (state.recording)
        state.calls.push_back({name, std::vector<double>(args), std::move(text)});
}

inline std::vector<Call> callsNamed(const std::string& name)
{
    std::vector<Call> out;
    for (const Call& c : state.calls)
        if (c.name == name)
            out.push_back(c);
    return out;
}

inline void reset() { state = State{}; }

namespace fn {

inline void APIENTRY getIntegerv(GLenum pname, GLint* data)
{
    log("glGetIntegerv", {double(pname)});
    data[0] = pname == GL_MAX_TEXTURE_SIZE ? state.maxTextureSize : 0;
}
inline void APIENTRY enable(GLenum cap) { log("glEnable", {double(cap)}); }
inline void APIENTRY disable(GLenum cap) { log("glDisable", {double(cap)}); }
inline void APIENTRY clearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { log("glClearColor", {r, g, b, a}); }
inline void APIENTRY clear(GLbitfield mask) { log("glClear", {double(mask)}); }
inline void APIENTRY viewport(GLint x, GLint y, GLsizei w, GLsizei h)
{
    log("glViewport", {double(x), double(y), double(w), double(h)});
}
inline void APIENTRY scissor(GLint x, GLint y, GLsizei w, GLsizei h)
{
    log("glScissor", {double(x), double(y), double(w), double(h)});
}
inline void APIENTRY blendFuncSeparate(GLenum a, GLenum b, GLenum c, GLenum d)
{
    log("glBlendFuncSeparate", {double(a), double(b), double(c), double(d)});
}
inline void APIENTRY pixelStorei(GLenum p, GLint v) { log("glPixelStorei", {double(p), double(v)}); }
inline GLuint APIENTRY createShader(GLenum stage)
{
    GLuint name = state.nextName++;
    state.shaderStages[name] = stage;
    log("glCreateShader", {double(stage)});
    return name;
}
inline void APIENTRY shaderSource(GLuint shader, GLsizei count, const GLchar* const* strings, const GLint* lengths)
{
    std::string text;
    for (GLsizei i = 0; i < count; ++i)
        text.append(strings[i], lengths ? size_t(lengths[i]) : std::strlen(strings[i]));
    log("glShaderSource", {double(shader), double(count)}, text);
}
inline void APIENTRY compileShader(GLuint shader) { log("glCompileShader", {double(shader)}); }
inline void APIENTRY getShaderiv(GLuint shader, GLenum pname, GLint* out)
{
    log("glGetShaderiv", {double(shader), double(pname)});
    if (pname == GL_COMPILE_STATUS) {
        bool fails =
            state.compileStatus == 0 && (state.failStage == 0 || state.shaderStages[shader] == state.failStage);
        *out = fails ? 0 : 1;
    } else if (pname == GL_INFO_LOG_LENGTH) {
        *out = state.infoLog.empty() ? 0 : GLint(state.infoLog.size() + 1);
    }
}
inline void APIENTRY getShaderInfoLog(GLuint shader, GLsizei size, GLsizei* length, GLchar* buffer)
{
    log("glGetShaderInfoLog", {double(shader), double(size)});
    size_t n = std::min(size_t(size > 0 ? size - 1 : 0), state.infoLog.size());
    std::memcpy(buffer, state.infoLog.data(), n);
    if (size > 0)
        buffer[n] = 0;
    if (length)
        *length = GLsizei(n);
}
inline void APIENTRY deleteShader(GLuint shader) { log("glDeleteShader", {double(shader)}); }
inline GLuint APIENTRY createProgram()
{
    log("glCreateProgram", {});
    return state.nextName++;
}
inline void APIENTRY attachShader(GLuint p, GLuint s) { log("glAttachShader", {double(p), double(s)}); }
inline void APIENTRY bindFragDataLocation(GLuint p, GLuint c, const GLchar* name)
{
    log("glBindFragDataLocation", {double(p), double(c)}, name);
}
inline void APIENTRY linkProgram(GLuint p) { log("glLinkProgram", {double(p)}); }
inline void APIENTRY getProgramiv(GLuint p, GLenum pname, GLint* out)
{
    log("glGetProgramiv", {double(p), double(pname)});
    if (pname == GL_LINK_STATUS)
        *out = state.linkStatus;
    else if (pname == GL_INFO_LOG_LENGTH)
        *out = state.infoLog.empty() ? 0 : GLint(state.infoLog.size() + 1);
}
inline void APIENTRY getProgramInfoLog(GLuint p, GLsizei size, GLsizei* length, GLchar* buffer)
{
    getShaderInfoLog(p, size, length, buffer);
}
inline void APIENTRY useProgram(GLuint p) { log("glUseProgram", {double(p)}); }
inline GLint APIENTRY getUniformLocation(GLuint p, const GLchar* name)
{
    log("glGetUniformLocation", {double(p)}, name);
    return std::string(name) == "uMissing" ? -1 : GLint(std::strlen(name));
}
inline void APIENTRY uniform1i(GLint loc, GLint v) { log("glUniform1i", {double(loc), double(v)}); }
inline void APIENTRY uniformMatrix4fv(GLint loc, GLsizei count, GLboolean transpose, const GLfloat* m)
{
    Call c{"glUniformMatrix4fv", {double(loc), double(count), double(transpose)}, {}};
    for (int i = 0; i < 16; ++i)
        c.args.push_back(m[i]);
    if (state.recording)
        state.calls.push_back(c);
}
inline void APIENTRY genBuffers(GLsizei n, GLuint* out)
{
    log("glGenBuffers", {double(n)});
    for (GLsizei i = 0; i < n; ++i)
        out[i] = state.nextName++;
}
inline void APIENTRY bindBuffer(GLenum target, GLuint b) { log("glBindBuffer", {double(target), double(b)}); }
inline void APIENTRY bufferData(GLenum target, GLsizeiptr size, const void* data, GLenum usage)
{
    log("glBufferData", {double(target), double(size), double(usage)});
    if (state.recording) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        state.lastBuffer.assign(bytes, bytes + size);
    }
}
inline void APIENTRY genVertexArrays(GLsizei n, GLuint* out)
{
    log("glGenVertexArrays", {double(n)});
    for (GLsizei i = 0; i < n; ++i)
        out[i] = state.nextName++;
}
inline void APIENTRY bindVertexArray(GLuint a) { log("glBindVertexArray", {double(a)}); }
inline void APIENTRY enableVertexAttribArray(GLuint i) { log("glEnableVertexAttribArray", {double(i)}); }
inline void APIENTRY vertexAttribPointer(
    GLuint i, GLint size, GLenum type, GLboolean norm, GLsizei stride, const void* offset)
{
    log("glVertexAttribPointer",
        {double(i), double(size), double(type), double(norm), double(stride),
            double(reinterpret_cast<uintptr_t>(offset))});
}
inline void APIENTRY drawArrays(GLenum mode, GLint first, GLsizei count)
{
    log("glDrawArrays", {double(mode), double(first), double(count)});
}
inline void APIENTRY genTextures(GLsizei n, GLuint* out)
{
    log("glGenTextures", {double(n)});
    for (GLsizei i = 0; i < n; ++i)
        out[i] = state.nextName++;
}
inline void APIENTRY bindTexture(GLenum target, GLuint t) { log("glBindTexture", {double(target), double(t)}); }
inline void APIENTRY texImage2D(GLenum target, GLint level, GLint internal, GLsizei w, GLsizei h, GLint border,
    GLenum format, GLenum type, const void* pixels)
{
    log("glTexImage2D",
        {double(target), double(level), double(internal), double(w), double(h), double(border), double(format),
            double(type), pixels ? 1.0 : 0.0});
}
inline void APIENTRY texSubImage2D(
    GLenum target, GLint level, GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type, const void*)
{
    log("glTexSubImage2D",
        {double(target), double(level), double(x), double(y), double(w), double(h), double(format), double(type)});
}
inline void APIENTRY texParameteri(GLenum target, GLenum p, GLint v)
{
    log("glTexParameteri", {double(target), double(p), double(v)});
}
inline void APIENTRY deleteTextures(GLsizei n, const GLuint* names)
{
    for (GLsizei i = 0; i < n; ++i)
        log("glDeleteTextures", {double(names[i])});
}
inline void APIENTRY activeTexture(GLenum unit) { log("glActiveTexture", {double(unit)}); }

}  // namespace fn

// Every function above under its GL name.
inline const std::map<std::string, GlProc>& functions()
{
    static const std::map<std::string, GlProc> table = {
#define QM_MOCK(glname, f) {#glname, reinterpret_cast<GlProc>(&fn::f)}
        QM_MOCK(glGetIntegerv, getIntegerv),
        QM_MOCK(glEnable, enable),
        QM_MOCK(glDisable, disable),
        QM_MOCK(glViewport, viewport),
        QM_MOCK(glClearColor, clearColor),
        QM_MOCK(glClear, clear),
        QM_MOCK(glScissor, scissor),
        QM_MOCK(glBlendFuncSeparate, blendFuncSeparate),
        QM_MOCK(glPixelStorei, pixelStorei),
        QM_MOCK(glCreateShader, createShader),
        QM_MOCK(glShaderSource, shaderSource),
        QM_MOCK(glCompileShader, compileShader),
        QM_MOCK(glGetShaderiv, getShaderiv),
        QM_MOCK(glGetShaderInfoLog, getShaderInfoLog),
        QM_MOCK(glDeleteShader, deleteShader),
        QM_MOCK(glCreateProgram, createProgram),
        QM_MOCK(glAttachShader, attachShader),
        QM_MOCK(glBindFragDataLocation, bindFragDataLocation),
        QM_MOCK(glLinkProgram, linkProgram),
        QM_MOCK(glGetProgramiv, getProgramiv),
        QM_MOCK(glGetProgramInfoLog, getProgramInfoLog),
        QM_MOCK(glUseProgram, useProgram),
        QM_MOCK(glGetUniformLocation, getUniformLocation),
        QM_MOCK(glUniform1i, uniform1i),
        QM_MOCK(glUniformMatrix4fv, uniformMatrix4fv),
        QM_MOCK(glGenBuffers, genBuffers),
        QM_MOCK(glBindBuffer, bindBuffer),
        QM_MOCK(glBufferData, bufferData),
        QM_MOCK(glGenVertexArrays, genVertexArrays),
        QM_MOCK(glBindVertexArray, bindVertexArray),
        QM_MOCK(glEnableVertexAttribArray, enableVertexAttribArray),
        QM_MOCK(glVertexAttribPointer, vertexAttribPointer),
        QM_MOCK(glDrawArrays, drawArrays),
        QM_MOCK(glGenTextures, genTextures),
        QM_MOCK(glBindTexture, bindTexture),
        QM_MOCK(glTexImage2D, texImage2D),
        QM_MOCK(glTexSubImage2D, texSubImage2D),
        QM_MOCK(glTexParameteri, texParameteri),
        QM_MOCK(glDeleteTextures, deleteTextures),
        QM_MOCK(glActiveTexture, activeTexture),
#undef QM_MOCK
    };
    return table;
}

// Resets the state and fills the GL table with the mock.
inline void install()
{
    reset();
    loadGlEntryPoints([](const char* name) -> GlProc {
        auto it = functions().find(name);
        return it == functions().end() ? nullptr : it->second;
    });
}

}  // namespace qm::mockgl
