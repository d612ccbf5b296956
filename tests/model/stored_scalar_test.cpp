// A plain value read by the rules both readers of the store share must read
// as the member readers of model/budget_json.h read it; the date's quick
// path in particular must agree with the general date reader.
#include "model/budget_json.h"
#include "model/stored_scalar.h"

#include <gtest/gtest.h>

#include <string>

using namespace qm;

namespace {

TEST(StoredScalar, ReadsAsTheMemberReadersRead)
{
    const char* values[] = {"null", "true", "false", "0", "7", "-3", "18446744073709551615", "-9223372036854775808",
        "2.5", "0.0", "1.0", "1e308", "\"12.50\"", "\"abc\"", "\"nan\"", "\"-inf\"", "\"1e-400\"", "\"Yes\"", "\"on\"",
        "\"1\"", "\"TRUE\"", "\"y\"", "\" yes\"", "\"\"", "\"2024-01-02\"", "\"2024-02-29\"", "\"2023-02-29\"",
        "\"2024-13-01\"", "\"2024-00-10\"", "\"2024-01-00\"", "\"0000-01-01\"", "\"9999-12-31\"", "\" 2024-01-02\"",
        "\"2024-01-02T10:00\"", "\"2024-1-2\"", "\"+024-01-02\"", "\"-001-01-01\"", "\"2024-01-0x\"", "\"20240102\"",
        "\"2024-01-02 \"", "\"2024/01/02\""};
    for (const char* text : values) {
        const Json member = parseJson(std::string(R"({"m":)") + text + "}");
        const StoredScalar v = storedScalar(member["m"]);
        EXPECT_EQ(v.asInt(), jsonInt(member, "m")) << text;
        EXPECT_EQ(v.asBool(), jsonBool(member, "m")) << text;
        EXPECT_EQ(v.asFloat(), jsonFloat(member, "m")) << text;
        std::string read = "kept";
        v.textInto(read);
        EXPECT_EQ(read, jsonStr(member, "m")) << text;
        const std::optional<Date> date = v.asDate(), general = jsonDate(member, "m");
        EXPECT_EQ(date.has_value(), general.has_value()) << text;
        if (date && general) {
            EXPECT_EQ(formatIso(*date), formatIso(*general)) << text;
        }
    }
}

}  // namespace
