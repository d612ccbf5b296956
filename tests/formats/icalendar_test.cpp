#include "formats/icalendar.h"

#include "core/utf8.h"
#include "model/export_fixtures.h"

#include <gtest/gtest.h>

#include <random>

using namespace qm;
using namespace qm::testing;

namespace {

Date d(const char* s) { return parseIso(s); }

const int64_t kStamp = 1706723102;  // 2024-01-31 17:45:02 UTC

std::string ics(const Budget& b, const char* from, const char* to, const char* label = "Ada Lovelace")
{
    return writeICalendar(b, d(from), d(to), label, "host.example", [] { return kStamp; });
}

std::string header(const std::string& name)
{
    return "BEGIN:VCALENDAR\r\nPRODID:-//Quenmark//host.example//\r\nVERSION:2.0\r\nNAME:" + name
        + "\r\nX-WR-CALNAME:" + name
        + "\r\nX-WR-CALDESC:Quenmark Transactions\r\nX-WR-TIMEZONE:UTC\r\nCALSCALE:GREGORIAN\r\nMETHOD:PUBLISH\r\n";
}

std::string unfold(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 3, "\r\n ") == 0)
            i += 2;
        else
            out += text[i];
    }
    return out;
}

// Every physical line ends in CR LF, holds at most 75 bytes and is UTF-8 on
// its own.
void expectPhysicalLines(const std::string& text)
{
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    std::vector<std::string> lines = splitLines(text.substr(0, text.size() - 2), "\r\n");
    for (const std::string& line : lines) {
        EXPECT_LE(line.size(), 75u) << line;
        EXPECT_TRUE(isValidUtf8(line)) << line;
        EXPECT_EQ(line.find('\r'), std::string::npos);
        EXPECT_EQ(line.find('\n'), std::string::npos);
    }
}

}  // namespace

TEST(ICalendar, WindowSpansThreeMonthsEitherSideOfTodaysMonth)
{
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"2024-05-17", "2024-02-01", "2024-08-31"},
        {"2024-11-30", "2024-08-01", "2025-02-28"},
        {"2024-01-01", "2023-10-01", "2024-04-30"},
        {"2023-12-31", "2023-09-01", "2024-03-31"},
        {"2027-11-02", "2027-08-01", "2028-02-29"},
    };
    for (auto [today, first, last] : cases) {
        ExportWindow w = calendarExportWindow(d(today));
        EXPECT_EQ(formatIso(w.first), first) << today;
        EXPECT_EQ(formatIso(w.last), last) << today;
    }
}

TEST(ICalendar, FoldingCutsAsciiAtSeventyFiveAndSeventyFourBytes)
{
    const std::string a75(75, 'a'), b76(76, 'b'), c150(150, 'c');
    EXPECT_EQ(foldICalLine(a75), a75);
    EXPECT_EQ(foldICalLine(b76), std::string(75, 'b') + "\r\n b");
    EXPECT_EQ(foldICalLine(c150), std::string(75, 'c') + "\r\n " + std::string(74, 'c') + "\r\n c");
    EXPECT_EQ(foldICalLine(""), "");
}

TEST(ICalendar, FoldingNeverSplitsACharacter)
{
    // 73 ASCII bytes then a four-byte emoji: the first line stops before it.
    std::string line = std::string(73, 'x') + "\xF0\x9F\x92\xB0" + "tail";
    EXPECT_EQ(foldICalLine(line), std::string(73, 'x') + "\r\n \xF0\x9F\x92\xB0tail");
    // A two-byte character that just fits stays on the first line.
    std::string fits = std::string(73, 'x') + "\xC3\xA9" + "y";
    EXPECT_EQ(foldICalLine(fits), std::string(73, 'x') + "\xC3\xA9\r\n y");

    std::mt19937 rng(29);
    const char* pieces[] = {"a", "\xC3\xA9", "\xE2\x9C\x85", "\xF0\x9F\x92\xB8", ",", "\\"};
    for (int round = 0; round < 300; ++round) {
        std::string text;
        size_t n = rng() % 120;
        for (size_t i = 0; i < n; ++i)
            text += pieces[rng() % 6];
        std::string folded = foldICalLine(text);
        expectPhysicalLines(folded + "\r\n");
        EXPECT_EQ(unfold(folded), text);
    }
}

