// Inflate, deflate at levels 1, 6 and 9, CRC-32 and Adler-32 beside zlib and
// libdeflate on the same inputs. Compressed sizes show as the "bytes" counter.
#include "codecs/compress/deflate.h"
#include "codecs/compress/crc32.h"
#include "codecs/compress/inflate.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
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

// English prose (every licence text of the system), machine code, and the
// kind of JSON the program writes.
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
    return {{"text", text}, {"binary", readFile("/bin/bash", 0, 1 << 20)}, {"json", Bytes(json.begin(), json.end())}};
}

void setBytes(benchmark::State& state, size_t processed, size_t produced)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(processed));
    state.counters["bytes"] = static_cast<double>(produced);
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
    inflate(&z, Z_FINISH);
    inflateEnd(&z);
    return out;
}
#endif

void registerAll()
{
    static const std::vector<Input> all = inputs();
    for (const Input& in : all) {
        const Bytes* data = &in.data;
        // Every decoder inflates the same stream, written by our level 6.
        auto stream = std::make_shared<Bytes>(qm::deflateData(*data, 6, {}));
        benchmark::RegisterBenchmark(("qm/inflate/" + in.name).c_str(), [data, stream](benchmark::State& state) {
            for (auto _ : state)
                benchmark::DoNotOptimize(qm::inflate(
                    *stream, false, {}, static_cast<int32_t>(data->size()), static_cast<int64_t>(data->size())));
            setBytes(state, data->size(), stream->size());
        });
#ifdef QM_HAVE_ZLIB
        benchmark::RegisterBenchmark(("zlib/inflate/" + in.name).c_str(), [data, stream](benchmark::State& state) {
            for (auto _ : state)
                benchmark::DoNotOptimize(zlibInflate(*stream, data->size()));
            setBytes(state, data->size(), stream->size());
        });
#endif
#ifdef QM_HAVE_LIBDEFLATE
        benchmark::RegisterBenchmark(
            ("libdeflate/inflate/" + in.name).c_str(), [data, stream](benchmark::State& state) {
                libdeflate_decompressor* d = libdeflate_alloc_decompressor();
                for (auto _ : state) {
                    Bytes out(data->size());
                    libdeflate_deflate_decompress(d, stream->data(), stream->size(), out.data(), out.size(), nullptr);
                    benchmark::DoNotOptimize(out);
                }
                libdeflate_free_decompressor(d);
                setBytes(state, data->size(), stream->size());
            });
#endif
        for (int level : {1, 6, 9}) {
            std::string c = "/deflate" + std::to_string(level) + "/" + in.name;
            benchmark::RegisterBenchmark(("qm" + c).c_str(), [data, level](benchmark::State& state) {
                size_t size = 0;
                for (auto _ : state) {
                    auto out = qm::deflateData(*data, level, {});
                    size = out.size();
                    benchmark::DoNotOptimize(out);
                }
                setBytes(state, data->size(), size);
            });
#ifdef QM_HAVE_ZLIB
            benchmark::RegisterBenchmark(("zlib" + c).c_str(), [data, level](benchmark::State& state) {
                size_t size = 0;
                for (auto _ : state) {
                    auto out = zlibDeflate(*data, level);
                    size = out.size();
                    benchmark::DoNotOptimize(out);
                }
                setBytes(state, data->size(), size);
            });
#endif
#ifdef QM_HAVE_LIBDEFLATE
            benchmark::RegisterBenchmark(("libdeflate" + c).c_str(), [data, level](benchmark::State& state) {
                libdeflate_compressor* comp = libdeflate_alloc_compressor(level);
                size_t size = 0;
                for (auto _ : state) {
                    Bytes out(libdeflate_deflate_compress_bound(comp, data->size()));
                    size = libdeflate_deflate_compress(comp, data->data(), data->size(), out.data(), out.size());
                    benchmark::DoNotOptimize(out);
                }
                libdeflate_free_compressor(comp);
                setBytes(state, data->size(), size);
            });
#endif
        }
    }

    static const Bytes block = readFile("/bin/bash", 0, 1 << 20);
    benchmark::RegisterBenchmark("qm/crc32/1MB", [](benchmark::State& state) {
        for (auto _ : state)
            benchmark::DoNotOptimize(qm::crc32(block));
        setBytes(state, block.size(), 4);
    });
    benchmark::RegisterBenchmark("qm/adler32/1MB", [](benchmark::State& state) {
        for (auto _ : state)
            benchmark::DoNotOptimize(qm::adler32(block));
        setBytes(state, block.size(), 4);
    });
#ifdef QM_HAVE_ZLIB
    benchmark::RegisterBenchmark("zlib/crc32/1MB", [](benchmark::State& state) {
        for (auto _ : state)
            benchmark::DoNotOptimize(crc32(0, block.data(), static_cast<uInt>(block.size())));
        setBytes(state, block.size(), 4);
    });
    benchmark::RegisterBenchmark("zlib/adler32/1MB", [](benchmark::State& state) {
        for (auto _ : state)
            benchmark::DoNotOptimize(adler32(1, block.data(), static_cast<uInt>(block.size())));
        setBytes(state, block.size(), 4);
    });
#endif
#ifdef QM_HAVE_LIBDEFLATE
    benchmark::RegisterBenchmark("libdeflate/crc32/1MB", [](benchmark::State& state) {
        for (auto _ : state)
            benchmark::DoNotOptimize(libdeflate_crc32(0, block.data(), block.size()));
        setBytes(state, block.size(), 4);
    });
    benchmark::RegisterBenchmark("libdeflate/adler32/1MB", [](benchmark::State& state) {
        for (auto _ : state)
            benchmark::DoNotOptimize(libdeflate_adler32(1, block.data(), block.size()));
        setBytes(state, block.size(), 4);
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
