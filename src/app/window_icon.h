#pragma once
// The program's own icon (assets/window_icon.png, compiled in): the window
// icon and the splash screen's logo.
#include <cstdint>
#include <span>

#include "codecs/image/image.h"
#include "platform/app_window.h"
#include "platform/render/texture.h"

namespace qm {

// The PNG file's bytes.
std::span<const uint8_t> windowIconPng();

// The picture decoded, or null unless it is RGBA with a positive width.
// Never raises: a program without its icon still runs.
ImagePtr decodeWindowIcon(std::span<const uint8_t> png);

// Gives the window the icon and returns its texture for the splash screen;
// null, with nothing raised, when any step fails. Needs the GL context.
TextureRef loadWindowIcon(AppWindow& window);

}  // namespace qm
