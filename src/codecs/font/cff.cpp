#include "codecs/font/cff.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "codecs/font/charstring.h"
#include "core/bytes.h"
#include "core/errors.h"

namespace qm {

namespace {

constexpr int64_t kMaxIndexCount = 1000000;

int32_t clampedInt32(double v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(clampedInt(v), INT32_MIN, INT32_MAX));
}

struct TableReader {
    const uint8_t* bytes;
    int64_t start;
    int64_t end;

    void check(int64_t pos, int64_t size) const
    {
        if (pos < start || size > end - pos)
            throwCffError("read past the table");
    }
    uint32_t uint(int64_t pos, int size) const
    {
        check(pos, size);
        uint32_t v = 0;
        for (int i = 0; i < size; ++i)
            v = v << 8 | bytes[pos + i];
        return v;
    }
    uint8_t u8(int64_t pos) const { return static_cast<uint8_t>(uint(pos, 1)); }
    uint16_t u16(int64_t pos) const
    {
        check(pos, 2);
        return loadBe16(&bytes[pos]);
    }
    uint32_t u32(int64_t pos) const
    {
        check(pos, 4);
        return loadBe32(&bytes[pos]);
    }
};

TableReader readerOf(const CffFont& font) { return TableReader{font.data->data(), font.tableStart, font.tableEnd}; }

// A real operand: nibbles 0-9 digits, a ".", b "E", c "E-", d unused, e "-",
// f end. Text that is not a number reads as 0.
double readReal(const TableReader& r, int64_t& pos)
{
    std::string text;
    for (;;) {
        uint8_t byte = r.u8(pos++);
        bool done = false;
        for (int nibble : {byte >> 4, byte & 15}) {
            if (nibble <= 9)
                text += char('0' + nibble);
            else if (nibble == 0xa)
                text += '.';
            else if (nibble == 0xb)
                text += 'E';
            else if (nibble == 0xc)
                text += "E-";
            else if (nibble == 0xe)
                text += '-';
            else if (nibble == 0xf) {
                done = true;
                break;
            }
        }
        if (done)
            break;
    }
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return 0;
    return value;
}

struct PrivateInfo {
    std::vector<CffRange> subrs;
    int32_t vsindex = 0;
};

PrivateInfo readPrivate(const CffFont& font, const CffDict& dict)
{
    PrivateInfo info;
    auto ops = dictOperands(dict, 18);
    if (ops.size() < 2)
        return info;
    int64_t size = clampedInt(ops[0]);
    int64_t start = font.tableStart + clampedInt(ops[1]);
    if (size <= 0 || start < font.tableStart || start + size > font.tableEnd)
        return info;
    CffDict priv = readDict(font, CffRange{int32_t(start), int32_t(start + size)}, font.regionCounts);
    if (auto subrs = dictOperands(priv, 19); !subrs.empty())
        info.subrs = readIndex(font, start + clampedInt(subrs[0]), font.isCff2).elements;
    if (auto vs = dictOperands(priv, 22); !vs.empty())
        info.vsindex = clampedInt32(vs.back());
    return info;
}

void readRegionCounts(CffFont& font, const CffDict& top)
{
    auto ops = dictOperands(top, 24);
    if (ops.empty() || !(ops[0] > 0))
        return;
    TableReader r = readerOf(font);
    int64_t store = font.tableStart + clampedInt(ops[0]) + 2;
    uint16_t count = r.u16(store + 6);
    for (int64_t i = 0; i < count; ++i) {
        int64_t data = store + r.u32(store + 8 + 4 * i);
        font.regionCounts.push_back(r.u16(data + 4));
    }
}

void readFdSelect(CffFont& font, int64_t pos)
{
    TableReader r = readerOf(font);
    const int64_t glyphs = int64_t(font.charStrings.size());
    font.fdSelect.assign(size_t(glyphs), 0);
    uint8_t format = r.u8(pos);
    if (format == 0) {
        r.check(pos + 1, glyphs);
        for (int64_t g = 0; g < glyphs; ++g)
            font.fdSelect[g] = font.data->data()[pos + 1 + g];
        return;
    }
    if (format != 3 && format != 4)
        throwCffError(("unknown FDSelect format " + std::to_string(format)).c_str());
    // Ranges: (first glyph, font DICT), each closed by the next range's first
    // glyph or the sentinel; a later range overrides an earlier one. Ranges
    // that run backwards could make plain filling rewrite the same glyphs
    // again and again, so the ranges are applied last to first, each filling
    // only glyphs still unset, found by skip links: every glyph is set once.
    const bool wide = format == 4;
    const int glyphSize = wide ? 4 : 2;
    const int64_t recordSize = wide ? 6 : 3;
    const int64_t count = wide ? r.u32(pos + 1) : r.u16(pos + 1);
    const int64_t records = pos + 1 + glyphSize;
    r.check(records, count * recordSize + glyphSize);
    std::vector<int32_t> unset(size_t(glyphs) + 1);  // the first unset glyph at or after g
    for (size_t g = 0; g < unset.size(); ++g)
        unset[g] = int32_t(g);
    auto firstUnset = [&](int64_t g) {
        while (unset[g] != g) {
            unset[g] = unset[unset[g]];
            g = unset[g];
        }
        return g;
    };
    for (int64_t i = count - 1; i >= 0; --i) {
        int64_t rec = records + i * recordSize;
        int64_t first = std::min<int64_t>(r.uint(rec, glyphSize), glyphs);
        int32_t fd = wide ? r.u16(rec + 4) : r.u8(rec + 2);
        int64_t next = std::min<int64_t>(r.uint(rec + recordSize, glyphSize), glyphs);
        for (int64_t g = firstUnset(first); g < next; g = firstUnset(g + 1)) {
            font.fdSelect[g] = fd;
            unset[g] = int32_t(g + 1);
        }
    }
}

}  // namespace

