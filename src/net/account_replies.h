#pragma once
// What an account reply does to the application: the hand-off record the
// pages read, the welcome form's error and notice lines, the session and
// the account's budget on sign-in and sign-up, two-factor and e-mail
// verification, deleting the account and signing out. Main thread only;
// the pump calls applyAccountReply for every finished account call.
#include "app/app_state.h"
#include "core/json.h"
#include "net/api.h"

namespace qm {

void applyAccountReply(AppState& state, const NetReply& reply);
// The sign-in and sign-up path: `user` is the reply's "user" object.
void applyUserRecord(AppState& state, const Json& user, const std::string& token, bool signUp);
// Takes the service's view of the user into the open budget.
void refreshUserRecord(AppState& state, const Json& user);
// On this device only: the service is not asked.
void signOut(AppState& state);

}  // namespace qm
