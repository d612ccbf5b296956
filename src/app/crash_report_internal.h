#pragma once
// The file-reading steps of the crash report, with their files named, so that
// tests can hand them made-up system files.
#include <string>

namespace qm {

std::string osVersionTextFrom(const std::string& osReleasePath, const std::string& kernelPath);
std::string hostNameFrom(const std::string& hostnamePath);

}  // namespace qm
