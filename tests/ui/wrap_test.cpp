#include "ui/wrap.h"
#include "ui/wrap_internal.h"

#include "core/utf8.h"
#include "platform/render/glyph_atlas.h"
#include "ui_harness.h"

#include <gtest/gtest.h>

#include <random>

namespace qm {
namespace {

using Lines = std::vector<std::string>;

TEST(Wrap, Table)
{
    testing::UiHarness h;
    h.frame();
    UiContext& c = *h.ctx;
    double size = 13;
    double twoWords = textWidth(*c.font, "aa bb", size);
    struct Case {
        std::string text;
        double width;
        Lines expect;
    } cases[] = {
        {"", 100, {""}},
        {"Supercalifragilistic", 10, {"Supercalifragilistic"}},
        {"one\n\ntwo", 500, {"one", "", "two"}},
        {"aa bb cc", 0, {"aa", "bb", "cc"}},
        {"  aa bb", 500, {"aa bb"}},
        {"aa  bb", twoWords, {"aa ", "bb"}},  // two spaces before the break: one stays
        {"aa\r\nbb", 500, {"aa\r", "bb"}},
        {"aa\x01"
         "bb cc",
            textWidth(*c.font, "aa bb", size),
            {"aa\x01"
             "bb",
                "cc"}},
        {"trailing\n", 500, {"trailing", ""}},
    };
    for (const Case& k : cases)
        EXPECT_EQ(wrapText(c, k.text, k.width, size), k.expect) << k.text;
}

// Broken long words fill their lines and lose nothing; text without one
// wraps as it does when words are kept whole.
TEST(Wrap, LongWordsBrokenApart)
{
    testing::UiHarness h;
    h.frame();
    UiContext& c = *h.ctx;
    const double size = 13, width = 120;
    std::string path = "/home/ann/";
    while (path.size() < 300)
        path += "Pl\xC3\xA4ne-\xE2\x82\xAC/";
    for (const std::string& text : {path, "Could not save " + path + " now: disk full", std::string("x ") + path}) {
        Lines lines = wrapText(c, text, width, size, LongWords::breakApart);
        std::string joined;
        for (size_t i = 0; i < lines.size(); ++i) {
            EXPECT_LE(textWidth(*c.font, lines[i], size), width) << lines[i];
            EXPECT_TRUE(isValidUtf8(lines[i])) << lines[i];
            joined += lines[i];
        }
        std::string spaceless = text;
        std::erase(spaceless, ' ');
        std::erase(joined, ' ');
        EXPECT_EQ(joined, spaceless);
        EXPECT_GT(lines.size(), 10u);
    }
    EXPECT_EQ(wrapText(c, "ab", 0, size, LongWords::breakApart), (Lines{"a", "b"}));
    EXPECT_EQ(wrapText(c, "aa bb cc dd", textWidth(*c.font, "aa bb", size), size, LongWords::breakApart),
        (Lines{"aa bb", "cc dd"}));
}

// The fast wrap keeps a running width; the literal one measures every
// candidate afresh. Over random texts they must give the same lines.
TEST(Wrap, FastEqualsLiteralOverRandomTexts)
{
    testing::UiHarness h;
    h.frame();
    UiContext& c = *h.ctx;
    std::mt19937 rng(1234);
    const std::vector<std::string> pieces = {"a", "bb", "Wo", "AV", "ffi", " ", " ", "  ", "\x01", "\n", "é", "ß",
        "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\x80", "\xE2\x82", "12.50", "To"};
    for (int n = 0; n < 3000; ++n) {
        std::string text;
        int len = int(rng() % 40);
        for (int i = 0; i < len; ++i)
            text += pieces[rng() % pieces.size()];
        double width = (rng() % 4 == 0) ? 0 : double(rng() % 300);
        double size = 10 + double(rng() % 10);
        ASSERT_EQ(wrapText(c, text, width, size), wrapTextLiteral(c, text, width, size)) << text << " at " << width;
    }
}

}  // namespace
}  // namespace qm
