#include "app/picture_cache.h"

#include "app/paths.h"
#include "app/picture_cache_internal.h"
#include "app/svg.h"
#include "codecs/crypto/sha2.h"
#include "codecs/image/png.h"
#include "core/bytes.h"
#include "core/errors.h"
#include "core/files.h"
#include "platform/render/gl_entry_points.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <new>
#include <optional>

namespace qm {

namespace {

namespace fs = std::filesystem;

double nowSeconds(const PictureCache& cache)
{
    if (cache.now)
        return cache.now();
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

int32_t maxTextureSide(PictureCache& cache)
{
    if (cache.maxTextureSize <= 0) {
        GLint side = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &side);
        cache.maxTextureSize = side > 0 ? side : 2048;
    }
    return cache.maxTextureSize;
}

void releaseTexture(PictureCache& cache, const TextureRef& texture)
{
    if (!texture)
        return;
    if (cache.release)
        cache.release(*texture);
    else
        deleteTexture(*texture);
}

void storeEntry(PictureCache& cache, std::unordered_map<std::string, PictureEntry>& table, const std::string& key,
    PictureEntry entry)
{
    auto it = table.find(key);
    if (it == table.end()) {
        table.emplace(key, std::move(entry));
        return;
    }
    if (it->second.texture && it->second.texture != entry.texture)
        releaseTexture(cache, it->second.texture);
    it->second = std::move(entry);
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string cacheFileName(const std::string& key) { return sha256Hex(key).substr(0, 24) + ".png"; }

// Whether every header the bytes could hold declares a picture within the
// side, read before anything is decoded. The decoder takes a later header
// chunk over the first, so each "IHDR" anywhere in the bytes is checked.
bool pngWithinSide(std::string_view bytes, uint32_t side)
{
    static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
    if (bytes.size() < 24 || !std::equal(kSignature, kSignature + 8, p) || bytes.substr(12, 4) != "IHDR")
        return false;
    for (size_t at = bytes.find("IHDR", 12); at != std::string_view::npos; at = bytes.find("IHDR", at + 4)) {
        if (at + 12 > bytes.size())
            return false;
        uint32_t width = loadBe32(p + at + 4), height = loadBe32(p + at + 8);
        if (width == 0 || height == 0 || width > side || height > side)
            return false;
    }
    return true;
}

// Decodes a PNG no larger than maxSide on either side (and than the GL
// limit), as RGBA; null for anything else.
ImagePtr decodeBoundedPng(PictureCache& cache, std::string_view bytes, int32_t maxSide)
{
    if (!pngWithinSide(bytes, static_cast<uint32_t>(std::min(maxSide, maxTextureSide(cache)))))
        return nullptr;
    ImagePtr image = decodePng(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    if (!image || image->channels != 4 || image->width <= 0 || image->height <= 0)
        return nullptr;
    return image;
}

TextureRef uploadImage(PictureCache& cache, const Image& image)
{
    if (cache.upload)
        return cache.upload(image);
    return newTexture(image.width, image.height, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, image.pixels.data(), true, true);
}

PictureTexture uploadPicture(PictureCache& cache, const Image& image)
{
    TextureRef texture = uploadImage(cache, image);
    if (!texture)
        return {};
    return PictureTexture{texture, image.width, image.height};
}

// Runs a decoding step, turning the failures that bad input or a lack of
// memory cause into "no picture". Defects of the program still escape.
template <typename Fn>
PictureTexture absorbingFailures(Fn fn)
{
    try {
        return fn();
    } catch (const ValueError&) {
    } catch (const IOError&) {
    } catch (const OSError&) {
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return {};
}

// The cache file's bytes, or nothing when it is missing, unreadable or too
// large to be a picture.
std::optional<std::string> readCacheFile(const std::string& path)
{
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0
        || static_cast<uint64_t>(info.st_size) > kMaxPictureBytes)
        return std::nullopt;
    try {
        return readFile(path);
    } catch (const IOError&) {
    } catch (const std::bad_alloc&) {
    }
    return std::nullopt;
}

// Keeps one avatar on disk: every other regular ".png" file goes; folders,
// links and other files stay.
void pruneAvatars(const fs::path& folder, const fs::path& keep)
{
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const fs::path& path = entry.path();
        if (path == keep || path.extension() != ".png")
            continue;
        if (fs::is_regular_file(fs::symlink_status(path)))
            fs::remove(path);
    }
}

// Writes a downloaded picture; a failure only costs a fetch at the next start.
void writeCacheFile(const std::string& path, std::string_view body, bool prune)
{
    try {
        fs::path file(path);
        fs::create_directories(file.parent_path());
        if (prune)
            pruneAvatars(file.parent_path(), file);
        writeFileAtomic(path, body);
    } catch (const fs::filesystem_error&) {
    } catch (const IOError&) {
    } catch (const std::bad_alloc&) {
    }
}

enum class PictureKind { avatar, icon };

PictureTexture decodePicture(PictureCache& cache, PictureKind kind, std::string_view bytes)
{
    return kind == PictureKind::avatar ? avatarTextureFromPng(cache, bytes) : loadIconPicture(cache, bytes);
}

// The lookup both kinds share: a first request reads the disk, then the
// entry's state answers, turning a failure old enough back into a want.
PictureTexture lookUp(PictureCache& cache, PictureKind kind, const std::string& key)
{
    auto& table = kind == PictureKind::avatar ? cache.avatars : cache.icons;
    auto it = table.find(key);
    if (it == table.end()) {
        std::string path = kind == PictureKind::avatar ? avatarPath(cache, key) : iconPicturePath(cache, key);
        PictureTexture found;
        if (auto bytes = readCacheFile(path))
            found = decodePicture(cache, kind, *bytes);
        PictureEntry entry;
        if (found.texture)
            entry = PictureEntry{psLoaded, found.texture, found.width, found.height, 0};
        it = table.emplace(key, entry).first;
    }
    PictureEntry& entry = it->second;
    const double age = nowSeconds(cache) - entry.time;
    switch (entry.state) {
    case psLoaded:
        return PictureTexture{entry.texture, entry.width, entry.height};
    case psFailed:
        if (age > kFailedRetrySeconds)
            entry.state = psWanted;
        break;
    case psNone:
        if (age > kNoAvatarRetrySeconds)
            entry.state = psWanted;
        break;
    case psWanted:
    case psRequested:
        break;
    }
    return {};
}

void store(PictureCache& cache, PictureKind kind, const std::string& key, bool ok, std::string_view body)
{
    const double now = nowSeconds(cache);
    auto& table = kind == PictureKind::avatar ? cache.avatars : cache.icons;
    cache.redraw = true;
    if (ok && body.empty() && kind == PictureKind::avatar) {
        storeEntry(cache, table, key, PictureEntry{psNone, nullptr, 0, 0, now});
        return;
    }
    PictureTexture decoded;
    if (ok && !body.empty() && body.size() <= kMaxPictureBytes)
        decoded = decodePicture(cache, kind, body);
    if (!decoded.texture) {
        storeEntry(cache, table, key, PictureEntry{psFailed, nullptr, 0, 0, now});
        return;
    }
    std::string path = kind == PictureKind::avatar ? avatarPath(cache, key) : iconPicturePath(cache, key);
    writeCacheFile(path, body, kind == PictureKind::avatar);
    storeEntry(cache, table, key, PictureEntry{psLoaded, decoded.texture, decoded.width, decoded.height, 0});
}

}  // namespace

PictureCache newPictureCache(const Settings& settings)
{
    PictureCache cache;
    cache.configDir = configDir();
    cache.serverBaseUrl = serverBaseUrl(settings);
    return cache;
}

std::string avatarKey(bool signedIn, const User& user)
{
    if (!signedIn)
        return {};
    if (!user.avatar.empty())
        return user.avatar;
    if (!user.gravatar_hash.empty())
        return "g:" + user.gravatar_hash;
    return {};
}

bool isCustomIconRef(std::string_view reference) { return !reference.empty() && !startsWith(reference, "builtin:"); }

std::string avatarPath(const PictureCache& cache, const std::string& key)
{
    return (fs::path(cache.configDir) / "avatars" / cacheFileName(key)).string();
}

std::string iconPicturePath(const PictureCache& cache, const std::string& reference)
{
    return (fs::path(cache.configDir) / "icons" / cacheFileName(reference)).string();
}

std::string absoluteIconUrl(const PictureCache& cache, const std::string& reference)
{
    if (startsWith(reference, "http://") || startsWith(reference, "https://"))
        return reference;
    if (startsWith(reference, "/"))
        return cache.serverBaseUrl + reference;
    return cache.serverBaseUrl + "/" + reference;
}

bool looksLikeSvg(std::string_view bytes)
{
    std::string_view head = bytes.substr(0, 512);
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; };
    while (!head.empty() && space(head.front()))
        head.remove_prefix(1);
    if (head.empty() || head.front() != '<')
        return false;
    return head.find("<svg") != std::string_view::npos || bytes.find("<svg") != std::string_view::npos;
}

PictureTexture avatarTextureFromPng(PictureCache& cache, std::string_view bytes)
{
    return absorbingFailures([&]() -> PictureTexture {
        ImagePtr image = decodeBoundedPng(cache, bytes, kMaxAvatarSide);
        if (!image)
            return {};
        // A soft-edged circle of the shorter side, centred.
        const double w = image->width, h = image->height, r = std::min(w, h) / 2;
        for (int32_t y = 0; y < image->height; ++y)
            for (int32_t x = 0; x < image->width; ++x) {
                double d = std::hypot(x + 0.5 - w / 2, y + 0.5 - h / 2);
                double k = std::clamp(r - d + 0.5, 0.0, 1.0);
                uint8_t& alpha = image->pixels[(size_t(y) * size_t(image->width) + size_t(x)) * 4 + 3];
                alpha = static_cast<uint8_t>(std::floor(alpha * k));
            }
        return uploadPicture(cache, *image);
    });
}

PictureTexture loadIconPicture(PictureCache& cache, std::string_view bytes)
{
    return absorbingFailures([&]() -> PictureTexture {
        if (bytes.size() > kMaxPictureBytes)
            return {};
        if (looksLikeSvg(bytes)) {
            // A mask without any coverage would show nothing where the
            // category's own icon could stand; it counts as no picture.
            std::vector<uint8_t> mask = renderSvgMask(bytes, kSvgPictureSide);
            if (std::all_of(mask.begin(), mask.end(), [](uint8_t a) { return a == 0; }))
                return {};
            ImagePtr image = newImage(kSvgPictureSide, kSvgPictureSide, 4);
            std::fill(image->pixels.begin(), image->pixels.end(), 255);
            for (size_t i = 0; i < mask.size(); ++i)
                image->pixels[i * 4 + 3] = mask[i];
            return uploadPicture(cache, *image);
        }
        ImagePtr image = decodeBoundedPng(cache, bytes, kMaxIconPictureSide);
        if (!image)
            return {};
        // A white silhouette: the widget kit tints it.
        for (size_t i = 0; i < image->pixels.size(); i += 4)
            image->pixels[i] = image->pixels[i + 1] = image->pixels[i + 2] = 255;
        return uploadPicture(cache, *image);
    });
}

TextureRef avatarTexture(PictureCache& cache, const std::string& key)
{
    if (key.empty())
        return nullptr;
    return lookUp(cache, PictureKind::avatar, key).texture;
}

PictureTexture customIconTexture(PictureCache& cache, const std::string& reference)
{
    if (!isCustomIconRef(reference))
        return {};
    return lookUp(cache, PictureKind::icon, reference);
}

std::pair<std::string, std::string> takePendingAvatarFetch(PictureCache& cache, bool signedIn)
{
    if (!signedIn)
        return {};
    for (auto& [key, entry] : cache.avatars)
        if (entry.state == psWanted) {
            entry.state = psRequested;
            return {key, cache.serverBaseUrl + "/api/v1/me/avatar"};
        }
    return {};
}

std::vector<std::pair<std::string, std::string>> takePendingIconUrls(PictureCache& cache)
{
    std::vector<std::pair<std::string, std::string>> fetches;
    for (auto& [reference, entry] : cache.icons)
        if (entry.state == psWanted) {
            entry.state = psRequested;
            fetches.emplace_back(reference, absoluteIconUrl(cache, reference));
        }
    return fetches;
}

void storeAvatar(PictureCache& cache, const std::string& key, bool ok, std::string_view body)
{
    store(cache, PictureKind::avatar, key, ok, body);
}

void storeCustomIcon(PictureCache& cache, const std::string& reference, bool ok, std::string_view body)
{
    store(cache, PictureKind::icon, reference, ok, body);
}

void releasePictureCache(PictureCache& cache)
{
    for (auto* table : {&cache.avatars, &cache.icons}) {
        for (auto& [key, entry] : *table)
            releaseTexture(cache, entry.texture);
        table->clear();
    }
}

}  // namespace qm
