#pragma once
// ASCII-only text helpers: user texts are UTF-8, and these never touch a byte
// above 0x7f, so they cannot break a multi-byte character.
#include <string>
#include <string_view>

namespace qm {

// The ASCII blanks: 0x20 and the controls 0x09 through 0x0D.
constexpr bool isAsciiBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

constexpr std::string_view trimAsciiBlanks(std::string_view s)
{
    while (!s.empty() && isAsciiBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isAsciiBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

inline std::string asciiLower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

inline std::string asciiUpper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return out;
}

}  // namespace qm
