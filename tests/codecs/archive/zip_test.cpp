#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <random>

#include "codecs/archive/zip.h"
#include "codecs/archive/zip_writer.h"
#include "codecs/compress/crc32.h"
#include "codecs/compress/deflate.h"
#include "core/bytes.h"
#include "core/errors.h"

using namespace qm;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

uint32_t le32(const Bytes& b, size_t at) { return loadLe32(&b[at]); }

uint16_t le16(const Bytes& b, size_t at) { return loadLe16(&b[at]); }

void set32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = uint8_t(v >> (8 * i));
}

void set16(Bytes& b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

// A central directory record as written.
struct Record {
    size_t at;  // where the record starts
    uint16_t method, time, date;
    uint32_t crc, compressedSize, size, offset;
    std::string name;
};

std::vector<Record> directory(const Bytes& zip)
{
    size_t end = zip.size() - 22;
    std::vector<Record> records;
    size_t pos = le32(zip, end + 16);
    for (int i = 0; i < le16(zip, end + 10); i++) {
        Record r{pos, le16(zip, pos + 10), le16(zip, pos + 12), le16(zip, pos + 14), le32(zip, pos + 16),
            le32(zip, pos + 20), le32(zip, pos + 24), le32(zip, pos + 42),
            std::string(zip.begin() + long(pos) + 46, zip.begin() + long(pos) + 46 + le16(zip, pos + 28))};
        records.push_back(r);
        pos += 46 + r.name.size();
    }
    return records;
}

Bytes payloadOf(const Bytes& zip, const Record& r)
{
    size_t start = r.offset + 30 + r.name.size();
    return Bytes(zip.begin() + long(start), zip.begin() + long(start + r.compressedSize));
}

std::string failure(const Bytes& zip)
{
    try {
        unzipBytes(zip);
    } catch (const ValueError& e) {
        return e.what();
    }
    return "(unpacked)";
}

Bytes randomBytes(size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes out(n);
    for (auto& b : out)
        b = uint8_t(random());
    return out;
}

using Calls = std::vector<std::pair<int64_t, int64_t>>;

}  // namespace

TEST(ZipWriter, EmptyListIsTheEndRecordAlone)
{
    Bytes expected(22, 0);
    set32(expected, 0, 0x06054B50);
    EXPECT_EQ(zipFiles({}), expected);
}

TEST(ZipWriter, StoresUnlessDeflatingIsShorter)
{
    const ZipEntry entries[] = {
        {"empty", {}},
        {"noise", randomBytes(5000, 1)},
        {"text", Bytes(10000, 'a')},
    };
    const int32_t levels[] = {9};
    Bytes zip = zipFiles(entries, 6, levels);
    auto records = directory(zip);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].method, 0);
    EXPECT_EQ(records[0].compressedSize, 0u);
    EXPECT_EQ(records[0].crc, 0u);
    EXPECT_EQ(records[1].method, 0);
    EXPECT_EQ(payloadOf(zip, records[1]), entries[1].data);
    EXPECT_EQ(records[2].method, 8);
    EXPECT_LT(records[2].compressedSize, 200u);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(records[i].size, entries[i].data.size());
        EXPECT_EQ(records[i].crc, crc32(entries[i].data));
        // The local record repeats the directory's fields.
        EXPECT_TRUE(std::equal(zip.begin() + long(records[i].offset) + 4, zip.begin() + long(records[i].offset) + 30,
            zip.begin() + long(records[i].at) + 6));
    }
}

TEST(ZipWriter, PerEntryLevelsOverrideTheDefault)
{
    Bytes text;
    for (int i = 0; i < 3000; i++)
        text.push_back(uint8_t("the quick brown fox jumps "[i % 26] + i % 7));
    const ZipEntry entries[] = {{"a", text}, {"b", text}, {"c", text}};
    const int32_t levels[] = {0, 9};
    Bytes zip = zipFiles(entries, 6, levels);
    auto records = directory(zip);
    EXPECT_EQ(records[0].method, 0);
    EXPECT_EQ(payloadOf(zip, records[1]), deflateData(text, 9, {}));
    EXPECT_EQ(payloadOf(zip, records[2]), deflateData(text, 6, {}));
}

