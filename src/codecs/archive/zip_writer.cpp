#include "codecs/archive/zip_writer.h"

#include <algorithm>
#include <ctime>

#include "codecs/archive/zip_format.h"
#include "codecs/compress/crc32.h"
#include "codecs/compress/deflate.h"
#include "core/errors.h"

namespace qm {

using namespace zipformat;

namespace {

// Sizes and offsets must stay below this: 0xFFFFFFFF tells readers to look
// for zip64 fields, which this writer does not produce.
constexpr uint64_t kMax32 = 0xFFFFFFFFu;
constexpr size_t kMaxEntries = 0xFFFF;
constexpr size_t kMaxName = 0xFFFF;

void checkFits(uint64_t value)
{
    if (value >= kMax32)
        throw ValueError("zip archive too large");
}

}  // namespace

DosDateTime dosDateTime()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // The date field counts years from 1980 in seven bits.
    int year = std::clamp(local.tm_year + 1900, 1980, 2107);
    DosDateTime result;
    result.time = uint16_t(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
    result.date = uint16_t((year - 1980) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
    return result;
}

std::vector<uint8_t> zipFiles(std::span<const ZipEntry> entries, int32_t defaultLevel, std::span<const int32_t> levels,
    const ProgressCallback& progress)
{
    if (entries.size() > kMaxEntries)
        throw ValueError("too many zip entries");
    for (const ZipEntry& entry : entries) {
        if (entry.name.size() > kMaxName)
            throw ValueError("zip entry name too long");
    }
    const DosDateTime stamp = dosDateTime();
    int64_t total = 0;
    for (const ZipEntry& entry : entries)
        total += int64_t(std::max<size_t>(entry.data.size(), 1));

    std::vector<uint8_t> out;
    std::vector<uint8_t> directory;
    int64_t base = 0;
    for (size_t i = 0; i < entries.size(); i++) {
        const ZipEntry& entry = entries[i];
        const int32_t level = i < levels.size() ? levels[i] : defaultLevel;
        checkFits(entry.data.size());
        std::vector<uint8_t> deflated;
        bool deflate = false;
        if (!entry.data.empty() && level >= 1) {
            ProgressCallback entryProgress;
            if (progress)
                entryProgress = [&](int32_t done, int32_t) { reportProgress(progress, base + done, total); };
            deflated = deflateData(entry.data, level, entryProgress);
            deflate = deflated.size() < entry.data.size();
            if (!deflate)
                std::vector<uint8_t>().swap(deflated);
        }
        const std::vector<uint8_t>& payload = deflate ? deflated : entry.data;
        const uint64_t offset = out.size();
        checkFits(offset + kLocalSize + entry.name.size() + payload.size());

        // Bytes 4..29 of the local record reappear unchanged in the directory.
        std::vector<uint8_t> common;
        putLe16(common, 20);
        putLe16(common, 0);
        putLe16(common, deflate ? 8 : 0);
        putLe16(common, stamp.time);
        putLe16(common, stamp.date);
        putLe32(common, crc32(entry.data));
        putLe32(common, uint32_t(payload.size()));
        putLe32(common, uint32_t(entry.data.size()));
        putLe16(common, uint32_t(entry.name.size()));
        putLe16(common, 0);

        putLe32(out, kLocalSignature);
        out.insert(out.end(), common.begin(), common.end());
        out.insert(out.end(), entry.name.begin(), entry.name.end());
        out.insert(out.end(), payload.begin(), payload.end());

        putLe32(directory, kCentralSignature);
        putLe16(directory, 20);
        directory.insert(directory.end(), common.begin(), common.end());
        putLe16(directory, 0);
        putLe16(directory, 0);
        putLe16(directory, 0);
        putLe32(directory, 0);
        putLe32(directory, uint32_t(offset));
        directory.insert(directory.end(), entry.name.begin(), entry.name.end());

        base += int64_t(std::max<size_t>(entry.data.size(), 1));
        if (progress)
            reportProgress(progress, base, total);
    }
    const uint64_t directoryOffset = out.size();
    checkFits(directoryOffset + directory.size() + kEndSize);
    out.insert(out.end(), directory.begin(), directory.end());
    putLe32(out, kEndSignature);
    putLe16(out, 0);
    putLe16(out, 0);
    putLe16(out, uint32_t(entries.size()));
    putLe16(out, uint32_t(entries.size()));
    putLe32(out, uint32_t(directory.size()));
    putLe32(out, uint32_t(directoryOffset));
    putLe16(out, 0);
    return out;
}

}  // namespace qm
