#pragma once
// The codec's row and chunk steps, open to the tests that check each filter
// and build damaged files chunk by chunk. Callers use png.h.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace qm {

// Reverses one row's filter in place; `previous` is the row above, already
// unfiltered (zeros above the first row). `unit` is the byte distance to the
// pixel on the left.
void unfilterRow(int filterType, uint8_t* row, const uint8_t* previous, size_t length, int unit);

// Appends a chunk: length, type, data and the CRC-32 of type and data.
void writeChunk(std::vector<uint8_t>& output, std::string_view type, std::span<const uint8_t> data);

}  // namespace qm
