#pragma once
// The name of the JSON document type without the library's body, for headers
// that only pass documents along: including it costs next to nothing, while
// core/json.h compiles the whole library.
#include <nlohmann/json_fwd.hpp>

#include <memory>

namespace qm {

using Json = nlohmann::ordered_json;
// A document shared without copying and never changed once made.
using JsonPtr = std::shared_ptr<const Json>;

}  // namespace qm
