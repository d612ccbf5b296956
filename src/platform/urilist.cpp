#include "platform/urilist.h"

namespace qm {

namespace {

constexpr std::string_view whitespace = "\t\n\v\f\r ";

std::string_view strip(std::string_view s, std::string_view chars)
{
    size_t first = s.find_first_not_of(chars);
    if (first == std::string_view::npos)
        return {};
    size_t last = s.find_last_not_of(chars);
    return s.substr(first, last - first + 1);
}

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

bool startsWithFileScheme(std::string_view s) { return s.size() >= 5 && equalsIgnoringCase(s.substr(0, 5), "file:"); }

// A path with a NUL byte would be cut short by every file API it reaches.
bool isUsablePath(std::string_view path) { return isAbsolutePath(path) && path.find('\0') == std::string_view::npos; }

}  // namespace

std::optional<int32_t> hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return std::nullopt;
}

std::string percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            std::optional<int32_t> high = hexDigitValue(text[i + 1]);
            std::optional<int32_t> low = hexDigitValue(text[i + 2]);
            if (high && low) {
                out.push_back(static_cast<char>(*high * 16 + *low));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::string unquote(std::string_view text)
{
    std::string_view s = strip(text, whitespace);
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
        s = s.substr(1, s.size() - 2);
    return std::string(s);
}

bool isAbsolutePath(std::string_view path)
{
    if (path.empty())
        return false;
    if (path[0] == '/')
        return true;
    if (path.size() > 2 && isAsciiLetter(path[0]) && path[1] == ':' && (path[2] == '/' || path[2] == '\\'))
        return true;
    return path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
}

std::string fileUrlToPath(std::string_view url)
{
    std::string_view s = strip(url, whitespace);
    if (!startsWithFileScheme(s))
        return {};
    std::string_view rest = s.substr(5);
    if (rest.substr(0, 2) == "//") {
        size_t slash = rest.find('/', 2);
        if (slash == std::string_view::npos)
            return {};
        std::string_view host = rest.substr(2, slash - 2);
        if (!host.empty() && !equalsIgnoringCase(host, "localhost"))
            return {};
        rest = rest.substr(slash);
    }
    std::string path = percentDecode(rest);
    // A drive path written with a leading slash: "/C:/Users".
    if (path.size() > 2 && path[0] == '/' && isAsciiLetter(path[1]) && path[2] == ':')
        path.erase(0, 1);
    if (!isUsablePath(path))
        return {};
    return path;
}

std::vector<std::string> parseUriList(std::string_view payload)
{
    constexpr std::string_view lineBlanks = std::string_view("\0\t\n\v\f\r ", 7);
    std::vector<std::string> paths;
    bool first = true;
    size_t pos = 0;
    while (pos < payload.size()) {
        size_t end = payload.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = payload.size();
        std::string_view line = strip(payload.substr(pos, end - pos), lineBlanks);
        pos = end;
        if (pos < payload.size())
            pos += (payload[pos] == '\r' && pos + 1 < payload.size() && payload[pos + 1] == '\n') ? 2 : 1;

        if (line.empty() || line[0] == '#')
            continue;
        bool wasFirst = first;
        first = false;
        if (wasFirst && (line == "copy" || line == "cut"))
            continue;

        std::string entry = unquote(line);
        if (startsWithFileScheme(entry)) {
            std::string path = fileUrlToPath(entry);
            if (path.empty())
                return {};
            paths.push_back(std::move(path));
        } else if (isUsablePath(entry)) {
            paths.push_back(std::move(entry));
        } else {
            return {};
        }
    }
    return paths;
}

}  // namespace qm
