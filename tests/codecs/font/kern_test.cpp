#include "codecs/font/kerning.h"
#include "codecs/font/kerning_internal.h"

#include <gtest/gtest.h>

#include <map>

#include "codecs/font/font.h"
#include "codecs/font/font_test_helpers.h"

using namespace qm;
using qm::test::Bytes;

namespace {

constexpr int A = 1, V = 2, T = 3, o = 4;

struct KernPair {
    int left, right, value;
};

Bytes kernSubtable(int coverage, const std::vector<KernPair>& pairs)
{
    Bytes b;
    b.u16(0).u16(14 + 6 * int(pairs.size())).u16(coverage);
    b.u16(int(pairs.size())).u16(0).u16(0).u16(0);
    for (const auto& p : pairs)
        b.u16(p.left).u16(p.right).u16(p.value);
    return b;
}

Bytes kernTable(const std::vector<Bytes>& subtables, int version = 0)
{
    Bytes b;
    b.u16(version).u16(int(subtables.size()));
    for (const auto& s : subtables)
        b.append(s);
    return b;
}

Bytes coverage(const std::vector<int>& glyphs)
{
    Bytes b;
    b.u16(1).u16(int(glyphs.size()));
    for (int g : glyphs)
        b.u16(g);
    return b;
}

// ClassDef format 2, one range per glyph.
Bytes classDef(const std::map<int, int>& classes)
{
    Bytes b;
    b.u16(2).u16(int(classes.size()));
    for (auto [g, c] : classes)
        b.u16(g).u16(g).u16(c);
    return b;
}

// PairPos format 1 with XAdvance-only first values and no second values.
Bytes pairPos1(const std::map<int, std::map<int, int>>& pairs)
{
    std::vector<int> firsts;
    for (auto& [g, _] : pairs)
        firsts.push_back(g);
    Bytes b, sets;
    const int header = 10 + 2 * int(pairs.size());
    b.u16(1).u16(0).u16(4).u16(0).u16(int(pairs.size()));
    for (auto& [g, seconds] : pairs) {
        b.u16(header + int(sets.size()));
        sets.u16(int(seconds.size()));
        for (auto [second, value] : seconds)
            sets.u16(second).u16(value);
    }
    b.append(sets);
    int cov = int(b.size());
    b.append(coverage(firsts));
    b[2] = uint8_t(cov >> 8), b[3] = uint8_t(cov);
    return b;
}

// PairPos format 2 with a value matrix of class1Count x class2Count
// XAdvances (valueFormat1 given, so XPlacement may come first).
Bytes pairPos2(const std::vector<int>& covered, const std::map<int, int>& classes1, const std::map<int, int>& classes2,
    const std::vector<std::vector<int>>& matrix, int valueFormat1 = 4)
{
    Bytes b;
    int class2Count = int(matrix[0].size());
    b.u16(2).u16(0).u16(valueFormat1).u16(0).u16(0).u16(0).u16(int(matrix.size())).u16(class2Count);
    for (const auto& row : matrix)
        for (int v : row) {
            if (valueFormat1 & 1)
                b.u16(999);
            b.u16(v);
        }
    auto patch = [&](size_t at, size_t value) { b[at] = uint8_t(value >> 8), b[at + 1] = uint8_t(value); };
    patch(2, b.size());
    b.append(coverage(covered));
    patch(8, b.size());
    b.append(classDef(classes1));
    patch(10, b.size());
    b.append(classDef(classes2));
    return b;
}

struct Lookup {
    int type;
    std::vector<Bytes> subtables;
};

// Extension subtable wrapping a subtable of the given type; the wrapped one
// follows it directly.
Bytes extension(int type, const Bytes& inner)
{
    Bytes b;
    b.u16(1).u16(type).u32(8);
    return b.append(inner);
}

Bytes gposTable(
    const std::vector<std::pair<std::string, std::vector<int>>>& features, const std::vector<Lookup>& lookups)
{
    Bytes features_;
    features_.u16(int(features.size()));
    Bytes tables;
    const int recordsEnd = 2 + 6 * int(features.size());
    for (const auto& [tag, indices] : features) {
        features_.tag(tag.c_str()).u16(recordsEnd + int(tables.size()));
        tables.u16(0).u16(int(indices.size()));
        for (int i : indices)
            tables.u16(i);
    }
    features_.append(tables);

    Bytes list;
    list.u16(int(lookups.size()));
    Bytes bodies;
    const int offsetsEnd = 2 + 2 * int(lookups.size());
    for (const auto& l : lookups) {
        list.u16(offsetsEnd + int(bodies.size()));
        Bytes lookup;
        lookup.u16(l.type).u16(0).u16(int(l.subtables.size()));
        int at = 6 + 2 * int(l.subtables.size());
        for (const auto& s : l.subtables) {
            lookup.u16(at);
            at += int(s.size());
        }
        for (const auto& s : l.subtables)
            lookup.append(s);
        bodies.append(lookup);
    }
    list.append(bodies);

    Bytes g;
    g.u32(0x00010000).u16(0).u16(10).u16(10 + int(features_.size()));
    return g.append(features_).append(list);
}

FontRef load(const std::vector<test::Table>& extra)
{
    std::vector<Bytes> glyphs(6, test::simpleGlyph({{{0, 0}, {10, 0}, {0, 10}}}));
    Bytes file = test::ttfFont(glyphs, extra);
    return parseTrueType(file);
}

// TrueType fonts never read GPOS by themselves; these tests collect it
// explicitly to check the evaluation.
FontRef loadGpos(const Bytes& gpos)
{
    FontRef font = load({{"GPOS", gpos}});
    readGposKerning(*font);
    return font;
}

}  // namespace

