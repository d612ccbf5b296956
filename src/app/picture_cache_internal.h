#pragma once
// The picture cache's decoding and naming steps, open to the tests and the
// fuzz targets.
#include <string>
#include <string_view>

#include "app/picture_cache.h"

namespace qm {

std::string avatarPath(const PictureCache& cache, const std::string& key);
std::string iconPicturePath(const PictureCache& cache, const std::string& reference);
std::string absoluteIconUrl(const PictureCache& cache, const std::string& reference);

// No texture (null) for anything that is not a usable picture within the
// bounds; never raises for bad input or a failed allocation.
PictureTexture avatarTextureFromPng(PictureCache& cache, std::string_view bytes);
PictureTexture loadIconPicture(PictureCache& cache, std::string_view bytes);

// Whether the bytes are taken as SVG rather than PNG.
bool looksLikeSvg(std::string_view bytes);

}  // namespace qm
