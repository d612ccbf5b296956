#pragma once
// Fonts and small readers shared by the renderer and atlas tests.
#include "codecs/font/font.h"
#include "mock_gl.h"
#include "platform/render/renderer.h"

namespace qm::testing {

FontRef dejaVuSans();
FontRef plexSans();

// (x0, y0, x1, y1) of the quad at vertex index first, from its corners.
struct QuadShape {
    double x0, y0, x1, y1;
    std::array<double, 4> p;
    double qx, qy;
    int mode;
    bool operator==(const QuadShape&) const = default;
};
QuadShape quadAt(const Renderer& r, size_t first);

}  // namespace qm::testing
