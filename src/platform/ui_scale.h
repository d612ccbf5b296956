#pragma once
// The UI scale forced by QUENMRK_SCALE. Window sizes are multiplied by it, so
// only a modest factor is taken: a huge one would overflow the sizes, and a
// value with trailing text ("2x") is more likely a typo than a wish.
#include <optional>
#include <string_view>

namespace qm {

inline constexpr double kMinUiScale = 0.5;
inline constexpr double kMaxUiScale = 8;

// The value when the whole text is a decimal number within 0.5 to 8
// (no blanks, no sign "+", no trailing letters); otherwise nothing.
std::optional<double> parseUiScale(std::string_view text);

}  // namespace qm