TEST(ICalendar, TextEscapesAndCleaning)
{
    const std::pair<const char*, const char*> cases[] = {
        {"a,b;c\\d", "a\\,b\\;c\\\\d"},
        {"one\ntwo", "one\\ntwo"},
        {"one\r\ntwo", "one\\ntwo"},
        {"one\rtwo", "one\\ntwo"},
        {"\n\r\r\n\n", "\\n\\n\\n\\n"},
        {"time: 10:30", "time: 10:30"},
        {"bell\x07\x1B[0m\ttab", "bell[0m\ttab"},
        {"bad\xC0\xAF", "bad\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\\n", "\\\\n"},
    };
    for (auto [in, out] : cases)
        EXPECT_EQ(escapeICalText(in), out) << in;
}

TEST(ICalendar, DatesAndStamps)
{
    EXPECT_EQ(icalDate(d("2024-03-05")), "20240305");
    EXPECT_EQ(icalDate(Date{987, 1, 2}), "09870102");
    EXPECT_EQ(icalTimestamp(kStamp), "20240131T174502Z");
    EXPECT_EQ(icalTimestamp(0), "19700101T000000Z");
    EXPECT_EQ(icalTimestamp(-1), "19691231T235959Z");
}

TEST(ICalendar, EmptyBudgetGivesTheTenCalendarLines)
{
    EXPECT_EQ(ics(Budget{}, "2024-02-01", "2024-08-31"), header("Ada Lovelace's Quenmark") + "END:VCALENDAR\r\n");
    EXPECT_EQ(ics(Budget{}, "2024-02-01", "2024-08-31", ""), header("Quenmark") + "END:VCALENDAR\r\n");
    EXPECT_EQ(ics(Budget{}, "2024-02-01", "2024-08-31", "O'Brien, Pat; \\x"),
        header("O'Brien\\, Pat\\; \\\\x's Quenmark") + "END:VCALENDAR\r\n");
}

TEST(ICalendar, EventsCarryTheirDetailsInTransactionOrder)
{
    Budget b;
    Transaction rent = series(-4, "nth_1_months", "2024-11-30", -1234.5, "Rent, flat; \\ \"home\"");
    rent.category = "Housing";
    rent.account = "Checking";
    b.transactions.push_back(rent);
    b.transactions.push_back(oneOff(17, "2024-12-31", 0, "Zero"));
    TransactionAdjustment paid = adjust(5, -4, "2024-12-30", "2024-12-30");
    paid.is_paid = true;
    paid.has_amount = true;
    paid.amount = 2500;
    b.transaction_adjustments.push_back(paid);

    std::string text = ics(b, "2024-12-01", "2025-01-31");
    expectPhysicalLines(text);
    std::string body = unfold(text);
    const std::string rentDetails = "DESCRIPTION:Amount: \xF0\x9F\x92\xB8 $1\\,234.50\\nStatus: \xE2\x8F\xB3 Pending"
                                    "\\nCategory: Housing\\nAccount: Checking\\nRecurring Transaction\r\n";
    std::string expected = header("Ada Lovelace's Quenmark")
        + "BEGIN:VEVENT\r\nSUMMARY:Rent\\, flat\\; \\\\ \"home\"\r\n"
          "DESCRIPTION:Amount: \xF0\x9F\x92\xB0 $2\\,500.00\\nStatus: \xE2\x9C\x85 Paid"
          "\\nCategory: Housing\\nAccount: Checking\\nRecurring Transaction\r\n"
          "DTSTART;VALUE=DATE:20241230\r\nDTEND;VALUE=DATE:20241231\r\n"
          "UID:-4-2024-12-30@host.example\r\nDTSTAMP:20240131T174502Z\r\nCOLOR:#28a745\r\nEND:VEVENT\r\n"
          "BEGIN:VEVENT\r\nSUMMARY:Rent\\, flat\\; \\\\ \"home\"\r\n"
        + rentDetails
        + "DTSTART;VALUE=DATE:20250130\r\nDTEND;VALUE=DATE:20250131\r\n"
          "UID:-4-2025-01-30@host.example\r\nDTSTAMP:20240131T174502Z\r\nCOLOR:#dc3545\r\nEND:VEVENT\r\n"
          "BEGIN:VEVENT\r\nSUMMARY:Zero\r\n"
          "DESCRIPTION:Amount: \xF0\x9F\x92\xB8 $0.00\\nStatus: \xE2\x8F\xB3 Pending\r\n"
          "DTSTART;VALUE=DATE:20241231\r\nDTEND;VALUE=DATE:20250101\r\n"
          "UID:17-2024-12-31@host.example\r\nDTSTAMP:20240131T174502Z\r\nCOLOR:#dc3545\r\nEND:VEVENT\r\n"
          "END:VCALENDAR\r\n";
    EXPECT_EQ(body, expected);
}

