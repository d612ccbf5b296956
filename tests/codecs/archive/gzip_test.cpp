#include "codecs/archive/gzip.h"

#include <gtest/gtest.h>

#include "codecs/compress/stored_deflate.h"
#include "core/errors.h"

using namespace qm;
using qm::test::storedDeflate;

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kText = {'g', 'z', 'i', 'p', 'p', 'e', 'd'};

// A gzip member with the given flag byte and optional fields, a stored body
// and a deliberately wrong trailer (never checked).
Bytes gzipOf(uint8_t flags, const Bytes& fields, const Bytes& data = kText)
{
    Bytes out = {0x1F, 0x8B, 0x08, flags, 1, 2, 3, 4, 0, 3};
    out.insert(out.end(), fields.begin(), fields.end());
    Bytes body = storedDeflate(data);
    out.insert(out.end(), body.begin(), body.end());
    out.insert(out.end(), 8, 0xEE);
    return out;
}

}  // namespace

TEST(Gunzip, SkipsEveryOptionalHeaderField)
{
    const std::pair<const char*, Bytes> cases[] = {
        {"plain", gzipOf(0, {})},
        {"extra", gzipOf(4, {3, 0, 'x', 'y', 'z'})},
        {"name", gzipOf(8, {'f', '.', 't', 'x', 't', 0})},
        {"comment", gzipOf(16, {'h', 'i', 0})},
        {"header crc", gzipOf(2, {0xAB, 0xCD})},
        {"all, other bits ignored", gzipOf(0xFF, {2, 0, 0, 0, 'n', 0, 'c', 0, 9, 9})},
    };
    for (const auto& [name, gz] : cases)
        EXPECT_EQ(gunzip(gz), kText) << name;

    // Only the first member is read.
    Bytes two = gzipOf(0, {});
    Bytes second = gzipOf(0, {}, {'!'});
    two.insert(two.end(), second.begin(), second.end());
    EXPECT_EQ(gunzip(two), kText);
}

TEST(Gunzip, RefusesWhatIsNotGzip)
{
    Bytes noNameEnd = {0x1F, 0x8B, 0x08, 8 | 16, 0, 0, 0, 0, 0, 3};
    noNameEnd.insert(noNameEnd.end(), 20, 'n');
    Bytes extraPastEnd = gzipOf(4, {0xFF, 0xFF});
    Bytes crcPastEnd = {0x1F, 0x8B, 0x08, 8 | 2, 0, 0, 0, 0, 0, 3};
    crcPastEnd.insert(crcPastEnd.end(), 9, 'n');
    crcPastEnd.push_back(0);  // the name ends at the last byte
    Bytes brokenBody = gzipOf(0, {});
    brokenBody[10] = 0x07;  // block type 3
    const std::pair<Bytes, std::string> cases[] = {
        {[] {
             Bytes b = gzipOf(0, {});
             b.resize(17);
             return b;
         }(),
            "not a gzip file"},
        {gzipOf(0, {}, {}), "(fine)"},
        {[] {
             Bytes b = gzipOf(0, {});
             b[2] = 7;
             return b;
         }(),
            "not a gzip file"},
        {[] {
             Bytes b = gzipOf(0, {});
             b[1] = 0;
             return b;
         }(),
            "not a gzip file"},
        {noNameEnd, "a damaged gzip file"},
        {extraPastEnd, "a damaged gzip file"},
        {crcPastEnd, "a damaged gzip file"},
        {brokenBody, "bad block type"},
    };
    for (const auto& [gz, message] : cases) {
        std::string got = "(fine)";
        try {
            gunzip(gz);
        } catch (const ValueError& e) {
            got = e.what();
        }
        EXPECT_EQ(got, message);
    }
}
