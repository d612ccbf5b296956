#pragma once
// Scratch budget folders for the store tests.
#include <string>

namespace qm::test {

// A fresh empty folder, removed with everything in it at destruction.
struct TempFolder {
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string path;
    std::string file(const char* name) const { return path + "/" + name; }
};

std::string readText(const std::string& path);
void writeText(const std::string& path, const std::string& text);

}  // namespace qm::test
