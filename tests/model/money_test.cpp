#include "model/money.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

using namespace qm;

TEST(Money, RoundCentsJudgesTheExactValue)
{
    struct {
        double x, want;
    } cases[] = {
        {2.675, 2.67},    // 2.675 is stored a little below the half
        {-0.005, -0.01},  // stored a little beyond it
        {0.125, 0.13},    // an exact half: away from zero
        {-0.125, -0.13},
        {1.005, 1.0},
        {1.015, 1.01},
        {0, 0},
        {1e300, 1e300},
        {-4503599627370497.0, -4503599627370497.0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(roundCents(c.x), c.want) << c.x;
    EXPECT_TRUE(std::isnan(roundCents(NAN)));
    // Zero keeps no sign, whichever way it is reached.
    for (double x : {-0.0, -0.001, -0.004999})
        EXPECT_FALSE(std::signbit(roundCents(x))) << x;
}

// Against the exact value of each double: amounts a whole number of tenths
// of a cent (many of them halves) and their neighbours, in long double,
// whose wider product is exact for these.
TEST(Money, RoundCentsMatchesTheExactProduct)
{
    for (int64_t mills = -200000; mills <= 200000; mills += 7) {
        const double base = double(mills) / 1000;
        for (double x : {std::nextafter(base, -1e9), base, std::nextafter(base, 1e9)}) {
            const long double exact = static_cast<long double>(x) * 100;
            const long double whole = std::floor(std::fabs(exact) + 0.5L);
            const double want = double((exact < 0 ? -whole : whole) / 100) + 0.0;
            ASSERT_EQ(roundCents(x), want) << x;
        }
    }
}

TEST(Money, RoundHalfAwayUsesTheResidualAndSaturates)
{
    struct {
        double p, residual;
        int64_t want;
    } cases[] = {{2.5, 0, 3}, {-2.5, 0, -3}, {2.5, -1e-17, 2}, {-2.5, 1e-17, -2}, {2.4999, 0, 2},
        {4503599627370496.0, 0.5, 4503599627370497}, {4503599627370496.0, -0.5, 4503599627370496},
        {-4503599627370496.0, -0.5, -4503599627370497}, {1e17, -4, 99999999999999996},
        {9223372036854774784.0, 1024, INT64_MAX}, {-9223372036854775808.0, -1, INT64_MIN}, {1e19, 0, INT64_MAX},
        {-1e19, 0, INT64_MIN}, {NAN, 0, 0}, {INFINITY, 0, INT64_MAX}};
    for (const auto& c : cases)
        EXPECT_EQ(roundHalfAwayInt64(c.p, c.residual), c.want) << c.p << " " << c.residual;
    EXPECT_EQ(roundHalfAway(-0.5), -1.0);
    EXPECT_EQ(roundCentsCount(-0.005), -1);
}

TEST(Money, Formats)
{
    struct {
        double x;
        const char* money;
        const char* plain;
        const char* signed_;
    } cases[] = {
        {0, "$0.00", "0.00", "+$0.00"},
        {-0.004, "$0.00", "0.00", "+$0.00"},
        {-0.005, "-$0.01", "0.01", "\u2212$0.01"},
        {1000, "$1,000.00", "1000.00", "+$1,000.00"},
        {-1234.5, "-$1,234.50", "1234.50", "\u2212$1,234.50"},
        {1234567.891, "$1,234,567.89", "1234567.89", "+$1,234,567.89"},
        {0.5, "$0.50", "0.50", "+$0.50"},
        {-3, "-$3.00", "3.00", "\u2212$3.00"},
        {2.675, "$2.67", "2.67", "+$2.67"},
        {999999.995, "$999,999.99", "999999.99", "+$999,999.99"},
        {999999.996, "$1,000,000.00", "1000000.00", "+$1,000,000.00"},
        // Amounts too large for integer cents saturate instead of overflowing.
        {1e300, "$92,233,720,368,547,758.07", "92233720368547758.07", "+$92,233,720,368,547,758.07"},
        {-INFINITY, "-$92,233,720,368,547,758.07", "92233720368547758.07", "\u2212$92,233,720,368,547,758.07"},
        {NAN, "$0.00", "0.00", "+$0.00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatMoney(c.x), c.money) << c.x;
        EXPECT_EQ(formatAmountPlain(c.x), c.plain) << c.x;
        EXPECT_EQ(formatMoneySigned(c.x), c.signed_) << c.x;
    }
    EXPECT_EQ(groupThousands("1234567"), "1,234,567");
    EXPECT_EQ(groupThousands("123456"), "123,456");
    EXPECT_EQ(groupThousands("999"), "999");
    EXPECT_EQ(groupThousands(""), "");
}

TEST(Money, CompactForm)
{
    struct {
        double x;
        const char* want;
    } cases[] = {{12345, "$12k"}, {15500, "$16k"}, {1500, "$1.5k"}, {1000, "$1.0k"}, {1250, "$1.3k"}, {1350, "$1.4k"},
        {9999.96, "$10.0k"}, {999.4, "$999"}, {999.6, "$1000"}, {0.4, "$0"}, {-0.4, "$0"}, {-0.6, "\u2212$1"},
        {-0.5, "$1"}, {-2500, "\u2212$2.5k"}, {2.5, "$3"}, {1e300, "$9223372036854775807k"}, {NAN, "$0"}};
    for (const auto& c : cases)
        EXPECT_EQ(formatMoneyCompact(c.x), c.want) << c.x;
}

TEST(Money, ParseMoney)
{
    struct {
        const char* text;
        double want;
    } good[] = {{" $1,234.56\t", 1234.56}, {"-$12.50", -12.5}, {"\u2212$1,200", -1200}, {"$-5", -5}, {".5", 0.5},
        {"5.", 5}, {"1_000", 1000}, {"1e3", 1000}, {"+7", 7}, {"1E-2", 0.01}, {"999999999999.99", 999999999999.99},
        {"-999999999999.99", -999999999999.99}, {"1$2", 12}, {"0", 0}, {"1e-400", 0}};
    for (const auto& g : good) {
        std::optional<double> v = parseMoney(g.text);
        ASSERT_TRUE(v.has_value()) << g.text;
        EXPECT_EQ(*v, g.want) << g.text;
    }
    const char* bad[] = {"", "   ", "abc", "1000000000000", "1e12", "-1e12", "nan", "inf", "-Infinity", "$ 12", "12-",
        "1__0", "_1", "1_", "1_.5", "1._5", ".", "e5", "1e", "0x10", "1.2.3", "\xd9\xa1", "１", "--1", "1e999", "1 2",
        "\u22121\u2212"};
    for (const char* text : bad) {
        EXPECT_EQ(parseMoney(text), std::nullopt) << text;
    }
}

TEST(Money, FloatTextGrammar)
{
    std::optional<double> v = parseFloatText("nan");
    ASSERT_TRUE(v.has_value());
    EXPECT_TRUE(std::isnan(*v));
    EXPECT_EQ(parseFloatText("-INF"), -INFINITY);
    EXPECT_EQ(parseFloatText("1e999"), INFINITY);
    for (const char* no : {" 1", "1 ", "1,5", "$1", "", "+", "in f"})
        EXPECT_EQ(parseFloatText(no), std::nullopt) << no;
}
