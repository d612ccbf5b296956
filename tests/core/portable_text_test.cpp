#include "core/portable_text.h"

#include <gtest/gtest.h>

using namespace qm;
using namespace std::string_literals;

TEST(PortableText, DropsWhatFilesCannotHoldAndRepairsTheRest)
{
    const std::pair<std::string, std::string> cases[] = {
        {"plain text", "plain text"}, {"tab\tline\nreturn\r", "tab\tline\nreturn\r"},
        {"nul\0bell\x07"
         "esc\x1B"
         "del\x7F"s,
            "nulbellescdel\x7F"},
        {"\xEF\xBF\xBE\xEF\xBF\xBF\xEF\xBF\xBD", "\xEF\xBF\xBD"},  // U+FFFE, U+FFFF go; U+FFFD stays
        {"\xC3\xA9\xF0\x9F\x92\xB0", "\xC3\xA9\xF0\x9F\x92\xB0"},  // well-formed text is kept
        {"a\xFF"
         "b",
            "a\xEF\xBF\xBD"
            "b"},                                                  // a stray byte
        {"\xE2\x82", "\xEF\xBF\xBD"},                              // a cut sequence is one U+FFFD
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // an encoded surrogate
        {"\xC2\x85", "\xC2\x85"},                                  // C1 controls are legal XML
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(portableText(in), out) << in;
        EXPECT_EQ(isPortableText(in), in == out) << in;
        EXPECT_TRUE(isPortableText(out)) << in;
    }
}
