#include "app/session.h"

#include "app/paths.h"
#include "app/scrub.h"
#include "core/files.h"

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

constexpr off_t kMaxSessionBytes = 1 << 20;

std::string stringOf(const Json& node, const char* key)
{
    auto it = node.find(key);
    return it != node.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace

Session sessionFromJson(const Json& node)
{
    Session s;
    if (!node.is_object())
        return s;
    s.email = stringOf(node, "email");
    s.token = stringOf(node, "token");
    auto id = node.find("user_id");
    // All 64 bits or nothing: a number beyond int64 names nobody.
    if (id != node.end() && id->is_number_integer() && !id->is_number_unsigned())
        s.user_id = id->get<int64_t>();
    s.display_name = stringOf(node, "display_name");
    auto at = node.find("signed_in_at");
    if (at != node.end() && at->is_number() && std::isfinite(at->get<double>()))
        s.signed_in_at = at->get<double>();
    return s;
}

std::string renderSession(const Session& s)
{
    Json j = Json::object();
    j["email"] = s.email;
    j["token"] = s.token;
    j["user_id"] = s.user_id;
    j["display_name"] = s.display_name;
    j["signed_in_at"] = s.signed_in_at;
    return dumpJson(j);
}

namespace {

Session readSession()
{
    try {
        const std::string path = sessionPath();
        struct stat st;
        if (!isRegularFile(path) || ::stat(path.c_str(), &st) != 0 || st.st_size > kMaxSessionBytes)
            return Session{};
        std::string text = readFile(path);
        if (text.size() > size_t(kMaxSessionBytes))
            return Session{};
        return sessionFromJson(parseJson(text));
    } catch (const std::exception&) {
        return Session{};
    }
}

}  // namespace

// Whoever is signed in, crash reports must not carry their token or address.
Session loadSession()
{
    Session session = readSession();
    setScrubSession(session.token, session.email);
    return session;
}

void saveSession(const Session& session)
{
    setScrubSession(session.token, session.email);
    try {
        makePrivateFolders(configDir());
        AtomicWriteOptions secret;
        secret.privateMode = 0600;
        secret.keepSymlink = true;
        writeFileAtomic(sessionPath(), renderSession(session), secret);
    } catch (const std::exception&) {
        // The running program keeps its session in memory either way.
    }
}

void deleteSession()
{
    setScrubSession({}, {});
    const std::string path = sessionPath();
    ::unlink(path.c_str());
    // A save cut short may have left the token in a temporary file beside it.
    std::error_code ec;
    const std::filesystem::path file(path);
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path(), ec))
        if (isTemporaryOf(entry.path().filename().string(), file.filename().string()))
            std::filesystem::remove(entry.path(), ec);
}

}  // namespace qm