TEST(ZipWriter, LaysOutRecordsAndReadsBack)
{
    const ZipEntry entries[] = {{"first.txt", bytesOf("hello")}, {"dir/", {}}, {"dir/second", Bytes(3000, 7)}};
    DosDateTime before = dosDateTime();
    Bytes zip = zipFiles(entries);
    DosDateTime after = dosDateTime();
    auto records = directory(zip);
    EXPECT_EQ(records[1].offset, 30 + 9 + records[0].compressedSize);
    EXPECT_EQ(le32(zip, zip.size() - 6), records[0].at);  // directory offset
    EXPECT_EQ(le32(zip, zip.size() - 10), zip.size() - 22 - records[0].at);
    auto stamp = [](uint16_t date, uint16_t time) { return uint32_t(date) << 16 | time; };
    for (const Record& r : records) {
        EXPECT_EQ(stamp(r.date, r.time), stamp(records[0].date, records[0].time));
        EXPECT_GE(stamp(r.date, r.time), stamp(before.date, before.time));
        EXPECT_LE(stamp(r.date, r.time), stamp(after.date, after.time));
    }
    ZipContents back = unzipBytes(zip);
    ASSERT_EQ(back.size(), 3u);
    for (const ZipEntry& e : entries)
        EXPECT_EQ(back.at(e.name), e.data) << e.name;
}

TEST(ZipWriter, DosDateTimeIsTheLocalClock)
{
    std::tm local{}, later{};
    DosDateTime stamp;
    do {  // retry across a change of the hour
        std::time_t now = std::time(nullptr);
        localtime_r(&now, &local);
        stamp = dosDateTime();
        now = std::time(nullptr);
        localtime_r(&now, &later);
    } while (later.tm_hour != local.tm_hour);
    EXPECT_EQ(stamp.date >> 9, local.tm_year + 1900 - 1980);
    EXPECT_EQ(stamp.date >> 5 & 15, local.tm_mon + 1);
    EXPECT_EQ(stamp.time >> 11, local.tm_hour);
    EXPECT_LE(stamp.time & 31, 29);
}

TEST(ZipWriter, RefusesWhatTheFormatCannotDescribe)
{
    std::vector<ZipEntry> longName = {{std::string(65536, 'n'), {}}};
    EXPECT_THROW(zipFiles(longName), ValueError);
    longName[0].name.pop_back();
    EXPECT_EQ(directory(zipFiles(longName))[0].name.size(), 65535u);
    std::vector<ZipEntry> many(65536, ZipEntry{"x", {}});
    EXPECT_THROW(zipFiles(many), ValueError);
}

TEST(ZipWriter, ProgressCountsEveryEntry)
{
    const ZipEntry entries[] = {{"a", {}}, {"b", Bytes(10, 1)}, {"c", Bytes(100, 2)}};
    Calls calls;
    zipFiles(entries, 0, {}, [&](int64_t done, int64_t total) { calls.push_back({done, total}); });
    EXPECT_EQ(calls, (Calls{{1, 111}, {11, 111}, {111, 111}}));

    calls.clear();
    zipFiles(entries, 6, {}, [&](int64_t done, int64_t total) { calls.push_back({done, total}); });
    EXPECT_EQ(calls.back(), (std::pair<int64_t, int64_t>{111, 111}));
    for (size_t i = 1; i < calls.size(); i++)
        EXPECT_LE(calls[i - 1].first, calls[i].first);
}

TEST(Unzip, FindsTheEndRecordBehindTheLongestComment)
{
    Bytes zip = zipFiles(std::vector<ZipEntry>{{"a", bytesOf("x")}});
    Bytes commented = zip;
    set16(commented, commented.size() - 2, 65535);
    commented.resize(commented.size() + 65535, 'c');
    EXPECT_EQ(unzipBytes(commented).at("a"), bytesOf("x"));
    commented.push_back('c');
    EXPECT_EQ(failure(commented), "not a zip file (no directory)");
}

TEST(Unzip, DirectoriesEmptyArchivesAndRepeatedNames)
{
    ZipContents docs = unzipBytes(zipFiles(std::vector<ZipEntry>{{"docs/", {}}, {"docs/a.txt", bytesOf("A")}}));
    EXPECT_EQ(docs, (ZipContents{{"docs/", {}}, {"docs/a.txt", bytesOf("A")}}));
    EXPECT_TRUE(unzipBytes(zipFiles({})).empty());
    ZipContents twice = unzipBytes(zipFiles(std::vector<ZipEntry>{{"n", bytesOf("1")}, {"n", bytesOf("2")}}));
    EXPECT_EQ(twice, (ZipContents{{"n", bytesOf("2")}}));
}

