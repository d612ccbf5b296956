#include "export/pdf_utf8.h"

namespace qm {

LenientUtf8Step decodeLenientUtf8(std::string_view text, size_t at)
{
    const uint8_t lead = static_cast<uint8_t>(text[at]);
    if (lead < 0x80)
        return {lead, 1};
    size_t extra;
    uint32_t cp;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else if ((lead & 0xFC) == 0xF8) {
        extra = 4;
        cp = lead & 0x03;
    } else if ((lead & 0xFE) == 0xFC) {
        extra = 5;
        cp = lead & 0x01;
    } else {
        return {lead, 1};
    }
    if (text.size() - at - 1 < extra)
        return {0xFFFD, 1};
    for (size_t i = 1; i <= extra; ++i) {
        const uint8_t b = static_cast<uint8_t>(text[at + i]);
        if ((b & 0xC0) != 0x80)
            return {0xFFFD, i};
        cp = cp << 6 | (b & 0x3F);
    }
    return {cp > 0x10FFFF ? 0xFFFDu : cp, extra + 1};
}

}  // namespace qm
