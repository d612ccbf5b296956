#pragma once
// Whole-file reads and crash-safe replacement of a file. Every writer of user
// data (budget, settings, session, exports) goes through writeFileAtomic so a
// kill or a full disk leaves either the old or the new file, never a torn one.
// Failures raise IOError with "<what> <path>: <reason>".
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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
    // The mode of a file that does not exist yet (else what the umask leaves
    // of 0666); a file that exists keeps its own.
    std::optional<unsigned> newFileMode;
    // False for a file of the moment (a list a test reads after each frame):
    // readers still never see half of it, but nothing is synced, so a crash
    // may leave the old one and the writer never waits for the disk.
    bool durable = true;
};

// The whole file's bytes.
std::string readFile(const std::string& path);

// A whole file's bytes to read in place, followed by a zero byte that is
// not the file's, so a parser that stops at the first zero stops at the end.
// A regular file is mapped: its pages stay the page cache's, so even a
// large one costs no fresh memory and no copy. Other files (a pipe, a file
// whose size the kernel does not tell) are read into memory of our own.
// A mapped file must not be cut short by another writer while it is read:
// the program's own writers never do, they replace files by renaming.
class MappedFile {
public:
    MappedFile() = default;
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    std::string_view bytes() const { return {m_data, m_size}; }

private:
    friend MappedFile mapFile(const std::string& path);
    void release();

    const char* m_data = "";
    size_t m_size = 0;
    void* m_mapping = nullptr;
    size_t m_mappedBytes = 0;
    std::string m_read;  // a file that was read rather than mapped
};

// Raises IOError as readFile does.
MappedFile mapFile(const std::string& path);

// A file read through one buffer of our own that every piece reuses, for a
// reader that passes over a large file once or twice: each piece costs a copy
// out of the page cache, and the whole read no memory beyond the buffer. A
// mapping costs a page-table entry and a first-touch fault for every page of
// the file instead, which on a guest whose host shadows its page tables
// costs ten times the copy. The file is the one opened here for every
// piece, even when another is renamed over its path meanwhile.
class FilePieces {
public:
    // Raises IOError as readFile does.
    FilePieces(const std::string& path, size_t pieceBytes);
    FilePieces(const FilePieces&) = delete;
    FilePieces& operator=(const FilePieces&) = delete;
    ~FilePieces();

    // Up to pieceBytes() of the file from `offset` on, followed by a zero
    // byte that is not the file's; shorter only where the file ends, empty
    // past its end. Valid until the next call. Raises IOError.
    std::string_view pieceAt(size_t offset);
    size_t pieceBytes() const { return m_pieceBytes; }

private:
    std::string m_path;
    int m_fd = -1;
    size_t m_pieceBytes;
    std::unique_ptr<char[]> m_buffer;
};

// Writes `bytes` to a temporary file of its own beside `path` (a unique name,
// so two processes never share one), syncs it, renames it over `path` and
// syncs the folder. The file keeps the mode it had; a failed write leaves no
// temporary behind. Across file systems (rename gives EXDEV) the file is
// written in place instead.
void writeFileAtomic(const std::string& path, std::string_view bytes);
void writeFileAtomic(const std::string& path, std::string_view bytes, const AtomicWriteOptions& options);

// Writes the file in place and syncs it; for files nobody reads while they
// are written.
void writeFileDurably(const std::string& path, std::string_view bytes);

// Replaces several files of one folder as one change: after a kill at any
// instant the folder holds either every old file or, once
// finishInterruptedWrites has run on the same list, every new one. Files
// that did not exist are created owner-only (0600); the others keep their
// mode. Raises IOError naming the file, never a temporary; a failure before
// the last step (a target that is a folder, say) leaves every old file.
void writeFilesTogether(const std::vector<std::pair<std::string, std::string_view>>& files);

// Takes a file's bytes piece by piece, in order, as its writer makes them.
using PutBytes = std::function<void(std::string_view)>;
// Makes a file's bytes and hands them to `put`: a large file need never be
// held whole in memory.
using MakeBytes = std::function<void(const PutBytes& put)>;

// writeFilesTogether for files whose bytes are made while they are written;
// every guarantee above holds. A failure raised by a maker leaves every old
// file, as a failed write does.
void writeFilesTogether(const std::vector<std::pair<std::string, MakeBytes>>& files);

// Whether the committed new content of the last path (given as the file
// holding it) is fit to replace the old one.
using CommitCheck = std::function<bool(const std::string& committedFile)>;

// Completes a writeFilesTogether of these paths that a kill cut short after
// its point of no return, and removes the temporary files that interrupted
// writes of them left. A commit that `check` refuses (a stray file copied or
// synced in from elsewhere, say) completes nothing: it is renamed to
// "<last>.<tag>.set-aside" and the old files stay. Raises IOError when a file
// cannot be put in place.
void finishInterruptedWrites(const std::vector<std::string>& paths, const CommitCheck& check = {});

// Creates the folder and every missing folder above it owner-only (0700);
// folders that exist keep their mode. Raises IOError.
void makePrivateFolders(const std::string& path);

// Whether `name` (a bare file name) is one of the temporary names the writers
// here give to files beside the file named `target`.
bool isTemporaryOf(std::string_view name, std::string_view target);

// Syncs the folder holding `path`, so that a rename in it survives a crash.
void syncFolderOf(const std::string& path);

bool isRegularFile(const std::string& path);

// The full path of the executable regular file `program` in a folder of
// PATH, searched in order; empty entries (the current folder) are skipped.
std::optional<std::string> findExecutable(std::string_view program);

}  // namespace qm
