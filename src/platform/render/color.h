#pragma once
// Straight-alpha colours of four floats, nominally 0..1, and the helpers the
// UI builds its palettes with.
#include <cstdint>

namespace qm {

struct Color {
    float r = 0;
    float g = 0;
    float b = 0;
    float a = 0;

    bool operator==(const Color&) const = default;
};

inline constexpr Color colorTransparent{0, 0, 0, 0};
inline constexpr Color colorWhite{1, 1, 1, 1};
inline constexpr Color colorBlack{0, 0, 0, 1};

Color rgba(double r, double g, double b, double a);
Color newColor(float r, float g, float b, float a);
// 0xRRGGBB with an alpha.
Color hexColor(int32_t rgb, double alpha);
Color withAlpha(Color c, double alpha);
// a + (b - a) * t per component, t not clamped.
Color lerpColor(Color a, Color b, double t);
Color darken(Color c, double t);   // towards black, alpha kept
Color lighten(Color c, double t);  // towards white, alpha kept

// A component as a byte: clamped to 0..1, times 255, truncated; NaN is 0.
uint8_t colorByte(float component);

}  // namespace qm
