#pragma once
// Reading zip archives held in memory: every member, stored or deflated.
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "codecs/compress/progress.h"

namespace qm {

// Member name (bytes as stored; directories end in "/") to contents.
using ZipContents = std::unordered_map<std::string, std::vector<uint8_t>>;

// Unpacks every member, checking each one's length and CRC-32. One bad member
// fails the whole call. Progress reports bytes unpacked out of the total.
ZipContents unzipBytes(std::span<const uint8_t> bytes, const ProgressCallback& progress = {});

// unzipBytes of the file at path.
ZipContents unzipFile(const std::string& path, const ProgressCallback& progress = {});

}  // namespace qm
