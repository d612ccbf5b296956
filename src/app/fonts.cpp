#include "app/fonts.h"

#include "codecs/font/builtin_fonts.h"

namespace qm {

namespace {

FontRef parseBuiltin(BuiltinFont face) { return parseTrueType(FontData(builtinFontFile(face))); }

}  // namespace

FontSet loadBuiltinFonts()
{
    FontSet set;
    set.sansRegular = parseBuiltin(BuiltinFont::sansRegular);
    set.sansSemiBold = parseBuiltin(BuiltinFont::sansSemiBold);
    set.sans400 = newGlyphAtlas(set.sansRegular, kBuiltinAtlasSide);
    set.sans500 = newGlyphAtlas(parseBuiltin(BuiltinFont::sansMedium), kBuiltinAtlasSide);
    set.sans600 = newGlyphAtlas(set.sansSemiBold, kBuiltinAtlasSide);
    set.sans700 = newGlyphAtlas(parseBuiltin(BuiltinFont::sansBold), kBuiltinAtlasSide);
    set.monoRegular = parseBuiltin(BuiltinFont::monoRegular);
    set.mono0 = newGlyphAtlas(set.monoRegular, kBuiltinAtlasSide);
    set.mono1 = newGlyphAtlas(parseBuiltin(BuiltinFont::monoSemiBold), kBuiltinAtlasSide);
    return set;
}

}  // namespace qm
