#pragma once
// Downloaded pictures: the signed-in user's avatar and custom category icons.
// One texture per picture in memory for the run, one file per picture under
// the configuration folder so that the next start needs no network. Used on
// the GL thread only: the widget kit asks every frame, the network pump takes
// fetches and hands finished downloads back.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "codecs/image/image.h"
#include "model/budget.h"
#include "platform/render/texture.h"

namespace qm {

enum PictureState : uint8_t {
    psWanted = 0,     // to be fetched
    psRequested = 1,  // handed to the network pump
    psLoaded = 2,
    psFailed = 3,  // download or decoding failed; retried after 120 s
    psNone = 4,    // the service has no avatar; asked again after 3600 s
};

struct PictureEntry {
    PictureState state = psWanted;
    TextureRef texture;
    int32_t width = 0;
    int32_t height = 0;
    double time = 0;  // wall-clock seconds when it became psFailed or psNone
};

struct PictureTexture {
    TextureRef texture;
    int32_t width = 0;
    int32_t height = 0;
};

// Bounds on what arrives from the network; past them a picture fails.
inline constexpr size_t kMaxPictureBytes = 4 << 20;
inline constexpr int32_t kMaxIconPictureSide = 1024;
inline constexpr int32_t kMaxAvatarSide = 2048;
inline constexpr int32_t kSvgPictureSide = 64;
inline constexpr double kFailedRetrySeconds = 120;
inline constexpr double kNoAvatarRetrySeconds = 3600;

struct PictureCache {
    // Set by the application: the configuration folder (files go to its
    // "avatars" and "icons" folders) and the service address.
    std::string configDir;
    std::string serverBaseUrl;
    // Wall-clock seconds since the epoch; tests put a fake clock here.
    std::function<double()> now;
    // Makes an RGBA texture (linear, clamped); null means newTexture.
    std::function<TextureRef(const Image&)> upload;
    // Frees a texture the cache drops; null means deleteTexture.
    std::function<void(Texture&)> release;
    // The largest texture side; 0 asks GL on first need.
    int32_t maxTextureSize = 0;
    // Raised when a store changed what the next frame shows.
    bool redraw = false;

    std::unordered_map<std::string, PictureEntry> avatars;
    std::unordered_map<std::string, PictureEntry> icons;
};

struct Settings;

// A cache over the configuration folder and the service address of the settings.
PictureCache newPictureCache(const Settings& settings);

// The avatar's cache key: empty unless signed in; the user's avatar text,
// else "g:" and the gravatar hash, else empty.
std::string avatarKey(bool signedIn, const User& user);

// True for a non-empty reference that does not name a built-in icon.
bool isCustomIconRef(std::string_view reference);

// For the widget kit, every frame: the picture or null while it is missing.
TextureRef avatarTexture(PictureCache& cache, const std::string& key);
PictureTexture customIconTexture(PictureCache& cache, const std::string& reference);

// For the network pump.
std::pair<std::string, std::string> takePendingAvatarFetch(PictureCache& cache, bool signedIn);
std::vector<std::pair<std::string, std::string>> takePendingIconUrls(PictureCache& cache);
void storeAvatar(PictureCache& cache, const std::string& key, bool ok, std::string_view body);
void storeCustomIcon(PictureCache& cache, const std::string& reference, bool ok, std::string_view body);

// Frees every texture and empties both tables; call while the GL context is
// still current.
void releasePictureCache(PictureCache& cache);

}  // namespace qm
