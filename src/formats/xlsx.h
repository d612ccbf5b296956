#pragma once
// A small writer of spreadsheet packages (.xlsx): worksheets of text, plain
// number and money cells with column widths, one fixed set of cell styles plus
// two per money colour. No shared strings, formulas, dates or merged cells.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qm {

enum XlsxCellKind : uint8_t { xcText = 0, xcNumber = 1, xcMoney = 2 };

// A value-initialised cell is an empty text cell.
struct XlsxCell {
    uint8_t kind = xcText;
    std::string text;  // xcText
    double value = 0;  // xcNumber, xcMoney
    bool bold = false;
    bool header = false;  // white bold on blue; text cells only
    std::string colour;   // xcMoney font colour, ARGB hex ("FFBD3838"); empty for none
};

using XlsxRow = std::vector<XlsxCell>;

struct XlsxSheet {
    std::string name;
    std::vector<XlsxRow> rows;   // a row may be empty
    std::vector<double> widths;  // column i in character units; missing ones are 14
};

XlsxCell xlsxText(std::string text, bool bold = false, bool header = false);
XlsxCell xlsxNumberCell(double value, bool bold = false);
XlsxCell xlsxMoney(double value, bool bold = false, std::string colour = {});

// Fixed notation with at most six decimals and no trailing zeros: 1234.5,
// 28, 0.123457. A value that is not finite is written as 0.
std::string xlsxNumber(double value);
// 0 is A, 25 Z, 26 AA, 701 ZZ, 702 AAA.
std::string columnLetters(int32_t index);

// The distinct non-empty colours of the money cells, sheets then rows then
// cells, in order of first appearance. Colour j is styled 7 + 2j (8 + 2j bold).
std::vector<std::string> xlsxColours(const std::vector<XlsxSheet>& sheets);

// The cell style index of a cell under that colour list.
int32_t xlsxStyleIndex(const XlsxCell& cell, const std::vector<std::string>& colours);

std::string worksheetXml(
    const std::vector<XlsxRow>& rows, const std::vector<double>& widths, const std::vector<std::string>& colours);
std::string stylesXml(const std::vector<std::string>& colours);

inline constexpr size_t kXlsxMaxSheetName = 31;

// Raises ValueError, naming the sheet, when a name (as written, after
// cleaning) is empty, longer than 31 UTF-16 units, holds a bracket, colon,
// star, question mark or either slash, or repeats an earlier one ignoring
// case: spreadsheet programs refuse to open such a workbook.
void checkSheetNames(const std::vector<XlsxSheet>& sheets);

// The whole package. Raises ValueError for sheet names checkSheetNames
// refuses, and when the zip format cannot hold the package (an archive of
// 4 GiB or more).
std::vector<uint8_t> writeXlsx(const std::vector<XlsxSheet>& sheets);

}  // namespace qm
