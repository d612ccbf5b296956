#pragma once
// The file dialog's pure steps, for tests.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/file_dialog.h"

namespace qm {

// Folders (and links to them) first, then files passing the filters, each
// by name without regard to ASCII case; hidden names, unreadable entries
// and anything but folders and regular files are left out. A folder that
// cannot be read lists nothing.
std::vector<FileEntry> listFolderEntries(const std::string& folder, const std::vector<std::string>& filters);

// What a folder typed into the folder field names: "~" is the home folder,
// and a relative path starts at the folder shown.
std::string typedFolder(std::string_view typed, const std::string& shown, const std::string& home);

// The folder above, or empty at the root.
std::string parentFolder(const std::string& folder);

// Where a dialog opens: the folder shown last while it exists, the last
// chosen folder, Documents for saving, else home.
std::string fileDialogStartFolder(const std::string& shown, const std::string& lastDir, bool save);

// The name a save takes from the button: without an extension it gets the
// first filter.
std::string nameWithExtension(const std::string& name, const std::vector<std::string>& filters);

struct NativeFilters {
    std::vector<std::pair<std::string, std::string>> pairs;  // description, pattern
    std::string defaultExtension;                            // without the dot
};
// What a native dialog is given: the filters' pair, then all files.
NativeFilters nativeFilters(const std::vector<std::string>& filters);

}  // namespace qm
