#pragma once
// Where this build's web service lives. Every address the program shows or
// calls by default comes from here, so a build for another host changes this
// one file. The default host is under the reserved ".example" domain: no
// build made from this tree and no test can reach a real service by accident.
#include <string_view>

namespace qm {

// The service host's name as an address bar shows it; messages name the
// service by it, whichever server is configured.
inline constexpr std::string_view serviceLabel = "quenmark.example";

// The built-in server base address (no trailing "/").
inline constexpr std::string_view builtInServerUrl = "https://quenmark.example";

// The page that offers the newest version for manual download.
inline constexpr std::string_view downloadPageUrl = "https://quenmark.example/download";

// The service's terms of use and privacy policy, opened in the browser.
inline constexpr std::string_view termsPageUrl = "https://quenmark.example/terms";
inline constexpr std::string_view privacyPageUrl = "https://quenmark.example/privacy";

// Where users write for help.
inline constexpr std::string_view contactAddress = "support@quenmark.example";

// The version of this build; the updater compares releases with it.
inline constexpr std::string_view appVersion = "1.1.0";

}  // namespace qm
