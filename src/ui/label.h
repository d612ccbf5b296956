#pragma once
// Static text: one-line labels cut with an ellipsis or wrapped when they do
// not fit, word-wrapped paragraphs, and links inside either. A clicked link
// returns its target, so pages act on links as on buttons.
#include <string>
#include <string_view>
#include <vector>

#include "ui/context.h"

namespace qm {

struct LinkSpan {
    std::string label;   // the text drawn as a link wherever it occurs
    std::string target;  // what a click returns
};

// colorIndex picks derived slot derivedText + index (0 text, 1 secondary, 2 tertiary).
std::string textBlock(UiContext& ctx, std::string_view text, double width, double align, int colorIndex, int font,
    const std::vector<LinkSpan>& links = {});
// A paragraph over as many lines as it needs; a word wider than the line
// (a long path, say) is broken rather than run past the edge.
std::string wrappedLabel(
    UiContext& ctx, std::string_view text, int colorIndex, double size, const std::vector<LinkSpan>& links = {});
std::string drawLinkedLine(UiContext& ctx, std::string_view line, double x, double baseline, double size, Color color,
    const std::vector<LinkSpan>& links, std::string_view linePrefix);
// The hover text of a target: an address as itself, "#name" as the name,
// anything else (a folder) as "Open the folder".
std::string linkTarget(std::string_view target);

// The derived slot for a text colour index, kept within the table.
Color textColor(const UiContext& ctx, int colorIndex);

}  // namespace qm
