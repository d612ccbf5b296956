#pragma once
// The typefaces the interface draws with, read from the fonts compiled into
// the program, each behind a glyph atlas.
#include "codecs/font/font.h"
#include "platform/render/glyph_atlas.h"

namespace qm {

inline constexpr int32_t kBuiltinAtlasSide = 1024;

// Held in the application state; the UI context uses sans400 and sans600,
// the window's own title bar sansSemiBold.
struct FontSet {
    GlyphAtlasRef sans400;  // IBM Plex Sans Regular
    GlyphAtlasRef sans500;  // Medium
    GlyphAtlasRef sans600;  // SemiBold
    GlyphAtlasRef sans700;  // Bold
    GlyphAtlasRef mono0;    // IBM Plex Mono Regular
    GlyphAtlasRef mono1;    // Mono SemiBold
    FontRef sansRegular;
    FontRef sansSemiBold;
    FontRef monoRegular;
};

// Parses the six faces and makes their atlases; needs the GL context.
// Failures are not absorbed: without its fonts the program cannot start.
FontSet loadBuiltinFonts();

}  // namespace qm
