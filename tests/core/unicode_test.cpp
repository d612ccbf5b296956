#include <gtest/gtest.h>

#include "core/unicode.h"

namespace qm {
namespace {

TEST(Unicode, LenientDecoding)
{
    struct Case {
        std::string bytes;
        std::u32string codePoints;
    };
    const std::vector<Case> cases = {
        {"a\xC3\xA9", U"a\u00E9"},
        {"\xC3", U"\uFFFD"},  // truncated at the end
        {"\xC3"
         "A",
            U"\uFFFDA"},                // truncated before ASCII: the ASCII survives
        {"\xE2\x82", U"\uFFFD\u0082"},  // too few bytes left: one byte consumed
        {"\xE2\x82\n", U"\uFFFD\n"},    // a line feed inside a form survives
        {"\xE2\x82"
         "a\n",
            U"\uFFFDa\n"},                        // non-continuation inside: resume at it
        {"\xF8\x88\x80\x80\x80", U"\uFFFD"},      // 5-byte form above U+10FFFF
        {"\xFD\xBF\xBF\xBF\xBF\xBF", U"\uFFFD"},  // 6-byte form
        {"\xF4\x90\x80\x80", U"\uFFFD"},          // just above U+10FFFF
        {"\xC0\x80", std::u32string(1, 0)},       // overlong forms are accepted
        {"\x9F", U"\u009F"},                      // lone continuation byte
        {"\xFE\xFF", U"\u00FE\u00FF"},
        {"\xF0\x9F\x98\x80", U"\U0001F600"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodeUtf8LenientAll(c.bytes), c.codePoints) << testing::PrintToString(c.bytes);
}

TEST(Unicode, LowerCaseAndLetters)
{
    EXPECT_EQ(simpleLowerCase('A'), uint32_t('a'));
    EXPECT_EQ(simpleLowerCase(0xC9), 0xE9u);
    EXPECT_EQ(simpleLowerCase(0x1E9E), 0xDFu);  // capital sharp s
    EXPECT_EQ(simpleLowerCase(0x3A3), 0x3C3u);
    EXPECT_EQ(simpleLowerCase(0x3C2), 0x3C2u);  // final sigma has no lower-case mapping
    EXPECT_EQ(simpleLowerCase(0x130), 0x69u);   // simple mapping of dotted capital I
    EXPECT_EQ(lowerCaseUtf8("\xC3\x89T\xC3\x89 \xFF"), "\xC3\xA9t\xC3\xA9 \xFF");
    for (uint32_t cp : {uint32_t('a'), 0xE9u, 0x4E00u, 0x9FFFu, 0x20000u, 0x5D0u})
        EXPECT_TRUE(isUnicodeLetter(cp)) << cp;
    for (uint32_t cp : {uint32_t('1'), uint32_t(' '), 0x2010u, 0x1F600u, 0x300u})
        EXPECT_FALSE(isUnicodeLetter(cp)) << cp;
}

}  // namespace
}  // namespace qm
