#pragma once
// The one account call the pages have waiting for the network pump, and what
// its reply said. The shell, the pages and the network code all fill or read
// it, so it lives here rather than beside the client: the kinds are numbered
// once, and each value a call sends is a named member, so a misspelt one
// fails to compile instead of leaving a value out of the call.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// The account calls. The pages' status lines keep one bit per kind, so
// there are fewer than 32.
enum AccountRequestKind : std::uint8_t {
    akMe = 0,  // never asked for by a page: a request or reply of this kind means none
    akLogin = 1,
    akSignup = 2,
    akForgotPassword = 3,
    akLoginWithCode = 4,
    akResendVerification = 5,
    akProfile = 6,
    akEmail = 7,
    akPassword = 8,
    akTheme = 9,
    akTwoFactorSetup = 10,
    akTwoFactorEnable = 11,
    akTwoFactorDisable = 12,
    akDeleteAccount = 13,
    akCalendarToken = 14,
    akLogout = 15,
    akCheckVerified = 16,
    akAvatarUpload = 17,
    akAvatarDelete = 18,
    akCalendarTokenOff = 19,
};

// What a call sends besides the device's name and the session's token. The
// members that are set go into the body under their own names, in the order
// declared here (so a designated initialiser lists them in that order too).
// Several kinds share one record: ten of them send nothing and the rest draw
// on the same few names. The empty initialisers let a call name only the
// members it sends without a warning for the others.
struct AccountFields {
    std::optional<std::string> code{};
    std::optional<std::string> current_password{};
    std::optional<std::string> email{};
    std::optional<std::string> first_name{};
    std::optional<std::string> image{};  // base64 of the picture's file
    std::optional<std::string> last_name{};
    std::optional<std::string> name{};  // the picture's file name
    std::optional<std::string> new_password{};
    std::optional<std::string> password{};
    std::optional<std::string> theme{};

    bool operator==(const AccountFields&) const = default;
};

struct AccountFieldKey {
    std::string_view key;
    std::optional<std::string> AccountFields::*member;
};

// The body's name of every member, in the record's order.
// clang-format off
inline constexpr AccountFieldKey accountFieldKeys[] = {
    {"code", &AccountFields::code},
    {"current_password", &AccountFields::current_password},
    {"email", &AccountFields::email},
    {"first_name", &AccountFields::first_name},
    {"image", &AccountFields::image},
    {"last_name", &AccountFields::last_name},
    {"name", &AccountFields::name},
    {"new_password", &AccountFields::new_password},
    {"password", &AccountFields::password},
    {"theme", &AccountFields::theme}
};
// clang-format on

struct AccountRequest {
    bool pending = false;
    // Handed to the worker; the pump sends a request once, and only a reply
    // to a request that went out ends it.
    bool sent = false;
    AccountRequestKind kind = akMe;
    std::uint32_t serial = 0;  // counts the requests queued; a reply carries the one of its request
    // A sign-in the user went back from: its reply, whenever it comes, is dropped.
    std::uint32_t abandonedSerial = 0;
    AccountFields fields;
    // What the last applied reply said. replyKind is akMe except in the frame
    // that applied a reply; the others hold until the next reply.
    AccountRequestKind replyKind = akMe;
    bool replyOk = false;
    std::string replyError;
    std::string replyMessage;
    bool twoFactorRequired = false;
    std::string twoFactorSecret;
    std::string twoFactorUri;
};

}  // namespace qm
