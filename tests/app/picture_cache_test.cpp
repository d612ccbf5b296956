#include "app/picture_cache.h"
#include "app/picture_cache_internal.h"
#include "codecs/image/png.h"
#include "core/files.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace qm {
namespace {

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// A cache over a fresh folder, a settable clock and textures that are only
// records, so that no GL context is needed.
struct CacheFixture : ::testing::Test {
    fs::path dir = fs::temp_directory_path()
        / ("qm-pictures-" + std::to_string(::getpid()) + "-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    double clock = 1000000;
    int uploads = 0;
    int releases = 0;
    std::vector<Image> uploaded;
    PictureCache cache;

    void SetUp() override
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
        cache = makeCache();
    }
    void TearDown() override { fs::remove_all(dir); }

    PictureCache makeCache()
    {
        PictureCache c;
        c.configDir = dir.string();
        c.serverBaseUrl = "https://svc.example";
        c.now = [this] { return clock; };
        c.upload = [this](const Image& image) {
            ++uploads;
            uploaded.push_back(image);
            auto t = std::make_shared<Texture>();
            t->name = static_cast<uint32_t>(uploads);
            t->width = image.width;
            t->height = image.height;
            return t;
        };
        c.release = [this](Texture&) { ++releases; };
        c.maxTextureSize = 4096;
        return c;
    }
};

std::string png(int32_t w, int32_t h, uint8_t r = 200, uint8_t a = 255)
{
    Image image;
    image.width = w;
    image.height = h;
    image.channels = 4;
    image.pixels.resize(size_t(w) * size_t(h) * 4);
    for (size_t i = 0; i < image.pixels.size(); i += 4) {
        image.pixels[i] = r;
        image.pixels[i + 1] = 10;
        image.pixels[i + 2] = 20;
        image.pixels[i + 3] = a;
    }
    auto bytes = encodePng(image, true);
    return std::string(bytes.begin(), bytes.end());
}

const std::string kSvg =
    "  \n<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 24 24'><path d='M2 2h20v20H2z'/></svg>";

TEST_F(CacheFixture, KeysReferencesAndUrls)
{
    User user;
    EXPECT_EQ(avatarKey(true, user), "");
    user.gravatar_hash = "abc";
    EXPECT_EQ(avatarKey(true, user), "g:abc");
    EXPECT_EQ(avatarKey(false, user), "");
    user.avatar = "/media/a.png";
    EXPECT_EQ(avatarKey(true, user), "/media/a.png");

    EXPECT_FALSE(isCustomIconRef(""));
    EXPECT_FALSE(isCustomIconRef("builtin:car"));
    EXPECT_TRUE(isCustomIconRef("Builtin:car"));
    EXPECT_EQ(absoluteIconUrl(cache, "/icons/1.svg"), "https://svc.example/icons/1.svg");
    EXPECT_EQ(absoluteIconUrl(cache, "icons/1.svg"), "https://svc.example/icons/1.svg");
    EXPECT_EQ(absoluteIconUrl(cache, "https://cdn.example/x.png"), "https://cdn.example/x.png");
    EXPECT_EQ(absoluteIconUrl(cache, "HTTPS://cdn.example/x.png"), "https://svc.example/HTTPS://cdn.example/x.png");
    // The file is named by the digest alone, whatever the key holds.
    std::string path = iconPicturePath(cache, "../../etc/passwd");
    EXPECT_EQ(fs::path(path).parent_path(), dir / "icons");
    EXPECT_EQ(fs::path(path).filename().string().size(), 24u + 4u);
    EXPECT_EQ(avatarPath(cache, "g:abc"), (dir / "avatars" / fs::path(avatarPath(cache, "g:abc")).filename()).string());

    EXPECT_EQ(customIconTexture(cache, "builtin:car").texture, nullptr);
    EXPECT_EQ(avatarTexture(cache, ""), nullptr);
    EXPECT_TRUE(cache.icons.empty());
    EXPECT_TRUE(cache.avatars.empty());
    EXPECT_EQ(takePendingAvatarFetch(cache, true), (std::pair<std::string, std::string>{}));
}

TEST_F(CacheFixture, IconStateTableWithAFakeClock)
{
    const std::string ref = "/icons/7.svg";
    EXPECT_EQ(customIconTexture(cache, ref).texture, nullptr);
    EXPECT_EQ(cache.icons[ref].state, psWanted);
    auto fetches = takePendingIconUrls(cache);
    ASSERT_EQ(fetches.size(), 1u);
    EXPECT_EQ(fetches[0].second, "https://svc.example/icons/7.svg");
    EXPECT_EQ(cache.icons[ref].state, psRequested);
    EXPECT_TRUE(takePendingIconUrls(cache).empty());

    storeCustomIcon(cache, ref, false, "");
    EXPECT_EQ(cache.icons[ref].state, psFailed);
    EXPECT_EQ(cache.icons[ref].time, clock);
    EXPECT_TRUE(cache.redraw);
    clock += 120;  // not more than 120 s: still failed
    customIconTexture(cache, ref);
    EXPECT_EQ(cache.icons[ref].state, psFailed);
    clock += 1000;  // nobody asked meanwhile: nothing happens by itself
    EXPECT_EQ(cache.icons[ref].state, psFailed);
    EXPECT_TRUE(takePendingIconUrls(cache).empty());
    customIconTexture(cache, ref);
    EXPECT_EQ(cache.icons[ref].state, psWanted);
    ASSERT_EQ(takePendingIconUrls(cache).size(), 1u);

    storeCustomIcon(cache, ref, true, "");  // an empty icon body is a failure
    EXPECT_EQ(cache.icons[ref].state, psFailed);
    storeCustomIcon(cache, ref, true, kSvg);
    PictureTexture shown = customIconTexture(cache, ref);
    ASSERT_NE(shown.texture, nullptr);
    EXPECT_EQ(shown.width, 64);
    EXPECT_EQ(shown.height, 64);
    EXPECT_TRUE(fs::exists(iconPicturePath(cache, ref)));
    // An SVG saved as ".png" is decoded again as SVG at the next start.
    PictureCache next = makeCache();
    PictureTexture again = customIconTexture(next, ref);
    ASSERT_NE(again.texture, nullptr);
    EXPECT_EQ(again.width, 64);
    EXPECT_EQ(next.icons[ref].state, psLoaded);
    EXPECT_TRUE(takePendingIconUrls(next).empty());
    const Image& last = uploaded.back();
    EXPECT_EQ(last.pixels[0], 255);
    EXPECT_EQ(last.pixels[(32 * 64 + 32) * 4 + 3], 255);
    releasePictureCache(next);
    EXPECT_EQ(releases, 1);
}

TEST_F(CacheFixture, AvatarStateTableWithAFakeClock)
{
    const std::string key = "g:abc";
    EXPECT_EQ(avatarTexture(cache, key), nullptr);
    EXPECT_EQ(takePendingAvatarFetch(cache, false), (std::pair<std::string, std::string>{}));
    auto fetch = takePendingAvatarFetch(cache, true);
    EXPECT_EQ(fetch, (std::pair<std::string, std::string>{key, "https://svc.example/api/v1/me/avatar"}));
    storeAvatar(cache, key, true, "");  // the service has no picture
    EXPECT_EQ(cache.avatars[key].state, psNone);
    clock += 3600;
    avatarTexture(cache, key);
    EXPECT_EQ(cache.avatars[key].state, psNone);
    clock += 1;
    avatarTexture(cache, key);
    EXPECT_EQ(cache.avatars[key].state, psWanted);
    takePendingAvatarFetch(cache, true);
    storeAvatar(cache, key, true, "not a picture");
    EXPECT_EQ(cache.avatars[key].state, psFailed);
    clock += 121;
    avatarTexture(cache, key);
    EXPECT_EQ(cache.avatars[key].state, psWanted);
    takePendingAvatarFetch(cache, true);

    // The prune keeps folders, links and other endings, and removes older avatars.
    fs::path folder = dir / "avatars";
    fs::create_directories(folder / "keep.png");
    writeFileAtomic((folder / "old.png").string(), png(2, 2));
    writeFileAtomic((folder / "notes.txt").string(), "x");
    writeFileAtomic((dir / "outside.png").string(), "x");
    fs::create_symlink(dir / "outside.png", folder / "link.png");
    storeAvatar(cache, key, true, png(6, 4));
    EXPECT_EQ(cache.avatars[key].state, psLoaded);
    EXPECT_NE(avatarTexture(cache, key), nullptr);
    EXPECT_FALSE(fs::exists(folder / "old.png"));
    EXPECT_TRUE(fs::is_directory(folder / "keep.png"));
    EXPECT_TRUE(fs::is_symlink(folder / "link.png"));
    EXPECT_TRUE(fs::exists(dir / "outside.png"));
    EXPECT_TRUE(fs::exists(folder / "notes.txt"));
    EXPECT_TRUE(fs::exists(avatarPath(cache, key)));
    // A non-square avatar: a circle of the shorter side, corners clear, colours kept.
    const Image& shown = uploaded.back();
    ASSERT_EQ(shown.width, 6);
    EXPECT_EQ(shown.pixels[3], 0);
    EXPECT_EQ(shown.pixels[(1 * 6 + 3) * 4 + 3], 255);
    EXPECT_EQ(shown.pixels[(1 * 6 + 3) * 4], 200);
    // A reload from disk, and a damaged file is fetched again.
    PictureCache next = makeCache();
    EXPECT_NE(avatarTexture(next, key), nullptr);
    writeFileAtomic(avatarPath(cache, key), "garbage");
    PictureCache third = makeCache();
    EXPECT_EQ(avatarTexture(third, key), nullptr);
    EXPECT_EQ(third.avatars[key].state, psWanted);
}

TEST_F(CacheFixture, IconPicturesAreWhiteSilhouettes)
{
    PictureTexture t = loadIconPicture(cache, png(3, 2, 90, 77));
    ASSERT_NE(t.texture, nullptr);
    EXPECT_EQ(t.width, 3);
    EXPECT_EQ(uploaded.back().pixels[0], 255);
    EXPECT_EQ(uploaded.back().pixels[3], 77);
    EXPECT_TRUE(looksLikeSvg(" \t<svg/>"));
    EXPECT_TRUE(looksLikeSvg("<?xml version='1.0'?>" + std::string(600, ' ') + "<svg/>"));
    EXPECT_FALSE(looksLikeSvg("x<svg/>"));
    // An SVG that draws nothing is not tried as PNG; the entry fails.
    storeCustomIcon(cache, "/a.svg", true, "<svg width='24' height='24'><path d='M2 2h9v9z' fill='none'/></svg>");
    EXPECT_EQ(cache.icons["/a.svg"].state, psFailed);
    EXPECT_FALSE(fs::exists(iconPicturePath(cache, "/a.svg")));
    // A photo of up to 2 MiB must always show.
    std::string photo = png(1000, 1000);
    photo.resize(2 << 20, '\0');  // padding after IEND is ignored by the decoder
    storeAvatar(cache, "big", true, photo);
    EXPECT_EQ(cache.avatars["big"].state, psLoaded);
}

// Each hostile download ends as a failed picture, in a child process whose
// address space is limited to 512 MB (without the sanitizers, which reserve
// far more address space than that for themselves).
TEST_F(CacheFixture, HostileDownloadsFailWithoutTakingTheProgramDown)
{
    auto pngHeader = [](uint32_t w, uint32_t h) {
        Image tiny;
        tiny.width = 1;
        tiny.height = 1;
        tiny.channels = 4;
        tiny.pixels.assign(4, 255);
        auto bytes = encodePng(tiny, true);
        std::string s(bytes.begin(), bytes.end());
        for (int i = 0; i < 4; ++i) {
            s[16 + i] = char(w >> (24 - 8 * i));
            s[20 + i] = char(h >> (24 - 8 * i));
        }
        return s;
    };
    std::string deep = "<svg width='24' height='24'>";
    for (int i = 0; i < 100000; ++i)
        deep += "<g>";
    deep += "<rect width='4' height='4'/>";
    for (int i = 0; i < 100000; ++i)
        deep += "</g>";
    deep += "</svg>";
    std::string laughs = "<?xml version='1.0'?><!DOCTYPE svg [<!ENTITY l0 'lol'>";
    for (int i = 1; i < 10; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " '";
        for (int k = 0; k < 10; ++k)
            laughs += "&l" + std::to_string(i - 1) + ";";
        laughs += "'>";
    }
    laughs += "]><svg width='24' height='24'><text>&l9;</text></svg>";
    std::string rects = "<svg width='24' height='24'>";
    for (int i = 0; i < 1000000; ++i)
        rects += "<rect width='1' height='1'/>";
    rects += "</svg>";
    const std::pair<const char*, std::string> cases[] = {
        {"PNG declaring 8192 x 16384", pngHeader(8192, 16384)},
        {"PNG declaring 2049 x 1", pngHeader(2049, 1)},
        {"PNG with a second, huge header",
            pngHeader(5, 5).insert(33, std::string("\0\0\0\x0dIHDR\0\0\x20\0\0\0\x40\0\x08\x06\0\0\0\0\0\0\0", 25))},
        {"100,000-deep nest", deep},
        {"billion laughs", laughs},
        {"coordinates 1e308", "<svg width='24' height='24'><path d='M0 0L1e308 0 1e308 1e308z'/></svg>"},
        {"coordinates NaN",
            "<svg width='24' height='24'><path d='M0 0L-nan 0 5 NaN'/><rect width='nan' height='4'/></svg>"},
        {"50 MB body", std::string(50 << 20, '<')},
        {"a million tiny rects", rects},
    };
    for (const auto& [name, body] : cases) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (!kSanitized) {
                rlimit limit{512ull << 20, 512ull << 20};
                ::setrlimit(RLIMIT_AS, &limit);
            }
            PictureCache c = makeCache();
            storeCustomIcon(c, "/x", true, body);
            storeAvatar(c, "x", true, body);
            ::_exit(c.icons["/x"].state == psFailed && c.avatars["x"].state == psFailed ? 0 : 3);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status)) << name << ": killed by signal " << WTERMSIG(status);
        if (WIFEXITED(status)) {
            EXPECT_EQ(WEXITSTATUS(status), 0) << name << ": did not end as a failed picture";
        }
    }
}

}  // namespace
}  // namespace qm
