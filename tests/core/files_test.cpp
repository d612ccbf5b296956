#include "core/files.h"

#include "core/errors.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qm {
namespace {

namespace fs = std::filesystem;

struct Folder {
    std::string path;
    Folder()
    {
        std::string tmpl = (fs::temp_directory_path() / "qm-files-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            throw std::runtime_error("mkdtemp failed");
        path = tmpl;
    }
    ~Folder()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string file(const std::string& name) const { return path + "/" + name; }
    std::set<std::string> names() const
    {
        std::set<std::string> out;
        for (const auto& e : fs::directory_iterator(path))
            out.insert(e.path().filename().string());
        return out;
    }
};

void put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

unsigned modeOf(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0;
}

// Runs `body` in a child process and gives its exit status.
template <typename Body>
int inChild(Body body)
{
    pid_t pid = fork();
    if (pid == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs `write` in a child whose files can grow to `room` bytes only, as on a
// full disk (a write past it fails with EFBIG); gives 3 when it raised
// IOError, 0 when it did not.
template <typename Write>
int onFullDisk(rlim_t room, Write write)
{
    return inChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{room, room};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            write();
        } catch (const IOError&) {
            _exit(3);
        }
    });
}

// Each row failed before temporaries had names of their own: the writer
// used "<file>.tmp", left it behind when a step failed, and gave the new
// file the umask's mode instead of the old file's.
TEST(Files, AtomicWriteFaults)
{
    {
        SCOPED_TRACE("a folder squatting on the old fixed temporary name does not stop a save");
        Folder dir;
        fs::create_directory(dir.file("a.json.tmp"));
        writeFileAtomic(dir.file("a.json"), "new");
        EXPECT_EQ(readFile(dir.file("a.json")), "new");
    }
    {
        SCOPED_TRACE("a failed rename leaves no temporary");
        Folder dir;
        fs::create_directories(dir.file("taken/x"));  // a non-empty folder cannot be renamed over
        EXPECT_THROW(writeFileAtomic(dir.file("taken"), "x"), IOError);
        EXPECT_EQ(dir.names(), std::set<std::string>{"taken"});
    }
    {
        SCOPED_TRACE("a write cut short by a full disk leaves no temporary and the old file");
        Folder dir;
        put(dir.file("a.json"), "old");
        EXPECT_EQ(onFullDisk(8, [&] { writeFileAtomic(dir.file("a.json"), std::string(100, 'x')); }), 3);
        EXPECT_EQ(readFile(dir.file("a.json")), "old");
        EXPECT_EQ(dir.names(), std::set<std::string>{"a.json"});
    }
    for (unsigned mode : {0600u, 0640u, 0664u}) {
        SCOPED_TRACE("the file keeps its mode " + std::to_string(mode));
        Folder dir;
        put(dir.file("data.json"), "{}");
        ::chmod(dir.file("data.json").c_str(), mode);
        writeFileAtomic(dir.file("data.json"), "{\"a\":1}");
        EXPECT_EQ(modeOf(dir.file("data.json")), mode);
    }
}

// Two processes saving one file: each save lands whole, and neither leaves
// a temporary (with one shared name, one process renamed the other's
// half-written file into place or found it gone).
TEST(Files, TwoWritersOfOneFileNeverTearIt)
{
    Folder dir;
    const std::string path = dir.file("data.json");
    const std::string a(40000, 'a'), b(30000, 'b');
    auto writer = [&](const std::string& text) {
        pid_t pid = fork();
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < 150; ++i) {
                try {
                    writeFileAtomic(path, text);
                } catch (const IOError&) {
                    ++failures;
                }
            }
            _exit(failures == 0 ? 0 : 1);
        }
        return pid;
    };
    pid_t first = writer(a);
    pid_t second = writer(b);
    int s1 = 0, s2 = 0;
    waitpid(first, &s1, 0);
    waitpid(second, &s2, 0);
    EXPECT_TRUE(WIFEXITED(s1) && WEXITSTATUS(s1) == 0);
    EXPECT_TRUE(WIFEXITED(s2) && WEXITSTATUS(s2) == 0);
    const std::string end = readFile(path);
    EXPECT_TRUE(end == a || end == b) << end.size();
    EXPECT_EQ(dir.names(), std::set<std::string>{"data.json"});
}

TEST(Files, TemporaryNames)
{
    struct Row {
        const char* name;
        bool temporary;
    };
    const Row rows[] = {{"data.json.tmp", true}, {"data.json.0123456789abcdef.tmp", true},
        {"data.json.0123456789abcdef.next", false},  // a commit in progress, not rubbish
        {"data.json.0123456789ABCDEF.tmp", false}, {"data.json.0123.tmp", false}, {"data.json", false},
        {"journal.json.0123456789abcdef.tmp", false}, {"data.json.x0123456789abcdef.tmp", false}};
    for (const Row& r : rows)
        EXPECT_EQ(isTemporaryOf(r.name, "data.json"), r.temporary) << r.name;
}

