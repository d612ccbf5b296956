// Any update reply: reading the envelope and its manifest, checking the
// signature and picking a package never raise, and every listed file name is
// a plain name that cannot leave the download folder.
#include "net/update_envelope.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    UpdateReply reply = parseUpdateReply(text);
    if (!reply.ok && reply.error.empty())
        std::abort();
    const std::vector<std::string> keys = {std::string(32, '\x5a')};
    for (std::string_view manifestText : {std::string_view(reply.current.manifest), text}) {
        UpdateManifest manifest = parseManifest(manifestText);
        for (const ManifestFile& f : manifest.files) {
            if (f.file.empty() || f.file[0] == '.' || f.file.find_first_of("/\\") != std::string::npos || f.size < 0)
                std::abort();
        }
    }
    verifyManifestSignature(text, std::string_view(text).substr(0, 64), keys);
    for (InstallKind kind : {ikNone, ikDeb, ikAppImage})
        if (pickUpdateAsset(reply.current, keys, kind) && kind == ikNone)
            std::abort();
    return 0;
}
