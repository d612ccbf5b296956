#pragma once
// SHA-256 and SHA-512 digests of a whole buffer in one call. There is no
// incremental interface: every caller hashes complete buffers.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The digest of the first `length` bytes of `bytes` (32 bytes). A length below
// zero or beyond the buffer raises IndexError before anything is hashed.
std::vector<std::uint8_t> sha256(std::span<const std::uint8_t> bytes, std::int64_t length);
std::vector<std::uint8_t> sha256(std::span<const std::uint8_t> bytes);

// sha256 spelt out in hex, lower case, two digits a byte.
std::string sha256Hex(std::span<const std::uint8_t> bytes);
std::string sha256Hex(std::string_view bytes);

// The digest of the first `length` bytes of `bytes` (64 bytes); same length
// rules as sha256.
std::vector<std::uint8_t> sha512(std::span<const std::uint8_t> bytes, std::int64_t length);
std::vector<std::uint8_t> sha512(std::span<const std::uint8_t> bytes);

}  // namespace qm
