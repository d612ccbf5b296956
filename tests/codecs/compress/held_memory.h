#pragma once
// Measures the most memory a call holds at once through operator new, for
// tests of what a hostile input may cost. The program's operator new and
// delete are replaced (held_memory_helpers.cpp) to keep the count.
#include <cstdint>
#include <functional>

namespace qm::test {

// The highest number of bytes allocated during `run` and not yet freed.
int64_t peakHeldBytes(const std::function<void()>& run);

}  // namespace qm::test
