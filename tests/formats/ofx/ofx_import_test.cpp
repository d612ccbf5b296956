#include "formats/ofx/ofx_import.h"
#include "formats/ofx/ofx_import_internal.h"

#include "core/utf8.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

using namespace qm;

namespace {

struct Row {
    const char* date;
    double amount;
    const char* fitId;
    const char* description;
};

std::string sgml(const std::string& transactions)
{
    return "OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\nCHARSET:1252\n\n<OFX>\n<BANKMSGSRSV1>\n<STMTTRNRS>\n<STMTRS>\n"
           "<BANKTRANLIST>\n<DTSTART>20240101\n"
        + transactions
        + "</BANKTRANLIST>\n<LEDGERBAL>\n<BALAMT>10.00\n"
          "<DTASOF>20240301\n</LEDGERBAL>\n</STMTRS>\n</STMTTRNRS>\n</BANKMSGSRSV1>\n</OFX>\n";
}

// One SGML transaction with leaf elements unclosed; empty fields are left out.
std::string tx(const std::string& date, const std::string& amount, const std::string& name = "",
    const std::string& memo = "", const std::string& fitId = "")
{
    std::string s = "<STMTTRN>\n<TRNTYPE>DEBIT\n<DTPOSTED>" + date + "\n<TRNAMT>" + amount + "\n";
    if (!fitId.empty())
        s += "<FITID>" + fitId + "\n";
    if (!name.empty())
        s += "<NAME>" + name + "\n";
    if (!memo.empty())
        s += "<MEMO>" + memo + "\n";
    return s + "</STMTTRN>\n";
}

const char* const kXmlStatement = R"(<?xml version="1.0" encoding="UTF-8" standalone="no"?>
<?OFX OFXHEADER="200" VERSION="211" SECURITY="NONE" OLDFILEUID="NONE" NEWFILEUID="NONE"?>
<OFX><BANKMSGSRSV1><STMTTRNRS><STMTRS><BANKTRANLIST>
<STMTTRN><TRNTYPE>POS</TRNTYPE><DTPOSTED>20240305120000.000[-5:EST]</DTPOSTED><TRNAMT>-4.75</TRNAMT>
<FITID>x1</FITID><NAME>Coffee shop</NAME><MEMO>Card 1234</MEMO></STMTTRN>
<STMTTRN><TRNTYPE>CREDIT</TRNTYPE><DTPOSTED>20240301</DTPOSTED><TRNAMT>2500.00</TRNAMT>
<FITID>x0</FITID><NAME>PAYROLL</NAME></STMTTRN>
</BANKTRANLIST></STMTRS></STMTTRNRS></BANKMSGSRSV1></OFX>
)";

}  // namespace

