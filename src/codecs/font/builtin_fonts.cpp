#include "codecs/font/builtin_fonts.h"

// The files are fetched by scripts/setup.d/fonts.sh into third_party/fonts/;
// the build names them as this object's inputs, so it fails without them.
#define QM_EMBED_FONT(sym, file)                                                                                       \
    asm(".pushsection .rodata\n"                                                                                       \
        ".global " #sym "\n"                                                                                           \
        ".type " #sym ", @object\n"                                                                                    \
        ".balign 16\n" #sym ":\n"                                                                                      \
        ".incbin \"" QM_SOURCE_DIR "/third_party/fonts/" file "\"\n"                                                   \
        ".global " #sym "_end\n" #sym "_end:\n"                                                                        \
        ".popsection\n");                                                                                              \
    extern "C" const uint8_t sym[];                                                                                    \
    extern "C" const uint8_t sym##_end[];

QM_EMBED_FONT(qm_font_sans_regular, "IBMPlexSans-Regular.woff")
QM_EMBED_FONT(qm_font_sans_medium, "IBMPlexSans-Medium.woff")
QM_EMBED_FONT(qm_font_sans_semibold, "IBMPlexSans-SemiBold.woff")
QM_EMBED_FONT(qm_font_sans_bold, "IBMPlexSans-Bold.woff")
QM_EMBED_FONT(qm_font_mono_regular, "IBMPlexMono-Regular.woff")
QM_EMBED_FONT(qm_font_mono_semibold, "IBMPlexMono-SemiBold.woff")

namespace qm {

std::span<const uint8_t> builtinFontFile(BuiltinFont font)
{
    auto span = [](const uint8_t* begin, const uint8_t* end) {
        return std::span<const uint8_t>(begin, static_cast<size_t>(end - begin));
    };
    switch (font) {
    case BuiltinFont::sansRegular:
        return span(qm_font_sans_regular, qm_font_sans_regular_end);
    case BuiltinFont::sansMedium:
        return span(qm_font_sans_medium, qm_font_sans_medium_end);
    case BuiltinFont::sansSemiBold:
        return span(qm_font_sans_semibold, qm_font_sans_semibold_end);
    case BuiltinFont::sansBold:
        return span(qm_font_sans_bold, qm_font_sans_bold_end);
    case BuiltinFont::monoRegular:
        return span(qm_font_mono_regular, qm_font_mono_regular_end);
    case BuiltinFont::monoSemiBold:
        return span(qm_font_mono_semibold, qm_font_mono_semibold_end);
    }
    return {};
}

}  // namespace qm
