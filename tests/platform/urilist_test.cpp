#include "platform/urilist.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace qm {
namespace {

using Paths = std::vector<std::string>;

TEST(UriList, FileUrlToPath)
{
    struct Case {
        std::string url, path;
    };
    const Case cases[] = {
        {"file:///home/a%20b.txt", "/home/a b.txt"},
        {"file://localhost/tmp/x", "/tmp/x"},
        {"FILE://LocalHost/tmp/x", "/tmp/x"},
        {"file://server/share/x", ""},
        {"file:///C:/Users/x", "C:/Users/x"},
        {"file:/tmp/x", "/tmp/x"},
        {"file://host", ""},
        {"file://", ""},
        {"  file:///tmp/y \r\n", "/tmp/y"},
        {"http://localhost/tmp/x", ""},
        {"file:///tmp/%4", "/tmp/%4"},
        {"file:///tmp/%zz%4a%4A", "/tmp/%zzJJ"},
        {"file:///%2Fetc", "//etc"},
        {"file:", ""},
        {"file:relative", ""},      // names no absolute path
        {"file:///tmp/a%00b", ""},  // a NUL byte would cut the path short
        {"file:///tmp/%E2%82%AC", "/tmp/\xE2\x82\xAC"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fileUrlToPath(c.url), c.path) << c.url;
}

TEST(UriList, PercentDecodeAndHexDigits)
{
    EXPECT_EQ(percentDecode("a%20b%2fc%2F"), "a b/c/");
    EXPECT_EQ(percentDecode("100%"), "100%");
    EXPECT_EQ(percentDecode("%4"), "%4");
    EXPECT_EQ(percentDecode("%g0%0g%%41"), "%g0%0g%A");
    EXPECT_EQ(percentDecode("%00%ff"), "\0\xff"s);
    EXPECT_EQ(percentDecode(""), "");
    for (char c : std::string("09afAF"))
        EXPECT_EQ(hexDigitValue(c), std::stoi(std::string(1, c), nullptr, 16));
    for (char c : std::string("gG/:@`% \0", 9))
        EXPECT_EQ(hexDigitValue(c), std::nullopt);
}

TEST(UriList, UnquoteAndAbsolutePaths)
{
    EXPECT_EQ(unquote("  'a b'\t"), "a b");
    EXPECT_EQ(unquote("\"/x\""), "/x");
    EXPECT_EQ(unquote("'/x\""), "'/x\"");
    EXPECT_EQ(unquote("'"), "'");
    EXPECT_EQ(unquote("''"), "");
    for (const char* p : {"/", "/a", "C:/x", "c:\\x", "\\\\server\\share"})
        EXPECT_TRUE(isAbsolutePath(p)) << p;
    for (const char* p : {"", "a", "C:", "C:x", "1:/x", "\\x", "~/x"})
        EXPECT_FALSE(isAbsolutePath(p)) << p;
}

TEST(UriList, Payloads)
{
    struct Case {
        std::string payload;
        Paths paths;
    };
    const Case cases[] = {
        {"copy\nfile:///a\nfile:///b", {"/a", "/b"}},
        {"cut\r\nfile:///a\r\n", {"/a"}},
        {"file:///a\ncopy\nfile:///b", {}},
        {"# dropped\r\n'/home/me/x y.ofx'\r\nfile:///b%20c\r\n", {"/home/me/x y.ofx", "/b c"}},
        {"'relative.txt'\n", {}},
        {"file:///a\rfile:///b\r\n\r\nfile:///c\n", {"/a", "/b", "/c"}},
        {"  \t\n\n", {}},
        {"\0file:///a\0\n"s, {"/a"}},
        {"file:///a\nfile://server/b\n", {}},
        {"file:///a\n/b\0c\n"s, {}},
        {"copy", {}},
        {"C:\\x\n\\\\srv\\y", {"C:\\x", "\\\\srv\\y"}},
        {"#copy\ncopy\n/a", {"/a"}},
        {"\"\"\n", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseUriList(c.payload), c.paths) << c.payload;
}

}  // namespace
}  // namespace qm
