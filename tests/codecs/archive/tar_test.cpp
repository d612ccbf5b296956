#include "codecs/archive/tar.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/errors.h"

using namespace qm;

namespace {

using Bytes = std::vector<uint8_t>;

struct Member {
    std::string name;
    std::string prefix;
    char type = '0';
    std::string data;
    std::string sizeField = "";  // default: the data's size in octal
};

Bytes tarOf(const std::vector<Member>& members)
{
    Bytes out;
    for (const Member& m : members) {
        Bytes header(512, 0);
        std::memcpy(&header[0], m.name.data(), std::min<size_t>(m.name.size(), 100));
        std::memcpy(&header[345], m.prefix.data(), std::min<size_t>(m.prefix.size(), 155));
        char size[13];
        std::snprintf(size, sizeof size, "%011o", unsigned(m.data.size()));
        std::string field = m.sizeField.empty() ? size : m.sizeField;
        std::memcpy(&header[124], field.data(), std::min<size_t>(field.size(), 12));
        header[156] = uint8_t(m.type);
        std::memcpy(&header[257], "ustar", 6);
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), m.data.begin(), m.data.end());
        out.resize((out.size() + 511) / 512 * 512, 0);
    }
    out.resize(out.size() + 1024, 0);
    return out;
}

std::string found(const Bytes& tar, std::string_view suffix)
{
    try {
        Bytes got = tarFile(tar, suffix);
        return std::string(got.begin(), got.end());
    } catch (const ValueError& e) {
        return std::string("error: ") + e.what();
    }
}

}  // namespace

TEST(Tar, FindsTheFirstRegularFileBySuffix)
{
    Bytes tar = tarOf({
        {"c.txt", "a/b", '5', ""},                // a directory that ends in the suffix
        {"pax", "", 'x', std::string(700, 'p')},  // extended header: skipped by size
        {"c.txt", "a/b", '0', "from prefix"}, {"other/b/c.txt", "", '\0', "second"},
        {"plain", "", '0', "no prefix", " 11 \0"},  // blanks and zeros stripped
    });
    EXPECT_EQ(found(tar, "b/c.txt"), "from prefix");
    EXPECT_EQ(found(tar, "a/b/c.txt"), "from prefix");
    EXPECT_EQ(found(tar, "other/b/c.txt"), "second");
    EXPECT_EQ(found(tar, "plain"), "no prefix");
    EXPECT_EQ(found(tar, "missing"), "error: the archive has no missing");
}

TEST(Tar, RefusesUnreadableAndShortArchives)
{
    EXPECT_EQ(found(Bytes(2048, 0), "x"), "error: the archive has no x");
    EXPECT_EQ(found(Bytes(100, 0), "x"), "error: the archive has no x");
    EXPECT_EQ(found(tarOf({{"a", "", '0', "", "12x4"}}), "a"), "error: invalid oct integer: 12x4");
    EXPECT_EQ(found(tarOf({{"a", "", '0', "", "  "}}), "a"), "error: invalid oct integer: ");
    EXPECT_EQ(found(tarOf({{"a", "", '0', "", std::string("\x80\0\0\0\0\0\0\0\0\0\1\0", 12)}}), "a"),
        "error: invalid oct integer: \x80");  // a message ends at its first zero byte

    // A member whose contents run past the end of the data.
    Bytes cut = tarOf({{"big", "", '0', std::string(2000, 'b')}});
    cut.resize(1024);
    EXPECT_EQ(found(cut, "big"), "error: truncated tar member big");
    // Skipping past the end just ends the search.
    EXPECT_EQ(found(cut, "other"), "error: the archive has no other");
}
