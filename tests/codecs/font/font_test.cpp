#include <gtest/gtest.h>

#include "codecs/font/font.h"
#include "codecs/font/font_test_helpers.h"
#include "codecs/font/glyph_data.h"

using namespace qm;
using namespace qm::test;

namespace {

Bytes square() { return simpleGlyph({{{0, 0}, {100, 0}, {100, 100}, {0, 100}}}); }

// The refusal of both ways in (copied or shared bytes), which must agree.
std::string errorOf(const Bytes& bytes, int face = 0)
{
    std::string copied, shared;
    try {
        parseTrueType(bytes, face);
    } catch (const ValueError& e) {
        copied = e.what();
    }
    try {
        parseTrueType(std::make_shared<const std::vector<uint8_t>>(bytes), face);
    } catch (const ValueError& e) {
        shared = e.what();
    }
    return copied == shared ? copied : "copied: " + copied + ", shared: " + shared;
}

std::vector<Table> baseTables(int numberOfHMetrics = 1, Bytes hmtx = hmtxTable({{500, 10}}))
{
    auto [glyf, loca] = glyfLoca({square()});
    return {{"head", headTable()}, {"hhea", hheaTable(800, -200, 90, numberOfHMetrics)}, {"maxp", maxpTable(1)},
        {"hmtx", hmtx}, {"loca", loca}, {"glyf", glyf}};
}

std::vector<Table> without(std::vector<Table> tables, const std::string& tag)
{
    std::erase_if(tables, [&](const Table& t) { return t.tag == tag; });
    return tables;
}

std::vector<Table> with(std::vector<Table> tables, const std::string& tag, Bytes bytes)
{
    for (Table& t : tables)
        if (t.tag == tag)
            t.bytes = bytes;
    return tables;
}

}  // namespace

