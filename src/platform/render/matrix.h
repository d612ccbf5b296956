#pragma once
// 4x4 float matrices, column-major (element 4 * column + row), laid out the
// way glUniformMatrix4fv reads them without transposing.
#include <array>

namespace qm {

using Mat4 = std::array<float, 16>;

Mat4 identityMatrix();

// Maps the box [left, right] x [bottom, top] x [-near, -far] onto clip space.
Mat4 orthoMatrix(double left, double right, double bottom, double top, double near, double far);

}  // namespace qm
