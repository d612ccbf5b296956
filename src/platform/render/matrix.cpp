#include "platform/render/matrix.h"

namespace qm {

Mat4 identityMatrix()
{
    Mat4 m{};
    m[0] = m[5] = m[10] = m[15] = 1.0f;
    return m;
}

Mat4 orthoMatrix(double left, double right, double bottom, double top, double near, double far)
{
    Mat4 m{};
    m[0] = float(2.0 / (right - left));
    m[5] = float(2.0 / (top - bottom));
    m[10] = float(-2.0 / (far - near));
    m[12] = float(-(right + left) / (right - left));
    m[13] = float(-(top + bottom) / (top - bottom));
    m[14] = float(-(far + near) / (far - near));
    m[15] = 1.0f;
    return m;
}

}  // namespace qm
