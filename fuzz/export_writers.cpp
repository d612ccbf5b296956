// Arbitrary descriptions, category and account names, sheet names and
// calendar labels through the three export writers. Every XML part must stay
// well-formed (pugixml parses it) and every iCalendar line must stay within 75
// bytes, be UTF-8 on its own and end in CR LF.
#include "codecs/archive/zip.h"
#include "core/errors.h"
#include "core/utf8.h"
#include "formats/icalendar.h"
#include "formats/ofx/ofx_export.h"
#include "formats/xlsx.h"

#include <pugixml.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace {

void requireWellFormed(std::string_view xml)
{
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8))
        __builtin_trap();
}

void requireCalendarLines(const std::string& text)
{
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0)
        __builtin_trap();
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find("\r\n", at);
        std::string_view line(text.data() + at, end - at);
        if (line.size() > 75 || !qm::isValidUtf8(line) || line.find_first_of("\r\n") != std::string_view::npos)
            __builtin_trap();
        at = end + 2;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Pieces separated by 0xFE 0xFE (a pair no UTF-8 text holds).
    std::vector<std::string> pieces;
    std::string_view in(reinterpret_cast<const char*>(data), size);
    for (;;) {
        size_t cut = in.find("\xFE\xFE");
        pieces.emplace_back(in.substr(0, cut));
        if (cut == std::string_view::npos || pieces.size() == 8)
            break;
        in.remove_prefix(cut + 2);
    }
    auto piece = [&](size_t i) -> const std::string& { return pieces[i % pieces.size()]; };

    qm::Budget budget;
    for (size_t i = 0; i < 3; ++i) {
        qm::Transaction t;
        t.id = int64_t(i) - 1;
        t.start_date = qm::date(2024, 2, int32_t(1 + i * 9));
        t.amount = i == 1 ? 0.0 : -1234.5 + double(i) * 2000;
        t.description = piece(i);
        t.category = piece(i + 3);
        t.account = piece(i + 5);
        t.is_recurring = i == 0;
        t.recurring_period = i == 0 ? "nth_1_weeks" : "";
        budget.transactions.push_back(t);
    }
    const qm::Date first = qm::date(2024, 2, 1), last = qm::date(2024, 2, 29);

    requireWellFormed(qm::writeOfx(budget, first, last, piece(4)));
    requireCalendarLines(qm::writeICalendar(budget, first, last, piece(3), qm::kCalendarDomain, [] { return 0; }));
    requireCalendarLines(qm::foldICalLine(qm::escapeICalText(piece(0))) + "\r\n");

    qm::XlsxSheet sheet;
    sheet.name = piece(1);
    try {
        qm::checkSheetNames({sheet});
    } catch (const qm::ValueError&) {
        sheet.name = "Sheet";  // refused as spreadsheets would; the cells still get fuzzed
    }
    sheet.widths = {12.5};
    for (size_t i = 0; i < pieces.size(); ++i)
        sheet.rows.push_back({qm::xlsxText(pieces[i], i % 2 == 1, i % 3 == 2), qm::xlsxMoney(-1, false, piece(i + 1)),
            qm::xlsxNumberCell(double(i) / 7)});
    for (const auto& [name, part] : qm::unzipBytes(qm::writeXlsx({sheet})))
        requireWellFormed(std::string_view(reinterpret_cast<const char*>(part.data()), part.size()));
    return 0;
}
