#pragma once
// Reading zip archives held in memory: every member, stored or deflated.
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "codecs/compress/progress.h"
#include "core/errors.h"

namespace qm {

// Member name (bytes as stored; directories end in "/") to contents.
using ZipContents = std::unordered_map<std::string, std::vector<uint8_t>>;

// What all members of one archive may unpack to together, unless the caller
// says otherwise.
inline constexpr int64_t kDefaultZipLimit = int64_t{1} << 30;

// The members together would unpack to more than the caller allows.
struct ZipLimitError : ValueError {
    using ValueError::ValueError;
};

// Unpacks every member, checking each one's length and CRC-32. One bad member
// fails the whole call. Progress reports bytes unpacked out of the total. The
// members' sizes together may not pass totalLimit (ZipLimitError), whatever
// the archive's own size: directory records may share one member's data.
ZipContents unzipBytes(
    std::span<const uint8_t> bytes, const ProgressCallback& progress = {}, int64_t totalLimit = kDefaultZipLimit);

// unzipBytes of the file at path.
ZipContents unzipFile(
    const std::string& path, const ProgressCallback& progress = {}, int64_t totalLimit = kDefaultZipLimit);

}  // namespace qm