TEST(OfxImport, StatementsGiveTheirRows)
{
    struct Case {
        const char* what;
        std::string text;
        std::vector<Row> rows;
    };
    const std::vector<Row> coffeeRows = {
        {"2024-03-01", 2500, "x0", "PAYROLL"},
        {"2024-03-05", -4.75, "x1", "Coffee shop - Card 1234"},
    };
    const Case cases[] = {
        {"SGML with every element unclosed, NAME and MEMO on their own lines",
            sgml("<STMTTRN>\n<TRNTYPE>POS\n<DTPOSTED>20240305120000.000[-5:EST]\n<TRNAMT>-4.75\n<FITID>x1\n"
                 "<NAME>Coffee shop\n<MEMO>Card 1234\n"
                 "<STMTTRN>\n<DTPOSTED>20240301\n<TRNAMT>2500.00\n<FITID>x0\n<NAME>PAYROLL\n"),
            coffeeRows},
        {"the same statement in XML form", kXmlStatement, coffeeRows},
        {"NAME and MEMO that differ only in case, one of them, or neither",
            sgml(tx("20240102", "-1", "ACME", "acme") + tx("20240103", "-2", "", "Only memo") + tx("20240104", "-3")
                + tx("20240105", "-4", "Caf\xc3\xa9", "CAF\xc3\x89")),
            {{"2024-01-02", -1, "", "ACME"}, {"2024-01-03", -2, "", "Only memo"}, {"2024-01-04", -3, "", "Unknown"},
                {"2024-01-05", -4, "", "Caf\xc3\xa9 - CAF\xc3\x89"}}},
        {"comma decimals, and a thousands separator that does not parse",
            sgml(tx("20240102", "-12,50", "a") + tx("20240103", "1,234.56", "b") + tx("20240104", " +7 ", "c")),
            {{"2024-01-02", -12.5, "", "a"}, {"2024-01-03", 0, "", "b"}, {"2024-01-04", 7, "", "c"}}},
        {"wild amounts count as 0",
            sgml(tx("20240101", "1e999", "a") + tx("20240102", "inf", "b") + tx("20240103", "nan", "c")
                + tx("20240104", "0x10", "d") + tx("20240105", "1 000", "e") + tx("20240106", "1e12", "f")
                + tx("20240107", "-999999999999.99", "g")),
            {{"2024-01-01", 0, "", "a"}, {"2024-01-02", 0, "", "b"}, {"2024-01-03", 0, "", "c"},
                {"2024-01-04", 0, "", "d"}, {"2024-01-05", 0, "", "e"}, {"2024-01-06", 0, "", "f"},
                {"2024-01-07", -999999999999.99, "", "g"}}},
        {"dates that are not dates drop their transaction",
            sgml(tx("20240230", "-1", "30 February") + tx("2024-01-15", "-2", "ISO") + tx("2024011", "-3", "seven")
                + tx("00000101", "-4", "year 0") + tx("2024 115", "-5", "blank") + tx("20240229", "-6", "leap day")
                + tx("  19991231235959[+2]  ", "-7", "time and zone") + tx("", "-8", "no date")),
            {{"1999-12-31", -7, "", "time and zone"}, {"2024-02-29", -6, "", "leap day"}}},
        {"lower-case tags", "<ofx><stmttrn><dtposted>20240110<trnamt>3.5<name>lower</stmttrn></ofx>",
            {{"2024-01-10", 3.5, "", "lower"}}},
        {"tags before <OFX> are never read; a later element replaces an earlier one",
            "<STMTTRN><DTPOSTED>20200101<NAME>prolog</STMTTRN>\n<OFX><STMTTRN><DTPOSTED>20240101<NAME>first"
            "<PAYEE><NAME>nested</PAYEE><FITID>1<FITID>2</STMTTRN></OFX>",
            {{"2024-01-01", 0, "2", "nested"}}},
        {"without <OFX> the whole text is read, and a last open transaction still counts",
            "<STMTTRN><DTPOSTED>20240101<NAME>one</STMTTRN><STMTTRN><DTPOSTED>20240102<NAME>two",
            {{"2024-01-01", 0, "", "one"}, {"2024-01-02", 0, "", "two"}}},
        {"equal dates keep file order",
            sgml(tx("20240105", "1", "c") + tx("20240101", "2", "a") + tx("20240105", "3", "d")
                + tx("20240101", "4", "b")),
            {{"2024-01-01", 2, "", "a"}, {"2024-01-01", 4, "", "b"}, {"2024-01-05", 1, "", "c"},
                {"2024-01-05", 3, "", "d"}}},
        {"escaped entities are decoded once",
            sgml(
                tx("20240101", "-1", "A&amp;B", "&amp;lt;") + tx("20240102", "-2", "K&L &lt;b&gt; &#38; &quot;&apos;")),
            {{"2024-01-01", -1, "", "A&B - &lt;"}, {"2024-01-02", -2, "", "K&L <b> &#38; \"'"}}},
        {"elements outside transactions and tags with attributes are ignored",
            "<OFX><NAME>bank<DTPOSTED>20240101<STMTTRN><DTPOSTED>20240102<NAME id=\"1\">attr"
            "<MEMO>m</STMTTRN><NAME>after</OFX>",
            {{"2024-01-02", 0, "", "m"}}},
        {"a missing > ends the scan with what was read", "<OFX><STMTTRN><DTPOSTED>20240101<TRNAMT>-9<NAME>cut <MEMO",
            {{"2024-01-01", -9, "", "cut"}}},
        {"comments, declarations and empty tags are skipped",
            "<OFX><!-- <STMTTRN> --><STMTTRN><DTPOSTED>20240101 <!-- posted --><><  ><TRNAMT>-1 <!-- $1 -->"
            "</STMTTRN></OFX>",
            {{"2024-01-01", -1, "", "Unknown"}}},
        {"no transactions at all", "", {}},
        {"Windows-1252 statement", sgml(tx("20240203", "-12,50", "Caf\xe9 M\xfcller", "Cr\xe8me \x80 \x81")),
            {{"2024-02-03", -12.5, "", "Caf\xc3\xa9 M\xc3\xbcller - Cr\xc3\xa8me \xe2\x82\xac \xc2\x81"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ImportRow> rows = parseOfx(c.text);
        ASSERT_EQ(rows.size(), c.rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(formatIso(rows[i].date), c.rows[i].date) << i;
            EXPECT_EQ(rows[i].amount, c.rows[i].amount) << i;
            EXPECT_EQ(rows[i].fitId, c.rows[i].fitId) << i;
            EXPECT_EQ(rows[i].description, c.rows[i].description) << i;
            EXPECT_EQ(rows[i].status, importNew);
            EXPECT_EQ(rows[i].recurringGroup, -1);
            EXPECT_TRUE(rows[i].selected);
            EXPECT_FALSE(rows[i].extra);
        }
    }
}

TEST(OfxImport, AmountsAreDecimalNumbersBelowTheMoneyLimit)
{
    struct {
        const char* text;
        double want;
    } cases[] = {
        {"-12.50", -12.5},
        {"-12,50", -12.5},
        {"+3", 3},
        {".5", 0.5},
        {"5.", 5},
        {"-,25", -0.25},
        {"1E2", 100},
        {"1e-2", 0.01},
        {"999999999999.99", 999999999999.99},
        {"1e-400", 0},
        {"1e12", 0},
        {"-1e12", 0},
        {"1e999", 0},
        {"1e300", 0},
        {"inf", 0},
        {"-Infinity", 0},
        {"nan", 0},
        {"0x10", 0},
        {"1 000", 0},
        {"- 5", 0},
        {"1,234.56", 0},
        {"1e", 0},
        {"e5", 0},
        {".", 0},
        {"", 0},
        {"+", 0},
        {"--1", 0},
        {"1.2.3", 0},
        {"$5", 0},
        {"5-", 0},
        {"1_000", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseOfxAmount(c.text), c.want) << c.text;
}

TEST(OfxImport, DatesAndEntities)
{
    EXPECT_EQ(formatIso(*parseOfxDate("\t20240229\n")), "2024-02-29");
    EXPECT_EQ(formatIso(*parseOfxDate("99991231")), "9999-12-31");
    for (const char* bad : {"20230229", "19000229", "20241301", "20240100", "00001231", "+2024010", "2024010x", "   "})
        EXPECT_FALSE(parseOfxDate(bad)) << bad;

    EXPECT_EQ(unescapeXmlEntities("&amp;lt; &lt;&gt;&quot;&apos;&amp"), "&lt; <>\"'&amp");
    EXPECT_EQ(unescapeXmlEntities("&&amp;&"), "&&&");
}

TEST(OfxImport, Windows1252CoversEveryByte)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    std::string text = windows1252ToUtf8(all);
    EXPECT_TRUE(isValidUtf8(text));
    EXPECT_EQ(utf8Length(text), 256u);
    EXPECT_EQ(windows1252ToUtf8("\x80\x9f\xa0\xff\x8d"), "\xe2\x82\xac\xc5\xb8\xc2\xa0\xc3\xbf\xc2\x8d");
    // A file that is valid UTF-8 is taken as it is, even when it also reads
    // as Windows-1252.
    std::vector<ImportRow> rows = parseOfx("<STMTTRN><DTPOSTED>20240101<NAME>\xc3\xa9");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].description, "\xc3\xa9");
}

TEST(OfxImport, RowsTakeAtMostFourTimesTheStatementsSize)
{
    // The densest rows a file can ask for, in dates out of order so the sort
    // runs too, with texts of each kind: none, past the short-string room,
    // and Windows-1252 bytes that grow when converted.
    auto shuffledDate = [](size_t i) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "2024%02zu%02zu", 12 - i % 12, 28 - i * 7 % 28);
        return std::string(buf);
    };
    const struct {
        const char* what;
        std::string unit;  // "%" is replaced by the date
    } cases[] = {
        {"date only", "<STMTTRN><DTPOSTED>%"},
        {"long name", "<STMTTRN><DTPOSTED>%<NAME>abcdefghijklmnopq"},
        {"name and memo", "<STMTTRN><DTPOSTED>%<NAME>abcdefgh<MEMO>ijklmnop<FITID>12345678901234567"},
        {"Windows-1252 name", "<STMTTRN><DTPOSTED>%<NAME>\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80"},
    };
    const size_t n = 20000;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string text = "<OFX>";
        for (size_t i = 0; i < n; ++i) {
            std::string unit = c.unit;
            unit.replace(unit.find('%'), 1, shuffledDate(i));
            text += unit;
        }
        std::vector<ImportRow> rows = parseOfx(text);
        ASSERT_EQ(rows.size(), n);
        EXPECT_LE(importRowBytes(rows), 4 * text.size());
        for (size_t i = 1; i < n; ++i)
            ASSERT_LE(dateCmp(rows[i - 1].date, rows[i].date), 0) << i;
    }
}

