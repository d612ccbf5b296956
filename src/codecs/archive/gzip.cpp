#include "codecs/archive/gzip.h"

#include <algorithm>
#include <cstring>

#include "codecs/compress/inflate.h"
#include "core/bytes.h"
#include "core/errors.h"

namespace qm {

namespace {

// Large enough for any download the program unpacks, small enough that a
// hostile stream cannot exhaust memory.
constexpr int64_t kGunzipLimit = int64_t(1) << 30;

enum : uint8_t { kFlagHeaderCrc = 2, kFlagExtra = 4, kFlagName = 8, kFlagComment = 16 };

}  // namespace

std::vector<uint8_t> gunzip(std::span<const uint8_t> bytes)
{
    const size_t n = bytes.size();
    if (n <= 17 || bytes[0] != 0x1F || bytes[1] != 0x8B || bytes[2] != 0x08)
        throw ValueError("not a gzip file");
    const uint8_t flags = bytes[3];
    size_t pos = 10;
    if (flags & kFlagExtra)
        pos = 12 + size_t(loadLe16(&bytes[10]));
    for (uint8_t field : {kFlagName, kFlagComment}) {
        if (!(flags & field))
            continue;
        const uint8_t* zero = pos < n ? static_cast<const uint8_t*>(std::memchr(&bytes[pos], 0, n - pos)) : nullptr;
        if (!zero)
            throw ValueError("a damaged gzip file");
        pos = size_t(zero - bytes.data()) + 1;
    }
    if (flags & kFlagHeaderCrc)
        pos += 2;
    if (pos >= n)
        throw ValueError("a damaged gzip file");
    int32_t hint = int32_t(std::min<uint64_t>(uint64_t(n - pos) * 4, kGunzipLimit));
    return inflate(bytes.subspan(pos), false, {}, hint, kGunzipLimit);
}

}  // namespace qm
