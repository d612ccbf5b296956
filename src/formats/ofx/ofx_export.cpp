#include "formats/ofx/ofx_export.h"

#include "core/portable_text.h"
#include "formats/export_text.h"
#include "model/money.h"
#include "model/occurrences.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace qm {

namespace {

std::string ofxDate(Date d)
{
    std::string out;
    appendCompactDate(out, d);
    return out;
}

std::vector<OfxExportEntry> collectEntries(const Budget& budget, Date first, Date last)
{
    std::vector<OfxExportEntry> entries;
    AdjustmentIndex index = indexAdjustments(budget.transaction_adjustments, first, last);
    std::vector<Occurrence> occurrences;
    for (const Transaction& t : budget.transactions) {
        expandIndexed(t, index, occurrences);
        for (const Occurrence& o : occurrences)
            entries.push_back({o.date, o.amount, t.description});
    }
    std::stable_sort(entries.begin(), entries.end(),
        [](const OfxExportEntry& a, const OfxExportEntry& b) { return dateLess(a.date, b.date); });
    return entries;
}

}  // namespace

std::string escapeXmlText(std::string_view text)
{
    std::string clean = portableText(text);
    // Readers take a statement line by line, so a break inside an element
    // would split a transaction's fixed layout.
    std::string flat;
    flat.reserve(clean.size());
    for (size_t i = 0; i < clean.size(); ++i) {
        const char c = clean[i];
        if (c == '\r' || c == '\n' || c == '\t') {
            flat += ' ';
            if (c == '\r' && i + 1 < clean.size() && clean[i + 1] == '\n')
                ++i;
        } else if (clean.compare(i, 2, "\xC2\x85") == 0 || clean.compare(i, 3, "\xE2\x80\xA8") == 0
            || clean.compare(i, 3, "\xE2\x80\xA9") == 0) {
            // NEL, LINE SEPARATOR, PARAGRAPH SEPARATOR
            flat += ' ';
            i += clean[i] == '\xC2' ? 1 : 2;
        } else {
            flat += c;
        }
    }
    std::string out;
    out.reserve(flat.size());
    appendXmlEscaped(out, flat, false);
    return out;
}

std::string ofxAmount(double amount)
{
    if (!std::isfinite(amount))
        return "0.00";
    // The sign follows the rounded cents, so -0 and -0.001 are plain 0.00.
    std::string text = roundCentsCount(amount) < 0 ? "-" : "";
    appendExactAmount(text, amount, false);
    return text;
}

std::string writeOfx(const Budget& budget, Date first, Date last, std::string_view serverTime)
{
    const std::vector<OfxExportEntry> entries = collectEntries(budget, first, last);
    std::string out;
    out.reserve(1200 + entries.size() * 260);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<?OFX OFXHEADER=\"200\" VERSION=\"220\" SECURITY=\"NONE\" OLDFILEUID=\"NONE\" NEWFILEUID=\"NONE\"?>\n"
           "<OFX>\n"
           "  <SIGNONMSGSRSV1>\n"
           "    <SONRS>\n"
           "      <STATUS><CODE>0</CODE><SEVERITY>INFO</SEVERITY></STATUS>\n"
           "      <DTSERVER>";
    // The time is the caller's; only ASCII digits belong there.
    out += serverTime.empty() ? std::string("20000101000000") : escapeXmlText(serverTime);
    out += "</DTSERVER>\n"
           "      <LANGUAGE>ENG</LANGUAGE>\n"
           "    </SONRS>\n"
           "  </SIGNONMSGSRSV1>\n"
           "  <BANKMSGSRSV1>\n"
           "    <STMTTRNRS>\n"
           "      <TRNUID>1001</TRNUID>\n"
           "      <STATUS><CODE>0</CODE><SEVERITY>INFO</SEVERITY></STATUS>\n"
           "      <STMTRS>\n"
           "        <CURDEF>USD</CURDEF>\n"
           "        <BANKACCTFROM>\n"
           "          <BANKID>000000000</BANKID>\n"
           "          <ACCTID>Quenmark</ACCTID>\n"
           "          <ACCTTYPE>CHECKING</ACCTTYPE>\n"
           "        </BANKACCTFROM>\n"
           "        <BANKTRANLIST>\n"
           "          <DTSTART>";
    out += ofxDate(first);
    out += "</DTSTART>\n          <DTEND>";
    out += ofxDate(last);
    out += "</DTEND>\n";
    size_t number = 0;
    for (const OfxExportEntry& e : entries) {
        out += "          <STMTTRN>\n            <TRNTYPE>";
        out += e.amount < 0 ? "DEBIT" : "CREDIT";
        out += "</TRNTYPE>\n            <DTPOSTED>";
        out += ofxDate(e.date);
        out += "</DTPOSTED>\n            <TRNAMT>";
        out += ofxAmount(e.amount);
        out += "</TRNAMT>\n            <FITID>";
        out += std::to_string(++number);
        out += "</FITID>\n            <NAME>";
        out += escapeXmlText(e.description);
        out += "</NAME>\n          </STMTTRN>\n";
    }
    out += "        </BANKTRANLIST>\n"
           "      </STMTRS>\n"
           "    </STMTTRNRS>\n"
           "  </BANKMSGSRSV1>\n"
           "</OFX>";
    return out;
}

}  // namespace qm
