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

}  // namespace qm
