#include "app/env_helpers.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>

namespace qm::testing {

ScopedEnv::~ScopedEnv()
{
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        if (it->second)
            ::setenv(it->first.c_str(), it->second->c_str(), 1);
        else
            ::unsetenv(it->first.c_str());
    }
}

ScopedEnv& ScopedEnv::set(const std::string& name, std::optional<std::string> value)
{
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
    return *this;
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "qm-app-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void writeText(const std::string& path, const std::string& text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

unsigned fileMode(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return ~0u;
    return st.st_mode & 07777;
}

GermanNumbers::GermanNumbers()
{
    const std::string made = folder_ / "de_DE.UTF-8";
    const std::string command = "localedef -i de_DE -f UTF-8 '" + made + "' >/dev/null 2>&1";
    int status = std::system(command.c_str());
    // localedef answers 1 for warnings about the source while still writing the locale.
    if (status != 0 && !std::filesystem::exists(made)) {
        failure_ = "localedef could not make de_DE.UTF-8 (is the locales package installed?)";
        return;
    }
    env_.set("LOCPATH", folder_.path());
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        failure_ = "setlocale refused de_DE.UTF-8";
    else if (std::localeconv()->decimal_point != std::string(","))
        failure_ = "the German locale has no decimal comma";
}

GermanNumbers::~GermanNumbers() { std::setlocale(LC_ALL, "C"); }

}  // namespace qm::testing
