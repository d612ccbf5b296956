#include "formats/xlsx.h"

#include "codecs/archive/zip.h"
#include "core/bytes.h"
#include "core/errors.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cmath>
#include <limits>
#include <map>

using namespace qm;

namespace {

const char* kDecl = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";

std::map<std::string, std::string> parts(const std::vector<XlsxSheet>& sheets)
{
    std::map<std::string, std::string> out;
    for (const auto& [name, data] : unzipBytes(writeXlsx(sheets)))
        out[std::string(name.begin(), name.end())] = std::string(data.begin(), data.end());
    return out;
}

// Member names in the order of the central directory.
std::vector<std::string> memberNames(const std::vector<uint8_t>& zip)
{
    std::vector<std::string> names;
    size_t end = zip.size() - 22;  // the end record; the writer adds no comment
    size_t count = loadLe16(zip.data() + end + 10);
    size_t at = loadLe32(zip.data() + end + 16);
    for (size_t i = 0; i < count; ++i) {
        size_t nameLength = loadLe16(zip.data() + at + 28);
        names.emplace_back(zip.begin() + long(at + 46), zip.begin() + long(at + 46 + nameLength));
        at += 46 + nameLength + loadLe16(zip.data() + at + 30) + loadLe16(zip.data() + at + 32);
    }
    return names;
}

bool wellFormed(const std::string& xml)
{
    pugi::xml_document doc;
    return doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8);
}

}  // namespace

TEST(XlsxNumber, FixedNotationWithoutTrailingZeros)
{
    const double inf = std::numeric_limits<double>::infinity();
    // clang-format off
    const std::pair<double, const char*> cases[] = {
        {1234.5, "1234.5"},   {28.0, "28"},       {0.1234567, "0.123457"}, {-0.5, "-0.5"},
        {1e-7, "0"},          {-1e-7, "0"},       {-0.0, "0"},             {1234567.891, "1234567.891"},
        {2, "2"},             {0, "0"},           {1e15, "1000000000000000"}, {-1500.25, "-1500.25"},
        {std::nan(""), "0"},  {inf, "0"},         {-inf, "0"},             {0.0000005001, "0.000001"},
    };
    // clang-format on
    for (auto [value, text] : cases)
        EXPECT_EQ(xlsxNumber(value), text) << value;
    EXPECT_EQ(xlsxNumber(1e300).size(), 301u);
}

TEST(XlsxColumns, LettersCountInBase26WithoutZero)
{
    const std::pair<int32_t, const char*> cases[] = {
        {0, "A"},
        {1, "B"},
        {25, "Z"},
        {26, "AA"},
        {27, "AB"},
        {51, "AZ"},
        {52, "BA"},
        {701, "ZZ"},
        {702, "AAA"},
        {16383, "XFD"},
    };
    for (auto [index, text] : cases)
        EXPECT_EQ(columnLetters(index), text) << index;
}

TEST(XlsxStyles, MatchTheFixedTextWithoutColours)
{
    std::string expected = std::string(kDecl)
        + R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
          R"(<numFmts count="1"><numFmt numFmtId="164" formatCode="&quot;$&quot;#,##0.00;[Red]\-&quot;$&quot;#,##0.00"/></numFmts>)"
          R"(<fonts count="3"><font><sz val="11"/><name val="Calibri"/></font>)"
          R"(<font><b/><sz val="11"/><name val="Calibri"/></font>)"
          R"(<font><b/><sz val="11"/><color rgb="FFFFFFFF"/><name val="Calibri"/></font></fonts>)"
          R"(<fills count="3"><fill><patternFill patternType="none"/></fill>)"
          R"(<fill><patternFill patternType="gray125"/></fill>)"
          R"(<fill><patternFill patternType="solid"><fgColor rgb="FF2A68B7"/><bgColor indexed="64"/></patternFill></fill></fills>)"
          R"(<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>)"
          R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>)"
          R"(<cellXfs count="7"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/>)"
          R"(<xf numFmtId="0" fontId="1" fillId="0" borderId="0" applyFont="1"/>)"
          R"(<xf numFmtId="4" fontId="0" fillId="0" borderId="0" applyNumberFormat="1"/>)"
          R"(<xf numFmtId="4" fontId="1" fillId="0" borderId="0" applyNumberFormat="1" applyFont="1"/>)"
          R"(<xf numFmtId="164" fontId="0" fillId="0" borderId="0" applyNumberFormat="1"/>)"
          R"(<xf numFmtId="164" fontId="1" fillId="0" borderId="0" applyNumberFormat="1" applyFont="1"/>)"
          R"(<xf numFmtId="0" fontId="2" fillId="2" borderId="0" applyFont="1" applyFill="1"/></cellXfs>)"
          R"(<cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles></styleSheet>)";
    EXPECT_EQ(stylesXml({}), expected);
}

