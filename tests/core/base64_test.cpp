#include "core/base64.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(Base64, Rfc4648VectorsRoundTrip)
{
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, coded] : vectors) {
        EXPECT_EQ(encodeBase64(plain), coded);
        EXPECT_EQ(decodeBase64(coded), std::optional<std::string>(plain));
    }
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += char(i);
    EXPECT_EQ(decodeBase64(encodeBase64(all)), all);
    EXPECT_EQ(encodeBase64("\xfb\xff"), "+/8=");
}

TEST(Base64, RefusesAnythingButTheCanonicalForm)
{
    for (const char* bad :
        {"Zg", "Zg=", "Zg===", "Z===", "====", "Zh==", "Zm9=", "Zm 9v", "Zm9v\n", "Zm-v", "Zm_v", "Z=g=", "Zg==Zg=="})
        EXPECT_FALSE(decodeBase64(bad).has_value()) << bad;
}

}  // namespace
}  // namespace qm
