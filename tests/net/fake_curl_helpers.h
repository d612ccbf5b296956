#pragma once
// A recording stand-in for curl, put first on PATH for one test. It writes
// its arguments (NUL-separated), its standard input and what it could see of
// its own process into a record folder, then answers as the test tells it.
#include <string>
#include <vector>

namespace qm::test {

class FakeCurl {
public:
    FakeCurl();
    ~FakeCurl();

    // What the next runs print (standard output, or standard error when
    // `toStderr`) and the exit code; for a download also the file body.
    void answer(const std::string& output, int exitCode = 0, bool toStderr = false);
    void downloadBody(const std::string& body);
    // "" (default), "sleep" (30 s, stdin unread), "noread" (exit at once,
    // stdin unread), "slowread" (read stdin slowly), "quiet" (record nothing),
    // "flood" (send 300 MB of body, or write them to the download's file).
    void mode(const std::string& name);

    std::vector<std::string> arguments() const;
    std::string input() const;
    std::string record(const std::string& name) const;
    bool ran() const;

    const std::string& folder() const { return m_dir; }

private:
    std::string m_dir;
    std::string m_oldPath;
};

std::string makeTempFolder();
void removeTree(const std::string& path);
int openDescriptorCount();
// True when this process has no child left, running or unreaped.
bool noChildren();

}  // namespace qm::test
