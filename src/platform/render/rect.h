#pragma once
// Axis-aligned rectangles in window pixels, y downwards.
namespace qm {

struct Rect {
    double x = 0;
    double y = 0;
    double w = 0;
    double h = 0;

    bool operator==(const Rect&) const = default;
};

inline Rect toRect(double x, double y, double w, double h) { return {x, y, w, h}; }

// The overlap of a and b, never of negative size (disjoint rectangles give a
// zero width or height at the larger origin). A NaN in b keeps a's value for
// that side, so an unset clip does not poison the result.
Rect intersectRect(const Rect& a, const Rect& b);

}  // namespace qm
