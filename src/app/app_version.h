#pragma once
// The program's version: the raw text crash reports record, and the form
// the user reads.
#include <string>
#include <string_view>

#include "core/service_host.h"

namespace qm {

// One version for the whole program: the updater compares releases with it.
inline constexpr std::string_view kAppVersion = appVersion;

// Every "-rc" becomes " RC": 2.0.0-rc1 reads 2.0.0 RC1.
std::string versionText(std::string_view version);

// versionText of kAppVersion.
std::string appVersionText();

}  // namespace qm
