#pragma once
// Steps of the SVG renderer, open to the tests.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "app/path_icons.h"
#include "core/errors.h"
#include "platform/render/rasterizer.h"

namespace qm {

// A document past one of the bounds in svg.h.
struct SvgTooComplex : ValueError {
    using ValueError::ValueError;
};

// The render target of one renderSvgMask call.
struct SvgCanvas {
    int32_t side = 0;
    std::vector<uint8_t> alpha;  // side * side, rows from the top
    bool drawn = false;          // some shape reached the rasteriser
    int32_t shapes = 0;
    int64_t workBudget = 0;  // rasteriser work left (see lineWork)
    Rasterizer rasterizer;   // reused shape by shape, cleared between
};

SvgCanvas newSvgCanvas(int32_t side);

// Renders the node and its descendants with the parent's transform and fill.
// Raises SvgTooComplex when the shape or work bounds are passed.
void renderSvgElement(const pugi::xml_node& node, const Affine& transform, const std::string& fill, SvgCanvas& canvas);

// Path data for path, rect, circle, ellipse, polyline and polygon; empty for
// any other element and for a shape with a number that is not finite.
std::string shapeToPath(const pugi::xml_node& node);

// The presentation attribute, else the first declaration in "style".
std::string styleProperty(const pugi::xml_node& node, std::string_view name);

Affine parseTransformList(std::string_view text);
std::vector<double> parseNumberList(std::string_view text);
double numberAttr(const pugi::xml_node& node, const char* name, double fallback);

}  // namespace qm