int64_t clampedInt(double v)
{
    constexpr int64_t limit = int64_t{1} << 40;
    if (v != v || v >= double(limit))
        return limit;
    if (v <= -double(limit))
        return -limit;
    return static_cast<int64_t>(v);
}

void throwCffError(const char* reason) { throw CffError(std::string("CFF: ") + reason); }

int64_t blendedSize(int64_t size, int64_t n, int32_t vsindex, std::span<const int32_t> regionCounts)
{
    int64_t regions = vsindex >= 0 && size_t(vsindex) < regionCounts.size() ? regionCounts[vsindex] : 0;
    int64_t need = n * (regions + 1);
    if (n < 0 || need > size)
        throwCffError("bad blend");
    return size - need + n;
}

int32_t subrBias(size_t count)
{
    if (count < 1240)
        return 107;
    if (count < 33900)
        return 1131;
    return 32768;
}

std::span<const double> dictOperands(const CffDict& dict, int32_t key)
{
    for (const auto& entry : dict)
        if (entry.key == key)
            return entry.operands;
    return {};
}

CffIndex readIndex(const CffFont& font, int64_t pos, bool isCff2)
{
    TableReader r = readerOf(font);
    CffIndex index;
    const int countSize = isCff2 ? 4 : 2;
    int64_t count = r.uint(pos, countSize);
    if (count == 0) {
        index.end = int32_t(pos + countSize);
        return index;
    }
    if (count > kMaxIndexCount)
        throwCffError("index too large");
    int offSize = r.u8(pos + countSize);
    if (offSize < 1 || offSize > 4)
        throwCffError("bad offset size");
    int64_t offsets = pos + countSize + 1;
    r.check(offsets, (count + 1) * offSize);
    const int64_t base = offsets + (count + 1) * offSize - 1;
    index.elements.reserve(size_t(count));
    int64_t prev = r.uint(offsets, offSize);
    for (int64_t i = 1; i <= count; ++i) {
        int64_t next = r.uint(offsets + i * offSize, offSize);
        if (next < prev || base + next > font.tableEnd)
            throwCffError("bad index offsets");
        index.elements.push_back(CffRange{int32_t(base + prev), int32_t(base + next)});
        prev = next;
    }
    index.end = int32_t(base + prev);
    return index;
}

CffDict readDict(const CffFont& font, CffRange range, std::span<const int32_t> regionCounts)
{
    TableReader r = readerOf(font);
    CffDict dict;
    std::vector<double> operands;
    int32_t vsindex = 0;
    int64_t pos = range.start;
    while (pos < range.end) {
        uint8_t b0 = r.u8(pos);
        if (b0 <= 27) {
            int32_t key = b0;
            ++pos;
            if (b0 == 12)
                key = 1200 + r.u8(pos++);
            if (font.isCff2 && key == 23) {
                if (operands.empty())
                    throwCffError("blend without a count");
                int64_t n = clampedInt(operands.back());
                operands.pop_back();
                operands.resize(size_t(blendedSize(int64_t(operands.size()), n, vsindex, regionCounts)));
                continue;
            }
            if (font.isCff2 && key == 22 && !operands.empty())
                vsindex = clampedInt32(operands.back());
            dict.push_back(CffDictEntry{key, std::move(operands)});
            operands.clear();
        } else if (b0 == 28) {
            operands.push_back(int16_t(r.u16(pos + 1)));
            pos += 3;
        } else if (b0 == 29) {
            operands.push_back(int32_t(r.u32(pos + 1)));
            pos += 5;
        } else if (b0 == 30) {
            ++pos;
            operands.push_back(readReal(r, pos));
        } else if (b0 >= 32 && b0 <= 246) {
            operands.push_back(b0 - 139);
            ++pos;
        } else if (b0 >= 247 && b0 <= 250) {
            operands.push_back((b0 - 247) * 256 + r.u8(pos + 1) + 108);
            pos += 2;
        } else if (b0 >= 251 && b0 <= 254) {
            operands.push_back(-(b0 - 251) * 256 - r.u8(pos + 1) - 108);
            pos += 2;
        } else {
            ++pos;  // 31 and 255 carry nothing in a DICT
        }
    }
    return dict;
}

