#pragma once
// Small drawings the pages share so that they look alike: upper-cased
// section captions, a caption over a value, information cards, status
// pills, filled circles and the signed-in user's avatar. They only draw.
#include <string_view>

#include "app/app_state.h"

namespace qm {

// align: 0 left, 0.5 centre, 1 right.
void sectionCaption(AppState& state, std::string_view text, const Rect& rect, double align);
// A 16 dp caption line from the current layout frame.
void layoutCaption(AppState& state, std::string_view text);
// An alpha 0 colour means the text colour.
void captionValue(AppState& state, const Rect& rect, std::string_view caption, std::string_view value, Color color);
struct InfoCardLook {
    bool highlighted = false;  // framed and tinted in the accent colour
    bool large = false;        // a larger value
};
void infoCard(AppState& state, const Rect& rect, std::string_view caption, std::string_view value, Color color,
    const InfoCardLook& look = {});
// The narrowest card that shows its caption and value whole, in pixels.
double infoCardWidth(const AppState& state, std::string_view caption, std::string_view value, bool large);
// "adjusted" and "paid" (exactly) have their own colours. Returns the pill's
// width in pixels.
double statusPill(AppState& state, std::string_view text, std::string_view status, const Rect& rect);
void fillCircleAt(AppState& state, double cx, double cy, double radius, Color color);
// The avatar picture, or the initials on an accent disc; diameter <= 0 means
// the rectangle's shorter side.
void drawAvatar(AppState& state, const Rect& rect, double diameter);

}  // namespace qm
