#pragma once
// WOFF 1.0: a container of zlib-compressed sfnt tables.
#include <cstdint>
#include <vector>

#include "codecs/font/font_bytes.h"

namespace qm {

// The sfnt the WOFF file wraps: its tables in directory order, each 4-aligned,
// with the original checksums. Raises ValueError.
std::vector<uint8_t> woffToSfnt(FontData bytes);

}  // namespace qm
