#include "net/version.h"

#include "core/ascii.h"
#include "core/service_host.h"

#include <algorithm>

namespace qm {

namespace {

// A decimal piece; anything that is not all digits counts as 0. Pieces are
// capped so that a long run of digits cannot overflow.
std::int64_t readPiece(std::string_view piece)
{
    if (piece.empty())
        return 0;
    std::int64_t value = 0;
    for (char c : piece) {
        if (!isAsciiDigit(c))
            return 0;
        value = std::min<std::int64_t>(value * 10 + (c - '0'), 1'000'000'000'000'000LL);
    }
    return value;
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

int compareSuffixes(std::string_view a, std::string_view b)
{
    constexpr std::int64_t cap = 1'000'000'000;
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isAsciiDigit(a[i]) && isAsciiDigit(b[j])) {
            std::int64_t x = 0, y = 0;
            for (; i < a.size() && isAsciiDigit(a[i]); ++i)
                x = std::min(x * 10 + (a[i] - '0'), cap);
            for (; j < b.size() && isAsciiDigit(b[j]); ++j)
                y = std::min(y * 10 + (b[j] - '0'), cap);
            if (x != y)
                return x < y ? -1 : 1;
            continue;
        }
        unsigned char x = std::uint8_t(lowerAscii(a[i])), y = std::uint8_t(lowerAscii(b[j]));
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    std::size_t leftA = a.size() - i, leftB = b.size() - j;
    if (leftA == leftB)
        return 0;
    return leftA < leftB ? -1 : 1;
}

}  // namespace

ParsedVersion parseVersion(std::string_view text)
{
    text = trimAsciiBlanks(text);
    if (!text.empty() && (text.front() == 'v' || text.front() == 'V'))
        text.remove_prefix(1);
    ParsedVersion version;
    std::size_t cut = text.find_first_of("-+");
    std::string_view core = text.substr(0, cut);
    if (cut != std::string_view::npos)
        version.suffix = std::string(text.substr(cut + 1));
    while (true) {
        std::size_t dot = core.find('.');
        version.parts.push_back(readPiece(core.substr(0, dot)));
        if (dot == std::string_view::npos)
            break;
        core.remove_prefix(dot + 1);
    }
    return version;
}

int compareVersions(std::string_view a, std::string_view b)
{
    ParsedVersion x = parseVersion(a), y = parseVersion(b);
    std::size_t count = std::max(x.parts.size(), y.parts.size());
    for (std::size_t i = 0; i < count; ++i) {
        std::int64_t p = i < x.parts.size() ? x.parts[i] : 0;
        std::int64_t q = i < y.parts.size() ? y.parts[i] : 0;
        if (p != q)
            return p < q ? -1 : 1;
    }
    if (x.suffix == y.suffix)
        return 0;
    if (x.suffix.empty())
        return 1;
    if (y.suffix.empty())
        return -1;
    return compareSuffixes(x.suffix, y.suffix);
}

bool isNewerVersion(std::string_view version) { return !version.empty() && compareVersions(version, appVersion) > 0; }

std::string displayVersion(std::string_view text)
{
    std::size_t dash = text.find('-');
    if (dash == std::string_view::npos)
        return std::string(text);
    std::string tail(text.substr(dash + 1));
    std::replace(tail.begin(), tail.end(), '.', ' ');
    if (tail.starts_with("rc"))
        tail.replace(0, 2, "RC");
    else if (!tail.empty() && tail[0] >= 'a' && tail[0] <= 'z')
        tail[0] = char(tail[0] - 'a' + 'A');
    return std::string(text.substr(0, dash)) + " " + tail;
}

}  // namespace qm
