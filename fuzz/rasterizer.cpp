// Feeds arbitrary edges to the rasteriser, non-finite and huge coordinates
// included, and converts under both fill rules. Every input must finish in
// bounded time without touching memory outside the mask.
#include "platform/render/rasterizer.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;

    bool more() const { return pos < size; }
    uint8_t byte() { return pos < size ? data[pos++] : 0; }
};

// One coordinate: a selector byte picks a troublesome constant, a raw double,
// or a value spread over the mask and a little beyond it.
double coordinate(Reader& in, int span)
{
    static const double specials[] = {
        std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(),
        1e30,
        -1e30,
        std::numeric_limits<double>::max(),
        -std::numeric_limits<double>::max(),
        std::numeric_limits<double>::denorm_min(),
        0.0,
        -0.5,
        static_cast<double>(span),
        static_cast<double>(span) - 1e-9,
    };
    constexpr int specialCount = sizeof specials / sizeof specials[0];
    uint8_t s = in.byte();
    if (s < specialCount)
        return specials[s];
    if (s == 255) {
        uint8_t raw[8];
        for (uint8_t& b : raw)
            b = in.byte();
        double v;
        std::memcpy(&v, raw, sizeof v);
        return v;
    }
    double fraction = in.byte() / 256.0;
    return (s - specialCount) * (span + 8) / (254.0 - specialCount) - 4 + fraction;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Reader in{data, size};
    int width = in.byte() % 65;
    int height = in.byte() % 65;
    int span = width > height ? width : height;
    qm::Rasterizer r = qm::newRasterizer(width, height);
    double c[8];
    for (int ops = 0; in.more() && ops < 256; ++ops) {
        uint8_t op = in.byte() % 4;
        int count = op == 0 ? 4 : op == 1 ? 6 : op == 2 ? 8 : 0;
        for (int i = 0; i < count; ++i)
            c[i] = coordinate(in, span);
        switch (op) {
        case 0:
            qm::addLine(r, c[0], c[1], c[2], c[3]);
            break;
        case 1:
            qm::addQuadratic(r, c[0], c[1], c[2], c[3], c[4], c[5]);
            break;
        case 2:
            qm::addCubic(r, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
            break;
        default:
            qm::clearRasterizer(r);
            break;
        }
    }
    static const double powers[] = {1.0, 0.5, 2.2, 0.0, -1.0, std::numeric_limits<double>::quiet_NaN()};
    size_t expected = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (qm::coverageToAlphaGamma(r, powers[size % 6]).size() != expected || qm::coverageToAlpha(r).size() != expected)
        std::abort();
    return 0;
}
