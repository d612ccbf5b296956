#pragma once
// Where the help pages send users for more: the maker's web site and contact
// address, taken from the build's service-host constants.
#include "core/service_host.h"

#include <string_view>

namespace qm {

inline constexpr std::string_view kHelpSiteUrl = builtInServerUrl;
inline constexpr std::string_view kHelpContactAddress = contactAddress;

}  // namespace qm
