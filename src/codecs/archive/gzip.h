#pragma once
// Decompressing the first member of a gzip file.
#include <cstdint>
#include <span>
#include <vector>

namespace qm {

// The header's optional fields are skipped unchecked, and so is the trailer.
// Output beyond 1 GiB is refused rather than allocated.
std::vector<uint8_t> gunzip(std::span<const uint8_t> bytes);

}  // namespace qm
