#include "pages/account/account_two_factor.h"
#include "platform/render/mock_gl.h"

#include <gtest/gtest.h>

#include <string>

namespace qm {
namespace {

TEST(AccountQr, ModulesInsideAFourPixelWhiteBorder)
{
    QrCode code = encodeQr("otpauth://x");
    ASSERT_EQ(code.size, 21);
    std::vector<uint8_t> pixels = accountQrPixels(code);
    const int n = 29;
    ASSERT_EQ(pixels.size(), size_t(n * n * 4));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const uint8_t* p = &pixels[size_t(i * n + j) * 4];
            bool inside = i >= 4 && i < 25 && j >= 4 && j < 25;
            uint8_t want = inside && qrModule(code, j - 4, i - 4) ? 0 : 255;
            ASSERT_EQ(p[0], want) << i << "," << j;
            ASSERT_EQ(p[1], want);
            ASSERT_EQ(p[2], want);
            ASSERT_EQ(p[3], 255);
        }
}

TEST(AccountQr, OneTexturePerTextAndTooLongKeepsTheCache)
{
    mockgl::install();
    mockgl::reset();
    TextureRef first = accountQrTexture("otpauth://a");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->width, 29);
    EXPECT_EQ(first->height, 29);
    EXPECT_EQ(accountQrTexture("otpauth://a"), first);
    EXPECT_EQ(mockgl::callsNamed("glTexImage2D").size(), 1u);
    EXPECT_TRUE(mockgl::callsNamed("glDeleteTextures").empty());

    TextureRef second = accountQrTexture("otpauth://b");
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_EQ(mockgl::callsNamed("glDeleteTextures").size(), 1u);

    EXPECT_FALSE(accountQrTexture(std::string(214, 'a')));
    EXPECT_EQ(mockgl::callsNamed("glDeleteTextures").size(), 1u);
    EXPECT_EQ(accountQrTexture("otpauth://b"), second);
    EXPECT_EQ(mockgl::callsNamed("glTexImage2D").size(), 2u);
}

}  // namespace
}  // namespace qm
