#include "formats/icalendar.h"

#include "core/portable_text.h"
#include "formats/export_text.h"
#include "model/money.h"
#include "model/occurrences.h"

#include <chrono>
#include <cmath>
#include <vector>

namespace qm {

namespace {

constexpr size_t kMaxLineBytes = 75;

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Appends the line folded, each physical line ended by CR LF.
void appendFolded(std::string& out, std::string_view line)
{
    size_t room = kMaxLineBytes;
    for (;;) {
        if (line.size() <= room) {
            out += line;
            out += "\r\n";
            return;
        }
        // Back up to the start of the character that would be cut; a
        // character has at most four bytes, so text that is not UTF-8 is cut
        // where the room ends.
        size_t cut = room;
        while (cut > room - 3 && isContinuationByte(line[cut]))
            --cut;
        if (isContinuationByte(line[cut]))
            cut = room;
        out += line.substr(0, cut);
        out += "\r\n ";
        line.remove_prefix(cut);
        room = kMaxLineBytes - 1;
    }
}

std::string detailText(const Transaction& t, const Occurrence& o)
{
    std::string text = "Amount: ";
    text += o.amount > 0 ? "\U0001F4B0 " : "\U0001F4B8 ";
    text += '$';
    appendExactAmount(text, o.amount, true);
    text += o.is_paid ? "\nStatus: \u2705 Paid" : "\nStatus: \u23F3 Pending";
    if (!t.category.empty())
        text += "\nCategory: " + t.category;
    if (!t.account.empty())
        text += "\nAccount: " + t.account;
    if (t.is_recurring)
        text += "\nRecurring Transaction";
    return text;
}

}  // namespace

int64_t systemSeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

ExportWindow calendarExportWindow(Date today)
{
    Date month = firstOfMonth(today.year, today.month);
    return {addMonths(month, -3), lastDayOfMonth(addMonths(month, 3))};
}

std::string escapeICalText(std::string_view text)
{
    std::string clean = portableText(text);
    std::string out;
    out.reserve(clean.size() + clean.size() / 8);
    for (size_t i = 0; i < clean.size(); ++i) {
        char c = clean[i];
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case ';':
            out += "\\;";
            break;
        case ',':
            out += "\\,";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\n";
            if (i + 1 < clean.size() && clean[i + 1] == '\n')
                ++i;
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string icalDate(Date d)
{
    std::string out;
    appendCompactDate(out, d);
    return out;
}

std::string icalTimestamp(int64_t secondsUtc)
{
    int64_t days = secondsUtc / 86400;
    int64_t rest = secondsUtc % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    std::string out = icalDate(addDays(fromDayNumber(0), days));
    out += 'T';
    appendZeroPadded(out, rest / 3600, 2);
    appendZeroPadded(out, rest / 60 % 60, 2);
    appendZeroPadded(out, rest % 60, 2);
    out += 'Z';
    return out;
}

std::string foldICalLine(std::string_view line)
{
    std::string out;
    appendFolded(out, line);
    out.resize(out.size() - 2);
    return out;
}

std::string calendarName(std::string_view ownerLabel)
{
    std::string name(ownerLabel);
    name += ownerLabel.empty() ? "Quenmark" : "'s Quenmark";
    return name;
}

std::string writeICalendar(const Budget& budget, Date first, Date last, std::string_view ownerLabel,
    std::string_view domain, const ICalClock& clock)
{
    const std::string stamp = icalTimestamp(clock ? clock() : systemSeconds());
    const std::string name = escapeICalText(calendarName(ownerLabel));
    std::string at = "@";
    at += domain;
    std::string out;
    auto line = [&out](std::string_view text) { appendFolded(out, text); };
    line("BEGIN:VCALENDAR");
    line("PRODID:-//Quenmark//" + std::string(domain) + "//");
    line("VERSION:2.0");
    line("NAME:" + name);
    line("X-WR-CALNAME:" + name);
    line("X-WR-CALDESC:Quenmark Transactions");
    line("X-WR-TIMEZONE:UTC");
    line("CALSCALE:GREGORIAN");
    line("METHOD:PUBLISH");

    AdjustmentIndex index = indexAdjustments(budget.transaction_adjustments, first, last);
    std::vector<Occurrence> occurrences;
    for (const Transaction& t : budget.transactions) {
        expandIndexed(t, index, occurrences);
        if (occurrences.empty())
            continue;
        const std::string summary = "SUMMARY:" + escapeICalText(t.description);
        const std::string uidPrefix = "UID:" + std::to_string(t.id) + "-";
        for (const Occurrence& o : occurrences) {
            line("BEGIN:VEVENT");
            line(summary);
            line("DESCRIPTION:" + escapeICalText(detailText(t, o)));
            line("DTSTART;VALUE=DATE:" + icalDate(o.date));
            line("DTEND;VALUE=DATE:" + icalDate(addDays(o.date, 1)));
            line(uidPrefix + formatIso(o.date) + at);
            line("DTSTAMP:" + stamp);
            line(o.amount > 0 ? "COLOR:#28a745" : "COLOR:#dc3545");
            line("END:VEVENT");
        }
    }
    line("END:VCALENDAR");
    return out;
}

std::string calendarFeedUrl(std::string_view baseUrl, std::string_view token)
{
    if (token.empty())
        return {};
    while (!baseUrl.empty() && baseUrl.back() == '/')
        baseUrl.remove_suffix(1);
    static const char hex[] = "0123456789ABCDEF";
    std::string url(baseUrl);
    url += "/ical/feed/";
    for (char ch : token) {
        auto c = static_cast<unsigned char>(ch);
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
            || c == '_' || c == '~';
        if (plain) {
            url += char(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    url += ".ics";
    return url;
}

}  // namespace qm
