#include "platform/rasterizer.h"

#include "core/errors.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qm {

Rasterizer newRasterizer(int32_t width, int32_t height)
{
    int64_t cells = static_cast<int64_t>(width) * height;
    if (cells > std::numeric_limits<int32_t>::max() || cells < std::numeric_limits<int32_t>::min())
        throw ValueError("rasterizer size overflows");
    if (width < 0 || height < 0)
        throw ValueError("rasterizer size is negative");
    Rasterizer r;
    r.width = width;
    r.height = height;
    r.accumulation.assign(static_cast<size_t>(cells) + 1, 0.0f);
    return r;
}

void clearRasterizer(Rasterizer& r)
{
    std::fill(r.accumulation.begin(), r.accumulation.end(), 0.0f);
}

void addLine(Rasterizer& r, double x0, double y0, double x1, double y1)
{
    if (!(y0 < y1) && !(y0 > y1))
        return; // horizontal, or a NaN
    double direction = 1.0;
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        direction = -1.0;
    }
    // Rows are bounded in floating point first, so infinite or huge
    // coordinates never reach an integer conversion.
    double firstRow = std::max(std::floor(y0), 0.0);
    double endRow = std::min(std::ceil(y1), static_cast<double>(r.height));
    if (!(firstRow < endRow))
        return;

    double dxdy = (x1 - x0) / (y1 - y0);
    // The edge's x at y = 0 when it starts above the mask; a vertical edge
    // keeps its x even when it starts infinitely far up.
    double x = y0 < 0 && dxdy != 0 ? x0 - y0 * dxdy : x0;
    const int64_t width = r.width;
    const double widthF = static_cast<double>(width);
    const int64_t rowEnd = static_cast<int64_t>(endRow);
    float* cells = r.accumulation.data();

    for (int64_t y = static_cast<int64_t>(firstRow); y < rowEnd; ++y) {
        double yf = static_cast<double>(y);
        double dy = std::min(yf + 1.0, y1) - std::max(yf, y0);
        double xnext = x + dxdy * dy;
        double d = dy * direction;
        double xl = std::min(x, xnext);
        double xr = std::max(x, xnext);
        if (!(xl > 0))
            xl = 0; // left of the mask, or NaN
        if (!(xr > 0))
            xr = 0;
        x = xnext;
        if (xl >= widthF)
            continue;

        // Contributions at or beyond the width belong to pixels right of the
        // mask and are dropped; they must not spill into the next row.
        float* row = cells + y * width;
        auto add = [&](int64_t c, double v) {
            if (c < width)
                row[c] += static_cast<float>(v);
        };
        double xlf = std::floor(xl);
        int64_t xli = static_cast<int64_t>(xlf);
        double xrc = std::ceil(xr);
        if (xrc <= xlf + 1) {
            double m = (xl + xr) * 0.5 - xlf;
            row[xli] += static_cast<float>(d - d * m);
            add(xli + 1, d * m);
            continue;
        }
        double s = 1.0 / (xr - xl);
        double f0 = xl - xlf;
        double a0 = 0.5 * s * (1 - f0) * (1 - f0);
        double f1 = xr - xrc + 1;
        double am = 0.5 * s * f1 * f1;
        // Past width + 2 only the dropped cells move, so the end is capped
        // before it becomes an integer.
        int64_t xri = xrc > widthF + 2 ? width + 2 : static_cast<int64_t>(xrc);
        row[xli] += static_cast<float>(d * a0);
        if (xri == xli + 2) {
            add(xli + 1, d * (1 - a0 - am));
        } else {
            double a1 = s * (1.5 - f0);
            add(xli + 1, d * (a1 - a0));
            float step = static_cast<float>(d * s);
            int64_t last = std::min(xri - 2, width - 1);
            for (int64_t c = xli + 2; c <= last; ++c)
                row[c] += step;
            double a2 = a1 + static_cast<double>(xri - xli - 3) * s;
            add(xri - 1, d * (1 - a2 - am));
        }
        add(xri, d * am);
    }
}

void addQuadratic(Rasterizer& r, double x0, double y0, double x1, double y1, double x2, double y2)
{
    double ddx = x0 - 2 * x1 + x2;
    double ddy = y0 - 2 * y1 + y2;
    double dd = ddx * ddx + ddy * ddy;
    if (dd < 0.333) {
        addLine(r, x0, y0, x2, y2);
        return;
    }
    double steps = std::ceil(std::sqrt(0.5 * std::sqrt(3 * dd)));
    if (!(steps >= 1))
        steps = 1;
    int n = static_cast<int>(std::min(steps, 32.0));
    double px = x0, py = y0;
    for (int i = 1; i <= n; ++i) {
        double t = static_cast<double>(i) / n;
        double u = 1 - t;
        double qx = u * u * x0 + 2 * u * t * x1 + t * t * x2;
        double qy = u * u * y0 + 2 * u * t * y1 + t * t * y2;
        addLine(r, px, py, qx, qy);
        px = qx;
        py = qy;
    }
}

void addCubic(Rasterizer& r, double x0, double y0, double x1, double y1, double x2, double y2, double x3,
              double y3)
{
    double px = x0, py = y0;
    for (int i = 1; i <= 16; ++i) {
        double t = i * 0.0625;
        double u = 1 - t;
        double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
        double qx = b0 * x0 + b1 * x1 + b2 * x2 + b3 * x3;
        double qy = b0 * y0 + b1 * y1 + b2 * y2 + b3 * y3;
        addLine(r, px, py, qx, qy);
        px = qx;
        py = qy;
    }
}

namespace {

uint8_t toByte(double c)
{
    return static_cast<uint8_t>(c * 255 + 0.5);
}

// Runs fn(runningSum) -> byte over every pixel, the sum restarting per row.
template <typename Fn>
std::vector<uint8_t> convert(const Rasterizer& r, Fn fn)
{
    size_t width = static_cast<size_t>(r.width);
    std::vector<uint8_t> out(width * static_cast<size_t>(r.height));
    const float* cells = r.accumulation.data();
    for (size_t base = 0; base < out.size(); base += width) {
        float sum = 0.0f;
        for (size_t i = base; i < base + width; ++i) {
            sum += cells[i];
            out[i] = fn(sum);
        }
    }
    return out;
}

}  // namespace

std::vector<uint8_t> coverageToAlphaGamma(const Rasterizer& r, double power)
{
    if (power == 1.0) {
        return convert(r, [](float sum) {
            float c = std::fabs(sum);
            return toByte(c < 1.0f ? c : 1.0f); // a NaN sum counts as covered
        });
    }
    return convert(r, [power](float sum) {
        float a = std::fabs(sum);
        double c = std::pow(static_cast<double>(a < 1.0f ? a : 1.0f), power);
        return toByte(c <= 1.0 ? c : 1.0); // also bounds a NaN or infinite power
    });
}

std::vector<uint8_t> coverageToAlpha(const Rasterizer& r)
{
    return convert(r, [](float sum) {
        double v = std::fmod(std::fabs(static_cast<double>(sum)), 2.0);
        if (v > 1)
            v = 2 - v;
        if (!(v >= 0))
            v = 1; // an infinite or NaN sum, as in the non-zero rule
        return toByte(std::min(v, 1.0));
    });
}

}  // namespace qm
