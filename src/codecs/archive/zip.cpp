#include "codecs/archive/zip.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "codecs/archive/zip_format.h"
#include "codecs/compress/crc32.h"
#include "codecs/compress/inflate.h"
#include "core/errors.h"
#include "core/files.h"

namespace qm {

using namespace zipformat;

namespace {

// Offsets and sizes are signed 32-bit in this reader; larger values only come
// from zip64 archives or damage.
constexpr uint32_t kLimit32 = 0x80000000u;
constexpr uint32_t kZip64Marker = 0xFFFFFFFFu;
// Deflate cannot expand by more than this (two bits per 258-byte match).
constexpr uint64_t kMaxInflateRatio = 1032;

size_t findEndRecord(std::span<const uint8_t> bytes)
{
    size_t n = bytes.size();
    size_t lowest = n > 65557 ? n - 65557 : 0;
    for (size_t i = n - kEndSize + 1; i-- > lowest;) {
        if (loadLe32(&bytes[i]) == kEndSignature)
            return i;
    }
    throw ValueError("not a zip file (no directory)");
}

struct Member {
    std::string name;
    uint16_t method;
    uint32_t crc;
    uint32_t compressedSize;
    uint32_t size;
    uint32_t localOffset;
};

}  // namespace

ZipContents unzipBytes(std::span<const uint8_t> bytes, const ProgressCallback& progress)
{
    const size_t n = bytes.size();
    if (n <= 21)
        throw ValueError("not a zip file");
    size_t end = findEndRecord(bytes);
    if (end >= 20 && loadLe32(&bytes[end - 20]) == kZip64LocatorSignature)
        throw ValueError("zip64 archives are not supported");
    const uint32_t count = loadLe16(&bytes[end + 10]);
    const uint32_t directory = loadLe32(&bytes[end + 16]);

    int64_t total = 0;
    if (progress) {
        size_t pos = directory;
        for (uint32_t i = 0; i < count && directory < n; i++) {
            if (n - pos < kCentralSize || loadLe32(&bytes[pos]) != kCentralSignature)
                break;
            total += std::max<uint32_t>(loadLe32(&bytes[pos + 24]), 1);
            pos += kCentralSize + size_t(loadLe16(&bytes[pos + 28])) + loadLe16(&bytes[pos + 30])
                + loadLe16(&bytes[pos + 32]);
            if (pos > n)
                break;
        }
    }

    ZipContents result;
    int64_t base = 0;
    size_t pos = directory;
    for (uint32_t i = 0; i < count; i++) {
        if (pos > n || n - pos < kCentralSize || loadLe32(&bytes[pos]) != kCentralSignature)
            throw ValueError("damaged zip directory");
        const uint8_t* record = &bytes[pos];
        size_t nameLength = loadLe16(record + 28);
        size_t next = pos + kCentralSize + nameLength + loadLe16(record + 30) + loadLe16(record + 32);
        if (nameLength > n - pos - kCentralSize)
            throw ValueError("damaged zip directory");
        Member m;
        m.name.assign(reinterpret_cast<const char*>(record + kCentralSize), nameLength);
        m.method = loadLe16(record + 10);
        m.crc = loadLe32(record + 16);
        m.compressedSize = loadLe32(record + 20);
        m.size = loadLe32(record + 24);
        m.localOffset = loadLe32(record + 42);
        pos = next;

        if (m.compressedSize == kZip64Marker || m.size == kZip64Marker || m.localOffset == kZip64Marker)
            throw ValueError("zip64 archives are not supported");
        if (m.compressedSize >= kLimit32 || m.size >= kLimit32 || m.localOffset >= kLimit32)
            throw ValueError("damaged zip entry " + m.name);
        if (size_t(m.localOffset) + kLocalSize > n || loadLe32(&bytes[m.localOffset]) != kLocalSignature)
            throw ValueError("damaged zip entry " + m.name);
        const uint8_t* local = &bytes[m.localOffset];
        size_t start = size_t(m.localOffset) + kLocalSize + loadLe16(local + 26) + loadLe16(local + 28);
        if (start > n || m.compressedSize > n - start)
            throw ValueError("truncated zip entry " + m.name);
        std::span<const uint8_t> stored = bytes.subspan(start, m.compressedSize);

        const int64_t weight = std::max<uint32_t>(m.size, 1);
        std::vector<uint8_t> contents;
        if (m.method == 8) {
            ProgressCallback memberProgress;
            if (progress)
                memberProgress = [&, weight](int32_t done, int32_t) {
                    double part = double(done) / double(std::max<uint32_t>(m.compressedSize, 1));
                    reportProgress(progress, base + int64_t(double(weight) * part), total);
                };
            uint64_t hint = std::min<uint64_t>(m.size, (uint64_t(m.compressedSize) + 1) * kMaxInflateRatio);
            try {
                contents = inflate(stored, false, memberProgress, int32_t(hint), int64_t(m.size));
            } catch (const InflateLimitError&) {
                // More data than the directory declares is a member that
                // does not check out, like one with less.
                throw ValueError("zip entry " + m.name + " does not check out");
            }
        } else if (m.method == 0) {
            contents.assign(stored.begin(), stored.end());
        } else {
            throw ValueError("unsupported compression in zip entry " + m.name);
        }
        if (contents.size() != m.size || crc32(contents) != m.crc)
            throw ValueError("zip entry " + m.name + " does not check out");
        result.insert_or_assign(std::move(m.name), std::move(contents));
        base += weight;
        if (progress)
            reportProgress(progress, base, total);
    }
    return result;
}

ZipContents unzipFile(const std::string& path, const ProgressCallback& progress)
{
    const std::string bytes = readFile(path);
    return unzipBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, progress);
}

}  // namespace qm
