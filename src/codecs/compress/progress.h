#pragma once
// Long codec calls (inflate, deflate, PNG, zip) report how far they are so a
// caller can drive a progress bar. An empty callback means nobody listens and
// costs nothing.
#include <cstdint>
#include <functional>

namespace qm {

using ProgressCallback = std::function<void(int32_t done, int32_t total)>;

}  // namespace qm
