#include "platform/render/shader.h"

#include "core/errors.h"
#include "platform/render/gl_entry_points.h"

#include <algorithm>
#include <cstring>

namespace qm {

namespace {

// The log without the terminating NUL the driver counts in its length.
std::string infoLog(std::vector<char>& buffer)
{
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

}  // namespace

uint32_t compileShader(uint32_t stage, std::string_view source)
{
    GLuint shader = glCreateShader(stage);
    const GLchar* text = source.data();
    GLint length = GLint(source.size());
    glShaderSource(shader, 1, &text, &length);
    glCompileShader(shader);
    GLint status = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status == 0) {
        GLint n = 0;
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &n);
        std::vector<char> buffer(size_t(std::max(n, 1)), '\0');
        glGetShaderInfoLog(shader, GLsizei(buffer.size()), nullptr, buffer.data());
        throw ValueError("Shader compile error:\n" + infoLog(buffer) + "\n--- source ---\n" + std::string(source));
    }
    return shader;
}

ShaderRef newShader(std::string_view vertex, std::string_view fragment, std::string_view geometry)
{
    std::vector<uint32_t> stages;
    stages.push_back(compileShader(GL_VERTEX_SHADER, vertex));
    stages.push_back(compileShader(GL_FRAGMENT_SHADER, fragment));
    if (!geometry.empty())
        stages.push_back(compileShader(GL_GEOMETRY_SHADER, geometry));
    GLuint program = glCreateProgram();
    for (uint32_t stage : stages)
        glAttachShader(program, stage);
    glBindFragDataLocation(program, 0, "fragColor");
    glLinkProgram(program);
    GLint status = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status == 0) {
        GLint n = 0;
        glGetProgramiv(program, GL_INFO_LOG_LENGTH, &n);
        std::vector<char> buffer(size_t(std::max(n, 1)), '\0');
        glGetProgramInfoLog(program, GLsizei(buffer.size()), nullptr, buffer.data());
        throw ValueError("Shader link error: " + infoLog(buffer));
    }
    for (uint32_t stage : stages)
        glDeleteShader(stage);
    auto shader = std::make_shared<Shader>();
    shader->program = program;
    return shader;
}

void useShader(const Shader& shader) { glUseProgram(shader.program); }

int32_t uniformLocation(Shader& shader, std::string_view name)
{
    for (const auto& [cached, location] : shader.uniforms) {
        if (cached == name)
            return location;
    }
    std::string key(name);
    int32_t location = glGetUniformLocation(shader.program, key.c_str());
    shader.uniforms.emplace_back(std::move(key), location);
    return location;
}

void setUniformMat4(Shader& shader, std::string_view name, const Mat4& matrix)
{
    glUniformMatrix4fv(uniformLocation(shader, name), 1, GL_FALSE, matrix.data());
}

void setUniformInt(Shader& shader, std::string_view name, int32_t value)
{
    glUniform1i(uniformLocation(shader, name), value);
}

}  // namespace qm
