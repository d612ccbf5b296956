#pragma once
// The two-factor card's QR code: one texture per program, remade only when
// the text changes.
#include <cstdint>
#include <string_view>
#include <vector>

#include "codecs/qr/qr.h"

#include "platform/render/texture.h"

namespace qm {

// RGBA rows of (size + 8) pixels a side: black modules inside a white
// quiet zone four pixels wide.
std::vector<std::uint8_t> accountQrPixels(const QrCode& code);
// Null when the text does not fit a QR symbol; the cached texture then stays.
TextureRef accountQrTexture(std::string_view text);

}  // namespace qm
