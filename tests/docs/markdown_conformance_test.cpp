// Conformance with the CommonMark examples and the GitHub extension examples,
// through a reference-format HTML printer.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "docs/markdown.h"
#include "html_printer.h"

namespace qm {
namespace {

const std::string kExamplesDir = std::string(QM_SOURCE_DIR) + "/third_party/commonmark/";

struct Failure {
    int number;
    std::string markdown, expected, actual;
};

void reportFailures(const std::vector<Failure>& failures)
{
    for (const auto& f : failures)
        ADD_FAILURE() << "example " << f.number << "\n--- markdown\n"
                      << f.markdown << "--- expected\n"
                      << f.expected << "--- actual\n"
                      << f.actual;
}

TEST(MarkdownConformance, EveryCommonMarkExample)
{
    const std::string path = kExamplesDir + "spec.txt";
    ASSERT_TRUE(std::filesystem::exists(path)) << path << " is missing: run scripts/setup";
    auto examples = test::readSpecExamples(path);
    ASSERT_EQ(examples.size(), 652u);
    std::vector<Failure> failures;
    for (const auto& ex : examples) {
        auto doc = parseMarkdown(ex.markdown, false);
        std::string html = test::markdownToHtml(doc.get());
        if (html != ex.html)
            failures.push_back({ex.number, ex.markdown, ex.html, html});
    }
    reportFailures(failures);
    EXPECT_EQ(failures.size(), 0u);
}

// The extension examples of the GitHub dialect. Left out, each for a
// departure of this parser:
// - "autolink" examples with bare e-mail addresses: such addresses stay text;
// - schemes other than www/http/https are not linked (the example that mixes
//   them is adapted: its ftp address stays text);
// - "tagfilter": raw HTML is kept as written, nothing is filtered.
TEST(MarkdownConformance, GitHubExtensionExamples)
{
    const std::string path = kExamplesDir + "gfm-spec.txt";
    ASSERT_TRUE(std::filesystem::exists(path)) << path << " is missing: run scripts/setup";
    auto examples = test::readSpecExamples(path);
    std::map<std::string, int> counted;
    std::vector<Failure> failures;
    for (auto ex : examples) {
        if (ex.extension.empty() || ex.extension == "tagfilter")
            continue;
        if (ex.extension == "autolink" && ex.markdown.find('@') != std::string::npos
            && ex.markdown.find("www.") == std::string::npos && ex.markdown.find("http") == std::string::npos)
            continue;  // bare e-mail addresses only
        if (ex.extension == "autolink") {
            const std::string ftp = "<a href=\"ftp://foo.bar.baz\">ftp://foo.bar.baz</a>";
            if (size_t at = ex.html.find(ftp); at != std::string::npos)
                ex.html.replace(at, ftp.size(), "ftp://foo.bar.baz");  // other schemes stay text
        }
        counted[ex.extension]++;
        auto doc = parseMarkdown(ex.markdown, true);
        std::string html = test::markdownToHtml(doc.get());
        if (html != ex.html)
            failures.push_back({ex.number, ex.markdown, ex.html, html});
    }
    reportFailures(failures);
    EXPECT_EQ(failures.size(), 0u);
    EXPECT_EQ(counted["table"], 8);
    EXPECT_EQ(counted["strikethrough"], 2);
    EXPECT_EQ(counted["disabled"], 2);
    EXPECT_EQ(counted["autolink"], 8);
}

}  // namespace
}  // namespace qm
