// Module-exact comparisons with segno and reading with zbarimg are in
// tests/oracles/net_qr.py.
#include "codecs/qr/qr.h"
#include "codecs/qr/qr_internal.h"
#include "core/errors.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(Qr, VersionBoundaries)
{
    struct Case {
        std::size_t bytes;
        int size;
    } cases[] = {{0, 21}, {14, 21}, {15, 25}, {180, 53}, {181, 57}, {213, 57}, {214, 0}, {1000, 0}};
    for (const Case& c : cases) {
        QrCode code = encodeQr(std::string(c.bytes, 'a'));
        EXPECT_EQ(code.size, c.size) << c.bytes;
        EXPECT_EQ(code.modules.size(), std::size_t(c.size * c.size)) << c.bytes;
    }
}

TEST(Qr, VersionBlocksFromSevenOn)
{
    // Version 7's block (bits 000111 110010 010100, least significant first
    // along the columns) sits above the bottom-left finder; version 6 keeps
    // that area for data.
    QrCode v7 = encodeQrWith("x", 7, 0);
    const int n = v7.size;
    const int bits = 0x07c94;
    for (int i = 0; i < 18; ++i) {
        int want = (bits >> i) & 1;
        EXPECT_EQ(qrModule(v7, i / 3, n - 11 + i % 3), want) << i;
        EXPECT_EQ(qrModule(v7, n - 11 + i % 3, i / 3), want) << i;
    }
    // Version 6: the same places change with the mask, so they are data.
    QrCode a = encodeQrWith("x", 6, 0), b = encodeQrWith("x", 6, 1);
    int differ = 0;
    for (int i = 0; i < 18; ++i)
        differ += qrModule(a, i / 3, a.size - 11 + i % 3) != qrModule(b, i / 3, b.size - 11 + i % 3);
    EXPECT_GT(differ, 0);
}

TEST(Qr, ModuleOutsideTheSymbolIsAnError)
{
    QrCode code = encodeQr("hello");
    EXPECT_EQ(qrModule(code, 0, 0), 1);              // finder corner
    EXPECT_EQ(qrModule(code, 8, code.size - 8), 1);  // the dark module
    EXPECT_THROW(qrModule(code, code.size, 0), IndexError);
    EXPECT_THROW(qrModule(code, 0, -1), IndexError);
    EXPECT_THROW(encodeQrWith(std::string(20, 'a'), 1, 0), ValueError);
}

TEST(Qr, PenaltyRules)
{
    // A hand-made 21x21 all-light symbol: every row and column is one run of
    // 21 (3 + 16 each, 42 lines), 400 blocks of 2x2, no finder-like run, and
    // 0 % dark gives 10 * 10.
    QrCode light{21, std::vector<std::uint8_t>(21 * 21, 0)};
    EXPECT_EQ(qrPenalty(light), 42 * 19 + 400 * 3 + 100);
    // The finder-like rule is compared with an independent scorer in the oracle.
    QrCode dark{21, std::vector<std::uint8_t>(21 * 21, 1)};
    EXPECT_EQ(qrPenalty(dark), qrPenalty(light));
}

}  // namespace
}  // namespace qm
