#include "app/path_icons.h"

#include "app/path_icons_internal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>

namespace qm {

Affine newAffine(double a, double b, double c, double d, double e, double f) { return Affine{a, b, c, d, e, f}; }

Affine identityAffine() { return Affine{}; }

Affine scaleAffine(double s) { return Affine{s, 0, 0, s, 0, 0}; }

Affine mulAffine(const Affine& m, const Affine& n)
{
    return Affine{m.a * n.a + m.c * n.b, m.b * n.a + m.d * n.b, m.a * n.c + m.c * n.d, m.b * n.c + m.d * n.d,
        m.a * n.e + m.c * n.f + m.e, m.b * n.e + m.d * n.f + m.f};
}

PathPoint applyAffine(const Affine& m, double x, double y)
{
    return PathPoint{m.a * x + m.c * y + m.e, m.b * x + m.d * y + m.f};
}

std::span<const BuiltinIconPath> builtinIconPaths()
{
    return std::span<const BuiltinIconPath>(kBuiltinIconTable, kBuiltinIconCount);
}

std::optional<std::string_view> builtinIconPath(std::string_view name)
{
    auto table = builtinIconPaths();
    auto it = std::lower_bound(table.begin(), table.end(), name,
        [](const BuiltinIconPath& entry, std::string_view key) { return entry.name < key; });
    if (it == table.end() || it->name != name)
        return std::nullopt;
    return it->pathData;
}

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool startsNumber(char c) { return c == '+' || c == '-' || c == '.' || isDigit(c); }

}  // namespace

