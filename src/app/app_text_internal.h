#pragma once
// The elision search on its own, over any measure, so that tests can count
// the measurements it makes.
#include <functional>
#include <string>
#include <string_view>

namespace qm {

std::string elideWith(std::string_view text, double maxWidth, const std::function<double(std::string_view)>& measure);

}  // namespace qm
