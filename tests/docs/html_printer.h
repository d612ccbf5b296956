#pragma once
// Test-only: prints a Markdown tree as HTML in the format of the CommonMark
// reference renderer, so that the CommonMark examples can be compared exactly.
#include <string>
#include <string_view>
#include <vector>

#include "docs/markdown.h"

namespace qm::test {

std::string markdownToHtml(const MarkdownNode* document);

struct SpecExample {
    int number = 0;
    int line = 0;
    std::string section;
    std::string extension;  // the word after "example", if any
    std::string markdown;
    std::string html;
};

// The examples of a spec text file ("→" already replaced by tabs).
std::vector<SpecExample> readSpecExamples(const std::string& path);

}  // namespace qm::test
