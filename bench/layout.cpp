// Document layout: the CommonMark spec as one document and a 100,000
// character token at widths 200 to 760, with fake metrics and with the font
// reader's Plex Sans advances and kerning; and a 50 kB page at 1x, 4x and 16x
// to show that the work grows linearly.
#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "codecs/font/builtin_fonts.h"
#include "codecs/font/cmap.h"
#include "codecs/font/font.h"
#include "codecs/font/kerning.h"
#include "core/utf8.h"
#include "docs/doc_layout.h"

namespace {

std::string specText()
{
    std::ifstream in(std::string(QM_SOURCE_DIR) + "/third_party/commonmark/spec.txt");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

qm::LayoutMetrics fakeMetrics()
{
    qm::LayoutMetrics m;
    m.measureText = [](std::string_view t, uint8_t, double size) { return double(qm::utf8Length(t)) * size * 0.5; };
    m.prefixWidths = [](std::string_view t, const std::vector<size_t>& ends, uint8_t, double size,
                         std::vector<double>& out) {
        out.clear();
        size_t chars = 0, at = 0;
        for (size_t e : ends) {
            for (; at < e; at += qm::decodeUtf8(t, at).length)
                ++chars;
            out.push_back(double(chars) * size * 0.5);
        }
    };
    m.ascent = [](uint8_t, double s) { return 0.8 * s; };
    m.descent = [](uint8_t, double s) { return 0.2 * s; };
    return m;
}

qm::LayoutMetrics plexMetrics()
{
    auto font = qm::parseTrueType(qm::FontData(qm::builtinFontFile(qm::BuiltinFont::sansRegular)));
    auto widths = [font](std::string_view t, const std::vector<size_t>* ends, double size, std::vector<double>* out) {
        const double k = size / font->unitsPerEm;
        double w = 0;
        int32_t prev = -1;
        size_t next = 0;
        for (size_t at = 0; at < t.size();) {
            qm::Utf8Step s = qm::decodeUtf8(t, at);
            const int32_t g = qm::glyphIndex(*font, int32_t(s.codePoint));
            w += qm::advanceWidth(*font, g) * k;
            if (prev >= 0)
                w += qm::kerning(*font, prev, g) * k;
            prev = g;
            at += s.length;
            if (ends)
                while (next < ends->size() && (*ends)[next] <= at)
                    out->push_back(w), ++next;
        }
        return w;
    };
    qm::LayoutMetrics m;
    m.measureText = [widths](std::string_view t, uint8_t, double size) { return widths(t, nullptr, size, nullptr); };
    m.prefixWidths = [widths](std::string_view t, const std::vector<size_t>& ends, uint8_t, double size,
                         std::vector<double>& out) {
        out.clear();
        widths(t, &ends, size, &out);
    };
    m.ascent = [](uint8_t, double s) { return 0.93 * s; };
    m.descent = [](uint8_t, double s) { return 0.23 * s; };
    return m;
}

void layoutAtWidths(benchmark::State& state, const qm::LayoutMetrics& m, const qm::RichDoc& doc)
{
    for (auto _ : state)
        for (double w = 200; w <= 760; w += 40)
            benchmark::DoNotOptimize(qm::layoutDocument(doc, m, w, {}));
}

int registerAll()
{
    static const std::string spec = specText();
    static const auto specDoc = qm::markdownToRichDoc(spec);
    static const auto tokenDoc = qm::markdownToRichDoc(std::string(100000, 'x'));
    static const qm::LayoutMetrics fake = fakeMetrics();
    static const qm::LayoutMetrics plex = plexMetrics();
    benchmark::RegisterBenchmark("qm/spec_widths_fake", [](benchmark::State& s) {
        layoutAtWidths(s, fake, *specDoc);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("qm/spec_widths_plex", [](benchmark::State& s) {
        layoutAtWidths(s, plex, *specDoc);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("qm/token_widths_fake", [](benchmark::State& s) {
        layoutAtWidths(s, fake, *tokenDoc);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("qm/token_widths_plex", [](benchmark::State& s) {
        layoutAtWidths(s, plex, *tokenDoc);
    })->Unit(benchmark::kMillisecond);
    static const std::string page = spec.substr(0, spec.find('\n', 50000) + 1);
    for (int scale : {1, 4, 16}) {
        std::string text;
        for (int i = 0; i < scale; ++i)
            text += page;
        auto doc = qm::markdownToRichDoc(text);
        benchmark::RegisterBenchmark(("qm/page50k_plex_x" + std::to_string(scale)).c_str(), [doc](benchmark::State& s) {
            for (auto _ : s)
                benchmark::DoNotOptimize(qm::layoutDocument(*doc, plex, 600, {}));
        })->Unit(benchmark::kMillisecond);
    }
    return 0;
}

const int registered = registerAll();

}  // namespace

BENCHMARK_MAIN();
