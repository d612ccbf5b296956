// Markdown parsing beside cmark (parse only) and md4c: the CommonMark
// examples as one document, and the crafted inputs at 1x, 2x and 4x, whose
// times must grow linearly. cmark runs in a child process under a time cap,
// since some of these inputs take it minutes.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "docs/markdown.h"

#ifdef QM_HAVE_LIBCMARK
#include <cmark.h>
#endif
#ifdef QM_HAVE_MD4C
#include <md4c.h>
#endif

namespace {

std::string repeat(std::string_view s, size_t n)
{
    std::string out;
    out.reserve(s.size() * n);
    for (size_t i = 0; i < n; ++i)
        out += s;
    return out;
}

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

struct Input {
    std::string name;
    std::function<std::string(size_t)> make;  // text at scale n
    size_t base;
};

std::vector<Input> inputs()
{
    return {
        {"emphasis", [](size_t n) { return repeat("*a **a ", n) + "b" + repeat(" a** a*", n); }, 16000},
        {"underscores", [](size_t n) { return repeat("*a_ ", n); }, 16000},
        {"rule_of_three", [](size_t n) { return std::string("a**b").append(repeat("c* ", n)); }, 12000},
        {"close_brackets", [](size_t n) { return repeat("a]", n); }, 16000},
        {"open_brackets", [](size_t n) { return repeat("[a", n); }, 16000},
        {"bracket_underscore", [](size_t n) { return repeat("[ a_", n); }, 12000},
        {"bracket_paren", [](size_t n) { return repeat("[ (](", n); }, 20000},
        {"empty_links", [](size_t n) { return repeat("![[]()", n); }, 40000},
        {"nested_brackets", [](size_t n) { return repeat("[", n) + "a" + repeat("]", n); }, 12000},
        {"pointy_dest", [](size_t n) { return repeat("[a](<b", n); }, 8000},
        {"plain_dest", [](size_t n) { return repeat("[a](b", n); }, 8000},
        {"quotes", [](size_t n) { return repeat("> ", n) + "a"; }, 12000},
        {"list_blanks", [](size_t n) { return repeat("- ", n) + "x" + repeat("\n", n); }, 8000},
        {"list_stars", [](size_t n) { return repeat("* ", n) + "a"; }, 5000},
        {"table_alternating", [](size_t n) { return repeat("a|b\n-|-|-\n", n); }, 5000},
        {"backticks",
            [](size_t n) {
                std::string s;
                for (size_t i = 1; i <= n; ++i)
                    s += std::string(1, 'e').append(i, '`');
                return s;
            },
            600},
        {"comments", [](size_t n) { return std::string("</").append(repeat("<!--", n)); }, 25000},
        {"autolink_www", [](size_t n) { return repeat("(www.a_", n); }, 25000},
        {"autolink_parens", [](size_t n) { return std::string("http://a").append(repeat(")", n)); }, 25000},
    };
}

void qmParse(benchmark::State& state, const std::string& text, int times)
{
    for (auto _ : state)
        for (int i = 0; i < times; ++i)
            benchmark::DoNotOptimize(qm::parseMarkdown(text, true));
    state.SetBytesProcessed(int64_t(state.iterations()) * times * int64_t(text.size()));
}

#ifdef QM_HAVE_LIBCMARK
void cmarkParse(benchmark::State& state, const std::string& text, int times)
{
    for (auto _ : state)
        for (int i = 0; i < times; ++i) {
            cmark_node* doc = cmark_parse_document(text.data(), text.size(), CMARK_OPT_DEFAULT);
            cmark_node_free(doc);
        }
    state.SetBytesProcessed(int64_t(state.iterations()) * times * int64_t(text.size()));
}

// One cmark parse in a child process; past the cap the child is killed and
// the case reported as out of time.
void cmarkCapped(benchmark::State& state, const std::string& text)
{
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        auto start = Clock::now();
        pid_t child = fork();
        if (child == 0) {
            cmark_node_free(cmark_parse_document(text.data(), text.size(), CMARK_OPT_DEFAULT));
            _exit(0);
        }
        int status = 0;
        bool done = false;
        while (!done && Clock::now() - start < std::chrono::seconds(5)) {
            done = waitpid(child, &status, WNOHANG) == child;
            if (!done)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (!done) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            state.SkipWithError("cmark ran out of time (5 s)");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
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

int registerAll()
{
    static const std::string spec = specText();
    benchmark::RegisterBenchmark("qm/spec_x50", [](benchmark::State& s) {
        qmParse(s, spec, 50);
    })->Unit(benchmark::kMillisecond);
#ifdef QM_HAVE_LIBCMARK
    benchmark::RegisterBenchmark("cmark/spec_x50", [](benchmark::State& s) {
        cmarkParse(s, spec, 50);
    })->Unit(benchmark::kMillisecond);
#endif
#ifdef QM_HAVE_MD4C
    benchmark::RegisterBenchmark("md4c/spec_x50", [](benchmark::State& s) {
        md4cParse(s, spec, 50);
    })->Unit(benchmark::kMillisecond);
#endif
    static const std::vector<Input> all = inputs();
    for (const Input& in : all) {
        for (size_t scale : {1, 2, 4}) {
            auto text = std::make_shared<std::string>(in.make(in.base * scale));
            std::string name = in.name + "_x" + std::to_string(scale);
            benchmark::RegisterBenchmark(("qm/" + name).c_str(), [text](benchmark::State& s) {
                qmParse(s, *text, 1);
            })->Unit(benchmark::kMillisecond);
#ifdef QM_HAVE_LIBCMARK
            benchmark::RegisterBenchmark(
                ("cmark/" + name).c_str(), [text](benchmark::State& s) { cmarkCapped(s, *text); })
                ->UseManualTime()
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond);
#endif
        }
    }
    return 0;
}

const int registered = registerAll();

}  // namespace

BENCHMARK_MAIN();
