#include "formats/ofx/ofx_export.h"

#include "model/export_fixtures.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cmath>

using namespace qm;
using namespace qm::testing;

namespace {

const char* kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<?OFX OFXHEADER=\"200\" VERSION=\"220\" SECURITY=\"NONE\" OLDFILEUID=\"NONE\" NEWFILEUID=\"NONE\"?>\n"
    "<OFX>\n"
    "  <SIGNONMSGSRSV1>\n"
    "    <SONRS>\n"
    "      <STATUS><CODE>0</CODE><SEVERITY>INFO</SEVERITY></STATUS>\n"
    "      <DTSERVER>20240131174502</DTSERVER>\n"
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
    "          <DTSTART>20240201</DTSTART>\n"
    "          <DTEND>20240229</DTEND>\n";
const char* kTail = "        </BANKTRANLIST>\n"
                    "      </STMTRS>\n"
                    "    </STMTTRNRS>\n"
                    "  </BANKMSGSRSV1>\n"
                    "</OFX>";

Date d(const char* s) { return parseIso(s); }

std::string entry(const char* type, const char* date, const char* amount, int fitid, const char* name)
{
    return std::string("          <STMTTRN>\n            <TRNTYPE>") + type + "</TRNTYPE>\n            <DTPOSTED>"
        + date + "</DTPOSTED>\n            <TRNAMT>" + amount + "</TRNAMT>\n            <FITID>" + std::to_string(fitid)
        + "</FITID>\n            <NAME>" + name + "</NAME>\n          </STMTTRN>\n";
}

bool wellFormed(const std::string& xml)
{
    pugi::xml_document doc;
    return doc.load_buffer(xml.data(), xml.size());
}

}  // namespace

TEST(OfxExport, EmptyRangeIsTheFixedTwentyNineLines)
{
    Budget b;
    b.transactions.push_back(oneOff(1, "2024-03-05", -10, "Later"));
    std::string text = writeOfx(b, d("2024-02-01"), d("2024-02-29"), "20240131174502");
    EXPECT_EQ(text, std::string(kHead) + kTail);
    EXPECT_EQ(splitLines(text, "\n").size(), 29u);
    EXPECT_EQ(writeOfx(Budget{}, d("2024-02-01"), d("2024-02-29"), "20240131174502"), text);
    EXPECT_TRUE(wellFormed(text));

    std::string noTime = writeOfx(b, d("2024-02-01"), d("2024-02-29"), "");
    EXPECT_NE(noTime.find("      <DTSERVER>20000101000000</DTSERVER>\n"), std::string::npos);
}

TEST(OfxExport, EntriesSortByDateKeepingTransactionOrderAndNumberAcrossTheFile)
{
    Budget b;
    b.transactions.push_back(series(-7, "nth_2_weeks", "2024-02-01", -12.5, "Rent & \"fees\" <net>"));
    b.transactions.push_back(oneOff(3, "2024-02-15", 1500, "Pay'check"));
    b.transactions.push_back(oneOff(4, "2024-02-01", 0, "Zero"));
    b.transactions.push_back(oneOff(5, "2024-02-10", -0.0, "Negative zero"));
    // The occurrence of the 15th moves to the 20th and costs more.
    TransactionAdjustment moved = adjust(9, -7, "2024-02-15", "2024-02-20");
    moved.has_amount = true;
    moved.amount = -99.999;
    b.transaction_adjustments.push_back(moved);
    std::string text = writeOfx(b, d("2024-02-01"), d("2024-02-29"), "20240131174502");
    std::string expected = std::string(kHead)
        + entry("DEBIT", "20240201", "-12.50", 1, "Rent &amp; &quot;fees&quot; &lt;net&gt;")
        + entry("CREDIT", "20240201", "0.00", 2, "Zero") + entry("CREDIT", "20240210", "0.00", 3, "Negative zero")
        + entry("CREDIT", "20240215", "1500.00", 4, "Pay&apos;check")
        + entry("DEBIT", "20240220", "-100.00", 5, "Rent &amp; &quot;fees&quot; &lt;net&gt;")
        + entry("DEBIT", "20240229", "-12.50", 6, "Rent &amp; &quot;fees&quot; &lt;net&gt;") + kTail;
    EXPECT_EQ(text, expected);
    EXPECT_EQ(text.back(), '>');
    EXPECT_TRUE(wellFormed(text));
}

TEST(OfxExport, AmountsHaveTwoDecimalsAndNoGrouping)
{
    const std::pair<double, const char*> cases[] = {
        {-12.5, "-12.50"},
        {1500, "1500.00"},
        {0, "0.00"},
        {-0.0, "0.00"},
        {-0.001, "0.00"},
        {1234567.891, "1234567.89"},
        {0.005, "0.01"},
        {-0.005, "-0.01"},
        {std::nan(""), "0.00"},
        {INFINITY, "0.00"},
        // Past whole cents in 64 bits the digits stay exact instead of saturating.
        {9.1e16, "91000000000000000.00"},
        {9.3e16, "93000000000000000.00"},
        {-1e17, "-100000000000000000.00"},
        {9223372036854775808.0, "9223372036854775808.00"},
        {-1.5e19, "-15000000000000000000.00"},
    };
    for (auto [value, text] : cases)
        EXPECT_EQ(ofxAmount(value), text) << value;
}

TEST(OfxExport, DescriptionsAreEscapedCleanedAndNeverShortened)
{
    const std::pair<const char*, const char*> cases[] = {
        {"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&apos;f"},
        {"&amp;", "&amp;amp;"},
        {"tab\tbell\x07nul", "tab bellnul"},
        {"memo\r\nline\rtwo\nthree", "memo line two three"},
        {"a\r\n\r\nb", "a  b"},
        {"nel\xC2\x85"
         "ls\xE2\x80\xA8"
         "ps\xE2\x80\xA9"
         "end",
            "nel ls ps end"},
        {"bad \xFF byte", "bad \xEF\xBF\xBD byte"},
        {"caf\xC3\xA9 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xF0\x9F\x98\x80"},
        {"non\xEF\xBF\xBF"
         "char",
            "nonchar"},
    };
    for (auto [in, out] : cases)
        EXPECT_EQ(escapeXmlText(in), out) << in;

    std::string longName(200, 'x');
    Budget b;
    b.transactions.push_back(oneOff(1, "2024-02-02", -1, longName + "\x01\x1F"));
    std::string text = writeOfx(b, d("2024-02-01"), d("2024-02-29"), "20240131174502");
    EXPECT_NE(text.find("<NAME>" + longName + "</NAME>"), std::string::npos);
    EXPECT_TRUE(wellFormed(text));
}

TEST(OfxExport, LineBreaksInNamesKeepEveryTransactionOnItsSevenLines)
{
    Budget b;
    b.transactions.push_back(oneOff(1, "2024-02-02", -5, "Imported\r\nmemo\twith\nbreaks"));
    b.transactions.push_back(oneOff(2, "2024-02-03", -1e17, "Huge"));
    std::string text = writeOfx(b, d("2024-02-01"), d("2024-02-29"), "20240131174502");
    EXPECT_EQ(text,
        std::string(kHead) + entry("DEBIT", "20240202", "-5.00", 1, "Imported memo with breaks")
            + entry("DEBIT", "20240203", "-100000000000000000.00", 2, "Huge") + kTail);
    EXPECT_EQ(splitLines(text, "\n").size(), 29u + 14u);
}
