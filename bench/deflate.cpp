// Inflate, deflate at levels 1, 6 and 9, CRC-32 and Adler-32 beside zlib and
// libdeflate on the same inputs. Compressed sizes show as the "bytes" counter.
//
// Every compressed output is inflated by zlib after the timing and compared
// with the input; every inflated output is compared too. A case that does not
// round-trip fails instead of reporting a time. Inflate reads streams written
// by zlib, by libdeflate and by our own compressor, each beside the peers
// decoding the same stream.
#include "codecs/compress/deflate.h"
#include "codecs/compress/crc32.h"
#include "codecs/compress/inflate.h"
#include "core/json.h"
#include "formats/xlsx.h"
#include "heavy_budget.h"
#include "model/budget_json.h"
#include "model/reports.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#ifdef QM_HAVE_ZLIB
#include <zlib.h>
#endif
#ifdef QM_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace {

using Bytes = std::vector<uint8_t>;

Bytes readFile(const std::filesystem::path& path, size_t offset = 0, size_t count = SIZE_MAX)
{
    std::ifstream f(path, std::ios::binary);
    Bytes all{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    offset = std::min(offset, all.size());
    return {all.begin() + static_cast<std::ptrdiff_t>(offset),
        all.begin() + static_cast<std::ptrdiff_t>(std::min(all.size(), offset + std::min(count, all.size())))};
}

Bytes fromString(const std::string& s) { return {s.begin(), s.end()}; }

// The heavy budget as the store saves it.
Bytes heavyDataJson() { return fromString(qm::dumpJson(qm::budgetToJson(qm::bench::heavyBudget(1)))); }

// The worksheet of a year's report on the heavy budget, as the XLSX export
// writes it: date, description, category, account, coloured amount, balance.
Bytes reportWorksheetXml()
{
    qm::Budget b = qm::bench::heavyBudget(1);
    const qm::ReportRows rows = qm::reportRows(b, qm::Date{2025, 1, 1}, qm::Date{2025, 12, 31}, 0);
    qm::XlsxSheet sheet;
    sheet.name = "Report";
    sheet.widths = {12, 40, 18, 18, 14, 16};
    sheet.rows.push_back({qm::xlsxText("Date", false, true), qm::xlsxText("Description", false, true),
        qm::xlsxText("Category", false, true), qm::xlsxText("Account", false, true),
        qm::xlsxText("Amount", false, true), qm::xlsxText("Running Total", false, true)});
    for (const qm::ReportRow& r : rows) {
        const qm::ReportRowSource& t = rows.source(r);
        sheet.rows.push_back(
            {qm::xlsxText(qm::formatIso(r.date)), qm::xlsxText(std::string(t.description()), t.isBalanceRow),
                qm::xlsxText(std::string(t.category())), qm::xlsxText(std::string(t.account())),
                qm::xlsxMoney(r.amount, false, r.amount < 0 ? "FFBD3838" : "FF21763C"),
                qm::xlsxMoney(r.runningBalance / 100, t.isBalanceRow)});
    }
    std::vector<qm::XlsxSheet> sheets{sheet};
    return fromString(qm::worksheetXml(sheet.rows, sheet.widths, qm::xlsxColours(sheets)));
}

// English prose (every licence text of the system), machine code, generated
// JSON records, the heavy budget's data.json and a report's worksheet XML.
struct Input {
    std::string name;
    Bytes data;
};
std::vector<Input> inputs()
{
    Bytes text;
    std::vector<std::filesystem::path> licences;
    for (auto& e : std::filesystem::directory_iterator("/usr/share/common-licenses"))
        if (e.is_regular_file())
            licences.push_back(e.path());
    std::sort(licences.begin(), licences.end());
    for (auto& p : licences) {
        Bytes b = readFile(p);
        text.insert(text.end(), b.begin(), b.end());
    }
    std::string json = "{\"transactions\": [\n";
    uint32_t x = 2463534242u;
    const char* names[] = {"Rent", "Salary", "Groceries", "Gym", "Insurance", "Coffee"};
    for (int i = 0; json.size() < (1 << 20); i++) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        json += " {\"id\": " + std::to_string(i) + ", \"name\": \"" + names[x % 6]
            + "\", \"amount\": " + std::to_string(static_cast<int>(x % 300000) - 100000) + "."
            + std::to_string(x % 89 + 10) + ", \"date\": \"2026-" + std::to_string(x % 9 + 10) + "-"
            + std::to_string(x % 18 + 10) + "\", \"recurring_period\": \"" + (x & 1 ? "1m" : "") + "\"},\n";
    }
    json += "]}\n";
    return {{"text", text}, {"binary", readFile("/bin/bash", 0, 1 << 20)}, {"json", fromString(json)},
        {"data_json", heavyDataJson()}, {"xlsx_xml", reportWorksheetXml()}};
}

