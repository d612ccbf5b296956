#pragma once
// Steps of the path-data reader that the SVG renderer and the tests share.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "app/path_icons.h"

namespace qm {

struct ScannedNumber {
    double value = 0;
    size_t length = 0;  // bytes read, at least 1
};

// Reads a decimal number at pos: optional sign, digits with at most one '.',
// an exponent only when digits follow it. Nothing when no digit is there
// (a lone sign or dot). A value too large for a double reads as infinity.
std::optional<ScannedNumber> scanNumber(std::string_view text, size_t pos);

enum class PathCheck {
    ok,
    notFinite,    // some mapped point is infinite or not a number
    tooMuchWork,  // drawing it into the target would pass the budget
};

// Walks the path without drawing: checks that every mapped point is finite
// and takes the work of drawing it into `target` (lineWork, quadraticWork,
// cubicWork) from the budget.
PathCheck checkPathData(std::string_view text, const Affine& transform, const Rasterizer& target, int64_t& workBudget);

// Adds the path to the rasteriser without the finiteness check.
void addPathData(Rasterizer& rasterizer, std::string_view text, const Affine& transform);

// The table the build generates from src/app/builtin_icons.txt.
extern const BuiltinIconPath kBuiltinIconTable[];
extern const size_t kBuiltinIconCount;

}  // namespace qm
