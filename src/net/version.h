#pragma once
// Release version texts: "1.2.0", "v1.2", "1.2.0-rc.2", "1.1.0+build".
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct ParsedVersion {
    std::vector<std::int64_t> parts;
    std::string suffix;  // after the first "-" or "+"
};

ParsedVersion parseVersion(std::string_view text);

// -1, 0 or 1. Missing parts count as 0; a release sorts above its
// pre-releases; suffixes compare naturally (digit runs as numbers, letters
// without case).
int compareVersions(std::string_view a, std::string_view b);

// Whether a release is newer than this build.
bool isNewerVersion(std::string_view version);

// Pre-release tags become words: a "-rc.N" suffix reads " RC N" and a
// "-beta.N" suffix " Beta N", so a candidate shows as, say, "1.2.0 RC 2".
std::string displayVersion(std::string_view text);

}  // namespace qm
