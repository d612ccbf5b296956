#include "pages/welcome/welcome_page.h"

#include "app/account_state.h"
#include "app/app_text.h"
#include "app/form_layout.h"
#include "app/navigation.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "core/ascii.h"
#include "core/service_host.h"
#include "net/api.h"
#include "pages/account/account_cards.h"
#include "platform/keys.h"
#include "platform/render/primitives.h"
#include "ui/input.h"
#include "ui/layout.h"
#include "ui/scroll_area.h"
#include "ui/spacing.h"
#include "ui/text_edit.h"
#include "ui/widget_id.h"
#include "ui/widget_state.h"
#include "ui/wrap.h"

#include <algorithm>
#include <string>

namespace qm {

namespace {

constexpr std::string_view emailPlaceholder = "name@example.com";

UiContext& uiOf(AppState& state) { return *state.ui; }

// The next h pixels of the column, without the layout's own gap after them.
Rect take(AppState& state, double h)
{
    UiContext& ui = uiOf(state);
    Rect r = nextLayoutRect(ui, h, 0);
    currentLayout(ui).cursorY -= spacing(ui);
    return r;
}

void space(AppState& state, double dpAmount) { addSpace(uiOf(state), dp(*state.ui, dpAmount)); }

// Word-wrapped lines in one colour, aligned in the column.
void paragraph(AppState& state, std::string_view text, double sizeDp, Color color, double align, int32_t weight = 400)
{
    UiContext& ui = uiOf(state);
    double size = dp(*state.ui, sizeDp);
    double width = currentLayout(ui).w;
    for (const std::string& line : wrapText(ui, text, width, size))
        drawText(state, line, take(state, size * 1.45), size, color, align, weight);
}

void title(AppState& state, std::string_view text)
{
    drawText(state, text, take(state, dp(*state.ui, 28)), dp(*state.ui, 17), uiOf(state).theme.base[slotText], 0, 700);
    space(state, kSpaceSmall);
}

void muted(AppState& state, std::string_view text, double align = 0)
{
    paragraph(state, text, 13, uiOf(state).theme.base[slotTextSecondary], align);
}

void messageLines(AppState& state)
{
    const Theme& t = uiOf(state).theme;
    if (!welcomeForm(state).error.empty()) {
        paragraph(state, welcomeForm(state).error, 13, t.base[slotDanger], 0);
        space(state, kSpaceSmall);
    }
    if (!welcomeForm(state).notice.empty()) {
        paragraph(state, welcomeForm(state).notice, 13, t.base[slotTextSecondary], 0);
        space(state, kSpaceSmall);
    }
}

// A labelled field bound to the form; it takes the focus the form asks for.
TextEditResult field(AppState& state, std::string_view label, std::string_view id, std::string& text,
    const TextEditOptions& options = {})
{
    UiContext& ui = uiOf(state);
    fieldLabel(state, label);
    int64_t wid = widgetId(ui, id);
    if (welcomeForm(state).focusRequest == id) {
        setFocus(ui, wid);
        welcomeForm(state).focusRequest.clear();
    }
    Rect rect = take(state, dp(*state.ui, 38));
    return textEdit(ui, wid, text, rect, options);
}

std::string typedEmail(const WelcomeForm& form) { return asciiLower(trimAsciiBlanks(form.email)); }

bool busy(const AppState& state) { return state.request.pending; }

// "Back" from a sign-in under way leaves it: the form is free for another at
// once, and the answer to the one left is dropped when it comes.
void goBack(AppState& state, int32_t mode, bool keepEmail)
{
    AccountRequest& request = state.request;
    if (request.pending && (request.kind == akLogin || request.kind == akLoginWithCode || request.kind == akSignup)) {
        request.abandonedSerial = request.serial;
        request.pending = false;
        request.kind = akMe;
        request.sent = false;
        request.fields = {};
    }
    setWelcomeMode(state, mode, keepEmail);
}

void submitSignIn(AppState& state)
{
    WelcomeForm& form = welcomeForm(state);
    form.error.clear();
    if (!looksLikeEmail(trimAsciiBlanks(form.email)))
        form.error = "Enter your email address.";
    else if (form.password.empty())
        form.error = "Enter your password.";
    else
        queueAccountRequest(state, akLogin, {.email = typedEmail(form), .password = form.password});
}

void submitSignUp(AppState& state)
{
    WelcomeForm& form = welcomeForm(state);
    form.error.clear();
    if (!looksLikeEmail(trimAsciiBlanks(form.email)))
        form.error = "Enter a valid email address.";
    else if (form.password.size() < 8)
        form.error = "The password needs at least 8 characters.";
    else if (form.confirmPassword != form.password)
        form.error = "The passwords do not match.";
    else if (!form.agreed)
        form.error = "Please agree to the Terms of Use and the Privacy Policy.";
    else
        queueAccountRequest(state, akSignup,
            {.email = typedEmail(form),
                .first_name = std::string(trimAsciiBlanks(form.firstName)),
                .last_name = std::string(trimAsciiBlanks(form.lastName)),
                .password = form.password});
}

void submitReset(AppState& state)
{
    WelcomeForm& form = welcomeForm(state);
    form.error.clear();
    if (!looksLikeEmail(trimAsciiBlanks(form.email)))
        form.error = "Enter your email address.";
    else
        queueAccountRequest(state, akForgotPassword, {.email = typedEmail(form)});
}

void submitCode(AppState& state, const std::string& typed)
{
    WelcomeForm& form = welcomeForm(state);
    std::string code(trimAsciiBlanks(typed));
    form.lastTriedCode = code;
    form.error.clear();
    if (code.size() == 6)
        queueAccountRequest(
            state, akLoginWithCode, {.code = code, .email = typedEmail(form), .password = form.password});
    else
        form.error = "The code has 6 digits.";
}

bool mayGoBackToCalendar(const AppState& state)
{
    return isSignedIn(state) || !state.store->budget->transactions.empty();
}

void startBody(AppState& state)
{
    const Theme& t = uiOf(state).theme;
    paragraph(state,
        "A calendar-first budget: income and bills on the days they happen, and the balance you are headed for on "
        "every day.",
        14, t.base[slotText], 0.5);
    space(state, 18);
    if (welcomeButton(state, "wl-signin", "Sign in", buttonPrimary, false))
        setWelcomeMode(state, welcomeSignIn, false);
    space(state, 8);
    if (welcomeButton(state, "wl-signup", "Create a free account", buttonNormal, false))
        setWelcomeMode(state, welcomeSignUp, false);
    space(state, 8);
    if (welcomeButton(state, "wl-local", "Use on this device only", buttonQuiet, false)) {
        state.settings.lastBudget = "local";
        saveSettings(state);
        showPage(state, pageCalendar);
    }
    space(state, 14);
    muted(state,
        "Free, with no ads. An account keeps the budget on " + std::string(serviceLabel)
            + " and on your other devices; without one it stays on this device.",
        0.5);
}

void signInBody(AppState& state)
{
    WelcomeForm& form = welcomeForm(state);
    title(state, "Sign in");
    messageLines(state);
    bool enter = field(state, "Email", "wl-email", form.email, {.placeholder = emailPlaceholder}) == editEnter;
    space(state, 6);
    enter = field(state, "Password", "wl-pw", form.password, {.masked = true}) == editEnter || enter;
    space(state, 12);
    bool go = welcomeButton(state, "wl-go", busy(state) ? "Signing in\u2026" : "Sign in", buttonPrimary, busy(state));
    if (go || (enter && !busy(state)))
        submitSignIn(state);
    space(state, 8);
    if (welcomeButton(state, "wl-forgot", "Forgot password?", buttonLink, false))
        setWelcomeMode(state, welcomeReset, true);
    space(state, 4);
    if (welcomeButton(state, "wl-back", "Back", buttonQuiet, false))
        goBack(state, welcomeStart, false);
}

void signUpBody(AppState& state)
{
    WelcomeForm& form = welcomeForm(state);
    title(state, "Create a free account");
    messageLines(state);
    std::vector<Rect> columns = formColumns(state, 2, dp(*state.ui, 60), 12, true);
    const char* names[2][2] = {{"First name", "wl-first"}, {"Last name", "wl-last"}};
    std::string* values[2] = {&form.firstName, &form.lastName};
    for (size_t i = 0; i < 2 && i < columns.size(); ++i) {
        beginLayoutInRect(state, columns[i]);
        field(state, names[i][0], names[i][1], *values[i]);
        endLayoutInRect(state);
    }
    space(state, 6);
    field(state, "Email", "wl-email", form.email, {.placeholder = emailPlaceholder});
    field(state, "Password", "wl-pw", form.password, {.placeholder = "At least 8 characters", .masked = true});
    space(state, 6);
    bool enter = field(state, "Confirm password", "wl-pw2", form.confirmPassword, {.masked = true}) == editEnter;
    space(state, 8);
    checkField(state, "I agree to the Terms of Use and the Privacy Policy", form.agreed, false);
    auto [terms, privacy] = welcomeLinkPair(state, "wl-terms", "Terms of Use", "wl-privacy", "Privacy Policy");
    if (terms)
        openUrl(std::string(termsPageUrl));
    if (privacy)
        openUrl(std::string(privacyPageUrl));
    space(state, 10);
    bool go = welcomeButton(
        state, "wl-create", busy(state) ? "Creating\u2026" : "Create account", buttonPrimary, busy(state));
    if (go || (enter && !busy(state)))
        submitSignUp(state);
    space(state, 8);
    if (welcomeButton(state, "wl-have", "I have an account", buttonLink, false))
        setWelcomeMode(state, welcomeSignIn, true);
    space(state, 4);
    if (welcomeButton(state, "wl-back", "Back", buttonQuiet, false))
        goBack(state, welcomeStart, false);
}

void resetBody(AppState& state)
{
    WelcomeForm& form = welcomeForm(state);
    title(state, "Forgot your password?");
    muted(state, "Enter your email and we will send a link to set a new one.");
    space(state, kSpaceSmall);
    messageLines(state);
    bool enter = field(state, "Email", "wl-email", form.email, {.placeholder = emailPlaceholder}) == editEnter;
    space(state, 12);
    bool go =
        welcomeButton(state, "wl-send", busy(state) ? "Sending\u2026" : "Send reset link", buttonPrimary, busy(state));
    if (go || (enter && !busy(state)))
        submitReset(state);
    space(state, 8);
    if (welcomeButton(state, "wl-back", "Back to sign in", buttonQuiet, false))
        setWelcomeMode(state, welcomeSignIn, true);
}

void codeBody(AppState& state)
{
    WelcomeForm& form = welcomeForm(state);
    title(state, "Two-factor code");
    muted(state, "Enter the 6-digit code from your authenticator app.");
    space(state, kSpaceSmall);
    messageLines(state);
    bool enter =
        field(state, "Code", "wl-code", form.code, {.placeholder = "123456", .selectOnClickFocus = true}) == editEnter;
    std::string typed = accountLiveText(state, "wl-code", form.code);
    std::string trimmed(trimAsciiBlanks(typed));
    space(state, 12);
    bool go = welcomeButton(state, "wl-verify", busy(state) ? "Checking\u2026" : "Verify", buttonPrimary, busy(state));
    // Six digits submit on their own; a code already tried waits for an
    // explicit Verify rather than going out again.
    bool complete = trimmed.size() == 6 && trimmed != form.lastTriedCode;
    if (go || (!busy(state) && (enter || complete)))
        submitCode(state, typed);
    space(state, 8);
    if (welcomeButton(state, "wl-back", "Back", buttonQuiet, false))
        goBack(state, welcomeSignIn, true);
}

void verifyBody(AppState& state)
{
    WelcomeForm& form = welcomeForm(state);
    const Theme& t = uiOf(state).theme;
    title(state, "Verify your email");
    space(state, 2);
    std::string_view address = trimAsciiBlanks(form.email);
    paragraph(state,
        "We sent a verification link to " + (address.empty() ? std::string("your email address") : std::string(address))
            + ". Open it to finish setting up your account; until then the budget is kept on this device.",
        13, t.base[slotText], 0);
    space(state, kSpaceBase);
    messageLines(state);
    if (welcomeButton(state, "wl-verified", "I have verified it", buttonPrimary, busy(state)))
        queueAccountRequest(state, akCheckVerified, {});
    space(state, kSpaceBase);
    if (welcomeButton(
            state, "wl-resend", busy(state) ? "Sending\u2026" : "Send the link again", buttonNormal, busy(state)))
        queueAccountRequest(state, akResendVerification, {.email = typedEmail(form)});
    space(state, 8);
    if (welcomeButton(state, "wl-later", "Continue on this device for now", buttonQuiet, false))
        showPage(state, pageCalendar);
}

void header(AppState& state)
{
    const Theme& t = uiOf(state).theme;
    Rect row = take(state, dp(*state.ui, 64));
    if (state.windowIcon) {
        double side = dp(*state.ui, 56);
        Rect icon{row.x + (row.w - side) / 2, row.y + (row.h - side) / 2, side, side};
        drawTextureRect(*state.renderer, *state.windowIcon, icon, colorWhite, 0, 0, 1, 1);
    }
    space(state, kSpaceBase);
    drawText(state, "Quenmark", take(state, dp(*state.ui, 30)), dp(*state.ui, 22), t.base[slotText], 0.5, 700);
    drawText(state, "Plan \u00b7 Track \u00b7 Forecast", take(state, dp(*state.ui, 18)), dp(*state.ui, 12),
        t.base[slotTextSecondary], 0.5, 400);
    space(state, 18);
}

// Escape steps back one form, as long as nothing else wants the key.
void handleEscape(AppState& state, bool keyboardFree)
{
    if (!keyboardFree || busy(state) || !keyPressed(uiOf(state), keyEscape, 0, false))
        return;
    switch (welcomeForm(state).mode) {
    case welcomeSignIn:
    case welcomeSignUp:
        setWelcomeMode(state, welcomeStart, false);
        break;
    case welcomeReset:
    case welcomeCode:
        setWelcomeMode(state, welcomeSignIn, true);
        break;
    case welcomeStart:
        if (mayGoBackToCalendar(state))
            showPage(state, pageCalendar);
        break;
    default:
        break;
    }
}

}  // namespace

bool looksLikeEmail(std::string_view text)
{
    size_t at = text.find('@');
    if (at == std::string_view::npos || at == 0 || text.size() < 4 || at > text.size() - 4)
        return false;
    size_t dot = text.rfind('.');
    if (dot == std::string_view::npos || dot < at + 2)
        return false;
    return text.find(' ') == std::string_view::npos;
}

bool welcomeButton(AppState& state, std::string_view id, std::string_view label, ButtonStyle style, bool disabled)
{
    Rect row = take(state, dp(*state.ui, 38));
    double w = std::min(row.w, dp(*state.ui, 280));
    return button(state, id, label, {row.x + (row.w - w) / 2, row.y, w, row.h}, {.style = style, .disabled = disabled});
}

std::pair<bool, bool> welcomeLinkPair(AppState& state, std::string_view firstId, std::string_view firstLabel,
    std::string_view secondId, std::string_view secondLabel)
{
    Rect row = take(state, dp(*state.ui, 30));
    double size = dp(*state.ui, 13);
    double w1 = measureText(state, firstLabel, size, 600) + dp(*state.ui, 24);
    double w2 = measureText(state, secondLabel, size, 600) + dp(*state.ui, 24);
    double gap = dp(*state.ui, kSpaceBase);
    double x = row.x + (row.w - (w1 + gap + w2)) / 2;
    bool first = button(state, firstId, firstLabel, {x, row.y, w1, row.h}, {.style = buttonLink});
    bool second = button(state, secondId, secondLabel, {x + w1 + gap, row.y, w2, row.h}, {.style = buttonLink});
    return {first, second};
}

void drawWelcomePage(AppState& state, const Rect& content)
{
    UiContext& ui = uiOf(state);
    // Read before the fields draw: a field that had the keyboard last frame
    // takes Escape for itself.
    bool keyboardFree = !ui.textEditingLast && ui.popupId == 0;
    Rect view = beginScrollArea(ui, "welcome", content, colorTransparent, false);
    double width = std::min(dp(*state.ui, 440), view.w - dp(*state.ui, 24));
    double x = view.x + (view.w - width) / 2;
    double top = layoutCursor(ui) + dp(*state.ui, state.compact ? 24 : 56);
    double pad = dp(*state.ui, state.compact ? 18 : 28);
    beginLayoutInRect(state, {x, top, width, 1e9});
    addSpace(ui, pad);
    indent(ui, pad);
    currentLayout(ui).w = width - 2 * pad;

    header(state);
    switch (welcomeForm(state).mode) {
    case welcomeSignIn:
        signInBody(state);
        break;
    case welcomeSignUp:
        signUpBody(state);
        break;
    case welcomeReset:
        resetBody(state);
        break;
    case welcomeCode:
        codeBody(state);
        break;
    case welcomeVerify:
        verifyBody(state);
        break;
    default:
        startBody(state);
        break;
    }

    space(state, 24);
    double bottom = layoutCursor(ui);
    strokeRoundRect(*state.renderer, {x, top, width, bottom - top}, dp(*state.ui, 18), 1, ui.theme.base[slotBorder]);
    unindent(ui, pad);
    currentLayout(ui).w = width;
    space(state, kSpaceSection);
    if (welcomeForm(state).mode == welcomeStart && mayGoBackToCalendar(state)
        && welcomeButton(state, "wl-close", "Back to the calendar", buttonLink, false)) {
        setWelcomeMode(state, welcomeStart, false);
        showPage(state, pageCalendar);
    }
    space(state, 30);
    endLayoutInRect(state);
    endScrollArea(ui, "welcome");
    handleEscape(state, keyboardFree);
}

}  // namespace qm
