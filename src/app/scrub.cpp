#include "app/scrub.h"

#include "core/ascii.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <mutex>

namespace qm {

namespace {

ScrubIdentity identity;

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool isWordChar(char c) { return isLetter(c) || isAsciiDigit(c) || c == '_' || c == '-'; }

bool isBoundary(char c)
{
    switch (c) {
    case '\t':
    case '\n':
    case '\r':
    case ' ':
    case '"':
    case '\'':
    case '(':
    case ')':
    case ',':
    case ';':
    case '<':
    case '>':
    case '[':
    case ']':
    case '|':
    // These end a path too: "path=/media/x", "{/home/x}", "`/srv/x`".
    case '=':
    case '{':
    case '}':
    case '`':
        return true;
    default:
        return false;
    }
}

bool isLocalChar(char c)
{
    return isLetter(c) || isAsciiDigit(c) || c == '%' || c == '+' || c == '-' || c == '.' || c == '_';
}

bool isDomainChar(char c) { return isLetter(c) || isAsciiDigit(c) || c == '-' || c == '.'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// The first place at or after `from` where `needle` occurs, ignoring ASCII case.
size_t findNoCase(std::string_view hay, std::string_view needle, size_t from)
{
    if (needle.empty() || needle.size() > hay.size())
        return std::string_view::npos;
    for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && lower(hay[i + k]) == lower(needle[k]))
            ++k;
        if (k == needle.size())
            return i;
    }
    return std::string_view::npos;
}

constexpr std::array<std::string_view, 35> kKeptExtensions = {
    "quenmrk",
    "quenmrkclip",
    "quenmrkclips",
    "quenmrktools",
    "quenmrkjob",
    "quenmrkcrash",
    "svg",
    "dxf",
    "lbrn2",
    "stl",
    "obj",
    "3mf",
    "png",
    "jpg",
    "jpeg",
    "gif",
    "tif",
    "tiff",
    "webp",
    "bmp",
    "gcode",
    "nc",
    "ngc",
    "tap",
    "cnc",
    "txt",
    "pdf",
    "ttf",
    "otf",
    "ttc",
    "woff",
    "woff2",
    "json",
    "csv",
    "zip",
};

// 0 when no path starts at `a`; otherwise the kind of path (drive, network or
// home, absolute).
int pathStartKind(std::string_view t, size_t a)
{
    if (a > 0 && !isBoundary(t[a - 1]) && t[a - 1] != '=' && t[a - 1] != ':')
        return 0;
    auto at = [&](size_t i) { return i < t.size() ? t[i] : '\0'; };
    if (isLetter(at(a)) && at(a + 1) == ':' && (at(a + 2) == '/' || at(a + 2) == '\\'))
        return 3;
    if ((at(a) == '\\' && at(a + 1) == '\\') || (at(a) == '~' && (at(a + 1) == '/' || at(a + 1) == '\\')))
        return 2;
    if (at(a) == '/' && a + 1 < t.size() && isWordChar(t[a + 1])) {
        for (size_t i = a + 1; i < t.size() && !isBoundary(t[i]); ++i)
            if (t[i] == '/')
                return 1;
    }
    return 0;
}

size_t nextBoundary(std::string_view t, size_t from)
{
    while (from < t.size() && !isBoundary(t[from]))
        ++from;
    return from;
}

// Every occurrence that ends a path component becomes "~" ("/home/ann" in
// "/home/anna" is another folder); the search goes on after it, so the
// result is as if each replacement were made in place and searched from the
// byte after the "~".
std::string replaceHome(const std::string& text, std::string_view spelling)
{
    std::string out;
    size_t copied = 0;
    for (size_t p = findNoCase(text, spelling, 0); p != std::string::npos;
         p = findNoCase(text, spelling, p + spelling.size())) {
        size_t end = p + spelling.size();
        if (end < text.size() && text[end] != '/' && text[end] != '\\' && text[end] != ':' && !isBoundary(text[end]))
            continue;
        out.append(text, copied, p - copied);
        out += '~';
        copied = end;
    }
    out.append(text, copied, std::string::npos);
    return out;
}

struct ScrubSecrets {
    std::string token;
    std::string email;
    std::vector<std::string> passwords;
};

std::mutex secretsLock;
ScrubSecrets secrets;

// Shorter secrets would wreck ordinary words; fields still catch them.
constexpr size_t kMinSecretBytes = 4;

std::string replaceSecret(std::string_view text, std::string_view secret, std::string_view placeholder, bool anyCase)
{
    if (secret.size() < kMinSecretBytes)
        return std::string(text);
    std::string out;
    size_t copied = 0;
    for (size_t p = anyCase ? findNoCase(text, secret, 0) : text.find(secret); p != std::string_view::npos;
         p = anyCase ? findNoCase(text, secret, copied) : text.find(secret, copied)) {
        out.append(text.substr(copied, p - copied));
        out += placeholder;
        copied = p + secret.size();
    }
    out.append(text.substr(copied));
    return out;
}

bool namesSecret(std::string_view key)
{
    std::string lowered = asciiLower(key);
    for (std::string_view word : {"password", "passwd", "token", "secret"})
        if (lowered.find(word) != std::string::npos)
            return true;
    return false;
}

bool endsBareValue(char c)
{
    switch (c) {
    case ' ':
    case '\t':
    case '\n':
    case '\r':
    case ',':
    case ';':
    case '&':
    case '}':
    case ']':
    case ')':
    case '"':
    case '\'':
        return true;
    default:
        return false;
    }
}

}  // namespace

