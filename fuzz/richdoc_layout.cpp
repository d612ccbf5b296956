// Markdown -> RichDoc -> layout -> Markdown writer on arbitrary bytes. The
// first bytes choose the width and how badly the metrics behave: widths of
// 0, negative, huge or NaN must neither crash nor hang the layout.
#include <cmath>
#include <cstring>
#include <limits>

#include "docs/doc_layout.h"

namespace {

double weirdWidth(uint8_t mode, size_t chars)
{
    switch (mode % 6) {
    case 0:
        return 7.0 * double(chars);
    case 1:
        return 0;
    case 2:
        return -3.0 * double(chars);
    case 3:
        return 1e300;
    case 4:
        return std::numeric_limits<double>::quiet_NaN();
    default:
        return double(chars % 5) - 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const uint8_t mode = data[0];
    const double width = double(data[1]) * 4 - 20;
    const bool onePass = data[2] & 1;
    std::string_view text(reinterpret_cast<const char*>(data) + 3, size - 3);

    qm::LayoutMetrics m;
    m.baseSize = 10;
    m.scale = (data[2] & 2) ? 1.5 : 1;
    m.measureText = [mode](std::string_view t, uint8_t, double) { return weirdWidth(mode, t.size()); };
    m.ascent = [mode](uint8_t, double s) { return mode & 8 ? -s : 0.8 * s; };
    m.descent = [mode](uint8_t, double s) { return mode & 16 ? std::nan("") : 0.2 * s; };
    if (mode & 32)
        m.imageSize = [mode](std::string_view) { return qm::ImageSize{weirdWidth(mode, 100), 50}; };
    if (onePass)
        m.prefixWidths = [mode](std::string_view, const std::vector<size_t>& ends, uint8_t, double,
                             std::vector<double>& out) {
            out.clear();
            for (size_t e : ends)
                out.push_back(weirdWidth(mode, e));
        };

    auto doc = qm::markdownToRichDoc(text);
    std::vector<qm::HelpBox> boxes;
    if (mode & 64)
        boxes.push_back({0, int32_t(doc->blocks.size()) - 1, "Box", 1});
    qm::DocLayout layout = qm::layoutDocument(*doc, m, width, boxes);
    (void)layout;
    std::string md = qm::richDocToMarkdown(*doc);
    (void)qm::markdownToRichDoc(md);
    return 0;
}