TEST(KernTable, ReadsHorizontalFormat0Subtables)
{
    FontRef font = load({{"kern",
        kernTable({kernSubtable(0x0001, {{A, V, -80}, {T, o, -40}}), kernSubtable(0x0002, {{A, T, -10}}),
            kernSubtable(0x0101, {{V, A, -20}}), kernSubtable(0x0005, {{T, o, -45}})})}});
    EXPECT_EQ(kerning(*font, A, V), -80);
    EXPECT_EQ(kerning(*font, T, o), -45);  // the later subtable wins
    EXPECT_EQ(kerning(*font, A, T), 0);    // vertical
    EXPECT_EQ(kerning(*font, V, A), 0);    // format 1
    EXPECT_EQ(kerning(*font, V, T), 0);
    EXPECT_EQ(font->kernPairs.size(), 2u);

    FontRef other = load({{"kern", kernTable({kernSubtable(1, {{A, V, -80}})}, 1)}});
    EXPECT_TRUE(other->kernPairs.empty());
}

TEST(KernTable, DamagedTablesAreBounded)
{
    // Pairs past the font data fail the load with an index error.
    Bytes kern = kernTable({kernSubtable(1, {{A, V, -80}})});
    kern[4 + 7] = 200;  // nPairs
    EXPECT_THROW(load({{"kern", kern}}), IndexError);
    // 65,535 subtables of length 0 are one subtable read once.
    kern = kernTable({kernSubtable(1, {{A, V, -80}})});
    kern[2] = 0xff, kern[3] = 0xff, kern[4 + 2] = 0, kern[4 + 3] = 0;
    FontRef font = load({{"kern", kern}});
    EXPECT_EQ(kerning(*font, A, V), -80);
}