void setScrubIdentity(ScrubIdentity id) { identity = std::move(id); }

void setScrubSession(std::string_view token, std::string_view email)
{
    std::lock_guard lock(secretsLock);
    secrets.token = token;
    secrets.email = email;
}

void setScrubPasswords(std::vector<std::string> passwords)
{
    std::lock_guard lock(secretsLock);
    secrets.passwords = std::move(passwords);
}

std::string scrubSecretFields(std::string_view t)
{
    std::string out;
    size_t copied = 0;
    size_t i = 0;
    while (i < t.size()) {
        if (!isWordChar(t[i]) || (i > 0 && isWordChar(t[i - 1]))) {
            ++i;
            continue;
        }
        size_t keyEnd = i;
        while (keyEnd < t.size() && isWordChar(t[keyEnd]))
            ++keyEnd;
        size_t j = keyEnd;
        if (j < t.size() && (t[j] == '"' || t[j] == '\''))
            ++j;
        while (j < t.size() && t[j] == ' ')
            ++j;
        if (j >= t.size() || (t[j] != ':' && t[j] != '=') || !namesSecret(t.substr(i, keyEnd - i))) {
            i = keyEnd;
            continue;
        }
        ++j;
        while (j < t.size() && t[j] == ' ')
            ++j;
        size_t valueStart = j, valueEnd = j;
        if (j < t.size() && (t[j] == '"' || t[j] == '\'')) {
            char quote = t[j];
            valueStart = valueEnd = j + 1;
            while (valueEnd < t.size() && t[valueEnd] != quote)
                valueEnd += t[valueEnd] == '\\' && valueEnd + 1 < t.size() ? 2 : 1;
        } else {
            while (valueEnd < t.size() && !endsBareValue(t[valueEnd]))
                ++valueEnd;
        }
        if (valueEnd > valueStart) {
            out.append(t.substr(copied, valueStart - copied));
            out += "<secret>";
            copied = valueEnd;
        }
        i = std::max(valueEnd, keyEnd);
    }
    out.append(t.substr(copied));
    return out;
}

const ScrubIdentity& scrubIdentity() { return identity; }

ScrubIdentity scrubIdentityFromEnvironment()
{
    ScrubIdentity id;
    const char* home = std::getenv("HOME");
    id.home = std::string(home ? home : "") + "/";
    while (!id.home.empty() && (id.home.back() == '/' || id.home.back() == '\\'))
        id.home.pop_back();
    // An empty USERNAME must not hide the login name in USER.
    const char* user = std::getenv("USERNAME");
    if (!user || !*user)
        user = std::getenv("USER");
    id.user = user ? user : "";
    id.host = hostName();
    return id;
}

std::string scrubEmails(std::string_view t)
{
    std::string out;
    size_t a = 0;
    for (;;) {
        // An address in a query or a form body has its "@" as "%40".
        size_t at = t.find('@', a);
        size_t encoded = t.substr(0, at).find("%40", a);
        size_t atSize = 1;
        if (encoded != std::string_view::npos) {
            at = encoded;
            atSize = 3;
        }
        if (at == std::string_view::npos) {
            out.append(t.substr(a));
            return out;
        }
        size_t start = at;
        while (start > a && isLocalChar(t[start - 1]))
            --start;
        size_t e = at + atSize;
        bool dot = false;
        while (e < t.size() && isDomainChar(t[e])) {
            dot = dot || t[e] == '.';
            ++e;
        }
        if (start < at && e > at + atSize && dot) {
            out.append(t.substr(a, start - a));
            out += "<email>";
        } else {
            out.append(t.substr(a, e - a));
        }
        a = e;
    }
}

