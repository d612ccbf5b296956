// Markdown parsing beside cmark-gfm (parse only, with its table,
// strikethrough and autolink extensions) and md4c: the CommonMark examples as
// one document, then every pathological class of the reference parsers' own
// test suites plus ours at 100 KB and 1 MB. A linear parser takes about ten
// times as long at 1 MB; the table printed at the end sets each class's
// growth beside cmark-gfm's, and our time against its time. Each figure is
// the best of a few parses, both parsers alike. cmark-gfm runs in a child
// process under a time cap, since a class it is slow on must not hold up
// the run.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "docs/markdown.h"

#ifdef QM_HAVE_LIBCMARK_GFM
#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm.h>
#endif
#ifdef QM_HAVE_MD4C
#include <md4c.h>
#endif

namespace {

const std::string& specText()
{
    static const std::string text = [] {
        std::ifstream in(std::string(QM_SOURCE_DIR) + "/third_party/commonmark/spec.txt");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }();
    return text;
}

// Texts made to a size: `unit` repeated until `bytes` is reached.
std::string repeatTo(std::string_view unit, size_t bytes)
{
    std::string out;
    out.reserve(bytes + unit.size());
    while (out.size() < bytes)
        out += unit;
    return out;
}

// prefix + unit repeated + suffix, the repeats taking about `bytes`.
std::string wrapped(std::string_view prefix, std::string_view unit, std::string_view suffix, size_t bytes)
{
    // Appended piece by piece: GCC 12 at -O3 warns falsely on chains of +.
    std::string out(prefix);
    out += repeatTo(unit, bytes);
    out += suffix;
    return out;
}

// n copies of `open`, the middle, n copies of `close`, about `bytes` in all.
std::string balanced(std::string_view open, std::string_view middle, std::string_view close, size_t bytes)
{
    const size_t n = bytes / (open.size() + close.size());
    std::string out;
    out.reserve(n * (open.size() + close.size()) + middle.size());
    for (size_t i = 0; i < n; ++i)
        out += open;
    out += middle;
    for (size_t i = 0; i < n; ++i)
        out += close;
    return out;
}

struct PathologicalClass {
    const char* name;
    std::function<std::string(size_t)> make;  // a text of about that many bytes
};

std::vector<PathologicalClass> classes()
{
    return {
        // The reference parser's suite.
        {"nested_strong_emph", [](size_t b) { return balanced("*a **a ", "b", " a** a*", b); }},
        {"emph_closers_no_openers", [](size_t b) { return repeatTo("a_ ", b); }},
        {"emph_openers_no_closers", [](size_t b) { return repeatTo("_a ", b); }},
        {"emph_mismatched", [](size_t b) { return repeatTo("*a_ ", b); }},
        {"emph_multiple_of_three", [](size_t b) { return wrapped("a**b", "c* ", "", b); }},
        {"link_closers_no_openers", [](size_t b) { return repeatTo("a]", b); }},
        {"link_openers_no_closers", [](size_t b) { return repeatTo("[a", b); }},
        {"link_openers_emph_closers", [](size_t b) { return repeatTo("[ a_", b); }},
        {"bracket_paren_pattern", [](size_t b) { return repeatTo("[ (](", b); }},
        {"image_link_pattern", [](size_t b) { return repeatTo("![[]()", b); }},
        {"nested_brackets", [](size_t b) { return balanced("[", "a", "]", b); }},
        {"nested_block_quotes", [](size_t b) { return wrapped("", "> ", "a", b); }},
        {"deeply_nested_lists",
            [](size_t b) {
                std::string s;
                for (size_t i = 0; s.size() < b; ++i)
                    s.append(2 * i, ' ').append("* a\n");
                return s;
            }},
        {"nul_bytes", [](size_t b) { return repeatTo(std::string_view("abc\0de\0", 7), b); }},
        {"backticks",
            [](size_t b) {
                std::string s;
                for (size_t i = 1; s.size() < b; ++i)
                    s += std::string(1, 'e').append(i, '`');
                return s;
            }},
        {"unclosed_links_pointy", [](size_t b) { return repeatTo("[a](<b", b); }},
        {"unclosed_links_plain", [](size_t b) { return repeatTo("[a](b", b); }},
        {"unclosed_comments", [](size_t b) { return wrapped("</", "<!--", "", b); }},
        {"unclosed_processing", [](size_t b) { return wrapped("</", "<?", "", b); }},
        {"unclosed_cdata", [](size_t b) { return wrapped("</", "<![CDATA[", "", b); }},
        {"unclosed_declarations", [](size_t b) { return wrapped("</", "<!A ", "", b); }},
        {"list_blank_lines", [](size_t b) { return balanced("- ", "x", "\n", b); }},
        {"quoted_list_blank_lines", [](size_t b) { return std::string("> ").append(balanced("- ", "x\n", ">\n", b)); }},
        {"list_markers_one_line", [](size_t b) { return wrapped("", "* ", "a", b); }},
        {"reference_definitions",
            [](size_t b) {
                std::string s;
                for (size_t i = 0; s.size() < b / 2; ++i)
                    s.append("[").append(std::to_string(i)).append("]: u\n");
                s += '\n';
                s += repeatTo("[0] ", b / 2);
                return s;
            }},
        // The GFM parser's suite: tables, strikethrough and extended autolinks.
        {"table_alternating", [](size_t b) { return repeatTo("a|b\n-|-|-\n", b); }},
        {"table_rows", [](size_t b) { return wrapped("|a|b|\n|-|-|\n", "|c|d|\n", "", b); }},
        {"strikethrough_mismatched", [](size_t b) { return repeatTo("~a ~~b ", b); }},
        {"autolink_www_underscore", [](size_t b) { return repeatTo("(www.a_", b); }},
        {"autolink_close_parens", [](size_t b) { return wrapped("http://a", ")", "", b); }},
        // Ours.
        {"autolinks_one_text", [](size_t b) { return repeatTo("www.example.com/a ", b); }},
        {"autolinks_trailing_dots", [](size_t b) { return repeatTo("(www.a_", b / 2).append(repeatTo(".", b / 2)); }},
        {"emph_run_one_word", [](size_t b) { return balanced("*", "a", "*", b); }},
        {"underscore_run_one_word", [](size_t b) { return balanced("_", "a", "_", b); }},
        {"strong_run_open_only", [](size_t b) { return wrapped("", "*", "a", b); }},
    };
}

constexpr size_t kSizes[] = {100 * 1000, 1000 * 1000};
const char* sizeName(size_t bytes) { return bytes < 1000000 ? "100K" : "1M"; }

void qmParse(benchmark::State& state, const std::string& text, int times)
{
    for (auto _ : state)
        for (int i = 0; i < times; ++i)
            benchmark::DoNotOptimize(qm::parseMarkdown(text, true));
    state.SetBytesProcessed(int64_t(state.iterations()) * times * int64_t(text.size()));
}

using Clock = std::chrono::steady_clock;

// The fastest of a few runs of `parse` (at least five, more while half a
// second lasts): a loaded machine slows single runs, hardly the best one.
double bestOf(const std::function<void()>& parse)
{
    double best = 1e30;
    const auto began = Clock::now();
    for (int i = 0; i < 30 && (i < 5 || Clock::now() - began < std::chrono::milliseconds(500)); ++i) {
        const auto t0 = Clock::now();
        parse();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

void qmBest(benchmark::State& state, const std::string& text)
{
    for (auto _ : state)
        state.SetIterationTime(bestOf([&] { benchmark::DoNotOptimize(qm::parseMarkdown(text, true)); }));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

#ifdef QM_HAVE_LIBCMARK_GFM
void gfmParseOnce(const std::string& text)
{
    cmark_parser* parser = cmark_parser_new(CMARK_OPT_DEFAULT);
    for (const char* name : {"table", "strikethrough", "autolink"})
        if (cmark_syntax_extension* e = cmark_find_syntax_extension(name))
            cmark_parser_attach_syntax_extension(parser, e);
    cmark_parser_feed(parser, text.data(), text.size());
    cmark_node_free(cmark_parser_finish(parser));
    cmark_parser_free(parser);
}

void gfmParse(benchmark::State& state, const std::string& text, int times)
{
    for (auto _ : state)
        for (int i = 0; i < times; ++i)
            gfmParseOnce(text);
    state.SetBytesProcessed(int64_t(state.iterations()) * times * int64_t(text.size()));
}

// The fastest of a few cmark-gfm parses, timed inside a child process; past
// the cap the child is killed and the case reported as out of time.
void gfmCapped(benchmark::State& state, const std::string& text)
{
    constexpr auto kCap = std::chrono::seconds(20);
    for (auto _ : state) {
        int fds[2];
        if (pipe(fds) != 0) {
            state.SkipWithError("no pipe");
            break;
        }
        const auto start = Clock::now();
        pid_t child = fork();
        if (child == 0) {
            close(fds[0]);
            const double best = bestOf([&] { gfmParseOnce(text); });
            ssize_t written = write(fds[1], &best, sizeof best);
            _exit(written == sizeof best ? 0 : 1);
        }
        close(fds[1]);
        int status = 0;
        bool done = false;
        while (!done && Clock::now() - start < kCap) {
            done = waitpid(child, &status, WNOHANG) == child;
            if (!done)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        double best = 0;
        const bool read = done && ::read(fds[0], &best, sizeof best) == sizeof best;
        close(fds[0]);
        if (!done) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
        }
        if (!read) {
            state.SkipWithError("cmark-gfm ran out of time (20 s)");
            break;
        }
        state.SetIterationTime(best);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
#endif

#ifdef QM_HAVE_MD4C
void md4cParse(benchmark::State& state, const std::string& text, int times)
{
    MD_PARSER parser{};
    parser.flags = MD_DIALECT_GITHUB;
    parser.enter_block = [](MD_BLOCKTYPE, void*, void*) { return 0; };
    parser.leave_block = [](MD_BLOCKTYPE, void*, void*) { return 0; };
    parser.enter_span = [](MD_SPANTYPE, void*, void*) { return 0; };
    parser.leave_span = [](MD_SPANTYPE, void*, void*) { return 0; };
    parser.text = [](MD_TEXTTYPE, const MD_CHAR*, MD_SIZE, void*) { return 0; };
    for (auto _ : state)
        for (int i = 0; i < times; ++i)
            md_parse(text.data(), MD_SIZE(text.size()), &parser, nullptr);
    state.SetBytesProcessed(int64_t(state.iterations()) * times * int64_t(text.size()));
}
#endif

void registerAll()
{
#ifdef QM_HAVE_LIBCMARK_GFM
    cmark_gfm_core_extensions_ensure_registered();
#endif
    static const std::string spec = specText();
    benchmark::RegisterBenchmark("qm/spec_x50", [](benchmark::State& s) {
        qmParse(s, spec, 50);
    })->Unit(benchmark::kMillisecond);
#ifdef QM_HAVE_LIBCMARK_GFM
    benchmark::RegisterBenchmark("gfm/spec_x50", [](benchmark::State& s) {
        gfmParse(s, spec, 50);
    })->Unit(benchmark::kMillisecond);
#endif
#ifdef QM_HAVE_MD4C
    benchmark::RegisterBenchmark("md4c/spec_x50", [](benchmark::State& s) {
        md4cParse(s, spec, 50);
    })->Unit(benchmark::kMillisecond);
#endif
    for (const PathologicalClass& c : classes()) {
        for (size_t bytes : kSizes) {
            auto text = std::make_shared<std::string>(c.make(bytes));
            const std::string name = std::string(c.name) + "/" + sizeName(bytes);
            benchmark::RegisterBenchmark(("qm/" + name).c_str(), [text](benchmark::State& s) { qmBest(s, *text); })
                ->UseManualTime()
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond);
#ifdef QM_HAVE_LIBCMARK_GFM
            benchmark::RegisterBenchmark(("gfm/" + name).c_str(), [text](benchmark::State& s) { gfmCapped(s, *text); })
                ->UseManualTime()
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond);
#endif
        }
    }
}

// Keeps each run's time, then prints the growth table after the usual output.
class GrowthReporter : public benchmark::ConsoleReporter {
public:
    // Plain text: the table is meant to be pasted into notes.
    GrowthReporter()
        : ConsoleReporter(OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                millis_[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }

    // Returns how many classes took us more than twice cmark-gfm's time.
    int printGrowth() const
    {
        std::printf("\n%-28s %9s %9s %7s %9s %9s %7s %7s %7s\n", "class", "qm 100K", "qm 1M", "growth", "gfm 100K",
            "gfm 1M", "growth", "x@100K", "x@1M");
        int slow = 0;
        for (const PathologicalClass& c : classes()) {
            const double q0 = time("qm/", c.name, kSizes[0]), q1 = time("qm/", c.name, kSizes[1]);
            const double g0 = time("gfm/", c.name, kSizes[0]), g1 = time("gfm/", c.name, kSizes[1]);
            if (q0 < 0 || q1 < 0)
                continue;  // filtered out
            std::printf("%-28s %9.3f %9.3f %7.1f", c.name, q0, q1, q1 / q0);
            if (g0 > 0 && g1 > 0) {
                const bool ok = q0 <= 2 * g0 && q1 <= 2 * g1;
                slow += !ok;
                std::printf(
                    " %9.3f %9.3f %7.1f %7.2f %7.2f%s\n", g0, g1, g1 / g0, q0 / g0, q1 / g1, ok ? "" : "  over 2x");
            } else {
                std::printf(" %9s %9s\n", g0 < 0 ? "-" : "capped", g1 < 0 ? "-" : "capped");
            }
        }
        std::printf("times in ms; growth = 1M / 100K (10 is linear); x = our time / cmark-gfm's\n");
        return slow;
    }

private:
    double time(const char* parser, const char* name, size_t bytes) const
    {
        auto it = millis_.find(std::string(parser) + name + "/" + sizeName(bytes));
        if (it == millis_.end())
            it = millis_.find(std::string(parser) + name + "/" + sizeName(bytes) + "/iterations:1/manual_time");
        return it == millis_.end() ? -1 : it->second;
    }

    std::map<std::string, double> millis_;
};

}  // namespace

int main(int argc, char** argv)
{
    registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    GrowthReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printGrowth();
    benchmark::Shutdown();
    return 0;
}
