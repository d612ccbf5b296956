#pragma once
// The two SHA-256 block functions, open to the tests and tools that check
// they agree: the portable one and the one on the x86 SHA extensions, which
// sha256 picks whenever the processor has them. Callers use sha2.h.
#include <cstdint>
#include <span>
#include <vector>

namespace qm {

enum class Sha256Engine : std::uint8_t { portable, shaExtensions };

// The engine sha256 uses on this processor.
Sha256Engine sha256Engine();
bool sha256EngineAvailable(Sha256Engine engine);
// The digest of all of `bytes` by that engine; one the processor cannot run
// raises ValueError.
std::vector<std::uint8_t> sha256Using(Sha256Engine engine, std::span<const std::uint8_t> bytes);

}  // namespace qm
