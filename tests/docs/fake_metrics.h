#pragma once
// Test-only layout metrics: a fixed advance per code point and style, an
// optional pair-kerning table, ascent and descent proportional to the size,
// and a count of the characters the layout asked to measure.
#include <map>
#include <memory>
#include <utility>

#include "core/unicode.h"
#include "docs/doc_layout.h"

namespace qm::test {

struct FakeMetricsState {
    std::map<std::pair<char32_t, char32_t>, double> kerning;
    size_t charactersMeasured = 0;
};

inline double fakeAdvance(char32_t cp, uint8_t style, double size)
{
    double a = cp == ' ' ? 4 : 8;
    if (style == fsBold || style == fsBoldItalic)
        a += 1;
    if (style == fsMono)
        a = 9;
    return a * size / 10;
}

// `onePass` decides whether the prefix-width callback is offered.
inline LayoutMetrics fakeMetrics(
    std::shared_ptr<FakeMetricsState> state, bool kerning, bool onePass, double baseSize = 10, double scale = 1)
{
    if (kerning)
        state->kerning = {{{'A', 'V'}, -1.5}, {{'T', 'o'}, -1.0}, {{'a', 'b'}, -0.5}};
    LayoutMetrics m;
    m.baseSize = baseSize;
    m.scale = scale;
    m.measureText = [state](std::string_view text, uint8_t style, double size) {
        std::u32string cps = decodeUtf8LenientAll(text);
        state->charactersMeasured += cps.size();
        double w = 0;
        for (size_t i = 0; i < cps.size(); ++i) {
            w += fakeAdvance(cps[i], style, size);
            if (i > 0) {
                auto it = state->kerning.find({cps[i - 1], cps[i]});
                if (it != state->kerning.end())
                    w += it->second * size / 10;
            }
        }
        return w;
    };
    m.ascent = [](uint8_t, double size) { return 0.8 * size; };
    m.descent = [](uint8_t, double size) { return 0.2 * size; };
    if (onePass)
        m.prefixWidths = [state](std::string_view text, const std::vector<size_t>& ends, uint8_t style, double size,
                             std::vector<double>& widths) {
            widths.clear();
            double w = 0;
            char32_t prev = 0;
            size_t at = 0;
            for (size_t end : ends) {
                while (at < end) {
                    LenientUtf8Step s = decodeUtf8Lenient(text, at);
                    ++state->charactersMeasured;
                    w += fakeAdvance(s.codePoint, style, size);
                    auto it = state->kerning.find({prev, s.codePoint});
                    if (prev && it != state->kerning.end())
                        w += it->second * size / 10;
                    prev = s.codePoint;
                    at += s.length;
                }
                widths.push_back(w);
            }
        };
    return m;
}

}  // namespace qm::test