TEST(XlsxStyles, EachColourAddsARegularAndABoldFontAndFormat)
{
    std::string xml = stylesXml({"FFBD3838", "FF21763C"});
    EXPECT_NE(xml.find(R"(<fonts count="7">)"), std::string::npos);
    EXPECT_NE(xml.find(R"(<font><b/><sz val="11"/><color rgb="FFFFFFFF"/><name val="Calibri"/></font>)"
                       R"(<font><sz val="11"/><color rgb="FFBD3838"/><name val="Calibri"/></font>)"
                       R"(<font><b/><sz val="11"/><color rgb="FFBD3838"/><name val="Calibri"/></font>)"
                       R"(<font><sz val="11"/><color rgb="FF21763C"/><name val="Calibri"/></font>)"
                       R"(<font><b/><sz val="11"/><color rgb="FF21763C"/><name val="Calibri"/></font></fonts>)"),
        std::string::npos);
    EXPECT_NE(xml.find(R"(<cellXfs count="11">)"), std::string::npos);
    EXPECT_NE(xml.find(R"(applyFont="1" applyFill="1"/>)"
                       R"(<xf numFmtId="164" fontId="3" fillId="0" borderId="0" applyNumberFormat="1" applyFont="1"/>)"
                       R"(<xf numFmtId="164" fontId="4" fillId="0" borderId="0" applyNumberFormat="1" applyFont="1"/>)"
                       R"(<xf numFmtId="164" fontId="5" fillId="0" borderId="0" applyNumberFormat="1" applyFont="1"/>)"
                       R"(<xf numFmtId="164" fontId="6" fillId="0" borderId="0" applyNumberFormat="1" applyFont="1"/>)"
                       R"(</cellXfs>)"),
        std::string::npos);
    EXPECT_TRUE(wellFormed(xml));
}

TEST(XlsxWorksheet, MatchesTheFixedText)
{
    std::vector<XlsxRow> rows = {
        {xlsxText("Date", false, true), xlsxText("A & B <c>")},
        {},
        {xlsxNumberCell(3), xlsxMoney(-12.5, true, "FF21763C"), xlsxText("")},
    };
    std::string expected = std::string(kDecl)
        + R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
          R"(<cols><col min="1" max="1" width="12" customWidth="1"/>)"
          R"(<col min="2" max="2" width="40.5" customWidth="1"/>)"
          R"(<col min="3" max="3" width="14" customWidth="1"/></cols>)"
          R"(<sheetData><row r="1">)"
          R"(<c r="A1" t="inlineStr" s="6"><is><t xml:space="preserve">Date</t></is></c>)"
          R"(<c r="B1" t="inlineStr" s="0"><is><t xml:space="preserve">A &amp; B &lt;c&gt;</t></is></c></row>)"
          R"(<row r="2"></row>)"
          R"(<row r="3"><c r="A3" s="2"><v>3</v></c><c r="B3" s="10"><v>-12.5</v></c>)"
          R"(<c r="C3" t="inlineStr" s="0"><is><t xml:space="preserve"></t></is></c></row>)"
          R"(</sheetData></worksheet>)";
    EXPECT_EQ(worksheetXml(rows, {12, 40.5}, {"FFBD3838", "FF21763C"}), expected);
}