std::shared_ptr<CffFont> parseCff(
    std::shared_ptr<const std::vector<uint8_t>> data, int32_t offset, int32_t length, bool isCff2, int32_t unitsPerEm)
{
    auto font = std::make_shared<CffFont>();
    const int64_t dataSize = int64_t(data->size());
    font->data = std::move(data);
    font->isCff2 = isCff2;
    font->tableStart = int32_t(std::clamp<int64_t>(offset, 0, dataSize));
    font->tableEnd = int32_t(std::clamp<int64_t>(int64_t(offset) + std::max(length, 0), font->tableStart, dataSize));
    if (font->tableEnd - font->tableStart <= 3)
        throwCffError("table too short");

    TableReader r = readerOf(*font);
    const int64_t start = font->tableStart;
    int major = r.u8(start);
    if (major != (isCff2 ? 2 : 1))
        throwCffError(("unexpected version " + std::to_string(major)).c_str());
    const int64_t hdrSize = r.u8(start + 2);

    CffDict top;
    if (isCff2) {
        int64_t topStart = start + hdrSize;
        int64_t topEnd = topStart + r.u16(start + 3);
        r.check(topStart, topEnd - topStart);
        top = readDict(*font, CffRange{int32_t(topStart), int32_t(topEnd)}, {});
        font->globalSubrs = readIndex(*font, topEnd, true).elements;
        readRegionCounts(*font, top);
    } else {
        CffIndex names = readIndex(*font, start + hdrSize, false);
        CffIndex topDicts = readIndex(*font, names.end, false);
        if (topDicts.elements.empty())
            throwCffError("no top dict");
        CffIndex strings = readIndex(*font, topDicts.end, false);
        font->globalSubrs = readIndex(*font, strings.end, false).elements;
        top = readDict(*font, topDicts.elements[0], {});
    }

    auto matrix = dictOperands(top, 1207);
    if (matrix.size() >= 4 && unitsPerEm > 0 && matrix[0] != 0) {
        font->scale = unitsPerEm * matrix[0];
        if (std::fabs(font->scale - 1.0) <= 1e-6)
            font->scale = 1.0;
    }

    auto charStrings = dictOperands(top, 17);
    if (charStrings.empty())
        throwCffError("no charstrings");
    font->charStrings = readIndex(*font, start + clampedInt(charStrings[0]), isCff2).elements;

    if (auto fdArray = dictOperands(top, 1236); !fdArray.empty()) {
        CffIndex fontDicts = readIndex(*font, start + clampedInt(fdArray[0]), isCff2);
        for (CffRange range : fontDicts.elements) {
            PrivateInfo info = readPrivate(*font, readDict(*font, range, font->regionCounts));
            font->localSubrs.push_back(std::move(info.subrs));
            font->fdVsindex.push_back(info.vsindex);
        }
    } else {
        PrivateInfo info = readPrivate(*font, top);
        font->localSubrs.push_back(std::move(info.subrs));
        font->fdVsindex.push_back(info.vsindex);
    }

    if (font->localSubrs.size() > 1)
        if (auto fdSelect = dictOperands(top, 1237); !fdSelect.empty())
            readFdSelect(*font, start + clampedInt(fdSelect[0]));
    return font;
}

int32_t cffGlyphCount(const CffFont& font) { return int32_t(font.charStrings.size()); }

std::vector<CffContour> cffGlyphContours(const CffFont& font, int32_t glyph)
{
    if (glyph < 0 || size_t(glyph) >= font.charStrings.size())
        return {};
    static const std::vector<CffRange> noSubrs;
    size_t fd = size_t(glyph) < font.fdSelect.size() ? size_t(font.fdSelect[glyph]) : 0;
    const auto& local = fd < font.localSubrs.size() ? font.localSubrs[fd] : noSubrs;
    PathBuilder b;
    b.vsindex = fd < font.fdVsindex.size() ? font.fdVsindex[fd] : 0;
    try {
        runCharstring(font, b, font.charStrings[glyph], local, 0);
        closePath(b);
    } catch (const CffError&) {
        return {};
    }
    if (font.scale != 1.0)
        for (auto& contour : b.contours)
            for (auto& p : contour) {
                p.x *= font.scale;
                p.y *= font.scale;
            }
    return std::move(b.contours);
}

}  // namespace qm
