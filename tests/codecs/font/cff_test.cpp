#include "codecs/font/cff.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "codecs/font/charstring.h"
#include "codecs/font/font.h"
#include "core/errors.h"

using namespace qm;

namespace {

// Charstring tokens: numbers and operators (escaped operators are 1200 + b).
struct Op {
    int code;
};
struct Tok {
    bool isOp;
    double value;
    Tok(double v)
        : isOp(false)
        , value(v)
    {
    }
    Tok(int v)
        : isOp(false)
        , value(v)
    {
    }
    Tok(Op op)
        : isOp(true)
        , value(op.code)
    {
    }
};
constexpr Op hstem{1}, vstem{3}, vmoveto{4}, rlineto{5}, hlineto{6}, rrcurveto{8}, callsubr{10}, ret{11}, endchar{14},
    vsindex{15}, blend{16}, hintmask{19}, rmoveto{21}, hmoveto{22}, rcurveline{24}, rlinecurve{25}, vvcurveto{26},
    hhcurveto{27}, callgsubr{29}, vhcurveto{30}, hvcurveto{31}, add{1210}, sub{1211}, divOp{1212}, mul{1224},
    sqrtOp{1226}, dupOp{1227}, exch{1228}, dropOp{1218}, neg{1214}, hflex{1234}, flex{1235}, hflex1{1236}, flex1{1237};

std::vector<uint8_t> cs(std::initializer_list<Tok> toks)
{
    std::vector<uint8_t> out;
    for (const Tok& t : toks) {
        int code = int(t.value);
        if (t.isOp) {
            if (code >= 1200)
                out.insert(out.end(), {12, uint8_t(code - 1200)});
            else
                out.push_back(uint8_t(code));
        } else if (t.value == code && code >= -107 && code <= 107) {
            out.push_back(uint8_t(code + 139));
        } else if (t.value == code && code >= -32768 && code <= 32767) {
            out.insert(out.end(), {28, uint8_t(code >> 8 & 255), uint8_t(code & 255)});
        } else {
            uint32_t fixed = uint32_t(int32_t(t.value * 65536));
            out.insert(
                out.end(), {255, uint8_t(fixed >> 24), uint8_t(fixed >> 16), uint8_t(fixed >> 8), uint8_t(fixed)});
        }
    }
    return out;
}

std::vector<uint8_t> concat(std::vector<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> out;
    for (auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A font made of bare charstrings: no table structure, just the ranges the
// interpreter needs.
struct CharstringFont {
    std::vector<std::vector<uint8_t>> glyphs;
    std::vector<std::vector<uint8_t>> globals;
    std::vector<std::vector<uint8_t>> locals;
    bool cff2 = false;
    std::vector<int32_t> regionCounts;

    CffFont build() const
    {
        CffFont font;
        auto data = std::make_shared<std::vector<uint8_t>>();
        auto add = [&](const std::vector<std::vector<uint8_t>>& list, std::vector<CffRange>& ranges) {
            for (const auto& bytes : list) {
                int32_t start = int32_t(data->size());
                data->insert(data->end(), bytes.begin(), bytes.end());
                ranges.push_back(CffRange{start, int32_t(data->size())});
            }
        };
        add(glyphs, font.charStrings);
        add(globals, font.globalSubrs);
        font.localSubrs.emplace_back();
        add(locals, font.localSubrs[0]);
        font.fdVsindex = {0};
        font.isCff2 = cff2;
        font.regionCounts = regionCounts;
        font.tableEnd = int32_t(data->size());
        font.data = std::move(data);
        return font;
    }
};

std::vector<CffContour> contoursOf(const CharstringFont& f, int32_t glyph = 0)
{
    return cffGlyphContours(f.build(), glyph);
}

std::string errorOf(const CharstringFont& f)
{
    CffFont font = f.build();
    PathBuilder b;
    try {
        runCharstring(font, b, font.charStrings[0], font.localSubrs[0], 0);
    } catch (const CffError& e) {
        return e.what();
    }
    return "";
}

// Contours written as "x,y x,y c:x,y ..." per contour, "|" between contours.
std::string describe(const std::vector<CffContour>& contours)
{
    std::string out;
    for (const auto& c : contours) {
        if (!out.empty())
            out += " | ";
        for (size_t i = 0; i < c.size(); ++i) {
            char buf[64];
            snprintf(buf, sizeof buf, "%s%s%g,%g", i ? " " : "", c[i].control ? "c:" : "", c[i].x, c[i].y);
            out += buf;
        }
    }
    return out;
}

// The CFF table of a font file, read through the font reader.
std::shared_ptr<CffFont> loadTable(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    FontRef font = parseTrueType(bytes);
    EXPECT_TRUE(font->cff) << path;
    return font->cff;
}

const std::string kCantarell = "/usr/share/fonts/opentype/cantarell/Cantarell-Regular.otf";
const std::string kCantarellVf = std::string(QM_SOURCE_DIR) + "/third_party/fonts/pango/Cantarell-VF.otf";
const std::string kCidFont = std::string(QM_SOURCE_DIR) + "/third_party/fonts/pango/noto-sans-cjk.ttf";

}  // namespace

TEST(CffCharstring, DrawsPaths)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> glyph;
        const char* expected;
    };
    const Case cases[] = {
        {"rmoveto with a width drops it", cs({500, 10, 20, rmoveto, 5, 0, rlineto, 0, 5, rlineto, endchar}),
            "10,20 15,20 15,25"},
        {"rmoveto without width moves by both", cs({10, 20, rmoveto, 5, 0, 0, 5, rlineto, endchar}),
            "10,20 15,20 15,25"},
        {"closing onto the start drops the last point", cs({0, 0, rmoveto, 10, 0, 0, 10, -10, -10, rlineto, endchar}),
            "0,0 10,0 10,10"},
        {"moveto after moveto leaves no contour", cs({5, hmoveto, 7, vmoveto, 10, 0, 0, 10, rlineto, endchar}),
            "5,7 15,7 15,17"},
        {"hmoveto with width", cs({300, 5, hmoveto, 10, 10, hlineto, endchar}), "5,0 15,0 15,10"},
        {"hlineto alternates", cs({0, 0, rmoveto, 10, 20, 30, hlineto, endchar}), "0,0 10,0 10,20 40,20"},
        {"rrcurveto", cs({0, 0, rmoveto, 1, 2, 3, 4, 5, 6, rrcurveto, endchar}), "0,0 c:1,2 c:4,6 9,12"},
        {"rcurveline", cs({0, 0, rmoveto, 1, 2, 3, 4, 5, 6, 7, 8, rcurveline, endchar}), "0,0 c:1,2 c:4,6 9,12 16,20"},
        {"rlinecurve", cs({0, 0, rmoveto, 7, 8, 1, 2, 3, 4, 5, 6, rlinecurve, endchar}),
            "0,0 7,8 c:8,10 c:11,14 16,20"},
        {"vvcurveto with a leading dx", cs({0, 0, rmoveto, 9, 1, 2, 3, 4, vvcurveto, endchar}),
            "0,0 c:9,1 c:11,4 11,8"},
        {"hhcurveto with a leading dy", cs({0, 0, rmoveto, 9, 1, 2, 3, 4, hhcurveto, endchar}),
            "0,0 c:1,9 c:3,12 7,12"},
        {"hvcurveto with a final dy", cs({0, 0, rmoveto, 1, 2, 3, 4, 5, hvcurveto, endchar}), "0,0 c:1,0 c:3,3 8,7"},
        {"vhcurveto alternates", cs({0, 0, rmoveto, 1, 2, 3, 4, 5, 6, 7, 8, vhcurveto, endchar}),
            "0,0 c:0,1 c:2,4 6,4 c:11,4 c:17,11 17,19"},
        {"hflex returns to the start y", cs({0, 0, rmoveto, 1, 2, 3, 4, 5, 6, 7, hflex, endchar}),
            "0,0 c:1,0 c:3,3 7,3 c:12,3 c:18,0 25,0"},
        {"flex", cs({0, 0, rmoveto, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 50, flex, endchar}),
            "0,0 c:1,1 c:2,2 3,3 c:4,4 c:5,5 6,6"},
        {"hflex1", cs({0, 0, rmoveto, 1, 2, 3, 4, 5, 6, 7, 8, 9, hflex1, endchar}),
            "0,0 c:1,2 c:4,6 9,6 c:15,6 c:22,14 31,0"},
        {"flex1 ends horizontally", cs({0, 0, rmoveto, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 7, flex1, endchar}),
            "0,0 c:10,1 c:20,2 30,3 c:40,4 c:50,5 57,0"},
        {"flex1 ends vertically", cs({0, 0, rmoveto, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 7, flex1, endchar}),
            "0,0 c:1,10 c:2,20 3,30 c:4,40 c:5,50 0,57"},
        {"arithmetic",
            cs({0, 0, rmoveto, 6, 4, sub, 3, 7, exch, divOp, 2, 3, mul, dupOp, add, 9, sqrtOp, neg, 8, dropOp, rlineto,
                4, 0, rlineto, endchar}),
            "0,0 2,2.33333 14,-0.666667 18,-0.666667"},
        {"division by zero gives zero", cs({0, 0, rmoveto, 5, 0, divOp, 3, rlineto, 1, 1, rlineto, endchar}),
            "0,0 0,3 1,4"},
        {"fixed-point operands", cs({0, 0, rmoveto, 1.5, 0.25, rlineto, 0, 1, rlineto, endchar}),
            "0,0 1.5,0.25 1.5,1.25"},
        {"hintmask after 3 stems skips 1 byte",
            concat({cs({10, 20, 30, 40, hstem, 50, 60, vstem, hintmask}), {0xff},
                cs({0, 0, rmoveto, 5, 5, rlineto, 1, 0, rlineto, endchar})}),
            "0,0 5,5 6,5"},
        {"hintmask after 9 stems skips 2 bytes",
            concat({cs({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, hstem, 1, 1, vstem, hintmask}), {0xff, 0xff},
                cs({0, 0, rmoveto, 5, 5, rlineto, 1, 0, rlineto, endchar})}),
            "0,0 5,5 6,5"},
        {"a width before the implicit stems of hintmask",
            concat({cs({700, 1, 2, 3, 4, hstem, 5, 6, hintmask}), {0x80},
                cs({0, 0, rmoveto, 5, 5, rlineto, 1, 0, rlineto, endchar})}),
            "0,0 5,5 6,5"},
        {"endchar ends the glyph", cs({0, 0, rmoveto, 5, 5, rlineto, 1, 0, rlineto, endchar, 9, 9, rlineto}),
            "0,0 5,5 6,5"},
        {"two contours", cs({0, 0, rmoveto, 5, 0, 0, 5, rlineto, 10, 10, rmoveto, 1, 0, 0, 1, rlineto, endchar}),
            "0,0 5,0 5,5 | 15,15 16,15 16,16"},
        {"a line without a moveto starts at the current point", cs({3, 4, rlineto, 1, 0, rlineto, endchar}),
            "0,0 3,4 4,4"},
    };
    for (const Case& c : cases) {
        CharstringFont f;
        f.glyphs = {c.glyph};
        EXPECT_EQ(describe(contoursOf(f)), c.expected) << c.name;
    }
}

