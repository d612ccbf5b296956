#pragma once
// Building a zip archive in memory: members deflated when that makes them
// smaller, stored otherwise, all with one timestamp.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codecs/compress/progress.h"

namespace qm {

struct ZipEntry {
    std::string name;  // written as its bytes stand
    std::vector<uint8_t> data;
};

struct DosDateTime {
    uint16_t time;
    uint16_t date;
};

// The local clock now, in the two 16-bit fields of zip records.
DosDateTime dosDateTime();

// Entry i is compressed at levels[i] when given, else at defaultLevel; a
// level below 1 stores. Raises ValueError when a name is longer than 65,535
// bytes, there are more than 65,535 entries or the archive would reach 4 GiB,
// which the format's fields cannot describe.
std::vector<uint8_t> zipFiles(std::span<const ZipEntry> entries, int32_t defaultLevel = 6,
    std::span<const int32_t> levels = {}, const ProgressCallback& progress = {});

}  // namespace qm
