#include "core/decimal.h"
#include "core/errors.h"
#include "core/json.h"
#include "core/utf8.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

using namespace qm;

TEST(Json, WritesCompactStrictTextInMemberOrder)
{
    Json j = Json::object();
    j["z"] = 1;
    j["a"] = Json::array({nullptr, true, -5, 18446744073709551615ull, 0.1, 3.0, 1e300, -0.0});
    j["nan"] = NAN;
    j["inf"] = -INFINITY;
    j["s"] = "q\"\\\n\x01\x7f/";
    EXPECT_EQ(dumpJson(j),
        R"({"z":1,"a":[null,true,-5,18446744073709551615,0.1,3.0,1e+300,-0.0],"nan":null,)"
        R"("inf":null,"s":"q\"\\\n\u0001)"
        "\x7f"
        R"(/"})");
    EXPECT_EQ(dumpJson(Json::object()), "{}");
    EXPECT_EQ(dumpJson(Json::array(), 2), "[]");
    EXPECT_EQ(dumpJson(parseJson(R"({"a":[1,{}],"b":{"c":null}})"), 2),
        "{\n  \"a\": [\n    1,\n    {}\n  ],\n  \"b\": {\n    \"c\": null\n  }\n}");
}

TEST(Json, InvalidUtf8IsReplacedNotThrown)
{
    struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"ok \xc3\xa9 \xf0\x9f\x98\x80", "ok \xc3\xa9 \xf0\x9f\x98\x80"}, {"\xff", "\xef\xbf\xbd"},
        {"a\xc3", "a\xef\xbf\xbd"},                                                // truncated
        {"\xe0\x80\x80", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},                  // overlong
        {"\xed\xa0\x80", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},                  // surrogate
        {"\xf4\x90\x80\x80", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},  // above U+10FFFF
        {"\xe2\x88x", "\xef\xbf\xbdx"},                                            // one unit for a broken sequence
    };
    for (const auto& c : cases) {
        EXPECT_EQ(repairUtf8(c.in), c.out) << c.in;
        EXPECT_EQ(dumpJson(Json(c.in)), std::string("\"") + c.out + "\"");
        Json key = Json::object();
        key[c.in] = 1;
        EXPECT_EQ(dumpJson(key), std::string("{\"") + c.out + "\":1}");
        // Reading is equally lenient.
        EXPECT_EQ(parseJson(std::string("\"") + c.in + "\"").get<std::string>(), c.out);
    }
}

TEST(Json, DoublesAreShortestAndIgnoreTheLocale)
{
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous ? previous : "C";
    bool switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    struct {
        double v;
        const char* text;
    } cases[] = {{0.1, "0.1"}, {2.675, "2.675"}, {-0.1 - 0.2, "-0.30000000000000004"}, {100, "100.0"}, {1e21, "1e+21"},
        {5e-324, "5e-324"}, {1.7976931348623157e308, "1.7976931348623157e+308"}, {123456.789, "123456.789"}};
    for (const auto& c : cases) {
        EXPECT_EQ(shortestDouble(c.v), c.text);
        EXPECT_EQ(parseJson(c.text).get<double>(), c.v);
    }
    EXPECT_EQ(decimalToDouble("1,5"), 1.0) << "the comma is no decimal point";
    if (switched)
        std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(Json, Reads)
{
    Json j = parseJson(" {\"b\":1,\"a\":[-9223372036854775808,18446744073709551615,"
                       "18446744073709551616,1e999,-1e999,1e-999,0.5E+1],\"b\":2,"
                       "\"s\":\"\\u00e9\\ud83d\\ude00\\ud800x\\/\\t\"} ");
    EXPECT_EQ(dumpJson(j),
        "{\"b\":2,\"a\":[-9223372036854775808,18446744073709551615,"
        "18446744073709551616.0,null,null,0.0,5.0],\"s\":\"\xc3\xa9\xf0\x9f\x98\x80"
        "\xef\xbf\xbdx/\\t\"}");
    EXPECT_TRUE(j["a"][0].is_number_integer());
    EXPECT_TRUE(j["a"][1].is_number_unsigned());
    EXPECT_TRUE(std::isinf(j["a"][3].get<double>()));
    EXPECT_TRUE(parseJson("[1.0]")[0].is_number_float());
}

TEST(Json, LargeObjectsKeepOrderAndLastValues)
{
    std::string text = "{";
    for (int i = 0; i < 200000; ++i)
        text += "\"k" + std::to_string(i % 100000) + "\":" + std::to_string(i) + ",";
    text += "\"k5\":-1}";
    Json j = parseJson(text);
    ASSERT_EQ(j.size(), 100000u);
    auto it = j.begin();
    EXPECT_EQ(it.key(), "k0");
    EXPECT_EQ(*it, 100000);
    EXPECT_EQ(std::next(it, 5).key(), "k5");
    EXPECT_EQ(j["k5"], -1);
    EXPECT_EQ(j["k99999"], 199999);
    EXPECT_EQ(dumpJson(parseJson(R"({"a":1,"b":2,"a":3})")), R"({"a":3,"b":2})");
}

TEST(Json, RefusesWhatIsNotJson)
{
    const char* bad[] = {"", " ", "{", "[1,]", "{\"a\" 1}", "{\"a\":1,}", "01", "1.", ".5", "-", "+1", "1e", "NaN",
        "nan", "Infinity", "tru", "'a'", "\"a\nb\"", "\"\\x\"", "\"\\u12\"", "[1] x", "{\"a\":1}}", "\"abc"};
    for (const char* text : bad)
        EXPECT_THROW(parseJson(text), ValueError) << text;
    std::string deep(100000, '[');
    EXPECT_THROW(parseJson(deep), ValueError);
    std::string fine = std::string(400, '[') + std::string(400, ']');
    EXPECT_NO_THROW(parseJson(fine));
}
