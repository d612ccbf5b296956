#pragma once
// What the sign-in, sign-up, reset and verify forms hold between frames.
// The welcome page draws it; the account replies also fill it in (a refusal's
// reason, the next step), so it lives beside the shell rather than in the page.
#include <cstdint>
#include <string>

namespace qm {

struct AppState;

enum WelcomeMode : int32_t {
    welcomeStart = 0,
    welcomeSignIn = 1,
    welcomeSignUp = 2,
    welcomeReset = 3,
    welcomeCode = 4,
    welcomeVerify = 5,
};

struct WelcomeForm {
    int32_t mode = welcomeStart;
    std::string email;
    std::string password;
    std::string firstName;
    std::string lastName;
    std::string code;
    std::string focusRequest;  // widget id the page focuses when it first draws the form
    std::string confirmPassword;
    bool agreed = false;
    std::string error;
    std::string notice;
    std::string lastTriedCode;  // a complete code goes out by itself only once
};

// The state's form, made on first use.
WelcomeForm& welcomeForm(AppState& state);

}  // namespace qm
