#pragma once
// The typefaces compiled into the program (WOFF files, read with
// parseTrueType), so that text never depends on the system's fonts.
#include <cstdint>
#include <span>

namespace qm {

enum class BuiltinFont {
    sansRegular,
    sansMedium,
    sansSemiBold,
    sansBold,
    monoRegular,
    monoSemiBold,
};

// The font file's bytes.
std::span<const uint8_t> builtinFontFile(BuiltinFont font);

}  // namespace qm
