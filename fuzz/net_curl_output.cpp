// Any curl output with any exit code: reading it never fails; a success has a
// status, a failure a message and no status; a download keeps its file only
// for a complete 200.
#include "net/http_internal.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    int exitCode = data[0] % 4 == 0 ? 0 : data[0];
    std::string_view output(reinterpret_cast<const char*>(data + 1), size - 1);
    HttpResult t = readTransferOutput(output, exitCode);
    if (t.ok ? (t.status <= 0 || exitCode != 0) : (t.status != 0 || t.text.empty()))
        std::abort();
    DownloadOutcome d = readDownloadOutput(output, exitCode);
    if (d.result.ok ? (d.result.status <= 0 || !d.result.text.empty())
                    : (d.result.status != 0 || d.result.text.empty()))
        std::abort();
    if (d.removeTarget != (!d.result.ok || d.result.status != 200))
        std::abort();
    return 0;
}