TEST(CffCharstring, Subroutines)
{
    // Local subroutine 0 has the biased number -107, global 1 is -106.
    CharstringFont f;
    f.locals = {cs({5, 0, rlineto, ret})};
    f.globals = {cs({0, 0, rmoveto, ret}), cs({-107, callsubr, 0, 5, ret})};
    f.glyphs = {cs({-107, callgsubr, -106, callgsubr, rlineto, endchar}), cs({-108, callsubr, endchar}),
        cs({0, 0, rmoveto, 5, 0, rlineto, -107, callsubr, 0, 9, rlineto})};
    EXPECT_EQ(describe(contoursOf(f, 0)), "0,0 5,0 5,5");
    // Index -1 after the bias: out of range, and only the glyph is lost.
    EXPECT_EQ(contoursOf(f, 1).size(), 0u);
    // A subroutine that returns keeps the caller running.
    EXPECT_EQ(describe(contoursOf(f, 2)), "0,0 5,0 10,0 10,9");
    // endchar inside a subroutine ends the glyph.
    f.locals = {cs({0, 5, rlineto, endchar})};
    f.glyphs = {cs({0, 0, rmoveto, 5, 0, rlineto, -107, callsubr, 7, 7, rlineto})};
    EXPECT_EQ(describe(contoursOf(f)), "0,0 5,0 5,5");
    EXPECT_EQ(subrBias(1239), 107);
    EXPECT_EQ(subrBias(1240), 1131);
    EXPECT_EQ(subrBias(33899), 1131);
    EXPECT_EQ(subrBias(33900), 32768);
}

