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

// The program's locale set to German for the object's life, as a user's
// LC_ALL=de_DE.UTF-8 would: its decimal point is a comma. The locale is made
// for the test (localedef into a scratch folder named by LOCPATH), so the
// machine needs only the locales package. Back to "C" when it goes.
class GermanNumbers {
public:
    GermanNumbers();
    GermanNumbers(const GermanNumbers&) = delete;
    GermanNumbers& operator=(const GermanNumbers&) = delete;
    ~GermanNumbers();
    // Empty when the locale is in force, else why not.
    const std::string& failure() const { return failure_; }

private:
    TempDir folder_;
    ScopedEnv env_;
    std::string failure_;
};

}  // namespace qm::testing
