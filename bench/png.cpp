// PNG decoding and encoding beside libpng, spng and stb_image on the same
// files. Decoders all produce 8-bit RGBA; the inputs are written by libpng
// with its default settings.
//
// Each decode is measured twice: over and over in this process, and once per
// fresh process as opening a picture does it (cold caches, a heap that has
// to be faulted in, first calls through the dynamic linker). For the second,
// this program runs itself as `bench_png --decode-once IMPL FILE`, which
// reads the file, decodes it once and prints the seconds the decode took
// and the pages it touched for the first time (minor page faults, the
// "fresh_pages" counter); start-up and reading the file are not counted.
// Reading the file leaves about 128 KB of heap written and freed behind it,
// the same for every decoder: allocations that fit there are not fresh, so
// the counter shows the image, what lies beyond that heap, and the code and
// stack pages each decoder touches first.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "codecs/image/png.h"

#ifdef QM_HAVE_LIBPNG
#include <png.h>
#endif
#ifdef QM_HAVE_SPNG
#include <spng.h>
#endif
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

namespace {

using Bytes = std::vector<uint8_t>;

// Smooth light and colour with sensor-like noise: compresses like a photo.
Bytes photoPixels(int width, int height, int channels, int bytesPerSample)
{
    std::mt19937 random(11);
    Bytes out;
    out.reserve(size_t(width) * height * channels * bytesPerSample);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            for (int c = 0; c < channels; c++) {
                double v =
                    128 + 60 * std::sin(x * 0.011 + c) * std::cos(y * 0.017 - c) + 30 * std::sin((x + y) * 0.003);
                int sample = std::clamp(int(v) + int(random() % 9) - 4, 0, 255);
                if (c == 3)
                    sample = std::clamp(200 + int(random() % 56), 0, 255);
                out.push_back(uint8_t(sample));
                if (bytesPerSample == 2)
                    out.push_back(uint8_t(random()));
            }
        }
    }
    return out;
}

// Flat panels, borders and text-like strokes, like a window's pixels.
Bytes screenshotPixels(int width, int height)
{
    std::mt19937 random(5);
    Bytes out(size_t(width) * height * 4);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            uint8_t* p = &out[(size_t(y) * width + x) * 4];
            bool panel = (x / 320 + y / 180) % 2 == 0;
            uint8_t base = panel ? 245 : 228;
            p[0] = base;
            p[1] = base;
            p[2] = uint8_t(base + 5);
            p[3] = 255;
            if (y % 24 > 6 && y % 24 < 18 && x % 320 > 20 && x % 320 < 260 && (x * 7 + y * 3 + (x / 9) * 13) % 11 < 4) {
                uint8_t ink = uint8_t(40 + random() % 40);
                p[0] = p[1] = p[2] = ink;
            }
            if (x % 320 == 0 || y % 180 == 0)
                p[0] = 90, p[1] = 120, p[2] = 200;
        }
    }
    return out;
}

#ifdef QM_HAVE_LIBPNG
void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// libpng's own writing; level -1 and filters 0 keep its defaults.
Bytes libpngEncode(const Bytes& pixels, int width, int height, int colourType, int depth, bool interlace,
    const Bytes& palette = {}, int level = -1, int filters = 0)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
        std::abort();
    png_set_write_fn(png, &out, appendBytes, nullptr);
    png_set_IHDR(png, info, width, height, depth, colourType, interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
        PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty())
        png_set_PLTE(png, info, reinterpret_cast<png_const_colorp>(palette.data()), int(palette.size() / 3));
    if (level >= 0)
        png_set_compression_level(png, level);
    if (filters)
        png_set_filter(png, 0, filters);
    png_write_info(png, info);
    size_t stride = pixels.size() / size_t(height);
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; y++)
        rows[size_t(y)] = const_cast<png_bytep>(&pixels[size_t(y) * stride]);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

struct MemoryReader {
    const Bytes* data;
    size_t pos;
};

void readBytes(png_structp png, png_bytep out, png_size_t length)
{
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (reader->pos + length > reader->data->size())
        png_error(png, "read past the end");
    std::memcpy(out, reader->data->data() + reader->pos, length);
    reader->pos += length;
}