TEST(ICalendar, HostileDescriptionsStayWithinTheLineRules)
{
    Budget b;
    std::string nasty = "\xF0\x9F\x98\x80\r\n\r\x01\x7F\xFF,;\\:";
    for (int i = 0; i < 20; ++i)
        nasty += "\xE2\x9C\x85\xC3\xA9" + std::string(size_t(i), 'z');
    Transaction t = oneOff(1, "2024-02-02", -3, nasty);
    t.category = nasty;
    b.transactions.push_back(t);
    std::string text = ics(b, "2024-02-01", "2024-02-29", nasty.c_str());
    expectPhysicalLines(text);
    EXPECT_NE(unfold(text).find("SUMMARY:\xF0\x9F\x98\x80\\n\\n\x7F\xEF\xBF\xBD\\,\\;\\\\:"), std::string::npos);
}

TEST(ICalendar, AmountsPastWholeCentsKeepTheirExactFigure)
{
    const std::pair<double, const char*> cases[] = {
        {-1e17, "\xF0\x9F\x92\xB8 $100\\,000\\,000\\,000\\,000\\,000.00"},
        {9223372036854775808.0, "\xF0\x9F\x92\xB0 $9\\,223\\,372\\,036\\,854\\,775\\,808.00"},
        {9.1e16, "\xF0\x9F\x92\xB0 $91\\,000\\,000\\,000\\,000\\,000.00"},
        {-12.345, "\xF0\x9F\x92\xB8 $12.35"},
    };
    for (auto [amount, figure] : cases) {
        Budget b;
        b.transactions.push_back(oneOff(1, "2024-02-02", amount, "Big"));
        std::string body = unfold(ics(b, "2024-02-01", "2024-02-29"));
        EXPECT_NE(body.find(std::string("DESCRIPTION:Amount: ") + figure + "\\nStatus:"), std::string::npos)
            << amount << "\n"
            << body;
    }
}

TEST(ICalendar, FeedAddress)
{
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"https://host.example", "", ""},
        {"https://host.example", "abc123", "https://host.example/ical/feed/abc123.ics"},
        {"https://host.example/", "abc123", "https://host.example/ical/feed/abc123.ics"},
        {"https://host.example/base//", "a-b_c.d~e", "https://host.example/base/ical/feed/a-b_c.d~e.ics"},
        {"https://host.example", "a/b?c#d e", "https://host.example/ical/feed/a%2Fb%3Fc%23d%20e.ics"},
    };
    for (auto [base, token, url] : cases)
        EXPECT_EQ(calendarFeedUrl(base, token), url) << base << " " << token;
}
