#pragma once
// Reading bank statements (OFX or QFX, SGML or XML) into rows that the import
// wizard reviews. The reader is a forgiving tag scanner: statements from
// banks are often malformed, and a broken file yields the rows it can rather
// than a failure.
#include "core/errors.h"
#include "model/dates.h"

#include <cstddef>
#include <cstdint>
#include <memory>
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

// A row's status as one byte; importStatusText gives its text.
enum ImportStatus : uint8_t { importNew = 0, importPossibleDuplicate = 1, importDuplicate = 2 };
std::string_view importStatusText(ImportStatus status);

// What the duplicate and series passes and the wizard's choices add to a row.
// Most rows of a large statement never get any of it, so it is kept apart
// and made on first write (see more()).
struct ImportRowMore {
    int64_t matchedId = 0;  // 0 = no match
    std::string matchedDescription;
    std::string suggestedPeriod;
    std::string suggestedLabel;
    // The user's choices in the wizard.
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

// One statement transaction. A statement may hold a million of them, so a
// row keeps only what every row has inline: about 100 bytes.
struct ImportRow {
    Date date;
    int32_t recurringGroup = -1;  // -1 = no series
    double amount = 0;            // negative is money out
    std::string description;
    std::string fitId;
    std::unique_ptr<ImportRowMore> extra;  // null until more() writes
    ImportStatus status = importNew;
    bool isRecurring = false;
    bool selected = true;  // the user's choice in the wizard

    ImportRow() = default;
    ImportRow(ImportRow&&) = default;
    ImportRow& operator=(ImportRow&&) = default;
    ImportRow(const ImportRow& other);
    ImportRow& operator=(const ImportRow& other);
};

// The row's extra fields, made empty on first use.
ImportRowMore& more(ImportRow& row);
// The row's extra fields, or a shared empty set when it has none.
const ImportRowMore& more(const ImportRow& row);

// A statement past the bounds below; parseOfx refuses it whole.
struct StatementTooLarge : ValueError {
    using ValueError::ValueError;
};
inline constexpr size_t kMaxStatementBytes = size_t(64) << 20;
inline constexpr size_t kMaxStatementTransactions = 1000000;

// The bytes a statement's rows take in memory: the list and every text's
// own storage.
size_t importRowBytes(const std::vector<ImportRow>& rows);

// Every statement transaction with a posting date, sorted by date (file order
// within a day). Texts are valid UTF-8 (a file that is not is read as
// Windows-1252) and amounts are finite and below 1e12 in magnitude. The only
// failure is StatementTooLarge, for a text over kMaxStatementBytes or with
// more than kMaxStatementTransactions transactions; otherwise the rows take
// at most four times the text's size (importRowBytes).
std::vector<ImportRow> parseOfx(std::string_view text);

// The date of the first eight characters (YYYYMMDD) of an OFX date-time;
// whatever follows them is ignored.
std::optional<Date> parseOfxDate(std::string_view text);

// The five predefined XML entities decoded in one pass; anything else stays.
std::string unescapeXmlEntities(std::string_view text);

}  // namespace qm
