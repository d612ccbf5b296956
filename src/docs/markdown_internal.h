#pragma once
// Steps of the Markdown parser that only the parser and its tests use.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "docs/markdown.h"

namespace qm {

using ReferenceMap = std::unordered_map<std::string, std::shared_ptr<const LinkReference>>;

constexpr bool isAsciiPunctuation(unsigned char c)
{
    return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
}

bool isPunctuationChar(uint32_t cp);
bool isMarkdownWhitespace(uint32_t cp);

// Link reference definitions, labels and character references.
size_t scanLinkLabel(std::string_view text, size_t pos);
void skipSpacesAndOneNewline(std::string_view text, size_t& pos);
struct ScannedText {
    int64_t consumed = 0;  // -1: invalid
    std::string value;
};
ScannedText parseLinkDestination(std::string_view text, size_t pos);
ScannedText parseLinkTitle(std::string_view text, size_t pos);
std::string normalizeLinkLabel(std::string_view label);
size_t parseReferenceDefinition(std::string_view text, size_t pos, ReferenceMap& references);
struct ScannedEntity {
    size_t consumed = 0;
    std::string text;
};
ScannedEntity parseEntity(std::string_view text, size_t pos);
std::string unescapeString(std::string_view text);

// HTML blocks and table rows.
int htmlBlockStart(std::string_view line, bool inParagraph);
bool htmlBlockEnds(int condition, std::string_view line);
bool isHtmlBlockTag(std::string_view lowerName);
size_t scanOpenTag(std::string_view text, size_t pos);
size_t scanClosingTag(std::string_view text, size_t pos);
std::vector<std::string> splitTableRow(std::string_view line);
size_t countTableCells(std::string_view line);
std::optional<std::vector<TableAlignment>> parseTableDelimiterRow(std::string_view line);

// Inline phase.
void parseInlines(MarkdownTree& tree, MarkdownNode* document, const ReferenceMap& references, bool extendedAutolinks);
void mergeTextNodes(MarkdownNode* node);
void linkifyText(MarkdownTree& tree, MarkdownNode* node);
size_t autolinkTrimLength(std::string_view candidate);

}  // namespace qm