TEST(OfxImport, StatementsPastTheBoundsAreRefusedWhole)
{
    auto transactions = [](size_t n) {
        std::string text = "<OFX>";
        for (size_t i = 0; i < n; ++i)
            text += "<STMTTRN>";
        return text;
    };
    EXPECT_TRUE(parseOfx(transactions(kMaxStatementTransactions)).empty());
    EXPECT_THROW(parseOfx(transactions(kMaxStatementTransactions + 1)), StatementTooLarge);

    std::string big(kMaxStatementBytes, ' ');
    EXPECT_NO_THROW(parseOfx(big));
    big += ' ';
    try {
        parseOfx(big);
        ADD_FAILURE() << "a statement past 64 MiB was read";
    } catch (const StatementTooLarge& e) {
        EXPECT_NE(std::string(e.what()).find("64 MiB"), std::string::npos) << e.what();
    }
}

TEST(OfxImport, RowsCopyTheirExtraFieldsApart)
{
    std::vector<ImportRow> rows = parseOfx(sgml(tx("20240203", "-1", "A") + tx("20240201", "-2", "B")));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].description, "B");
    EXPECT_EQ(more(std::as_const(rows[0])).category, "");
    more(rows[0]).category = "Food";
    ImportRow copy = rows[0];
    more(copy).category = "Rent";
    EXPECT_EQ(more(rows[0]).category, "Food");
    EXPECT_EQ(more(copy).category, "Rent");
    EXPECT_FALSE(rows[1].extra);
}
