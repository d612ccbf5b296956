#pragma once
// Scratch budget folders for the store tests.
#include "model/store.h"

#include <string>
#include <vector>

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

// The journal as "kind entity id" lines, checking on the way that each
// create or update carries the stored record's current JSON when the record
// is still there.
std::vector<std::string> journalSummary(const LocalStore& store);

std::string readText(const std::string& path);
void writeText(const std::string& path, const std::string& text);

}  // namespace qm::test
