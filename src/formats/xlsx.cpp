#include "formats/xlsx.h"

#include "codecs/archive/zip_writer.h"
#include "core/errors.h"
#include "core/portable_text.h"
#include "core/unicode.h"
#include "formats/export_text.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <string_view>

namespace qm {

namespace {

constexpr std::string_view kXmlDecl = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";
constexpr std::string_view kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::string_view kPackageRelNs = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr std::string_view kContentTypesNs = "http://schemas.openxmlformats.org/package/2006/content-types";
constexpr std::string_view kWorksheetType = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
constexpr double kDefaultWidth = 14;

void appendEscaped(std::string& out, std::string_view text) { appendXmlEscaped(out, text, true); }

void appendText(std::string& out, std::string_view text)
{
    if (isPortableText(text))
        appendEscaped(out, text);
    else
        appendEscaped(out, portableText(text));
}

void appendNumber(std::string& out, double value) { appendTrimmedDecimal(out, value, 6); }

void appendInt(std::string& out, int64_t n)
{
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, n);
    out.append(buf, end);
}

void appendColumnLetters(std::string& out, int32_t index)
{
    char buf[8];
    char* p = buf + sizeof buf;
    int64_t i = index < 0 ? 0 : index;
    for (;;) {
        *--p = char('A' + i % 26);
        if (i < 26)
            break;
        i = i / 26 - 1;
    }
    out.append(p, buf + sizeof buf);
}

int32_t colourIndex(const std::vector<std::string>& colours, const std::string& colour)
{
    for (size_t j = 0; j < colours.size(); ++j)
        if (colours[j] == colour)
            return int32_t(j);
    return -1;
}

std::vector<uint8_t> bytesOf(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

}  // namespace

XlsxCell xlsxText(std::string text, bool bold, bool header)
{
    XlsxCell c;
    c.kind = xcText;
    c.text = std::move(text);
    c.bold = bold;
    c.header = header;
    return c;
}

XlsxCell xlsxNumberCell(double value, bool bold)
{
    XlsxCell c;
    c.kind = xcNumber;
    c.value = value;
    c.bold = bold;
    return c;
}

XlsxCell xlsxMoney(double value, bool bold, std::string colour)
{
    XlsxCell c;
    c.kind = xcMoney;
    c.value = value;
    c.bold = bold;
    c.colour = std::move(colour);
    return c;
}

std::string xlsxNumber(double value)
{
    std::string out;
    appendNumber(out, value);
    return out;
}

std::string columnLetters(int32_t index)
{
    std::string out;
    appendColumnLetters(out, index);
    return out;
}

std::vector<std::string> xlsxColours(const std::vector<XlsxSheet>& sheets)
{
    std::vector<std::string> colours;
    for (const XlsxSheet& sheet : sheets)
        for (const XlsxRow& row : sheet.rows)
            for (const XlsxCell& cell : row)
                if (cell.kind == xcMoney && !cell.colour.empty() && colourIndex(colours, cell.colour) < 0)
                    colours.push_back(cell.colour);
    return colours;
}

int32_t xlsxStyleIndex(const XlsxCell& cell, const std::vector<std::string>& colours)
{
    int32_t bold = cell.bold ? 1 : 0;
    switch (cell.kind) {
    case xcNumber:
        return 2 + bold;
    case xcMoney: {
        int32_t j = cell.colour.empty() ? -1 : colourIndex(colours, cell.colour);
        return (j >= 0 ? 7 + 2 * j : 4) + bold;
    }
    default:
        return cell.header ? 6 : bold;
    }
}

std::string worksheetXml(
    const std::vector<XlsxRow>& rows, const std::vector<double>& widths, const std::vector<std::string>& colours)
{
    std::string out;
    size_t cells = 0;
    size_t columns = 0;
    for (const XlsxRow& row : rows) {
        cells += row.size();
        columns = std::max(columns, row.size());
    }
    out.reserve(256 + rows.size() * 16 + cells * 48);
    out += kXmlDecl;
    out += "<worksheet xmlns=\"";
    out += kMainNs;
    out += "\">";
    if (columns > 0) {
        out += "<cols>";
        for (size_t i = 1; i <= columns; ++i) {
            out += "<col min=\"";
            appendInt(out, int64_t(i));
            out += "\" max=\"";
            appendInt(out, int64_t(i));
            out += "\" width=\"";
            appendNumber(out, i <= widths.size() ? widths[i - 1] : kDefaultWidth);
            out += "\" customWidth=\"1\"/>";
        }
        out += "</cols>";
    }
    out += "<sheetData>";
    // The last colour looked up is usually the next one asked for.
    const std::string* lastColour = nullptr;
    int32_t lastIndex = -1;
    for (size_t r = 0; r < rows.size(); ++r) {
        const int64_t rowNumber = int64_t(r) + 1;
        out += "<row r=\"";
        appendInt(out, rowNumber);
        out += "\">";
        const XlsxRow& row = rows[r];
        for (size_t col = 0; col < row.size(); ++col) {
            const XlsxCell& cell = row[col];
            out += "<c r=\"";
            appendColumnLetters(out, int32_t(std::min<size_t>(col, INT32_MAX)));
            appendInt(out, rowNumber);
            int32_t style;
            if (cell.kind == xcMoney && !cell.colour.empty()) {
                if (!lastColour || *lastColour != cell.colour) {
                    lastColour = &cell.colour;
                    lastIndex = colourIndex(colours, cell.colour);
                }
                style = (lastIndex >= 0 ? 7 + 2 * lastIndex : 4) + (cell.bold ? 1 : 0);
            } else {
                style = xlsxStyleIndex(cell, colours);
            }
            if (cell.kind == xcNumber || cell.kind == xcMoney) {
                out += "\" s=\"";
                appendInt(out, style);
                out += "\"><v>";
                appendNumber(out, cell.value);
                out += "</v></c>";
            } else {
                out += "\" t=\"inlineStr\" s=\"";
                appendInt(out, style);
                out += "\"><is><t xml:space=\"preserve\">";
                appendText(out, cell.text);
                out += "</t></is></c>";
            }
        }
        out += "</row>";
    }
    out += "</sheetData></worksheet>";
    return out;
}

std::string stylesXml(const std::vector<std::string>& colours)
{
    const int64_t n = int64_t(colours.size());
    std::string out;
    out += kXmlDecl;
    out += "<styleSheet xmlns=\"";
    out += kMainNs;
    out += "\">";
    out += "<numFmts count=\"1\"><numFmt numFmtId=\"164\" "
           "formatCode=\"&quot;$&quot;#,##0.00;[Red]\\-&quot;$&quot;#,##0.00\"/></numFmts>";
    out += "<fonts count=\"";
    appendInt(out, 3 + 2 * n);
    out += "\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font>"
           "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/></font>"
           "<font><b/><sz val=\"11\"/><color rgb=\"FFFFFFFF\"/><name val=\"Calibri\"/></font>";
    for (const std::string& colour : colours) {
        for (int bold = 0; bold < 2; ++bold) {
            out += bold ? "<font><b/>" : "<font>";
            out += "<sz val=\"11\"/><color rgb=\"";
            appendText(out, colour);
            out += "\"/><name val=\"Calibri\"/></font>";
        }
    }
    out += "</fonts>";
    out += "<fills count=\"3\"><fill><patternFill patternType=\"none\"/></fill>"
           "<fill><patternFill patternType=\"gray125\"/></fill>"
           "<fill><patternFill patternType=\"solid\"><fgColor rgb=\"FF2A68B7\"/><bgColor indexed=\"64\"/>"
           "</patternFill></fill></fills>";
    out += "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>";
    out += "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>";
    out += "<cellXfs count=\"";
    appendInt(out, 7 + 2 * n);
    out += "\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
           "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" applyFont=\"1\"/>"
           "<xf numFmtId=\"4\" fontId=\"0\" fillId=\"0\" borderId=\"0\" applyNumberFormat=\"1\"/>"
           "<xf numFmtId=\"4\" fontId=\"1\" fillId=\"0\" borderId=\"0\" applyNumberFormat=\"1\" applyFont=\"1\"/>"
           "<xf numFmtId=\"164\" fontId=\"0\" fillId=\"0\" borderId=\"0\" applyNumberFormat=\"1\"/>"
           "<xf numFmtId=\"164\" fontId=\"1\" fillId=\"0\" borderId=\"0\" applyNumberFormat=\"1\" applyFont=\"1\"/>"
           "<xf numFmtId=\"0\" fontId=\"2\" fillId=\"2\" borderId=\"0\" applyFont=\"1\" applyFill=\"1\"/>";
    for (int64_t j = 0; j < 2 * n; ++j) {
        out += "<xf numFmtId=\"164\" fontId=\"";
        appendInt(out, 3 + j);
        out += "\" fillId=\"0\" borderId=\"0\" applyNumberFormat=\"1\" applyFont=\"1\"/>";
    }
    out += "</cellXfs>";
    out += "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>";
    out += "</styleSheet>";
    return out;
}

void checkSheetNames(const std::vector<XlsxSheet>& sheets)
{
    std::vector<std::string> seen;
    seen.reserve(sheets.size());
    for (const XlsxSheet& sheet : sheets) {
        // Judged as written: the text after cleaning.
        const std::string name = portableText(sheet.name);
        const std::string quoted = "\"" + name + "\"";
        if (name.empty())
            throw ValueError("A sheet has no name");
        // Spreadsheet programs count the limit in UTF-16 units.
        size_t units = 0;
        forEachLenientCodePoint(name, [&](uint32_t cp) { units += cp >= 0x10000 ? 2 : 1; });
        if (units > kXlsxMaxSheetName)
            throw ValueError("The sheet name " + quoted + " is longer than 31 characters");
        if (name.find_first_of("[]:*?/\\") != std::string::npos)
            throw ValueError("The sheet name " + quoted + " holds one of [ ] : * ? / \\");
        std::string folded = lowerCaseUtf8(name);
        if (std::find(seen.begin(), seen.end(), folded) != seen.end())
            throw ValueError("The sheet name " + quoted + " is used twice");
        seen.push_back(std::move(folded));
    }
}

std::vector<uint8_t> writeXlsx(const std::vector<XlsxSheet>& sheets)
{
    checkSheetNames(sheets);
    const std::vector<std::string> colours = xlsxColours(sheets);
    std::vector<ZipEntry> entries;
    entries.reserve(sheets.size() + 5);

    std::string types;
    types += kXmlDecl;
    types += "<Types xmlns=\"";
    types += kContentTypesNs;
    types += "\"><Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
             "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
             "<Override PartName=\"/xl/workbook.xml\" "
             "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
             "<Override PartName=\"/xl/styles.xml\" "
             "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>";

    std::string workbook;
    workbook += kXmlDecl;
    workbook += "<workbook xmlns=\"";
    workbook += kMainNs;
    workbook += "\" xmlns:r=\"";
    workbook += kRelNs;
    workbook += "\"><sheets>";

    std::string rels;
    rels += kXmlDecl;
    rels += "<Relationships xmlns=\"";
    rels += kPackageRelNs;
    rels += "\"><Relationship Id=\"rIdS\" Type=\"";
    rels += kRelNs;
    rels += "/styles\" Target=\"styles.xml\"/>";

    for (size_t k = 0; k < sheets.size(); ++k) {
        const std::string i = std::to_string(k + 1);
        types += "<Override PartName=\"/xl/worksheets/sheet" + i + ".xml\" ContentType=\"";
        types += kWorksheetType;
        types += "\"/>";
        workbook += "<sheet name=\"";
        appendText(workbook, sheets[k].name);
        workbook += "\" sheetId=\"" + i + "\" r:id=\"rId" + i + "\"/>";
        rels += "<Relationship Id=\"rId" + i + "\" Type=\"";
        rels += kRelNs;
        rels += "/worksheet\" Target=\"worksheets/sheet" + i + ".xml\"/>";
        entries.push_back(
            {"xl/worksheets/sheet" + i + ".xml", bytesOf(worksheetXml(sheets[k].rows, sheets[k].widths, colours))});
    }
    types += "</Types>";
    workbook += "</sheets></workbook>";
    rels += "</Relationships>";

    std::string rootRels;
    rootRels += kXmlDecl;
    rootRels += "<Relationships xmlns=\"";
    rootRels += kPackageRelNs;
    rootRels += "\"><Relationship Id=\"rId1\" Type=\"";
    rootRels += kRelNs;
    rootRels += "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";

    entries.push_back({"[Content_Types].xml", bytesOf(types)});
    entries.push_back({"_rels/.rels", bytesOf(rootRels)});
    entries.push_back({"xl/workbook.xml", bytesOf(workbook)});
    entries.push_back({"xl/_rels/workbook.xml.rels", bytesOf(rels)});
    entries.push_back({"xl/styles.xml", bytesOf(stylesXml(colours))});
    return zipFiles(entries, 6);
}

}  // namespace qm
