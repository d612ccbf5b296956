#pragma once
// A font's family, subfamily and full names (name table) and its bold and
// italic flags (OS/2 fsSelection, else head macStyle). Every name returned is
// valid UTF-8: Unicode names are converted from UTF-16 with lone surrogates
// replaced, Macintosh names from the Roman encoding.
#include <cstdint>
#include <span>
#include <string>

namespace qm {

struct Font;

struct FontNames {
    std::string family;     // name id 1
    std::string subfamily;  // name id 2
    std::string full;       // name id 4, else the family name
};

// Fills the Font's names and style flags; a font without a name table keeps
// empty names and clear flags.
void readNames(Font& font);

// The three names from the bytes of a name table, preferring Windows
// US-English, then other Windows or Unicode names, then Macintosh Roman.
FontNames readNameTable(std::span<const uint8_t> bytes);

// Big-endian UTF-16 to UTF-8; a lone surrogate becomes U+FFFD and a final odd
// byte is dropped.
std::string utf16beToUtf8(std::span<const uint8_t> bytes);

// Mac OS Roman to UTF-8.
std::string macRomanToUtf8(std::span<const uint8_t> bytes);

}  // namespace qm
