#pragma once
// The one dialog through which the user picks every file the program reads
// or writes on request: statements to import, exports, reports, the profile
// photo. A caller opens it with a purpose of its own; the shell draws it
// every frame and hands a chosen path to that purpose. The
// window layer may offer a native dialog; without one the program's own
// modal dialog lists folders and files.
#include <cstdint>
#include <string>
#include <vector>

#include "app/app_state.h"

namespace qm {

// One row of a listing. Sizes are kept but not shown.
struct FileEntry {
    std::string name;  // without its folder
    bool isFolder = false;
    int64_t size = 0;  // 0 for folders and when unreadable
};

// The dialog between frames; the purpose lives in the AppState
// (fileDialogPurpose), which the frame hands the chosen path to.
struct FileDialogState {
    std::string folder;                // absolute, without a trailing slash but for "/"
    std::string fileName;              // the name field
    std::vector<std::string> filters;  // lower case with the dot; empty: all files
    int32_t selectedIndex = -1;
    std::vector<FileEntry> entries;
    std::string listedFolder;  // what entries list; empty forces a listing
    std::string folderText;    // the folder field
    // A save that would overwrite this existing file, waiting for "Replace".
    std::string replacePath;
};

// The state's dialog, made on first use.
FileDialogState& fileDialogState(AppState& state);

// filters: extensions with their dot (".pdf").
void openFileDialog(AppState& state, FileDialogPurpose purpose, const std::vector<std::string>& filters,
    const std::string& defaultName);

// Draws the dialog when open; the path chosen in this frame, else empty.
// A path set by the loop (a dropped statement, a native dialog) is handed
// on first.
std::string drawFileDialog(AppState& state);

std::string fileDialogTitle(const FileDialogPurpose& purpose);
// ".ofx", ".qfx" give "OFX, QFX".
std::string joinFilters(const std::vector<std::string>& filters);
// Brings entries up to the folder shown.
void listFolder(AppState& state);

}  // namespace qm
