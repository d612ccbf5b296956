#pragma once
// Picking one regular file out of a ustar archive.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace qm {

// Bytes of the earliest plain file in the archive whose path (prefix, "/",
// name) has `suffix` as its tail. Links, folders and other entries are
// stepped over using their recorded size.
std::vector<uint8_t> tarFile(std::span<const uint8_t> bytes, std::string_view suffix);

}  // namespace qm
