#include "platform/ui_scale.h"

#include <charconv>

namespace qm {

std::optional<double> parseUiScale(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    double v = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, v, std::chars_format::fixed);
    // NaN fails both comparisons.
    if (ec != std::errc() || ptr != end || !(v >= kMinUiScale && v <= kMaxUiScale))
        return std::nullopt;
    return v;
}

}  // namespace qm
