#pragma once
// The CRC-32 of zip, gzip and PNG (reflected, polynomial 0xEDB88320).
#include <cstdint>
#include <optional>
#include <span>

namespace qm {

// CRC-32 of `count` bytes of `data` from `start`; without a count it runs to
// the end. A range outside the data raises ValueError.
uint32_t crc32(std::span<const uint8_t> data, int64_t start = 0, std::optional<int64_t> count = std::nullopt);

// Continues a CRC-32: crc32Update(crc32(a), b) is the CRC-32 of a followed by b,
// and crc32Update(0, b) is crc32(b).
uint32_t crc32Update(uint32_t crc, std::span<const uint8_t> data);

}  // namespace qm