// "bytes" is the compressed size a compressor produced; inflate cases report
// the size of the stream they read as "stream_bytes", the same for every
// decoder of the case.
void setBytes(benchmark::State& state, size_t processed, size_t produced, const char* counter = "bytes")
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(processed));
    state.counters[counter] = static_cast<double>(produced);
}

#ifdef QM_HAVE_ZLIB
Bytes zlibDeflate(const Bytes& in, int level)
{
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, in.size()));
    z.next_in = const_cast<Bytes::value_type*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

Bytes zlibInflate(const Bytes& in, size_t size)
{
    z_stream z{};
    inflateInit2(&z, -15);
    Bytes out(size);
    z.next_in = const_cast<Bytes::value_type*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int rc = inflate(&z, Z_FINISH);
    out.resize(rc == Z_STREAM_END ? z.total_out : 0);
    inflateEnd(&z);
    return out;
}
#endif

// The check after the timing: the output must decode to the input. Without
// zlib, our own inflate is the judge.
bool roundTrips(const Bytes& compressed, const Bytes& original)
{
#ifdef QM_HAVE_ZLIB
    return zlibInflate(compressed, original.size()) == original;
#else
    return qm::inflate(compressed, false, {}, 0, static_cast<int64_t>(original.size())) == original;
#endif
}

void checkRoundTrip(benchmark::State& state, const Bytes& compressed, const Bytes& original)
{
    if (!roundTrips(compressed, original))
        state.SkipWithError("the output does not inflate to the input");
}

// A stream to inflate, written by one encoder at level 6.
struct Stream {
    std::string encoder;
    Bytes bytes;
};
std::vector<Stream> streamsOf(const Bytes& data)
{
    std::vector<Stream> out;
    out.push_back({"qm6", qm::deflateData(data, 6, {})});
#ifdef QM_HAVE_ZLIB
    out.push_back({"zlib6", zlibDeflate(data, 6)});
#endif
#ifdef QM_HAVE_LIBDEFLATE
    libdeflate_compressor* c = libdeflate_alloc_compressor(6);
    Bytes b(libdeflate_deflate_compress_bound(c, data.size()));
    b.resize(libdeflate_deflate_compress(c, data.data(), data.size(), b.data(), b.size()));
    libdeflate_free_compressor(c);
    out.push_back({"libdeflate6", b});
#endif
    return out;
}

void registerInflate(const Bytes* data, const std::string& name, std::shared_ptr<const Bytes> stream)
{
    benchmark::RegisterBenchmark(("qm/inflate/" + name).c_str(), [data, stream](benchmark::State& state) {
        Bytes out;
        for (auto _ : state) {
            out =
                qm::inflate(*stream, false, {}, static_cast<int32_t>(data->size()), static_cast<int64_t>(data->size()));
            benchmark::DoNotOptimize(out.data());
        }
        if (out != *data)
            state.SkipWithError("inflate does not reproduce the input");
        setBytes(state, data->size(), stream->size(), "stream_bytes");
    });
#ifdef QM_HAVE_ZLIB
    benchmark::RegisterBenchmark(("zlib/inflate/" + name).c_str(), [data, stream](benchmark::State& state) {
        Bytes out;
        for (auto _ : state) {
            out = zlibInflate(*stream, data->size());
            benchmark::DoNotOptimize(out.data());
        }
        if (out != *data)
            state.SkipWithError("zlib does not reproduce the input");
        setBytes(state, data->size(), stream->size(), "stream_bytes");
    });
#endif
#ifdef QM_HAVE_LIBDEFLATE
    benchmark::RegisterBenchmark(("libdeflate/inflate/" + name).c_str(), [data, stream](benchmark::State& state) {
        libdeflate_decompressor* d = libdeflate_alloc_decompressor();
        Bytes out;
        for (auto _ : state) {
            out.assign(data->size(), 0);
            libdeflate_deflate_decompress(d, stream->data(), stream->size(), out.data(), out.size(), nullptr);
            benchmark::DoNotOptimize(out.data());
        }
        libdeflate_free_decompressor(d);
        if (out != *data)
            state.SkipWithError("libdeflate does not reproduce the input");
        setBytes(state, data->size(), stream->size(), "stream_bytes");
    });
#endif
}

