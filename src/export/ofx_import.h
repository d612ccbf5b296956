#pragma once
// Reading bank statements (OFX or QFX, SGML or XML) into rows that the import
// wizard reviews. The reader is a forgiving tag scanner: statements from
// banks are often malformed, and a broken file yields the rows it can rather
// than a failure.
#include "model/dates.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The texts of ImportRow::status.
namespace ImportRowStatus {
inline constexpr std::string_view statusNew = "new";
inline constexpr std::string_view statusPossibleDuplicate = "possible_duplicate";
inline constexpr std::string_view statusDuplicate = "duplicate";
}  // namespace ImportRowStatus

struct ImportRow {
    Date date;
    std::string description;
    double amount = 0;  // negative is money out
    std::string fitId;
    std::string status = std::string(ImportRowStatus::statusNew);
    int64_t matchedId = 0;  // 0 = no match
    std::string matchedDescription;
    int32_t recurringGroup = -1;  // -1 = no series
    std::string suggestedPeriod;
    std::string suggestedLabel;
    bool isRecurring = false;
    // The user's choices in the wizard.
    bool selected = true;
    std::string category;
    std::string account;
    int64_t iconId = 0;
    bool makeRecurring = false;
    std::string recurringPeriod;
    bool payOnBusinessDay = false;
    bool payEarly = false;
    bool hasEndDate = false;
    Date endDate;
};

// Every statement transaction with a posting date, sorted by date (file order
// within a day). Never fails; texts are valid UTF-8 (a file that is not is
// read as Windows-1252) and amounts are finite and below 1e12 in magnitude.
std::vector<ImportRow> parseOfx(std::string_view text);

// The date of the first eight characters (YYYYMMDD) of an OFX date-time;
// whatever follows them is ignored.
std::optional<Date> parseOfxDate(std::string_view text);

// The five predefined XML entities decoded in one pass; anything else stays.
std::string unescapeXmlEntities(std::string_view text);

}  // namespace qm
