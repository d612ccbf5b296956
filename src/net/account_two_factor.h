#pragma once
// The two-factor card's QR code: one texture per program, remade only when
// the text changes.
#include <string_view>

#include "platform/render/texture.h"

namespace qm {

// Null when the text does not fit a QR symbol; the cached texture then stays.
TextureRef accountQrTexture(std::string_view text);

}  // namespace qm
