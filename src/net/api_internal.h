#pragma once
// The reading of one API answer, apart from the transfer, for tests and fuzzing.
#include "net/api.h"

namespace qm {

ApiResult readApiAnswer(std::string_view server, const HttpResult& http);

}  // namespace qm
