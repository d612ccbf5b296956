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

// Long paths: a pax extended header's "path" record and a GNU long-name
// member name the member after them, and neither is a member of its own.
// Before, the truncated ustar name was matched and the name-carrying
// entries could be taken for the file.
TEST(Tar, LongNamesNameTheMemberThatFollows)
{
    const std::string longPath = std::string(120, 'd') + "/bin/app";
    auto pax = [](const std::string& key, const std::string& value) {
        std::string record = " " + key + "=" + value + "\n";
        size_t length = record.size() + 1;
        while (std::to_string(length).size() + record.size() != length)
            ++length;
        return std::to_string(length) + record;
    };
    struct Row {
        const char* name;
        Bytes tar;
        const char* suffix;
        std::string want;
    };
    const Row rows[] = {
        {"pax path",
            tarOf({{"PaxHeaders/app", "", 'x', pax("mtime", "1.5") + pax("path", longPath)},
                {std::string(100, 'd'), "", '0', "the app"}}),
            "/bin/app", "the app"},
        {"pax path replaces the ustar name and prefix",
            tarOf({{"PaxHeaders/x", "", 'x', pax("path", "new/name")}, {"old/bin/app", "", '0', "renamed"},
                {"z/bin/app", "", '0', "later"}}),
            "/bin/app", "later"},
        {"GNU long name",
            tarOf({{"././@LongLink", "", 'L', longPath + std::string(1, '\0')},
                {std::string(100, 'd'), "", '0', "gnu app"}}),
            "/bin/app", "gnu app"},
        {"the name holder is no member", tarOf({{"././@LongLink", "", 'L', "x/bin/app"}, {"d", "", '5', ""}}),
            "/bin/app", "error: the archive has no /bin/app"},
        {"a global header names nothing",
            tarOf({{"pax_global_header", "", 'g', pax("path", "g/bin/app")}, {"plain", "", '0', "p"}}), "/bin/app",
            "error: the archive has no /bin/app"},
        {"a long name is used once",
            tarOf({{"././@LongLink", "", 'L', "first/bin/app"}, {"a", "", '0', "A"}, {"b", "", '0', "B"}}), "b", "B"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(found(r.tar, r.suffix), r.want) << r.name;
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
