#pragma once
// Environment variables and scratch folders for tests of code that reads
// HOME, XDG_CONFIG_HOME and friends. Each restores what it changed.
#include <optional>
#include <string>
#include <vector>

namespace qm::testing {

class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv();
    // nullopt unsets the variable.
    ScopedEnv& set(const std::string& name, std::optional<std::string> value);

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// A fresh folder under the temporary folder, removed with its contents.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void writeText(const std::string& path, const std::string& text);
unsigned fileMode(const std::string& path);

}  // namespace qm::testing
