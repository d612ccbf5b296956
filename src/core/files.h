#pragma once
// Whole-file reads and crash-safe replacement of a file. Every writer of user
// data (budget, settings, session, exports) goes through writeFileAtomic so a
// kill or a full disk leaves either the old or the new file, never a torn one.
// Failures raise IOError with "<what> <path>: <reason>".
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// How writeFileAtomic treats files that need more care than a budget file.
struct AtomicWriteOptions {
    // The temporary file is created anew (a leftover one is removed first, then
    // O_EXCL) and set to exactly this mode before a byte is written, whatever
    // the umask: for files that hold a secret.
    std::optional<unsigned> privateMode;
    // A path that is a symbolic link stays one: the file it leads to is the
    // one replaced, with its temporary file beside it.
    bool keepSymlink = false;
};

// The whole file's bytes.
std::string readFile(const std::string& path);

// Writes `bytes` to a temporary file beside `path`, syncs it, renames it over
// `path` and syncs the folder. Across file systems (rename gives EXDEV) the
// file is written in place instead.
void writeFileAtomic(const std::string& path, std::string_view bytes);
void writeFileAtomic(const std::string& path, std::string_view bytes, const AtomicWriteOptions& options);

// Writes the file in place and syncs it; for files nobody reads while they
// are written.
void writeFileDurably(const std::string& path, std::string_view bytes);

// Syncs the folder holding `path`, so that a rename in it survives a crash.
void syncFolderOf(const std::string& path);

bool isRegularFile(const std::string& path);

}  // namespace qm
