#pragma once
// Little-endian fields and record signatures shared by the zip reader and
// writer.
#include <climits>
#include <cstdint>
#include <vector>

#include "codecs/compress/progress.h"

namespace qm::zipformat {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr size_t kLocalSize = 30;
constexpr size_t kCentralSize = 46;
constexpr size_t kEndSize = 22;

inline uint16_t le16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

inline uint32_t le32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

inline void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
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