TEST(Unzip, RefusesDamagedArchivesWithTheirMessages)
{
    const Bytes stored = zipFiles(std::vector<ZipEntry>{{"a.txt", bytesOf("some text")}});
    const Bytes deflated = zipFiles(std::vector<ZipEntry>{{"a.txt", Bytes(1000, 'z')}});
    const size_t dir = directory(stored)[0].at;
    const size_t deflatedDir = directory(deflated)[0].at;
    const size_t end = stored.size() - 22;
    auto patched = [](Bytes zip, auto change) {
        change(zip);
        return zip;
    };
    const std::pair<Bytes, std::string> cases[] = {
        {Bytes(21, 0), "not a zip file"},
        {Bytes(22, 0), "not a zip file (no directory)"},
        {patched(stored, [&](Bytes& z) { set16(z, end + 10, 2); }), "damaged zip directory"},
        {patched(stored, [&](Bytes& z) { set32(z, end + 16, 3); }), "damaged zip directory"},
        {patched(stored, [&](Bytes& z) { set32(z, end + 16, 0x7FFFFFF0); }), "damaged zip directory"},
        {patched(stored, [&](Bytes& z) { set16(z, dir + 28, 60000); }), "damaged zip directory"},
        {patched(stored, [&](Bytes& z) { z[0] = 'Q'; }), "damaged zip entry a.txt"},
        {patched(stored, [&](Bytes& z) { set32(z, dir + 42, 1); }), "damaged zip entry a.txt"},
        {patched(stored, [&](Bytes& z) { set32(z, dir + 42, 0x80000000); }), "damaged zip entry a.txt"},
        {patched(stored, [&](Bytes& z) { set32(z, dir + 20, 5000); }), "truncated zip entry a.txt"},
        {patched(stored, [&](Bytes& z) { set16(z, 26, 5000); }), "truncated zip entry a.txt"},
        {patched(stored, [&](Bytes& z) { set16(z, dir + 10, 12); }), "unsupported compression in zip entry a.txt"},
        {patched(stored, [&](Bytes& z) { z[dir + 16] ^= 1; }), "zip entry a.txt does not check out"},
        {patched(stored, [&](Bytes& z) { set32(z, dir + 24, 8); }), "zip entry a.txt does not check out"},
        {patched(deflated, [&](Bytes& z) { z[deflatedDir + 16] ^= 1; }), "zip entry a.txt does not check out"},
        {patched(deflated, [&](Bytes& z) { set32(z, deflatedDir + 24, 999); }), "zip entry a.txt does not check out"},
        {patched(deflated, [&](Bytes& z) { set32(z, deflatedDir + 24, 1001); }), "zip entry a.txt does not check out"},
        {patched(deflated, [&](Bytes& z) { z[35] |= 6; }), "bad block type"},
        {patched(stored, [&](Bytes& z) { set32(z, dir + 24, 0xFFFFFFFF); }), "zip64 archives are not supported"},
    };
    for (const auto& [zip, message] : cases)
        EXPECT_EQ(failure(zip), message);

    // A zip64 end locator before the end record.
    Bytes zip64 = stored;
    Bytes locator(20, 0);
    set32(locator, 0, 0x07064B50);
    zip64.insert(zip64.end() - 22, locator.begin(), locator.end());
    EXPECT_EQ(failure(zip64), "zip64 archives are not supported");
}

TEST(Unzip, ProgressWeighsMembersBySize)
{
    const ZipEntry entries[] = {{"a", {}}, {"b", Bytes(10, 1)}, {"c", Bytes(100, 2)}};
    Calls calls;
    unzipBytes(zipFiles(entries, 0), [&](int64_t done, int64_t total) { calls.push_back({done, total}); });
    EXPECT_EQ(calls, (Calls{{1, 111}, {11, 111}, {111, 111}}));

    auto stop = [](int64_t, int64_t) { throw std::runtime_error("stop"); };
    EXPECT_THROW(unzipBytes(zipFiles(entries, 6), stop), std::runtime_error);
}

TEST(Unzip, ReadsFiles)
{
    std::string path = std::string(QM_BINARY_DIR) + "/zip_test_read.zip";
    Bytes zip = zipFiles(std::vector<ZipEntry>{{"k", randomBytes(100000, 4)}});
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(file);
    std::fwrite(zip.data(), 1, zip.size(), file);
    std::fclose(file);
    EXPECT_EQ(unzipFile(path).at("k"), randomBytes(100000, 4));
    std::remove(path.c_str());
    EXPECT_THROW(unzipFile(path), IOError);
}
