#pragma once
// Picking one regular file out of a ustar archive.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace qm {

// The contents of the first regular member whose full name (prefix "/" name)
// ends with suffix. Other entry types are skipped by their size.
std::vector<uint8_t> tarFile(std::span<const uint8_t> bytes, std::string_view suffix);

}  // namespace qm