// The transforms that give what our decoder gives.
Bytes libpngDecode(const Bytes& file)
{
    MemoryReader reader{&file, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
        std::abort();
    png_set_read_fn(png, &reader, readBytes);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    Bytes pixels(size_t(width) * height * 4);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; y++)
        rows[y] = &pixels[size_t(y) * width * 4];
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return pixels;
}
#endif

struct Case {
    std::string name;
    Bytes file;
    int64_t pixels;
};

const std::vector<Case>& cases()
{
    static std::vector<Case> all = [] {
        std::vector<Case> out;
#ifdef QM_HAVE_LIBPNG
        out.push_back({"photo_rgb",
            libpngEncode(photoPixels(1920, 1080, 3, 1), 1920, 1080, PNG_COLOR_TYPE_RGB, 8, false), 1920 * 1080});
        out.push_back({"icon_rgba", libpngEncode(photoPixels(256, 256, 4, 1), 256, 256, PNG_COLOR_TYPE_RGBA, 8, false),
            256 * 256});
        out.push_back({"photo_interlaced",
            libpngEncode(photoPixels(1920, 1080, 3, 1), 1920, 1080, PNG_COLOR_TYPE_RGB, 8, true), 1920 * 1080});
        Bytes palette;
        for (int i = 0; i < 256; i++)
            palette.insert(palette.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
        Bytes indices = photoPixels(1920, 1080, 1, 1);
        out.push_back(
            {"palette", libpngEncode(indices, 1920, 1080, PNG_COLOR_TYPE_PALETTE, 8, false, palette), 1920 * 1080});
        out.push_back(
            {"rgba16", libpngEncode(photoPixels(960, 540, 4, 2), 960, 540, PNG_COLOR_TYPE_RGBA, 16, false), 960 * 540});
#else
        qm::Image photo{1920, 1080, 3, photoPixels(1920, 1080, 3, 1)};
        out.push_back({"photo_rgb", qm::encodePng(photo, true), 1920 * 1080});
#endif
        return out;
    }();
    return all;
}

void qmDecode(benchmark::State& state, const Case& c)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(qm::decodePng(c.file));
    state.SetItemsProcessed(state.iterations() * c.pixels);
}

#ifdef QM_HAVE_LIBPNG
void libpngDecodeBench(benchmark::State& state, const Case& c)
{
    if (libpngDecode(c.file) != qm::decodePng(c.file)->pixels)
        state.SkipWithError("libpng decodes differently");
    for (auto _ : state)
        benchmark::DoNotOptimize(libpngDecode(c.file));
    state.SetItemsProcessed(state.iterations() * c.pixels);
}
#endif

#ifdef QM_HAVE_SPNG
void spngDecodeBench(benchmark::State& state, const Case& c)
{
    for (auto _ : state) {
        spng_ctx* ctx = spng_ctx_new(0);
        spng_set_png_buffer(ctx, c.file.data(), c.file.size());
        size_t size = 0;
        spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size);
        Bytes out(size);
        if (spng_decode_image(ctx, out.data(), size, SPNG_FMT_RGBA8, 0) != 0)
            state.SkipWithError("spng failed");
        spng_ctx_free(ctx);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * c.pixels);
}
#endif