TEST(XlsxWorksheet, EmptyRowsHaveNoColumnsAndFarCellsCountLetters)
{
    std::string empty = worksheetXml({{}, {}}, {10}, {});
    EXPECT_EQ(empty.find("<cols>"), std::string::npos);
    EXPECT_NE(empty.find(R"(<sheetData><row r="1"></row><row r="2"></row></sheetData>)"), std::string::npos);

    std::vector<XlsxRow> rows(10);
    rows[9].resize(27);
    std::string far = worksheetXml(rows, {}, {});
    EXPECT_NE(far.find(R"(<c r="AA10" t="inlineStr" s="0">)"), std::string::npos);
    EXPECT_NE(far.find(R"(<col min="27" max="27" width="14" customWidth="1"/></cols>)"), std::string::npos);
}

TEST(XlsxStyle, IndexFollowsKindBoldHeaderAndColourOrder)
{
    const std::vector<std::string> colours = {"FFBD3838", "FF21763C"};
    struct Case {
        XlsxCell cell;
        int32_t style;
    } cases[] = {
        {xlsxText("a"), 0},
        {xlsxText("a", true), 1},
        {xlsxText("a", true, true), 6},
        {xlsxNumberCell(1), 2},
        {xlsxNumberCell(1, true), 3},
        {xlsxMoney(1), 4},
        {xlsxMoney(1, true), 5},
        {xlsxMoney(1, false, "FFBD3838"), 7},
        {xlsxMoney(1, true, "FFBD3838"), 8},
        {xlsxMoney(1, false, "FF21763C"), 9},
        {xlsxMoney(1, true, "FF21763C"), 10},
        {xlsxMoney(1, false, "FF000000"), 4},
        {XlsxCell{}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(xlsxStyleIndex(c.cell, colours), c.style) << c.cell.text << c.cell.colour;
}

TEST(XlsxWorkbook, ColoursAreCountedInOrderOfFirstAppearanceAcrossSheets)
{
    XlsxSheet a{"A", {{xlsxMoney(1), xlsxText("x")}, {xlsxMoney(-1, false, "FFBD3838")}}, {}};
    XlsxSheet b{"B",
        {{xlsxMoney(2, true, "FF21763C"), xlsxMoney(3, false, "FFBD3838")},
            {xlsxText("FF000000"), xlsxMoney(4, false, "FF0000FF")}},
        {}};
    EXPECT_EQ(xlsxColours({a, b}), (std::vector<std::string>{"FFBD3838", "FF21763C", "FF0000FF"}));
    EXPECT_TRUE(xlsxColours({XlsxSheet{"E", {{xlsxMoney(1)}}, {}}}).empty());
}

TEST(XlsxWorkbook, PackageHoldsTheFixedPartsInOrder)
{
    XlsxSheet first{"A&B", {{xlsxMoney(5, false, "FF21763C")}}, {}};
    XlsxSheet second{"Empty", {}, {}};
    auto p = parts({first, second});
    std::vector<std::string> names = memberNames(writeXlsx({first, second}));
    EXPECT_EQ(names,
        (std::vector<std::string>{"xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml", "[Content_Types].xml",
            "_rels/.rels", "xl/workbook.xml", "xl/_rels/workbook.xml.rels", "xl/styles.xml"}));
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    EXPECT_EQ(p["xl/workbook.xml"],
        std::string(kDecl) + R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r=")"
            + rel
            + R"("><sheets><sheet name="A&amp;B" sheetId="1" r:id="rId1"/>)"
              R"(<sheet name="Empty" sheetId="2" r:id="rId2"/></sheets></workbook>)");
    EXPECT_EQ(p["xl/_rels/workbook.xml.rels"],
        std::string(kDecl)
            + R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
              R"(<Relationship Id="rIdS" Type=")"
            + rel
            + R"(/styles" Target="styles.xml"/>)"
              R"(<Relationship Id="rId1" Type=")"
            + rel
            + R"(/worksheet" Target="worksheets/sheet1.xml"/>)"
              R"(<Relationship Id="rId2" Type=")"
            + rel
            + R"(/worksheet" Target="worksheets/sheet2.xml"/>)"
              R"(</Relationships>)");
    EXPECT_EQ(p["_rels/.rels"],
        std::string(kDecl)
            + R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
              R"(<Relationship Id="rId1" Type=")"
            + rel
            + R"(/officeDocument" Target="xl/workbook.xml"/>)"
              R"(</Relationships>)");
    const std::string ws = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
    EXPECT_EQ(p["[Content_Types].xml"],
        std::string(kDecl)
            + R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
              R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
              R"(<Default Extension="xml" ContentType="application/xml"/>)"
              R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
              R"(<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>)"
              R"(<Override PartName="/xl/worksheets/sheet1.xml" ContentType=")"
            + ws
            + R"("/>)"
              R"(<Override PartName="/xl/worksheets/sheet2.xml" ContentType=")"
            + ws
            + R"("/>)"
              R"(</Types>)");
    EXPECT_EQ(p["xl/styles.xml"], stylesXml({"FF21763C"}));
    EXPECT_NE(p["xl/worksheets/sheet1.xml"].find(R"(<c r="A1" s="7"><v>5</v></c>)"), std::string::npos);
    EXPECT_EQ(p["xl/worksheets/sheet2.xml"],
        std::string(kDecl)
            + R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData></sheetData></worksheet>)");
    for (const auto& [name, xml] : p) {
        EXPECT_TRUE(wellFormed(xml)) << name;
        EXPECT_EQ(xml.find('\n'), std::string::npos) << name;
    }
}

