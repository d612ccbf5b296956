#include "app/svg.h"

#include "app/path_icons_internal.h"
#include "app/svg_internal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace qm {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view strip(std::string_view s, bool commas = false)
{
    auto drop = [&](char c) { return isSpace(c) || (commas && c == ','); };
    while (!s.empty() && drop(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && drop(s.back()))
        s.remove_suffix(1);
    return s;
}

bool startsNumber(char c) { return c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9'); }

bool isSkipped(std::string_view tag)
{
    static constexpr std::string_view kSkipped[] = {"defs", "mask", "desc", "title", "style", "symbol", "marker",
        "pattern", "clipPath", "metadata", "linearGradient", "radialGradient"};
    return std::find(std::begin(kSkipped), std::end(kSkipped), tag) != std::end(kSkipped);
}

// Writes path data; a number that is not finite spoils the whole shape.
struct PathWriter {
    std::string text;
    bool finite = true;

    PathWriter& command(char letter)
    {
        text += letter;
        first = true;
        return *this;
    }
    PathWriter& number(double v)
    {
        if (!std::isfinite(v)) {
            finite = false;
            return *this;
        }
        if (!first)
            text += ' ';
        first = false;
        char buffer[32];
        auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
        text.append(buffer, result.ptr);
        return *this;
    }
    PathWriter& flags(const char* written)
    {
        text += written;
        first = true;
        return *this;
    }
    std::string take() { return finite ? std::move(text) : std::string(); }

private:
    bool first = true;
};

std::string rectPath(const pugi::xml_node& node)
{
    double x = numberAttr(node, "x", 0), y = numberAttr(node, "y", 0);
    double w = numberAttr(node, "width", 0), h = numberAttr(node, "height", 0);
    double rx = numberAttr(node, "rx", -1), ry = numberAttr(node, "ry", -1);
    if (!(w > 0) || !(h > 0))
        return {};
    if (rx < 0)
        rx = ry >= 0 ? ry : 0;
    if (ry < 0)
        ry = rx;
    rx = std::min(rx, w / 2);
    ry = std::min(ry, h / 2);
    PathWriter p;
    if (rx <= 0 || ry <= 0) {
        p.command('M').number(x).number(y).command('h').number(w).command('v').number(h).command('h').number(-w);
    } else {
        double iw = w - 2 * rx, ih = h - 2 * ry;
        auto arc = [&](double dx, double dy) {
            p.command('a').number(rx).number(ry).flags(" 0 0 1 ").number(dx).number(dy);
        };
        p.command('M').number(x + rx).number(y).command('h').number(iw);
        arc(rx, ry);
        p.command('v').number(ih);
        arc(-rx, ry);
        p.command('h').number(-iw);
        arc(-rx, -ry);
        p.command('v').number(-ih);
        arc(rx, -ry);
    }
    p.command('z');
    return p.take();
}

std::string ellipsePath(double cx, double cy, double rx, double ry)
{
    if (!(rx > 0) || !(ry > 0))
        return {};
    PathWriter p;
    p.command('M').number(cx - rx).number(cy);
    p.command('a').number(rx).number(ry).flags(" 0 1 0 ").number(2 * rx).number(0);
    p.command('a').number(rx).number(ry).flags(" 0 1 0 ").number(-2 * rx).number(0);
    p.command('z');
    return p.take();
}

std::string polygonPath(const pugi::xml_node& node, bool close)
{
    std::vector<double> v = parseNumberList(node.attribute("points").as_string());
    if (v.size() < 4)
        return {};
    PathWriter p;
    p.command('M').number(v[0]).number(v[1]);
    for (size_t i = 2; i + 1 < v.size(); i += 2)
        p.command('L').number(v[i]).number(v[i + 1]);
    if (close)
        p.command('z');
    return p.take();
}

constexpr double kDegrees = 3.141592653589793 / 180;

Affine transformFunction(std::string_view name, const std::vector<double>& v)
{
    const size_t k = v.size();
    if (name == "translate" && k >= 1)
        return newAffine(1, 0, 0, 1, v[0], k >= 2 ? v[1] : 0);
    if (name == "scale" && k >= 1)
        return newAffine(v[0], 0, 0, k >= 2 ? v[1] : v[0], 0, 0);
    if (name == "rotate" && k >= 1) {
        double a = v[0] * kDegrees;
        Affine r = newAffine(std::cos(a), std::sin(a), -std::sin(a), std::cos(a), 0, 0);
        if (k < 3)
            return r;
        return mulAffine(mulAffine(newAffine(1, 0, 0, 1, v[1], v[2]), r), newAffine(1, 0, 0, 1, -v[1], -v[2]));
    }
    if (name == "skewX" && k >= 1)
        return newAffine(1, 0, std::tan(v[0] * kDegrees), 1, 0, 0);
    if (name == "skewY" && k >= 1)
        return newAffine(1, std::tan(v[0] * kDegrees), 0, 1, 0, 0);
    if (name == "matrix" && k >= 6)
        return newAffine(v[0], v[1], v[2], v[3], v[4], v[5]);
    return identityAffine();
}

// Counts elements and depth without recursion, so that a deep nest is
// refused before the recursive renderer sees it.
bool withinBounds(const pugi::xml_node& root)
{
    int32_t elements = 0;
    int32_t depth = 1;
    pugi::xml_node node = root;
    while (node) {
        if (node.type() == pugi::node_element && (++elements > kSvgMaxElements || depth > kSvgMaxDepth))
            return false;
        if (pugi::xml_node child = node.first_child()) {
            node = child;
            ++depth;
            continue;
        }
        while (node && node != root && !node.next_sibling()) {
            node = node.parent();
            --depth;
        }
        if (!node || node == root)
            break;
        node = node.next_sibling();
    }
    return true;
}

void rasterizeShape(const std::string& path, const Affine& transform, const pugi::xml_node& node, SvgCanvas& canvas)
{
    if (++canvas.shapes > kSvgMaxShapes)
        throw SvgTooComplex("SVG has too many shapes");
    // Each shape also clears, converts and merges the whole mask once, about
    // a step per four pixels, and its path data is read twice (checked, then
    // drawn), whatever it draws: a long run of moves draws nothing.
    canvas.workBudget -= int64_t(canvas.side) * canvas.side / 4 + kSvgPathByteWork * int64_t(path.size());
    if (canvas.workBudget < 0)
        throw SvgTooComplex("SVG paths are too long");
    PathCheck check = checkPathData(path, transform, canvas.rasterizer, canvas.workBudget);
    if (check == PathCheck::tooMuchWork || canvas.workBudget < 0)
        throw SvgTooComplex("SVG paths are too long");
    if (check == PathCheck::notFinite)
        return;
    Rasterizer& r = canvas.rasterizer;
    addPathData(r, path, transform);
    std::vector<uint8_t> alpha =
        styleProperty(node, "fill-rule") == "evenodd" ? coverageToAlpha(r) : coverageToAlphaGamma(r, 1.0);
    for (size_t i = 0; i < alpha.size(); ++i)
        canvas.alpha[i] = std::max(canvas.alpha[i], alpha[i]);
    canvas.drawn = true;
    clearRasterizer(r);
}

}  // namespace

std::vector<double> parseNumberList(std::string_view text)
{
    std::vector<double> numbers;
    size_t i = 0;
    while (i < text.size()) {
        if (startsNumber(text[i])) {
            if (auto number = scanNumber(text, i)) {
                numbers.push_back(number->value);
                i += number->length;
                continue;
            }
        }
        ++i;
    }
    return numbers;
}

double numberAttr(const pugi::xml_node& node, const char* name, double fallback)
{
    std::string_view text = strip(node.attribute(name).as_string());
    if (text.empty() || !startsNumber(text.front()))
        return fallback;
    auto number = scanNumber(text, 0);
    return number ? number->value : fallback;
}

std::string styleProperty(const pugi::xml_node& node, std::string_view name)
{
    std::string attributeName(name);
    std::string_view value = strip(node.attribute(attributeName.c_str()).as_string());
    if (!value.empty())
        return std::string(value);
    std::string_view style = node.attribute("style").as_string();
    while (true) {
        size_t end = style.find(';');
        std::string_view piece = style.substr(0, end);
        size_t colon = piece.find(':');
        if (colon != std::string_view::npos && strip(piece.substr(0, colon)) == name)
            return std::string(strip(piece.substr(colon + 1)));
        if (end == std::string_view::npos)
            break;
        style.remove_prefix(end + 1);
    }
    return {};
}

Affine parseTransformList(std::string_view text)
{
    Affine result = identityAffine();
    size_t p = 0;
    while (p < text.size()) {
        size_t open = text.find('(', p);
        if (open == std::string_view::npos)
            break;
        size_t close = text.find(')', open + 1);
        if (close == std::string_view::npos)
            break;
        std::string_view name = strip(text.substr(p, open - p), true);
        std::vector<double> args = parseNumberList(text.substr(open + 1, close - open - 1));
        result = mulAffine(result, transformFunction(name, args));
        p = close + 1;
    }
    return result;
}

std::string shapeToPath(const pugi::xml_node& node)
{
    std::string_view tag = node.name();
    if (tag == "path")
        return node.attribute("d").as_string();
    if (tag == "rect")
        return rectPath(node);
    if (tag == "circle") {
        double r = numberAttr(node, "r", 0);
        return ellipsePath(numberAttr(node, "cx", 0), numberAttr(node, "cy", 0), r, r);
    }
    if (tag == "ellipse")
        return ellipsePath(
            numberAttr(node, "cx", 0), numberAttr(node, "cy", 0), numberAttr(node, "rx", 0), numberAttr(node, "ry", 0));
    if (tag == "polyline")
        return polygonPath(node, false);
    if (tag == "polygon")
        return polygonPath(node, true);
    return {};
}

SvgCanvas newSvgCanvas(int32_t side)
{
    SvgCanvas canvas;
    canvas.side = side;
    canvas.rasterizer = newRasterizer(side, side);
    canvas.alpha.assign(static_cast<size_t>(side) * static_cast<size_t>(side), 0);
    canvas.workBudget = kSvgMaxRasterWork;
    return canvas;
}

void renderSvgElement(
    const pugi::xml_node& node, const Affine& parent, const std::string& parentFill, SvgCanvas& canvas)
{
    if (node.type() != pugi::node_element || isSkipped(node.name()))
        return;
    std::string_view transformText = node.attribute("transform").as_string();
    Affine m = transformText.empty() ? parent : mulAffine(parent, parseTransformList(transformText));
    std::string fill = styleProperty(node, "fill");
    if (fill.empty())
        fill = parentFill;
    if (styleProperty(node, "display") == "none" || styleProperty(node, "visibility") == "hidden")
        return;
    std::string path = shapeToPath(node);
    if (!path.empty() && fill != "none")
        rasterizeShape(path, m, node, canvas);
    for (pugi::xml_node child : node.children())
        renderSvgElement(child, m, fill, canvas);
}

std::vector<uint8_t> renderSvgMask(std::string_view text, int32_t side)
{
    if (side <= 0 || text.size() > kSvgMaxBytes)
        return {};
    pugi::xml_document doc;
    // No DOCTYPE node and no entities beyond XML's own five: a document
    // cannot grow by expansion.
    if (!doc.load_buffer(text.data(), text.size(), pugi::parse_default & ~pugi::parse_doctype))
        return {};
    pugi::xml_node root = doc.document_element();
    if (!root || std::string_view(root.name()) != "svg" || !withinBounds(root))
        return {};
    double width = numberAttr(root, "width", 0);
    double height = numberAttr(root, "height", 0);
    double minX = 0, minY = 0, vbW = width, vbH = height;
    std::vector<double> box = parseNumberList(root.attribute("viewBox").as_string());
    if (box.size() == 4) {
        minX = box[0];
        minY = box[1];
        vbW = box[2];
        vbH = box[3];
    }
    if (!(vbW > 0) || !(vbH > 0))
        return {};
    const double n = side;
    const double scale = n / std::max(vbW, vbH);
    Affine rootTransform =
        newAffine(scale, 0, 0, scale, (n - vbW * scale) / 2 - minX * scale, (n - vbH * scale) / 2 - minY * scale);
    SvgCanvas canvas = newSvgCanvas(side);
    try {
        renderSvgElement(root, rootTransform, std::string(), canvas);
    } catch (const SvgTooComplex&) {
        return {};
    }
    if (!canvas.drawn)
        return {};
    return std::move(canvas.alpha);
}

}  // namespace qm