TEST(GposKerning, SumsLookupsAndTakesTheFirstSubtable)
{
    Bytes av50 = pairPos1({{A, {{V, -50}, {o, -5}}}});
    Bytes av30 = pairPos1({{A, {{V, -30}, {T, -7}}}});
    FontRef font = loadGpos(gposTable(
        {{"kern", {0, 1}}, {"liga", {2}}, {"kern", {1, 0, 7}}}, {{2, {av50}}, {2, {av50, av30}}, {2, {av30}}}));
    EXPECT_EQ(font->gposLookupEnds, (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(kerning(*font, A, V), -100);  // both lookups, first subtable of the second
    EXPECT_EQ(kerning(*font, A, T), -7);    // the second subtable when the first lacks the pair
    EXPECT_EQ(kerning(*font, A, o), -10);
    EXPECT_EQ(kerning(*font, V, A), 0);
    EXPECT_EQ(font->kerningCache.size(), 4u);
    // TrueType-outline fonts take no kerning from GPOS by themselves.
    EXPECT_EQ(kerning(*load({{"GPOS", gposTable({{"kern", {0}}}, {{2, {av50}}})}}), A, V), 0);
    // The kern table is not consulted once GPOS pairs are in use.
    font->kernPairs[glyphPairKey(V, A)] = -99;
    EXPECT_EQ(kerning(*font, V, A), 0);
}

TEST(GposKerning, ClassPairs)
{
    // Class 1 {A}, class 2 {V, T}; class 0 holds everything else.
    Bytes classes = pairPos2({A, T}, {{A, 1}}, {{V, 1}, {T, 2}}, {{0, 0, -3}, {0, -60, -20}});
    Bytes fallback = pairPos1({{A, {{o, -11}, {V, -1}}}, {T, {{A, -12}}}});
    FontRef font = loadGpos(gposTable({{"kern", {0}}}, {{2, {classes, fallback}}}));
    EXPECT_EQ(kerning(*font, A, V), -60);
    EXPECT_EQ(kerning(*font, A, T), -20);
    // A covered glyph whose class pair has no adjustment is found with 0, so
    // the later subtable is not consulted.
    EXPECT_EQ(kerning(*font, A, o), 0);
    // T is covered and in class 0.
    EXPECT_EQ(kerning(*font, T, T), -3);
    EXPECT_EQ(kerning(*font, V, A), 0);

    // Classes at or past their counts are not found: the next subtable
    // answers instead of bytes past the matrix.
    Bytes outside = pairPos2({A, T}, {{A, 1}, {T, 5}}, {{V, 9}}, {{0}, {-60}});
    font = loadGpos(gposTable({{"kern", {0}}}, {{2, {outside, fallback}}}));
    EXPECT_EQ(kerning(*font, A, V), -1);
    EXPECT_EQ(kerning(*font, T, A), -12);
    EXPECT_EQ(pairAdjustment(*font, font->gposPairSubtables[0], A, o), -60);

    // An XPlacement before the XAdvance.
    Bytes placed = pairPos2({A}, {{A, 1}}, {{V, 1}}, {{0, 0}, {0, -33}}, 5);
    font = loadGpos(gposTable({{"kern", {0}}}, {{2, {placed}}}));
    EXPECT_EQ(kerning(*font, A, V), -33);
}

TEST(GposKerning, ExtensionsAndDamage)
{
    Bytes av = pairPos1({{A, {{V, -40}}}});
    FontRef font = loadGpos(gposTable({{"kern", {0}}}, {{9, {extension(2, av), extension(1, av)}}}));
    EXPECT_EQ(font->gposPairSubtables.size(), 1u);
    EXPECT_EQ(kerning(*font, A, V), -40);

    // A lookup offset past the font drops GPOS kerning altogether.
    Bytes gpos = gposTable({{"kern", {0}}}, {{2, {av}}});
    Bytes broken = gpos;
    size_t list = size_t(broken[8] << 8 | broken[9]);
    broken[list + 2] = 0xff;
    font = loadGpos(broken);
    EXPECT_TRUE(font->gposPairSubtables.empty());
    EXPECT_TRUE(font->gposLookupEnds.empty());
    // A table shorter than its header holds nothing.
    font = loadGpos(Bytes(gpos.begin(), gpos.begin() + 9));
    EXPECT_TRUE(font->gposLookupEnds.empty());
}

TEST(GposKerning, TablesAndRecords)
{
    Bytes table;
    table.append(coverage({3, 8, 20}));                                // at 0
    table.u16(2).u16(2).u16(5).u16(9).u16(10).u16(30).u16(31).u16(0);  // at 10: coverage format 2
    table.u16(1).u16(4).u16(3).u16(7).u16(8).u16(9);                   // at 26: ClassDef format 1
    table.u16(-5).u16(-6).u16(-7);                                     // at 38: a ValueRecord
    FontRef font = load({{"test", table}});
    int64_t at = findTable(*font, "test")->offset;
    struct Case {
        int64_t table;
        int glyph;
        int32_t expected;
    };
    const Case coverageCases[] = {{0, 3, 0}, {0, 20, 2}, {0, 9, -1}, {10, 5, 10}, {10, 9, 14}, {10, 30, 0},
        {10, 10, -1}, {10, 32, -1}, {38, 3, -1}};
    for (const Case& c : coverageCases)
        EXPECT_EQ(coverageIndex(*font, at + c.table, c.glyph).value_or(-1), c.expected) << c.table << " " << c.glyph;
    const Case classCases[] = {{26, 4, 7}, {26, 6, 9}, {26, 3, 0}, {26, 7, 0}, {38, 3, 0}};
    for (const Case& c : classCases)
        EXPECT_EQ(classOf(*font, at + c.table, c.glyph), c.expected) << c.glyph;
    EXPECT_EQ(valueRecordSize(0x0004), 2);
    EXPECT_EQ(valueRecordSize(0x00FF), 16);
    EXPECT_EQ(valueRecordSize(0xFF05), 4);
    EXPECT_EQ(valueXAdvance(*font, at + 38, 0x0004), -5);
    EXPECT_EQ(valueXAdvance(*font, at + 38, 0x0005), -6);
    EXPECT_EQ(valueXAdvance(*font, at + 38, 0x0007), -7);
    EXPECT_EQ(valueXAdvance(*font, at + 38, 0x0003), 0);
}