void registerDeflate(const Bytes* data, const std::string& name, int level)
{
    std::string c = "/deflate" + std::to_string(level) + "/" + name;
    benchmark::RegisterBenchmark(("qm" + c).c_str(), [data, level](benchmark::State& state) {
        Bytes out;
        for (auto _ : state) {
            out = qm::deflateData(*data, level, {});
            benchmark::DoNotOptimize(out.data());
        }
        checkRoundTrip(state, out, *data);
        setBytes(state, data->size(), out.size());
    });
#ifdef QM_HAVE_ZLIB
    benchmark::RegisterBenchmark(("zlib" + c).c_str(), [data, level](benchmark::State& state) {
        Bytes out;
        for (auto _ : state) {
            out = zlibDeflate(*data, level);
            benchmark::DoNotOptimize(out.data());
        }
        checkRoundTrip(state, out, *data);
        setBytes(state, data->size(), out.size());
    });
#endif
#ifdef QM_HAVE_LIBDEFLATE
    benchmark::RegisterBenchmark(("libdeflate" + c).c_str(), [data, level](benchmark::State& state) {
        libdeflate_compressor* comp = libdeflate_alloc_compressor(level);
        Bytes out;
        for (auto _ : state) {
            out.resize(libdeflate_deflate_compress_bound(comp, data->size()));
            out.resize(libdeflate_deflate_compress(comp, data->data(), data->size(), out.data(), out.size()));
            benchmark::DoNotOptimize(out.data());
        }
        libdeflate_free_compressor(comp);
        checkRoundTrip(state, out, *data);
        setBytes(state, data->size(), out.size());
    });
#endif
}

void registerAll()
{
    static const std::vector<Input> all = inputs();
    for (const Input& in : all) {
        for (Stream& s : streamsOf(in.data))
            registerInflate(&in.data, in.name + "." + s.encoder, std::make_shared<const Bytes>(std::move(s.bytes)));
        for (int level : {1, 6, 9})
            registerDeflate(&in.data, in.name, level);
    }

    static const Bytes block = readFile("/bin/bash", 0, 1 << 20);
    benchmark::RegisterBenchmark("qm/crc32/1MB", [](benchmark::State& state) {
        for (auto _ : state)
            benchmark::DoNotOptimize(qm::crc32(block));
        setBytes(state, block.size(), 4, "digest_bytes");
    });
    benchmark::RegisterBenchmark("qm/adler32/1MB", [](benchmark::State& state) {
        for (auto _ : state)
            benchmark::DoNotOptimize(qm::adler32(block));
        setBytes(state, block.size(), 4, "digest_bytes");
    });
#ifdef QM_HAVE_ZLIB
    benchmark::RegisterBenchmark("zlib/crc32/1MB", [](benchmark::State& state) {
        for (auto _ : state)
            benchmark::DoNotOptimize(crc32(0, block.data(), static_cast<uInt>(block.size())));
        setBytes(state, block.size(), 4, "digest_bytes");
    });
    benchmark::RegisterBenchmark("zlib/adler32/1MB", [](benchmark::State& state) {
        for (auto _ : state)
            benchmark::DoNotOptimize(adler32(1, block.data(), static_cast<uInt>(block.size())));
        setBytes(state, block.size(), 4, "digest_bytes");
    });
#endif
#ifdef QM_HAVE_LIBDEFLATE
    benchmark::RegisterBenchmark("libdeflate/crc32/1MB", [](benchmark::State& state) {
        for (auto _ : state)
            benchmark::DoNotOptimize(libdeflate_crc32(0, block.data(), block.size()));
        setBytes(state, block.size(), 4, "digest_bytes");
    });
    benchmark::RegisterBenchmark("libdeflate/adler32/1MB", [](benchmark::State& state) {
        for (auto _ : state)
            benchmark::DoNotOptimize(libdeflate_adler32(1, block.data(), block.size()));
        setBytes(state, block.size(), 4, "digest_bytes");
    });
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
