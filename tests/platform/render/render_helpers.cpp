#include "render_helpers.h"

#include "codecs/font/builtin_fonts.h"
#include "core/files.h"

#include <gtest/gtest.h>

namespace qm::testing {

FontRef dejaVuSans()
{
    static std::string bytes = readFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    return parseTrueType(FontData(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

FontRef plexSans() { return parseTrueType(builtinFontFile(BuiltinFont::sansRegular)); }

QuadShape quadAt(const Renderer& r, size_t first)
{
    const Vertex& a = r.vertices.at(first);
    const Vertex& c = r.vertices.at(first + 2);
    return {a.pos[0], a.pos[1], c.pos[0], c.pos[1], {a.p[0], a.p[1], a.p[2], a.p[3]}, a.q[0], a.q[1], int(a.q[2])};
}

}  // namespace qm::testing
