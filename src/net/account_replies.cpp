#include "net/account_replies.h"

#include "app/account_state.h"
#include "app/budget_io.h"
#include "app/navigation.h"
#include "app/paths.h"
#include "app/session.h"
#include "app/theme_apply.h"
#include "core/service_host.h"
#include "model/record_edits.h"
#include "model/store.h"
#include "model/store_sync.h"
#include "net/network.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <system_error>

namespace qm {

namespace {

namespace fs = std::filesystem;

std::string stringMember(const Json& object, const char* key)
{
    if (!object.is_object())
        return {};
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool boolMember(const Json& object, const char* key)
{
    if (!object.is_object())
        return false;
    auto it = object.find(key);
    return it != object.end() && it->is_boolean() && it->get<bool>();
}

// The user's id when it is a positive integer that fits an int64.
std::optional<int64_t> userId(const Json& user)
{
    if (!user.is_object())
        return std::nullopt;
    auto it = user.find("id");
    if (it == user.end())
        return std::nullopt;
    if (it->is_number_unsigned()) {
        uint64_t id = it->get<uint64_t>();
        if (id == 0 || id > uint64_t(std::numeric_limits<int64_t>::max()))
            return std::nullopt;
        return int64_t(id);
    }
    if (it->is_number_integer() && it->get<int64_t>() > 0)
        return it->get<int64_t>();
    return std::nullopt;
}

const Json& noJson()
{
    static const Json none;
    return none;
}

const Json& member(const Json& object, const char* key)
{
    if (!object.is_object())
        return noJson();
    auto it = object.find(key);
    return it == object.end() ? noJson() : *it;
}

double wallClockSeconds()
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

void copyUserMembers(User& user, const Json& from, bool withTheme)
{
    user.email = stringMember(from, "email");
    user.first_name = stringMember(from, "first_name");
    user.last_name = stringMember(from, "last_name");
    user.calendar_token = stringMember(from, "calendar_token");
    user.pending_email = stringMember(from, "pending_email");
    user.avatar = stringMember(from, "avatar");
    user.gravatar_hash = stringMember(from, "gravatar_hash");
    user.is_verified = boolMember(from, "is_verified");
    user.two_factor_enabled = boolMember(from, "two_factor_enabled");
    std::string theme = stringMember(from, "theme_preference");
    if (withTheme && !theme.empty())
        user.theme_preference = theme;
}

bool isSignInKind(AccountRequestKind kind) { return kind == akLogin || kind == akLoginWithCode || kind == akSignup; }

// A sign-in answer the program can act on names the user and a token; any
// other 2xx is a reply not understood, which saves nothing.
ApiResult checkedResult(const NetReply& reply)
{
    ApiResult result = reply.result;
    if (result.ok && isSignInKind(reply.kind)) {
        const Json& body = *result.reply;
        if (!userId(member(body, "user")) || stringMember(body, "token").empty()) {
            result.ok = false;
            result.message = notUnderstoodMessage(result.status);
        }
    }
    return result;
}

// The device budget becomes the new account's: one rename when the folder
// can move, else a copy that must open before the original goes.
bool promoteDeviceBudget(const std::string& deviceFolder, const std::string& accountFolder)
{
    std::error_code ec;
    fs::create_directories(fs::path(accountFolder).parent_path(), ec);
    fs::rename(deviceFolder, accountFolder, ec);
    if (!ec)
        return true;
    fs::copy(deviceFolder, accountFolder, fs::copy_options::recursive, ec);
    if (!ec) {
        try {
            openStore(accountFolder);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception&) {
            ec = std::make_error_code(std::errc::io_error);
        }
    }
    if (ec) {
        std::error_code ignored;
        fs::remove_all(accountFolder, ignored);
        return false;
    }
    fs::remove_all(deviceFolder, ec);
    return true;
}

void deleteAccountHere(AppState& state)
{
    showSuccess(state, "Your account has been deleted");
    int64_t id = state.session.user_id;
    deleteSession();
    state.session = {};
    openBudget(state, "local");
    // Only the account's own folder goes; the device budget is never touched.
    if (id > 0) {
        std::error_code ignored;
        fs::remove_all(budgetFolder(std::to_string(id)), ignored);
    }
    state.syncState = syncLocalOnly;
    openWelcomePage(state, welcomeStart);
}

}  // namespace

void applyUserRecord(AppState& state, const Json& user, const std::string& token, bool signUp)
{
    Session session;
    session.email = stringMember(user, "email");
    session.token = token;
    session.user_id = userId(user).value_or(0);
    session.display_name = stringMember(user, "display_name");
    session.signed_in_at = wallClockSeconds();
    saveSession(session);
    state.session = session;

    std::string accountId = std::to_string(session.user_id);
    std::string deviceFolder = budgetFolder("local");
    std::string accountFolder = budgetFolder(accountId);
    bool deviceHadData = false;
    if (state.budgetId == "local" && state.budgetReadFailure.empty()) {
        bool realData = hasRealData(*state.store);
        std::error_code ec;
        bool promoted = false;
        if (signUp && realData && !fs::exists(accountFolder, ec) && !ec) {
            rekeyForUpload(*state.store);
            promoted = !trySaveBudget(state) && promoteDeviceBudget(deviceFolder, accountFolder);
        }
        if (!promoted) {
            saveBudget(state);
            deviceHadData = realData;
        }
    }
    openBudget(state, accountId);

    copyUserMembers(state.store->budget->user, user, true);
    savePrefs(*state.store);
    saveBudget(state);
    applyProfileTheme(state);

    bool verified = state.store->budget->user.is_verified;
    state.syncState = verified ? syncIdle : syncUnverified;
    setWelcomeMode(state, welcomeStart, false);
    if (verified) {
        showPage(state, pageCalendar);
        state.syncNowRequested = true;
        showSuccess(state, "Signed in as " + state.session.email);
    } else {
        // The verify form is where an unverified account goes on, whichever
        // page asked for the sign-in.
        welcomeForm(state).mode = welcomeVerify;
        welcomeForm(state).email = state.session.email;
        if (state.page != pageWelcome)
            showPage(state, pageWelcome);
    }
    if (!signUp && deviceHadData && state.network && state.network->sync.checkDeviceBudget)
        state.network->sync.checkDeviceBudget(state);
}

void refreshUserRecord(AppState& state, const Json& user)
{
    User& record = state.store->budget->user;
    bool wasVerified = record.is_verified;
    copyUserMembers(record, user, false);
    savePrefs(*state.store);
    saveBudget(state);
    state.accountFieldsFilled = false;
    if (!wasVerified && record.is_verified) {
        state.syncState = syncIdle;
        state.syncNowRequested = true;
        if (state.page == pageWelcome)
            showPage(state, pageCalendar);
        showSuccess(state, "Email verified: the budget now syncs with " + std::string(serviceLabel));
    }
}

void signOut(AppState& state)
{
    deleteSession();
    state.session = {};
    setWelcomeMode(state, welcomeStart, false);
    openBudget(state, "local");
    state.syncState = syncLocalOnly;
    state.hasUnsentChanges = false;
    state.accountFieldsFilled = false;
    showPage(state, pageCalendar);
    showToast(state, "Signed out", toastInfo, kSuccessToastSeconds);
}

void applyAccountReply(AppState& state, const NetReply& reply)
{
    AccountRequest& request = state.request;
    // The user went back from this sign-in: nothing of it may sign in, open
    // a form or empty one, and a request made since stays as it is.
    if (reply.serial != 0 && reply.serial == request.abandonedSerial) {
        state.online = !reply.result.transportFailed;
        return;
    }
    ApiResult result = checkedResult(reply);
    // A request queued after this one was sent (a sign-out in the same
    // frame, say) must stay pending until it has been sent itself.
    if (request.sent) {
        request.pending = false;
        request.kind = akMe;
    }
    request.replyKind = reply.kind;
    request.replyOk = result.ok;
    request.replyError = result.message;
    if (result.transportFailed)
        request.replyError = "No connection to " + std::string(serviceLabel) + ": " + result.message;
    request.replyMessage = result.ok ? stringMember(*result.reply, "message") : std::string();
    request.twoFactorRequired = result.code == "two_factor_required";
    state.online = !result.transportFailed;
    state.redrawRequested = true;
    // The budget it was made for has closed (an offline sign-out, say):
    // nothing of the user, the session or the folders may change now.
    if (reply.budgetId != state.budgetId)
        return;

    WelcomeForm& form = welcomeForm(state);
    form.error.clear();
    form.notice.clear();
    const Json& body = result.ok ? *result.reply : noJson();
    const std::string& error = request.replyError;
    switch (reply.kind) {
    case akMe:
        break;
    case akLogin:
    case akLoginWithCode:
        if (result.ok) {
            applyUserRecord(state, member(body, "user"), stringMember(body, "token"), false);
        } else if (request.twoFactorRequired && reply.kind == akLogin) {
            // The code step keeps the typed e-mail and password: the code is sent with them.
            form.mode = welcomeCode;
            form.code.clear();
            form.lastTriedCode.clear();
            form.focusRequest = "wl-code";
        } else {
            form.error = request.twoFactorRequired ? result.message : error;
        }
        break;
    case akSignup:
        if (result.ok) {
            applyUserRecord(state, member(body, "user"), stringMember(body, "token"), true);
            if (!state.store->budget->user.is_verified)
                welcomeForm(state).notice = boolMember(body, "verification_sent")
                    ? "Check your inbox for the verification link."
                    : "The verification email could not be sent yet; try Send the link again in a moment.";
        } else {
            form.error = error;
        }
        break;
    case akForgotPassword:
        if (result.ok) {
            form.notice = request.replyMessage;
            form.mode = welcomeSignIn;
            form.focusRequest = "wl-pw";
        } else {
            form.error = error;
        }
        break;
    case akResendVerification:
        if (result.ok)
            form.notice = request.replyMessage;
        else
            form.error = error;
        break;
    case akPassword:
    case akTheme:
        if (!result.ok)
            showError(state, error);
        else if (!request.replyMessage.empty())
            showSuccess(state, request.replyMessage);
        break;
    case akTwoFactorSetup:
        if (result.ok) {
            request.twoFactorSecret = stringMember(body, "secret");
            request.twoFactorUri = stringMember(body, "uri");
        } else {
            showError(state, error);
        }
        break;
    case akDeleteAccount:
        if (result.ok)
            deleteAccountHere(state);
        else
            showError(state, error);
        break;
    case akLogout:
        signOut(state);
        break;
    case akCheckVerified:
        if (result.ok)
            refreshUserRecord(state, member(body, "user"));
        else if (result.code == "unauthorized")
            signOut(state);
        else
            form.error = error;
        break;
    default:
        if (!result.ok) {
            showError(state, error);
            break;
        }
        if (member(body, "user").is_object())
            refreshUserRecord(state, member(body, "user"));
        if (!request.replyMessage.empty())
            showSuccess(state, request.replyMessage);
        break;
    }
}

}  // namespace qm
