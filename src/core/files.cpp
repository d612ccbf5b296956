#include "core/files.h"

#include "core/errors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

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

void writeFileAtomic(const std::string& path, std::string_view bytes)
{
    std::string tmp = path + ".tmp";
    writeFileDurably(tmp, bytes);
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        if (errno != EXDEV)
            raiseErrno("Cannot replace", path);
        writeFileDurably(path, bytes);
        ::unlink(tmp.c_str());
    }
    syncFolderOf(path);
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
    Fd f {::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | flags, mode_t(mode))};
    if (f.fd < 0)
        raiseErrno("Cannot create", path);
    if (::fchmod(f.fd, mode_t(mode)) != 0)
        raiseErrno("Cannot restrict", path);
    writeAll(f.fd, bytes, path);
    if (::fsync(f.fd) != 0)
        raiseErrno("Cannot write", path);
    f.close(path);
}

}  // namespace

void writeFileAtomic(const std::string& path, std::string_view bytes, const AtomicWriteOptions& options)
{
    const std::string target = options.keepSymlink ? followLinks(path) : path;
    const std::string tmp = target + ".tmp";
    auto writeTo = [&](const std::string& file, bool fresh) {
        if (!options.privateMode) {
            writeFileDurably(file, bytes);
        } else if (fresh) {
            if (::unlink(file.c_str()) != 0 && errno != ENOENT)
                raiseErrno("Cannot replace", file);
            writePrivately(file, bytes, *options.privateMode, O_EXCL);
        } else {
            writePrivately(file, bytes, *options.privateMode, O_TRUNC);
        }
    };
    try {
        writeTo(tmp, true);
    } catch (...) {
        // A half-written secret must not stay behind.
        if (options.privateMode)
            ::unlink(tmp.c_str());
        throw;
    }
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        int err = errno;
        if (err != EXDEV) {
            if (options.privateMode)
                ::unlink(tmp.c_str());
            errno = err;
            raiseErrno("Cannot replace", target);
        }
        ::unlink(tmp.c_str());
        writeTo(target, false);
    }
    syncFolderOf(target);
}

}  // namespace qm
