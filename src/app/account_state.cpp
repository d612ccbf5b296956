#include "app/account_state.h"

#include "app/scrub.h"
#include "core/ascii.h"
#include "core/utf8.h"
#include "ui/hit_test.h"

#include <optional>
#include <string_view>
#include <utility>

namespace qm {

namespace {

// The first character, with an ASCII letter upper-cased; other characters
// are kept as they are (case rules beyond ASCII are not ours to guess).
std::string initial(std::string_view text)
{
    if (text.empty())
        return {};
    Utf8Step step = decodeUtf8(text, 0);
    std::string out(text.substr(0, step.length));
    if (out.size() == 1 && out[0] >= 'a' && out[0] <= 'z')
        out[0] = char(out[0] - 'a' + 'A');
    return out;
}

}  // namespace

bool isSignedIn(const AppState& state) { return !state.session.token.empty(); }

void queueAccountRequest(AppState& state, AccountRequestKind kind, AccountFields fields)
{
    AccountRequest& request = state.request;
    request.pending = true;
    request.sent = false;
    request.kind = kind;
    ++request.serial;
    request.fields = std::move(fields);
    state.redrawRequested = true;
    // A password on its way to the service must not reach a crash report.
    std::vector<std::string> passwords;
    for (auto member : {&AccountFields::current_password, &AccountFields::new_password, &AccountFields::password})
        if (const std::optional<std::string>& value = request.fields.*member)
            passwords.push_back(*value);
    if (!passwords.empty())
        setScrubPasswords(std::move(passwords));
}

void requestSyncAndRedraw(AppState& state)
{
    state.syncNowRequested = true;
    state.redrawRequested = true;
}

std::string syncStatusText(const AppState& state)
{
    const std::string host(serviceLabel);
    switch (state.syncState) {
    case syncLocalOnly:
        return "The budget is kept on this device only. Sign in to keep it on " + host + " and on your other devices.";
    case syncIdle:
        if (state.hasUnsentChanges)
            return "Changes made here are sent when there is a connection. Click to sync now.";
        return "Up to date with " + host + ". Click to sync now.";
    case syncBusy:
        return "Talking to " + host + "\u2026";
    case syncOffline:
        return "No connection: the budget works on this device and syncs when the connection is back.";
    case syncFailed: {
        // Most failure texts are sentences of their own: one full stop ends them.
        std::string_view error = state.lastSyncError;
        while (!error.empty() && error.back() == '.')
            error.remove_suffix(1);
        return "The last sync failed: " + std::string(error) + ". Click to try again.";
    }
    case syncUnverified:
        return "Verify your email address (see Account) to sync with " + host + ".";
    default:
        return {};
    }
}

void setWelcomeMode(AppState& state, int32_t mode, bool keepEmail)
{
    WelcomeForm form;
    form.mode = mode;
    if (keepEmail)
        form.email = welcomeForm(state).email;
    switch (mode) {
    case welcomeSignIn:
        form.focusRequest = form.email.empty() ? "wl-email" : "wl-pw";
        break;
    case welcomeSignUp:
        form.focusRequest = "wl-first";
        break;
    case welcomeReset:
        form.focusRequest = "wl-email";
        break;
    case welcomeCode:
        form.focusRequest = "wl-code";
        break;
    default:
        break;
    }
    welcomeForm(state) = std::move(form);
    state.redrawRequested = true;
}

void openWelcomePage(AppState& state, int32_t mode)
{
    if (!isSignedIn(state) || state.store->budget->user.is_verified) {
        setWelcomeMode(state, mode, false);
    } else {
        WelcomeForm form;
        form.mode = welcomeVerify;
        form.email = state.session.email;
        welcomeForm(state) = std::move(form);
    }
    if (state.page != pageHelp && state.page != pageAccount && state.page != pageWelcome)
        state.previousPage = state.page;
    state.page = pageWelcome;
    state.framesOnPage = 0;
    closePopup(*state.ui);
    state.redrawRequested = true;
}

void showConfirm(AppState& state, const std::string& title, const std::string& message, const std::string& actionId,
    const std::string& confirmLabel, const std::string& cancelLabel, bool danger)
{
    state.confirm.title = title;
    state.confirm.message = message;
    state.confirm.action = actionId;
    state.confirm.confirmLabel = confirmLabel;
    state.confirm.cancelLabel = cancelLabel;
    state.confirm.danger = danger;
    state.confirm.window->open = true;
    state.redrawRequested = true;
}

std::string budgetOwnerLabel(const AppState& state)
{
    const User& user = state.store->budget->user;
    std::string name(trimAsciiBlanks(user.first_name));
    std::string last(trimAsciiBlanks(user.last_name));
    if (!last.empty())
        name = name.empty() ? last : name + " " + last;
    if (!name.empty())
        return name;
    if (!state.session.email.empty())
        return state.session.email;
    return "Local budget";
}

std::string userInitials(const AppState& state)
{
    const User& user = state.store->budget->user;
    std::string out = initial(trimAsciiBlanks(user.first_name)) + initial(trimAsciiBlanks(user.last_name));
    if (out.empty())
        out = initial(state.session.email);
    return out.empty() ? "Q" : out;
}

}  // namespace qm
