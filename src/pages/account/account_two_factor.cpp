#include "pages/account/account_two_factor.h"

#include "app/account_state.h"
#include "app/app_text.h"
#include "app/form_layout.h"
#include "app/icon_textures.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "codecs/qr/qr.h"
#include "core/ascii.h"
#include "net/api.h"
#include "pages/account/account_cards.h"
#include "pages/account/account_page.h"
#include "platform/render/gl_entry_points.h"
#include "platform/render/primitives.h"
#include "ui/layout.h"
#include "ui/spacing.h"
#include "ui/text_edit.h"
#include "ui/widget_id.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace qm {

namespace {

struct QrTextureCache {
    std::string text;
    TextureRef texture;
};

QrTextureCache& qrCache()
{
    static QrTextureCache cache;
    return cache;
}

UiContext& uiOf(AppState& state) { return *state.ui; }

void space(AppState& state, double dp) { accountSpace(state, dp); }

Rect take(AppState& state, double h) { return accountRow(state, h); }

constexpr uint32_t bit(uint8_t kind) { return uint32_t{1} << kind; }

// The trimmed code when it has exactly six bytes, else empty.
std::string validCode(const std::string& typed)
{
    std::string code(trimAsciiBlanks(typed));
    return code.size() == 6 ? code : std::string();
}

void codeField(AppState& state, std::string_view label, std::string_view id, std::string& code)
{
    UiContext& ui = uiOf(state);
    fieldLabel(state, label);
    textEdit(ui, widgetId(ui, id), code, take(state, rowHeight(ui)),
        {.placeholder = "6-digit code", .selectAllOnClick = true, .selectOnClickFocus = true});
}

void enabledView(AppState& state, AccountPageState& page)
{
    const Theme& t = uiOf(state).theme;
    Rect badge = take(state, dp(*state.ui, 36));
    fillRoundRect(*state.renderer, badge, dp(*state.ui, 8), t.base[slotSuccessBackground]);
    double icon = dp(*state.ui, 18);
    drawAppIcon(*state.renderer, "shield", {badge.x + dp(*state.ui, 10), badge.y + dp(*state.ui, 9), icon, icon},
        t.base[slotSuccess]);
    double textX = badge.x + dp(*state.ui, 36);
    drawText(state, "Two-factor authentication is enabled", {textX, badge.y, badge.x + badge.w - textX, badge.h},
        dp(*state.ui, 12.5), t.base[slotSuccess], 0, 600);
    space(state, kSpaceRoomy);
    codeField(state, "Enter a code to disable 2FA", "ac-2fa-off", page.twoFactorCode);
    space(state, kSpaceRoomy);
    std::string code = validCode(accountLiveText(state, "ac-2fa-off", page.twoFactorCode));
    if (accountButton(state, "ac-2fa-disable", "Disable 2FA", buttonDanger, 130, accountBusy(state) || code.empty()))
        queueAccountRequest(state, akTwoFactorDisable, {.code = code});
    drawRequestStatus(state, bit(akTwoFactorDisable));
}

void setupView(AppState& state, AccountPageState& page)
{
    UiContext& ui = uiOf(state);
    accountParagraph(state,
        "Scan this code with an authenticator app (Google Authenticator, Authy, 1Password\u2026), then enter the code "
        "it shows.",
        13, ui.theme.base[slotText]);
    space(state, kSpaceBase);
    double side = std::min(dp(*state.ui, 200), availableWidth(ui));
    Rect square = take(state, side);
    square.w = side;
    if (TextureRef texture = accountQrTexture(state.request.twoFactorUri)) {
        fillRoundRect(*state.renderer, square, dp(*state.ui, 8), colorWhite);
        // Nearest sampling at a fractional magnification makes modules of
        // unequal width; a whole number of pixels per texel on whole pixel
        // positions keeps them even, the white plate taking the remainder.
        Rect code = square;
        double perTexel = std::floor(side / texture->width);
        if (perTexel >= 1) {
            double s = perTexel * texture->width;
            code = {std::round(square.x + (side - s) / 2), std::round(square.y + (side - s) / 2), s, s};
        }
        drawTextureRect(*state.renderer, *texture, code, colorWhite, 0, 0, 1, 1);
    }
    space(state, kSpaceSmall);
    accountParagraph(
        state, "Or enter this key by hand: " + state.request.twoFactorSecret, 13, ui.theme.base[slotTextSecondary]);
    space(state, kSpaceBase);
    codeField(state, "Code from the app", "ac-2fa-code", page.twoFactorCode);
    space(state, kSpaceRoomy);
    Rect row = take(state, rowHeight(ui));
    std::string code = validCode(accountLiveText(state, "ac-2fa-code", page.twoFactorCode));
    if (button(state, "ac-2fa-verify", "Verify and enable", {row.x, row.y, dp(*state.ui, 160), row.h},
            {.style = buttonPrimary, .disabled = accountBusy(state) || code.empty()}))
        queueAccountRequest(state, akTwoFactorEnable, {.code = code});
    if (button(state, "ac-2fa-cancel", "Cancel", {row.x + dp(*state.ui, 168), row.y, dp(*state.ui, 90), row.h}))
        page.twoFactorSetupShown = false;
    drawRequestStatus(state, bit(akTwoFactorEnable));
}

void offerView(AppState& state)
{
    accountParagraph(state, "Enhance your account security by enabling two-factor authentication.", 13,
        uiOf(state).theme.base[slotText]);
    space(state, 10);
    if (accountButton(state, "ac-2fa-setup", "Set Up 2FA", buttonPrimary, 120, accountBusy(state) || !state.online))
        queueAccountRequest(state, akTwoFactorSetup, {});
    drawRequestStatus(state, bit(akTwoFactorSetup));
}

}  // namespace

std::vector<uint8_t> accountQrPixels(const QrCode& code)
{
    size_t n = size_t(code.size) + 8;
    std::vector<uint8_t> pixels(n * n * 4, 255);
    for (int i = 0; i < code.size; ++i)
        for (int j = 0; j < code.size; ++j)
            if (qrModule(code, j, i)) {
                uint8_t* p = &pixels[((size_t(i) + 4) * n + size_t(j) + 4) * 4];
                p[0] = p[1] = p[2] = 0;
            }
    return pixels;
}

TextureRef accountQrTexture(std::string_view text)
{
    QrTextureCache& cache = qrCache();
    if (cache.texture && cache.text == text)
        return cache.texture;
    QrCode code = encodeQr(text);
    if (code.size == 0)
        return nullptr;
    int n = code.size + 8;
    std::vector<uint8_t> pixels = accountQrPixels(code);
    if (cache.texture)
        deleteTexture(*cache.texture);
    cache.texture = newTexture(n, n, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data(), false, true);
    cache.text = std::string(text);
    return cache.texture;
}

void twoFactorCard(AppState& state)
{
    AccountPageState& page = accountPageState(state);
    double top = beginAccountCard(state, "Two-Factor Authentication");
    if (state.store->budget->user.two_factor_enabled)
        enabledView(state, page);
    else if (page.twoFactorSetupShown && !state.request.twoFactorUri.empty())
        setupView(state, page);
    else
        offerView(state);
    endAccountCard(state, top, false);
}

}  // namespace qm