TEST(FontReader, RefusesWhatItCannotRead)
{
    Bytes font = makeSfnt(baseTables());
    Bytes badHmtxRecord = font;
    // hmtx is the fourth record: make its length run past the file.
    size_t rec = 12 + 16 * 3 + 12;
    badHmtxRecord[rec] = 0x7F;
    Bytes cutDirectory(font.begin(), font.begin() + 12 + 16 * 5);
    Bytes woff2 = Bytes().tag("wOF2").append(Bytes(40, 0));

    struct Case {
        const char* name;
        Bytes bytes;
        int face;
        std::string message;
    } cases[] = {
        {"11 bytes", Bytes(11, 0), 0, "not a font file (too short)"},
        {"12 zero bytes", Bytes(12, 0), 0, "not a TrueType font (missing head/hhea/hmtx)"},
        {"woff2", woff2, 0, "WOFF2 fonts are not supported"},
        {"face 1 of a plain font", font, 1, "not a font collection"},
        {"directory past the end", cutDirectory, 0, "damaged font file"},
        {"hmtx record past the end", badHmtxRecord, 0, "not a TrueType font (missing head/hhea/hmtx)"},
        {"no hhea", makeSfnt(without(baseTables(), "hhea")), 0, "not a TrueType font (missing head/hhea/hmtx)"},
        {"short head", makeSfnt(with(baseTables(), "head", Bytes(53, 0))), 0, "damaged font file"},
        {"short hhea", makeSfnt(with(baseTables(), "hhea", Bytes(35, 0))), 0, "damaged font file"},
        {"glyf without loca", makeSfnt(without(baseTables(), "loca")), 0,
            "the font has no outlines Quenmark can draw (bitmap or colour glyphs only)"},
        {"no metrics", makeSfnt(baseTables(0)), 0, "damaged font file (horizontal metrics)"},
        {"hmtx too short", makeSfnt(baseTables(2)), 0, "damaged font file (horizontal metrics)"},
        {"collection face 2", makeCollection({baseTables(), baseTables()}), 2, "the collection has no face 2"},
        {"collection face -1", makeCollection({baseTables()}), -1, "the collection has no face -1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(errorOf(c.bytes, c.face), c.message) << c.name;
}

TEST(FontReader, KeepsSharedBytesWithoutACopy)
{
    auto bytes = std::make_shared<const std::vector<uint8_t>>(makeSfnt(baseTables()));
    FontRef font = parseTrueType(bytes);
    EXPECT_EQ(font->data, bytes);
    EXPECT_EQ(glyphOutline(*font, 0).xMax, 100);
    EXPECT_EQ(advanceWidth(*font, 0), 500);
    EXPECT_THROW(parseTrueType(std::shared_ptr<const std::vector<uint8_t>>()), ValueError);
}

TEST(FontReader, ReadsFacesOfACollection)
{
    auto second = with(baseTables(), "hhea", hheaTable(900, -300, 0, 1));
    Bytes ttc = makeCollection({baseTables(), second});
    EXPECT_EQ(faceCount(ttc), 2);
    EXPECT_EQ(faceCount(makeSfnt(baseTables())), 1);
    EXPECT_EQ(parseTrueType(ttc, 0)->ascent, 800);
    FontRef font = parseTrueType(ttc, 1);
    EXPECT_EQ(font->ascent, 900);
    EXPECT_EQ(font->descent, -300);
    // Table offsets stay absolute within the whole collection.
    EXPECT_EQ(fontBytes(*font).size(), ttc.size());
    EXPECT_EQ(glyphOutline(*font, 0).xMax, 100);
}

TEST(FontReader, ChoosesVerticalMetrics)
{
    struct Case {
        const char* name;
        int upem;
        Bytes os2;
        int hheaAscent;
        double upemWant, ascent, descent, lineGap;
    } cases[] = {
        {"hhea alone", 2048, {}, 800, 2048, 800, -200, 90},
        {"unitsPerEm 0", 0, {}, 800, 1000, 800, -200, 90},
        {"typo metrics", 1000, os2Table(78, 0x80, 700, -300, 50, 1100, 400), 800, 1000, 700, -300, 50},
        {"typo flag, zero ascender", 1000, os2Table(78, 0x80, 0, -300, 50, 1100, 400), 800, 1000, 800, -200, 90},
        {"no typo flag", 1000, os2Table(78, 0, 700, -300, 50, 1100, 400), 800, 1000, 800, -200, 90},
        {"win metrics for zero hhea", 1000, os2Table(78, 0, 700, -300, 50, 1100, 400), 0, 1000, 1100, -400, 90},
        {"OS/2 of 77 bytes", 1000, os2Table(77, 0x80, 700, -300, 50, 1100, 400), 800, 1000, 800, -200, 90},
    };
    for (const Case& c : cases) {
        auto tables = with(baseTables(), "head", headTable(c.upem));
        tables = with(tables, "hhea", hheaTable(c.hheaAscent, -200, 90, 1));
        if (!c.os2.empty())
            tables.push_back({"OS/2", c.os2});
        FontRef font = parseTrueType(makeSfnt(tables));
        EXPECT_EQ(font->unitsPerEm, c.upemWant) << c.name;
        EXPECT_EQ(font->ascent, c.ascent) << c.name;
        EXPECT_EQ(font->descent, c.descent) << c.name;
        EXPECT_EQ(font->lineGap, c.lineGap) << c.name;
    }
}

TEST(FontReader, HorizontalMetricsPastTheArrayStayInsideTheTable)
{
    // Three glyphs, two long metrics, one trailing bearing.
    auto [glyf, loca] = glyfLoca({square(), square(), square()});
    Bytes font = makeSfnt({{"head", headTable()}, {"hhea", hheaTable(800, -200, 0, 2)}, {"maxp", maxpTable(3)},
        {"hmtx", hmtxTable({{500, 10}, {600, 20}}, {30})}, {"loca", loca}, {"glyf", glyf}});
    FontRef f = parseTrueType(font);
    using M = std::pair<double, double>;
    EXPECT_EQ(hmtxMetrics(*f, 0), M(500, 10));
    EXPECT_EQ(hmtxMetrics(*f, 1), M(600, 20));
    EXPECT_EQ(hmtxMetrics(*f, 2), M(600, 30));
    EXPECT_EQ(hmtxMetrics(*f, 3), M(600, 0));
    EXPECT_EQ(hmtxMetrics(*f, 70000), M(600, 0));
    EXPECT_EQ(hmtxMetrics(*f, -1), M(600, 0));
    EXPECT_EQ(advanceWidth(*f, 1), 600);

    // A glyph the font counts but whose bearing the table lacks.
    auto tables = with(baseTables(1), "maxp", maxpTable(5));
    FontRef g = parseTrueType(makeSfnt(tables));
    EXPECT_EQ(hmtxMetrics(*g, 4), M(500, 0));
}
