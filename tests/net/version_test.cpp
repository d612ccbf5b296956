#include "net/version.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(Version, ParsesPartsAndSuffix)
{
    struct Case {
        const char* text;
        std::vector<std::int64_t> parts;
        const char* suffix;
    } cases[] = {
        {"1.2.0", {1, 2, 0}, ""},
        {" \tV1.2\r\n", {1, 2}, ""},
        {"v1.2.0-rc.2", {1, 2, 0}, "rc.2"},
        {"1.1.0+build.7", {1, 1, 0}, "build.7"},
        {"1.x.3", {1, 0, 3}, ""},
        {"1..3", {1, 0, 3}, ""},
        {"", {0}, ""},
        {"-beta", {0}, "beta"},
        {"99999999999999999999999.1", {1'000'000'000'000'000LL, 1}, ""},
    };
    for (const Case& c : cases) {
        ParsedVersion v = parseVersion(c.text);
        EXPECT_EQ(v.parts, c.parts) << c.text;
        EXPECT_EQ(v.suffix, c.suffix) << c.text;
    }
}

TEST(Version, OrderTable)
{
    struct Case {
        const char* a;
        const char* b;
        int want;
    } cases[] = {
        {"V1.2", "1.2.0", 0},
        {"1.2.0-rc.10", "1.2.0-rc.9", 1},
        {"1.2.0", "1.2.0-rc.9", 1},
        {"1.2.0-RC.1", "1.2.0-rc.1", 0},
        {"1.1.0+build", "1.1.0", -1},
        {"1.10.0", "1.9.9", 1},
        {"2", "1.99.99", 1},
        {"1.2.0-alpha", "1.2.0-beta", -1},
        {"1.2.0-rc", "1.2.0-rc.1", -1},
        {"1.2.0-rc.01", "1.2.0-rc.1", 0},
        {"1.2.0-rc.99999999999", "1.2.0-rc.99999999998", 0},  // digit runs are capped
        {"1.2.0-b", "1.2.0-B", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(compareVersions(c.a, c.b), c.want) << c.a << " vs " << c.b;
        EXPECT_EQ(compareVersions(c.b, c.a), -c.want) << c.b << " vs " << c.a;
    }
}

TEST(Version, NewerThanThisBuild)
{
    EXPECT_FALSE(isNewerVersion(""));
    EXPECT_FALSE(isNewerVersion("1.1.0"));
    EXPECT_FALSE(isNewerVersion("1.1.0+build"));
    EXPECT_FALSE(isNewerVersion("1.1.0-rc.5"));
    EXPECT_FALSE(isNewerVersion("1.0.9"));
    EXPECT_TRUE(isNewerVersion("1.1.1"));
    EXPECT_TRUE(isNewerVersion("v1.2"));
    EXPECT_TRUE(isNewerVersion("1.2.0-rc.1"));
}

TEST(Version, DisplayTable)
{
    struct Case {
        const char* text;
        const char* shown;
    } cases[] = {
        {"1.2.0", "1.2.0"},
        {"1.2.0-rc.2", "1.2.0 RC 2"},
        {"1.2.0-beta.1", "1.2.0 Beta 1"},
        {"1.2.0-alpha", "1.2.0 Alpha"},
        {"1.2.0-", "1.2.0 "},
        {"1.2.0-7.1", "1.2.0 7 1"},
        {"1.2.0-rc-1.x", "1.2.0 RC-1 x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(displayVersion(c.text), c.shown) << c.text;
}

}  // namespace
}  // namespace qm
