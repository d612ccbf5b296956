#pragma once
// Ed25519 signature verification (pure Ed25519: no context, no prehash).
// Only verification exists; nothing here handles a secret.
#include <cstdint>
#include <span>

namespace qm {

// True only for a 64-byte signature that a 32-byte public key made over the
// message. Every malformed input (wrong lengths, a non-canonical S or point
// encoding, a point off the curve) is answered false, never raised.
bool ed25519Verify(std::span<const std::uint8_t> message, std::span<const std::uint8_t> signature,
    std::span<const std::uint8_t> publicKey);

}  // namespace qm
