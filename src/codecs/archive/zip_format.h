#pragma once
// Record signatures, sizes and little-endian field appenders shared by the zip reader and
// writer.
#include <climits>
#include <cstdint>
#include <vector>

#include "codecs/compress/progress.h"
#include "core/bytes.h"

namespace qm::zipformat {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr size_t kLocalSize = 30;
constexpr size_t kCentralSize = 46;
constexpr size_t kEndSize = 22;

inline void putLe16(std::vector<uint8_t>& out, uint32_t v)
{
    out.resize(out.size() + 2);
    storeLe16(out.data() + out.size() - 2, uint16_t(v));
}

inline void putLe32(std::vector<uint8_t>& out, uint32_t v)
{
    out.resize(out.size() + 4);
    storeLe32(out.data() + out.size() - 4, v);
}

// Progress counts bytes of member data; archives whose members add up to more
// than int32 can count are reported on a scaled-down axis.
inline void reportProgress(const ProgressCallback& progress, int64_t done, int64_t total)
{
    if (total <= INT32_MAX) {
        progress(int32_t(done), int32_t(total));
        return;
    }
    progress(int32_t(double(done) / double(total) * INT32_MAX), INT32_MAX);
}

}  // namespace qm::zipformat
