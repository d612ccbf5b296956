#pragma once
// Where the web service lives when neither QUENMRK_SERVER nor the settings
// name another address. A deployment value: the host is a reserved name
// until the service's address is settled.
#include <string_view>

namespace qm {

inline constexpr std::string_view kDefaultServiceOrigin = "https://quenmrk.example";
inline constexpr std::string_view kServiceHostName = "quenmrk.example";

}  // namespace qm
