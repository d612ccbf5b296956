#pragma once
// What the application's widget kit reads of the running application: the
// UI context, the font set, today's date, the layout flag, the open budget,
// the picture cache and a way to report a mistake to the user. The kit's
// procedures take it first, as the pages take the application state, and
// draw their text by weight through the helpers below.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/fonts.h"
#include "model/budget.h"
#include "model/dates.h"
#include "platform/render/color.h"
#include "platform/render/rect.h"
#include "ui/context.h"

namespace qm {

struct PictureCache;

struct KitApp {
    UiContext* ui = nullptr;
    const FontSet* fonts = nullptr;
    Date todayDate;
    bool compact = false;
    const Budget* budget = nullptr;    // icons, categories and the user
    PictureCache* pictures = nullptr;  // custom icons and the avatar; may be null
    std::string avatarKey;             // empty when the user has no picture
    std::string sessionEmail;          // the signed-in address, for the initials
    // Shows an error toast; may be empty.
    std::function<void(const std::string&)> showError;
};

inline UiContext& kitUi(KitApp& app) { return *app.ui; }

// dp to pixels at the context's scale.
double scaled(const KitApp& app, double length);

// Text by weight (400, 500, 600, 700; any other draws regular), aligned in a
// rectangle and centred vertically on the face's ascent and descent.
void drawText(
    KitApp& app, std::string_view text, const Rect& rect, double size, Color color, double align, int32_t weight);
double measureText(KitApp& app, std::string_view text, double size, int32_t weight);
// The same with font slot 0 or 1, the two monospaced faces.
void drawTextWith(
    KitApp& app, std::string_view text, const Rect& rect, double size, Color color, double align, int32_t slot);
// The text cut at a character boundary with an ellipsis so that it fits;
// empty when not even one character and the ellipsis fit.
std::string elideText(KitApp& app, std::string_view text, double maxWidth, double size, int32_t weight);

// A category's colour by name; the empty or unknown name gives textSecondary.
Color categoryColor(KitApp& app, std::string_view categoryName);
void showError(KitApp& app, const std::string& text);

// The user's initials for the avatar: the first letters of the first and
// last names, else of the e-mail address, else "Q"; ASCII upper-cased.
std::string userInitials(const KitApp& app);

// ASCII letters a to z upper-cased; everything else unchanged.
std::string upperAscii(std::string_view text);

}  // namespace qm
