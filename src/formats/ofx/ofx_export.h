#pragma once
// The plan of a date range as an OFX 2.2 bank statement of one checking
// account, so that other finance programs read it like a bank's statement.
#include "model/budget.h"
#include "model/dates.h"

#include <string>
#include <string_view>

namespace qm {

// One exported occurrence.
struct OfxExportEntry {
    Date date;
    double amount = 0;  // the occurrence's, adjusted where an adjustment sets it
    std::string description;
};

// Every occurrence of every transaction from first to last (both included),
// by date, one STMTTRN each. serverTime is 14 digits yyyyMMddHHmmss; empty
// gives 20000101000000. Lines are joined by "\n", with none after the last.
std::string writeOfx(const Budget& budget, Date first, Date last, std::string_view serverTime);

// & < > " ' as entities. Text that XML cannot hold (see portableText) is
// cleaned first, and every line break (CR LF, CR, LF, NEL, U+2028, U+2029)
// and tab becomes one space, so each element stays on its line.
std::string escapeXmlText(std::string_view text);

// Two decimals, "-" for negative amounts, no grouping; -0 and values that
// are not finite give 0.00. Amounts past whole cents in 64 bits keep their
// exact digits.
std::string ofxAmount(double amount);

}  // namespace qm
