#pragma once
// GLSL programs with readable build errors and a cache of uniform locations.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/render/matrix.h"

namespace qm {

struct Shader {
    uint32_t program = 0;
    // Every location asked for, in the order first asked; -1 is kept too.
    std::vector<std::pair<std::string, int32_t>> uniforms;
};

// Dropping the last reference leaves the GL program alive.
using ShaderRef = std::shared_ptr<Shader>;

// Raises ValueError with the GL log and the whole source when it fails.
uint32_t compileShader(uint32_t stage, std::string_view source);

// An empty geometry source builds a program of two stages. Raises ValueError
// when a stage does not compile or the program does not link.
ShaderRef newShader(std::string_view vertex, std::string_view fragment, std::string_view geometry);

void useShader(const Shader& shader);
int32_t uniformLocation(Shader& shader, std::string_view name);
void setUniformMat4(Shader& shader, std::string_view name, const Mat4& matrix);
void setUniformInt(Shader& shader, std::string_view name, int32_t value);

}  // namespace qm
