#include "platform/render/color.h"

namespace qm {

Color rgba(double r, double g, double b, double a) { return {float(r), float(g), float(b), float(a)}; }

Color newColor(float r, float g, float b, float a) { return {r, g, b, a}; }

Color hexColor(int32_t rgb, double alpha)
{
    return {float(((rgb >> 16) & 0xFF) / 255.0), float(((rgb >> 8) & 0xFF) / 255.0), float((rgb & 0xFF) / 255.0),
        float(alpha)};
}

Color withAlpha(Color c, double alpha)
{
    c.a = float(alpha);
    return c;
}

Color lerpColor(Color a, Color b, double t)
{
    float f = float(t);
    return {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f, a.a + (b.a - a.a) * f};
}

Color darken(Color c, double t)
{
    float f = float(t);
    return {c.r - c.r * f, c.g - c.g * f, c.b - c.b * f, c.a};
}

Color lighten(Color c, double t)
{
    float f = float(t);
    return {c.r + (1 - c.r) * f, c.g + (1 - c.g) * f, c.b + (1 - c.b) * f, c.a};
}

uint8_t colorByte(float component)
{
    if (!(component > 0))
        return 0;  // NaN lands here too
    if (component >= 1)
        return 255;
    return uint8_t(component * 255.0f);
}

}  // namespace qm