TEST(XlsxText, ControlBytesAndBadUtf8StillGiveWellFormedParts)
{
    std::string nasty;
    for (int c = 1; c < 0x20; ++c)
        nasty += char(c);
    nasty += "\xC3(\xFF\xEF\xBF\xBE\xEF\xBF\xBF\xED\xA0\x80 ok";
    XlsxSheet sheet{"\x01" + nasty.substr(nasty.size() - 20), {{xlsxText(nasty), xlsxText("\x01", false, true)}}, {}};
    auto p = parts({sheet});
    for (const auto& [name, xml] : p)
        EXPECT_TRUE(wellFormed(xml)) << name;

    pugi::xml_document doc;
    const std::string& ws = p["xl/worksheets/sheet1.xml"];
    ASSERT_TRUE(doc.load_buffer(ws.data(), ws.size()));
    std::string text = doc.select_node("//c[@r='A1']/is/t").node().text().get();
    // Tab, line feed and the carriage return (kept by its reference) survive;
    // each ill-formed sequence becomes one U+FFFD; noncharacters go.
    EXPECT_EQ(text, "\t\n\r\xEF\xBF\xBD(\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD ok");
    EXPECT_STREQ(doc.select_node("//c[@r='B1']/is/t").node().text().get(), "");
}

TEST(XlsxWorkbook, SheetNamesThatSpreadsheetsRefuseAreRefused)
{
    const std::string thirtyOne(31, 'n');
    // Sixteen emoji are 32 UTF-16 units; thirty-one accented letters are 31.
    std::string emoji, accented;
    for (int i = 0; i < 16; ++i)
        emoji += "\xF0\x9F\x98\x80";
    for (int i = 0; i < 31; ++i)
        accented += "\xC3\xA9";
    const struct {
        std::vector<std::string> names;
        bool ok;
    } cases[] = {
        {{"Report", "Summary & <Totals>", "Quotes \"'"}, true},
        {{thirtyOne}, true},
        {{accented}, true},
        {{""}, false},
        {{"\x01\x02"}, false},  // nothing left once cleaned
        {{thirtyOne + "n"}, false},
        {{emoji}, false},
        {{"Report", "report"}, false},
        {{"\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\xA9"}, false},
        {{"a[b"}, false},
        {{"a]b"}, false},
        {{"a:b"}, false},
        {{"a*b"}, false},
        {{"a?b"}, false},
        {{"a/b"}, false},
        {{"a\\b"}, false},
    };
    for (const auto& c : cases) {
        std::vector<XlsxSheet> sheets;
        for (const std::string& name : c.names)
            sheets.push_back(XlsxSheet{name, {{xlsxText("x")}}, {}});
        if (c.ok) {
            EXPECT_NO_THROW(writeXlsx(sheets)) << c.names.back();
            continue;
        }
        try {
            writeXlsx(sheets);
            ADD_FAILURE() << "accepted " << c.names.back();
        } catch (const ValueError& e) {
            // The message names the sheet it refuses.
            if (!c.names.back().empty() && c.names.back()[0] != '\x01') {
                EXPECT_NE(std::string(e.what()).find(c.names.back()), std::string::npos) << e.what();
            }
        }
    }
}
