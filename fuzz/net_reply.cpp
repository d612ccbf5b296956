// Any answer body with any status: reading it never raises, and the outcome
// keeps its promises (ok only for a 2xx object, a message whenever not ok).
#include "net/api_internal.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    std::int32_t status = std::int32_t(data[0]) * 4 + (data[1] & 3);  // 0 .. 1023
    std::string_view body(reinterpret_cast<const char*>(data + 2), size - 2);
    HttpResult http{status != 0, status, std::string(body)};
    ApiResult r = readApiAnswer("https://svc.example", http);
    if (r.ok && (r.status < 200 || r.status > 299 || !r.reply || !r.reply->is_object()))
        std::abort();
    if (!r.ok && r.message.empty())
        std::abort();
    if (r.transportFailed != !http.ok)
        std::abort();
    return 0;
}
