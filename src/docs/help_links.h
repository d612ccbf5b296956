#pragma once
// Where the help pages send users for more: the maker's web site and contact
// address. These stand in until the build's service-host constants exist.
#include <string_view>

namespace qm {

inline constexpr std::string_view kHelpSiteUrl = "https://quenmark.example";
inline constexpr std::string_view kHelpContactAddress = "help@quenmark.example";

}  // namespace qm