TEST(CffCharstring, LimitsRaiseAndLeaveTheGlyphEmpty)
{
    std::vector<uint8_t> fortyNine;
    for (int i = 0; i < 49; ++i)
        fortyNine.push_back(139);
    std::vector<uint8_t> tooLong;
    for (int i = 0; i < 100001; ++i)
        tooLong.insert(tooLong.end(), {139, 12, 18});  // 0 drop
    struct Case {
        const char* name;
        std::vector<uint8_t> glyph;
        std::vector<std::vector<uint8_t>> locals;
        const char* message;
    };
    // Ten nested levels each calling the next ten times would take 10^10
    // tokens; the token count stops it.
    std::vector<std::vector<uint8_t>> fanOut;
    for (int level = 0; level < 10; ++level) {
        std::vector<uint8_t> body;
        for (int i = 0; i < 10; ++i) {
            auto call = cs({-107 + level + 1, callsubr});
            body.insert(body.end(), call.begin(), call.end());
        }
        body.push_back(11);
        fanOut.push_back(level == 9 ? cs({ret}) : body);
    }
    const Case cases[] = {
        {"49 operands", fortyNine, {}, "CFF: stack overflow"},
        {"rmoveto with one operand", cs({5, rmoveto}), {}, "CFF: stack underflow"},
        {"hmoveto without operands", cs({hmoveto}), {}, "CFF: stack underflow"},
        {"rcurveline with 7 operands", cs({1, 2, 3, 4, 5, 6, 7, rcurveline}), {}, "CFF: stack underflow"},
        {"rlinecurve with 7 operands", cs({1, 2, 3, 4, 5, 6, 7, rlinecurve}), {}, "CFF: stack underflow"},
        {"add with one operand", cs({1, add}), {}, "CFF: stack underflow"},
        {"flex with 12 operands", cs({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, flex}), {}, "CFF: stack underflow"},
        {"hflex with 6 operands", cs({1, 2, 3, 4, 5, 6, hflex}), {}, "CFF: stack underflow"},
        {"hflex1 with 8 operands", cs({1, 2, 3, 4, 5, 6, 7, 8, hflex1}), {}, "CFF: stack underflow"},
        {"flex1 with 10 operands", cs({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, flex1}), {}, "CFF: stack underflow"},
        {"callsubr on an empty stack", cs({callsubr}), {cs({ret})}, "CFF: stack underflow"},
        {"subroutine past the list", cs({-106, callsubr}), {cs({ret})}, "CFF: subroutine out of range"},
        {"subroutine calling itself", cs({-107, callsubr}), {cs({-107, callsubr})}, "CFF: subroutines nested too deep"},
        {"200,001 tokens", tooLong, {}, "CFF: charstring runs too long"},
        {"fan-out of subroutines", cs({-107, callsubr}), fanOut, "CFF: charstring runs too long"},
        {"operand cut by the table end", {28, 1}, {}, "CFF: read past the table"},
        {"escape cut by the table end", {12}, {}, "CFF: read past the table"},
        {"blend without enough operands", cs({1, 2, blend}), {}, "CFF: bad blend"},
    };
    for (const Case& c : cases) {
        CharstringFont f;
        f.glyphs = {c.glyph};
        f.locals = c.locals;
        EXPECT_EQ(errorOf(f), c.message) << c.name;
        EXPECT_TRUE(contoursOf(f).empty()) << c.name;
    }
    // 48 operands fit a CFF stack; 513 fit a CFF2 stack, 514 do not.
    CharstringFont f;
    f.glyphs = {std::vector<uint8_t>(fortyNine.begin() + 1, fortyNine.end())};
    EXPECT_EQ(errorOf(f), "");
    f.cff2 = true;
    f.glyphs = {std::vector<uint8_t>(513, 139)};
    EXPECT_EQ(errorOf(f), "");
    f.glyphs = {std::vector<uint8_t>(514, 139)};
    EXPECT_EQ(errorOf(f), "CFF: stack overflow");
}

