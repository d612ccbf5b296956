#pragma once
// The GPOS lookups' steps, open to the tests that check each table format on
// hand-made bytes. Callers use kerning.h.
#include <cstdint>
#include <optional>

namespace qm {

struct Font;

// The coverage index of a glyph; nothing when the table does not cover it.
std::optional<int32_t> coverageIndex(const Font& font, int64_t coverage, int32_t glyph);

// The class of a glyph, 0 when the ClassDef does not list it.
int32_t classOf(const Font& font, int64_t classDef, int32_t glyph);

// Bytes of a ValueRecord of this format.
int32_t valueRecordSize(uint16_t valueFormat);

// The XAdvance of a ValueRecord, 0 when the format has none.
double valueXAdvance(const Font& font, int64_t record, uint16_t valueFormat);

// The XAdvance of the first glyph of a PairPos subtable for the pair; nothing
// when the subtable does not hold the pair.
std::optional<double> pairAdjustment(const Font& font, int64_t subtable, int32_t left, int32_t right);

}  // namespace qm
