#pragma once
// The 64-bit fingerprint that widget ids are made from. It must stay
// bit-identical across builds and machines: ids name widgets in automation
// scripts and tests, so this is a fixed function of the bytes alone.
#include <cstdint>
#include <string_view>

namespace qm {

uint64_t fingerprint64(std::string_view bytes);

}  // namespace qm
