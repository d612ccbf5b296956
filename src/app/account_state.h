#pragma once
// Everything about the user's account that several pages read: whether a
// user is signed in, the single request waiting for the service, the texts
// describing sync, the sign-in form, what a confirmation box asks, and how
// the budget's owner is named.
#include <string>

#include "app/account_request.h"
#include "app/app_state.h"
#include "app/welcome_form.h"
#include "core/service_host.h"

namespace qm {

bool isSignedIn(const AppState& state);
// Replaces a request already pending, sent or not.
void queueAccountRequest(AppState& state, AccountRequestKind kind, AccountFields fields = {});
void requestSyncAndRedraw(AppState& state);
std::string syncStatusText(const AppState& state);
// A fresh form in that mode; keepEmail carries the typed address over.
void setWelcomeMode(AppState& state, int32_t mode, bool keepEmail);
void openWelcomePage(AppState& state, int32_t mode);
void showConfirm(AppState& state, const std::string& title, const std::string& message, const std::string& actionId,
    const std::string& confirmLabel, const std::string& cancelLabel, bool danger);
std::string budgetOwnerLabel(const AppState& state);
std::string userInitials(const AppState& state);

}  // namespace qm
