#include "codecs/font/font_names.h"

#include <gtest/gtest.h>

#include "codecs/font/font.h"
#include "codecs/font/font_test_helpers.h"

using namespace qm;
using qm::test::Bytes;

namespace {

struct NameRecord {
    int platform, encoding, language, nameId;
    Bytes text;
};

Bytes utf16(const std::string& ascii)
{
    Bytes b;
    for (char c : ascii)
        b.u16(uint8_t(c));
    return b;
}

Bytes nameTable(const std::vector<NameRecord>& records)
{
    Bytes out, strings;
    out.u16(0).u16(int(records.size())).u16(6 + 12 * int(records.size()));
    for (const auto& r : records) {
        out.u16(r.platform).u16(r.encoding).u16(r.language).u16(r.nameId);
        out.u16(int(r.text.size())).u16(int(strings.size()));
        strings.append(r.text);
    }
    return out.append(strings);
}

Bytes mac(const std::string& text) { return Bytes(text.begin(), text.end()); }

}  // namespace

TEST(FontNames, RankingPrefersWindowsUsEnglish)
{
    struct Case {
        const char* name;
        std::vector<NameRecord> records;
        const char* family;
    };
    const Case cases[] = {
        {"Windows US English over Macintosh", {{1, 0, 0, 1, mac("Mac")}, {3, 1, 0x409, 1, utf16("Win")}}, "Win"},
        {"Macintosh after Windows does not replace it", {{3, 1, 0x409, 1, utf16("Win")}, {1, 0, 0, 1, mac("Mac")}},
            "Win"},
        {"another Windows language replaces Macintosh, US English replaces it in turn",
            {{1, 0, 0, 1, mac("Mac")}, {3, 1, 0x407, 1, utf16("De")}, {3, 1, 0x409, 1, utf16("Us")}}, "Us"},
        {"equal ranks keep the first", {{3, 1, 0x407, 1, utf16("De")}, {0, 3, 0, 1, utf16("Uni")}}, "De"},
        {"Unicode platform over Macintosh", {{1, 0, 0, 1, mac("Mac")}, {0, 4, 0, 1, utf16("Uni")}}, "Uni"},
        {"Windows encoding 10", {{3, 10, 0x409, 1, utf16("Ucs4")}}, "Ucs4"},
        {"Windows symbol encoding and Macintosh Japanese are skipped",
            {{3, 0, 0x409, 1, utf16("Sym")}, {1, 1, 0, 1, mac("Jp")}}, ""},
        {"an empty text is skipped", {{1, 0, 0, 1, mac("Mac")}, {3, 1, 0x409, 1, Bytes()}}, "Mac"},
        {"Macintosh Roman becomes UTF-8", {{1, 0, 0, 1, mac("Caf\x8e \xdb")}}, "Caf\xc3\xa9 \xe2\x82\xac"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readNameTable(nameTable(c.records)).family, c.family) << c.name;

    FontNames names = readNameTable(nameTable(
        {{3, 1, 0x409, 1, utf16("Fam")}, {3, 1, 0x409, 2, utf16("Bold")}, {3, 1, 0x409, 4, utf16("Fam Bold")}}));
    EXPECT_EQ(names.subfamily, "Bold");
    EXPECT_EQ(names.full, "Fam Bold");
    // Without name id 4 the family stands in for the full name.
    names = readNameTable(nameTable({{3, 1, 0x409, 1, utf16("Fam")}, {3, 1, 0x409, 3, utf16("Unique")}}));
    EXPECT_EQ(names.full, "Fam");
    EXPECT_EQ(names.subfamily, "");
}

TEST(FontNames, DamagedTables)
{
    EXPECT_EQ(readNameTable(Bytes{0, 0, 0, 1, 0}).family, "");
    // A string past the end is skipped; a record that does not fit ends the
    // reading.
    Bytes table = nameTable({{3, 1, 0x409, 1, utf16("Long")}, {1, 0, 0, 1, mac("Mac")}});
    table[6 + 8 + 1] = 200;  // first record's length
    EXPECT_EQ(readNameTable(table).family, "Mac");
    table = nameTable({{1, 0, 0, 1, mac("Mac")}, {3, 1, 0x409, 1, utf16("Win")}});
    table[3] = 3;  // count 3, with the third record cut off by the strings
    EXPECT_EQ(readNameTable(Bytes(table.begin(), table.begin() + 6 + 24 + 6)).family, "Mac");
    EXPECT_EQ(readNameTable(Bytes(table.begin(), table.begin() + 6 + 12 + 6)).family, "");
    EXPECT_EQ(readNameTable(table).family, "Win");
}

TEST(FontNames, Utf16ToUtf8)
{
    struct Case {
        std::vector<uint8_t> in;
        const char* out;
    };
    const Case cases[] = {
        {{0, 'A', 0x00, 0xE9, 0x20, 0xAC}, "A\xc3\xa9\xe2\x82\xac"},
        {{0xD8, 0x3D, 0xDE, 0x00}, "\xf0\x9f\x98\x80"},  // U+1F600
        {{0xD8, 0x3D, 0, 'x'}, "\xef\xbf\xbdx"},         // lone high surrogate
        {{0xDE, 0x00, 0, 'x'}, "\xef\xbf\xbdx"},         // lone low surrogate
        {{0, 'x', 0xDB, 0xFF}, "x\xef\xbf\xbd"},         // high surrogate at the end
        {{0, 'x', 0}, "x"},                              // odd byte dropped
        {{0xDB, 0xFF, 0xDF, 0xFF}, "\xf4\x8f\xbf\xbf"},  // U+10FFFF
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf16beToUtf8(c.in), c.out);
}

TEST(FontNames, StyleFlags)
{
    Bytes names = nameTable({{3, 1, 0x409, 1, utf16("Fam")}});
    auto head = [](int macStyle) {
        Bytes h = test::headTable();
        h[45] = uint8_t(macStyle);
        return h;
    };
    auto os2 = [](int length, int fsSelection) { return test::os2Table(length, fsSelection, 0, 0, 0, 0, 0); };
    struct Case {
        const char* name;
        std::vector<test::Table> tables;
        bool bold, italic;
        const char* family;
    };
    const Case cases[] = {
        {"fsSelection bit 5 is bold", {{"name", names}, {"OS/2", os2(78, 0x20)}}, true, false, "Fam"},
        {"fsSelection bit 0 is italic", {{"name", names}, {"OS/2", os2(64, 0x01)}}, false, true, "Fam"},
        {"an OS/2 of 63 bytes falls back to macStyle", {{"name", names}, {"OS/2", os2(63, 0x21)}, {"head", head(2)}},
            false, true, "Fam"},
        {"macStyle adds to fsSelection", {{"name", names}, {"OS/2", os2(78, 0x20)}, {"head", head(2)}}, true, true,
            "Fam"},
        {"macStyle bit 0 is bold", {{"name", names}, {"head", head(1)}}, true, false, "Fam"},
        {"no name table: nothing", {{"OS/2", os2(78, 0x21)}, {"head", head(3)}}, false, false, ""},
    };
    for (const Case& c : cases) {
        Font font;
        Bytes sfnt = test::makeSfnt(c.tables);
        font.data = std::make_shared<const std::vector<uint8_t>>(sfnt.begin(), sfnt.end());
        const int64_t n = (sfnt[4] << 8) | sfnt[5];
        for (int64_t i = 0; i < n; ++i) {
            int64_t rec = 12 + 16 * i;
            font.tables.push_back({fontTag(sfnt, rec), {fontU32(sfnt, rec + 8), fontU32(sfnt, rec + 12)}});
        }
        readNames(font);
        EXPECT_EQ(font.bold, c.bold) << c.name;
        EXPECT_EQ(font.italic, c.italic) << c.name;
        EXPECT_EQ(font.familyName, c.family) << c.name;
    }
}
