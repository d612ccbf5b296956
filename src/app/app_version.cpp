#include "app/app_version.h"

namespace qm {

std::string versionText(std::string_view version)
{
    std::string out;
    for (size_t i = 0; i < version.size();) {
        if (version.substr(i, 3) == "-rc") {
            out += " RC";
            i += 3;
        } else {
            out += version[i++];
        }
    }
    return out;
}

std::string appVersionText() { return versionText(kAppVersion); }

}  // namespace qm