void stbDecodeBench(benchmark::State& state, const Case& c)
{
    for (auto _ : state) {
        int w, h, n;
        stbi_uc* pixels = stbi_load_from_memory(c.file.data(), int(c.file.size()), &w, &h, &n, 4);
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
    state.SetItemsProcessed(state.iterations() * c.pixels);
}

const Bytes& screenshot()
{
    static Bytes pixels = screenshotPixels(1920, 1080);
    return pixels;
}

void qmEncode(benchmark::State& state)
{
    qm::Image image{1920, 1080, 4, screenshot()};
    size_t size = 0;
    for (auto _ : state)
        size = qm::encodePng(image, true).size();
    state.counters["bytes"] = double(size);
    state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}

#ifdef QM_HAVE_LIBPNG
// libpng set up as our encoder works: Sub filter, zlib level 1.
void libpngEncodeBench(benchmark::State& state)
{
    size_t size = 0;
    for (auto _ : state)
        size = libpngEncode(screenshot(), 1920, 1080, PNG_COLOR_TYPE_RGBA, 8, false, {}, 1, PNG_FILTER_SUB).size();
    state.counters["bytes"] = double(size);
    state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
#endif

// One decode by `impl`, for the fresh-process measurement; false if the
// decoder failed or is not built in.
bool decodeOnce(const std::string& impl, const Bytes& file)
{
    if (impl == "qm")
        return qm::decodePng(file) != nullptr;
#ifdef QM_HAVE_LIBPNG
    if (impl == "libpng")
        return !libpngDecode(file).empty();
#endif
#ifdef QM_HAVE_SPNG
    if (impl == "spng") {
        spng_ctx* ctx = spng_ctx_new(0);
        spng_set_png_buffer(ctx, file.data(), file.size());
        size_t size = 0;
        spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size);
        Bytes out(size);
        bool ok = spng_decode_image(ctx, out.data(), size, SPNG_FMT_RGBA8, 0) == 0;
        spng_ctx_free(ctx);
        return ok;
    }
#endif
    if (impl == "stb") {
        int w, h, n;
        stbi_uc* pixels = stbi_load_from_memory(file.data(), int(file.size()), &w, &h, &n, 4);
        stbi_image_free(pixels);
        return pixels != nullptr;
    }
    return false;
}

int decodeOnceMain(const std::string& impl, const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    auto start = std::chrono::steady_clock::now();
    bool ok = decodeOnce(impl, file);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    getrusage(RUSAGE_SELF, &after);
    if (!ok)
        return 1;
    std::printf("%.9f %ld\n", seconds, after.ru_minflt - before.ru_minflt);
    return 0;
}

// The cases' files, written once for the child processes to read.
const std::filesystem::path& caseDir()
{
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("qm-bench-png-" + std::to_string(getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

std::filesystem::path caseFile(const Case& c)
{
    auto path = caseDir() / (c.name + ".png");
    if (!std::filesystem::exists(path))
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(c.file.data()), std::streamsize(c.file.size()));
    return path;
}

void freshProcessDecode(benchmark::State& state, const std::string& impl, const Case& c)
{
    const std::string command = std::filesystem::read_symlink("/proc/self/exe").string() + " --decode-once " + impl
        + " " + caseFile(c).string();
    double pages = 0;
    for (auto _ : state) {
        FILE* pipe = popen(command.c_str(), "r");
        double seconds = -1;
        long faults = 0;
        if (!pipe || std::fscanf(pipe, "%lf %ld", &seconds, &faults) != 2 || pclose(pipe) != 0 || seconds < 0) {
            state.SkipWithError("the decoding process failed");
            break;
        }
        state.SetIterationTime(seconds);
        pages += double(faults);
    }
    state.counters["fresh_pages"] = benchmark::Counter(pages, benchmark::Counter::kAvgIterations);
    state.SetItemsProcessed(state.iterations() * c.pixels);
}

int registerAll()
{
    for (const Case& c : cases()) {
        std::vector<std::string> impls = {"qm", "stb"};
#ifdef QM_HAVE_LIBPNG
        impls.push_back("libpng");
#endif
#ifdef QM_HAVE_SPNG
        impls.push_back("spng");
#endif
        for (const std::string& impl : impls)
            benchmark::RegisterBenchmark((impl + "/decode_" + c.name + "_fresh_process").c_str(),
                [impl, &c](benchmark::State& state) { freshProcessDecode(state, impl, c); })
                ->UseManualTime()
                ->Iterations(15)
                ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("qm/decode_" + c.name).c_str(), qmDecode, c)->Unit(benchmark::kMillisecond);
#ifdef QM_HAVE_LIBPNG
        benchmark::RegisterBenchmark(("libpng/decode_" + c.name).c_str(), libpngDecodeBench, c)
            ->Unit(benchmark::kMillisecond);
#endif
#ifdef QM_HAVE_SPNG
        benchmark::RegisterBenchmark(("spng/decode_" + c.name).c_str(), spngDecodeBench, c)
            ->Unit(benchmark::kMillisecond);
#endif
        benchmark::RegisterBenchmark(("stb/decode_" + c.name).c_str(), stbDecodeBench, c)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("qm/encode_screenshot", qmEncode)->Unit(benchmark::kMillisecond);
#ifdef QM_HAVE_LIBPNG
    benchmark::RegisterBenchmark("libpng/encode_screenshot", libpngEncodeBench)->Unit(benchmark::kMillisecond);
#endif
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--decode-once")
        return decodeOnceMain(argv[2], argv[3]);
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(caseDir(), ignored);
    return 0;
}
