#pragma once
// Builds small sfnt fonts in memory so tests can show one fault at a time.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace qm::test {

struct Bytes : std::vector<uint8_t> {
    using std::vector<uint8_t>::vector;
    Bytes& u8(int v);
    Bytes& u16(int v);
    Bytes& u32(uint32_t v);
    Bytes& tag(const char* t);
    Bytes& append(const std::vector<uint8_t>& b);
    Bytes& pad4();
};

struct Table {
    std::string tag;
    Bytes bytes;
};

// An sfnt with the tables in the order given (offsets computed, 4-aligned).
Bytes makeSfnt(const std::vector<Table>& tables, uint32_t version = 0x00010000);
// A collection of the given faces, each a list of tables.
Bytes makeCollection(const std::vector<std::vector<Table>>& faces);

Bytes headTable(int unitsPerEm = 1000, int indexToLocFormat = 1);
Bytes hheaTable(int ascent, int descent, int lineGap, int numberOfHMetrics);
Bytes maxpTable(int numGlyphs);
Bytes hmtxTable(const std::vector<std::pair<int, int>>& metrics, const std::vector<int>& extraLsbs = {});
Bytes os2Table(
    int length, int fsSelection, int typoAscender, int typoDescender, int typoLineGap, int winAscent, int winDescent);

struct Pt {
    int x, y;
    bool on = true;
};
Bytes simpleGlyph(const std::vector<std::vector<Pt>>& contours);
// A raw simple glyph: end points, then flags and coordinates as given.
Bytes rawSimpleGlyph(const std::vector<int>& endPts, const Bytes& body);
struct Component {
    int flags;  // MORE_COMPONENTS is set for all but the last
    int glyph;
    int arg1, arg2;
    std::vector<int> transform;  // F2Dot14 words
};
Bytes compositeGlyph(const std::vector<Component>& components);
// glyf and long loca tables for the glyphs.
std::pair<Bytes, Bytes> glyfLoca(const std::vector<Bytes>& glyphs);

// A TrueType font with these glyphs and optional extra tables (cmap, OS/2...).
Bytes ttfFont(const std::vector<Bytes>& glyphs, const std::vector<Table>& extra = {}, int unitsPerEm = 1000);

}  // namespace qm::test