TEST(CffCharstring, Cff2BlendsAndRunsToTheEnd)
{
    CharstringFont f;
    f.cff2 = true;
    f.regionCounts = {2, 1};
    // Count 1 over 1, 2, 3 with 2 regions keeps 1; with vsindex 1 (one region)
    // 4 5 1 blend keeps 4. No width is taken from a CFF2 charstring, and
    // endchar does not end it.
    f.glyphs = {cs({7, 1, 2, 3, 1, blend, rmoveto, 1, vsindex, 4, 5, 1, blend, 0, rlineto, endchar, 0, 6, rlineto}),
        cs({3, 10, 20, rmoveto})};
    EXPECT_EQ(describe(contoursOf(f, 0)), "7,1 11,1 11,7");
    EXPECT_EQ(errorOf(f), "");
    // Blend counts that are negative fail the glyph.
    f.glyphs = {cs({1, 2, -1, blend})};
    EXPECT_EQ(errorOf(f), "CFF: bad blend");
}

namespace {

// A minimal CFF table: header, Name INDEX, Top DICT INDEX, String INDEX,
// Global Subr INDEX, then the CharStrings INDEX and extra bytes at fixed
// offsets given as 5-byte operands.
std::vector<uint8_t> index16(const std::vector<std::vector<uint8_t>>& items)
{
    std::vector<uint8_t> out = {uint8_t(items.size() >> 8), uint8_t(items.size())};
    if (items.empty())
        return out;
    out.push_back(4);
    uint32_t off = 1;
    auto put = [&](uint32_t v) {
        out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
    };
    put(off);
    for (const auto& it : items)
        put(off += uint32_t(it.size()));
    for (const auto& it : items)
        out.insert(out.end(), it.begin(), it.end());
    return out;
}

std::vector<uint8_t> num32(int32_t v) { return {29, uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }

std::vector<uint8_t> cffTable(const std::vector<uint8_t>& topExtra, const std::vector<uint8_t>& tail, int charStringsAt)
{
    std::vector<uint8_t> top = concat({num32(charStringsAt), {17}, topExtra});
    return concat({{1, 0, 4, 4}, index16({{'x'}}), index16({top}), index16({}), index16({}), tail});
}

std::string parseError(const std::vector<uint8_t>& table, bool cff2 = false)
{
    try {
        parseCff(std::make_shared<std::vector<uint8_t>>(table), 0, int32_t(table.size()), cff2, 1000);
    } catch (const CffError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(CffTable, StructureErrors)
{
    std::vector<uint8_t> glyphs = index16({cs({endchar})});
    std::vector<uint8_t> header = {1, 0, 4, 4};
    auto good = [&](std::vector<uint8_t> topExtra = {}, std::vector<uint8_t> after = {}) {
        // Offsets in the tail are found by building once to learn its start.
        size_t start = cffTable(topExtra, {}, 0).size();
        return cffTable(topExtra, concat({glyphs, after}), int(start));
    };
    EXPECT_EQ(parseError(good()), "");
    auto withFdSelect = [&](uint8_t format) {
        // Two font DICTs (each without a Private DICT) and an FDSelect.
        size_t start = cffTable(concat({num32(0), {12, 36}, num32(0), {12, 37}}), {}, 0).size();
        std::vector<uint8_t> fdArray = index16({{}, {}});
        int fdArrayAt = int(start + glyphs.size());
        int fdSelectAt = int(fdArrayAt + fdArray.size());
        return cffTable(concat({num32(fdArrayAt), {12, 36}, num32(fdSelectAt), {12, 37}}),
            concat({glyphs, fdArray, {format, 1}}), int(start));
    };
    EXPECT_EQ(parseError(withFdSelect(0)), "");
    struct Case {
        const char* name;
        std::vector<uint8_t> table;
        const char* message;
    };
    std::vector<uint8_t> noTop = concat({header, index16({{'x'}}), index16({})});
    std::vector<uint8_t> noCharStrings =
        concat({header, index16({{'x'}}), index16({{139, 18}}), index16({}), index16({})});
    std::vector<uint8_t> badOffSize = concat({header, {0, 1, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}});
    std::vector<uint8_t> bigIndexCff2 = {2, 0, 5, 0, 0, 0x00, 0x0f, 0x42, 0x41, 1};
    std::vector<uint8_t> decreasing = concat({header, {0, 2, 1, 1, 3, 2, 'a', 'b'}});
    std::vector<uint8_t> pastEnd = concat({header, {0, 1, 1, 1, 9, 'a'}});
    const Case cases[] = {
        {"3 bytes", {1, 0, 4}, "CFF: table too short"},
        {"version 2 in a CFF table", {2, 0, 4, 4, 0, 0}, "CFF: unexpected version 2"},
        {"empty top dict index", noTop, "CFF: no top dict"},
        {"no charstrings", noCharStrings, "CFF: no charstrings"},
        {"offSize 5", badOffSize, "CFF: bad offset size"},
        {"decreasing offsets", decreasing, "CFF: bad index offsets"},
        {"element past the table", pastEnd, "CFF: bad index offsets"},
        {"header only", {1, 0, 4, 4}, "CFF: read past the table"},
        {"FDSelect format 2", withFdSelect(2), "CFF: unknown FDSelect format 2"},
        {"charstrings past the table", cffTable({}, {}, 5000), "CFF: read past the table"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseError(c.table), c.message) << c.name;
    EXPECT_EQ(parseError({1, 0, 4, 4, 0}, true), "CFF: unexpected version 1");
    EXPECT_EQ(parseError(bigIndexCff2, true), "CFF: index too large");
}

TEST(CffTable, FdSelectRanges)
{
    // Five glyphs, three font DICTs without Private DICTs.
    auto fdSelectOf = [](std::vector<uint8_t> fdSelect) {
        std::vector<uint8_t> glyphs = index16({{14}, {14}, {14}, {14}, {14}});
        std::vector<uint8_t> fdArray = index16({{}, {}, {}});
        auto top = [](int at) { return concat({num32(at), {12, 36}, num32(at), {12, 37}}); };
        int start = int(cffTable(top(0), {}, 0).size());
        int fdArrayAt = start + int(glyphs.size());
        int fdSelectAt = fdArrayAt + int(fdArray.size());
        std::vector<uint8_t> topDict = concat({num32(fdArrayAt), {12, 36}, num32(fdSelectAt), {12, 37}});
        auto table =
            std::make_shared<std::vector<uint8_t>>(cffTable(topDict, concat({glyphs, fdArray, fdSelect}), start));
        return parseCff(table, 0, int32_t(table->size()), false, 1000)->fdSelect;
    };
    using Fds = std::vector<int32_t>;
    EXPECT_EQ(fdSelectOf({0, 2, 1, 0, 2, 1}), (Fds{2, 1, 0, 2, 1}));
    // Format 3: (0, 0), (3, 1), (1, 2), sentinel 5. The backwards range is
    // empty and the last one overrides glyphs 1 and 2.
    EXPECT_EQ(fdSelectOf({3, 0, 3, 0, 0, 0, 0, 3, 1, 0, 1, 2, 0, 5}), (Fds{0, 2, 2, 2, 2}));
    // Format 4 with a sentinel past the glyphs.
    EXPECT_EQ(fdSelectOf({4, 0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 9}), (Fds{1, 1, 0, 0, 0}));
    // Ranges cut off by the end of the table.
    EXPECT_THROW(fdSelectOf({3, 0, 3, 0, 0, 0}), CffError);
}

TEST(CffTable, Cff2DictBlend)
{
    // CFF2 Top DICT: a blend in a DICT needs its count and enough operands.
    auto table = [](std::vector<uint8_t> top) {
        std::vector<uint8_t> t = {2, 0, 5, 0, uint8_t(top.size())};
        return concat({t, top, {0, 0, 0, 0}});
    };
    EXPECT_EQ(parseError(table({23}), true), "CFF: blend without a count");
    EXPECT_EQ(parseError(table({139, 141, 23}), true), "CFF: bad blend");
    // 1 blend over a single default value leaves it, so CharStrings reads at
    // offset 0 (the header) and finds no valid INDEX there.
    auto font = std::make_shared<std::vector<uint8_t>>(table({139, 140, 23, 17}));
    EXPECT_THROW(parseCff(font, 0, int32_t(font->size()), true, 1000), CffError);
}

TEST(CffTable, DictOperands)
{
    // i16, i32, real (-2.5E-3 and 1.25E2), one- and two-byte integers, and
    // reserved bytes 31 and 255 skipped.
    std::vector<uint8_t> bytes = {28, 0xff, 0x9c, 29, 0, 1, 0, 0, 30, 0xe2, 0xa5, 0xc3, 0xff, 30, 0x1a, 0x25, 0xb2,
        0xff, 31, 255, 32, 246, 247, 0, 251, 0, 12, 7, 30, 0xab, 0xff, 4};
    CffFont font;
    font.data = std::make_shared<std::vector<uint8_t>>(bytes);
    font.tableEnd = int32_t(bytes.size());
    CffDict dict = readDict(font, CffRange{0, font.tableEnd}, {});
    ASSERT_EQ(dict.size(), 2u);
    EXPECT_EQ(dict[0].key, 1207);
    std::vector<double> expected = {-100, 65536, -2.5e-3, 1.25e2, -107, 107, 108, -108};
    EXPECT_EQ(dict[0].operands, expected);
    EXPECT_EQ(dict[1].key, 4);
    EXPECT_EQ(dict[1].operands, std::vector<double>{0});  // ".E" is not a number
    EXPECT_EQ(dictOperands(dict, 4).size(), 1u);
    EXPECT_TRUE(dictOperands(dict, 5).empty());
}

TEST(CffFonts, ReadsRealTables)
{
    struct Case {
        std::string path;
        bool cff2;
        size_t glyphs;
        size_t fontDicts;
    };
    const Case cases[] = {
        {kCantarell, false, 1322, 1},
        {kCantarellVf, true, 1322, 1},
        {kCidFont, false, 9, 3},
    };
    for (const Case& c : cases) {
        auto font = loadTable(c.path);
        EXPECT_EQ(font->isCff2, c.cff2) << c.path;
        if (c.glyphs) {
            EXPECT_EQ(font->charStrings.size(), c.glyphs) << c.path;
        }
        EXPECT_EQ(font->localSubrs.size(), c.fontDicts) << c.path;
        int drawn = 0;
        for (int32_t g = 0; g < cffGlyphCount(*font); ++g)
            drawn += !cffGlyphContours(*font, g).empty();
        EXPECT_GT(drawn, cffGlyphCount(*font) / 2) << c.path;
        EXPECT_EQ(font->scale, 1.0);
        EXPECT_TRUE(cffGlyphContours(*font, cffGlyphCount(*font)).empty());
        EXPECT_TRUE(cffGlyphContours(*font, -1).empty());
    }
}

TEST(CffTable, FontMatrixScalesToUnitsPerEm)
{
    // FontMatrix [0.001 0 0 0.001 0 0] with 0.001 as a real operand.
    std::vector<uint8_t> matrix = {30, 0x0a, 0x00, 0x1f, 139, 139, 30, 0x0a, 0x00, 0x1f, 139, 139, 12, 7};
    std::vector<uint8_t> glyphs = index16({cs({0, 0, rmoveto, 100, 50, rlineto, 0, 10, rlineto, endchar})});
    auto load = [&](std::vector<uint8_t> topExtra, int32_t unitsPerEm) {
        size_t start = cffTable(topExtra, {}, 0).size();
        auto table = std::make_shared<std::vector<uint8_t>>(cffTable(topExtra, glyphs, int(start)));
        return parseCff(table, 0, int32_t(table->size()), false, unitsPerEm);
    };
    auto unit = load(matrix, 1000);
    EXPECT_EQ(unit->scale, 1.0);
    EXPECT_EQ(describe(cffGlyphContours(*unit, 0)), "0,0 100,50 100,60");
    auto scaled = load(matrix, 2048);
    EXPECT_DOUBLE_EQ(scaled->scale, 2.048);
    EXPECT_EQ(describe(cffGlyphContours(*scaled, 0)), "0,0 204.8,102.4 204.8,122.88");
    // Without a FontMatrix the coordinates stay as they are.
    EXPECT_EQ(load({}, 2048)->scale, 1.0);
}
