#include "codecs/image/png.h"
#include "codecs/image/png_internal.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include "codecs/compress/deflate.h"
#include "codecs/compress/held_memory.h"
#include "codecs/compress/stored_deflate.h"
#include "core/errors.h"

using namespace qm;
using qm::test::storedZlib;

namespace {

using Bytes = std::vector<uint8_t>;

struct PngSpec {
    uint32_t width = 1;
    uint32_t height = 1;
    uint8_t depth = 8;
    uint8_t colourType = 0;
    uint8_t interlace = 0;
    Bytes palette;
    Bytes transparency;
    Bytes raw;  // filtered rows, each with its filter byte
};

void be32(Bytes& out, uint32_t v)
{
    out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

Bytes pngHeader(const PngSpec& s)
{
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    be32(ihdr, s.width);
    be32(ihdr, s.height);
    ihdr.insert(ihdr.end(), {s.depth, s.colourType, 0, 0, s.interlace});
    writeChunk(out, "IHDR", ihdr);
    if (!s.palette.empty())
        writeChunk(out, "PLTE", s.palette);
    if (!s.transparency.empty())
        writeChunk(out, "tRNS", s.transparency);
    return out;
}

Bytes makePng(const PngSpec& s)
{
    Bytes out = pngHeader(s);
    writeChunk(out, "IDAT", storedZlib(s.raw));
    writeChunk(out, "IEND", {});
    return out;
}

std::string failure(const Bytes& png)
{
    try {
        decodePng(png);
    } catch (const ValueError& e) {
        return e.what();
    }
    return "(decoded)";
}

Bytes pixel(const Image& image, int x, int y)
{
    auto at = image.pixels.begin() + (long(y) * image.width + x) * 4;
    return Bytes(at, at + 4);
}

}  // namespace

TEST(Png, ConvertsEveryKindOfSampleToRgba)
{
    struct Case {
        const char* name;
        PngSpec spec;
        Bytes expected;  // RGBA of the first pixel
    };
    const Case cases[] = {
        {"grey16", {1, 1, 16, 0, 0, {}, {}, {0, 0x12, 0x34}}, {0x12, 0x12, 0x12, 255}},
        {"grey16 key hit", {1, 1, 16, 0, 0, {}, {0x12, 0x34}, {0, 0x12, 0x34}}, {0x12, 0x12, 0x12, 0}},
        {"grey16 key compares all bits", {1, 1, 16, 0, 0, {}, {0x12, 0x00}, {0, 0x12, 0x34}}, {0x12, 0x12, 0x12, 255}},
        {"grey2 scales", {1, 1, 2, 0, 0, {}, {}, {0, 0b10000000}}, {170, 170, 170, 255}},
        {"grey2 key on raw value", {1, 1, 2, 0, 0, {}, {0, 2}, {0, 0b10000000}}, {170, 170, 170, 0}},
        {"grey1 first bit", {2, 1, 1, 0, 0, {}, {}, {0, 0b10000000}}, {255, 255, 255, 255}},
        {"grey8 key", {1, 1, 8, 0, 0, {}, {0, 7}, {0, 7}}, {7, 7, 7, 0}},
        {"rgb8 key hit", {1, 1, 8, 2, 0, {}, {0, 1, 0, 2, 0, 3}, {0, 1, 2, 3}}, {1, 2, 3, 0}},
        {"rgb8 key miss", {1, 1, 8, 2, 0, {}, {0, 1, 0, 2, 0, 4}, {0, 1, 2, 3}}, {1, 2, 3, 255}},
        {"rgb16 high bytes", {1, 1, 16, 2, 0, {}, {}, {0, 1, 9, 2, 9, 3, 9}}, {1, 2, 3, 255}},
        {"palette with tRNS", {1, 1, 8, 3, 0, {10, 20, 30, 40, 50, 60}, {99}, {0, 1}}, {40, 50, 60, 255}},
        {"palette alpha", {1, 1, 8, 3, 0, {10, 20, 30, 40, 50, 60}, {99}, {0, 0}}, {10, 20, 30, 99}},
        {"palette index past table", {1, 1, 8, 3, 0, {10, 20, 30, 40, 50, 60}, {}, {0, 5}}, {0, 0, 0, 0}},
        {"palette4 high nibble first", {2, 1, 4, 3, 0, {1, 2, 3, 4, 5, 6}, {}, {0, 0x01}}, {1, 2, 3, 255}},
        {"grey alpha 8", {1, 1, 8, 4, 0, {}, {}, {0, 9, 8}}, {9, 9, 9, 8}},
        {"grey alpha 16", {1, 1, 16, 4, 0, {}, {}, {0, 9, 1, 8, 1}}, {9, 9, 9, 8}},
        {"rgba16", {1, 1, 16, 6, 0, {}, {}, {0, 1, 0, 2, 0, 3, 0, 4, 0}}, {1, 2, 3, 4}},
        {"tRNS too short for a key", {1, 1, 16, 2, 0, {}, {0, 1, 0, 2}, {0, 0, 1, 0, 2, 0, 3}}, {0, 0, 0, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImagePtr image = decodePng(makePng(c.spec));
        ASSERT_EQ(image->channels, 4);
        EXPECT_EQ(pixel(*image, 0, 0), c.expected);
    }
}

TEST(Png, DataBeyondTheImageIsIgnored)
{
    PngSpec spec{2, 1, 8, 2, 0, {}, {}, {0, 1, 2, 3, 4, 5, 6}};
    PngSpec longer = spec;
    longer.raw.resize(100000, 0xAB);
    EXPECT_EQ(decodePng(makePng(longer))->pixels, decodePng(makePng(spec))->pixels);
}

TEST(Png, IgnoresChunkCrcsAndSignatureTail)
{
    PngSpec spec{2, 1, 8, 2, 0, {}, {}, {0, 1, 2, 3, 4, 5, 6}};
    Bytes good = makePng(spec);
    Bytes bad = good;
    bad[5] = 'x';
    bad[7] = 'y';
    for (size_t pos = 8; pos + 12 <= bad.size();) {
        uint32_t length = uint32_t(bad[pos]) << 24 | bad[pos + 1] << 16 | bad[pos + 2] << 8 | bad[pos + 3];
        bad[pos + 8 + length] ^= 0xFF;
        pos += 12 + length;
    }
    EXPECT_EQ(decodePng(bad)->pixels, decodePng(good)->pixels);
}

TEST(Png, ShortImageDataLeavesZeroRows)
{
    // RGBA 1 x 3 with data for one row only: the rest is transparent black.
    PngSpec spec{1, 3, 8, 6, 0, {}, {}, {0, 1, 2, 3, 4}};
    ImagePtr image = decodePng(makePng(spec));
    EXPECT_EQ(image->pixels, (Bytes{1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0}));

    // Rows of opaque kinds are zero samples too, which come out opaque.
    spec = {1, 3, 8, 2, 0, {}, {}, {2, 1, 2, 3, 1}};
    image = decodePng(makePng(spec));
    EXPECT_EQ(image->pixels, (Bytes{1, 2, 3, 255, 0, 0, 0, 255, 0, 0, 0, 255}));

    // A file cut inside its last chunk keeps the data gathered before it:
    // here the cut chunk held only the zlib trailer, which is never read.
    PngSpec grey{1, 2, 8, 0, 0, {}, {}, {0, 5, 0, 6}};
    Bytes stream = storedZlib(grey.raw);
    Bytes cut = pngHeader(grey);
    writeChunk(cut, "IDAT", Bytes(stream.begin(), stream.end() - 4));
    writeChunk(cut, "IDAT", Bytes(stream.end() - 4, stream.end()));
    cut.resize(cut.size() - 6);
    EXPECT_EQ(decodePng(cut)->pixels, (Bytes{5, 5, 5, 255, 6, 6, 6, 255}));
}

TEST(Png, InterlacedPassesFillEveryPixel)
{
    // 1 x 1 uses the first pass only.
    EXPECT_EQ(decodePng(makePng({1, 1, 8, 0, 1, {}, {}, {0, 77}}))->pixels, (Bytes{77, 77, 77, 255}));

    // 3 x 3 grey: passes 2 and 3 are empty; the rest fill this grid:
    //   1 6 4
    //   7 7 7
    //   5 6 5
    Bytes raw = {
        0, 11,         // pass 1: (0,0)
        0, 44,         // pass 4: (2,0)
        0, 51, 53,     // pass 5: (0,2), (2,2)
        0, 61, 0, 62,  // pass 6: (1,0), (1,2)
        0, 71, 72, 73  // pass 7: row 1  // pass 7: row 1
    };
    ImagePtr image = decodePng(makePng({3, 3, 8, 0, 1, {}, {}, raw}));
    const uint8_t expected[9] = {11, 61, 44, 71, 72, 73, 51, 62, 53};
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(image->pixels[size_t(i) * 4], expected[i]) << "pixel " << i;
}

// Image data split into many chunks, as common encoders write it: the
// pixels are those of the rows, whatever the split, and decoding holds
// little more than the image itself (not the compressed data joined, nor
// the inflated rows whole).
TEST(Png, ManyDataChunksDecodeHoldingLittleMoreThanTheImage)
{
    const uint32_t width = 600, height = 400;
    std::mt19937 random(3);
    Bytes raw, expected;
    for (uint32_t y = 0; y < height; y++) {
        raw.push_back(y % 5);  // every filter; the samples are what they give
        for (uint32_t x = 0; x < width * 3; x++)
            raw.push_back(uint8_t(random() >> 13));
    }
    PngSpec spec{width, height, 8, 2, 0, {}, {}, raw};
    const Bytes reference = decodePng(makePng(spec))->pixels;
    for (int level : {0, 1, 6}) {
        const Bytes stream = zlibStream(raw, level);
        for (size_t piece : {size_t{997}, size_t{8192}, stream.size()}) {
            SCOPED_TRACE("level " + std::to_string(level) + " chunks of " + std::to_string(piece));
            Bytes png = pngHeader(spec);
            for (size_t at = 0; at < stream.size(); at += piece)
                writeChunk(
                    png, "IDAT", std::span<const uint8_t>(stream.data() + at, std::min(piece, stream.size() - at)));
            writeChunk(png, "IEND", {});
            ImagePtr image;
            const int64_t peak = qm::test::peakHeldBytes([&] { image = decodePng(png); });
            ASSERT_TRUE(image);
            EXPECT_TRUE(image->pixels == reference);
            EXPECT_LE(peak, int64_t(width) * height * 4 + 256 * 1024);
        }
    }
}

TEST(Png, RefusesBadFilesWithTheirMessages)
{
    auto withHeader = [](uint32_t w, uint32_t h, uint8_t depth, uint8_t colour, uint8_t interlace) {
        PngSpec spec{w, h, depth, colour, interlace, {}, {}, {}};
        Bytes out = pngHeader(spec);
        writeChunk(out, "IEND", {});
        return out;
    };
    Bytes shortHeader = {0x89, 'P', 'N', 'G', 0, 0, 0, 0};
    writeChunk(shortHeader, "IHDR", Bytes(12, 1));
    Bytes noHeader = {0x89, 'P', 'N', 'G', 0, 0, 0, 0};
    writeChunk(noHeader, "IDAT", storedZlib({0, 0}));

    const std::pair<Bytes, std::string> cases[] = {
        {{0x89, 'P', 'N', 'G', 0, 0, 0}, "not a PNG"},
        {{0x89, 'P', 'N', 'H', 0, 0, 0, 0, 0}, "not a PNG"},
        {shortHeader, "bad PNG header"},
        {noHeader, "PNG without a header"},
        {withHeader(65537, 1, 8, 0, 0), "unsupported PNG size 65537 x 1"},
        {withHeader(0, 5, 8, 0, 0), "unsupported PNG size 0 x 5"},
        {withHeader(16384, 16384, 8, 0, 0), "unsupported PNG size 16384 x 16384"},
        {withHeader(0xFFFFFFFF, 1, 8, 0, 0), "unsupported PNG size 1073741824 x 1"},
        {withHeader(8192, 16384, 8, 0, 0), "empty deflate stream"},  // passes the size check
        {withHeader(1, 1, 8, 0, 2), "bad PNG interlace method"},
        {withHeader(1, 1, 8, 1, 0), "bad PNG colour type"},
        {withHeader(1, 1, 8, 5, 0), "bad PNG colour type"},
        {withHeader(1, 1, 8, 7, 0), "bad PNG colour type"},
        {withHeader(1, 1, 3, 0, 0), "bad PNG bit depth 3"},
        {withHeader(1, 1, 4, 2, 0), "bad PNG bit depth 4"},
        {withHeader(1, 1, 16, 3, 0), "bad PNG bit depth 16"},
        {withHeader(1, 1, 1, 6, 0), "bad PNG bit depth 1"},
        {withHeader(1, 1, 8, 3, 0), "PNG palette missing"},
        {makePng({1, 1, 8, 3, 0, {1, 2}, {}, {0, 0}}), "PNG palette missing"},
        {makePng({1, 1, 8, 0, 0, {}, {}, {5, 0}}), "bad PNG filter"},
    };
    for (const auto& [png, message] : cases)
        EXPECT_EQ(failure(png), message);
}

TEST(Png, HugeDeclaredImageFromTinyFileFailsWithoutItsBuffer)
{
    // 8192 x 16384 RGBA16 would need a gigabyte of raw data; the file holds a
    // stream that goes on past its end. It must fail at inflate, quickly.
    PngSpec spec{8192, 16384, 16, 6, 0, {}, {}, {}};
    Bytes png = pngHeader(spec);
    writeChunk(png, "IDAT", Bytes{0x78, 0x01, 0x00, 0xFF, 0xFF, 0x00, 0x00, 1, 2, 3});
    writeChunk(png, "IEND", {});
    EXPECT_LT(png.size(), 100u);
    EXPECT_EQ(failure(png), "truncated stored block");
}

TEST(Png, UnfilterMatchesTheFilterDefinitions)
{
    auto paeth = [](int a, int b, int c) {
        int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
    };
    std::mt19937 random(7);
    for (int unit = 1; unit <= 8; unit++) {
        for (int type = 0; type <= 4; type++) {
            for (size_t length : {size_t(0), size_t(unit), size_t(unit * 13), size_t(unit * 13 + unit / 2)}) {
                Bytes row(length), prev(length);
                for (auto& b : row)
                    b = uint8_t(random());
                for (auto& b : prev)
                    b = uint8_t(random());
                // Ties in Paeth need equal neighbours; make some.
                for (size_t i = 0; i + unit < length; i += 3)
                    prev[i + unit] = prev[i];
                Bytes expected = row;
                for (size_t i = 0; i < length; i++) {
                    int a = i >= size_t(unit) ? expected[i - unit] : 0, b = prev[i];
                    int c = i >= size_t(unit) ? prev[i - unit] : 0;
                    int add = type == 0 ? 0 : type == 1 ? a : type == 2 ? b : type == 3 ? (a + b) / 2 : paeth(a, b, c);
                    expected[i] = uint8_t(expected[i] + add);
                }
                unfilterRow(type, row.data(), prev.data(), length, unit);
                EXPECT_EQ(row, expected) << "unit " << unit << " type " << type << " length " << length;
            }
        }
    }
    uint8_t one = 0;
    EXPECT_THROW(unfilterRow(5, &one, &one, 1, 1), ValueError);
}

TEST(Png, EncodesAndDecodesEveryChannelCount)
{
    std::mt19937 random(3);
    for (int channels = 1; channels <= 4; channels++) {
        ImagePtr image = newImage(5, 3, channels);
        for (auto& b : image->pixels)
            b = uint8_t(random() % 4 * 60);
        for (bool compress : {false, true}) {
            SCOPED_TRACE(testing::Message() << channels << " channels, compress " << compress);
            ImagePtr back = decodePng(encodePng(*image, compress));
            ASSERT_EQ(back->width, 5);
            ASSERT_EQ(back->height, 3);
            for (int i = 0; i < 15; i++) {
                const uint8_t* p = &image->pixels[size_t(i) * channels];
                Bytes expected = channels == 1 ? Bytes{p[0], p[0], p[0], 255}
                    : channels == 2            ? Bytes{p[0], p[0], p[0], p[1]}
                    : channels == 3            ? Bytes{p[0], p[1], p[2], 255}
                                               : Bytes{p[0], p[1], p[2], p[3]};
                EXPECT_EQ(pixel(*back, i % 5, i / 5), expected);
            }
        }
    }
}

TEST(Png, EncodesStoredBlocksExactly)
{
    // 0 x 0: a complete structure with one final stored block of length 0.
    Image empty{0, 0, 4, {}};
    Bytes png = encodePng(empty, false);
    Bytes expected = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    writeChunk(expected, "IHDR", Bytes{0, 0, 0, 0, 0, 0, 0, 0, 8, 6, 0, 0, 0});
    writeChunk(expected, "IDAT", Bytes{0x78, 0x01, 0x01, 0x00, 0x00, 0xFF, 0xFF, 0, 0, 0, 1});
    writeChunk(expected, "IEND", {});
    EXPECT_EQ(png, expected);

    // Raw data over 65,535 bytes is cut into blocks, only the last final.
    ImagePtr wide = newImage(40000, 1, 2);
    Bytes big = encodePng(*wide, false);
    const uint8_t* stream = &big[8 + 25 + 8];
    EXPECT_EQ(Bytes(stream, stream + 7), (Bytes{0x78, 0x01, 0x00, 0xFF, 0xFF, 0x00, 0x00}));
    const uint8_t* second = stream + 7 + 65535;
    EXPECT_EQ(Bytes(second, second + 5), (Bytes{0x01, 0x82, 0x38, 0x7D, 0xC7}));  // 80001 - 65535 = 14466
}

TEST(Png, EncodeRefusesImpossibleImages)
{
    for (int channels : {0, 5, -1}) {
        Image image{1, 1, channels, Bytes(8)};
        EXPECT_THROW(encodePng(image, true), ValueError) << channels;
    }
    Image missingPixels{4, 4, 3, Bytes(10)};
    EXPECT_THROW(encodePng(missingPixels, false), ValueError);
}

TEST(Png, ReportsProgressToTheEnd)
{
    Bytes raw;
    for (int y = 0; y < 130; y++)
        raw.insert(raw.end(), {0, uint8_t(y)});
    std::vector<std::pair<int64_t, int64_t>> calls;
    decodePng(makePng({1, 130, 8, 0, 0, {}, {}, raw}), [&](int64_t done, int64_t total) {
        calls.push_back({done, total});
    });
    ASSERT_GE(calls.size(), 3u);
    for (size_t i = 1; i < calls.size(); i++)
        EXPECT_LE(calls[i - 1].first, calls[i].first);
    // Rows 64 and 128 of 130 (rows are made as the data is inflated), then
    // the end.
    const std::pair<int64_t, int64_t> tail[3] = {{492, 1000}, {984, 1000}, {1000, 1000}};
    EXPECT_TRUE(std::equal(tail, tail + 3, calls.end() - 3));

    auto stop = [](int64_t, int64_t) { throw std::runtime_error("stop"); };
    EXPECT_THROW(decodePng(makePng({1, 130, 8, 0, 0, {}, {}, raw}), stop), std::runtime_error);
}

TEST(Image, NewFlipAndRelease)
{
    ImagePtr image = newImage(2, 3, 1);
    EXPECT_EQ(image->pixels, Bytes(6, 0));
    image->pixels = {1, 1, 2, 2, 3, 3};
    flipVertical(*image);
    EXPECT_EQ(image->pixels, (Bytes{3, 3, 2, 2, 1, 1}));
    ImagePtr other = image;
    unrefImage(image);
    EXPECT_FALSE(image);
    EXPECT_EQ(other.use_count(), 1);
    unrefImage(image);  // empty: ignored
    EXPECT_THROW(newImage(65536, 65536, 4), ValueError);
    EXPECT_THROW(newImage(-1, 1, 4), ValueError);
}

TEST(Png, SavesAFileThatDecodes)
{
    ImagePtr image = newImage(3, 2, 3);
    image->pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    std::string path = std::string(QM_BINARY_DIR) + "/png_test_save.png";
    savePng(*image, path);
    savePng(*image, path);  // replaces
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_TRUE(file);
    Bytes bytes(4096);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    std::remove(path.c_str());
    EXPECT_EQ(bytes, encodePng(*image, false));
    EXPECT_THROW(savePng(*image, "/nonexistent-folder/x.png"), IOError);
}
