#include "platform/render/rect.h"

#include <algorithm>
#include <cmath>

namespace qm {

namespace {

// max and min that prefer the first value when the second is NaN.
double maxKeep(double a, double b) { return std::isnan(b) ? a : std::max(a, b); }

double minKeep(double a, double b) { return std::isnan(b) ? a : std::min(a, b); }

}  // namespace

Rect intersectRect(const Rect& a, const Rect& b)
{
    Rect r;
    r.x = maxKeep(a.x, b.x);
    r.y = maxKeep(a.y, b.y);
    double right = minKeep(a.x + a.w, b.x + b.w);
    double bottom = minKeep(a.y + a.h, b.y + b.h);
    r.w = std::max(right - r.x, 0.0);
    r.h = std::max(bottom - r.y, 0.0);
    return r;
}

}  // namespace qm
