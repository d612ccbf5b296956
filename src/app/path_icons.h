#pragma once
// The program's own filled icons as SVG path data on a 24-unit grid, and the
// path-data reader that turns such data (and the SVG renderer's shapes) into
// edges for the coverage rasteriser.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/render/rasterizer.h"

namespace qm {

// x' = a x + c y + e, y' = b x + d y + f: the order of SVG's matrix().
struct Affine {
    double a = 1;
    double b = 0;
    double c = 0;
    double d = 1;
    double e = 0;
    double f = 0;
};

struct PathPoint {
    double x = 0;
    double y = 0;
};

struct PathCommand {
    char letter = 0;  // as written: upper case absolute, lower case relative
    std::vector<double> numbers;
};

// One cubic piece; it starts where the piece before it (or the arc) ends.
struct CubicSegment {
    PathPoint control1;
    PathPoint control2;
    PathPoint end;
};

// The centre form of an elliptical arc.
struct ArcEllipse {
    double cx = 0;
    double cy = 0;
    double rx = 0;
    double ry = 0;
    double cosPhi = 1;
    double sinPhi = 0;
};

struct EllipsePoint {
    PathPoint point;
    PathPoint derivative;
};

struct BuiltinIconPath {
    std::string_view name;
    std::string_view pathData;
};

Affine newAffine(double a, double b, double c, double d, double e, double f);
Affine identityAffine();
Affine scaleAffine(double s);
// Applies n first, then m.
Affine mulAffine(const Affine& m, const Affine& n);
PathPoint applyAffine(const Affine& m, double x, double y);

// Every built-in icon, sorted by name.
std::span<const BuiltinIconPath> builtinIconPaths();
// The path data of a built-in icon; the name is matched exactly.
std::optional<std::string_view> builtinIconPath(std::string_view name);

// Splits path data into commands. Never fails: stray bytes separate, numbers
// before the first letter are dropped.
std::vector<PathCommand> parsePathCommands(std::string_view text);

// The signed angle from u to v in radians.
double vectorAngle(double ux, double uy, double vx, double vy);
EllipsePoint ellipsePoint(const ArcEllipse& ellipse, double theta);

// The SVG endpoint arc as cubics of at most a quarter turn each; empty when
// the end is the start, one straight segment when a radius is 0 or the arc
// cannot be worked out in finite numbers.
std::vector<CubicSegment> arcToCubics(double x1, double y1, double rx, double ry, double rotationDegrees, bool largeArc,
    bool sweep, double x2, double y2);

// Feeds the shape described by `text` to the rasteriser after applying
// `transform`. Open subpaths are closed, since they are filled. If any point
// ends up infinite or NaN, the whole path is dropped.
void flattenPathData(Rasterizer& rasterizer, std::string_view text, const Affine& transform);

// The path data on the 24-unit grid filled into a size x size alpha mask
// (non-zero rule), rows from the top.
std::vector<uint8_t> rasterizePath(std::string_view text, int32_t size);

}  // namespace qm
