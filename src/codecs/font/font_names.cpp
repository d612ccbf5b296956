#include "codecs/font/font_names.h"

#include "codecs/font/font.h"
#include "core/bytes.h"
#include "core/utf8.h"

namespace qm {

namespace {

// Code points of Mac OS Roman bytes 0x80..0xFF.
constexpr uint16_t kMacRomanHigh[128] = {0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2,
    0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022,
    0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265,
    0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1,
    0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A,
    0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE,
    0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC, 0x00AF, 0x02D8,
    0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7};

}  // namespace

std::string utf16beToUtf8(std::span<const uint8_t> bytes)
{
    std::string out;
    const size_t units = bytes.size() / 2;
    auto unit = [&](size_t i) { return uint32_t(loadBe16(&bytes[2 * i])); };
    for (size_t i = 0; i < units; ++i) {
        uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
            appendUtf8(out, 0x10000 + (u - 0xD800) * 1024 + (unit(i + 1) - 0xDC00));
            ++i;
        } else {
            appendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
        }
    }
    return out;
}

std::string macRomanToUtf8(std::span<const uint8_t> bytes)
{
    std::string out;
    for (uint8_t b : bytes)
        appendUtf8(out, b < 0x80 ? b : kMacRomanHigh[b - 0x80]);
    return out;
}

FontNames readNameTable(std::span<const uint8_t> bytes)
{
    FontNames names;
    if (bytes.size() < 6)
        return names;
    auto u16 = [&](size_t p) { return uint32_t(loadBe16(&bytes[p])); };
    const size_t count = u16(2), stringOffset = u16(4);
    std::string* slots[5] = {nullptr, &names.family, &names.subfamily, nullptr, &names.full};
    int ranks[5] = {};
    for (size_t i = 0; i < count; ++i) {
        size_t rec = 6 + 12 * i;
        if (rec + 12 > bytes.size())
            break;
        uint32_t platform = u16(rec), encoding = u16(rec + 2), language = u16(rec + 4), nameId = u16(rec + 6);
        size_t length = u16(rec + 8), start = stringOffset + u16(rec + 10);
        if (nameId >= 5 || !slots[nameId] || start + length > bytes.size())
            continue;
        // Ranked before converting: a later text of no higher rank is never
        // read, so many records pointing at one long string cost nothing.
        int rank = 0;
        bool unicode = true;
        if (platform == 3 && (encoding == 1 || encoding == 10)) {
            rank = language == 0x0409 ? 3 : 2;
        } else if (platform == 0) {
            rank = 2;
        } else if (platform == 1 && encoding == 0) {
            rank = 1;
            unicode = false;
        }
        if (rank <= ranks[nameId] || length < (unicode ? 2u : 1u))
            continue;
        auto text = bytes.subspan(start, length);
        ranks[nameId] = rank;
        *slots[nameId] = unicode ? utf16beToUtf8(text) : macRomanToUtf8(text);
    }
    if (ranks[4] == 0)
        names.full = names.family;
    return names;
}

void readNames(Font& font)
{
    const TableRange* name = findTable(font, "name");
    if (!name)
        return;
    FontData data = fontData(font);
    size_t start = size_t(name->offset);
    size_t length = std::min(size_t(name->length), data.size() - std::min(start, data.size()));
    FontNames names = readNameTable(data.subspan(std::min(start, data.size()), length));
    font.familyName = std::move(names.family);
    font.subfamilyName = std::move(names.subfamily);
    font.fullName = std::move(names.full);

    if (const TableRange* os2 = findTable(font, "OS/2"); os2 && os2->length >= 64) {
        uint16_t fsSelection = fontU16(data, os2->offset + 62);
        font.bold = fsSelection & 0x20;
        font.italic = fsSelection & 0x01;
    }
    if (const TableRange* head = findTable(font, "head"); head && head->length >= 46) {
        uint16_t macStyle = fontU16(data, head->offset + 44);
        font.bold = font.bold || (macStyle & 1);
        font.italic = font.italic || (macStyle & 2);
    }
}

}  // namespace qm
