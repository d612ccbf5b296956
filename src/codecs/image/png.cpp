#include "codecs/image/png.h"
#include "codecs/image/png_internal.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>

#include "codecs/compress/crc32.h"
#include "codecs/compress/deflate.h"
#include "codecs/compress/inflate.h"
#include "core/bytes.h"
#include "core/errors.h"
#include "core/files.h"

namespace qm {

namespace {

constexpr uint32_t kDimensionClamp = 1u << 30;
constexpr uint32_t kMaxDimension = 65536;
constexpr uint64_t kMaxPixels = 134217728;

void putBe32(std::vector<uint8_t>& out, uint32_t v)
{
    out.resize(out.size() + 4);
    storeBe32(out.data() + out.size() - 4, v);
}

struct Pass {
    uint32_t x0, y0, dx, dy;
};

constexpr Pass kInterlacedPasses[7] = {
    {0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
constexpr Pass kSinglePass[1] = {{0, 0, 1, 1}};

std::span<const Pass> adam7Passes(bool interlaced)
{
    if (interlaced)
        return kInterlacedPasses;
    return kSinglePass;
}

// The file's chunks in order, up to IEND or the first chunk cut short.
struct ChunkWalker {
    std::span<const uint8_t> bytes;
    size_t pos = 8;

    // Gives the next chunk's type and data, or false after the last.
    bool next(const uint8_t*& type, std::span<const uint8_t>& data)
    {
        if (bytes.size() < pos || bytes.size() - pos < 8)
            return false;
        uint32_t length = std::min(loadBe32(&bytes[pos]), 1u << 30);
        type = &bytes[pos + 4];
        if (length > bytes.size() - pos - 8 || std::memcmp(type, "IEND", 4) == 0) {
            pos = bytes.size();
            return false;
        }
        data = bytes.subspan(pos + 8, length);
        // The CRC that follows is deliberately not checked; a chunk cut short
        // before it still counts.
        pos = std::min(pos + 8 + size_t(length) + 4, bytes.size());
        return true;
    }
};

struct PngHeader {
    bool seen = false;
    uint32_t width = 0;
    uint32_t height = 0;
    int depth = 0;
    int colourType = 0;
    int interlace = 0;
    std::span<const uint8_t> palette;
    std::span<const uint8_t> transparency;
    // The chunks from the first data chunk on: the data chunks among them
    // are read where they lie, never listed, as encoders split the data
    // into many.
    ChunkWalker data;
};

PngHeader readChunks(std::span<const uint8_t> bytes)
{
    PngHeader h;
    ChunkWalker chunks{bytes};
    const uint8_t* type = nullptr;
    std::span<const uint8_t> data;
    for (size_t at = chunks.pos; chunks.next(type, data); at = chunks.pos) {
        if (std::memcmp(type, "IHDR", 4) == 0) {
            if (data.size() < 13)
                throw ValueError("bad PNG header");
            h.seen = true;
            h.width = std::min(loadBe32(&data[0]), kDimensionClamp);
            h.height = std::min(loadBe32(&data[4]), kDimensionClamp);
            h.depth = data[8];
            h.colourType = data[9];
            h.interlace = data[12];
        } else if (std::memcmp(type, "PLTE", 4) == 0) {
            h.palette = data;
        } else if (std::memcmp(type, "tRNS", 4) == 0) {
            h.transparency = data;
        } else if (std::memcmp(type, "IDAT", 4) == 0 && h.data.bytes.empty()) {
            h.data = ChunkWalker{bytes, at};
        }
    }
    return h;
}

int channelsOf(int colourType)
{
    static constexpr int channels[7] = {1, 0, 3, 1, 2, 0, 4};
    return channels[colourType];
}

bool depthAllowed(int colourType, int depth)
{
    switch (colourType) {
    case 0:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    default:
        return depth == 8 || depth == 16;
    }
}

std::string sizeMessage(uint32_t width, uint32_t height)
{
    return "unsupported PNG size " + std::to_string(width) + " x " + std::to_string(height);
}

// How the samples of one row become RGBA pixels.
struct PixelFormat {
    int colourType = 0;
    int depth = 0;
    uint8_t table[256][4] = {};
    bool hasKey = false;
    uint16_t key[3] = {};
};

// Converts `count` pixels of an unfiltered row to RGBA, writing them `step`
// bytes apart.
void convertRow(const PixelFormat& f, const uint8_t* row, uint32_t count, uint8_t* out, size_t step)
{
    const bool key = f.hasKey;
    if (f.depth < 8) {
        const int depth = f.depth;
        const unsigned mask = (1u << depth) - 1;
        const unsigned scale = 255 / mask;
        for (uint32_t x = 0; x < count; x++, out += step) {
            size_t bit = size_t(x) * depth;
            unsigned v = (row[bit >> 3] >> (8 - depth - (bit & 7))) & mask;
            if (f.colourType == 3) {
                std::memcpy(out, f.table[v], 4);
            } else {
                uint8_t g = uint8_t(v * scale);
                out[0] = out[1] = out[2] = g;
                out[3] = key && v == f.key[0] ? 0 : 255;
            }
        }
        return;
    }
    if (f.depth == 8) {
        switch (f.colourType) {
        case 0:
            for (uint32_t x = 0; x < count; x++, out += step) {
                uint8_t g = row[x];
                out[0] = out[1] = out[2] = g;
                out[3] = key && g == f.key[0] ? 0 : 255;
            }
            return;
        case 2:
            if (!key) {
                for (uint32_t x = 0; x < count; x++, out += step, row += 3) {
                    out[0] = row[0];
                    out[1] = row[1];
                    out[2] = row[2];
                    out[3] = 255;
                }
                return;
            }
            for (uint32_t x = 0; x < count; x++, out += step, row += 3) {
                out[0] = row[0];
                out[1] = row[1];
                out[2] = row[2];
                out[3] = row[0] == f.key[0] && row[1] == f.key[1] && row[2] == f.key[2] ? 0 : 255;
            }
            return;
        case 3:
            for (uint32_t x = 0; x < count; x++, out += step)
                std::memcpy(out, f.table[row[x]], 4);
            return;
        case 4:
            for (uint32_t x = 0; x < count; x++, out += step, row += 2) {
                out[0] = out[1] = out[2] = row[0];
                out[3] = row[1];
            }
            return;
        default:
            if (step == 4) {
                std::memcpy(out, row, size_t(count) * 4);
                return;
            }
            for (uint32_t x = 0; x < count; x++, out += step, row += 4)
                std::memcpy(out, row, 4);
            return;
        }
    }
    // 16 bits: each sample becomes its high byte; keys compare all 16 bits.
    switch (f.colourType) {
    case 0:
        for (uint32_t x = 0; x < count; x++, out += step, row += 2) {
            out[0] = out[1] = out[2] = row[0];
            out[3] = key && loadBe16(row) == f.key[0] ? 0 : 255;
        }
        return;
    case 2:
        for (uint32_t x = 0; x < count; x++, out += step, row += 6) {
            out[0] = row[0];
            out[1] = row[2];
            out[2] = row[4];
            out[3] = key && loadBe16(row) == f.key[0] && loadBe16(row + 2) == f.key[1] && loadBe16(row + 4) == f.key[2]
                ? 0
                : 255;
        }
        return;
    case 4:
        for (uint32_t x = 0; x < count; x++, out += step, row += 4) {
            out[0] = out[1] = out[2] = row[0];
            out[3] = row[2];
        }
        return;
    default:
        for (uint32_t x = 0; x < count; x++, out += step, row += 8) {
            out[0] = row[0];
            out[1] = row[2];
            out[2] = row[4];
            out[3] = row[6];
        }
        return;
    }
}

PixelFormat pixelFormat(const PngHeader& h)
{
    PixelFormat f;
    f.colourType = h.colourType;
    f.depth = h.depth;
    const auto& t = h.transparency;
    if (h.colourType == 3) {
        size_t n = std::min<size_t>(256, h.palette.size() / 3);
        for (size_t i = 0; i < n; i++) {
            f.table[i][0] = h.palette[i * 3];
            f.table[i][1] = h.palette[i * 3 + 1];
            f.table[i][2] = h.palette[i * 3 + 2];
            f.table[i][3] = i < t.size() ? t[i] : 255;
        }
    } else if (h.colourType == 0 && t.size() >= 2) {
        f.hasKey = true;
        f.key[0] = loadBe16(&t[0]);
    } else if (h.colourType == 2 && t.size() >= 6) {
        f.hasKey = true;
        f.key[0] = loadBe16(&t[0]);
        f.key[1] = loadBe16(&t[2]);
        f.key[2] = loadBe16(&t[4]);
    }
    return f;
}

// The filters, specialised on the pixel unit so that the per-byte loops over
// a pixel unroll and the compiler keeps the left pixel in registers.
template <int U>
void unfilterUnit(int filterType, uint8_t* row, const uint8_t* prev, size_t n)
{
    switch (filterType) {
    case 0:
        return;
    case 1:
        for (size_t i = U; i < n; i++)
            row[i] = uint8_t(row[i] + row[i - U]);
        return;
    case 2:
        for (size_t i = 0; i < n; i++)
            row[i] = uint8_t(row[i] + prev[i]);
        return;
    case 3: {
        size_t head = std::min<size_t>(U, n);
        for (size_t i = 0; i < head; i++)
            row[i] = uint8_t(row[i] + (prev[i] >> 1));
        for (size_t i = U; i < n; i++)
            row[i] = uint8_t(row[i] + ((unsigned(row[i - U]) + prev[i]) >> 1));
        return;
    }
    case 4: {
        size_t head = std::min<size_t>(U, n);
        for (size_t i = 0; i < head; i++)
            row[i] = uint8_t(row[i] + prev[i]);
        for (size_t i = U; i < n; i++) {
            int a = row[i - U], b = prev[i], c = prev[i - U];
            int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
            int pred = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            row[i] = uint8_t(row[i] + pred);
        }
        return;
    }
    default:
        throw ValueError("bad PNG filter");
    }
}

void unfilterAny(int filterType, uint8_t* row, const uint8_t* prev, size_t n, size_t unit)
{
    switch (filterType) {
    case 0:
    case 2:
        unfilterUnit<1>(filterType, row, prev, n);
        return;
    case 1:
        for (size_t i = unit; i < n; i++)
            row[i] = uint8_t(row[i] + row[i - unit]);
        return;
    case 3:
        for (size_t i = 0; i < n; i++)
            row[i] = uint8_t(row[i] + (((i >= unit ? row[i - unit] : 0u) + prev[i]) >> 1));
        return;
    case 4:
        for (size_t i = 0; i < n; i++) {
            int a = i >= unit ? row[i - unit] : 0, b = prev[i], c = i >= unit ? prev[i - unit] : 0;
            int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
            int pred = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            row[i] = uint8_t(row[i] + pred);
        }
        return;
    default:
        throw ValueError("bad PNG filter");
    }
}

struct DecodeSetup {
    uint32_t width, height;
    int bitsPerPixel;
    int unit;
    uint64_t expected;
    size_t maxRowBytes;
};

// Takes the image data as the decoder makes it, row by row, unfiltering and
// converting each straight into the image: only two rows are held, never the
// whole of the data, which is as large as the image again.
class RowReader {
public:
    RowReader(const PngHeader& h, const DecodeSetup& s, Image& image, const ProgressCallback& progress)
        : m_setup(s)
        , m_interlaced(h.interlace == 1)
        , m_format(pixelFormat(h))
        , m_image(image)
        , m_progress(progress)
        , m_line(s.maxRowBytes + 1, 0)
        , m_previous(s.maxRowBytes + 1, 0)
    {
        startPass(0);
    }

    // Takes the next bytes; false once every row is done.
    bool take(std::span<const uint8_t> bytes)
    {
        while (!bytes.empty() && m_pass < passCount()) {
            const size_t n = std::min(bytes.size(), m_rowBytes + 1 - m_filled);
            std::memcpy(m_line.data() + m_filled, bytes.data(), n);
            m_filled += n;
            bytes = bytes.subspan(n);
            if (m_filled == m_rowBytes + 1)
                finishRow();
        }
        return m_pass < passCount();
    }

    // Data that ended early: a row begun is completed with zero samples, and
    // the rows after it are zero samples of filter type 0, which all convert
    // to one pixel.
    void finish()
    {
        if (m_pass < passCount() && m_filled > 0) {
            std::fill(m_line.begin() + ptrdiff_t(m_filled), m_line.end(), 0);
            finishRow();
        }
        if (m_pass < passCount()) {
            const std::vector<uint8_t> zeros(m_setup.maxRowBytes + 1, 0);
            uint8_t pixel[4];
            convertRow(m_format, zeros.data() + 1, 1, pixel, 4);
            while (m_pass < passCount()) {
                for (uint32_t x = 0; x < m_passWidth; x++)
                    std::memcpy(target(x), pixel, 4);
                nextRow();
            }
        }
        if (m_progress)
            m_progress(1000, 1000);
    }

private:
    size_t passCount() const { return adam7Passes(m_interlaced).size(); }

    uint8_t* target(uint32_t x)
    {
        const Pass& pass = adam7Passes(m_interlaced)[m_pass];
        const size_t at = (size_t(pass.y0) + size_t(m_y) * pass.dy) * m_setup.width + pass.x0 + size_t(x) * pass.dx;
        return m_image.pixels.data() + at * 4;
    }

    // Moves to the first pass from `pass` on that has pixels; the row above
    // its first is zeros.
    void startPass(size_t pass)
    {
        for (m_pass = pass; m_pass < passCount(); m_pass++) {
            const Pass& p = adam7Passes(m_interlaced)[m_pass];
            m_passWidth = (m_setup.width + p.dx - 1 - p.x0) / p.dx;
            m_passHeight = (m_setup.height + p.dy - 1 - p.y0) / p.dy;
            if (m_passWidth > 0 && m_passHeight > 0)
                break;
        }
        m_y = 0;
        m_rowBytes = (size_t(m_passWidth) * m_setup.bitsPerPixel + 7) / 8;
        std::fill(m_previous.begin(), m_previous.end(), 0);
        m_filled = 0;
    }

    void finishRow()
    {
        const Pass& pass = adam7Passes(m_interlaced)[m_pass];
        unfilterRow(m_line[0], m_line.data() + 1, m_previous.data() + 1, m_rowBytes, m_setup.unit);
        convertRow(m_format, m_line.data() + 1, m_passWidth, target(0), size_t(pass.dx) * 4);
        m_line.swap(m_previous);
        nextRow();
    }

    void nextRow()
    {
        m_filled = 0;
        ++m_rows;
        if (m_progress && m_rows % 64 == 0)
            m_progress(int32_t(std::min<uint64_t>(m_rows, m_setup.height) * 1000 / m_setup.height), 1000);
        if (++m_y == m_passHeight)
            startPass(m_pass + 1);
    }

    const DecodeSetup& m_setup;
    const bool m_interlaced;
    const PixelFormat m_format;
    Image& m_image;
    const ProgressCallback& m_progress;
    std::vector<uint8_t> m_line;  // the row being filled, its filter byte first
    std::vector<uint8_t> m_previous;
    size_t m_pass = 0;
    uint32_t m_passWidth = 0;
    uint32_t m_passHeight = 0;
    uint32_t m_y = 0;
    size_t m_rowBytes = 0;
    size_t m_filled = 0;
    uint64_t m_rows = 0;
};

ImagePtr decodeRows(const PngHeader& h, const DecodeSetup& s, const ProgressCallback& progress)
{
    ImagePtr image = newImage(int32_t(s.width), int32_t(s.height), 4);
    RowReader rows(h, s, *image, progress);
    ChunkWalker chunks = h.data;
    inflatePrefixInParts(
        [&]() -> std::optional<std::span<const uint8_t>> {
            const uint8_t* type = nullptr;
            std::span<const uint8_t> data;
            while (chunks.next(type, data))
                if (std::memcmp(type, "IDAT", 4) == 0)
                    return data;
            return std::nullopt;
        },
        true, int64_t(s.expected), [&](std::span<const uint8_t> bytes) { return rows.take(bytes); });
    rows.finish();
    return image;
}

}  // namespace

void unfilterRow(int filterType, uint8_t* row, const uint8_t* previous, size_t length, int unit)
{
    switch (unit) {
    case 1:
        return unfilterUnit<1>(filterType, row, previous, length);
    case 2:
        return unfilterUnit<2>(filterType, row, previous, length);
    case 3:
        return unfilterUnit<3>(filterType, row, previous, length);
    case 4:
        return unfilterUnit<4>(filterType, row, previous, length);
    case 6:
        return unfilterUnit<6>(filterType, row, previous, length);
    case 8:
        return unfilterUnit<8>(filterType, row, previous, length);
    default:
        return unfilterAny(filterType, row, previous, length, size_t(std::max(unit, 1)));
    }
}

ImagePtr decodePng(std::span<const uint8_t> bytes, const ProgressCallback& progress)
{
    static constexpr uint8_t kMagic[4] = {0x89, 'P', 'N', 'G'};
    if (bytes.size() < 8 || std::memcmp(bytes.data(), kMagic, 4) != 0)
        throw ValueError("not a PNG");
    PngHeader h = readChunks(bytes);
    if (!h.seen)
        throw ValueError("PNG without a header");
    if (h.width < 1 || h.width > kMaxDimension || h.height < 1 || h.height > kMaxDimension
        || uint64_t(h.width) * h.height > kMaxPixels)
        throw ValueError(sizeMessage(h.width, h.height));
    if (h.interlace > 1)
        throw ValueError("bad PNG interlace method");
    if (h.colourType > 6 || channelsOf(h.colourType) == 0)
        throw ValueError("bad PNG colour type");
    if (!depthAllowed(h.colourType, h.depth))
        throw ValueError("bad PNG bit depth " + std::to_string(h.depth));
    if (h.colourType == 3 && h.palette.size() < 3)
        throw ValueError("PNG palette missing");

    DecodeSetup s;
    s.width = h.width;
    s.height = h.height;
    s.bitsPerPixel = channelsOf(h.colourType) * h.depth;
    s.unit = std::max(1, s.bitsPerPixel / 8);
    s.expected = 0;
    s.maxRowBytes = 0;
    for (const Pass& pass : adam7Passes(h.interlace == 1)) {
        uint64_t passWidth = (uint64_t(h.width) + pass.dx - 1 - pass.x0) / pass.dx;
        uint64_t passHeight = (uint64_t(h.height) + pass.dy - 1 - pass.y0) / pass.dy;
        if (passWidth == 0 || passHeight == 0)
            continue;
        uint64_t rowBytes = (passWidth * s.bitsPerPixel + 7) / 8;
        s.expected += (rowBytes + 1) * passHeight;
        s.maxRowBytes = std::max(s.maxRowBytes, size_t(rowBytes));
    }

    try {
        return decodeRows(h, s, progress);
    } catch (const std::bad_alloc&) {
        throw ValueError(sizeMessage(h.width, h.height));
    }
}

void writeChunk(std::vector<uint8_t>& output, std::string_view type, std::span<const uint8_t> data)
{
    putBe32(output, uint32_t(data.size()));
    size_t start = output.size();
    output.insert(output.end(), type.begin(), type.begin() + 4);
    output.insert(output.end(), data.begin(), data.end());
    putBe32(output, crc32(std::span<const uint8_t>(output).subspan(start)));
}

std::vector<uint8_t> encodePng(const Image& image, bool compress)
{
    if (image.channels < 1 || image.channels > 4)
        throw ValueError("unsupported PNG channel count " + std::to_string(image.channels));
    if (image.width < 0 || image.height < 0
        || image.pixels.size() < size_t(image.width) * size_t(image.height) * size_t(image.channels))
        throw ValueError("image pixels do not match its size");
    static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    static constexpr uint8_t kColourType[5] = {0, 0, 4, 2, 6};
    std::vector<uint8_t> out(kSignature, kSignature + 8);

    std::vector<uint8_t> header;
    putBe32(header, uint32_t(image.width));
    putBe32(header, uint32_t(image.height));
    header.insert(header.end(), {8, kColourType[image.channels], 0, 0, 0});
    writeChunk(out, "IHDR", header);

    const size_t unit = size_t(image.channels);
    const size_t stride = size_t(image.width) * unit;
    std::vector<uint8_t> raw((stride + 1) * size_t(image.height));
    for (size_t y = 0; y < size_t(image.height); y++) {
        uint8_t* dst = &raw[y * (stride + 1)];
        const uint8_t* src = &image.pixels[y * stride];
        if (compress) {
            dst[0] = 1;
            size_t head = std::min(unit, stride);
            std::memcpy(dst + 1, src, head);
            for (size_t i = head; i < stride; i++)
                dst[1 + i] = uint8_t(src[i] - src[i - unit]);
        } else {
            dst[0] = 0;
            std::memcpy(dst + 1, src, stride);
        }
    }

    std::vector<uint8_t> stream;
    if (compress) {
        stream = zlibStream(raw, 1);
    } else {
        stream.reserve(raw.size() + raw.size() / 65535 * 5 + 11);
        stream.insert(stream.end(), {0x78, 0x01});
        size_t pos = 0;
        do {
            size_t n = std::min<size_t>(raw.size() - pos, 65535);
            bool last = pos + n == raw.size();
            stream.insert(stream.end(), {uint8_t(last), uint8_t(n), uint8_t(n >> 8), uint8_t(~n), uint8_t(~n >> 8)});
            stream.insert(stream.end(), raw.begin() + ptrdiff_t(pos), raw.begin() + ptrdiff_t(pos + n));
            pos += n;
        } while (pos < raw.size());
        putBe32(stream, adler32(raw));
    }
    writeChunk(out, "IDAT", stream);
    writeChunk(out, "IEND", {});
    return out;
}

void savePng(const Image& image, const std::string& path)
{
    std::vector<uint8_t> bytes = encodePng(image, false);
    writeFileAtomic(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace qm