std::string keptExtension(std::string_view path)
{
    size_t slash = path.find_last_of("/\\");
    std::string_view last = slash == std::string_view::npos ? path : path.substr(slash + 1);
    size_t dot = last.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    std::string ext = asciiLower(last.substr(dot + 1));
    for (std::string_view kept : kKeptExtensions)
        if (ext == kept)
            return "." + ext;
    return {};
}

std::string scrubPaths(std::string_view t)
{
    std::string out;
    size_t a = 0;
    while (a < t.size()) {
        if (pathStartKind(t, a) != 0) {
            size_t end = nextBoundary(t, a + 1);
            std::string_view path = t.substr(a, end - a);
            out += path.front() == '~' ? "~/<path>" : "<path>";
            out += keptExtension(path);
            a = end;
        } else if (isWordChar(t[a]) && (a == 0 || isBoundary(t[a - 1]))) {
            size_t end = nextBoundary(t, a);
            std::string_view word = t.substr(a, end - a);
            std::string ext = keptExtension(word);
            if (!ext.empty() && ext.size() < word.size() && word.front() != '<')
                out += "<file>" + ext;
            else
                out.append(word);
            a = end;
        } else {
            out += t[a++];
        }
    }
    return out;
}

std::string replaceAsWord(std::string_view t, std::string_view word, std::string_view replacement)
{
    if (word.size() <= 2)
        return std::string(t);
    std::string out;
    size_t copied = 0;
    size_t p = findNoCase(t, word, 0);
    while (p != std::string_view::npos) {
        size_t end = p + word.size();
        bool alone = (p == 0 || !isWordChar(t[p - 1])) && (end >= t.size() || !isWordChar(t[end]));
        if (alone) {
            out.append(t.substr(copied, p - copied));
            out += replacement;
            copied = end;
        }
        p = findNoCase(t, word, end);
    }
    out.append(t.substr(copied));
    return out;
}

std::string scrubText(std::string_view text)
{
    ScrubSecrets known;
    {
        std::lock_guard lock(secretsLock);
        known = secrets;
    }
    std::string t = replaceSecret(text, known.token, "<token>", false);
    for (const std::string& password : known.passwords)
        t = replaceSecret(t, password, "<secret>", false);
    if (size_t at = known.email.find('@'); at != std::string::npos) {
        t = replaceSecret(t, known.email, "<email>", true);
        t = replaceSecret(t, known.email.substr(0, at) + "%40" + known.email.substr(at + 1), "<email>", true);
    }
    t = scrubSecretFields(t);
    const ScrubIdentity& id = identity;
    if (id.home.size() > 2) {
        std::string forward = id.home, backward = id.home;
        for (char& c : forward)
            if (c == '\\')
                c = '/';
        for (char& c : backward)
            if (c == '/')
                c = '\\';
        t = replaceHome(t, id.home);
        t = replaceHome(t, forward);
        t = replaceHome(t, backward);
    }
    t = scrubEmails(t);
    t = scrubPaths(t);
    t = replaceAsWord(t, id.user, "<user>");
    t = replaceAsWord(t, id.host, "<computer>");
    return t;
}

std::string trimStack(std::string_view stack)
{
    static constexpr std::array<std::string_view, 4> markers = {"/src/", "\\src\\", "/lib/", "\\lib\\"};
    std::string out;
    size_t i = 0;
    for (;;) {
        size_t end = stack.find_first_of("\r\n", i);
        std::string_view line = stack.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
        std::string kept(line);
        for (std::string_view marker : markers) {
            size_t m = line.find(marker);
            if (m == std::string_view::npos)
                continue;
            size_t blank = line.substr(0, m).find_last_of(" \t");
            size_t t = blank == std::string_view::npos ? 0 : blank + 1;
            kept = std::string(line.substr(0, t));
            kept.append(line.substr(m + 1));
            break;
        }
        if (!out.empty())
            out += '\n';
        out += kept;
        if (end == std::string_view::npos)
            return out;
        i = end + (stack[end] == '\r' && end + 1 < stack.size() && stack[end + 1] == '\n' ? 2 : 1);
    }
}

CrashRecord scrubCrashRecord(const CrashRecord& record)
{
    CrashRecord r = record;
    r.message = scrubText(r.message);
    r.stack = scrubText(trimStack(r.stack));
    r.gpu = scrubText(r.gpu);
    for (std::string& entry : r.trail)
        entry = scrubText(entry);
    for (auto& pair : r.context)
        pair.second = scrubText(pair.second);
    return r;
}

}  // namespace qm