// The states a kill can leave writeFilesTogether in, and what the next
// opening makes of them: the old pair or the new pair, never a mixture.
TEST(Files, InterruptedGroupWriteIsFinishedOrForgotten)
{
    const std::string tag = "00000000000000aa";
    struct Row {
        const char* name;
        std::vector<std::string> files;  // present besides the two old files
        const char* journal;
        const char* data;
    };
    const Row rows[] = {
        {"temporaries written, not committed", {"journal.json." + tag + ".tmp", "data.json." + tag + ".tmp"}, "old j",
            "old d"},
        {"committed, nothing renamed", {"journal.json." + tag + ".tmp", "data.json." + tag + ".next"}, "new j",
            "new d"},
        {"committed, journal renamed", {"data.json." + tag + ".next"}, "new j", "new d"},
        {"stray temporaries of older saves", {"data.json.tmp", "journal.json.1111111111111111.tmp"}, "old j", "old d"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Folder dir;
        const bool journalRenamed = std::string(r.name) == "committed, journal renamed";
        put(dir.file("journal.json"), journalRenamed ? "new j" : "old j");
        put(dir.file("data.json"), "old d");
        for (const std::string& f : r.files)
            put(dir.file(f), f.rfind("journal", 0) == 0 ? "new j" : "new d");
        put(dir.file("settings.json.0123456789abcdef.tmp"), "not ours");
        finishInterruptedWrites({dir.file("journal.json"), dir.file("data.json")});
        EXPECT_EQ(readFile(dir.file("journal.json")), r.journal);
        EXPECT_EQ(readFile(dir.file("data.json")), r.data);
        EXPECT_EQ(
            dir.names(), (std::set<std::string>{"data.json", "journal.json", "settings.json.0123456789abcdef.tmp"}));
    }
    Folder dir;
    put(dir.file("data.json"), "{}");
    ::chmod(dir.file("data.json").c_str(), 0600);
    writeFilesTogether({{dir.file("journal.json"), "j"}, {dir.file("data.json"), "d"}});
    EXPECT_EQ(modeOf(dir.file("data.json")), 0600u);
    EXPECT_EQ(readFile(dir.file("journal.json")), "j");
    EXPECT_EQ(readFile(dir.file("data.json")), "d");
    EXPECT_EQ(dir.names(), (std::set<std::string>{"data.json", "journal.json"}));
    finishInterruptedWrites({dir.file("journal.json"), dir.file("absent/data.json")});  // no such folder: nothing
}

// A commit the caller does not accept is set aside with its temporaries
// forgotten, and the old files stay.
TEST(Files, RefusedCommitIsSetAside)
{
    const std::string tag = "00000000000000bb";
    Folder dir;
    put(dir.file("journal.json"), "old j");
    put(dir.file("data.json"), "old d");
    put(dir.file("journal.json." + tag + ".tmp"), "new j");
    put(dir.file("data.json." + tag + ".next"), "junk");
    std::vector<std::string> asked;
    finishInterruptedWrites({dir.file("journal.json"), dir.file("data.json")}, [&](const std::string& file) {
        asked.push_back(file);
        return readFile(file) != "junk";
    });
    EXPECT_EQ(asked, std::vector<std::string>{dir.file("data.json." + tag + ".next")});
    EXPECT_EQ(readFile(dir.file("journal.json")), "old j");
    EXPECT_EQ(readFile(dir.file("data.json")), "old d");
    EXPECT_EQ(readFile(dir.file("data.json." + tag + ".set-aside")), "junk");
    EXPECT_EQ(dir.names(), (std::set<std::string>{"data.json", "journal.json", "data.json." + tag + ".set-aside"}));
}

// Failures name the file being saved, never the temporary written beside it.
TEST(Files, FailuresNameTheFileNotItsTemporary)
{
    Folder dir;
    const std::string missing = dir.file("absent/data.json");
    auto message = [](auto write) {
        try {
            write();
        } catch (const IOError& e) {
            return std::string(e.what());
        }
        return std::string("no failure");
    };
    for (const std::string& text : {message([&] { writeFileAtomic(missing, "x"); }), message([&] {
                                        writeFilesTogether({{dir.file("absent/journal.json"), "j"}, {missing, "d"}});
                                    })}) {
        EXPECT_NE(text.find("absent/"), std::string::npos) << text;
        EXPECT_EQ(text.find(".tmp"), std::string::npos) << text;
    }
}

// The resident memory of this process that is its own (not a file's), in KiB.
long anonymousKib()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("RssAnon:", 0) == 0)
            return std::stol(line.substr(8));
    return -1;
}

