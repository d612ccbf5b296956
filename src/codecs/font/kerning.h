#pragma once
// Pair kerning: the kern table's format 0 pairs, and for CFF-outline fonts
// without them the pair adjustments of the GPOS "kern" feature, evaluated per
// pair on demand and cached in the Font.
#include <cstdint>
#include <utility>

namespace qm {

struct Font;

// Fills kernPairs from the horizontal format 0 subtables of a version 0 kern
// table; a later pair for the same glyphs wins.
void readKernTable(Font& font);

// Collects the PairPos subtables of the lookups of every "kern" feature into
// gposPairSubtables and gposLookupEnds. A damaged GPOS leaves both empty.
void readGposKerning(Font& font);

// The horizontal adjustment between two glyphs in font units, negative to
// move them closer. Never raises: a damaged GPOS subtable counts as one that
// does not hold the pair.
double kerning(Font& font, int32_t left, int32_t right);

// The coverage index of a glyph, or -1.
int32_t coverageIndex(const Font& font, int64_t coverage, int32_t glyph);

// The class of a glyph, 0 when the ClassDef does not list it.
int32_t classOf(const Font& font, int64_t classDef, int32_t glyph);

// Bytes of a ValueRecord of this format.
int32_t valueRecordSize(uint16_t valueFormat);

// The XAdvance of a ValueRecord, 0 when the format has none.
double valueXAdvance(const Font& font, int64_t record, uint16_t valueFormat);

// (found, XAdvance of the first glyph) of a PairPos subtable for the pair.
std::pair<bool, double> pairAdjustment(const Font& font, int64_t subtable, int32_t left, int32_t right);

}  // namespace qm
