// Runs arbitrary Type 2 and CFF2 charstrings with global and local
// subroutines. Input: a flags byte (bit 0 CFF2; bit 1 stretches the local
// list past 1240 entries and bit 2 the global list past 33,900, so the larger
// biases are reached; bits 3-4 pick the region counts), the number of global
// and of local subroutines (each mod 8), one length byte per subroutine,
// then the subroutine bodies and last the glyph's charstring.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "codecs/font/cff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const uint8_t flags = data[0];
    const size_t globals = data[1] % 8, locals = data[2] % 8;
    size_t pos = 3 + globals + locals;
    if (size < pos)
        return 0;
    qm::CffFont font;
    auto bytes = std::make_shared<std::vector<uint8_t>>(data, data + size);
    font.isCff2 = flags & 1;
    font.tableEnd = int32_t(size);
    font.localSubrs.emplace_back();
    for (size_t i = 0; i < globals + locals; ++i) {
        size_t end = std::min(size, pos + data[3 + i]);
        auto& list = i < globals ? font.globalSubrs : font.localSubrs[0];
        list.push_back(qm::CffRange{int32_t(pos), int32_t(end)});
        pos = end;
    }
    auto stretch = [](std::vector<qm::CffRange>& list, size_t count) {
        for (size_t i = 0; !list.empty() && list.size() < count; ++i)
            list.push_back(list[i]);
    };
    if (flags & 2)
        stretch(font.localSubrs[0], 1240);
    if (flags & 4)
        stretch(font.globalSubrs, 33900);
    static const std::vector<int32_t> regionSets[4] = {{}, {1}, {2, 0}, {3, 1, 64}};
    font.regionCounts = regionSets[(flags >> 3) & 3];
    font.fdVsindex = {0};
    font.charStrings.push_back(qm::CffRange{int32_t(pos), int32_t(size)});
    font.data = std::move(bytes);
    auto contours = qm::cffGlyphContours(font, 0);
    for (const auto& c : contours)
        if (c.size() < 2)
            __builtin_trap();
    return 0;
}