std::optional<ScannedNumber> scanNumber(std::string_view text, size_t pos)
{
    size_t i = pos;
    const size_t n = text.size();
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const size_t mantissaStart = i;
    size_t digits = 0;
    int64_t integerDigits = 0;  // significant digits before the point
    bool seenPoint = false;
    bool significant = false;
    int64_t leadingFractionZeros = 0;
    for (; i < n; ++i) {
        char c = text[i];
        if (isDigit(c)) {
            ++digits;
            if (c != '0')
                significant = true;
            if (!seenPoint && significant)
                ++integerDigits;
            if (seenPoint && !significant)
                ++leadingFractionZeros;
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return std::nullopt;
    int64_t exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        bool expNegative = false;
        if (j < n && (text[j] == '+' || text[j] == '-')) {
            expNegative = text[j] == '-';
            ++j;
        }
        if (j < n && isDigit(text[j])) {
            for (; j < n && isDigit(text[j]); ++j)
                exponent = std::min<int64_t>(exponent * 10 + (text[j] - '0'), 100000000);
            if (expNegative)
                exponent = -exponent;
            i = j;
        }
    }
    double value = 0;
    // from_chars takes no leading '+', and reads the same grammar otherwise.
    auto result = std::from_chars(text.data() + mantissaStart, text.data() + i, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // The decimal exponent of the leading significant digit says which way
        // the value left the range of a double.
        int64_t magnitude = integerDigits > 0 ? integerDigits - 1 + exponent : exponent - leadingFractionZeros - 1;
        value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (result.ec != std::errc() || result.ptr != text.data() + i) {
        return std::nullopt;
    }
    return ScannedNumber{negative ? -value : value, i - pos};
}

namespace {

// Reads commands one at a time without holding the whole list, so that long
// path data costs no more memory than one command.
struct PathTokenizer {
    std::string_view text;
    size_t pos = 0;

    // Skips to the next letter, dropping numbers before it, then reads the
    // command's numbers up to the following letter.
    bool next(PathCommand& command)
    {
        command.numbers.clear();
        while (pos < text.size() && !isLetter(text[pos]))
            skipToken();
        if (pos >= text.size())
            return false;
        command.letter = text[pos++];
        while (pos < text.size() && !isLetter(text[pos])) {
            if (startsNumber(text[pos])) {
                if (auto number = scanNumber(text, pos)) {
                    command.numbers.push_back(number->value);
                    pos += number->length;
                    continue;
                }
            }
            ++pos;
        }
        return true;
    }

    void skipToken()
    {
        if (startsNumber(text[pos])) {
            if (auto number = scanNumber(text, pos)) {
                pos += number->length;
                return;
            }
        }
        ++pos;
    }
};

struct RasterSink {
    Rasterizer& r;
    bool stopped() const { return false; }
    void line(PathPoint a, PathPoint b) { addLine(r, a.x, a.y, b.x, b.y); }
    void quadratic(PathPoint a, PathPoint b, PathPoint c) { addQuadratic(r, a.x, a.y, b.x, b.y, c.x, c.y); }
    void cubic(PathPoint a, PathPoint b, PathPoint c, PathPoint d)
    {
        addCubic(r, a.x, a.y, b.x, b.y, c.x, c.y, d.x, d.y);
    }
};

struct CheckSink {
    const Rasterizer& target;
    int64_t& budget;
    PathCheck status = PathCheck::ok;

    bool stopped() const { return status != PathCheck::ok; }
    void take(int64_t work)
    {
        budget -= work;
        if (budget < 0 && status == PathCheck::ok)
            status = PathCheck::tooMuchWork;
    }
    bool finite(std::initializer_list<PathPoint> points)
    {
        for (PathPoint p : points)
            if (!std::isfinite(p.x) || !std::isfinite(p.y))
                status = PathCheck::notFinite;
        return !stopped();
    }
    void line(PathPoint a, PathPoint b)
    {
        if (finite({a, b}))
            take(lineWork(target, a.x, a.y, b.x, b.y));
    }
    void quadratic(PathPoint a, PathPoint b, PathPoint c)
    {
        if (finite({a, b, c}))
            take(quadraticWork(target, a.x, a.y, b.x, b.y, c.x, c.y));
    }
    void cubic(PathPoint a, PathPoint b, PathPoint c, PathPoint d)
    {
        if (finite({a, b, c, d}))
            take(cubicWork(target, a.x, a.y, b.x, b.y, c.x, c.y, d.x, d.y));
    }
};

// Walks the path data and hands every mapped edge to the sink.
template <typename Sink>
void walkPath(std::string_view text, const Affine& m, Sink& sink)
{
    PathTokenizer tokens{text};
    PathCommand command;
    PathPoint current{0, 0};
    PathPoint start{0, 0};
    PathPoint lastControl{0, 0};
    char previous = ' ';
    auto map = [&](PathPoint p) { return applyAffine(m, p.x, p.y); };
    auto lineTo = [&](PathPoint p) {
        sink.line(map(current), map(p));
        current = p;
    };
    // A filled subpath is closed even when its data leaves it open.
    auto closeSubpath = [&] {
        if (current.x != start.x || current.y != start.y)
            sink.line(map(current), map(start));
    };
    auto cubicTo = [&](PathPoint c1, PathPoint c2, PathPoint end) {
        sink.cubic(map(current), map(c1), map(c2), map(end));
        lastControl = c2;
        current = end;
    };
    auto quadraticTo = [&](PathPoint c, PathPoint end) {
        sink.quadratic(map(current), map(c), map(end));
        lastControl = c;
        current = end;
    };

    while (!sink.stopped() && tokens.next(command)) {
        const char letter = command.letter;
        const char op = static_cast<char>(letter >= 'a' ? letter - ('a' - 'A') : letter);
        const bool relative = letter >= 'a';
        size_t count = 0;
        switch (op) {
        case 'M':
        case 'L':
        case 'T':
            count = 2;
            break;
        case 'H':
        case 'V':
            count = 1;
            break;
        case 'C':
            count = 6;
            break;
        case 'S':
        case 'Q':
            count = 4;
            break;
        case 'A':
            count = 7;
            break;
        case 'Z':
            count = 0;
            break;
        default:
            continue;  // unknown: skipped with its numbers
        }
        const std::vector<double>& v = command.numbers;
        if (op == 'Z') {
            closeSubpath();
            current = start;
            previous = 'Z';
            continue;
        }
        for (size_t i = 0; i + count <= v.size() && !sink.stopped(); i += count) {
            const double ox = relative ? current.x : 0;
            const double oy = relative ? current.y : 0;
            auto at = [&](size_t k) { return PathPoint{v[i + k] + ox, v[i + k + 1] + oy}; };
            switch (op) {
            case 'M':
                if (i == 0) {
                    closeSubpath();
                    current = start = at(0);
                } else {
                    lineTo(at(0));
                }
                break;
            case 'L':
                lineTo(at(0));
                break;
            case 'H':
                lineTo(PathPoint{v[i] + ox, current.y});
                break;
            case 'V':
                lineTo(PathPoint{current.x, v[i] + oy});
                break;
            case 'C':
                cubicTo(at(0), at(2), at(4));
                break;
            case 'S': {
                PathPoint c1 = current;
                if (previous == 'C' || previous == 'S')
                    c1 = PathPoint{2 * current.x - lastControl.x, 2 * current.y - lastControl.y};
                cubicTo(c1, at(0), at(2));
                break;
            }
            case 'Q':
                quadraticTo(at(0), at(2));
                break;
            case 'T': {
                PathPoint c = current;
                if (previous == 'Q' || previous == 'T')
                    c = PathPoint{2 * current.x - lastControl.x, 2 * current.y - lastControl.y};
                quadraticTo(c, at(0));
                break;
            }
            case 'A': {
                PathPoint end{v[i + 5] + ox, v[i + 6] + oy};
                auto pieces = arcToCubics(
                    current.x, current.y, v[i], v[i + 1], v[i + 2], v[i + 3] != 0, v[i + 4] != 0, end.x, end.y);
                for (const CubicSegment& s : pieces)
                    cubicTo(s.control1, s.control2, s.end);
                current = end;
                break;
            }
            }
            previous = op;
        }
    }
    closeSubpath();
}

}  // namespace

std::vector<PathCommand> parsePathCommands(std::string_view text)
{
    std::vector<PathCommand> commands;
    PathTokenizer tokens{text};
    PathCommand command;
    while (tokens.next(command))
        commands.push_back(command);
    return commands;
}

double vectorAngle(double ux, double uy, double vx, double vy)
{
    double dot = ux * vx + uy * vy;
    double lengths = std::sqrt(ux * ux + uy * uy) * std::sqrt(vx * vx + vy * vy);
    double angle = std::acos(std::clamp(dot / (lengths + 1e-12), -1.0, 1.0));
    return ux * vy - uy * vx < 0 ? -angle : angle;
}

EllipsePoint ellipsePoint(const ArcEllipse& e, double theta)
{
    double cosT = std::cos(theta), sinT = std::sin(theta);
    EllipsePoint p;
    p.point = PathPoint{
        e.cx + e.rx * e.cosPhi * cosT - e.ry * e.sinPhi * sinT, e.cy + e.rx * e.sinPhi * cosT + e.ry * e.cosPhi * sinT};
    p.derivative =
        PathPoint{-e.rx * e.cosPhi * sinT - e.ry * e.sinPhi * cosT, -e.rx * e.sinPhi * sinT + e.ry * e.cosPhi * cosT};
    return p;
}

std::vector<CubicSegment> arcToCubics(
    double x1, double y1, double rx, double ry, double rotationDegrees, bool largeArc, bool sweep, double x2, double y2)
{
    if (x1 == x2 && y1 == y2)
        return {};
    const CubicSegment straight{PathPoint{x1, y1}, PathPoint{x2, y2}, PathPoint{x2, y2}};
    rx = std::fabs(rx);
    ry = std::fabs(ry);
    if (rx == 0 || ry == 0)
        return {straight};
    const double phi = rotationDegrees * std::numbers::pi / 180;
    const double cosPhi = std::cos(phi), sinPhi = std::sin(phi);
    const double dx = (x1 - x2) / 2, dy = (y1 - y2) / 2;
    const double x1p = cosPhi * dx + sinPhi * dy;
    const double y1p = -sinPhi * dx + cosPhi * dy;
    double lambda = x1p * x1p / (rx * rx) + y1p * y1p / (ry * ry);
    if (lambda > 1) {
        double root = std::sqrt(lambda);
        rx *= root;
        ry *= root;
    }
    const double rx2 = rx * rx, ry2 = ry * ry;
    double s = std::sqrt(
        std::max(0.0, rx2 * ry2 - rx2 * y1p * y1p - ry2 * x1p * x1p) / (rx2 * y1p * y1p + ry2 * x1p * x1p + 1e-12));
    if (largeArc == sweep)
        s = -s;
    const double cxp = s * rx * y1p / ry;
    const double cyp = -s * ry * x1p / rx;
    ArcEllipse ellipse{cosPhi * cxp - sinPhi * cyp + (x1 + x2) / 2, sinPhi * cxp + cosPhi * cyp + (y1 + y2) / 2, rx, ry,
        cosPhi, sinPhi};
    const double ux = (x1p - cxp) / rx, uy = (y1p - cyp) / ry;
    const double vx = (-x1p - cxp) / rx, vy = (-y1p - cyp) / ry;
    double theta = vectorAngle(1, 0, ux, uy);
    double delta = vectorAngle(ux, uy, vx, vy);
    // Huge or non-finite inputs leave nothing to count segments by; the
    // straight line keeps the end point, which the caller's check then sees.
    if (!std::isfinite(theta) || !std::isfinite(delta) || !std::isfinite(ellipse.cx) || !std::isfinite(ellipse.cy))
        return {straight};
    if (!sweep && delta > 0)
        delta -= 2 * std::numbers::pi;
    else if (sweep && delta < 0)
        delta += 2 * std::numbers::pi;
    // |delta| is at most 2 pi here, so n is 1 to 4.
    const int n = std::max(1, static_cast<int>(std::ceil(std::fabs(delta) / (std::numbers::pi / 2) - 1e-6)));
    const double step = delta / n;
    const double t = std::tan(step / 2);
    const double k = std::sin(step) * (std::sqrt(4 + 3 * t * t) - 1) / 3;
    std::vector<CubicSegment> segments;
    segments.reserve(static_cast<size_t>(n));
    EllipsePoint from = ellipsePoint(ellipse, theta);
    for (int i = 0; i < n; ++i) {
        EllipsePoint to = ellipsePoint(ellipse, theta + step * (i + 1));
        segments.push_back(
            CubicSegment{PathPoint{from.point.x + k * from.derivative.x, from.point.y + k * from.derivative.y},
                PathPoint{to.point.x - k * to.derivative.x, to.point.y - k * to.derivative.y}, to.point});
        from = to;
    }
    return segments;
}

PathCheck checkPathData(std::string_view text, const Affine& transform, const Rasterizer& target, int64_t& workBudget)
{
    CheckSink sink{target, workBudget};
    walkPath(text, transform, sink);
    return sink.status;
}

void addPathData(Rasterizer& rasterizer, std::string_view text, const Affine& transform)
{
    RasterSink sink{rasterizer};
    walkPath(text, transform, sink);
}

void flattenPathData(Rasterizer& rasterizer, std::string_view text, const Affine& transform)
{
    int64_t unlimited = std::numeric_limits<int64_t>::max();
    if (checkPathData(text, transform, rasterizer, unlimited) != PathCheck::notFinite)
        addPathData(rasterizer, text, transform);
}

std::vector<uint8_t> rasterizePath(std::string_view text, int32_t size)
{
    Rasterizer r = newRasterizer(size, size);
    flattenPathData(r, text, scaleAffine(size / 24.0));
    return coverageToAlphaGamma(r, 1.0);
}

}  // namespace qm
