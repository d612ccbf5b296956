#include "core/files.h"

#include "core/errors.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qm {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void raiseErrno(const std::string& what, const std::string& path)
{
    throw IOError(what + " " + path + ": " + std::strerror(errno));
}

// Closes the descriptor on every path out.
struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    // A failed close can be the first report of a failed write.
    void close(const std::string& path)
    {
        int f = fd;
        fd = -1;
        if (::close(f) != 0)
            raiseErrno("Cannot write", path);
    }
};

void writeAll(int fd, std::string_view text, const std::string& path)
{
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            raiseErrno("Cannot write", path);
        }
        text.remove_prefix(size_t(n));
    }
}

}  // namespace

void writeFileDurably(const std::string& path, std::string_view bytes)
{
    Fd f{::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)};
    if (f.fd < 0)
        raiseErrno("Cannot create", path);
    writeAll(f.fd, bytes, path);
    if (::fsync(f.fd) != 0)
        raiseErrno("Cannot write", path);
    f.close(path);
}

void syncFolderOf(const std::string& path)
{
    fs::path parent = fs::path(path).parent_path();
    const std::string folder = parent.empty() ? fs::path(".").string() : parent.string();
    Fd f{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (f.fd < 0)
        raiseErrno("Cannot open folder", folder);
    // Some file systems cannot sync a folder; the rename itself stands.
    if (::fsync(f.fd) != 0 && errno != EINVAL && errno != ENOTSUP)
        raiseErrno("Cannot sync folder", folder);
}

bool isRegularFile(const std::string& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

std::string readFile(const std::string& path)
{
    Fd f{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (f.fd < 0)
        raiseErrno("Cannot read", path);
    std::string text;
    // A large file would otherwise be copied at every doubling of the
    // string; one that grows while read still grows the string.
    struct stat st;
    if (::fstat(f.fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        text.reserve(size_t(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(f.fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            raiseErrno("Cannot read", path);
        }
        if (n == 0)
            return text;
        text.append(buf, size_t(n));
    }
}

MappedFile::MappedFile(MappedFile&& other) noexcept { *this = std::move(other); }

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept
{
    if (this == &other)
        return *this;
    release();
    m_mapping = std::exchange(other.m_mapping, nullptr);
    m_mappedBytes = std::exchange(other.m_mappedBytes, 0);
    m_size = std::exchange(other.m_size, 0);
    m_read = std::move(other.m_read);
    other.m_read.clear();
    m_data = m_mapping ? static_cast<const char*>(m_mapping) : m_read.c_str();
    other.m_data = "";
    return *this;
}

MappedFile::~MappedFile() { release(); }

void MappedFile::release()
{
    if (m_mapping)
        ::munmap(m_mapping, m_mappedBytes);
    m_mapping = nullptr;
    m_mappedBytes = 0;
    m_read.clear();
    m_data = "";
    m_size = 0;
}

MappedFile mapFile(const std::string& path)
{
    MappedFile out;
    Fd f{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (f.fd < 0)
        raiseErrno("Cannot read", path);
    struct stat st;
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
        out.m_read = readFile(path);
        out.m_size = out.m_read.size();
        out.m_data = out.m_read.c_str();
        return out;
    }
    const size_t size = size_t(st.st_size);
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    // Room for at least one byte past the end: a file that ends inside a
    // page is followed by the zeros the kernel gives the rest of it; one
    // that ends at a page's end, by an empty page of its own.
    const size_t span = (size / page + 1) * page;
    void* base = ::mmap(nullptr, span, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED)
        raiseErrno("Cannot read", path);
    if (::mmap(base, size, PROT_READ, MAP_PRIVATE | MAP_FIXED, f.fd, 0) == MAP_FAILED) {
        const int saved = errno;
        ::munmap(base, span);
        errno = saved;
        raiseErrno("Cannot read", path);
    }
    // A file not yet in the page cache is read ahead as a whole while the
    // reader works through its start.
    ::madvise(base, size, MADV_WILLNEED);
    out.m_mapping = base;
    out.m_mappedBytes = span;
    out.m_size = size;
    out.m_data = static_cast<const char*>(base);
    return out;
}

FilePieces::FilePieces(const std::string& path, size_t pieceBytes)
    : m_path(path)
    , m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
    , m_pieceBytes(std::max<size_t>(pieceBytes, 1))
{
    if (m_fd < 0)
        raiseErrno("Cannot read", path);
    // Only the part the file fills is ever written, so a small file takes
    // no more memory than its size, whatever the piece.
    m_buffer.reset(new char[m_pieceBytes + 1]);
}

FilePieces::~FilePieces() { ::close(m_fd); }

std::string_view FilePieces::pieceAt(size_t offset)
{
    size_t got = 0;
    while (got < m_pieceBytes) {
        const ssize_t n = ::pread(m_fd, m_buffer.get() + got, m_pieceBytes - got, off_t(offset + got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            raiseErrno("Cannot read", m_path);
        }
        if (n == 0)
            break;
        got += size_t(n);
    }
    m_buffer[got] = '\0';
    return {m_buffer.get(), got};
}

namespace {

// The file a chain of symbolic links ends at (which need not exist yet).
std::string followLinks(std::string path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::error_code ec;
        fs::path target = fs::read_symlink(path, ec);
        if (ec)
            return path;
        path = target.is_absolute() ? target.string() : (fs::path(path).parent_path() / target).string();
    }
    errno = ELOOP;
    raiseErrno("Cannot follow", path);
}

// Writes a file that others must never read, not even for a moment: it is
// restricted before the first byte goes in.
void writePrivately(const std::string& path, std::string_view bytes, unsigned mode, int flags)
{
    Fd f{::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | flags, mode_t(mode))};
    if (f.fd < 0)
        raiseErrno("Cannot create", path);
    if (::fchmod(f.fd, mode_t(mode)) != 0)
        raiseErrno("Cannot restrict", path);
    writeAll(f.fd, bytes, path);
    if (::fsync(f.fd) != 0)
        raiseErrno("Cannot write", path);
    f.close(path);
}

constexpr size_t kTagLength = 16;

// Sixteen hex digits that no other writer, in this process or another, is
// likely to pick at the same moment; O_EXCL settles the rest.
std::string randomTag()
{
    static std::atomic<uint64_t> counter{0};
    thread_local std::mt19937_64 rng = [] {
        std::seed_seq seed{uint64_t(std::random_device{}()), uint64_t(::getpid()),
            uint64_t(std::chrono::steady_clock::now().time_since_epoch().count())};
        return std::mt19937_64(seed);
    }();
    // A forked child inherits the generator's state and the counter: the
    // process id keeps its tags apart from its parent's and its siblings'.
    uint64_t v = rng() ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull) ^ (uint64_t(::getpid()) << 40);
    char buf[kTagLength + 1];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

std::string taggedName(const std::string& path, const std::string& tag, const char* suffix)
{
    return path + "." + tag + suffix;
}

// The permission bits of an existing regular file.
std::optional<unsigned> modeOf(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return unsigned(st.st_mode & 07777);
}

MakeBytes wholeBytes(std::string_view bytes)
{
    return [bytes](const PutBytes& put) { put(bytes); };
}

// Creates `file`, which must not exist yet, with exactly `mode` when one is
// given (else what the umask leaves of 0666), and writes and syncs it (unless
// told not to). On any failure the file is gone again. Failures name
// `shown`: the user knows the file being saved, not its temporary.
void writeNewFile(const std::string& file, const MakeBytes& make, std::optional<unsigned> mode,
    const std::string& shown, bool sync = true)
{
    Fd f{::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode_t(mode.value_or(0666)))};
    if (f.fd < 0)
        raiseErrno(file == shown ? "Cannot create" : "Cannot write", shown);
    try {
        // Set before the first byte, so a narrower mode is never widened
        // even for a moment.
        if (mode && ::fchmod(f.fd, mode_t(*mode)) != 0)
            raiseErrno("Cannot restrict", shown);
        make([&](std::string_view piece) { writeAll(f.fd, piece, shown); });
        if (sync && ::fsync(f.fd) != 0)
            raiseErrno("Cannot write", shown);
        f.close(shown);
    } catch (...) {
        ::unlink(file.c_str());
        throw;
    }
}

// A temporary of its own beside `path`, written (and synced when asked);
// gives its name.
std::string writeTemporary(const std::string& path, std::string_view bytes, std::optional<unsigned> mode, bool sync)
{
    for (int attempt = 0;; ++attempt) {
        std::string tmp = taggedName(path, randomTag(), ".tmp");
        try {
            writeNewFile(tmp, wholeBytes(bytes), mode, path, sync);
            return tmp;
        } catch (const IOError&) {
            struct stat st;
            if (attempt >= 8 || ::lstat(tmp.c_str(), &st) != 0)
                throw;  // not a clash of names
        }
    }
}

bool isHexTag(std::string_view text)
{
    if (text.size() != kTagLength)
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

// The tag of `name` when it is `target` "." tag `suffix`.
std::optional<std::string_view> tagOf(std::string_view name, std::string_view target, std::string_view suffix)
{
    if (name.size() != target.size() + 1 + kTagLength + suffix.size() || name.substr(0, target.size()) != target
        || name[target.size()] != '.' || name.substr(name.size() - suffix.size()) != suffix)
        return std::nullopt;
    std::string_view tag = name.substr(target.size() + 1, kTagLength);
    return isHexTag(tag) ? std::optional(tag) : std::nullopt;
}

}  // namespace

bool isTemporaryOf(std::string_view name, std::string_view target)
{
    // "<target>.tmp" is the single name older versions used.
    if (name.size() == target.size() + 4 && name.substr(0, target.size()) == target
        && name.substr(target.size()) == ".tmp")
        return true;
    return tagOf(name, target, ".tmp").has_value();
}

void writeFileAtomic(const std::string& path, std::string_view bytes)
{
    writeFileAtomic(path, bytes, AtomicWriteOptions{});
}

void writeFileAtomic(const std::string& path, std::string_view bytes, const AtomicWriteOptions& options)
{
    const std::string target = options.keepSymlink ? followLinks(path) : path;
    std::optional<unsigned> mode = options.privateMode ? options.privateMode : modeOf(target);
    std::error_code ec;
    if (!mode && options.newFileMode && !fs::exists(fs::symlink_status(target, ec)))
        mode = options.newFileMode;
    const std::string tmp = writeTemporary(target, bytes, mode, options.durable);
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        if (err != EXDEV) {
            errno = err;
            raiseErrno("Cannot replace", target);
        }
        if (options.privateMode)
            writePrivately(target, bytes, *options.privateMode, O_TRUNC);
        else
            writeFileDurably(target, bytes);
    }
    // What a write cut short under the old fixed name may have left.
    ::unlink((target + ".tmp").c_str());
    if (options.durable)
        syncFolderOf(target);
}

// Every file gets a temporary under one tag. Renaming the last file's
// temporary to "<last>.<tag>.next" is the point of no return: from then on
// the new set wins, and whoever opens the folder next finishes the renames
// that a kill left undone.
void writeFilesTogether(const std::vector<std::pair<std::string, std::string_view>>& files)
{
    std::vector<std::pair<std::string, MakeBytes>> made;
    made.reserve(files.size());
    for (const auto& [path, bytes] : files)
        made.emplace_back(path, wholeBytes(bytes));
    writeFilesTogether(made);
}

void writeFilesTogether(const std::vector<std::pair<std::string, MakeBytes>>& files)
{
    if (files.empty())
        return;
    std::vector<std::string> tmps;
    auto removeAll = [&] {
        for (const std::string& tmp : tmps)
            ::unlink(tmp.c_str());
    };
    // A folder in a file's place would stop the last rename after the point
    // of no return, and every later opening with it.
    for (const auto& file : files) {
        struct stat st;
        if (::lstat(file.first.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            raiseErrno("Cannot replace", file.first);
        }
    }
    const std::string tag = randomTag();
    try {
        for (const auto& [path, make] : files) {
            tmps.push_back(taggedName(path, tag, ".tmp"));
            // A budget is nobody else's business: new files are the owner's.
            writeNewFile(tmps.back(), make, modeOf(path).value_or(0600), path);
        }
        syncFolderOf(files.front().first);
    } catch (...) {
        removeAll();
        throw;
    }
    const std::string& last = files.back().first;
    const std::string marker = taggedName(last, tag, ".next");
    if (::rename(tmps.back().c_str(), marker.c_str()) != 0) {
        int err = errno;
        removeAll();
        errno = err;
        raiseErrno("Cannot replace", last);
    }
    tmps.back() = marker;
    syncFolderOf(last);
    for (size_t i = 0; i + 1 < files.size(); ++i) {
        if (::rename(tmps[i].c_str(), files[i].first.c_str()) != 0) {
            int err = errno;
            // Nothing has been replaced yet, so the old set can still stand.
            if (i == 0)
                removeAll();
            errno = err;
            raiseErrno("Cannot replace", files[i].first);
        }
    }
    if (::rename(marker.c_str(), last.c_str()) != 0)
        raiseErrno("Cannot replace", last);
    syncFolderOf(last);
}

void finishInterruptedWrites(const std::vector<std::string>& paths, const CommitCheck& check)
{
    if (paths.empty())
        return;
    const fs::path folder = fs::path(paths.back()).parent_path();
    std::error_code ec;
    std::vector<std::pair<fs::file_time_type, std::string>> markers;
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder.empty() ? "." : folder, ec))
        names.push_back(entry.path().filename().string());
    if (ec)
        return;  // no folder, nothing to finish
    const std::string last = fs::path(paths.back()).filename().string();
    for (const std::string& name : names) {
        if (std::optional<std::string_view> tag = tagOf(name, last, ".next")) {
            std::error_code tec;
            markers.emplace_back(fs::last_write_time(folder / name, tec), std::string(*tag));
        }
    }
    // Normally at most one; should several be there, the newest lands last.
    std::sort(markers.begin(), markers.end());
    bool moved = false;
    for (const auto& [when, tag] : markers) {
        const std::string marker = taggedName(paths.back(), tag, ".next");
        moved = true;
        // Our own commits are whole and synced before they are named so; a
        // marker that does not hold what we write came from somewhere else
        // and must not replace a good file.
        if (check && !check(marker)) {
            const std::string aside = taggedName(paths.back(), tag, ".set-aside");
            if (::rename(marker.c_str(), aside.c_str()) != 0)
                raiseErrno("Cannot set aside", marker);
            continue;
        }
        for (size_t i = 0; i + 1 < paths.size(); ++i) {
            const std::string tmp = taggedName(paths[i], tag, ".tmp");
            struct stat st;
            if (::lstat(tmp.c_str(), &st) == 0 && ::rename(tmp.c_str(), paths[i].c_str()) != 0)
                raiseErrno("Cannot replace", paths[i]);
        }
        if (::rename(marker.c_str(), paths.back().c_str()) != 0)
            raiseErrno("Cannot replace", paths.back());
    }
    if (moved)
        syncFolderOf(paths.back());
    for (const std::string& path : paths) {
        const std::string base = fs::path(path).filename().string();
        for (const std::string& name : names)
            if (isTemporaryOf(name, base))
                ::unlink((folder / name).c_str());
    }
}

void makePrivateFolders(const std::string& path)
{
    if (path.empty())
        return;
    // Each missing level is made here rather than by create_directories,
    // whose folders get what the umask leaves of 0777.
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != '/')
            continue;
        const std::string level = path.substr(0, at);
        if (level.back() == '/')
            continue;
        if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST)
            raiseErrno("Cannot create folder", level);
    }
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        raiseErrno("Cannot create folder", path);
    }
}

std::optional<std::string> findExecutable(std::string_view program)
{
    const char* path = std::getenv("PATH");
    if (!path)
        return std::nullopt;
    std::string_view rest = path;
    while (true) {
        const size_t colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        if (!dir.empty()) {
            std::string candidate = std::string(dir) + "/" + std::string(program);
            struct stat info;
            if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode)
                && ::access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        if (colon == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(colon + 1);
    }
}

}  // namespace qm