TEST(Files, MappedFileEndsWithAZeroAtEverySize)
{
    Folder dir;
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    for (size_t size : {size_t(0), size_t(1), page - 1, page, page + 1, 3 * page}) {
        SCOPED_TRACE(size);
        std::string text(size, 'x');
        for (size_t i = 0; i < size; ++i)
            text[i] = char('a' + i % 26);
        put(dir.file("f"), text);
        MappedFile f = mapFile(dir.file("f"));
        ASSERT_EQ(f.bytes(), text);
        EXPECT_EQ(f.bytes().data()[size], '\0');
        // A moved file keeps its bytes; the one moved from is empty.
        MappedFile g = std::move(f);
        EXPECT_EQ(g.bytes(), text);
        EXPECT_EQ(g.bytes().data()[size], '\0');
        EXPECT_TRUE(f.bytes().empty());
    }
    // A file whose size the kernel does not tell is read to its end.
    const MappedFile status = mapFile("/proc/self/status");
    EXPECT_NE(status.bytes().find("VmRSS:"), std::string_view::npos);
    EXPECT_EQ(status.bytes().data()[status.bytes().size()], '\0');
    EXPECT_THROW(mapFile(dir.file("missing")), IOError);
}

TEST(Files, MappedFileTakesNoMemoryOfOurOwn)
{
    Folder dir;
    const size_t size = size_t(16) << 20;
    put(dir.file("big"), std::string(size, 'q'));
    const long before = anonymousKib();
    const MappedFile f = mapFile(dir.file("big"));
    size_t sum = 0;
    for (char c : f.bytes())
        sum += size_t(c == 'q');
    ASSERT_EQ(sum, size);
    // A copy would add the file's 16 MiB; the sanitizers' own bookkeeping
    // may add a few.
    EXPECT_LT(anonymousKib() - before, long(size / 1024 / 2));
}

// Files whose bytes are made while they are written: the pieces land in
// order, and a maker that fails part way, in either file, leaves the old
// pair and no temporary.
TEST(Files, GroupWriteOfMadeBytes)
{
    auto made = [](std::vector<std::string> pieces, bool fails) -> MakeBytes {
        return [pieces, fails](const PutBytes& put) {
            for (const std::string& piece : pieces)
                put(piece);
            if (fails)
                throw IOError("no more bytes");
        };
    };
    std::string big;
    std::vector<std::string> bigPieces;
    for (int i = 0; i < 3000; ++i) {
        bigPieces.push_back(std::string(size_t(i % 7) * 300, char('a' + i % 26)));
        big += bigPieces.back();
    }
    for (int failing = 0; failing < 2; ++failing) {
        SCOPED_TRACE(failing);
        Folder dir;
        put(dir.file("journal.json"), "old j");
        put(dir.file("data.json"), "old d");
        EXPECT_THROW(writeFilesTogether({{dir.file("journal.json"), made({"new ", "j"}, failing == 0)},
                         {dir.file("data.json"), made(bigPieces, failing == 1)}}),
            IOError);
        EXPECT_EQ(readFile(dir.file("journal.json")), "old j");
        EXPECT_EQ(readFile(dir.file("data.json")), "old d");
        EXPECT_EQ(dir.names(), (std::set<std::string>{"data.json", "journal.json"}));
    }
    {
        SCOPED_TRACE("a disk that fills in the middle of the large file");
        Folder dir;
        put(dir.file("data.json"), "old d");
        // The second megabyte is cut short.
        EXPECT_EQ(onFullDisk(1536 * 1024,
                      [&] {
                          writeFilesTogether({{dir.file("data.json"), made(bigPieces, false)}});
                      }),
            3);
        EXPECT_EQ(readFile(dir.file("data.json")), "old d");
        EXPECT_EQ(dir.names(), std::set<std::string>{"data.json"});
    }
    Folder dir;
    writeFilesTogether({{dir.file("journal.json"), made({}, false)}, {dir.file("data.json"), made(bigPieces, false)}});
    EXPECT_EQ(readFile(dir.file("journal.json")), "");
    EXPECT_EQ(readFile(dir.file("data.json")), big);
    EXPECT_EQ(modeOf(dir.file("data.json")), 0600u);
    EXPECT_EQ(dir.names(), (std::set<std::string>{"data.json", "journal.json"}));
}

TEST(Files, PrivateFoldersAndNewFileModes)
{
    const mode_t oldMask = ::umask(022);
    Folder dir;
    put(dir.file("file"), "");
    makePrivateFolders(dir.file("a/b/c"));
    for (const char* f : {"a", "a/b", "a/b/c"})
        EXPECT_EQ(modeOf(dir.file(f)), 0700u) << f;
    ::chmod(dir.file("a").c_str(), 0755);
    makePrivateFolders(dir.file("a/b/d"));
    EXPECT_EQ(modeOf(dir.file("a")), 0755u);
    EXPECT_EQ(modeOf(dir.file("a/b/d")), 0700u);
    EXPECT_THROW(makePrivateFolders(dir.file("file/x")), IOError);
    EXPECT_THROW(makePrivateFolders(dir.file("file")), IOError);

    AtomicWriteOptions owner;
    owner.newFileMode = 0600;
    writeFileAtomic(dir.file("new.json"), "1", owner);
    EXPECT_EQ(modeOf(dir.file("new.json")), 0600u);
    ::chmod(dir.file("new.json").c_str(), 0640);
    writeFileAtomic(dir.file("new.json"), "2", owner);
    EXPECT_EQ(modeOf(dir.file("new.json")), 0640u);
    ::umask(oldMask);
}

}  // namespace
}  // namespace qm
