#pragma once
// The name of the JSON document type without the library's body, for headers
// that only pass documents along: including it costs next to nothing, while
// core/json.h compiles the whole library.
#include <nlohmann/json_fwd.hpp>

namespace qm {

using Json = nlohmann::ordered_json;

}  // namespace qm
